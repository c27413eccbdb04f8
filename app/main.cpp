#include "app/Logger.h"
#include "app/ProgramInfo.h"
#include "app/StartupRules.h"
#include "app/UiApplication.h"
#include "app/UiStartup.h"
#include "config/QuorConfig.h"
#include "workspace/QuorApp.h"
#include "workspace/Workspace.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QQmlApplicationEngine>
#include <QScreen>
#include <QThread>
#include <QTranslator>

namespace {

void installTranslation(QGuiApplication &app, QTranslator &translator)
{
    const QStringList languages = QLocale::system().uiLanguages();
    qDebug() << "local uiLanguages: " << languages;
    const QString file = StartupRules::translationFileName(languages);
    if (file.isEmpty())
        return;
    if (translator.load(file, QLibraryInfo::location(QLibraryInfo::TranslationsPath))) {
        const bool installed = app.installTranslator(&translator);
        qDebug() << "installTranslator" << languages.first() << installed;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    // Answered before the log sink, the settings or a window exist.
    if (ProgramInfo::answerEarly(ProgramInfo::Program::Window, argc, argv, stdout))
        return 0;

    Logger logger;
    logger.start(QThread::InheritPriority);

    const std::unique_ptr<QApplication> app = UiApplication::create(argc, argv);

    QTranslator translator;
    installTranslation(*app, translator);

    for (const QScreen *screen : app->screens())
        qDebug() << "dpi: " << screen->logicalDotsPerInch() << screen->devicePixelRatio()
                 << screen->physicalDotsPerInch();

    QuorApp quorApp;
    QuorConfig config;
    Workspace workspace(config);
    qDebug() << QThread::currentThreadId() << "main" << QThread::idealThreadCount();

    UiStartup::registerTypes();

    int exitCode = 0;
    {
        QQmlApplicationEngine engine;
        UiStartup::publish(engine, quorApp, config, workspace,
                           StartupRules::uiScaleFactor(app->primaryScreen()->logicalDotsPerInch()));

        const int loaded =
            UiStartup::loadMainDocument(engine, quorApp, workspace, app->arguments());
        if (loaded != 0)
            return loaded;
        exitCode = app->exec();
    }
    return exitCode;
}
