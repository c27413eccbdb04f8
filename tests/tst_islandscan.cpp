// The island analysis against its flood-fill twin on scenes whose islands are counted by hand,
// and automatic supports run on the same scenes ("Add support auto smart"), after which none
// may remain.
#include "SliceTestScene.h"
#include "config/SupportConfig.h"
#include "cws/IslandRegions.h"
#include "cws/IslandScan.h"
#include "cws/SupportGenerator.h"
#include "model/Support.h"
#include "model/SupportLinker.h"

using CWS::IslandScanResult;
namespace IslandScan = CWS::IslandScan;

namespace {

struct Part
{
    TestMesh mesh;
    int type = Model::TYPE_NORMAL;
};
using Parts = QVector<Part>;

TestMesh box(float x0, float y0, float z0, float x1, float y1, float z1)
{
    return TestMesh::box(QVector3D(x0, y0, z0), QVector3D(x1, y1, z1));
}

// A square pyramid hanging point down: apex at (x, 0, apexZ), base of half side r at topZ.
TestMesh hangingPoint(float x, float apexZ, float topZ, float r)
{
    TestMesh m;
    m.positions << QVector3D(x, 0, apexZ) << QVector3D(x - r, -r, topZ)
                << QVector3D(x + r, -r, topZ) << QVector3D(x + r, r, topZ)
                << QVector3D(x - r, r, topZ);
    m.indices << 0 << 2 << 1 << 0 << 3 << 2 << 0 << 4 << 3 << 0 << 1 << 4;
    m.addQuad(1, 2, 3, 4);
    return m;
}

// A stem with arms at 8..10 mm and a finger hanging 3 mm under each arm. Parts of one mesh
// touch but never overlap: overlaps cancel under the even-odd fill.
TestMesh fingeredT()
{
    TestMesh t = box(-1, -1, 0, 1, 1, 10);
    for (float side : {-1.0f, 1.0f}) {
        t.append(box(std::min(side, side * 8), -1, 8, std::max(side, side * 8), 1, 10));
        t.append(box(side * 6.5f - 0.5f, -0.5f, 5, side * 6.5f + 0.5f, 0.5f, 8));
    }
    return t;
}

PrinterModelConfig printer(int widthPx, int heightPx, float pixelsPerMm)
{
    PrinterModelConfig p;
    p.x = widthPx;
    p.y = heightPx;
    p.xppmm = p.yppmm = pixelsPerMm;
    p.vx = float(int(float(widthPx) / pixelsPerMm) - 1);
    p.vy = float(int(float(heightPx) / pixelsPerMm) - 1);
    p.vz = 20.0f;
    return p;
}

// 400 x 400 px at 20 px/mm (a 19 mm plate): layer L is cut at 0.05 + 0.1 L mm. The twin is
// slow on a full panel; the supports run on the default one.
const PrinterModelConfig kSmall = printer(400, 400, 20.0f);
const PrinterModelConfig kDefault = printer(1440, 2560, 21.164f);

struct Scene
{
    std::vector<std::unique_ptr<Model>> objects;

    explicit Scene(const Parts &parts)
    {
        for (const Part &p : parts)
            add(modelFromMesh(p.mesh, p.type));
    }
    void add(Model *object)
    {
        object->name = QStringLiteral("object%1").arg(objects.size());
        objects.emplace_back(object);
    }
    CWS::JobSnapshot job(const PrinterModelConfig &p, float thicknessMm, int onlyType = -1) const
    {
        std::vector<ObjectSnapshot> snapshots;
        for (const auto &o : objects) {
            o->updateGeometry(false);
            if (onlyType < 0 || o->type == onlyType)
                snapshots.push_back(o->snapshot());
        }
        // The job settings the printer gives, as the configuration derives them.
        SliceBuildConfig s;
        s.layerThicknessMm = thicknessMm;
        s.xPixelsPerMm = s.yPixelsPerMm = double(p.xppmm);
        s.imageWidthPx = int(float(int(p.vx)) * p.xppmm);
        s.imageHeightPx = int(float(int(p.vy)) * p.yppmm);
        return CWS::JobSnapshot(std::move(snapshots), s, p, false, 1.0);
    }
};

QString describe(const IslandScanResult &r)
{
    QString text = QStringLiteral("status %1, %2 layers").arg(int(r.status())).arg(r.layerCount());
    for (const CWS::SceneIsland &i : r.islands())
        text += QStringLiteral("\nlayer %1 at %2, %3 area %4")
                    .arg(i.layer())
                    .arg(double(i.xMm()))
                    .arg(double(i.yMm()))
                    .arg(double(i.areaMm2()));
    return text;
}

} // namespace

