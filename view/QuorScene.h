#pragma once

#include "view/MouseGesture.h"

#include <QQuickItem>

#include <memory>

class QuorModel;
class SceneRenderer;

// The 3D view's item: it draws nothing itself. It hooks the window's scene-graph signals so
// that the workspace's picture is drawn under Qt Quick's items, passes its pixel size on,
// schedules repaints, takes dropped files, and forwards the mouse to the workspace.
class QuorScene : public QQuickItem
{
    Q_OBJECT
public:
    explicit QuorScene(QQuickItem *parent = nullptr);
    ~QuorScene() override;

    // The workspace it shows and forwards the mouse to; start-up hands it over before the
    // window is shown.
    void setWorkspace(QuorModel *workspace);
    QuorModel *workspace() const { return m_workspace; }

    // The mouse area over the view hands its events here (positions in item pixels).
    Q_INVOKABLE void mousePressed(int button, int x, int y);
    Q_INVOKABLE void mouseMoved(int buttons, int x, int y);
    Q_INVOKABLE void mouseReleased(int button, int x, int y, int modifiers);
    Q_INVOKABLE void wheel(int angleDeltaX, int angleDeltaY);
    // The keys of the view. Returns "confirmDelete" when the UI must ask before deleting,
    // an empty string otherwise.
    Q_INVOKABLE QString keyPressed(int key, int modifiers);

signals:
    // Files dropped on the view, to be opened.
    void filesDropped(const QList<QUrl> &files);

public slots:
    void sync();
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
    QuorModel *m_workspace = nullptr;
    // Render thread only.
    std::unique_ptr<SceneRenderer> m_renderer;
    MouseGesture m_gesture;
};
