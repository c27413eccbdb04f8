#include "LayerImages.h"
#include "LogCapture.h"
#include "SliceTestScene.h"
#include "cws/GcodeWriter.h"
#include "cws/LayerDrawing.h"
#include "cws/LayerPng.h"
#include "model/LayerMath.h"
#include "model/MeshGeometry.h"
#include "model/SliceMesh.h"

#include <QtTest>

#include <dlfcn.h>

using namespace CWS;

namespace {

QString gcodeOf(const ArchiveContents &c, const QString &base = QStringLiteral("job"))
{
    return QString::fromLatin1(c.data.value(base + QStringLiteral(".gcode")));
}

bool sameSegments(const SegmentList &a, const SegmentList &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i)
        if (a[i].p0 != b[i].p0 || a[i].p1 != b[i].p1)
            return false;
    return true;
}

} // namespace

class TestSliceJob : public QObject
{
    Q_OBJECT

private slots:
    void bucketedCutsMatchPlainCuts_data();
    void bucketedCutsMatchPlainCuts();
    void previewCutIsCachedPerLayer();
    void cubeJobArchive();
    void antiAliasedModelsAndHardSupports();
    void jobWithoutLayers_data();
    void jobWithoutLayers();
    void cancelledJobHasNoGcode();
    void uncreatableArchiveIsReportedAsFailure();
    void fullDiskIsReportedAsFailure();
    void previewRefusesWhileSlicing();
    void noSlicingWhileSupportsAreGenerated();
    void archiveCodeComesFromQuaZip();
    void antiAliasSwitchScalesTheGrid();
    void layerAboveEverythingIsBlack();
    void sharedSettingsStayWhileJobRuns();
    void archiveEntriesMatchPlainPath_data();
    void archiveEntriesMatchPlainPath();
};

void TestSliceJob::bucketedCutsMatchPlainCuts_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("sphere") << 0;
    QTest::newRow("tube") << 1;
    QTest::newRow("many small parts") << 2;
    QTest::newRow("thin walls") << 3;
    QTest::newRow("rotated and scaled") << 4;
}

void TestSliceJob::bucketedCutsMatchPlainCuts()
{
    QFETCH(int, kind);
    TestMesh mesh;
    switch (kind) {
    case 0:
        mesh = TestMesh::sphere(QVector3D(0, 0, 6), 6.0f, 40, 60);
        break;
    case 1:
        mesh = TestMesh::tube(8.0f, 6.0f, 0.0f, 15.0f, 80);
        break;
    case 2:
        for (int i = 0; i < 100; ++i)
            mesh.append(
                TestMesh::box(QVector3D(i % 10 * 2.1f - 10, i / 10 * 2.1f - 10, i % 7 * 0.9f),
                              QVector3D(i % 10 * 2.1f - 9, i / 10 * 2.1f - 9, i % 7 * 0.9f + 3)));
        break;
    case 3:
        for (int i = 0; i < 6; ++i)
            mesh.append(
                TestMesh::box(QVector3D(i * 1.5f, -5, 0), QVector3D(i * 1.5f + 0.04f, 5, 12)));
        break;
    default:
        mesh = TestMesh::sphere(QVector3D(0, 0, 0), 5.0f, 20, 30);
        mesh.append(TestMesh::box(QVector3D(-3, -3, -8), QVector3D(3, 3, 0)));
        break;
    }
    std::unique_ptr<Model> model(modelFromMesh(mesh));
    if (kind == 4) {
        model->setRotate(23.0f, -41.0f, 12.0f, QVector3D(1, 2, 3));
        model->pushTransform(2);
        model->setScale(1.3f, 0.7f, 1.1f);
        model->pushTransform(1);
        model->setTranslate(2.0f, -1.0f, 9.0f);
    }
    model->updateGeometry(true);
    const float t = 0.05f;
    const SliceMesh fast(*model->mesh, model->modelMatrix(), t);
    int layers = 0;
    for (float z = t * 0.5f; z < model->bboxMax.z() + t; z += t, ++layers) {
        SegmentListSet plain;
        model->snapshot().cut(z, plain);
        SegmentList bucketed;
        fast.cut(z, 0, int(model->mesh->indices.size()), bucketed);
        QVERIFY2(sameSegments(plain.first(), bucketed), qPrintable(QString("z=%1").arg(z)));
        // A part range gives the same segments as the plain cut of that range.
        const int half = int(model->mesh->indices.size()) / 6 * 3;
        SegmentList plainPart, fastPart;
        LayerMath::cutTriangles(worldPositions(*model->mesh, model->modelMatrix()),
                                model->mesh->indices.data(), half, int(model->mesh->indices.size()),
                                z, plainPart);
        fast.cut(z, half, int(model->mesh->indices.size()), fastPart);
        QVERIFY(sameSegments(plainPart, fastPart));
    }
    QVERIFY(layers > 100);
}