Q_DECLARE_METATYPE(Parts)
Q_DECLARE_METATYPE(std::vector<CWS::IslandAnalysis::PixelRun>)
Q_DECLARE_METATYPE(IslandScanResult::Status)

class TestIslandScan : public QObject
{
    Q_OBJECT

private slots:
    void matchesTwin_data();
    void matchesTwin();
    void autoSupportsLeaveNoIsland_data() { matchesTwin_data(); }
    void autoSupportsLeaveNoIsland();
    void tabIsPlacedInPlateMillimetres();
    void nothingUnlessCompleted_data();
    void nothingUnlessCompleted();
    void layerRegionsMatchTheScan_data();
    void layerRegionsMatchTheScan();
    void regionRectanglesCoverTheRuns_data();
    void regionRectanglesCoverTheRuns();
};

void TestIslandScan::matchesTwin_data()
{
    QTest::addColumn<Parts>("parts");
    QTest::addColumn<int>("expected");
    const TestMesh column = box(-8, -1, 0, -6, 1, 12);
    TestMesh chain = column, shelves = column;
    for (float z : {2.0f, 5.0f, 8.0f})
        chain.append(box(0, -1, z, 2, 1, z + 1));
    for (float z : {4.0f, 6.0f})
        shelves.append(box(0, -2, z, 4, 2, z + 1));
    const Part tab{box(2, -1.5f, 5, 5, 1.5f, 6)};

    // The tab's first layer touches nothing below.
    QTest::newRow("overhang tab") << Parts{{column}, tab} << 1;
    // Its underside is not quite on the plate: its first layer is 1, over an empty layer 0.
    QTest::newRow("tab just above the plate") << Parts{{column}, {box(0, -2, 0.06f, 4, 2, 2)}} << 1;
    QTest::newRow("wide overhang plate") << Parts{{column}, {box(-5, -8, 6, 8, 8, 7)}} << 1;
    // The arms join the stem; each finger's lowest layer hangs in the air.
    QTest::newRow("T with hanging fingers") << Parts{{fingeredT()}} << 2;
    QTest::newRow("L with a hanging finger") << Parts{{box(-8, -1, 0, -6, 1, 10)},
                                                      {box(-6, -1, 8, 6, 1, 10)},
                                                      {box(4, -0.5f, 4, 5, 0.5f, 8)}}
                                             << 1;
    // The deck's first layer is one region with both post tops under it.
    QTest::newRow("bridge between posts")
        << Parts{{box(-8, -1, 0, -6, 1, 6)}, {box(6, -1, 0, 8, 1, 6)}, {box(-8, -1, 6, 8, 1, 7)}}
        << 0;
    // The tip's first layer is a single pixel, and still an island.
    QTest::newRow("stalactite") << Parts{{box(-8, -3, 0, -6, 3, 9)},
                                         {box(-6, -3, 8, 6, 3, 9)},
                                         {hangingPoint(2, 5, 8, 1)}}
                                << 1;
    QTest::newRow("chain of islands") << Parts{{chain}} << 3;
    // The upper shelf is 1 mm over the lower one, nearer than the clearance kept under pillars.
    QTest::newRow("shelf close over a shelf") << Parts{{shelves}} << 2;
    QTest::newRow("several models")
        << Parts{{column}, tab, {box(3, -8, 4, 7, -5, 6)}, {box(-4, 5, 3, 4, 7, 4)}} << 3;
    // One image per layer: the tab meets the other model's side in its own first layer.
    QTest::newRow("two touching models")
        << Parts{{box(-5, -2, 0, 0, 2, 8)}, {box(0, -2, 4, 4, 2, 5)}} << 0;
    QTest::newRow("model lifted on a base")
        << Parts{{box(-6, -6, 0, 6, 6, 1), Model::TYPE_SUPPORT_BASE}, {box(-4, -4, 1, 4, 4, 6)}}
        << 0;
    QTest::newRow("model wholly below the plate") << Parts{{box(-4, -4, -6, 4, 4, -1)}} << 0;
    QTest::newRow("model wholly above the plate") << Parts{{box(-4, -4, 10, 4, 4, 12)}} << 1;
    // Layers run to the highest point, as the job writes them: both tabs count.
    QTest::newRow("cut by the volume top") << Parts{{box(-8, -1, 0, -6, 1, 25)},
                                                    {box(0, -1, 10, 2, 1, 11)},
                                                    {box(0, -1, 22, 2, 1, 23)}}
                                           << 2;
    // The 380-pixel image spans +-9.5 mm: the tab's outline runs off it and is clipped.
    QTest::newRow("tab cut by the image edge")
        << Parts{{column}, {box(6, -2, 4, 12, 2, 5)}, {box(-3, 8, 2, 3, 11, 3)}} << 2;
    // Its edges land on the last column and the first row.
    QTest::newRow("tab on the image border")
        << Parts{{column}, {box(5, -9.5f, 4, 9.45f, -5, 5)}} << 1;
    // Overlapping objects fill as one region, a support among them.
    QTest::newRow("overlapping objects and a support")
        << Parts{{column},
                 {box(-7, -2, 3, 3, 2, 4)},
                 {box(0, -1, 3.5f, 5, 1, 6)},
                 {box(4, -1.5f, 0, 4.5f, 1.5f, 5), Model::TYPE_SUPPORT},
                 {box(4.2f, -3, 5.5f, 8, 3, 6), Model::TYPE_SUPPORT_LINKER}}
        << 0;
    QTest::newRow("T turned 45 degrees") << Parts{{fingeredT().transformed([] {
        QMatrix4x4 m;
        m.rotate(45.0f, 0, 0, 1);
        return m;
    }())}} << 2;
}

