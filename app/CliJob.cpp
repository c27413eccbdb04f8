#include "app/CliJob.h"

#include "config/QuorConfig.h"
#include "cws/JobCheck.h"
#include "cws/JobSnapshot.h"
#include "workspace/JobController.h"
#include "workspace/QuorApp.h"
#include "workspace/SceneObjects.h"
#include "workspace/SupportController.h"
#include "workspace/TransformController.h"
#include "workspace/Workspace.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QUrl>

namespace {

enum ExitStatus
{
    kDone = 0,
    kFailed = 1,
    kIslandsFound = 3,
    kCancelled = 130
};

} // namespace

CliJob::CliJob(const CliOptions &options, QuorApp &app, Workspace &workspace, FILE *out, FILE *err,
               bool progressBar)
    : m_options(options), m_islands(options.islands, options.islandsJsonPath, out, err), m_app(app),
      m_workspace(workspace), m_out(out), m_err(err), m_progressBar(progressBar)
{
}

void CliJob::cancel()
{
    m_cancelRequested = true;
    m_islands.cancel();
    m_workspace.jobs()->cancelSlice();
}

void CliJob::showProgress(float ratio)
{
    if (!m_progressBar)
        return;
    const int percent = qBound(0, int(ratio * 100.0f), 100);
    if (percent == m_lastPercent)
        return;
    m_lastPercent = percent;
    const int width = 40;
    const int filled = percent * width / 100;
    std::fprintf(m_out, "\r[%s%s] %3d%%", QByteArray(filled, '#').constData(),
                 QByteArray(width - filled, '.').constData(), percent);
    std::fflush(m_out);
}

void CliJob::runBackgroundJob(const QString &event, const std::function<void()> &start,
                              const std::function<bool()> &running)
{
    JobController *jobs = m_workspace.jobs();
    QEventLoop loop;
    bool ended = false;
    // Both jobs report through the same signal; a ratio of 1 or more is their end.
    const QMetaObject::Connection progress =
        connect(jobs, &JobController::sliceCompletedProgress, this,
                [&](float ratio, bool, const QString &from) {
                    if (from != event)
                        return;
                    if (ratio >= 1.0f) {
                        ended = true;
                        loop.quit();
                    } else {
                        showProgress(ratio);
                    }
                });
    showProgress(0.0f);
    start();
    if (m_cancelRequested)
        jobs->cancelSlice();
    if (!ended && running())
        loop.exec();
    disconnect(progress);
    if (m_progressBar)
        std::fprintf(m_out, "\n");
    m_lastPercent = -1;
}

bool CliJob::addAutoSupports()
{
    SceneObjects *scene = m_workspace.scene();
    JobController *jobs = m_workspace.jobs();
    int supportsBefore = 0;
    for (const Model *object : scene->objects())
        supportsBefore += object->type == Model::TYPE_SUPPORT;
    // The generator works on the selected model only when there is one.
    scene->deselectAll(false);
    runBackgroundJob(
        QStringLiteral("autoSupport"), [jobs] { jobs->addSupportAuto(0.0f); },
        [jobs] { return jobs->isGeneratingSupports(); });
    if (m_cancelRequested)
        return false;
    int supportsAfter = 0;
    for (const Model *object : scene->objects())
        supportsAfter += object->type == Model::TYPE_SUPPORT;
    std::fprintf(m_out, "Added %d automatic supports\n", supportsAfter - supportsBefore);
    return true;
}

bool CliJob::checkScene()
{
    const QuorConfig &config = m_workspace.config();
    const CWS::JobCheck check =
        CWS::checkJob(m_workspace.scene()->objects(), config.currentPrinterModel(),
                      config.jobSettings().layerThicknessMm);
    if (check.nothingToSlice()) {
        std::fprintf(m_err, "quorslice-cli: nothing to slice: %s\n",
                     qPrintable(check.nothingToSliceReason()));
        return false;
    }
    if (!check.outsideVolume())
        return true;
    if (!m_options.allowOutside) {
        std::fprintf(m_err, "quorslice-cli: %s\nUse --allow-outside to slice it anyway.\n",
                     qPrintable(check.outsideText()));
        return false;
    }
    std::fprintf(m_err, "quorslice-cli: warning: %s\n", qPrintable(check.outsideText()));
    return true;
}

