// The island analysis against its flood-fill twin on scenes whose islands are counted by hand.
#include "IslandScenes.h"
#include "cws/IslandScan.h"

using namespace IslandScenes;
using CWS::IslandScanResult;
namespace IslandScan = CWS::IslandScan;

namespace {

// 20 px/mm on a 400 x 400 panel (19 x 19 mm plate, 20 mm high), 0.1 mm layers: layer L is
// cut at 0.05 + 0.1 L mm.
const PrinterModelConfig kPrinter = printer(400, 400, 20.0f, 20.0f);

// A T: a stem from the plate with arms at 8..10 mm, and a finger hanging 3 mm under each arm.
TestMesh fingeredT()
{
    TestMesh t = box(-1, -1, 0, 1, 1, 10);
    // Parts of one mesh touch but never overlap: overlaps cancel under the even-odd fill.
    t.append(box(-8, -1, 8, -1, 1, 10));
    t.append(box(1, -1, 8, 8, 1, 10));
    t.append(box(-7, -0.5f, 5, -6, 0.5f, 8));
    t.append(box(6, -0.5f, 5, 7, 0.5f, 8));
    return t;
}

} // namespace

class TestIslandScan : public QObject
{
    Q_OBJECT

private slots:
    void matchesTwin_data();
    void matchesTwin();
    void tabIsPlacedInPlateMillimetres();
    void refusedScenes_data();
    void refusedScenes();
    void cancelledEarlyOrMidway_data();
    void cancelledEarlyOrMidway();
};

void TestIslandScan::matchesTwin_data()
{
    QTest::addColumn<Parts>("parts");
    QTest::addColumn<int>("expected");
    const int base = Model::TYPE_SUPPORT_BASE;
    const TestMesh column = box(-8, -1, 0, -6, 1, 12);
    TestMesh chain = column;
    for (float z : {2.0f, 5.0f, 8.0f})
        chain.append(box(0, -1, z, 2, 1, z + 1));

    // The tab's first layer touches nothing below.
    QTest::newRow("overhang tab") << Parts{{column}, {box(2, -1.5f, 5, 5, 1.5f, 6)}} << 1;
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
                                         {hangingPoint(2, 0, 5, 8, 1)}}
                                << 1;
    QTest::newRow("chain of islands") << Parts{{chain}} << 3;
    // One image per layer: the tab meets the other model's side in its own first layer.
    QTest::newRow("two touching models")
        << Parts{{box(-5, -2, 0, 0, 2, 8)}, {box(0, -2, 4, 4, 2, 5)}} << 0;
    QTest::newRow("model lifted on a base")
        << Parts{{box(-6, -6, 0, 6, 6, 1), base}, {box(-4, -4, 1, 4, 4, 6)}} << 0;
    // Without its base the lifted model's lowest layer has nothing under it.
    QTest::newRow("model lifted without a base") << Parts{{box(-4, -4, 1, 4, 4, 6)}} << 1;
    // Nothing of it reaches a layer.
    QTest::newRow("model wholly below the plate") << Parts{{box(-4, -4, -6, 4, 4, -1)}} << 0;
    QTest::newRow("model wholly above the plate") << Parts{{box(-4, -4, 10, 4, 4, 12)}} << 1;
    // Layers run to the highest point, as the job writes them: both tabs count.
    QTest::newRow("cut by the volume top") << Parts{{box(-8, -1, 0, -6, 1, 25)},
                                                    {box(0, -1, 10, 2, 1, 11)},
                                                    {box(0, -1, 22, 2, 1, 23)}}
                                           << 2;
    QTest::newRow("T turned 45 degrees") << Parts{{turned(fingeredT(), 45.0f)}} << 2;
}

void TestIslandScan::matchesTwin()
{
    QFETCH(Parts, parts);
    QFETCH(int, expected);
    const Scene scene(parts);
    const CWS::JobSnapshot job = scene.job(settingsFor(kPrinter, 0.1f), kPrinter);
    const IslandScanResult fast = IslandScan::scan(job, CWS::CancelToken());
    const IslandScanResult plain = IslandScan::scanPlain(job, CWS::CancelToken());
    QCOMPARE(fast.status(), IslandScanResult::Status::Completed);
    QVERIFY2(fast.islands() == plain.islands(),
             qPrintable(describe(fast) + "\n--- plain:\n" + describe(plain)));
    QCOMPARE(fast.layerCount(), plain.layerCount());
    QVERIFY2(int(fast.islands().size()) == expected, qPrintable(describe(fast)));
    for (const CWS::SceneIsland &island : fast.islands())
        QVERIFY(island.objectIndex() >= 0 && island.areaMm2() > 0.0);
}

