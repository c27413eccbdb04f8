#include "workspace/JobController.h"

#include "config/QuorConfig.h"
#include "cws/JobCheck.h"
#include "cws/JobSnapshot.h"
#include "cws/Slicer.h"
#include "cws/SupportGenerator.h"
#include "model/Model.h"
#include "workspace/SceneObjects.h"
#include "workspace/SupportController.h"

#include <QDebug>
#include <QThread>
#include <QTime>

#include <algorithm>

JobController::JobController(SceneObjects &scene, UndoList &undo, SupportController &supports,
                             QuorConfig &config, QObject *parent)
    : QObject(parent), m_scene(scene), m_undo(undo), m_supports(supports), m_config(config)
{
}

JobController::~JobController()
{
    stopSlicer();
    stopSupportGenerator();
}

void JobController::setRunning(bool running)
{
    m_scene.setJobRunning(running);
    emit runningChanged();
}

// The models sliceSnapshot sets down on the plate for real.
static bool setDownBySlicing(const Model *object)
{
    return object->type == Model::TYPE_NORMAL && object->supports.empty();
}

CWS::JobSnapshot JobController::jobSnapshot(const std::vector<Model *> &objects,
                                            const QString &archivePath, bool dropFloating) const
{
    std::vector<ObjectSnapshot> entries;
    for (Model *object : objects) {
        if (object->type == Model::TYPE_PLATFORM_BOTTOM)
            continue;
        object->updateGeometry(false);
        const bool drop = dropFloating && setDownBySlicing(object);
        entries.push_back(object->snapshot(drop ? std::min(0.0f, object->floorGapMm()) : 0.0f));
    }
    SliceBuildConfig settings = m_config.jobSettings();
    settings.setOutputArchive(archivePath);
    const double factor = double(qRound(m_config.antiAliseValue() * 10.0f) / 10.0f);
    return CWS::JobSnapshot(std::move(entries), settings, m_config.currentPrinterModel(),
                            m_config.useAntialise(), factor);
}

QString JobController::getSliceCostTime() const
{
    return QTime(0, 0).addMSecs(std::max(m_jobCostMs, 0)).toString(Qt::TextDate);
}

QString JobController::outsideVolumeText() const
{
    const CWS::JobCheck check = CWS::checkJob(m_scene.objects(), m_config.currentPrinterModel(),
                                              m_config.jobSettings().layerThicknessMm);
    return check.outsideVolume() ? check.outsideText() : QString();
}

void JobController::cancelSlice()
{
    qDebug() << "call cancel slice";
    m_cancel.cancel();
}

// ---- slicing ----

void JobController::startSlice(const QString &archivePath)
{
    qDebug() << QThread::currentThreadId() << "QuorModel::startSlice ";
    // One background job at a time: the generator reads the meshes the slicer would move.
    if (m_slicer) {
        qWarning() << "a slicing job is already running";
        return;
    }
    if (isGeneratingSupports()) {
        qWarning() << "supports are still being generated";
        // Whoever waits for this job hears that it ended without an archive.
        m_lastSliceCompleted = false;
        m_lastSliceError = tr("Supports are still being generated.");
        emit sliceCompletedProgress(1.1f, true, QStringLiteral("slice"));
        return;
    }
    m_scene.setModelStatus(m_scene.modelSize() == 0 ? SceneObjects::MODEL_INIT
                                                    : SceneObjects::MODEL_SLICING);
    CWS::JobSnapshot job = sliceSnapshot(archivePath);
    m_scene.deselectAll(true);
    m_cancel = CWS::CancelToken();
    m_lastSliceCompleted = false;
    m_lastSliceError.clear();
    const float thicknessMm = m_config.jobSettings().layerThicknessMm;
    m_sliceNumber = m_scene.layerCount(thicknessMm);
    if (m_sliceNumber == 0) {
        // An archive of no layers would send the printer through a job that prints nothing.
        m_lastSliceError = CWS::nothingToSliceText(thicknessMm);
        qWarning() << m_lastSliceError;
        m_scene.setModelStatus(m_scene.modelSize() == 0 ? SceneObjects::MODEL_INIT
                                                        : SceneObjects::MODEL_LOADED);
        emit m_scene.showAlert(m_lastSliceError);
        emit sliceCompletedProgress(1.1f, true, QStringLiteral("slice"));
        return;
    }

    m_slicer = new CWS::Slicer(std::move(job), m_cancel, m_sliceNumber);
    connect(m_slicer, &CWS::Slicer::layerWritten, this, [this](int finished, int layerCount) {
        emit sliceCompletedProgress(float(finished) / float(layerCount), m_cancel.isCancelled(),
                                    QStringLiteral("slice"));
    });
    connect(m_slicer, &QThread::finished, this, &JobController::sliceFinished);
    m_jobTimer.start();
    setRunning(true);
    m_slicer->start(QThread::InheritPriority);
}

CWS::JobSnapshot JobController::sliceSnapshot(const QString &archivePath)
{
    for (Model *object : std::vector<Model *>(m_scene.objects())) {
        if (setDownBySlicing(object))
            object->moveToBottom(true, true, &m_undo);
    }
    return jobSnapshot(m_scene.objects(), archivePath);
}

