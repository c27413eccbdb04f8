#include "app/Logger.h"
#include "app/ProgramInfo.h"
#include "app/StartupRules.h"
#include "app/UiStartup.h"
#include "config/QuorConfig.h"
#include "workspace/QuorApp.h"

#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QQmlApplicationEngine>
#include <QScreen>
#include <QThread>
#include <QTranslator>
#include <QtWebEngine/qtwebengineglobal.h>

#include <unistd.h>

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

    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quor3D"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("quor3d.com"));
    QCoreApplication::setApplicationName(ProgramInfo::applicationName());
    QCoreApplication::setApplicationVersion(ProgramInfo::version());
    QGuiApplication::setDesktopFileName(ProgramInfo::desktopId());

    QTranslator translator;
    installTranslation(app, translator);

    for (const QScreen *screen : app.screens())
        qDebug() << "dpi: " << screen->logicalDotsPerInch() << screen->devicePixelRatio()
                 << screen->physicalDotsPerInch();

    QuorApp quorApp;
    QuorConfig config;
    qDebug() << QThread::currentThreadId() << "main" << QThread::idealThreadCount();

    UiStartup::registerTypes();

    int exitCode = 0;
    {
        QQmlApplicationEngine engine;
        UiStartup::publish(engine, quorApp, config,
                           StartupRules::uiScaleFactor(app.primaryScreen()->logicalDotsPerInch()));

        // The web engine's sandbox cannot start for root; the printer page still works without it.
        if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
            qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        QtWebEngine::initialize();

        const int loaded = UiStartup::loadMainDocument(engine, quorApp, app.arguments());
        if (loaded != 0)
            return loaded;
        exitCode = app.exec();
    }
    return exitCode;
}
