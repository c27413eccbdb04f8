// Islands in the 3D view of a real window under a virtual X server: the red markers, seen
// through the model, and the red regions of the layer preview, read back from the window's
// pixels.
#include "SceneMeshes.h"
#include "WindowDriver.h"

#include "cws/IslandScan.h"
#include "view/SceneRenderer.h"
#include "workspace/IslandController.h"
#include "workspace/IslandRegionPreview.h"

#include <QtTest>

using namespace SceneMeshes;

namespace {

bool isRed(const QColor &c)
{
    return c.red() > 150 && c.green() < 70 && c.blue() < 70;
}

// The dot or its dark red rim.
bool isMarker(const QColor &c)
{
    return c.red() > 80 && c.green() < 40 && c.blue() < 40;
}

QString describe(const QColor &c)
{
    return QStringLiteral("(%1, %2, %3)").arg(c.red()).arg(c.green()).arg(c.blue());
}

// A post with an arm at 12 ... 16 mm and an 8 x 8 mm finger hanging from the arm down to 6 mm:
// the finger's lowest layer is the one island.
QUrl writeFingerFile()
{
    std::vector<Triangle> tris = boxTriangles({-12, -4, 0}, {-8, 4, 16});
    for (const auto &part :
         {boxTriangles({-8, -4, 12}, {8, 4, 16}), boxTriangles({-1, -4, 6}, {7, 4, 12})})
        tris.insert(tris.end(), part.begin(), part.end());
    const QString path = QDir::currentPath() + QStringLiteral("/finger.stl");
    writeFile(path, binaryStl(tris));
    return QUrl::fromLocalFile(path);
}

CWS::IslandScanResult scanNow(Workspace &ws, std::shared_ptr<const CWS::JobSnapshot> &job)
{
    job = std::make_shared<const CWS::JobSnapshot>(ws.jobs()->sliceSnapshot(QString()));
    return CWS::IslandScan::scan(*job, CWS::CancelToken());
}

QVector3D placeOf(const CWS::SceneIsland &island)
{
    return QVector3D(island.xMm(), island.yMm(), island.zMm());
}

} // namespace

class TstIslandView : public QObject
{
    Q_OBJECT
private slots:
    void init() { QDir().mkpath(QDir::currentPath()); }
    void markersSeenThroughTheModel();
    void previewRegionsAtTheirLayer_data();
    void previewRegionsAtTheirLayer();
};

void TstIslandView::markersSeenThroughTheModel()
{
    UiHarness ui;
    QVERIFY(ui.waitForFrames());
    Workspace *ws = ui.workspace();
    ui.app()->open(writeFingerFile());
    QCOMPARE(ws->scene()->modelSize(), 1);
    std::shared_ptr<const CWS::JobSnapshot> job;
    CWS::IslandScanResult found = scanNow(*ws, job);
    QCOMPARE(int(found.islands().size()), 1);
    const QVector3D island = placeOf(found.islands().front());
    // Plate millimetres are the scene's own: the finger's centre, 15 mm in from the model's
    // left side (-12 in the file, the finger at -1 ... 7), where the model is drawn.
    const Model *model = ws->scene()->objects().back();
    QVERIFY(qAbs(island.x() - (model->bboxMin.x() + 15)) < 0.1f);
    QVERIFY(qAbs(island.y() - (model->bboxMin.y() + model->bboxMax.y()) / 2) < 0.1f);

    // A wall between the island and the camera, on the plate, clear of the model.
    const QVector3D towardCamera =
        CameraMath::viewMatrix(ui.camera()->state()).inverted().mapVector({0, 0, 1}).normalized();
    const QVector3D q = island + 16.0f * towardCamera;
    ws->scene()->addModel(makeBox({q.x() - 5, q.y() - 5, 0}, {q.x() + 5, q.y() + 5, q.z() + 8}));
    QVERIFY(ws->jobs()->outsideVolumeText().isEmpty());
    ws->scene()->deselectAll(true);
    found = scanNow(*ws, job);
    QCOMPARE(int(found.islands().size()), 1);

    const QPoint at = ui.windowPixelOf(island);
    QImage image = ui.grab();
    const QColor hidden = pixelAt(image, at);
    // The wall's grey covers the island's place.
    QVERIFY2(!isRed(hidden) && hidden.red() < 200, qPrintable(describe(hidden)));

    const int copiesBefore = SceneRenderer::counters().islandCopies;
    ws->islands()->showResult(found, job);
    image = ui.grab();
    ui.saveScreenshot(QStringLiteral("islands-markers"));
    QVERIFY2(isRed(pixelAt(image, at)), qPrintable(describe(pixelAt(image, at))));
    // At least 2 mm across in the scene: red 0.9 mm either side of the centre.
    const float pxPerMm = CameraMath::pixelsPerMm(ui.camera()->state(), ui.camera()->viewSize(),
                                                  ui.camera()->volume());
    for (int side : {-1, 1}) {
        const QPoint off = at + QPoint(side * qRound(0.9f * pxPerMm), 0);
        QVERIFY2(isMarker(pixelAt(image, off)), qPrintable(describe(pixelAt(image, off))));
    }
    // Frames after the change do not copy the list again.
    QVERIFY(ui.waitForFrames(3));
    QCOMPARE(SceneRenderer::counters().islandCopies - copiesBefore, 1);

    // Withdrawn: the marker goes with the next frame.
    ws->islands()->showResult(CWS::IslandScanResult::completed(*job, found.layerCount(), {}), job);
    image = ui.grab();
    QVERIFY2(!isRed(pixelAt(image, at)), qPrintable(describe(pixelAt(image, at))));
}