void TestIslandScan::matchesTwin()
{
    QFETCH(Parts, parts);
    QFETCH(int, expected);
    const CWS::JobSnapshot job = Scene(parts).job(kSmall, 0.1f);
    const IslandScanResult fast = IslandScan::scan(job, CWS::CancelToken());
    const IslandScanResult plain = IslandScan::scanPlain(job, CWS::CancelToken());
    QCOMPARE(fast.status(), IslandScanResult::Status::Completed);
    QVERIFY2(fast.islands() == plain.islands(),
             qPrintable(describe(fast) + "\n--- plain:\n" + describe(plain)));
    QVERIFY2(int(fast.islands().size()) == expected, qPrintable(describe(fast)));
    for (const CWS::SceneIsland &island : fast.islands())
        QVERIFY(island.objectIndex() >= 0 && island.areaMm2() > 0.0f);
}

void TestIslandScan::autoSupportsLeaveNoIsland()
{
    QFETCH(Parts, parts);
    QFETCH(int, expected);
    Scene scene(parts);
    QCOMPARE(int(IslandScan::scan(scene.job(kDefault, 0.05f), CWS::CancelToken()).islands().size()),
             expected);
    // The generator reads the models; each point becomes a braced pillar on this thread.
    const CWS::JobSnapshot models = scene.job(kDefault, 0.05f, Model::TYPE_NORMAL);
    std::vector<Model *> owners;
    for (const auto &o : scene.objects)
        if (o->type == Model::TYPE_NORMAL)
            owners.push_back(o.get());
    const CWS::SupportConfig config;
    CWS::SupportGenerator generator(models, config.supportSpacing(),
                                    IslandScan::layerCountOf(models), CWS::CancelToken());
    bool finished = false;
    connect(&generator, &CWS::SupportGenerator::genNewSupport, this,
            [&](float x, float y, float z, float, int index) {
                auto *support = new CWS::Support(&config);
                scene.add(support);
                QVERIFY(
                    support->build(owners[size_t(index)], QVector3D(x, y, z), QVector3D(0, 0, 1)));
                if (SupportLinker *linker = support->linkToNearest())
                    scene.add(linker);
            });
    connect(&generator, &QThread::finished, this, [&] { finished = true; });
    generator.start();
    QTRY_VERIFY_WITH_TIMEOUT(finished, 120000);
    const IslandScanResult after = IslandScan::scan(scene.job(kDefault, 0.05f), CWS::CancelToken());
    QCOMPARE(after.status(), IslandScanResult::Status::Completed);
    QVERIFY2(after.islands().empty(), qPrintable(describe(after)));
}