CWS::JobSnapshot JobController::printSnapshot() const
{
    return jobSnapshot(m_scene.objects(), QString(), true);
}

void JobController::sliceFinished()
{
    if (!m_slicer)
        return;
    CWS::Slicer *slicer = m_slicer;
    m_slicer = nullptr;
    disconnect(slicer, nullptr, this, nullptr);
    slicer->wait();
    const CWS::Slicer::Outcome outcome = slicer->outcome();
    const QString reason = slicer->failureReason();
    delete slicer;
    qDebug() << QThread::currentThreadId() << "slice thread finished";
    m_jobCostMs = m_jobTimer.isValid() ? int(m_jobTimer.elapsed()) : 0;
    setRunning(false);
    m_scene.setModelStatus(m_scene.modelSize() == 0 ? SceneObjects::MODEL_INIT
                                                    : SceneObjects::MODEL_LOADED);

    m_lastSliceCompleted = outcome == CWS::Slicer::Outcome::Completed;
    if (outcome == CWS::Slicer::Outcome::Failed) {
        // A job that did not produce a complete archive is never reported as done.
        m_lastSliceError = reason;
        qWarning() << "slicing failed:" << reason;
        emit m_scene.showAlert(tr("Slicing failed: %1").arg(reason));
        emit sliceCompletedProgress(1.1f, true, QStringLiteral("slice"));
        return;
    }
    emit sliceCompletedProgress(1.1f, m_cancel.isCancelled(), QStringLiteral("slice"));
}

template <typename Job> void JobController::stopJob(Job *&job)
{
    if (!job)
        return;
    m_cancel.cancel();
    disconnect(job, nullptr, this, nullptr);
    job->wait();
    delete job;
    job = nullptr;
    m_scene.setJobRunning(false);
}

void JobController::stopSlicer()
{
    stopJob(m_slicer);
}

// ---- automatic supports ----

void JobController::addSupportAuto(float thickness)
{
    Q_UNUSED(thickness)
    qDebug() << "QuorModel::addSupportAuto";
    if (m_scene.status() != SceneObjects::MODEL_LOADED || hasBackgroundJob())
        return;
    m_scene.setModelStatus(SceneObjects::MODEL_AUTO_GEN_SUPPORT);

    m_jobTimer.start();
    m_cancel = CWS::CancelToken();
    // Also brings every object's cached bounds up to date before the snapshot reads them.
    m_sliceNumber = m_scene.layerCount(m_config.jobSettings().layerThicknessMm);
    // The job gets its own list, of models only: supports are appended while it runs.
    const std::vector<Model *> targets = m_scene.selectedOrAllModels();
    m_supportTargets = targets;
    const float spacingMm = m_config.supportConfig()->supportSpacing();
    auto *generator = new CWS::SupportGenerator(jobSnapshot(targets, QString()), spacingMm,
                                                m_sliceNumber, m_cancel);
    m_supportGenerator = generator;
    // Each model becomes the selection while the run works on it.
    connect(generator, &CWS::SupportGenerator::objectStarted, this,
            [this](int index) { m_scene.selectModel(supportTarget(index)); });
    connect(generator, &CWS::SupportGenerator::genNewSupport, this,
            [this](float x, float y, float z, float zbase, int index) {
                Q_UNUSED(zbase) // the pillar always reaches the platform
                m_supports.addAutoSupportPoint(supportTarget(index), QVector3D(x, y, z));
            });
    connect(generator, &CWS::SupportGenerator::progressed, this, [this](float ratio) {
        emit sliceCompletedProgress(ratio, m_cancel.isCancelled(), QStringLiteral("autoSupport"));
    });
    connect(generator, &QThread::finished, this, &JobController::onAutoGenSupportFinished);
    setRunning(true);
    generator->start(QThread::InheritPriority);
    m_scene.notifyDataChanged();
}

Model *JobController::supportTarget(int index) const
{
    if (index < 0 || size_t(index) >= m_supportTargets.size())
        return nullptr;
    Model *model = m_supportTargets[size_t(index)];
    // Gone since the job started: nothing may be added to it.
    return m_scene.contains(model) ? model : nullptr;
}

void JobController::onAutoGenSupportFinished()
{
    qDebug() << QThread::currentThreadId() << "SupportGenerator thread finished";
    if (m_supportGenerator) {
        CWS::SupportGenerator *generator = m_supportGenerator;
        m_supportGenerator = nullptr;
        disconnect(generator, nullptr, this, nullptr);
        generator->wait();
        delete generator;
    }
    m_supportTargets.clear();
    m_jobCostMs = m_jobTimer.isValid() ? int(m_jobTimer.elapsed()) : 0;
    setRunning(false);
    m_scene.setModelStatus(m_scene.modelSize() == 0 ? SceneObjects::MODEL_INIT
                                                    : SceneObjects::MODEL_LOADED);
    emit sliceCompletedProgress(1.1f, m_cancel.isCancelled(), QStringLiteral("autoSupport"));
}

void JobController::stopSupportGenerator()
{
    stopJob(m_supportGenerator);
}
