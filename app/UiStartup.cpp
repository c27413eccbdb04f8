#include "app/UiStartup.h"

#include "app/FileDialogChoices.h"
#include "app/StartupRules.h"
#include "app/WindowFrame.h"
#include "app/WindowGeometry.h"

#include "config/QuorConfig.h"
#include "model/DoItem.h"
#include "view/QuorScene.h"
#include "workspace/PanelState.h"
#include "workspace/QuorApp.h"
#include "workspace/QuorModel.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QScreen>

namespace UiStartup {

void registerTypes()
{
    qmlRegisterType<DoItem>("Quor3D", 1, 0, "DoItem");
    qmlRegisterType<QuorModel>("Quor3D", 1, 0, "QuorModel");
    qmlRegisterType<QuorScene>("Quor3D", 1, 0, "Quor3DScene");
    // The frameless window's title bar and borders.
    qmlRegisterType<WindowFrame>("Quor3D", 1, 0, "WindowFrame");
    qmlRegisterUncreatableType<PanelState>("Quor3D", 1, 0, "PanelState",
                                           QStringLiteral("the workspace's own"));
}

void publish(QQmlApplicationEngine &engine, QuorApp &app, QuorConfig &config, double dpiRatio)
{
    QQmlContext *context = engine.rootContext();
    context->setContextProperty(QStringLiteral("dpiRatio"), dpiRatio);
    context->setContextProperty(QStringLiteral("quor3dApp"), &app);
    context->setContextProperty(QStringLiteral("quor3dConfig"), &config);
    context->setContextProperty(QStringLiteral("supportConfig"), config.supportConfig());
    // Where the file dialog starts and what its choices become; the engine owns it.
    context->setContextProperty(QStringLiteral("fileDialogChoices"),
                                new FileDialogChoices(QDir::homePath(), config.jobType(), &engine));
}

QuorScene *findScene(QQmlApplicationEngine &engine)
{
    if (engine.rootObjects().isEmpty())
        return nullptr;
    QObject *found =
        engine.rootObjects().first()->findChild<QObject *>(QStringLiteral("Quor3DScene"));
    return qobject_cast<QuorScene *>(found);
}

int loadMainDocument(QQmlApplicationEngine &engine, QuorApp &app, const QStringList &arguments,
                     const QUrl &document)
{
    engine.load(document);
    if (engine.rootObjects().isEmpty())
        return -1;
    QuorScene *scene = findScene(engine);
    QuorModel *workspace = QuorModel::instance();
    if (!scene || !workspace) {
        qDebug() << "no QuorScene object found";
        return -2;
    }
    // A size restored from the settings must fit the screens and the minimum.
    if (auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first())) {
        QList<QRect> screens;
        for (const QScreen *screen : QGuiApplication::screens())
            screens << screen->availableGeometry();
        const QSize size = WindowGeometry::fitted(window->size(), window->minimumSize(), screens);
        if (size != window->size())
            window->resize(size);
        window->setVisible(true);
    }
    // Every change of the workspace repaints the view; choosing a job file slices.
    QObject::connect(workspace, &QuorModel::quorModelDataChanged, scene, &QuorScene::updateView);
    QObject::connect(&app, &QuorApp::readyToSlice, workspace, &QuorModel::startSlice);

    const QList<QUrl> files = commandLineFiles(arguments);
    if (!files.isEmpty())
        app.openFiles(files);
    return 0;
}

QList<QUrl> commandLineFiles(const QStringList &arguments)
{
    QList<QUrl> files;
    for (const QString &argument : StartupRules::fileArguments(arguments)) {
        const QUrl url(argument);
        // A path, or a drive letter on systems that have them; anything else is a URL.
        const bool isPath = url.scheme().size() <= 1;
        files.append(isPath ? QUrl::fromLocalFile(QFileInfo(argument).absoluteFilePath()) : url);
    }
    return files;
}

} // namespace UiStartup