int CliJob::checkIslands()
{
    // The snapshot the slicing job will take: models set down on the plate as it sets them.
    const CWS::IslandScanResult result = m_islands.analyse(
        m_workspace.jobs()->sliceSnapshot(QString()), [this](float ratio) { showProgress(ratio); });
    if (m_progressBar && m_lastPercent >= 0)
        std::fprintf(m_out, "\n");
    m_lastPercent = -1;
    switch (m_islands.report(result)) {
    case CliIslands::Outcome::NoIsland:
        return kDone;
    case CliIslands::Outcome::Found:
        return kIslandsFound;
    case CliIslands::Outcome::Cancelled:
        return kCancelled;
    case CliIslands::Outcome::Failed:
        break;
    }
    return kFailed;
}

int CliJob::run()
{
    QuorApp *app = &m_app;
    SceneObjects *workspace = m_workspace.scene();
    JobController *jobs = m_workspace.jobs();
    connect(workspace, &SceneObjects::showAlert, this,
            [this](const QString &msg) { m_lastAlert = msg; });

    // Opened in order, laid out when there is more than one, as the file dialog does.
    const int before = workspace->modelSize();
    for (const QString &input : qAsConst(m_options.inputs)) {
        const QFileInfo info(input);
        m_lastAlert.clear();
        if (!info.isFile() || !info.isReadable()) {
            std::fprintf(m_err, "quorslice-cli: %s: no such readable file\n", qPrintable(input));
            return kFailed;
        }
        const int count = workspace->modelSize();
        const QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());
        app->open(url);
        // A project may hold no objects at all; it still loaded, and says so by not alerting.
        const bool emptyProject = QuorApp::isProjectFile(url) && m_lastAlert.isEmpty();
        if (!m_lastAlert.isEmpty() || (workspace->modelSize() == count && !emptyProject)) {
            std::fprintf(m_err, "quorslice-cli: %s: %s\n", qPrintable(input),
                         m_lastAlert.isEmpty() ? "nothing could be loaded from this file"
                                               : qPrintable(m_lastAlert));
            return kFailed;
        }
    }
    if (workspace->modelSize() == 0) {
        std::fprintf(m_err, "quorslice-cli: nothing to slice\n");
        return kFailed;
    }
    if (before > 0 || m_options.inputs.size() > 1)
        m_workspace.transform()->autoLayoutModel();
    if (m_options.autoSupports && !addAutoSupports()) {
        std::fprintf(m_err, "quorslice-cli: cancelled while adding supports\n");
        return kCancelled;
    }
    if (m_options.baseMm) {
        // With nothing selected every model gets its own base.
        workspace->deselectAll(false);
        m_workspace.supports()->addSupportBase(*m_options.baseMm);
    }
    if (m_cancelRequested) {
        std::fprintf(m_err, "quorslice-cli: cancelled\n");
        return kCancelled;
    }
    if (!checkScene())
        return kFailed;

    int done = kDone;
    if (m_options.islands || !m_options.islandsJsonPath.isEmpty()) {
        done = checkIslands();
        if (done != kDone && done != kIslandsFound)
            return done;
    }
    if (m_options.output.isEmpty())
        return done;

    const QString archive = QFileInfo(m_options.output).absoluteFilePath();
    QElapsedTimer timer;
    timer.start();
    runBackgroundJob(
        QStringLiteral("slice"),
        [app, archive] { app->setCwsFile(QUrl::fromLocalFile(archive)); }, // as the GUI does
        [jobs] { return jobs->isSlicing(); });

    if (jobs->lastSliceCompleted()) {
        showProgress(1.0f);
        std::fprintf(m_out, "Sliced %d layers in %.1f s into %s\n", jobs->sliceNumber(),
                     double(timer.elapsed()) / 1000.0,
                     qPrintable(QDir::toNativeSeparators(archive)));
        return done;
    }
    if (m_cancelRequested || jobs->getCancelSlice()) {
        std::fprintf(m_err, "quorslice-cli: cancelled; %s is incomplete\n", qPrintable(archive));
        return kCancelled;
    }
    std::fprintf(m_err, "quorslice-cli: %s\n",
                 qPrintable(jobs->lastSliceError().isEmpty() ? QStringLiteral("slicing failed")
                                                             : jobs->lastSliceError()));
    return kFailed;
}
