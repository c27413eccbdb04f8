#include "view/QuorScene.h"

#include "view/MouseGesture.h"
#include "view/ScenePicker.h"
#include "view/SceneRenderer.h"
#include "workspace/QuorModel.h"

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
    ReleaseRenderer(SceneRenderer *renderer, QuorModel *workspace)
        : m_renderer(renderer), m_workspace(workspace)
    {
    }
    void run() override
    {
        if (m_workspace)
            m_workspace->setRenderer(nullptr);
        m_renderer->releaseGl();
        delete m_renderer;
    }

private:
    SceneRenderer *m_renderer;
    QuorModel *m_workspace;
};

} // namespace

QuorScene::QuorScene(QQuickItem *parent) : QQuickItem(parent)
{
    qDebug() << QThread::currentThreadId() << "QuorScene construct";
    connect(this, &QQuickItem::windowChanged, this, &QuorScene::handleWindowChanged);
    setFlag(ItemAcceptsDrops, true);
}

QuorScene::~QuorScene()
{
    qDebug() << QThread::currentThreadId() << "QuorScene::~QuorScene()";
}

void QuorScene::setWorkspace(QuorModel *workspace)
{
    m_workspace = workspace;
    if (workspace)
        workspace->setPicker(std::make_unique<ScenePicker>(*workspace));
}

void QuorScene::handleWindowChanged(QQuickWindow *win)
{
    qDebug() << QThread::currentThreadId() << "handleWindowChanged, win: " << win;
    if (!win)
        return;
    connect(win, &QQuickWindow::beforeSynchronizing, this, &QuorScene::sync, Qt::DirectConnection);
    connect(win, &QQuickWindow::sceneGraphInvalidated, this, &QuorScene::cleanup,
            Qt::DirectConnection);
    // The renderer clears and draws first; Qt Quick's items go on top.
    win->setClearBeforeRendering(false);
}

void QuorScene::sync()
{
    QuorModel *workspace = m_workspace;
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
        workspace->ensurePlatformBottom();
        return;
    }
    if (!m_renderer) {
        m_renderer = std::make_unique<SceneRenderer>();
        // Once per window: a second window (or a test's second engine) gets its own.
        connect(win, &QQuickWindow::beforeRendering, workspace, &QuorModel::paint,
                Qt::ConnectionType(Qt::DirectConnection | Qt::UniqueConnection));
    }
    // The plate exists from the first frame on.
    workspace->ensurePlatformBottom();
    const qreal ratio = win->effectiveDevicePixelRatio();
    // A hidden view (another page in front of it) draws nothing at all.
    const QSize size = isVisible() ? QSize(int(width() * ratio), int(height() * ratio)) : QSize();
    workspace->setViewportSize(size);
    workspace->setRenderer(m_renderer.get());
    m_renderer->synchronize(*workspace, win);
}

void QuorScene::cleanup()
{
    qDebug() << QThread::currentThreadId() << "QuorScene::cleanup()";
    // The context is still current: the GL objects go with it, on this thread.
    if (m_renderer) {
        if (m_workspace)
            m_workspace->setRenderer(nullptr);
        m_renderer->releaseGl();
        m_renderer.reset();
    }
}

void QuorScene::releaseResources()
{
    if (m_renderer && window())
        window()->scheduleRenderJob(new ReleaseRenderer(m_renderer.release(), m_workspace),
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
    if (QuorModel *workspace = m_workspace)
        workspace->onMousePressed(uint(MouseGesture::buttonNumber(button)), uint(x), uint(y));
}

void QuorScene::mouseMoved(int buttons, int x, int y)
{
    const MouseGesture::Step step = m_gesture.move(QPoint(x, y));
    if (QuorModel *workspace = m_workspace)
        workspace->onMousePressedMove(uint(MouseGesture::moveButton(buttons)), step.from, step.pre,
                                      step.to);
}

void QuorScene::mouseReleased(int button, int x, int y, int modifiers)
{
    QuorModel *workspace = m_workspace;
    const uint number = uint(MouseGesture::buttonNumber(button));
    if (workspace)
        workspace->onMouseReleased(number, uint(x), uint(y));
    if (workspace && m_gesture.isClick(QPoint(x, y), nowMs()))
        workspace->onMouseClicked(number, uint(x), uint(y), modifiers & Qt::ShiftModifier);
    // Keys (Delete above all) keep working after any click on the view.
    forceActiveFocus();
}

void QuorScene::wheel(int angleDeltaX, int angleDeltaY)
{
    if (QuorModel *workspace = m_workspace)
        workspace->onWheel(QPoint(angleDeltaX, angleDeltaY));
}

QString QuorScene::keyPressed(int key, int modifiers)
{
    QuorModel *workspace = m_workspace;
    if (!workspace)
        return QString();
    const Qt::KeyboardModifiers mods =
        Qt::KeyboardModifiers(modifiers) & ~Qt::KeyboardModifiers(Qt::KeypadModifier);
    if (key == Qt::Key_Delete) {
        // Deleting a model takes its supports with it: the user confirms that first.
        if (workspace->isSelectedModelTypeNormal() && workspace->isSelectedModelHaveAnySupports())
            return QStringLiteral("confirmDelete");
        workspace->deleteSelectedModel();
        return QString();
    }
    if (key == Qt::Key_Home) {
        workspace->resetViewPrj();
        return QString();
    }
    if (key == Qt::Key_Escape || (key == Qt::Key_C && (mods & Qt::ControlModifier))) {
        workspace->cancelSlice();
        workspace->setManualAddingSupport(false);
        return QString();
    }
    const QKeySequence pressed(int(mods) | key);
    if (QKeySequence::keyBindings(QKeySequence::Undo).contains(pressed)) {
        workspace->undo();
        return QString();
    }
    if (key == Qt::Key_Up)
        return QStringLiteral("layerUp");
    if (key == Qt::Key_Down)
        return QStringLiteral("layerDown");
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
