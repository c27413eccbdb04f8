// Automatic supports keep their promise: on shapes that start in mid-air, the generator run as
// "Add support auto smart" runs it, then the island analysis of the whole scene finds nothing.
#include "IslandScenes.h"
#include "config/SupportConfig.h"
#include "cws/IslandScan.h"
#include "cws/SupportGenerator.h"
#include "model/Support.h"
#include "model/SupportLinker.h"

using namespace IslandScenes;

namespace {

// The default panel: 1440 x 2560 at 21.164 px/mm, 0.05 mm layers.
const PrinterModelConfig kPrinter = printer(1440, 2560, 21.164f, 150.0f);

// Runs the generator over the scene's models and hangs a pillar (and its brace) on every
// point, on this thread, as the workspace does.
void addAutoSupports(Scene &scene, const CWS::SupportConfig &config,
                     const SliceBuildConfig &settings)
{
    std::vector<Model *> models;
    for (const auto &o : scene.objects)
        models.push_back(o.get());
    const CWS::JobSnapshot job = scene.job(settings, kPrinter, true);
    const int layers = CWS::IslandScan::layerCountOf(job);
    CWS::SupportGenerator generator(job, config.supportSpacing(), layers, CWS::CancelToken());
    QObject receiver;
    bool finished = false;
    QObject::connect(
        &generator, &CWS::SupportGenerator::genNewSupport, &receiver,
        [&](float x, float y, float z, float, int index) {
            auto *support = new CWS::Support(&config);
            scene.add(support);
            QVERIFY(support->build(models[size_t(index)], QVector3D(x, y, z), QVector3D(0, 0, 1)));
            if (SupportLinker *linker = support->linkToNearest())
                scene.add(linker);
        });
    QObject::connect(&generator, &QThread::finished, &receiver, [&] { finished = true; });
    generator.start();
    QTRY_VERIFY_WITH_TIMEOUT(finished, 120000);
}

// A triangular bar along x from x0 to x1, its lower edge on y = 0 at z0, its 2 mm wide top at z1.
TestMesh prismDown(float x0, float x1, float z0, float z1)
{
    TestMesh m;
    m.positions << QVector3D(x0, 0, z0) << QVector3D(x0, -1, z1) << QVector3D(x0, 1, z1)
                << QVector3D(x1, 0, z0) << QVector3D(x1, -1, z1) << QVector3D(x1, 1, z1);
    m.indices << 0 << 1 << 2 << 3 << 5 << 4;
    m.addQuad(0, 3, 4, 1);
    m.addQuad(0, 2, 5, 3);
    m.addQuad(1, 4, 5, 2);
    return m;
}

} // namespace

class TestSupportCorpus : public QObject
{
    Q_OBJECT

private slots:
    void autoSupportsLeaveNoIsland_data();
    void autoSupportsLeaveNoIsland();
};

void TestSupportCorpus::autoSupportsLeaveNoIsland_data()
{
    QTest::addColumn<Parts>("parts");
    const TestMesh column = box(-20, -1, 0, -18, 1, 20);
    TestMesh fingeredT = box(-1, -1, 0, 1, 1, 14);
    fingeredT.append(box(-12, -1, 12, -1, 1, 14));
    fingeredT.append(box(1, -1, 12, 12, 1, 14));
    fingeredT.append(box(-11, -0.5f, 6, -10, 0.5f, 12));
    fingeredT.append(box(10, -0.5f, 6, 11, 0.5f, 12));
    TestMesh fingeredL = box(-12, -1, 0, -10, 1, 14);
    fingeredL.append(box(-10, -1, 12, 10, 1, 14));
    fingeredL.append(box(6, -0.5f, 5, 7, 0.5f, 12));
    TestMesh chain = column;
    for (float z : {3.0f, 8.0f, 13.0f})
        chain.append(box(0, -2, z, 4, 2, z + 1));
    TestMesh ceiling = box(-20, -5, 0, -18, 5, 15);
    ceiling.append(box(-18, -5, 14, 10, 5, 15));
    ceiling.append(hangingPoint(0, 0, 6, 14, 2));
    ceiling.append(hangingPoint(6, 2, 9, 14, 1));
    TestMesh keel = box(-20, -1, 0, -18, 1, 7);
    keel.append(box(-18, -1, 6, 8, 1, 7));
    keel.append(prismDown(-8, 8, 5, 6));
    TestMesh shelves = column;
    shelves.append(box(0, -2, 4, 4, 2, 5));
    shelves.append(box(0, -2, 6, 4, 2, 7));
    TestMesh tab = column;
    tab.append(box(2, -1.5f, 5, 5, 1.5f, 6));

    QTest::newRow("overhang tab") << Parts{{tab}};
    QTest::newRow("wide overhang plate") << Parts{{column}, {box(-15, -8, 6, 10, 8, 7)}};
    QTest::newRow("T with hanging fingers") << Parts{{fingeredT}};
    QTest::newRow("L with a hanging finger") << Parts{{fingeredL}};
    QTest::newRow("bridge between posts with a sagging keel")
        << Parts{{box(-12, -2, 0, -10, 2, 10)},
                 {box(10, -2, 0, 12, 2, 10)},
                 {box(-12, -2, 9, 12, 2, 10)},
                 {box(-3, -0.5f, 6, 3, 0.5f, 9)}};
    QTest::newRow("stalactites") << Parts{{ceiling}};
    QTest::newRow("chain of islands") << Parts{{chain}};
    QTest::newRow("several models")
        << Parts{{tab}, {box(20, 10, 4, 24, 14, 6)}, {box(-8, 20, 3, 8, 22, 4)}};
    QTest::newRow("model turned 45 degrees") << Parts{{turned(fingeredT, 45.0f)}};
    QTest::newRow("floating model") << Parts{{box(-6, -6, 5, 6, 6, 8)}};
    // Its underside at 0.06 mm: the first layer cut through it is layer 1, over an empty layer 0.
    QTest::newRow("tab just above the plate")
        << Parts{{box(-20, -1, 0, -18, 1, 5)}, {box(0, -2, 0.06f, 4, 2, 2)}};
    // A keel: a bar hanging edge down, whose first layer is a single row of pixels 16 mm long.
    QTest::newRow("hanging keel") << Parts{{keel}};
    // The upper tab hangs 1 mm over the lower one, closer than the clearance kept under pillars.
    QTest::newRow("shelf close over a shelf") << Parts{{shelves}};
}

void TestSupportCorpus::autoSupportsLeaveNoIsland()
{
    QFETCH(Parts, parts);
    Scene scene(parts);
    const CWS::SupportConfig config;
    const SliceBuildConfig settings = settingsFor(kPrinter, 0.05f);
    const CWS::IslandScanResult before =
        CWS::IslandScan::scan(scene.job(settings, kPrinter), CWS::CancelToken());
    QVERIFY(!before.islands().empty());
    addAutoSupports(scene, config, settings);
    const CWS::IslandScanResult after =
        CWS::IslandScan::scan(scene.job(settings, kPrinter), CWS::CancelToken());
    QCOMPARE(after.status(), CWS::IslandScanResult::Status::Completed);
    QVERIFY2(after.islands().empty(), qPrintable(describe(after)));
}

QTEST_GUILESS_MAIN(TestSupportCorpus)
#include "tst_supportcorpus.moc"