void TestSliceJob::previewCutIsCachedPerLayer()
{
    SliceTestScene scene;
    Model *cube =
        scene.add(modelFromMesh(TestMesh::box(QVector3D(-5, -5, 0), QVector3D(5, 5, 10))));
    QSignalSpy layerSpy(scene.workspace->layers(), &LayerPreview::layerChanged);
    QVERIFY(scene.workspace->layers()->setShowSliceEnable(true));
    QCOMPARE(layerSpy.count(), 1);
    QCOMPARE(layerSpy.first().first().toInt(), 200); // 10 mm at 50 um
    QCOMPARE(scene.workspace->scene()->status(), SceneObjects::MODEL_SHOW_SLICE);
    QCOMPARE(int(cube->layerCutCache.layers.size()), 200);
    QVERIFY(cube->layerCutCache.layers[0] && !cube->layerCutCache.layers[0]->indices.empty());

    {
        LogCapture log;
        scene.workspace->layers()->setCurrentLayer(100);
        QVERIFY(!log.contains(QStringLiteral("use cached slice data")));
        scene.workspace->layers()->setCurrentLayer(100);
        QVERIFY(log.contains(QStringLiteral("use cached slice data")));
    }
    // Only the shown layer holds a cut: the bottom, four side strips up to z = 5.025.
    QVERIFY(!cube->layerCutCache.layers[0]);
    QVERIFY(cube->layerCutCache.layers[100]);
    const LayerCut &cut = *cube->layerCutCache.layers[100];
    QVERIFY(!cut.indices.empty());
    QCOMPARE(cube->layerCutCache.filledLayers, std::vector<int>({100}));
    const uint32_t base = cube->mesh->baseVertexCount;
    for (uint32_t i : cut.indices) {
        const Vertex &v = i < base ? cube->mesh->vertices[i] : cut.vertices[i - base];
        QVERIFY(v.pz <= 5.025f + 1e-5f);
    }
    // Layers outside the preview do nothing.
    scene.workspace->layers()->setCurrentLayer(200);
    scene.workspace->layers()->setCurrentLayer(-1);
    QCOMPARE(scene.workspace->layers()->currentLayer(), 100);
    QVERIFY(!scene.workspace->layers()->setShowSliceEnable(false));
    QCOMPARE(scene.workspace->layers()->currentLayer(), -1);
    QVERIFY(cube->layerCutCache.layers.empty());
    QCOMPARE(scene.workspace->scene()->status(), SceneObjects::MODEL_LOADED);
}

