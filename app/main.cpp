#include "app/Logger.h"
#include "app/StartupRules.h"
#include "config/QuorConfig.h"
#include "model/DoItem.h"
#include "workspace/QuorApp.h"
#include "workspace/QuorModel.h"

#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQmlEngine>
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
    Logger logger;
    logger.start(QThread::InheritPriority);

    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quor3D"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("quor3d.com"));
    QCoreApplication::setApplicationName(QStringLiteral("Quor Slice"));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.1.6"));

    QTranslator translator;
    installTranslation(app, translator);

    for (const QScreen *screen : app.screens())
        qDebug() << "dpi: " << screen->logicalDotsPerInch() << screen->devicePixelRatio()
                 << screen->physicalDotsPerInch();

    QuorApp quorApp;
    QuorConfig config;
    qDebug() << QThread::currentThreadId() << "main" << QThread::idealThreadCount();

    qmlRegisterType<DoItem>("Quor3D", 1, 0, "DoItem");
    qmlRegisterType<QuorModel>("Quor3D", 1, 0, "QuorModel");

    int exitCode = 0;
    {
        QQmlApplicationEngine engine;
        engine.rootContext()->setContextProperty(
            QStringLiteral("dpiRatio"),
            StartupRules::uiScaleFactor(app.primaryScreen()->logicalDotsPerInch()));
        engine.rootContext()->setContextProperty(QStringLiteral("quor3dApp"), &quorApp);
        engine.rootContext()->setContextProperty(QStringLiteral("quor3dConfig"), &config);
        engine.rootContext()->setContextProperty(QStringLiteral("supportConfig"),
                                                 config.supportConfig());

        // The web engine's sandbox cannot start for root; the printer page still works without it.
        if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
            qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        QtWebEngine::initialize();

        engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
        if (engine.rootObjects().isEmpty())
            return -1;

        // Choosing a job file starts slicing, with or without the 3D view.
        if (QuorModel *workspace = QuorModel::instance())
            QObject::connect(&quorApp, &QuorApp::readyToSlice, workspace, &QuorModel::startSlice);

        exitCode = app.exec();
    }
    return exitCode;
}
