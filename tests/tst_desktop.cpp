// What a desktop user meets: every icon button names itself when hovered, enabled or not; the
// file dialog is large, over the window, with its mode's filters, in the folder last used for
// its kind of file (after a restart too); the other dialogs open centred over the window.
#include "QuickItems.h"
#include "SceneMeshes.h"
#include "WindowDriver.h"

#include "app/DialogPlacement.h"

#include "workspace/JobController.h"

#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QToolTip>
#include <QTreeView>
#include <QtTest>

namespace {

QLabel *shownTip()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->inherits("QTipLabel") && w->isVisible())
            return qobject_cast<QLabel *>(w);
    return nullptr;
}

// The whole screen: the dialogs are windows of their own.
void saveScreen(const QString &name)
{
    QGuiApplication::primaryScreen()->grabWindow(0).save(QuickItems::screenshotPath(name));
}

// Every row's text whole in each detail column, the columns side by side in the view.
bool columnsWhole(QFileDialog *dialog)
{
    auto *tree = dialog->findChild<QTreeView *>();
    if (!tree || tree->model()->rowCount(tree->rootIndex()) == 0)
        return false;
    const QAbstractItemView *view = tree; // where sizeHintForColumn is public
    int width = 0;
    for (int column = 0; column < tree->header()->count(); ++column) {
        if (view->sizeHintForColumn(column) > tree->header()->sectionSize(column))
            return false;
        width += tree->header()->sectionSize(column);
    }
    return width <= tree->viewport()->width();
}

bool centredOver(const QRect &dialog, const QRect &window)
{
    const QPoint off = dialog.center() - window.center();
    return std::abs(off.x()) <= 1 && std::abs(off.y()) <= 1;
}

} // namespace

class TstDesktop : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void toolTips_data();
    void toolTips();
    void fileDialogs_data();
    void fileDialogs();
    void dialogsCentred_data();
    void dialogsCentred();

private:
    std::unique_ptr<WindowDriver> m_w;
    QTemporaryDir m_config;
    QTemporaryDir m_files; // outside each window's scratch folders
    const QString m_model = m_files.path() + QStringLiteral("/part.stl");
};

void TstDesktop::initTestCase()
{
    // The remembered folders are kept in the settings facility: a fresh one for this run.
    qputenv("XDG_CONFIG_HOME", (m_config.path() + QStringLiteral("/config")).toLocal8Bit());
    SceneMeshes::writeFile(
        m_model, SceneMeshes::binaryStl(SceneMeshes::boxTriangles({0, 0, 0}, {10, 10, 10})));
}

void TstDesktop::cleanup()
{
    QToolTip::hideText();
    while (QWidget *modal = QApplication::activeModalWidget())
        modal->close();
}

void TstDesktop::toolTips_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("tip");
    // Without a model every tool is disabled; the view's and the title bar's buttons are enabled
    // but for the current page's.
    const QStringList tools = {"info", "move",    "scale",  "rotate", "flip",
                               "copy", "support", "layout", "slice"};
    for (const QString &t : tools)
        QTest::newRow(qPrintable(t)) << t + "Button" << t.left(1).toUpper() + t.mid(1);
    const char *const others[][2] = {
        {"zoomPlus", "Zoom in"}, {"zoomMinus", "Zoom out"},      {"viewLeft", "Left"},
        {"viewTop", "Top"},      {"viewHome", "Home"},           {"viewFront", "Front"},
        {"viewRight", "Right"},  {"slicePageButton", "Slice"},   {"printPageButton", "Print"},
        {"menuButton", "Menu"},  {"minimizeButton", "Minimize"}, {"maximizeButton", "Maximize"},
        {"closeButton", "Close"}};
    for (const auto &o : others)
        QTest::newRow(o[0]) << o[0] << o[1];
}

void TstDesktop::toolTips()
{
    QFETCH(QString, button);
    QFETCH(QString, tip);
    if (!m_w) {
        m_w = std::make_unique<WindowDriver>();
        QVERIFY(m_w->waitForFrames());
    }
    QVERIFY(m_w->item(button));
    const QPoint at = m_w->centreOf(button);
    QTest::mouseMove(m_w->window, at);
    QTRY_VERIFY(shownTip());
    QCOMPARE(shownTip()->text(), tip);
    QVERIFY(
        shownTip()->geometry().adjusted(-40, -40, 40, 40).contains(m_w->window->mapToGlobal(at)));
    if (button == QLatin1String("infoButton")) {
        QVERIFY(QTest::qWaitForWindowExposed(shownTip()));
        shownTip()->repaint(); // on the screen now, not at the event loop's next turn
        saveScreen(QStringLiteral("desktop-tip-disabled-tool"));
    }
    QTest::mouseMove(m_w->window, m_w->scene()->mapToScene(QPointF(400, 300)).toPoint());
    QTRY_VERIFY(!shownTip());
}

