#include "view/QuorScene.h"

#include "view/MouseGesture.h"
#include "view/SceneCamera.h"
#include "view/SceneMouse.h"
#include "view/ScenePicker.h"
#include "view/SceneRenderer.h"
#include "workspace/IslandController.h"
#include "workspace/IslandRegionPreview.h"
#include "workspace/JobController.h"
#include "workspace/SceneObjects.h"
#include "workspace/SupportController.h"
#include "workspace/UndoController.h"
#include "workspace/Workspace.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QKeySequence>
#include <QMimeData>
#include <QQuickWindow>
#include <QRunnable>
#include <QSGRendererInterface>
#include <QThread>

namespace {

// A monotonic clock: the click rule must not see the wall clock jump.
qint64 nowMs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

// Frees the renderer's GL objects on the render thread once the item has left its window.
class ReleaseRenderer : public QRunnable
{
public:
    ReleaseRenderer(SceneRenderer *renderer, std::shared_ptr<std::atomic<SceneRenderer *>> painting)
        : m_renderer(renderer), m_painting(std::move(painting))
    {
    }
    void run() override
    {
        m_painting->store(nullptr);
        m_renderer->releaseGl();
        delete m_renderer;
    }

private:
    SceneRenderer *m_renderer;
    std::shared_ptr<std::atomic<SceneRenderer *>> m_painting;
};

} // namespace

QuorScene::QuorScene(QQuickItem *parent)
    : QQuickItem(parent), m_camera(new SceneCamera(this)),
      m_painting(std::make_shared<std::atomic<SceneRenderer *>>(nullptr))
{
    qDebug() << QThread::currentThreadId() << "QuorScene construct";
    connect(this, &QQuickItem::windowChanged, this, &QuorScene::handleWindowChanged);
    connect(m_camera, &SceneCamera::changed, this, &QuorScene::updateView);
    setFlag(ItemAcceptsDrops, true);
}

QuorScene::~QuorScene()
{
    qDebug() << QThread::currentThreadId() << "QuorScene::~QuorScene()";
}

void QuorScene::setWorkspace(Workspace *workspace)
{
    m_mouse.reset();
    m_picker.reset();
    m_workspace = workspace;
    if (!workspace)
        return;
    SceneObjects *scene = workspace->scene();
    m_picker = std::make_unique<ScenePicker>(*scene, *m_camera);
    m_mouse = std::make_unique<SceneMouse>(*workspace, *m_camera, *m_picker);
    m_camera->followPrinter(workspace->config());
    // The plate is there from the first frame on.
    scene->ensurePlatformBottom();
    // Every change of the workspace repaints the view.
    connect(scene, &SceneObjects::quorModelDataChanged, this, &QuorScene::updateView,
            Qt::UniqueConnection);
    ++m_islandsGeneration;
    connect(workspace->islands(), &IslandController::islandsChanged, this, [this] {
        ++m_islandsGeneration;
        updateView();
    });
    connect(workspace->islandRegions(), &IslandRegionPreview::regionsChanged, this,
            &QuorScene::updateView, Qt::UniqueConnection);
}

void QuorScene::handleWindowChanged(QQuickWindow *win)
{
    qDebug() << QThread::currentThreadId() << "handleWindowChanged, win: " << win;
    if (!win)
        return;
    connect(win, &QQuickWindow::beforeSynchronizing, this, &QuorScene::sync, Qt::DirectConnection);
    connect(win, &QQuickWindow::beforeRendering, this, &QuorScene::paint, Qt::DirectConnection);
    connect(win, &QQuickWindow::sceneGraphInvalidated, this, &QuorScene::cleanup,
            Qt::DirectConnection);
    // The renderer clears and draws first; Qt Quick's items go on top.
    win->setClearBeforeRendering(false);
}

void QuorScene::sync()
{
    Workspace *workspace = m_workspace;
    QQuickWindow *win = window();
    if (!workspace || !win)
        return;
    // The 3D view draws with OpenGL. Under another scene graph backend (the software one, on a
    // machine without OpenGL) it stays empty rather than calling into a context there is not.
    if (win->rendererInterface()->graphicsApi() != QSGRendererInterface::OpenGL) {
        static bool told = false;
        if (!told)
            qWarning() << "the 3D view needs OpenGL; it stays empty with this scene graph backend";
        told = true;
        return;
    }
    if (!m_renderer)
        m_renderer = std::make_unique<SceneRenderer>();
    // A hidden view (another page in front of it) draws nothing at all.
    const QSize itemPx = isVisible() ? QSize(int(width()), int(height())) : QSize();
    const qreal ratio = win->effectiveDevicePixelRatio();
    const QSize devicePx =
        isVisible() ? QSize(int(width() * ratio), int(height() * ratio)) : QSize();
    m_camera->setViewSize(itemPx);
    m_painting->store(m_renderer.get());
    m_renderer->synchronize(*workspace, *m_camera, devicePx, win, m_islandsGeneration);
}

