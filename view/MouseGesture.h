#pragma once

#include <QPoint>

// What the view's mouse area remembers between events: where and when the press was, the
// previous position of a drag, and whether the pointer moved. Times in milliseconds.
class MouseGesture
{
public:
    // A press and release at least this far apart are not a click.
    static constexpr qint64 kClickLimitMs = 300;

    void press(const QPoint &pos, qint64 timeMs);
    struct Step
    {
        QPoint from; // the press position
        QPoint pre;  // the previous position
        QPoint to;   // this one
    };
    // A move with a button held; the position becomes the previous one.
    Step move(const QPoint &pos);
    // Whether the release ends a click: quick, and no move since the press.
    bool isClick(const QPoint &pos, qint64 timeMs) const;

    // 1 with the left button among the held ones, else 2 with the right, else 3.
    static int moveButton(int heldButtons);
    // The button number of a press or release: 1 left, 2 right, 3 any other.
    static int buttonNumber(int qtButton);

private:
    QPoint m_press;
    QPoint m_previous;
    qint64 m_pressTimeMs = 0;
    bool m_moved = false;
};
