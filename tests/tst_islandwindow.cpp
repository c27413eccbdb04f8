// Islands in the window, driven as a user: the bottom bar's count and its colour, the count
// following edits, Escape, the layer slider's ticks, Page Down / Page Up in the layer preview,
// automatic supports bringing the count to nought, and closing while an analysis runs.
#include "SceneMeshes.h"
#include "WindowDriver.h"

#include "model/DoItem.h"
#include "view/IslandTicks.h"
#include "workspace/IslandController.h"

#include <QtTest>

using namespace SceneMeshes;

namespace {

// A post on the plate and blocks floating beside it, each block's bottom at the given height
// (2 and 3 mm start layers 40 and 60 at the default 0.05 mm).
QUrl writePostWithBlocks(const QString &name, const std::vector<float> &bottomsMm)
{
    std::vector<Triangle> tris = boxTriangles({-20, 0, 0}, {-16, 4, 4});
    float x = -12;
    for (float z : bottomsMm) {
        const std::vector<Triangle> block = boxTriangles({x, 0, z}, {x + 3, 4, z + 1});
        tris.insert(tris.end(), block.begin(), block.end());
        x += 6;
    }
    const QString path = QDir::currentPath() + QLatin1Char('/') + name;
    writeFile(path, binaryStl(tris));
    return QUrl::fromLocalFile(path);
}

bool reddish(QRgb c)
{
    return qRed(c) > 150 && qGreen(c) < 90 && qBlue(c) < 90;
}

// Whether any pixel of the item's area is red.
bool itemHasRed(UiHarness &w, const QString &name)
{
    QQuickItem *it = w.item(name);
    const QImage image = w.grab();
    const QRect area = it->mapRectToScene(QRectF(0, 0, it->width(), it->height())).toAlignedRect();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.valid(x, y) && reddish(image.pixel(x, y)))
                return true;
    return false;
}

QString islandsText(UiHarness &w)
{
    return w.item(QStringLiteral("islandsLabel"))->property("text").toString();
}

} // namespace

class TstIslandWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void countFollowsTheScene();
    void pageKeysAndTicks();
    void autoSupportsLeaveNone();
    void closingDuringAnalysis();
};

void TstIslandWindow::init()
{
    QDir().mkpath(QDir::currentPath());
}

void TstIslandWindow::countFollowsTheScene()
{
    auto w = WindowDriver::withFiles({});
    QVERIFY(w);
    // An empty scene has nothing to look for.
    QCOMPARE(islandsText(*w), QStringLiteral("Islands 0"));
    QVERIFY(!itemHasRed(*w, QStringLiteral("islandsLabel")));
    QVERIFY(w->openThroughDialog({writePostWithBlocks(QStringLiteral("two.stl"), {2, 3})}));
    QTRY_COMPARE_WITH_TIMEOUT(islandsText(*w), QStringLiteral("Islands 2"), 30000);
    QVERIFY(itemHasRed(*w, QStringLiteral("islandsLabel")));
    w->saveScreenshot(QStringLiteral("islands-count"));

    // A second model: the old answer is withdrawn at once, the new one counts both.
    QVERIFY(w->openThroughDialog({writePostWithBlocks(QStringLiteral("one.stl"), {5})}));
    QTRY_COMPARE_WITH_TIMEOUT(islandsText(*w), QStringLiteral("Islands 3"), 30000);

    // Escape stops a waiting analysis: no number until the next change.
    Workspace *ws = w->workspace();
    Model *moved = ws->scene()->objects().back();
    moved->pushTransformWithUndo(&ws->undoList(), DoItem::DO_T_TRANSLATE);
    moved->translateBy(0.0f, 20.0f, 0.0f);
    ws->scene()->notifyDataChanged();
    QCOMPARE(islandsText(*w), QStringLiteral("Islands …"));
    // The keys go to the view once it has been clicked (on empty space, which deselects).
    w->clickAt(w->scene()->mapToScene(QPointF(600, 60)).toPoint());
    w->key(Qt::Key_Escape);
    QCOMPARE(islandsText(*w), QStringLiteral("Islands –"));
    ws->scene()->selectModel(moved);

    // Delete the selected (last loaded) model: one left with two islands.
    w->key(Qt::Key_Delete);
    QTRY_COMPARE_WITH_TIMEOUT(islandsText(*w), QStringLiteral("Islands 2"), 30000);
    // And the other: nothing left, nothing red.
    ws->scene()->selectModel(ws->scene()->objects().back());
    w->key(Qt::Key_Delete);
    QTRY_COMPARE_WITH_TIMEOUT(islandsText(*w), QStringLiteral("Islands 0"), 30000);
    QVERIFY(!itemHasRed(*w, QStringLiteral("islandsLabel")));

    // A scene the analysis refuses (80,000 layers): the reason is on the bar, in red.
    ws->scene()->addModel(makeBox({0, 0, 0}, {2, 2, 4000}));
    QTRY_COMPARE_WITH_TIMEOUT(islandsText(*w), QStringLiteral("Islands !"), 30000);
    QVERIFY(w->visibleItem(QStringLiteral("islandsError")));
    QCOMPARE(w->item(QStringLiteral("islandsError"))->property("text").toString(),
             ws->islands()->error());
    QVERIFY(itemHasRed(*w, QStringLiteral("islandsError")));
    w->saveScreenshot(QStringLiteral("islands-failed"));
}

