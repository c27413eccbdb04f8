#pragma once

#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QWidget>
#include <QtTest>

#include <functional>

// Drives Qt Quick windows as a person does: items are found by object name in any visible
// window (dialogs and wizards are windows of their own) and get mouse clicks and key presses
// at their place on the screen.
namespace QuickItems {

inline QQuickItem *findIn(QQuickItem *item, const std::function<bool(QQuickItem *)> &match)
{
    if (!item)
        return nullptr;
    if (match(item))
        return item;
    for (QQuickItem *child : item->childItems())
        if (QQuickItem *found = findIn(child, match))
            return found;
    return nullptr;
}

inline QQuickItem *find(const std::function<bool(QQuickItem *)> &match,
                        bool hiddenWindowsToo = false)
{
    for (QWindow *w : QGuiApplication::topLevelWindows()) {
        auto *quick = qobject_cast<QQuickWindow *>(w);
        if (quick && (hiddenWindowsToo || quick->isVisible()))
            if (QQuickItem *found = findIn(quick->contentItem(), match))
                return found;
    }
    return nullptr;
}

// The item with this object name in a visible window.
inline QQuickItem *item(const QString &objectName)
{
    return find([&](QQuickItem *i) { return i->objectName() == objectName; });
}

// The item with this object name in any window, shown or not: a closed dialog's fields.
inline QQuickItem *itemAnywhere(const QString &objectName)
{
    return find([&](QQuickItem *i) { return i->objectName() == objectName; }, true);
}

// A visible button (or anything with a text) showing exactly this text.
inline QQuickItem *withText(const QString &text, QQuickWindow *in = nullptr)
{
    const auto match = [&](QQuickItem *i) {
        return i->isVisible() && i->property("text").toString() == text &&
               i->property("checkable").isValid(); // buttons, not their labels
    };
    return in ? findIn(in->contentItem(), match) : find(match);
}

// Whether the item and all its ancestors are visible.
inline bool shown(QQuickItem *item)
{
    return item && item->isVisible() && item->window() && item->window()->isVisible();
}

inline QPoint scenePoint(QQuickItem *item, QPointF local)
{
    return item->mapToScene(local).toPoint();
}

// Lets the window lay out what changed, so that items stand where they will be shown: a row
// that has just shown or hidden a child moves the others only when the window polishes it,
// which it does on the GUI thread before each frame, just before afterAnimating.
inline void settle(QQuickWindow *w)
{
    if (!w || !w->isExposed())
        return;
    QSignalSpy polished(w, &QQuickWindow::afterAnimating);
    for (int i = 0; i < 20 && polished.count() < 2; ++i) {
        w->update();
        polished.wait(100);
    }
}

inline void clickAt(QQuickItem *item, QPointF local)
{
    QQuickWindow *w = item->window();
    settle(w);
    if (!w->isActive()) {
        w->requestActivate();
        if (!QTest::qWaitForWindowActive(w, 2000))
            qWarning() << "window not active:" << w->title();
    }
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, scenePoint(item, local));
}

inline void click(QQuickItem *item)
{
    clickAt(item, QPointF(item->width() / 2, item->height() / 2));
}

inline void key(QQuickItem *on, Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(on->window(), k, modifiers);
}

// Types text into the window that holds the item, one key at a time.
inline void type(QQuickItem *on, const QString &text)
{
    for (const QChar c : text) {
        const char ascii = c.toLatin1();
        QTest::keyClick(on->window(), ascii);
    }
}

// Replaces what a text field or spin box holds with text: click into its text, select all,
// type, then Tab away (the field finishes editing as when a person leaves it).
inline void replaceText(QQuickItem *field, const QString &text, bool tabAway = true)
{
    clickAt(field, QPointF(std::min(20.0, field->width() / 4), field->height() / 2));
    QTRY_VERIFY(field->hasActiveFocus() || field->window()->activeFocusItem() != nullptr);
    key(field, Qt::Key_A, Qt::ControlModifier);
    type(field, text);
    if (tabAway)
        key(field, Qt::Key_Tab);
}

// The visible window with this title, if any: a document's own, or a widget's (a message box
// under a QApplication).
inline QWindow *anyWindow(const QString &title)
{
    for (QWindow *w : QGuiApplication::topLevelWindows())
        if (w->isVisible() && w->title() == title)
            return w;
    return nullptr;
}
inline QQuickWindow *window(const QString &title)
{
    return qobject_cast<QQuickWindow *>(anyWindow(title));
}

// Where a screenshot for people to look at goes.
inline QString screenshotPath(const QString &name)
{
    const QString dir = qEnvironmentVariable("QUOR_SCREENSHOTS", QDir::currentPath());
    QDir().mkpath(dir);
    return dir + QLatin1Char('/') + name + QStringLiteral(".png");
}

// A window's picture, once the render loop has it: a window shown but not yet exposed is
// unknown to the render loop, and grabbing it then crashes. Null when it never comes.
inline QImage grabShown(QQuickWindow *w)
{
    if (!QTest::qWaitFor([w] { return w->isExposed() && w->isSceneGraphInitialized(); }, 10000))
        return QImage();
    return w->grabWindow();
}

// Saves a screenshot of a window, or of a widget's (a message box under a QApplication).
inline void screenshot(QQuickWindow *w, const QString &name)
{
    grabShown(w).save(screenshotPath(name));
}
inline void screenshot(QWidget *w, const QString &name)
{
    w->grab().save(screenshotPath(name));
}

} // namespace QuickItems
