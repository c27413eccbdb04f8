#include "app/DialogPlacement.h"

#include "app/WindowGeometry.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLayout>
#include <QScreen>
#include <QTreeView>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

// The available area of the screen that shows most of the window.
QRect availableAround(const QWindow *window)
{
    const QScreen *screen = QGuiApplication::screenAt(window->geometry().center());
    if (!screen)
        screen = window->screen();
    return screen ? screen->availableGeometry() : QRect();
}

// The file dialog's detail columns as wide as what they show, the name taking the rest: Qt's
// defaults cut the sizes and dates short even in a large dialog.
void fitColumns(QTreeView *tree)
{
    QHeaderView *header = tree->header();
    int others = 0;
    for (int column = 1; column < header->count(); ++column) {
        tree->resizeColumnToContents(column);
        others += header->sectionSize(column);
    }
    header->resizeSection(
        0, std::max(header->defaultSectionSize(), tree->viewport()->width() - others));
}

void fitColumnsOfEachFolder(QFileDialog *dialog)
{
    auto *tree = dialog->findChild<QTreeView *>(QStringLiteral("treeView"));
    if (!tree)
        return;
    fitColumns(tree);
    auto *model = qobject_cast<QFileSystemModel *>(tree->model());
    if (model && !dialog->property("quorColumnsFitted").toBool()) {
        dialog->setProperty("quorColumnsFitted", true);
        QObject::connect(model, &QFileSystemModel::directoryLoaded, tree,
                         [tree] { fitColumns(tree); });
    }
}

} // namespace

DialogPlacement::DialogPlacement(QCoreApplication *app) : QObject(app)
{
    app->installEventFilter(this);
}

bool DialogPlacement::eventFilter(QObject *watched, QEvent *event)
{
    // The show event comes before the window is mapped: a place set now is where it appears.
    if (event->type() != QEvent::Show)
        return false;
    if (watched->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(watched);
        if (widget->isWindow() && widget->windowType() == Qt::Dialog)
            placeWidget(widget);
    } else if (watched->isWindowType() && !watched->inherits("QWidgetWindow")) {
        // A widget's own window follows the widget, placed above.
        auto *window = static_cast<QWindow *>(watched);
        if (window->type() == Qt::Dialog)
            placeWindow(window);
    }
    return false;
}

void DialogPlacement::placeWidget(QWidget *dialog)
{
    const QWindow *handle = dialog->windowHandle();
    const QWindow *parent = handle ? handle->transientParent() : nullptr;
    if (!parent && dialog->parentWidget())
        parent = dialog->parentWidget()->window()->windowHandle();
    if (!parent)
        return;
    const QSize minimum = qobject_cast<QFileDialog *>(dialog) ? kFileDialogMinimum : QSize();
    const QRect placed = WindowGeometry::placedOver(
        dialog->size(), minimum, parent->frameGeometry(), availableAround(parent));
    dialog->resize(placed.size());
    dialog->move(placed.topLeft());
    if (auto *files = qobject_cast<QFileDialog *>(dialog); files && files->layout()) {
        // The new size reaches the view only through the layout: lay it out now.
        files->layout()->activate();
        fitColumnsOfEachFolder(files);
    }
}

void DialogPlacement::placeWindow(QWindow *dialog)
{
    const QWindow *parent = dialog->transientParent();
    if (!parent)
        return;
    const QRect placed = WindowGeometry::placedOver(
        dialog->size(), QSize(), parent->frameGeometry(), availableAround(parent));
    dialog->setPosition(placed.topLeft());
}
