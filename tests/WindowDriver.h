#pragma once

#include "UiHarness.h"

#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtTest>

// Drives the main window as a user does: clicks at the items' places, keys, and the dialogs'
// own buttons.
class WindowDriver : public UiHarness
{
public:
    using UiHarness::UiHarness;

    bool visibleItem(const QString &name) const
    {
        QQuickItem *it = item(name);
        return it && it->isVisible();
    }
    bool enabledItem(const QString &name) const
    {
        QQuickItem *it = item(name);
        return it && it->isEnabled();
    }
    // A left click at the centre of an item found by its object name.
    bool click(const QString &name, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QQuickItem *it = item(name);
        if (!it || !it->isVisible())
            return false;
        QTest::mouseClick(window, Qt::LeftButton, mods, centreOf(name));
        return true;
    }
    void clickAt(const QPoint &pos, Qt::MouseButton button = Qt::LeftButton,
                 Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::mouseClick(window, button, mods, pos);
    }
    // Keys reach the focused item of the active window only: after a dialog of its own window
    // the main window is made active again, as the window manager would.
    void activate()
    {
        if (QGuiApplication::focusWindow() != window) {
            window->requestActivate();
            (void)QTest::qWaitFor([this] { return QGuiApplication::focusWindow() == window; },
                                  3000);
        }
    }
    void key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        activate();
        QTest::keyClick(window, Qt::Key(key), mods);
    }
    // Types text into a number field (the NumberField's object name) and confirms it.
    bool typeInto(const QString &field, const QString &text)
    {
        const QString box = field + QStringLiteral("Box");
        if (!click(box))
            return false;
        key(Qt::Key_A, Qt::ControlModifier);
        for (const QChar c : text)
            QTest::keyClick(window, c.toLatin1());
        key(Qt::Key_Return);
        return true;
    }
    double fieldValue(const QString &field) const
    {
        QQuickItem *it = item(field + QStringLiteral("Box"));
        return it ? it->property("value").toDouble() : qQNaN();
    }

    // The dialog object (MessageDialog, FileDialog, Dialog) by object name.
    QObject *dialog(const QString &name) const { return window->findChild<QObject *>(name); }
    bool dialogVisible(const QString &name) const
    {
        QObject *d = dialog(name);
        return d && d->property("visible").toBool();
    }
    // Clicks a button of a dialog's window by the button's text.
    bool clickDialogButton(const QString &dialogName, const QString &text)
    {
        QObject *d = dialog(dialogName);
        if (!d)
            return false;
        const QString title = d->property("title").toString();
        for (QWindow *w : QGuiApplication::topLevelWindows()) {
            auto *qw = qobject_cast<QQuickWindow *>(w);
            if (!qw || qw == window || !qw->isVisible() || qw->title() != title)
                continue;
            if (QQuickItem *button = findButton(qw->contentItem(), text)) {
                const QPoint c =
                    button->mapToScene(QPointF(button->width() / 2, button->height() / 2))
                        .toPoint();
                QTest::mouseClick(qw, Qt::LeftButton, Qt::NoModifier, c);
                return true;
            }
        }
        return false;
    }
    // A visible button (anything with a text and a pressed state) by its text.
    static QQuickItem *findButton(QQuickItem *from, const QString &text)
    {
        if (from->isVisible() && from->property("text").toString() == text &&
            from->property("pressed").isValid())
            return from;
        for (QQuickItem *child : from->childItems())
            if (QQuickItem *found = findButton(child, text))
                return found;
        return nullptr;
    }

    // Opens files through the menu and the file dialog, as a user picks them.
    bool openThroughDialog(const QList<QUrl> &files)
    {
        if (!click(QStringLiteral("menuButton"))) {
            qWarning("no menu button");
            return false;
        }
        if (!click(QStringLiteral("menuOpen"))) {
            qWarning("no menu entry");
            return false;
        }
        return acceptFileDialog(files);
    }
    bool acceptFileDialog(const QList<QUrl> &files)
    {
        QObject *d = dialog(QStringLiteral("fileDialog"));
        if (!d || !QTest::qWaitFor([d] { return d->property("visible").toBool(); }, 5000)) {
            qWarning("no file dialog %p", static_cast<void *>(d));
            return false;
        }
        QMetaObject::invokeMethod(d, "clearSelection");
        for (const QUrl &f : files)
            QMetaObject::invokeMethod(d, "addSelection", Q_ARG(QUrl, f));
        QMetaObject::invokeMethod(d, "accept");
        return true;
    }
};