void TestIslandScan::tabIsPlacedInPlateMillimetres()
{
    const Scene scene(Parts{{box(-8, -1, 0, -6, 1, 8)}, {box(2, -1.5f, 5, 5, 1.5f, 6)}});
    const IslandScanResult r =
        IslandScan::scan(scene.job(settingsFor(kPrinter, 0.1f), kPrinter), CWS::CancelToken());
    QCOMPARE(int(r.islands().size()), 1);
    const CWS::SceneIsland &tab = r.islands().front();
    // Layer 50 is the first cut above 5 mm (5.05); the tab is the second object.
    QCOMPARE(tab.layer(), 50);
    QCOMPARE(tab.zMm(), 5.05f);
    QCOMPARE(tab.objectIndex(), 1);
    QCOMPARE(r.objectName(tab), QStringLiteral("object1"));
    // Its centre is (3.5, 0) and it covers 3 x 3 mm, within the outline's extra pixel.
    QVERIFY2(qAbs(tab.xMm() - 3.5) <= 0.05 && qAbs(tab.yMm()) <= 0.05, qPrintable(describe(r)));
    QVERIFY2(qAbs(tab.areaMm2() - 9.0) < 0.4, qPrintable(describe(r)));
}

void TestIslandScan::refusedScenes_data()
{
    QTest::addColumn<float>("thicknessMm");
    QTest::addColumn<int>("imageWidthPx");
    // 70 mm at 0.001 mm is 70,000 layers, past what a layer number may hold.
    QTest::newRow("more than 65,535 layers") << 0.001f << 380;
    // Wider than the panel's 400 pixels.
    QTest::newRow("image larger than the panel") << 0.1f << 401;
}

void TestIslandScan::refusedScenes()
{
    QFETCH(float, thicknessMm);
    QFETCH(int, imageWidthPx);
    const Scene scene(Parts{{box(-2, -2, 0, 2, 2, 70)}});
    SliceBuildConfig settings = settingsFor(kPrinter, thicknessMm);
    settings.imageWidthPx = imageWidthPx;
    const CWS::JobSnapshot job = scene.job(settings, kPrinter);
    for (const IslandScanResult &r : {IslandScan::scan(job, CWS::CancelToken()),
                                      IslandScan::scanPlain(job, CWS::CancelToken())}) {
        QCOMPARE(r.status(), IslandScanResult::Status::Failed);
        QVERIFY(!r.error().isEmpty());
        QVERIFY(r.islands().empty());
    }
}

void TestIslandScan::cancelledEarlyOrMidway_data()
{
    QTest::addColumn<int>("cancelAfterLayers");
    QTest::newRow("before it starts") << 0;
    QTest::newRow("midway") << 30;
}

void TestIslandScan::cancelledEarlyOrMidway()
{
    QFETCH(int, cancelAfterLayers);
    TestMesh chain = box(-8, -1, 0, -6, 1, 19);
    for (float z = 2.0f; z < 18.0f; z += 3.0f)
        chain.append(box(0, -1, z, 2, 1, z + 1));
    const Scene scene(Parts{{chain}});
    CWS::CancelToken cancel;
    if (cancelAfterLayers == 0)
        cancel.cancel();
    int reported = 0;
    const IslandScanResult r = IslandScan::scan(scene.job(settingsFor(kPrinter, 0.1f), kPrinter),
                                                cancel, [&](int done, int) {
                                                    reported = done;
                                                    if (done == cancelAfterLayers)
                                                        cancel.cancel();
                                                });
    QCOMPARE(r.status(), IslandScanResult::Status::Cancelled);
    // Nothing half done: no islands, and no layer analysed after the request.
    QVERIFY(r.islands().empty());
    QCOMPARE(reported, cancelAfterLayers);
}

QTEST_GUILESS_MAIN(TestIslandScan)
#include "tst_islandscan.moc"
