#include "workspace/IslandController.h"

#include "config/QuorConfig.h"
#include "cws/IslandScan.h"
#include "model/Model.h"
#include "workspace/JobController.h"
#include "workspace/SceneObjects.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <exception>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

// The analysis's threads yield to the interface and to whatever else the person runs: on Linux
// the nice value is per thread and the scan's own threads inherit it from this one.
void setThisThreadsNice(int nice)
{
#ifdef Q_OS_LINUX
    setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), nice);
#else
    Q_UNUSED(nice)
#endif
}

// Each progress step repaints the window, and with it the 3D view, which costs a large model
// drawn in software as much as the analysis gets done in the meantime: one a second shows it
// moving.
constexpr qint64 kProgressGapMs = 1000;

} // namespace

IslandController::IslandController(SceneObjects &scene, JobController &jobs, QuorConfig &config,
                                   QObject *parent)
    : QObject(parent), m_scene(scene), m_jobs(jobs), m_config(config)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(500);
    connect(&m_settle, &QTimer::timeout, this, &IslandController::tryStart);
    // The scene announces selection and the preview's layer this way too; the fingerprint
    // tells those apart from changes of what prints.
    connect(&m_scene, &SceneObjects::quorModelDataChanged, this,
            &IslandController::sceneMayHaveChanged);
    connect(&m_scene, &SceneObjects::countChanged, this, &IslandController::sceneMayHaveChanged);
    connect(&m_config, &QuorConfig::sliceSettingsChanged, this,
            &IslandController::sceneMayHaveChanged);
    connect(&m_config, &QuorConfig::jobSettingsChanged, this,
            &IslandController::sceneMayHaveChanged);
    connect(&m_jobs, &JobController::runningChanged, this, &IslandController::onJobsRunningChanged);
}

IslandController::~IslandController()
{
    m_settle.stop();
    m_liveRun = 0;
    m_cancel.cancel();
    if (m_worker) {
        m_worker->wait();
        delete m_worker;
    }
}

void IslandController::setWatching(bool watching)
{
    m_watching = watching;
    if (watching)
        sceneMayHaveChanged();
}

QByteArray IslandController::printFingerprint() const
{
    QByteArray print;
    auto add = [&print](const void *data, size_t bytes) {
        print.append(static_cast<const char *>(data), int(bytes));
    };
    // As the job reads them: the thickness from the job settings record, not the dialog's.
    const float thicknessMm = m_config.jobSettings().layerThicknessMm;
    const int printer = m_config.modelIndex();
    add(&thicknessMm, sizeof thicknessMm);
    add(&printer, sizeof printer);
    for (const Model *object : m_scene.objects()) {
        if (object->type == Model::TYPE_PLATFORM_BOTTOM)
            continue;
        const void *mesh = object->mesh.get();
        add(&mesh, sizeof mesh);
        add(&object->type, sizeof object->type);
        add(object->modelMatrix().constData(), 16 * sizeof(float));
    }
    return print;
}

void IslandController::sceneMayHaveChanged()
{
    if (!m_watching)
        return;
    QByteArray print = printFingerprint();
    if (print == m_fingerprint)
        return;
    m_fingerprint = std::move(print);
    // A newer edit makes the running answer wrong before it arrives.
    m_liveRun = 0;
    m_cancel.cancel();
    withdraw();
    const auto &objects = m_scene.objects();
    if (std::none_of(objects.begin(), objects.end(), [](const Model *object) {
            return object->type != Model::TYPE_PLATFORM_BOTTOM;
        })) {
        // Nothing prints, so nothing floats: no need to wait (nor to flash a busy count at
        // start-up).
        m_settle.stop();
        setState(Current);
        return;
    }
    setState(Waiting);
    m_settle.start();
}

void IslandController::withdraw()
{
    if (m_islands.empty() && !m_job)
        return;
    m_islands.clear();
    m_islandLayers.clear();
    m_layerCount = 0;
    m_job.reset();
    emit islandsChanged();
}

void IslandController::onJobsRunningChanged()
{
    if (m_jobs.hasBackgroundJob()) {
        // The job keeps both cores; the analysis runs again when it ends.
        if (m_state == Running) {
            m_liveRun = 0;
            m_cancel.cancel();
            setState(Waiting);
        }
        return;
    }
    tryStart();
}

void IslandController::tryStart()
{
    if (m_state != Waiting || m_settle.isActive() || m_jobs.hasBackgroundJob() || m_worker)
        return;
    startRun();
}

