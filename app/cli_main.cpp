// The command-line slicer: model and project files in, one job archive out.
#include "app/CliJob.h"
#include "app/CliOptions.h"
#include "app/Logger.h"
#include "app/ProgramInfo.h"
#include "config/QuorConfig.h"
#include "workspace/JobController.h"
#include "workspace/QuorApp.h"
#include "workspace/SceneObjects.h"
#include "workspace/Workspace.h"

#include <QCoreApplication>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <exception>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void onInterrupt(int)
{
    g_interrupted = 1;
}

// The log file only: the terminal is for the progress bar and the summary.
void logFileOnly(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    LogFormat::appendLine(type, msg);
}

int runCli(int argc, char *argv[])
{
    // No window system at all: layer images are painted on plain images.
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quor3D"));
    QCoreApplication::setApplicationName(ProgramInfo::applicationName());
    QCoreApplication::setApplicationVersion(ProgramInfo::version());

    QuorApp service;
    QuorConfig config;
    Workspace workspace(config);
    workspace.scene()->ensurePlatformBottom();
    service.setWorkspace(&workspace);
    QObject::connect(&service, &QuorApp::readyToSlice, workspace.jobs(),
                     [&] { workspace.jobs()->startSlice(service.cwsFile().toLocalFile()); });

    const CliParseResult parsed = parseCliArguments(app.arguments().mid(1), config);
    if (parsed.status == CliParseResult::ShowHelp) {
        std::fprintf(stdout, "%s", qPrintable(parsed.text));
        config.setSaveOnExit(false);
        return 0;
    }
    if (parsed.status == CliParseResult::Error) {
        std::fprintf(stderr, "quorslice-cli: %s\n", qPrintable(parsed.text));
        config.setSaveOnExit(false);
        return 2;
    }
    applyCliOptions(parsed.options, config);

    CliJob job(parsed.options, service, workspace, stdout, stderr, isatty(fileno(stdout)) != 0);
    QTimer interruptPoll;
    QObject::connect(&interruptPoll, &QTimer::timeout, [&] {
        if (g_interrupted)
            job.cancel();
    });
    interruptPoll.start(100);
    return job.run();
}

} // namespace

int main(int argc, char *argv[])
{
    // Answered before the settings are read or a log line is written.
    if (ProgramInfo::answerEarly(ProgramInfo::Program::CommandLine, argc, argv, stdout))
        return 0;
    qInstallMessageHandler(logFileOnly);
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    try {
        return runCli(argc, argv);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "quorslice-cli: unexpected error: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "quorslice-cli: unexpected error\n");
    }
    return 1;
}
