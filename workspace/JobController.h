#pragma once

#include "cws/CancelToken.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <vector>

class Model;
class QuorConfig;
class SceneObjects;
class SupportController;
class UndoList;
namespace CWS {
class JobSnapshot;
class Slicer;
class SupportGenerator;
} // namespace CWS

// The background jobs: slicing the scene into an archive and the automatic supports. Each job
// works from a snapshot taken when it starts and stops on its cancel token; its progress, its
// end and whether it was cancelled come back here, on the GUI thread. One job at a time.
class JobController : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool running READ hasBackgroundJob NOTIFY runningChanged)
public:
    JobController(SceneObjects &scene, UndoList &undo, SupportController &supports,
                  QuorConfig &config, QObject *parent = nullptr);
    ~JobController() override;

    // Escape and Ctrl+C: the running job stops after what it is doing.
    Q_INVOKABLE void cancelSlice();
    // What reaches outside the printer's volume as a job would cut the scene now, each model
    // named with its excess; empty when everything fits.
    Q_INVOKABLE QString outsideVolumeText() const;
    // Automatic supports for the selected model, or for every model (the thickness is not used).
    Q_INVOKABLE void addSupportAuto(float thickness);

    // Slices the scene into the archive at this path.
    void startSlice(const QString &archivePath);
    // What a slicing job into this archive reads: models without supports are set down on the
    // plate first, as the job does.
    CWS::JobSnapshot sliceSnapshot(const QString &archivePath);
    // What a slicing job would read now, the scene left as it is: the models the job would set
    // down are set down in the copy only, so nothing moves and no undo step is made.
    CWS::JobSnapshot printSnapshot() const;
    bool getCancelSlice() const { return m_cancel.isCancelled(); }
    // Layers of the last job: the scene's count when it started.
    int sliceNumber() const { return m_sliceNumber; }
    // The last job's time as hh:mm:ss.
    QString getSliceCostTime() const;
    // How the last slicing job ended: complete, or why not.
    bool lastSliceCompleted() const { return m_lastSliceCompleted; }
    QString lastSliceError() const { return m_lastSliceError; }
    bool isSlicing() const { return m_slicer != nullptr; }
    bool isGeneratingSupports() const { return m_supportGenerator != nullptr; }
    bool hasBackgroundJob() const { return isSlicing() || isGeneratingSupports(); }

signals:
    // ratio 1.1 ends a job; event "slice" or "autoSupport".
    void sliceCompletedProgress(float ratio, bool canceld, QString event);
    void runningChanged();

private:
    // What a job reads of the given objects (the plate left out), with the current settings.
    // With dropFloating, models without supports are set down in the copy as the job would.
    CWS::JobSnapshot jobSnapshot(const std::vector<Model *> &objects, const QString &archivePath,
                                 bool dropFloating = false) const;
    void sliceFinished();
    void onAutoGenSupportFinished();
    // A model of the running support job that is still in the scene, or null.
    Model *supportTarget(int index) const;
    void setRunning(bool running);
    // Ends a running job before the scene goes away.
    template <typename Job> void stopJob(Job *&job);
    void stopSlicer();
    void stopSupportGenerator();

    SceneObjects &m_scene;
    UndoList &m_undo;
    SupportController &m_supports;
    QuorConfig &m_config;
    QElapsedTimer m_jobTimer;
    int m_jobCostMs = -1;
    int m_sliceNumber = 0;
    CWS::Slicer *m_slicer = nullptr;
    CWS::SupportGenerator *m_supportGenerator = nullptr;
    // The models of the running support job, by their position in its snapshot.
    std::vector<Model *> m_supportTargets;
    // The running job's, kept after it ends: it still tells whether that job was cancelled.
    CWS::CancelToken m_cancel;
    bool m_lastSliceCompleted = false;
    QString m_lastSliceError;
};
