#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QTimer>

class QCoreApplication;
class QPointF;
class QQuickItem;
class QQuickWindow;

// Controls 1 shows a button's tool tip only while the button is enabled, and a person meets
// the tool panel with every tool disabled: hovering it would tell them nothing. This shows the
// tip of a disabled button (an item with a non-empty "tooltip" text) after the pause Controls
// waits for its own, and hides it when the pointer leaves the button.
class DisabledButtonTips : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDelayMs = 1000;

    // Installs itself on the application, which owns it.
    explicit DisabledButtonTips(QCoreApplication *app);

    // The disabled button with a tip under a point of the window, or null (an enabled button
    // shows its own tip).
    static QQuickItem *disabledButtonAt(QQuickWindow *window, const QPointF &scenePos);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void hover(QQuickItem *button, const QPoint &globalPos);
    void showTip();

    QTimer m_delay;
    QPointer<QQuickItem> m_button;
    QPoint m_globalPos;
    bool m_shown = false;
};
