#pragma once

#include "view/MouseGesture.h"

#include <QQuickItem>

#include <atomic>
#include <memory>

class SceneCamera;
class SceneMouse;
class ScenePicker;
class SceneRenderer;
class Workspace;

// The 3D view's item: it draws nothing itself. It hooks the window's scene-graph signals so that
// its renderer draws the workspace under Qt Quick's items, passes its size on, schedules
// repaints, takes dropped files, and owns the camera, the picker and the rules of the mouse.
// Positions are in item pixels throughout; only the renderer's GL viewport is in device pixels.
class QuorScene : public QQuickItem
{
    Q_OBJECT
    // The view buttons turn and zoom it.
    Q_PROPERTY(SceneCamera *camera READ camera CONSTANT)
public:
    explicit QuorScene(QQuickItem *parent = nullptr);
    ~QuorScene() override;

    // The workspace it shows and edits; start-up hands it over before the window is shown.
    void setWorkspace(Workspace *workspace);
    Workspace *workspace() const { return m_workspace; }
    SceneCamera *camera() const { return m_camera; }
    ScenePicker *picker() const { return m_picker.get(); }
    SceneMouse *mouse() const { return m_mouse.get(); }

    // The mouse area over the view hands its events here (positions in item pixels).
    Q_INVOKABLE void mousePressed(int button, int x, int y);
    Q_INVOKABLE void mouseMoved(int buttons, int x, int y);
    Q_INVOKABLE void mouseReleased(int button, int x, int y, int modifiers);
    Q_INVOKABLE void wheel(int angleDeltaX, int angleDeltaY);
    // The keys of the view. Returns "confirmDelete" when the UI must ask before deleting,
    // "layerUp", "layerDown", "islandNext" or "islandPrevious" for the layer slider, an empty
    // string otherwise.
    Q_INVOKABLE QString keyPressed(int key, int modifiers);

signals:
    // Files dropped on the view, to be opened.
    void filesDropped(const QList<QUrl> &files);

public slots:
    // Render thread, while the GUI thread waits: the next frame's data.
    void sync();
    // Render thread, before Qt Quick draws its own items: the whole 3D picture.
    void paint();
    void cleanup();
    void updateView();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void releaseResources() override;

private slots:
    void handleWindowChanged(QQuickWindow *win);

private:
    Workspace *m_workspace = nullptr;
    SceneCamera *m_camera = nullptr;
    std::unique_ptr<ScenePicker> m_picker;
    std::unique_ptr<SceneMouse> m_mouse;
    MouseGesture m_gesture;
    // Render thread only: the renderer, and the one paint() draws with (shared with a release
    // job that may run after this item is gone).
    std::unique_ptr<SceneRenderer> m_renderer;
    std::shared_ptr<std::atomic<SceneRenderer *>> m_painting;
    // Counts the island lists shown, so that a frame copies a new one only once.
    quint64 m_islandsGeneration = 0;
};