void TestSliceJob::cubeJobArchive()
{
    SliceTestScene scene;
    scene.workspace->scene()->ensurePlatformBottom();
    // A cube floating 2 mm up: dropped onto the plate before slicing.
    Model *cube =
        scene.add(modelFromMesh(TestMesh::box(QVector3D(-5, -5, 2), QVector3D(5, 5, 12))));
    const QList<QVariant> end = scene.slice(scene.archivePath());
    QVERIFY(!end.isEmpty());
    QCOMPARE(end.at(0).toFloat(), 1.1f);
    QCOMPARE(end.at(1).toBool(), false);
    QVERIFY(scene.workspace->jobs()->lastSliceCompleted());
    QCOMPARE(scene.workspace->scene()->status(), SceneObjects::MODEL_LOADED);
    QCOMPARE(cube->bboxMin.z(), 0.0f);
    QCOMPARE(scene.workspace->jobs()->sliceNumber(), 200);

    const ArchiveContents c = ArchiveContents::read(scene.archivePath());
    QCOMPARE(c.names.size(), 201);
    QVERIFY(c.names.contains("job000.png"));
    QVERIFY(c.names.contains("job199.png"));
    QVERIFY(c.names.contains("job.gcode"));
    const QStringList gcode = gcodeOf(c).split('\n');
    QCOMPARE(gcode.at(4), QStringLiteral(";(X Resolution            = 1375 )"));
    QCOMPARE(gcode.at(25), QStringLiteral(";Number of Slices         = 200"));
    // Every layer of a cube is the same square: 1-bit, 10 mm wide around the image centre.
    for (const QString &name : {QStringLiteral("job000.png"), QStringLiteral("job123.png")}) {
        const QImage img = c.image(name);
        QCOMPARE(img.size(), QSize(1375, 2455));
        QCOMPARE(img.depth(), 1);
        QCOMPARE(img.pixel(687, 1227), qRgb(255, 255, 255));
        QCOMPARE(img.pixel(687 - 105, 1227), qRgb(255, 255, 255));
        QCOMPARE(img.pixel(687 - 106, 1227), qRgb(0, 0, 0));
        QCOMPARE(img.pixel(10, 10), qRgb(0, 0, 0));
    }
}

void TestSliceJob::antiAliasedModelsAndHardSupports()
{
    SliceTestScene scene;
    scene.config->useAntialise(true);
    scene.config->antiAliseValue(2.0f);
    scene.add(modelFromMesh(TestMesh::sphere(QVector3D(-10, 0, 5), 5.0f, 24, 48)));
    Model *support = scene.add(modelFromMesh(
        TestMesh::box(QVector3D(10, -2, 0), QVector3D(14, 2, 10)), Model::TYPE_SUPPORT));
    Q_UNUSED(support)
    const QList<QVariant> end = scene.slice(scene.archivePath());
    QVERIFY(scene.workspace->jobs()->lastSliceCompleted());
    QVERIFY(!end.isEmpty());
    const ArchiveContents c = ArchiveContents::read(scene.archivePath());
    const QImage img = c.image("job100.png");
    QCOMPARE(img.size(), QSize(1375, 2455)); // drawn at twice the size, saved at job size
    QCOMPARE(img.format(), QImage::Format_Grayscale8);
    // The sphere's rim is grey somewhere; the support is 255 or 0 everywhere.
    bool sphereGrey = false;
    for (int x = 687 - 320; x < 687 - 100; ++x)
        sphereGrey |= qGray(img.pixel(x, 1227)) > 0 && qGray(img.pixel(x, 1227)) < 255;
    QVERIFY(sphereGrey);
    for (int x = 687 + 200; x < 687 + 320; ++x) {
        const int g = qGray(img.pixel(x, 1227));
        QVERIFY2(g == 0 || g == 255, qPrintable(QString("x=%1 grey %2").arg(x).arg(g)));
    }
    QCOMPARE(qGray(img.pixel(687 + 253, 1227)), 255); // 12 mm is inside the support
    // The header reports the job's own resolution, not the supersampled one.
    QVERIFY(gcodeOf(c).contains(";(Pix per mm X            = 21.164 )"));
    QCOMPARE(scene.config->buildConfig()->antiAliasActive, false);
}

void TestSliceJob::jobWithoutLayers_data()
{
    QTest::addColumn<bool>("flatModel");
    QTest::newRow("empty workspace") << false;
    QTest::newRow("model without height") << true;
}

// No layer to print: no archive, and the job says why instead of reporting success.
void TestSliceJob::jobWithoutLayers()
{
    QFETCH(bool, flatModel);
    SliceTestScene scene;
    if (flatModel)
        scene.add(modelFromMesh(TestMesh::box(QVector3D(-5, -5, 0), QVector3D(5, 5, 0))));
    QSignalSpy alert(scene.workspace->scene(), &SceneObjects::showAlert);
    const QList<QVariant> end = scene.slice(scene.archivePath("empty.cws"));
    QVERIFY(!end.isEmpty());
    QCOMPARE(scene.workspace->scene()->status(),
             flatModel ? SceneObjects::MODEL_LOADED : SceneObjects::MODEL_INIT);
    QVERIFY(!scene.workspace->jobs()->lastSliceCompleted());
    QCOMPARE(alert.count(), 1);
    QVERIFY(alert[0][0].toString().startsWith(QStringLiteral("Nothing to slice")));
    QVERIFY(!QFile::exists(scene.archivePath("empty.cws")));
}

