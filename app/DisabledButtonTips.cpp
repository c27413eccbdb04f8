#include "app/DisabledButtonTips.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QToolTip>

#include <algorithm>

namespace {

// Searches the items under a scene point from the top down, as the pointer meets them. Decided:
// a button with a tip (returned when it is disabled, else null: it shows its own), or an enabled
// item that takes the pointer itself (null). Plain items let the pointer through.
bool tipAt(QQuickItem *item, const QPointF &scenePos, QQuickItem **button)
{
    QList<QQuickItem *> children = item->childItems();
    // Drawn last is on top: the higher z, and among equal z the later child.
    std::stable_sort(children.begin(), children.end(),
                     [](const QQuickItem *a, const QQuickItem *b) { return a->z() < b->z(); });
    for (auto it = children.crbegin(); it != children.crend(); ++it)
        if ((*it)->isVisible() && tipAt(*it, scenePos, button))
            return true;
    if (!item->contains(item->mapFromScene(scenePos)))
        return false;
    const QVariant tip = item->property("tooltip");
    if (tip.isValid()) {
        *button = !item->isEnabled() && !tip.toString().isEmpty() ? item : nullptr;
        return true;
    }
    if (item->isEnabled() &&
        (item->acceptHoverEvents() || item->acceptedMouseButtons() != Qt::NoButton)) {
        *button = nullptr;
        return true;
    }
    return false;
}

} // namespace

DisabledButtonTips::DisabledButtonTips(QCoreApplication *app) : QObject(app)
{
    m_delay.setSingleShot(true);
    m_delay.setInterval(kDelayMs);
    connect(&m_delay, &QTimer::timeout, this, &DisabledButtonTips::showTip);
    app->installEventFilter(this);
}

QQuickItem *DisabledButtonTips::disabledButtonAt(QQuickWindow *window, const QPointF &scenePos)
{
    QQuickItem *button = nullptr;
    tipAt(window->contentItem(), scenePos, &button);
    return button;
}

bool DisabledButtonTips::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseMove && type != QEvent::Leave && type != QEvent::MouseButtonPress)
        return false;
    auto *window = qobject_cast<QQuickWindow *>(watched);
    if (!window)
        return false;
    QQuickItem *button = nullptr;
    QPoint globalPos;
    if (type == QEvent::MouseMove) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->buttons() == Qt::NoButton)
            button = disabledButtonAt(window, mouse->localPos());
        globalPos = mouse->globalPos();
    }
    hover(button, globalPos);
    return false;
}

void DisabledButtonTips::hover(QQuickItem *button, const QPoint &globalPos)
{
    m_globalPos = globalPos;
    if (button == m_button)
        return;
    m_delay.stop();
    if (m_shown)
        QToolTip::hideText();
    m_shown = false;
    m_button = button;
    if (button)
        m_delay.start();
}

void DisabledButtonTips::showTip()
{
    // The button may have gone, been hidden or become enabled (then it shows its own tip).
    if (!m_button || !m_button->isVisible() || m_button->isEnabled())
        return;
    QToolTip::showText(m_globalPos, m_button->property("tooltip").toString());
    m_shown = true;
}