void TestIslandScan::tabIsPlacedInPlateMillimetres()
{
    const Scene scene(Parts{{box(-8, -1, 0, -6, 1, 8)}, {box(2, -1.5f, 5, 5, 1.5f, 6)}});
    const IslandScanResult r = IslandScan::scan(scene.job(kSmall, 0.1f), CWS::CancelToken());
    QCOMPARE(int(r.islands().size()), 1);
    const CWS::SceneIsland &tab = r.islands().front();
    // Layer 50 is the first cut above 5 mm (5.05); the tab is the second object.
    QCOMPARE(tab.layer(), 50);
    QCOMPARE(tab.zMm(), 5.05f);
    QCOMPARE(r.objectName(tab), QStringLiteral("object1"));
    // Its centre is (3.5, 0) and it covers 3 x 3 mm, within the outline's extra pixel.
    QVERIFY2(qAbs(tab.xMm() - 3.5f) <= 0.05f && qAbs(tab.yMm()) <= 0.05f, qPrintable(describe(r)));
    QVERIFY2(qAbs(tab.areaMm2() - 9.0f) < 0.4f, qPrintable(describe(r)));
}

void TestIslandScan::nothingUnlessCompleted_data()
{
    QTest::addColumn<float>("thicknessMm");
    QTest::addColumn<int>("imageWidthPx");
    QTest::addColumn<int>("cancelAfterLayers"); // -1: never
    QTest::addColumn<IslandScanResult::Status>("status");
    // 19 mm at 0.00025 mm is 76,000 layers, past what a layer number may hold.
    QTest::newRow("more than 65,535 layers")
        << 0.00025f << 380 << -1 << IslandScanResult::Status::Failed;
    // Wider than the panel's 400 pixels.
    QTest::newRow("image larger than the panel")
        << 0.1f << 401 << -1 << IslandScanResult::Status::Failed;
    QTest::newRow("cancelled before it starts")
        << 0.1f << 380 << 0 << IslandScanResult::Status::Cancelled;
    QTest::newRow("cancelled midway") << 0.1f << 380 << 30 << IslandScanResult::Status::Cancelled;
}

void TestIslandScan::nothingUnlessCompleted()
{
    QFETCH(float, thicknessMm);
    QFETCH(int, imageWidthPx);
    QFETCH(int, cancelAfterLayers);
    QFETCH(IslandScanResult::Status, status);
    TestMesh chain = box(-8, -1, 0, -6, 1, 19);
    for (float z = 2.0f; z < 18.0f; z += 3.0f)
        chain.append(box(0, -1, z, 2, 1, z + 1));
    const CWS::JobSnapshot scene = Scene(Parts{{chain}}).job(kSmall, thicknessMm);
    SliceBuildConfig settings = scene.settings();
    settings.imageWidthPx = imageWidthPx;
    const CWS::JobSnapshot job(scene.objects(), settings, kSmall, false, 1.0);
    CWS::CancelToken cancel;
    if (cancelAfterLayers == 0)
        cancel.cancel();
    int reported = 0;
    const IslandScanResult r = IslandScan::scan(job, cancel, [&](int done, int) {
        reported = done;
        if (done == cancelAfterLayers)
            cancel.cancel();
    });
    // No islands at all, and no layer analysed after a cancel.
    QCOMPARE(r.status(), status);
    QVERIFY(r.islands().empty());
    QCOMPARE(reported, std::max(cancelAfterLayers, 0));
    if (status == IslandScanResult::Status::Failed)
        QCOMPARE(IslandScan::scanPlain(job, CWS::CancelToken()).status(), status);
}

void TestIslandScan::layerRegionsMatchTheScan_data()
{
    QTest::addColumn<Parts>("parts");
    QTest::addColumn<int>("islandLayers");
    // A tab 1 mm over a post's top and one beside it, lower: two layers with an island.
    QTest::newRow("tab over a post")
        << Parts{{box(-1, -1, 0, 1, 1, 4)}, {box(-3, -3, 5, 3, 3, 6)}, {box(4, -3, 3, 6, 3, 4)}}
        << 2;
    // Both tips start in the same layer: two islands there.
    QTest::newRow("two stalactites") << Parts{{box(-8, -3, 0, -6, 3, 9)},
                                              {box(-6, -3, 8, 6, 3, 9)},
                                              {hangingPoint(-2, 5, 8, 1)},
                                              {hangingPoint(3, 5, 8, 1)}}
                                     << 1;
    QTest::newRow("T shape with hanging fingers") << Parts{{fingeredT()}} << 1;
}