void TestSliceJob::cancelledJobHasNoGcode()
{
    SliceTestScene scene;
    scene.add(modelFromMesh(TestMesh::sphere(QVector3D(0, 0, 60), 30.0f, 60, 90)));
    QSignalSpy progress(scene.workspace->jobs(), &JobController::sliceCompletedProgress);
    scene.app->setCwsFile(QUrl::fromLocalFile(scene.archivePath()));
    scene.workspace->jobs()->startSlice(scene.archivePath());
    QCOMPARE(scene.workspace->scene()->status(), SceneObjects::MODEL_SLICING);
    QTRY_VERIFY_WITH_TIMEOUT(progress.count() > 0, 30000); // some layers are written
    {
        // The workers read the meshes unlocked: no edit reaches them while the job runs.
        Model *sphere = scene.workspace->scene()->objects().back();
        scene.workspace->scene()->selectModel(sphere);
        const QMatrix4x4 before = sphere->modelMatrix();
        LogCapture log;
        scene.workspace->transform()->startNewTransform(DoItem::DO_T_TRANSLATE);
        scene.workspace->transform()->setSelectedModelTranslate(5.0f, 0.0f, 0.0f);
        QCOMPARE(log.count(QStringLiteral("refused while a background job runs")), 2);
        QCOMPARE(sphere->modelMatrix(), before);
    }
    scene.workspace->jobs()->cancelSlice();
    QVERIFY(scene.workspace->jobs()->getCancelSlice());
    QTRY_VERIFY_WITH_TIMEOUT(!scene.workspace->jobs()->isSlicing(), 30000);
    QCOMPARE(progress.last().at(0).toFloat(), 1.1f);
    QCOMPARE(progress.last().at(1).toBool(), true);
    QVERIFY(!scene.workspace->jobs()->lastSliceCompleted());
    const ArchiveContents c = ArchiveContents::read(scene.archivePath());
    QVERIFY(!c.names.contains("job.gcode"));
    QVERIFY(!c.names.isEmpty());
    QVERIFY(c.names.size() < 2400);
    for (const QString &name : c.names)
        QVERIFY(!c.image(name).isNull()); // every entry that is there is whole
}

void TestSliceJob::uncreatableArchiveIsReportedAsFailure()
{
    SliceTestScene scene;
    scene.add(modelFromMesh(TestMesh::box(QVector3D(-5, -5, 0), QVector3D(5, 5, 1))));
    QSignalSpy alerts(scene.workspace->scene(), &SceneObjects::showAlert);
    LogCapture log;
    const QList<QVariant> end = scene.slice(scene.env.path("no/such/folder/job.cws"));
    QVERIFY(!end.isEmpty());
    QCOMPARE(end.at(1).toBool(), true); // hides the progress bar, no completion dialog
    QVERIFY(log.contains(QStringLiteral("open zip file fail")));
    QCOMPARE(alerts.count(), 1);
    QVERIFY(alerts.first().first().toString().contains("could not be created"));
    QVERIFY(!scene.workspace->jobs()->lastSliceCompleted());
    QCOMPARE(scene.workspace->scene()->status(), SceneObjects::MODEL_LOADED);
}

void TestSliceJob::fullDiskIsReportedAsFailure()
{
    SliceTestScene scene;
    scene.add(modelFromMesh(TestMesh::box(QVector3D(-5, -5, 0), QVector3D(5, 5, 1))));
    QSignalSpy alerts(scene.workspace->scene(), &SceneObjects::showAlert);
    // Every write to /dev/full fails with "no space left".
    const QList<QVariant> end = scene.slice(QStringLiteral("/dev/full"));
    QVERIFY(!end.isEmpty());
    QCOMPARE(end.at(1).toBool(), true);
    QCOMPARE(alerts.count(), 1);
    QVERIFY(!scene.workspace->jobs()->lastSliceCompleted());
    QVERIFY(!scene.workspace->jobs()->lastSliceError().isEmpty());
}