void IslandController::startRun()
{
    auto job = std::make_shared<const CWS::JobSnapshot>(m_jobs.printSnapshot());
    if (job->objects().empty()) {
        // Nothing prints: nothing to analyse either.
        showResult(CWS::IslandScanResult::completed(*job, 0, {}), job);
        setState(Current);
        return;
    }
    const quint64 run = ++m_lastRun;
    m_liveRun = run;
    m_cancel = CWS::CancelToken();
    const CWS::CancelToken cancel = m_cancel;
    const int nice = m_workerNice;
    m_worker = QThread::create([this, run, job, cancel, nice] {
        setThisThreadsNice(nice);
        QElapsedTimer clock;
        clock.start();
        qint64 lastPostMs = 0;
        // The scan reports on this thread, before it returns.
        auto progress = [this, run, &clock, &lastPostMs](int done, int layers) {
            const qint64 nowMs = clock.elapsed();
            if (nowMs - lastPostMs < kProgressGapMs)
                return;
            lastPostMs = nowMs;
            const int permille = layers > 0 ? int(1000LL * done / layers) : 0;
            QMetaObject::invokeMethod(
                this,
                [this, run, permille] {
                    if (run == m_liveRun)
                        setProgress(permille / 1000.0);
                },
                Qt::QueuedConnection);
        };
        std::shared_ptr<CWS::IslandScanResult> result;
        try {
            result = std::make_shared<CWS::IslandScanResult>(
                CWS::IslandScan::scan(*job, cancel, progress));
        } catch (const std::bad_alloc &) {
            result = std::make_shared<CWS::IslandScanResult>(
                CWS::IslandScanResult::failed(tr("Not enough memory to look for islands.")));
        } catch (const std::exception &e) {
            result = std::make_shared<CWS::IslandScanResult>(
                CWS::IslandScanResult::failed(QString::fromLocal8Bit(e.what())));
        }
        QMetaObject::invokeMethod(
            this, [this, run, result, job] { runFinished(run, result, job); },
            Qt::QueuedConnection);
    });
    connect(m_worker, &QThread::finished, this, &IslandController::workerFinished);
    setProgress(0.0);
    setState(Running);
    m_worker->start();
    emit analysisStarted();
}

void IslandController::runFinished(quint64 run,
                                   const std::shared_ptr<CWS::IslandScanResult> &result,
                                   const std::shared_ptr<const CWS::JobSnapshot> &job)
{
    if (run != m_liveRun)
        return; // stale: a newer edit, a job or Escape came first
    m_liveRun = 0;
    switch (result->status()) {
    case CWS::IslandScanResult::Status::Completed:
        showResult(*result, job);
        setProgress(1.0);
        setState(Current);
        break;
    case CWS::IslandScanResult::Status::Failed:
        qWarning() << "island analysis failed:" << result->error();
        setState(Failed, result->error());
        break;
    case CWS::IslandScanResult::Status::Cancelled:
        setState(Stopped);
        break;
    }
}

void IslandController::workerFinished()
{
    if (!m_worker)
        return;
    m_worker->wait();
    delete m_worker;
    m_worker = nullptr;
    tryStart();
}

void IslandController::showResult(const CWS::IslandScanResult &result,
                                  std::shared_ptr<const CWS::JobSnapshot> job)
{
    if (result.status() != CWS::IslandScanResult::Status::Completed)
        return;
    m_islands = result.islands();
    m_job = std::move(job);
    m_layerCount = result.layerCount();
    m_islandLayers.clear();
    for (const CWS::SceneIsland &island : m_islands) {
        if (m_islandLayers.empty() || m_islandLayers.back() != island.layer())
            m_islandLayers.push_back(island.layer());
    }
    emit islandsChanged();
}

int IslandController::nextIslandLayer(int layer) const
{
    const auto above = std::upper_bound(m_islandLayers.begin(), m_islandLayers.end(), layer);
    return above == m_islandLayers.end() ? -1 : *above;
}

int IslandController::previousIslandLayer(int layer) const
{
    const auto below = std::lower_bound(m_islandLayers.begin(), m_islandLayers.end(), layer);
    return below == m_islandLayers.begin() ? -1 : *(below - 1);
}

void IslandController::cancel()
{
    if (m_state != Waiting && m_state != Running)
        return;
    m_settle.stop();
    m_liveRun = 0;
    m_cancel.cancel();
    setState(Stopped);
}

void IslandController::setState(State state, const QString &error)
{
    if (state == m_state && error == m_error)
        return;
    m_state = state;
    m_error = error;
    emit stateChanged();
}

void IslandController::setProgress(double progress)
{
    if (progress == m_progress)
        return;
    m_progress = progress;
    emit progressChanged();
}