void TestIslandScan::layerRegionsMatchTheScan()
{
    QFETCH(Parts, parts);
    QFETCH(int, islandLayers);
    const CWS::JobSnapshot job = Scene(parts).job(kSmall, 0.1f);
    const IslandScanResult scanned = IslandScan::scan(job, CWS::CancelToken());
    QCOMPARE(scanned.status(), IslandScanResult::Status::Completed);
    QSet<int> layers;
    for (const CWS::SceneIsland &island : scanned.islands())
        layers.insert(island.layer());
    QCOMPARE(layers.size(), islandLayers);
    // Every island layer, its neighbours (none there) and layer 0 (on the plate).
    QSet<int> asked = {0};
    for (int layer : layers)
        asked += QSet<int>{layer - 1, layer, layer + 1};
    for (int layer : asked) {
        QVector<CWS::SceneIsland> expected;
        for (const CWS::SceneIsland &island : scanned.islands())
            if (island.layer() == layer)
                expected.append(island);
        const std::vector<CWS::IslandRegion> regions =
            CWS::IslandRegions::ofLayer(job, layer, CWS::CancelToken());
        QCOMPARE(int(regions.size()), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            const CWS::IslandRegion &r = regions[size_t(i)];
            const CWS::SceneIsland &e = expected[i];
            // Measured as the scan measures: place, height and area the same to the bit.
            const CWS::SceneIsland measured = IslandScan::islandFromPixels(
                job, layer, CWS::IslandRegions::layerHeightMm(job, layer), r.boundsPx(),
                r.pixelCount(), e.objectIndex());
            QVERIFY2(measured == e, qPrintable(describe(scanned)));
            // The rectangles cover the island's box exactly.
            QRectF covered;
            for (const QRectF &rect : CWS::IslandRegions::plateRectangles(job, r.runs()))
                covered |= rect;
            const QRectF box = CWS::IslandRegions::plateRect(job, r.boundsPx());
            QCOMPARE(covered, box);
        }
    }
    // A cancelled search finds nothing.
    CWS::CancelToken cancel;
    cancel.cancel();
    QVERIFY(CWS::IslandRegions::rectsOfLayer(job, *layers.begin(), cancel).rectsMm().empty());
}

void TestIslandScan::regionRectanglesCoverTheRuns_data()
{
    using Runs = std::vector<CWS::IslandAnalysis::PixelRun>;
    QTest::addColumn<Runs>("runs");
    QTest::addColumn<int>("rects");
    QTest::addColumn<int>("pixels");
    // The arms of a U merge down their rows; its wider base is a third rectangle.
    QTest::newRow("U") << Runs{{10, 2, 4}, {10, 8, 10}, {11, 2, 4}, {11, 8, 10}, {12, 2, 10}} << 3
                       << 16;
    // A gap of a row ends a rectangle even over the same columns.
    QTest::newRow("rows apart") << Runs{{10, 5, 9}, {12, 5, 9}} << 2 << 8;
}

void TestIslandScan::regionRectanglesCoverTheRuns()
{
    using Runs = std::vector<CWS::IslandAnalysis::PixelRun>;
    QFETCH(Runs, runs);
    QFETCH(int, rects);
    QFETCH(int, pixels);
    // 20 px/mm on a 380 px wide image; the columns and rows used lie left of and above its
    // centre (190), where each pixel is one pixel wide.
    const CWS::JobSnapshot job = Scene(Parts{{box(-1, -1, 0, 1, 1, 1)}}).job(kSmall, 0.1f);
    const std::vector<QRectF> found = CWS::IslandRegions::plateRectangles(job, runs);
    QCOMPARE(int(found.size()), rects);
    double areaMm2 = 0;
    for (const QRectF &r : found)
        areaMm2 += r.width() * r.height();
    QVERIFY(qAbs(areaMm2 - pixels / 400.0) < 1e-9);
    // Column x, 190 - x pixels left of the centre, begins one pixel width further left.
    QCOMPARE(found.front().left(), (runs.front().x0 - 190 - 1) / 20.0);
}

QTEST_GUILESS_MAIN(TestIslandScan)
#include "tst_islandscan.moc"
