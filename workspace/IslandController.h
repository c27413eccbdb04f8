#pragma once

#include "cws/CancelToken.h"
#include "cws/IslandScanResult.h"
#include "cws/JobSnapshot.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <deque>
#include <memory>
#include <vector>

class JobController;
class QThread;
class QuorConfig;
class SceneObjects;

// The scene's unsupported islands, for the bottom bar, the 3D view's markers, the layer
// slider's ticks and the layer preview. Once it watches the scene, every change of what
// prints withdraws the islands shown (a moved model's would be wrong), and when the edits have
// settled an analysis of the scene as it would print runs on a worker thread. Only the latest
// run's answer is shown; a newer edit cancels a run, and a cancelled or failed run leaves
// nothing drawn. While a slicing or support job runs, the analysis waits for it to end.
class IslandController : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY islandsChanged)
    Q_PROPERTY(State state READ state NOTIFY stateChanged)
    Q_PROPERTY(bool running READ isRunning NOTIFY stateChanged)
    // Of the running analysis, 0 to 1.
    Q_PROPERTY(double progress READ progress NOTIFY progressChanged)
    // Why the last analysis failed, in words for the user; empty otherwise.
    Q_PROPERTY(QString error READ error NOTIFY stateChanged)
    // Layers of the scene the shown islands were found in.
    Q_PROPERTY(int layerCount READ layerCount NOTIFY islandsChanged)
public:
    enum State
    {
        Current, // the islands shown are the scene's as it is now
        Waiting, // for the edits to settle, or for a job to end
        Running,
        Failed,
        Stopped // by the user; the next change starts again
    };
    Q_ENUM(State)

    IslandController(SceneObjects &scene, JobController &jobs, QuorConfig &config,
                     QObject *parent = nullptr);
    // Cancels a running analysis and waits for its thread.
    ~IslandController() override;

    // Whether changes of the scene start analyses; off by default, so only the window pays.
    void setWatching(bool watching);
    // How long edits must rest before an analysis starts.
    void setSettleMs(int ms) { m_settle.setInterval(ms); }
    // The nice value of the analysis's threads (Linux). The lowest priority: under a view drawn
    // in software a higher one still takes a tenth of the cores from the frames, while the check
    // on an idle machine runs as fast at any.
    static constexpr int kDefaultWorkerNice = 19;
    void setWorkerNice(int nice) { m_workerNice = nice; }

    int count() const { return int(m_islands.size()); }
    // In layer order.
    const std::deque<CWS::SceneIsland> &islands() const { return m_islands; }
    // The snapshot the shown islands were found in; null before the first analysis.
    std::shared_ptr<const CWS::JobSnapshot> job() const { return m_job; }
    // The distinct layers with an island, ascending.
    const std::vector<int> &islandLayers() const { return m_islandLayers; }
    State state() const { return m_state; }
    bool isRunning() const { return m_state == Running; }
    double progress() const { return m_progress; }
    QString error() const { return m_error; }
    int layerCount() const { return m_layerCount; }

    // A finished analysis of job: a completed result replaces the islands shown, anything
    // else leaves them.
    void showResult(const CWS::IslandScanResult &result,
                    std::shared_ptr<const CWS::JobSnapshot> job);

    // The nearest island layer above / below layer, -1 when there is none.
    Q_INVOKABLE int nextIslandLayer(int layer) const;
    Q_INVOKABLE int previousIslandLayer(int layer) const;
    // Escape: stops a waiting or running analysis until the next change.
    Q_INVOKABLE void cancel();

signals:
    void islandsChanged();
    void stateChanged();
    void progressChanged();
    // A worker thread began analysing the scene.
    void analysisStarted();

private:
    void sceneMayHaveChanged();
    QByteArray printFingerprint() const;
    void withdraw();
    void tryStart();
    void startRun();
    void runFinished(quint64 run, const std::shared_ptr<CWS::IslandScanResult> &result,
                     const std::shared_ptr<const CWS::JobSnapshot> &job);
    void workerFinished();
    void onJobsRunningChanged();
    void setState(State state, const QString &error = QString());
    void setProgress(double progress);

    SceneObjects &m_scene;
    JobController &m_jobs;
    QuorConfig &m_config;
    bool m_watching = false;
    int m_workerNice = kDefaultWorkerNice;
    QTimer m_settle;
    // What prints, as of the last change seen: a change that leaves it alike is ignored.
    QByteArray m_fingerprint;
    State m_state = Current;
    QString m_error;
    double m_progress = 0.0;
    // One worker at a time; a cancelled one is let finish before the next starts.
    QThread *m_worker = nullptr;
    CWS::CancelToken m_cancel;
    quint64 m_lastRun = 0;
    // The run whose answer may be shown; 0 when none may.
    quint64 m_liveRun = 0;

    std::deque<CWS::SceneIsland> m_islands;
    std::vector<int> m_islandLayers;
    int m_layerCount = 0;
    std::shared_ptr<const CWS::JobSnapshot> m_job;
};