void TstDesktop::fileDialogs_data()
{
    QTest::addColumn<QString>("entry"); // of the menu
    QTest::addColumn<QStringList>("filters");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("made"); // a new file's name gets its kind's extension
    QTest::newRow("models") << "menuOpen"
                            << QStringList{"All model files (*.stl *.obj *.qsp)",
                                           "Models (*.stl *.obj)", "Makora projects (*.qsp)"}
                            << "models/part.stl"
                            << "models/part.stl";
    QTest::newRow("projects") << "menuSaveAs" << QStringList{"Makora projects (*.qsp)"}
                              << "projects/plate"
                              << "projects/plate.qsp";
    QTest::newRow("archives") << "menuSlice" << QStringList{"Job archives (*.cws)"}
                              << "archives/job"
                              << "archives/job.cws";
}

void TstDesktop::fileDialogs()
{
    QFETCH(QString, entry);
    QFETCH(QStringList, filters);
    QFETCH(QString, typed);
    QFETCH(QString, made);
    const QString folder = QFileInfo(m_files.filePath(made)).absolutePath();
    QVERIFY(QDir().mkpath(folder));
    QFile::copy(m_model, m_files.filePath(QStringLiteral("models/part.stl")));
    // Nothing remembered: home. Then the folder of the last choice, in the next run.
    for (const bool remembered : {false, true}) {
        m_w.reset();
        m_w = std::make_unique<WindowDriver>(QStringList{"quorslice", m_model});
        QVERIFY(m_w->waitForFrames());
        QVERIFY(m_w->click(QStringLiteral("menuButton")) && m_w->click(entry));
        QFileDialog *d = WindowDriver::openFileDialog();
        QVERIFY(d);
        QCOMPARE(d->directory().absolutePath(), remembered ? folder : m_w->homePath());
        QCOMPARE(d->nameFilters(), filters);
        QVERIFY(d->width() >= DialogPlacement::kFileDialogMinimum.width());
        QVERIFY(d->height() >= DialogPlacement::kFileDialogMinimum.height());
        QVERIFY(centredOver(d->frameGeometry(), m_w->window->frameGeometry()));
        if (remembered) {
            QTRY_VERIFY(columnsWhole(d));
            saveScreen(QStringLiteral("desktop-file-dialog-") + QTest::currentDataTag());
            QVERIFY(m_w->cancelFileDialog());
            break;
        }
        QVERIFY(m_w->acceptFileDialog({QUrl::fromLocalFile(m_files.filePath(typed))}));
        QTRY_VERIFY(QFile::exists(m_files.filePath(made)));
        QTRY_VERIFY_WITH_TIMEOUT(!m_w->workspace()->jobs()->hasBackgroundJob(), 60000);
    }
}

void TstDesktop::dialogsCentred_data()
{
    QTest::addColumn<QString>("title");
    QTest::newRow("alert") << "Makora";
    QTest::newRow("slice settings") << "Slice config";
    QTest::newRow("printer wizard") << "Printers add guidelines";
}

void TstDesktop::dialogsCentred()
{
    QFETCH(QString, title);
    m_w.reset(); // the workspace has one instance at a time
    m_w = std::make_unique<WindowDriver>();
    QVERIFY(m_w->waitForFrames());
    if (QTest::currentDataTag() == QLatin1String("alert")) {
        SceneMeshes::writeFile(m_files.filePath(QStringLiteral("broken.stl")), "solid none\n");
        QVERIFY(m_w->openThroughDialog({QUrl::fromLocalFile(m_files.filePath("broken.stl"))}));
    } else if (QTest::currentDataTag() == QLatin1String("slice settings")) {
        QVERIFY(m_w->click(QStringLiteral("sliceConfigButton")));
    } else {
        QVERIFY(m_w->click(QStringLiteral("printPageButton")));
        QTRY_VERIFY(m_w->click(QStringLiteral("addPrinterButton")));
    }
    // A message box's window or a document's own.
    QWindow *dialog = nullptr;
    QTRY_VERIFY(dialog = QuickItems::anyWindow(title));
    QVERIFY(centredOver(dialog->frameGeometry(), m_w->window->frameGeometry()));
    saveScreen(QStringLiteral("desktop-centred-") +
               QString(QTest::currentDataTag()).replace(' ', '-'));
    dialog->close();
}

QUOR_WINDOW_TEST_MAIN(TstDesktop)

#include "tst_desktop.moc"
