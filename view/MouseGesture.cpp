#include "view/MouseGesture.h"

#include <Qt>

void MouseGesture::press(const QPoint &pos, qint64 timeMs)
{
    m_press = pos;
    m_previous = pos;
    m_pressTimeMs = timeMs;
    m_moved = false;
}

MouseGesture::Step MouseGesture::move(const QPoint &pos)
{
    Step step{m_press, m_previous, pos};
    if (pos != m_press)
        m_moved = true;
    m_previous = pos;
    return step;
}

bool MouseGesture::isClick(const QPoint &pos, qint64 timeMs) const
{
    return !m_moved && pos == m_press && timeMs - m_pressTimeMs < kClickLimitMs;
}

int MouseGesture::moveButton(int heldButtons)
{
    if (heldButtons & Qt::LeftButton)
        return 1;
    if (heldButtons & Qt::RightButton)
        return 2;
    return 3;
}

int MouseGesture::buttonNumber(int qtButton)
{
    if (qtButton == Qt::LeftButton)
        return 1;
    if (qtButton == Qt::RightButton)
        return 2;
    return 3;
}