void QuorScene::paint()
{
    if (SceneRenderer *renderer = m_painting->load())
        renderer->paint();
}

void QuorScene::cleanup()
{
    qDebug() << QThread::currentThreadId() << "QuorScene::cleanup()";
    // The context is still current: the GL objects go with it, on this thread.
    if (m_renderer) {
        m_painting->store(nullptr);
        m_renderer->releaseGl();
        m_renderer.reset();
    }
}

void QuorScene::releaseResources()
{
    if (m_renderer && window())
        window()->scheduleRenderJob(new ReleaseRenderer(m_renderer.release(), m_painting),
                                    QQuickWindow::BeforeSynchronizingStage);
}

void QuorScene::updateView()
{
    if (QQuickWindow *win = window())
        win->update();
}

// ---- mouse and keys ----

void QuorScene::mousePressed(int button, int x, int y)
{
    m_gesture.press(QPoint(x, y), nowMs());
    if (m_mouse)
        m_mouse->pressed(MouseGesture::buttonNumber(button), QPoint(x, y));
}

void QuorScene::mouseMoved(int buttons, int x, int y)
{
    const MouseGesture::Step step = m_gesture.move(QPoint(x, y));
    if (m_mouse)
        m_mouse->moved(MouseGesture::moveButton(buttons), step.from, step.pre, step.to);
}

void QuorScene::mouseReleased(int button, int x, int y, int modifiers)
{
    const int number = MouseGesture::buttonNumber(button);
    if (m_mouse)
        m_mouse->released(number, QPoint(x, y));
    if (m_mouse && m_gesture.isClick(QPoint(x, y), nowMs()))
        m_mouse->clicked(number, QPoint(x, y), modifiers & Qt::ShiftModifier);
    // Keys (Delete above all) keep working after any click on the view.
    forceActiveFocus();
}

void QuorScene::wheel(int angleDeltaX, int angleDeltaY)
{
    if (m_mouse)
        m_mouse->wheel(QPoint(angleDeltaX, angleDeltaY));
}

QString QuorScene::keyPressed(int key, int modifiers)
{
    Workspace *workspace = m_workspace;
    if (!workspace)
        return QString();
    SceneObjects *scene = workspace->scene();
    const Qt::KeyboardModifiers mods =
        Qt::KeyboardModifiers(modifiers) & ~Qt::KeyboardModifiers(Qt::KeypadModifier);
    if (key == Qt::Key_Delete) {
        // Deleting a model takes its supports with it: the user confirms that first.
        if (scene->isSelectedModelTypeNormal() && scene->isSelectedModelHaveAnySupports())
            return QStringLiteral("confirmDelete");
        scene->deleteSelectedModel();
        return QString();
    }
    if (key == Qt::Key_Home) {
        m_camera->resetViewPrj();
        return QString();
    }
    if (key == Qt::Key_Escape || (key == Qt::Key_C && (mods & Qt::ControlModifier))) {
        workspace->jobs()->cancelSlice();
        workspace->islands()->cancel();
        workspace->supports()->setManualAddingSupport(false);
        return QString();
    }
    const QKeySequence pressed(int(mods) | key);
    if (QKeySequence::keyBindings(QKeySequence::Undo).contains(pressed)) {
        workspace->undo()->undo();
        return QString();
    }
    if (key == Qt::Key_Up)
        return QStringLiteral("layerUp");
    if (key == Qt::Key_Down)
        return QStringLiteral("layerDown");
    if (key == Qt::Key_PageDown)
        return QStringLiteral("islandNext");
    if (key == Qt::Key_PageUp)
        return QStringLiteral("islandPrevious");
    return QString();
}

// ---- drag and drop ----

void QuorScene::dragEnterEvent(QDragEnterEvent *event)
{
    qDebug() << "QuorScene::dragEnterEvent";
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void QuorScene::dragLeaveEvent(QDragLeaveEvent *event)
{
    Q_UNUSED(event)
    qDebug() << "QuorScene::dragLeaveEvent";
    unsetCursor();
}

void QuorScene::dropEvent(QDropEvent *event)
{
    qDebug() << "QuorScene::dropEvent";
    const QList<QUrl> urls = event->mimeData()->urls();
    for (const QUrl &url : urls)
        qDebug() << "Dropped file:" << url;
    emit filesDropped(urls);
    unsetCursor();
    event->acceptProposedAction();
}