void TestSliceJob::previewRefusesWhileSlicing()
{
    SliceTestScene scene;
    scene.add(modelFromMesh(TestMesh::sphere(QVector3D(0, 0, 40), 20.0f, 40, 60)));
    scene.app->setCwsFile(QUrl::fromLocalFile(scene.archivePath()));
    scene.workspace->jobs()->startSlice(scene.archivePath());
    QVERIFY(!scene.workspace->layers()->setShowSliceEnable(true));
    QCOMPARE(scene.workspace->scene()->status(), SceneObjects::MODEL_SLICING);
    scene.workspace->jobs()->cancelSlice();
    QTRY_VERIFY_WITH_TIMEOUT(!scene.workspace->jobs()->isSlicing(), 30000);
}

void TestSliceJob::noSlicingWhileSupportsAreGenerated()
{
    SliceTestScene scene;
    Model *ball = scene.add(modelFromMesh(TestMesh::sphere(QVector3D(0, 0, 40), 20.0f, 40, 60)));
    scene.workspace->scene()->selectModel(ball);
    scene.workspace->jobs()->addSupportAuto(0.0f);
    QVERIFY(scene.workspace->jobs()->isGeneratingSupports());
    // The generator reads the meshes a job would move: slicing and the preview wait.
    const QList<QVariant> end = scene.slice(scene.archivePath());
    QVERIFY(!end.isEmpty());
    QCOMPARE(end.at(1).toBool(), true);
    QVERIFY(!scene.workspace->jobs()->lastSliceCompleted());
    QVERIFY(!QFile::exists(scene.archivePath()));
    QVERIFY(!scene.workspace->layers()->setShowSliceEnable(true));
    scene.workspace->jobs()->cancelSlice();
    QTRY_VERIFY_WITH_TIMEOUT(!scene.workspace->jobs()->isGeneratingSupports(), 30000);
}

void TestSliceJob::archiveCodeComesFromQuaZip()
{
    // The system minizip (loaded with Assimp) has functions of the same names; QuaZip only
    // writes archives when its own copies are the ones the process uses.
    void *symbol = dlsym(RTLD_DEFAULT, "zipOpen3");
    QVERIFY(symbol);
    Dl_info info;
    QVERIFY(dladdr(symbol, &info) != 0);
    QVERIFY2(QByteArray(info.dli_fname).contains("quazip"), info.dli_fname);
}

void TestSliceJob::antiAliasSwitchScalesTheGrid()
{
    SliceBuildConfig s;
    s.xPixelsPerMm = s.yPixelsPerMm = 21.164;
    s.imageWidthPx = 1440;
    s.imageHeightPx = 2560;
    s.setAntiAlias(true, 2.0);
    // Models are drawn on a grid twice as fine; the target stays the job's size.
    QCOMPARE(s.imageWidthPx, 2880);
    QCOMPARE(s.imageHeightPx, 5120);
    QCOMPARE(s.xPixelsPerMm, 42.328);
    QCOMPARE(s.targetSizePx, QSize(1440, 2560));
    s.antiAliasOff();
    QCOMPARE(s.imageWidthPx, 1440);
    QCOMPARE(s.xPixelsPerMm, 21.164);
    QVERIFY(!s.antiAliasActive);
    s.antiAliasOff(); // only when active: nothing changes
    QCOMPARE(s.imageWidthPx, 1440);
    s.setAntiAlias(true, 2.5);
    QCOMPARE(s.imageWidthPx, 3600);
    QCOMPARE(s.imageHeightPx, 6400);
    s.setAntiAlias(false, 3.0);
    QCOMPARE(s.antiAliasFactor, 1.0);
}