void TstIslandWindow::pageKeysAndTicks()
{
    auto w = WindowDriver::withFiles({writePostWithBlocks(QStringLiteral("steps.stl"), {2, 3})});
    QVERIFY(w);
    IslandController *islands = w->workspace()->islands();
    QTRY_COMPARE_WITH_TIMEOUT(islands->count(), 2, 30000);

    // The ticks: red at layers 40 and 60, none half way between.
    auto *ticks = qobject_cast<IslandTicks *>(w->item(QStringLiteral("islandTicks")));
    QVERIFY(ticks);
    QVERIFY(w->click(QStringLiteral("showSliceBox")));
    QTRY_VERIFY(w->workspace()->layers()->isShowing());
    QObject *preview = w->workspace()->layers();
    QTRY_COMPARE(ticks->lastLayer(), preview->property("layerCount").toInt() - 1);
    QVERIFY(ticks->lastLayer() > 60);
    const QImage image = w->grab();
    auto redAt = [&](int layer) {
        const double row =
            IslandTicks::rowOf(layer, ticks->lastLayer(), ticks->height(), ticks->insetPx());
        // The tick fills the pixel row the layer's position falls in.
        const QPoint p = ticks->mapToScene(QPointF(1.0, std::floor(row))).toPoint();
        return reddish(image.pixel(p));
    };
    QVERIFY(redAt(40));
    QVERIFY(redAt(60));
    QVERIFY(!redAt(50));
    QVERIFY(!redAt(20));

    // Page Down to the next island layer up, Page Up back; nothing beyond the last.
    const std::pair<int, int> steps[] = {{Qt::Key_PageDown, 40},
                                         {Qt::Key_PageDown, 60},
                                         {Qt::Key_PageDown, 60},
                                         {Qt::Key_PageUp, 40},
                                         {Qt::Key_PageUp, 40}};
    for (const auto &step : steps) {
        w->key(step.first);
        QTRY_COMPARE(preview->property("currentLayer").toInt(), step.second);
    }
    w->saveScreenshot(QStringLiteral("islands-ticks"));
}

void TstIslandWindow::autoSupportsLeaveNone()
{
    auto w = WindowDriver::withFiles({writePostWithBlocks(QStringLiteral("auto.stl"), {2, 3})});
    QVERIFY(w);
    QTRY_COMPARE_WITH_TIMEOUT(islandsText(*w), QStringLiteral("Islands 2"), 30000);
    QVERIFY(w->click(QStringLiteral("supportButton")));
    QVERIFY(w->click(QStringLiteral("addSupportAuto")));
    QTRY_VERIFY_WITH_TIMEOUT(!w->workspace()->jobs()->hasBackgroundJob(), 60000);
    QTRY_COMPARE_WITH_TIMEOUT(islandsText(*w), QStringLiteral("Islands 0"), 30000);
    QVERIFY(!itemHasRed(*w, QStringLiteral("islandsLabel")));
}

void TstIslandWindow::closingDuringAnalysis()
{
    auto w = WindowDriver::withFiles({});
    QVERIFY(w);
    IslandController *islands = w->workspace()->islands();
    bool started = false;
    connect(islands, &IslandController::analysisStarted, this, [&] { started = true; });
    QVERIFY(w->openThroughDialog({writePostWithBlocks(QStringLiteral("close.stl"), {2, 3})}));
    QTRY_VERIFY_WITH_TIMEOUT(started, 30000);
    w->shutDown(); // the workspace waits for the worker; nothing reaches a freed object
    QCoreApplication::processEvents();
}

QUOR_WINDOW_TEST_MAIN(TstIslandWindow)
#include "tst_islandwindow.moc"
