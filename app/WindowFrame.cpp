#include "app/WindowFrame.h"

#include "app/WindowGeometry.h"

#include <QQuickWindow>

WindowFrame::WindowFrame(QObject *parent) : QObject(parent) {}

void WindowFrame::setWindow(QQuickWindow *window)
{
    if (m_window == window)
        return;
    if (m_window)
        disconnect(m_window, nullptr, this, nullptr);
    m_window = window;
    if (m_window)
        connect(m_window, &QWindow::windowStateChanged, this, &WindowFrame::maximizedChanged);
    emit windowChanged();
    emit maximizedChanged();
}

bool WindowFrame::maximized() const
{
    return m_window && (m_window->windowStates() & Qt::WindowMaximized);
}

void WindowFrame::startMove(const QPointF &globalPos)
{
    if (!m_window)
        return;
    if (maximized()) {
        // A maximised window returns to its normal size first, under the pointer.
        m_window->showNormal();
        const int x = int(globalPos.x()) - m_window->width() / 2;
        m_window->setPosition(x, int(globalPos.y()) - 10);
    }
    m_manual = !m_window->startSystemMove();
    m_pressGlobal = globalPos;
    m_startGeometry = m_window->geometry();
}

void WindowFrame::moveTo(const QPointF &globalPos)
{
    if (!m_window || !m_manual)
        return;
    const QPoint delta = (globalPos - m_pressGlobal).toPoint();
    m_window->setPosition(m_startGeometry.topLeft() + delta);
}

void WindowFrame::startResize(int edges, const QPointF &globalPos)
{
    if (!m_window || maximized())
        return;
    m_edges = edges;
    m_manual = !m_window->startSystemResize(Qt::Edges(edges));
    m_pressGlobal = globalPos;
    m_startGeometry = m_window->geometry();
}

void WindowFrame::resizeTo(const QPointF &globalPos)
{
    if (!m_window || !m_manual || m_edges == 0)
        return;
    const QRect r = WindowGeometry::resized(
        m_startGeometry, m_edges, (globalPos - m_pressGlobal).toPoint(), m_window->minimumSize());
    m_window->setGeometry(r);
}

void WindowFrame::toggleMaximized()
{
    if (!m_window)
        return;
    if (maximized())
        m_window->showNormal();
    else
        m_window->showMaximized();
}
