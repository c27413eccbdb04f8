#pragma once

#include "config/SliceBuildConfig.h"
#include "cws/CancelToken.h"
#include "cws/JobSnapshot.h"
#include "cws/LayerPngCache.h"

#include <QMutex>
#include <QThread>
#include <QThreadPool>

#include <atomic>
#include <memory>

class QFile;
class QImage;
class QuaZip;

namespace CWS {

// One slicing job: opens the archive, runs one Slice per layer on its own pool, then writes
// the G-code and closes the archive. It works from the snapshot taken when it was created and
// stops when its token is cancelled.
class Slicer : public QThread
{
    Q_OBJECT
public:
    enum class Outcome
    {
        Running,
        Completed,
        Cancelled,
        Failed
    };

    // layerCount is the scene's layer count, worked out when the job starts; the archive goes
    // to the snapshot's output path.
    Slicer(JobSnapshot job, CancelToken cancel, int layerCount, QObject *parent = nullptr);
    ~Slicer() override;

    // Called by the layer workers: layerStarted before drawing, then writeLayer (adds the
    // layer's PNG entry and reports progress) or layerAbandoned when the layer writes nothing.
    void layerStarted(int layerIndex);
    void writeLayer(int layerIndex, const QImage &image);
    void layerAbandoned(int layerIndex, bool failed);

    const JobSnapshot &job() const { return m_job; }
    // What every layer is drawn with (anti-aliasing applied).
    const SliceBuildConfig &layerSettings() const { return m_layerSettings; }
    bool cancelled() const { return m_cancel.isCancelled(); }
    int layerCount() const { return m_layerCount; }
    Outcome outcome() const { return m_outcome; }
    // Why a failed job failed, in words for the user.
    QString failureReason() const { return m_failureReason; }
    // Layers whose PNG bytes came from an equal layer below or from an earlier empty layer.
    int reusedLayers() const { return m_pngCache.reusedLayers(); }

signals:
    // From the pool's threads, after each written layer but the last.
    void layerWritten(int finishedLayers, int layerCount);

protected:
    void run() override;

private:
    void runJob();
    void runLayerPool();
    void writeGcode();
    void fail(const QString &reason);

    JobSnapshot m_job;
    SliceBuildConfig m_layerSettings;
    CancelToken m_cancel;
    LayerPngCache m_pngCache;
    int m_layerCount = 0;
    QThreadPool m_pool;
    int m_finishedLayers = 0;
    std::unique_ptr<QFile> m_file;
    std::unique_ptr<QuaZip> m_zip;
    QString m_padLength;
    QMutex m_writeMutex;
    std::atomic<Outcome> m_outcome{Outcome::Running};
    QString m_failureReason;
    std::atomic_bool m_writeFailed{false};
};

} // namespace CWS
