#pragma once

#include "UiHarness.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>
#include <QtTest>

#include <memory>

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
        // Message dialogs are the widget message box under a QApplication.
        for (QWidget *box : QApplication::topLevelWidgets()) {
            if (!box->isVisible() || box->windowTitle() != title)
                continue;
            for (QAbstractButton *button : box->findChildren<QAbstractButton *>())
                if (button->isVisible() && button->text().remove(QLatin1Char('&')) == text) {
                    QTest::mouseClick(button, Qt::LeftButton);
                    return true;
                }
        }
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
        // A click a busy machine let pass opens no dialog: the person clicks again.
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (!click(QStringLiteral("menuButton"))) {
                qWarning("no menu button");
                return false;
            }
            if (!click(QStringLiteral("menuOpen"))) {
                qWarning("no menu entry");
                return false;
            }
            if (openFileDialog())
                return acceptFileDialog(files);
        }
        return false;
    }
    // A new window, drawn, with these files opened through the dialog; null when any step
    // fails.
    static std::unique_ptr<WindowDriver> withFiles(const QList<QUrl> &files)
    {
        auto w = std::make_unique<WindowDriver>();
        if (w->result != 0 || !w->waitForFrames())
            return nullptr;
        if (!files.isEmpty() && !w->openThroughDialog(files))
            return nullptr;
        w->waitForFrames();
        return w;
    }
    // A dialog's first showing builds its widgets and reads a folder: slow on a busy machine.
    static constexpr int kDialogWaitMs = 20000;

    // The widget file dialog while it is open, as the person sees it.
    static QFileDialog *openFileDialog()
    {
        QFileDialog *d = nullptr;
        (void)QTest::qWaitFor(
            [&d] {
                d = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
                return d && d->isVisible();
            },
            kDialogWaitMs);
        return d;
    }
    static QPushButton *fileDialogButton(QFileDialog *d, QDialogButtonBox::StandardButton which)
    {
        auto *box = d ? d->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox")) : nullptr;
        return box ? box->button(which) : nullptr;
    }
    // Presses the open file dialog's Cancel button.
    bool cancelFileDialog()
    {
        QFileDialog *d = openFileDialog();
        QPushButton *cancel = fileDialogButton(d, QDialogButtonBox::Cancel);
        if (!cancel)
            return false;
        QTest::mouseClick(cancel, Qt::LeftButton);
        return QTest::qWaitFor([d] { return !d->isVisible(); }, kDialogWaitMs);
    }
    // Chooses files in the open file dialog: goes to their folder (the first's) as its path bar
    // would, types their names into its name field (in quotes when there are several) and
    // presses its Open or Save button, confirming an overwrite where the dialog asks. A folder
    // that does not exist is typed with the name.
    bool acceptFileDialog(const QList<QUrl> &files)
    {
        QFileDialog *d = openFileDialog();
        auto *edit = d ? d->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")) : nullptr;
        QPushButton *accept = fileDialogButton(d, d && d->acceptMode() == QFileDialog::AcceptOpen
                                                      ? QDialogButtonBox::Open
                                                      : QDialogButtonBox::Save);
        if (!edit || !accept || files.isEmpty()) {
            qWarning("no file dialog");
            return false;
        }
        // A whole path typed into the field is rewritten by its completer when it names an
        // existing file outside the dialog's folder.
        const QString folder = QFileInfo(files.first().toLocalFile()).absolutePath();
        const bool inFolder = QFileInfo(folder).isDir();
        if (inFolder)
            d->setDirectory(folder);
        QStringList names;
        for (const QUrl &f : files) {
            const QString name = inFolder ? f.fileName() : f.toLocalFile();
            names << (files.size() > 1 ? QLatin1Char('"') + name + QLatin1Char('"') : name);
        }
        const QString typed = names.join(QLatin1Char(' '));
        QStringList wanted;
        for (const QUrl &f : files)
            wanted << QFileInfo(f.toLocalFile()).absoluteFilePath();
        wanted.sort();
        // The dialog opens its list's selection where it has one, not the field: the field's
        // names select their rows, but without focus (no window manager here gives it) rows
        // selected before stay selected, and a late listing writes the selection into the
        // field. Before pressing Open the field and the selection are made to agree, as a
        // person checks the names the dialog shows.
        auto *list = d->findChild<QAbstractItemView *>(QStringLiteral("listView"));
        const auto agree = [&] {
            QStringList chosen;
            for (const QString &path : d->selectedFiles())
                chosen << QFileInfo(path).absoluteFilePath();
            chosen.sort();
            return edit->text() == typed && chosen == wanted;
        };
        const auto retype = [&] {
            if (list && list->selectionModel())
                list->selectionModel()->clearSelection();
            edit->setText(typed);
        };
        edit->clear();
        QTest::keyClicks(edit, typed);
        // Over an existing file the dialog asks in a message box of its own, from within the
        // click: the question is answered from the event loop it runs.
        QTimer confirm;
        QObject::connect(&confirm, &QTimer::timeout, [&confirm] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (box && box->button(QMessageBox::Yes)) {
                confirm.stop();
                QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
            }
        });
        confirm.start(20);
        for (int attempt = 0; attempt < 3; ++attempt) {
            // The button waits for the dialog's folder listing to know the names.
            (void)QTest::qWaitFor(
                [&] {
                    if (!agree())
                        retype();
                    return accept->isEnabled() && agree();
                },
                kDialogWaitMs);
            if (!agree())
                qWarning() << "the dialog shows" << edit->text() << "and would open"
                           << d->selectedFiles() << "for" << typed;
            // An open completion list would take the click for itself.
            if (QCompleter *completer = edit->completer())
                completer->popup()->hide();
            QTest::mouseClick(accept, Qt::LeftButton);
            if (QTest::qWaitFor([d] { return !d->isVisible(); }, 5000))
                return true;
            // A click a busy machine let pass: the person checks the names and clicks again.
            qWarning() << "the file dialog stayed open with" << edit->text();
        }
        return false;
    }
};