void TestSliceJob::layerAboveEverythingIsBlack()
{
    SliceTestScene scene;
    scene.add(modelFromMesh(TestMesh::box(QVector3D(-5, -5, 0), QVector3D(5, 5, 1))));
    for (bool antiAlias : {false, true}) {
        SliceBuildConfig settings = *scene.config->buildConfig();
        settings.setAntiAlias(antiAlias, 2.0);
        const QImage layer = LayerDrawing::drawLayer(scene.snapshotObjects(), settings, 2.025f);
        const QImage *img = &layer;
        QCOMPARE(img->size(), QSize(1375, 2455));
        QCOMPARE(img->format(), antiAlias ? QImage::Format_Grayscale8 : QImage::Format_Mono);
        QImage grey = img->convertToFormat(QImage::Format_Grayscale8);
        for (int y = 0; y < grey.height(); ++y) {
            const uchar *row = grey.constScanLine(y);
            QVERIFY(std::all_of(row, row + grey.width(), [](uchar v) { return v == 0; }));
        }
    }
}

namespace {

struct SettingsSnapshot
{
    double xPixelsPerMm, yPixelsPerMm, factor;
    int widthPx, heightPx;
    bool antiAlias;
    QSize target;

    explicit SettingsSnapshot(const SliceBuildConfig &s)
        : xPixelsPerMm(s.xPixelsPerMm), yPixelsPerMm(s.yPixelsPerMm), factor(s.antiAliasFactor),
          widthPx(s.imageWidthPx), heightPx(s.imageHeightPx), antiAlias(s.antiAliasActive),
          target(s.targetSizePx)
    {
    }
    bool operator==(const SettingsSnapshot &o) const
    {
        return xPixelsPerMm == o.xPixelsPerMm && yPixelsPerMm == o.yPixelsPerMm &&
               factor == o.factor && widthPx == o.widthPx && heightPx == o.heightPx &&
               antiAlias == o.antiAlias && target == o.target;
    }
};

// Chunk types and contents of a PNG, the image data left out.
QList<QPair<QByteArray, QByteArray>> headerChunks(const QByteArray &png)
{
    QList<QPair<QByteArray, QByteArray>> out;
    for (const PngCheck::Chunk &c : PngCheck::chunksOf(png))
        if (c.type != "IDAT")
            out.append({c.type, c.data});
    return out;
}

} // namespace