void TstIslandView::previewRegionsAtTheirLayer_data()
{
    QTest::addColumn<int>("layerStep");
    QTest::addColumn<bool>("red");
    QTest::newRow("the island's layer") << 0 << true;
    // The finger's cut a few layers up is grey, and no region lies there.
    QTest::newRow("five layers up") << 5 << false;
    // Below the finger nothing is drawn at its place.
    QTest::newRow("the layer below") << -1 << false;
}

void TstIslandView::previewRegionsAtTheirLayer()
{
    QFETCH(int, layerStep);
    QFETCH(bool, red);
    WindowDriver ui;
    QVERIFY(ui.waitForFrames());
    Workspace *ws = ui.workspace();
    ui.app()->open(writeFingerFile());
    std::shared_ptr<const CWS::JobSnapshot> job;
    const CWS::IslandScanResult found = scanNow(*ws, job);
    QCOMPARE(int(found.islands().size()), 1);
    const CWS::SceneIsland island = found.islands().front();
    ws->islands()->showResult(found, job);

    // Seen from above, the region lies flat on the screen.
    ui.camera()->resetViewTop();
    QVERIFY(ui.click(QStringLiteral("showSliceBox")));
    QQuickItem *slider = ui.item(QStringLiteral("layerSlider"));
    QTRY_VERIFY(slider->isEnabled());
    const int layer = island.layer() + layerStep;
    slider->setProperty("value", layer);
    LayerPreview *preview = ws->layers();
    QCOMPARE(preview->currentLayer(), layer);
    if (layerStep == 0)
        QTRY_VERIFY(ws->islandRegions()->regions() != nullptr);
    else
        QTRY_VERIFY(!ws->islandRegions()->isSearching());
    const QImage image = ui.grab();
    if (layerStep == 0)
        ui.saveScreenshot(QStringLiteral("islands-preview-region"));
    // 3 mm off the centre: inside the 8 mm region, beside the centre's marker.
    const float zMm = preview->currentLayerZ();
    for (const QVector3D &offset : {QVector3D(3, 0, 0), QVector3D(-3, 2.5f, 0)}) {
        const QPoint p = ui.windowPixelOf(QVector3D(island.xMm(), island.yMm(), zMm) + offset);
        QVERIFY2(isRed(pixelAt(image, p)) == red, qPrintable(describe(pixelAt(image, p))));
    }
    if (layerStep == 0) {
        ui.camera()->resetViewPrj();
        ui.saveScreenshot(QStringLiteral("islands-preview-region-default-camera"));
    }
    // Leaving the preview takes the regions away.
    QVERIFY(ui.click(QStringLiteral("showSliceBox")));
    QTRY_VERIFY(ws->islandRegions()->regions() == nullptr);
}

QUOR_WINDOW_TEST_MAIN(TstIslandView)
#include "tst_islandview.moc"
