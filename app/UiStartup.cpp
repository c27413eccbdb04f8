#include "app/UiStartup.h"

#include "app/WindowFrame.h"
#include "app/WindowGeometry.h"

#include "config/QuorConfig.h"
#include "model/DoItem.h"
#include "view/QuorScene.h"
#include "workspace/PanelState.h"
#include "workspace/QuorApp.h"
#include "workspace/QuorModel.h"

#include <QDebug>
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
    qmlRegisterUncreatableType<QuorModel>("Quor3D", 1, 0, "QuorModel",
                                          QStringLiteral("made by the program's start-up"));
    qmlRegisterType<QuorScene>("Quor3D", 1, 0, "Quor3DScene");
    // The frameless window's title bar and borders.
    qmlRegisterType<WindowFrame>("Quor3D", 1, 0, "WindowFrame");
    qmlRegisterUncreatableType<PanelState>("Quor3D", 1, 0, "PanelState",
                                           QStringLiteral("the workspace's own"));
}

void publish(QQmlApplicationEngine &engine, QuorApp &app, QuorConfig &config, QuorModel &workspace,
             double dpiRatio)
{
    app.setWorkspace(&workspace);
    QQmlContext *context = engine.rootContext();
    context->setContextProperty(QStringLiteral("dpiRatio"), dpiRatio);
    context->setContextProperty(QStringLiteral("quor3dApp"), &app);
    context->setContextProperty(QStringLiteral("quor3dConfig"), &config);
    context->setContextProperty(QStringLiteral("supportConfig"), config.supportConfig());
    context->setContextProperty(QStringLiteral("quor3dModel"), &workspace);
}

QuorScene *findScene(QQmlApplicationEngine &engine)
{
    if (engine.rootObjects().isEmpty())
        return nullptr;
    QObject *found =
        engine.rootObjects().first()->findChild<QObject *>(QStringLiteral("Quor3DScene"));
    return qobject_cast<QuorScene *>(found);
}

int loadMainDocument(QQmlApplicationEngine &engine, QuorApp &app, QuorModel &workspace,
                     const QStringList &arguments, const QUrl &document)
{
    engine.load(document);
    if (engine.rootObjects().isEmpty())
        return -1;
    QuorScene *scene = findScene(engine);
    if (!scene) {
        qDebug() << "no QuorScene object found";
        return -2;
    }
    scene->setWorkspace(&workspace);
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
    // Every change of the workspace repaints the view; choosing a job file slices; files
    // dropped on the view open.
    QObject::connect(&workspace, &QuorModel::quorModelDataChanged, scene, &QuorScene::updateView);
    QObject::connect(&app, &QuorApp::readyToSlice, &workspace,
                     [&app, &workspace] { workspace.startSlice(app.cwsFile().toLocalFile()); });
    QObject::connect(scene, &QuorScene::filesDropped, &app, &QuorApp::openFiles);

    const QList<QUrl> files = commandLineFiles(arguments);
    if (!files.isEmpty())
        app.openFiles(files);
    return 0;
}

QList<QUrl> commandLineFiles(const QStringList &arguments)
{
    QList<QUrl> files;
    for (const QString &argument : arguments.mid(1)) {
        const QUrl url(argument);
        // A path, or a drive letter on systems that have them; anything else is a URL.
        const bool isPath = url.scheme().size() <= 1;
        files.append(isPath ? QUrl::fromLocalFile(QFileInfo(argument).absoluteFilePath()) : url);
    }
    return files;
}

} // namespace UiStartup