void TestSliceJob::sharedSettingsStayWhileJobRuns()
{
    // The window reads the shared settings at any time: an anti-aliased job must not switch
    // them to its supersampled grid, not even for a moment.
    SliceTestScene scene;
    scene.config->useAntialise(true);
    scene.config->antiAliseValue(2.5f);
    scene.add(modelFromMesh(TestMesh::sphere(QVector3D(0, 0, 5), 5.0f, 40, 60)));
    const SliceBuildConfig *shared = scene.config->buildConfig();
    const SettingsSnapshot before(*shared);
    QVERIFY(!before.antiAlias);
    QSignalSpy progress(scene.workspace->jobs(), &JobController::sliceCompletedProgress);
    scene.app->setCwsFile(QUrl::fromLocalFile(scene.archivePath()));
    scene.workspace->jobs()->startSlice(scene.archivePath());
    QVERIFY(scene.workspace->jobs()->isSlicing());
    int reads = 0;
    QElapsedTimer timer;
    timer.start();
    while (scene.workspace->jobs()->isSlicing() && timer.elapsed() < 60000) {
        QVERIFY(SettingsSnapshot(*shared) == before);
        ++reads;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QVERIFY(!scene.workspace->jobs()->isSlicing());
    QVERIFY(scene.workspace->jobs()->lastSliceCompleted());
    QVERIFY(SettingsSnapshot(*shared) == before);
    QVERIFY(reads > 10);
    QVERIFY(progress.count() > 2); // layers finished while the settings were read

    // The archive is the job's own: grey layers at the job size, the header at its density.
    const ArchiveContents c = ArchiveContents::read(scene.archivePath());
    QCOMPARE(c.names.size(), 201);
    const QImage img = c.image("job100.png");
    QCOMPARE(img.size(), QSize(1375, 2455));
    QCOMPARE(img.format(), QImage::Format_Grayscale8);
    QVERIFY(gcodeOf(c).contains(";(Pix per mm X            = 21.164 )"));
    QVERIFY(gcodeOf(c).contains(";(X Resolution            = 1375 )"));
}

void TestSliceJob::archiveEntriesMatchPlainPath_data()
{
    QTest::addColumn<QSize>("jobSize");
    QTest::addColumn<double>("factor");
    // Both panel sizes at every factor the settings offer (fewer under the sanitizers), and
    // images of one row, one column and odd widths, as a printer with such a panel gets them.
    const bool quick = LayerImages::quickRun();
    QVector<QPair<QSize, double>> rows;
    for (double f : QVector<double>{0.0} + LayerImages::factors())
        if (!quick || f == 0.0 || f == 2.0 || f == 3.5)
            rows.append({QSize(1375, 2455), f});
    for (double f : {2.0, 5.0})
        rows.append({QSize(1440, 2560), f});
    for (const QSize &odd : {QSize(1, 701), QSize(901, 1), QSize(17, 9), QSize(333, 517)})
        for (double f : {0.0, 2.0, 4.5})
            rows.append({odd, f});
    for (const auto &row : rows)
        QTest::newRow(qPrintable(QStringLiteral("%1x%2 %3")
                                     .arg(row.first.width())
                                     .arg(row.first.height())
                                     .arg(row.second > 0 ? QStringLiteral("x%1").arg(row.second)
                                                         : QStringLiteral("off"))))
            << row.first << row.second;
}

void TestSliceJob::archiveEntriesMatchPlainPath()
{
    QFETCH(QSize, jobSize);
    QFETCH(double, factor);
    // A scene with all kinds of layers: a prism (runs of equal layers, whose bytes are
    // reused), a round model, a gap where layers are empty, and a support drawn hard.
    SliceTestScene scene;
    scene.config->useAntialise(factor > 0);
    scene.config->antiAliseValue(float(factor > 0 ? factor : 2.0));
    scene.config->buildConfig()->imageWidthPx = jobSize.width();
    scene.config->buildConfig()->imageHeightPx = jobSize.height();
    TestMesh stack = TestMesh::box(QVector3D(-20, -20, 0), QVector3D(-10, -10, 2));
    stack.append(TestMesh::box(QVector3D(-20, -20, 4), QVector3D(-10, -10, 5)));
    scene.add(modelFromMesh(stack));
    // Round, and on the centre lines that one-row and one-column images show.
    scene.add(modelFromMesh(TestMesh::sphere(QVector3D(0.2f, 0.1f, 1.5f), 1.5f, 24, 36)));
    scene.add(modelFromMesh(TestMesh::box(QVector3D(0, -25, 0), QVector3D(3, -21, 3)),
                            Model::TYPE_SUPPORT));
    const QList<QVariant> end = scene.slice(scene.archivePath());
    QVERIFY(!end.isEmpty());
    QVERIFY(scene.workspace->jobs()->lastSliceCompleted());
    const ArchiveContents c = ArchiveContents::read(scene.archivePath());
    QCOMPARE(c.names.size(), 101);

    SliceBuildConfig settings = *scene.config->buildConfig();
    settings.setAntiAlias(factor > 0, factor);
    // Layers with all three, the gap between the prism's parts (blank), and the prism alone.
    const QList<int> checked{0, 17, 40, 41, 65, 79, 80, 99};
    float z = settings.layerThicknessMm * 0.5f; // as the job steps through the layers
    for (int layer = 0; layer < 100; ++layer, z += settings.layerThicknessMm) {
        const QByteArray entry =
            c.data.value(QStringLiteral("job%1.png").arg(layer, 3, 10, QChar('0')));
        QVERIFY(!entry.isEmpty());
        if (!checked.contains(layer))
            continue;
        LayerDrawing::Options plain;
        plain.plain = true;
        const QImage expected =
            LayerDrawing::drawLayer(scene.snapshotObjects(), settings, z, plain);
        QCOMPARE(expected.size(), jobSize);
        // The header as Qt writes it, and the plain drawing's pixels through both decoders.
        QCOMPARE(headerChunks(entry), headerChunks(LayerPng::encodePlain(expected)));
        const QString problem = PngCheck::checkPixels(entry, PngCheck::greyLevels(expected));
        QVERIFY2(problem.isEmpty(),
                 qPrintable(QStringLiteral("layer %1: %2").arg(layer).arg(problem)));
    }
}

QTEST_GUILESS_MAIN(TestSliceJob)
#include "tst_slicejob.moc"
