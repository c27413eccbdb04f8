#include "app/UiStartup.h"

#include "app/FileDialogChoices.h"
#include "app/StartupRules.h"
#include "app/WindowFrame.h"
#include "app/WindowGeometry.h"
#include "config/SettingRanges.h"

#include "config/QuorConfig.h"
#include "model/DoItem.h"
#include "view/IslandTicks.h"
#include "view/QuorScene.h"
#include "view/SceneCamera.h"
#include "workspace/IslandController.h"
#include "workspace/JobController.h"
#include "workspace/LayerPreview.h"
#include "workspace/PanelState.h"
#include "workspace/QuorApp.h"
#include "workspace/SceneObjects.h"
#include "workspace/SupportController.h"
#include "workspace/TransformController.h"
#include "workspace/UndoController.h"
#include "workspace/Workspace.h"

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
    qmlRegisterType<QuorScene>("Quor3D", 1, 0, "Quor3DScene");
    // The frameless window's title bar and borders.
    qmlRegisterType<WindowFrame>("Quor3D", 1, 0, "WindowFrame");
    qmlRegisterType<IslandTicks>("Quor3D", 1, 0, "IslandTicks");
    // The workspace's parts and the view's camera, for typed properties of the documents.
    const QString made = QStringLiteral("made by the program's start-up");
    qmlRegisterUncreatableType<SceneObjects>("Quor3D", 1, 0, "SceneObjects", made);
    qmlRegisterUncreatableType<TransformController>("Quor3D", 1, 0, "TransformController", made);
    qmlRegisterUncreatableType<SupportController>("Quor3D", 1, 0, "SupportController", made);
    qmlRegisterUncreatableType<JobController>("Quor3D", 1, 0, "JobController", made);
    qmlRegisterUncreatableType<LayerPreview>("Quor3D", 1, 0, "LayerPreview", made);
    qmlRegisterUncreatableType<UndoController>("Quor3D", 1, 0, "UndoController", made);
    qmlRegisterUncreatableType<PanelState>("Quor3D", 1, 0, "PanelState", made);
    qmlRegisterUncreatableType<IslandController>("Quor3D", 1, 0, "IslandController", made);
    qmlRegisterUncreatableType<SceneCamera>("Quor3D", 1, 0, "SceneCamera", made);
}

void publish(QQmlApplicationEngine &engine, QuorApp &app, QuorConfig &config, Workspace &workspace,
             double dpiRatio)
{
    app.setWorkspace(&workspace);
    QQmlContext *context = engine.rootContext();
    context->setContextProperty(QStringLiteral("dpiRatio"), dpiRatio);
    context->setContextProperty(QStringLiteral("quor3dApp"), &app);
    context->setContextProperty(QStringLiteral("quor3dConfig"), &config);
    context->setContextProperty(QStringLiteral("supportConfig"), config.supportConfig());
    // Each setting's {min, max}, by its command-line name.
    context->setContextProperty(QStringLiteral("settingRanges"), SettingRanges::forDocuments());
    const std::pair<const char *, QObject *> parts[] = {
        {"sceneObjects", workspace.scene()},    {"selectionTransform", workspace.transform()},
        {"supportTools", workspace.supports()}, {"backgroundJobs", workspace.jobs()},
        {"layerPreview", workspace.layers()},   {"undoHistory", workspace.undo()},
        {"panelState", workspace.panel()},      {"islandCheck", workspace.islands()}};
    for (const auto &part : parts) {
        // The workspace owns its parts; the engine must never free one.
        QQmlEngine::setObjectOwnership(part.second, QQmlEngine::CppOwnership);
        context->setContextProperty(QString::fromLatin1(part.first), part.second);
    }
    // The window looks for islands after each change; the command line asks when it wants to.
    workspace.islands()->setWatching(true);
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

int loadMainDocument(QQmlApplicationEngine &engine, QuorApp &app, Workspace &workspace,
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
    // Choosing a job file slices; files dropped on the view open.
    JobController *jobs = workspace.jobs();
    QObject::connect(&app, &QuorApp::readyToSlice, jobs,
                     [&app, jobs] { jobs->startSlice(app.cwsFile().toLocalFile()); });
    QObject::connect(scene, &QuorScene::filesDropped, &app, &QuorApp::openFiles);

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
