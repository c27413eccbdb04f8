#pragma once

#include "ConfigTestEnv.h"
#include "ViewPixels.h"

#include "app/UiApplication.h"
#include "app/UiStartup.h"
#include "config/QuorConfig.h"
#include "view/QuorScene.h"
#include "view/SceneCamera.h"
#include "view/SceneMouse.h"
#include "workspace/IslandController.h"
#include "workspace/JobController.h"
#include "workspace/LayerPreview.h"
#include "workspace/QuorApp.h"
#include "workspace/SceneObjects.h"
#include "workspace/SupportController.h"
#include "workspace/TransformController.h"
#include "workspace/UndoController.h"
#include "workspace/Workspace.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

// main for the window suites: the application object made by the program's own start-up, in
// the order Qt requires (QTEST_MAIN would make a bare one).
#define QUOR_WINDOW_TEST_MAIN(TestObject)                                                          \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        const std::unique_ptr<QApplication> app = UiApplication::create(argc, argv);               \
        TestObject test;                                                                           \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }

// The program's window as main builds it, for tests that drive it as a user does: a scratch
// home, the application and configuration services, the engine with the real documents.
class UiHarness
{
public:
    explicit UiHarness(const QStringList &arguments = {QStringLiteral("quorslice")},
                       const QUrl &document = QUrl(QStringLiteral("qrc:/main.qml")))
    {
        static const bool registered = [] {
            UiStartup::registerTypes();
            return true;
        }();
        Q_UNUSED(registered)
        m_app = std::make_unique<QuorApp>();
        m_config = std::make_unique<QuorConfig>();
        m_workspace = std::make_unique<Workspace>(*m_config);
        // Suites run two at a time: at the program's own nice value the island check would get
        // next to nothing beside a busy one.
        m_workspace->islands()->setWorkerNice(10);
        m_engine = std::make_unique<QQmlApplicationEngine>();
        // Quitting ends the test's window, not the test run: the tests watch the engine's quit.
        QObject::disconnect(m_engine.get(), &QQmlEngine::quit, nullptr, nullptr);
        UiStartup::publish(*m_engine, *m_app, *m_config, *m_workspace, 1.0);
        result = UiStartup::loadMainDocument(*m_engine, *m_app, *m_workspace, arguments, document);
        if (!m_engine->rootObjects().isEmpty())
            window = qobject_cast<QQuickWindow *>(m_engine->rootObjects().first());
    }
    ~UiHarness() { shutDown(); }

    // Ends the program's objects as main does on the way out (the engine, the workspace, then
    // the configuration service, which saves the settings file), keeping the scratch home.
    void shutDown()
    {
        m_engine.reset();
        window = nullptr;
        m_workspace.reset();
        m_config.reset();
        m_app.reset();
    }
    QString homePath() const { return m_env.home(); }
    QString settingsPath() const { return m_env.settingsPath(); }

    Workspace *workspace() const { return m_workspace.get(); }
    QuorApp *app() const { return m_app.get(); }
    QuorConfig *config() const { return m_config.get(); }
    QQmlApplicationEngine *engine() const { return m_engine.get(); }
    QuorScene *scene() const { return m_engine ? UiStartup::findScene(*m_engine) : nullptr; }
    SceneCamera *camera() const { return scene() ? scene()->camera() : nullptr; }

    // An item of the window by object name, through the item tree (items that a Repeater
    // made have no object parent to find them by).
    QQuickItem *item(const QString &objectName) const
    {
        if (!window)
            return nullptr;
        QQuickItem *root = window->contentItem();
        while (root->parentItem())
            root = root->parentItem();
        return findItem(root, objectName);
    }
    static QQuickItem *findItem(QQuickItem *from, const QString &objectName)
    {
        if (from->objectName() == objectName)
            return from;
        for (QQuickItem *child : from->childItems())
            if (QQuickItem *found = findItem(child, objectName))
                return found;
        return nullptr;
    }

    // Where a scene point (mm) shows in the window, the 3D view being wherever the window has
    // it.
    QPoint windowPixelOf(const QVector3D &mm) const
    {
        const QPointF origin = scene()->mapToScene(QPointF(0, 0));
        return viewPixelOf(*scene()->camera(), mm) + origin.toPoint();
    }
    // The window position of an item's centre, for clicks.
    QPoint centreOf(const QString &objectName) const
    {
        QQuickItem *it = item(objectName);
        if (!it)
            return QPoint(-1, -1);
        return it->mapToScene(QPointF(it->width() / 2, it->height() / 2)).toPoint();
    }

    // Waits for the window to show and draw frames after the current state.
    bool waitForFrames(int frames = 2)
    {
        if (!window)
            return false;
        if (!window->isExposed() && !QTest::qWaitForWindowExposed(window, 5000))
            return false;

        QSignalSpy swapped(window, &QQuickWindow::frameSwapped);
        window->update();
        for (int i = 0; i < 200 && swapped.count() < frames; ++i) {
            window->update();
            swapped.wait(50);
        }
        return swapped.count() >= frames;
    }
    // In the window's own (logical) pixels at any device pixel ratio, so that positions from
    // items and the camera read the pixel drawn there.
    QImage grab()
    {
        waitForFrames();
        const QImage device = window->grabWindow();
        if (device.size() == window->size())
            return device;
        QImage logical = device.scaled(window->size(), Qt::IgnoreAspectRatio,
                                       Qt::FastTransformation);
        logical.setDevicePixelRatio(1.0);
        return logical;
    }
    // Saves a screenshot for people to look at, beside the test's working directory.
    void saveScreenshot(const QString &name)
    {
        const QString dir = qEnvironmentVariable("QUOR_SCREENSHOTS", QDir::currentPath());
        QDir().mkpath(dir);
        grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
    }

    int result = -100;
    QQuickWindow *window = nullptr;

private:
    ConfigTestEnv m_env;
    std::unique_ptr<QuorApp> m_app;
    std::unique_ptr<QuorConfig> m_config;
    std::unique_ptr<Workspace> m_workspace;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
};
