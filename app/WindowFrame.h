#pragma once

#include <QObject>
#include <QPointF>
#include <QRect>

class QQuickWindow;

// Moving, resizing and maximising the frameless main window from its title bar and borders.
// The window system does it where it can; otherwise (no window manager) it is done here,
// never below the window's minimum size.
class WindowFrame : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QQuickWindow *window READ window WRITE setWindow NOTIFY windowChanged)
    Q_PROPERTY(bool maximized READ maximized NOTIFY maximizedChanged)
public:
    explicit WindowFrame(QObject *parent = nullptr);

    QQuickWindow *window() const { return m_window; }
    void setWindow(QQuickWindow *window);
    bool maximized() const;

    // Positions in global (screen) coordinates.
    Q_INVOKABLE void startMove(const QPointF &globalPos);
    Q_INVOKABLE void moveTo(const QPointF &globalPos);
    // edges: Qt.LeftEdge | Qt.TopEdge ... of the border being dragged.
    Q_INVOKABLE void startResize(int edges, const QPointF &globalPos);
    Q_INVOKABLE void resizeTo(const QPointF &globalPos);
    Q_INVOKABLE void toggleMaximized();

signals:
    void windowChanged();
    void maximizedChanged();

private:
    QQuickWindow *m_window = nullptr;
    bool m_manual = false; // the drag is done here, not by the window system
    QPointF m_pressGlobal;
    QRect m_startGeometry;
    int m_edges = 0;
};
