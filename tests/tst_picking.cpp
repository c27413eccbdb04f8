// Picking without a window: hit order, which objects a click can find, hit points and normals,
// and the indexed pick against the plain loop over every triangle.
#include "SceneMeshes.h"
#include "ScratchConfig.h"
#include "TestMeshes.h"

#include "model/DoItem.h"
#include "view/CameraMath.h"
#include "view/MeshPickIndex.h"
#include "view/SceneCamera.h"
#include "view/ScenePicker.h"
#include "workspace/SceneObjects.h"
#include "workspace/Workspace.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <memory>

using namespace SceneMeshes;

namespace {

const QSet<int> kClickTypes = {0, 1, 2, 4};

// A ray straight down onto (x, y) from high above.
PickMath::Ray downAt(float x, float y)
{
    return {QVector3D(x, y, 100.0f), QVector3D(0, 0, -1)};
}

Model *meshModel(const TestMesh &t, int type = Model::TYPE_NORMAL)
{
    Model *m = new Model(type);
    for (const QVector3D &p : t.positions)
        m->mesh->vertices.push_back({p.x(), p.y(), p.z(), 0.0f, 0.0f, 1.0f});
    m->mesh->indices.assign(t.indices.begin(), t.indices.end());
    m->mesh->baseVertexCount = uint32_t(m->mesh->vertices.size());
    // Vertex normals pointing away from the mesh's centre, so the normal test has content.
    QVector3D c;
    for (const QVector3D &p : t.positions)
        c += p;
    c /= float(t.positions.size());
    for (Vertex &v : m->mesh->vertices) {
        const QVector3D n = (QVector3D(v.px, v.py, v.pz) - c).normalized();
        v.nx = n.x();
        v.ny = n.y();
        v.nz = n.z();
    }
    m->meshReady = true;
    m->updateGeometry(true);
    return m;
}

// Every field equal, bit for bit.
bool sameHits(const std::vector<PickHit> &a, const std::vector<PickHit> &b, QString *why)
{
    if (a.size() != b.size()) {
        *why = QStringLiteral("%1 hits against %2").arg(a.size()).arg(b.size());
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].object != b[i].object || a[i].point != b[i].point || a[i].normal != b[i].normal ||
            a[i].distance != b[i].distance) {
            *why = QStringLiteral("hit %1 differs").arg(i);
            return false;
        }
    }
    return true;
}

} // namespace

class TstPicking : public QObject
{
    Q_OBJECT
private slots:
    void nearestFirst();
    void tiesKeepObjectThenTriangleOrder();
    void supportInFrontOfModel();
    void linkersAndPlateAreNotClickable();
    void pointInMmAndNormalThroughNormalMatrix();
    void indexNarrowsTheSearch();
    void indexedPickEqualsPlain_data();
    void indexedPickEqualsPlain();
    void missEveryBox();
};

void TstPicking::nearestFirst()
{
    std::unique_ptr<Model> low(makeBox({-5, -5, 0}, {5, 5, 4}));
    std::unique_ptr<Model> high(makeBox({-5, -5, 10}, {5, 5, 20}));
    // The lower box first in the list: order must come from distance, not from the list.
    const std::vector<PickHit> hits =
        ScenePicker::pickPlain({low.get(), high.get()}, downAt(1, 2), {0}, QMatrix4x4(), 1.0f);
    QCOMPARE(int(hits.size()), 4); // top and bottom face of each box
    const float expectedZ[] = {20, 10, 4, 0};
    const Model *expectedObject[] = {high.get(), high.get(), low.get(), low.get()};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(hits[size_t(i)].object, expectedObject[i]);
        QCOMPARE(hits[size_t(i)].point, QVector3D(1, 2, expectedZ[i]));
        QCOMPARE(hits[size_t(i)].distance, double(100 - expectedZ[i]));
    }
}

void TstPicking::tiesKeepObjectThenTriangleOrder()
{
    std::unique_ptr<Model> first(makeBox({-5, -5, 0}, {5, 5, 4}));
    std::unique_ptr<Model> second(makeBox({-5, -5, 0}, {5, 5, 4}));
    // Through the diagonal of the top face: both of its triangles are hit at the same depth.
    const std::vector<PickHit> hits =
        ScenePicker::pickPlain({first.get(), second.get()}, downAt(1, 1), {0}, QMatrix4x4(), 1.0f);
    QCOMPARE(int(hits.size()), 8);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(hits[size_t(i)].point.z(), 4.0f);
    // The top face's two triangles of the first box, then those of the second.
    QCOMPARE(hits[0].object, first.get());
    QCOMPARE(hits[1].object, first.get());
    QCOMPARE(hits[2].object, second.get());
    QCOMPARE(hits[3].object, second.get());
}

void TstPicking::supportInFrontOfModel()
{
    std::unique_ptr<Model> model(makeBox({-10, -10, 5}, {10, 10, 15}));
    std::unique_ptr<Model> support(makeBox({-1, -1, 0}, {1, 1, 30}, Model::TYPE_SUPPORT));
    const std::vector<Model *> scene = {model.get(), support.get()};
    // Through the support: it is nearer, whatever the list order.
    std::vector<PickHit> hits =
        ScenePicker::pickPlain(scene, downAt(0, 0), kClickTypes, QMatrix4x4(), 1.0f);
    QCOMPARE(hits.front().object, support.get());
    // Beside it, the model is found.
    hits = ScenePicker::pickPlain(scene, downAt(3, 0), kClickTypes, QMatrix4x4(), 1.0f);
    QCOMPARE(hits.front().object, model.get());
    QCOMPARE(hits.front().point.z(), 15.0f);
    // A drag only looks for models: through the support it finds the model below it.
    hits = ScenePicker::pickPlain(scene, downAt(0, 0), {0}, QMatrix4x4(), 1.0f);
    QCOMPARE(hits.front().object, model.get());
}

void TstPicking::linkersAndPlateAreNotClickable()
{
    std::unique_ptr<Model> model(makeBox({-10, -10, 0}, {10, 10, 10}));
    std::unique_ptr<Model> linker(makeBox({-2, -2, 12}, {2, 2, 14}, Model::TYPE_SUPPORT_LINKER));
    std::unique_ptr<Model> plate(makeBox({-30, -50, -1}, {30, 50, 0}, Model::TYPE_PLATFORM_BOTTOM));
    const std::vector<Model *> scene = {plate.get(), model.get(), linker.get()};
    // The linker above the model is passed through.
    std::vector<PickHit> hits =
        ScenePicker::pickPlain(scene, downAt(0, 0), kClickTypes, QMatrix4x4(), 1.0f);
    QCOMPARE(hits.front().object, model.get());
    // Beside the model only the plate is under the ray: nothing a click can find.
    hits = ScenePicker::pickPlain(scene, downAt(20, 0), kClickTypes, QMatrix4x4(), 1.0f);
    QVERIFY(hits.empty());
    // The finishing click of a multi-point support also looks for the plate.
    hits = ScenePicker::pickPlain(scene, downAt(20, 0), {0, 1, 2, 4, 5}, QMatrix4x4(), 1.0f);
    QCOMPARE(hits.front().object, plate.get());
}

void TstPicking::pointInMmAndNormalThroughNormalMatrix()
{
    // One triangle on the plate whose vertex normals lean toward +x (their mean (1, 0, 1)),
    // turned 90 degrees about z and moved 10 mm along x.
    std::unique_ptr<Model> m(new Model(Model::TYPE_NORMAL));
    m->mesh->vertices = {{-10, -10, 0, 1, 0, 0}, {10, -10, 0, 1, 0, 1}, {0, 10, 0, 1, 0, 2}};
    m->mesh->indices = {0, 1, 2};
    m->meshReady = true;
    m->pushTransform(DoItem::DO_T_ROTATE);
    m->setRotate(0, 0, 90, QVector3D(0, 0, 0));
    m->pushTransform(DoItem::DO_T_TRANSLATE);
    m->setTranslate(10, 0, 0);
    m->updateGeometry(true);
    const CameraMath::Volume volume;
    const float s = CameraMath::sceneScaleMm(volume); // 135 mm a scene unit
    const PickMath::Ray ray{QVector3D(12, 1, 50) / s, QVector3D(0, 0, -1)};
    const std::vector<PickHit> hits =
        ScenePicker::pickPlain({m.get()}, ray, {0}, CameraMath::modelScaleMatrix(volume), s);
    QCOMPARE(int(hits.size()), 1);
    QVERIFY((hits[0].point - QVector3D(12, 1, 0)).length() < 1e-4f); // back in mm
    QVERIFY(std::fabs(float(hits[0].distance) - 50.0f / s) < 1e-6f); // in scene units
    // The translation does not turn normals; the rotation takes +x to +y.
    QVERIFY((hits[0].normal - QVector3D(0, 1, 1).normalized()).length() < 1e-5f);
}

void TstPicking::indexNarrowsTheSearch()
{
    const TestMesh sphere = TestMesh::sphere(QVector3D(0, 0, 25), 25.0f, 100, 100);
    std::unique_ptr<Model> model(meshModel(sphere));
    const MeshPickIndex index(*model->mesh);
    std::vector<uint32_t> candidates;
    // A ray far beside the sphere: nothing to test.
    index.candidates(QVector3D(60, 0, 100), QVector3D(0, 0, -1), 1.0f / 135, 135.0f, 1.0f,
                     candidates);
    QVERIFY(candidates.empty());
    // Through it: a few triangles out of 19,800, among them the two it hits.
    index.candidates(QVector3D(3, 4, 100), QVector3D(0, 0, -1), 1.0f / 135, 135.0f, 1.0f,
                     candidates);
    QVERIFY(!candidates.empty());
    QVERIFY2(candidates.size() < 200, qPrintable(QString::number(candidates.size())));
    QVERIFY(std::is_sorted(candidates.begin(), candidates.end()));
}

void TstPicking::indexedPickEqualsPlain_data()
{
    QTest::addColumn<int>("seed");
    for (int seed = 1; seed <= 6; ++seed)
        QTest::newRow(qPrintable(QStringLiteral("scene %1").arg(seed))) << seed;
}

void TstPicking::indexedPickEqualsPlain()
{
    QFETCH(int, seed);
    QRandomGenerator rng{quint32(seed)};
    auto uniform = [&rng](double lo, double hi) {
        return float(lo + (hi - lo) * rng.generateDouble());
    };

    ScratchConfig scratch;
    Workspace workspace(scratch.config);
    SceneCamera camera;
    ScenePicker picker(*workspace.scene(), camera);
    // Large meshes of several kinds: a fine sphere, a coarse box split into long slivers, a
    // plate of big triangles, each turned, scaled unevenly, mirrored and moved at random.
    TestMesh slivers;
    for (int i = 0; i < 1500; ++i) {
        const float x = -20.0f + 40.0f * float(i) / 1500.0f;
        TestMesh strip = TestMesh::box({x, -15, 0}, {x + 0.0266f, 15, 8});
        slivers.append(strip);
    }
    TestMesh plate;
    for (int i = 0; i < 70; ++i)
        for (int j = 0; j < 70; ++j) {
            const quint32 base = quint32(plate.positions.size());
            plate.positions << QVector3D(i, j, 0) << QVector3D(i + 1, j, 0.01f * i)
                            << QVector3D(i, j + 1, 0);
            plate.indices << base << base + 1 << base + 2;
        }
    const std::vector<TestMesh> meshes = {TestMesh::sphere(QVector3D(0, 0, 12), 12.0f, 80, 80),
                                          slivers, plate.transformed([] {
                                              QMatrix4x4 m;
                                              m.translate(-35, -35, 0);
                                              return m;
                                          }())};
    for (const TestMesh &mesh : meshes) {
        Model *m = meshModel(mesh);
        m->pushTransform(DoItem::DO_T_SCALE);
        const float flip = rng.bounded(2) ? -1.0f : 1.0f;
        m->setScale(flip * uniform(0.4, 1.6), uniform(0.4, 1.6), uniform(0.6, 1.4));
        m->pushTransform(DoItem::DO_T_ROTATE);
        m->updateGeometry(true);
        m->setRotate(uniform(-40, 40), uniform(-40, 40), uniform(-180, 180), m->center);
        m->pushTransform(DoItem::DO_T_TRANSLATE);
        m->setTranslate(uniform(-15, 15), uniform(-25, 25), uniform(0, 10));
        m->updateGeometry(true);
        workspace.scene()->addModel(m);
    }
    // A small mesh that the plain loop always covers, for the order of mixed objects.
    workspace.scene()->addModel(makeBox({-3, -3, 0}, {3, 3, 40}, Model::TYPE_SUPPORT));

    picker.prepareIndexes();
    picker.waitForIndexes();
    QCOMPARE(picker.readyIndexCount(), 3);

    const QSet<int> types = {0, 1};
    const CameraMath::Volume volume;
    const QMatrix4x4 scale = CameraMath::modelScaleMatrix(volume);
    const float s = CameraMath::sceneScaleMm(volume);
    int picks = 0, hitPicks = 0;
    for (int view = 0; view < 8; ++view) {
        CameraState c;
        c.yawDeg = int(rng.bounded(360)) - 180;
        // Grazing views of the plate and the slivers are among them: pitch -90 and near it.
        c.pitchDeg = view % 3 == 0 ? -90 : int(rng.bounded(181)) - 180;
        c.zoom = uniform(0.3, 4.0);
        c.panX = uniform(-0.3, 0.3);
        c.panY = uniform(-0.3, 0.3);
        c.baseView.translate(0, -0.4f, -3);
        const QMatrix4x4 p = CameraMath::projectionMatrix(QSize(640, 480), c.panX, c.panY);
        const QMatrix4x4 v = CameraMath::viewMatrix(c);
        for (int k = 0; k < 50; ++k) {
            const PickMath::Ray ray = PickMath::pickRay(
                int(rng.bounded(640)), int(rng.bounded(480)), QSize(640, 480), p, v);
            const std::vector<PickHit> plain =
                ScenePicker::pickPlain(workspace.scene()->objects(), ray, types, scale, s);
            const std::vector<PickHit> fast =
                picker.pickFast(workspace.scene()->objects(), ray, types, scale, s);
            QString why;
            QVERIFY2(sameHits(plain, fast, &why),
                     qPrintable(QStringLiteral("camera %1 ray %2: %3").arg(view).arg(k).arg(why)));
            ++picks;
            hitPicks += plain.empty() ? 0 : 1;
        }
        // Rays aimed at the edges and corners of triangles, where rounding decides.
        const QVector3D direction = PickMath::pickRay(0, 0, QSize(640, 480), p, v).direction;
        for (int k = 0; k < 50; ++k) {
            Model *m = workspace.scene()->objects()[size_t(rng.bounded(3))];
            const QMatrix4x4 world = scale * m->modelMatrix();
            const uint32_t *tri =
                m->mesh->indices.data() + 3 * rng.bounded(quint32(m->mesh->indices.size() / 3));
            auto at = [&](int corner) {
                const Vertex &x = m->mesh->vertices[tri[corner]];
                return world.map(QVector3D(x.px, x.py, x.pz));
            };
            const int a = int(rng.bounded(3));
            const float f = k % 4 == 0 ? 0.0f : uniform(0, 1);
            const QVector3D target = at(a) + (at((a + 1) % 3) - at(a)) * f;
            const PickMath::Ray ray{target - direction * 3.0f, direction};
            const std::vector<PickHit> plain =
                ScenePicker::pickPlain(workspace.scene()->objects(), ray, types, scale, s);
            const std::vector<PickHit> fast =
                picker.pickFast(workspace.scene()->objects(), ray, types, scale, s);
            QString why;
            QVERIFY2(
                sameHits(plain, fast, &why),
                qPrintable(QStringLiteral("camera %1 edge ray %2: %3").arg(view).arg(k).arg(why)));
            ++picks;
            hitPicks += plain.empty() ? 0 : 1;
        }
    }
    // The comparison means something only if many rays hit.
    QVERIFY2(hitPicks > picks / 3, qPrintable(QStringLiteral("%1 of %2").arg(hitPicks).arg(picks)));
}

void TstPicking::missEveryBox()
{
    ScratchConfig scratch;
    Workspace workspace(scratch.config);
    SceneCamera camera;
    ScenePicker picker(*workspace.scene(), camera);
    workspace.scene()->addModel(meshModel(TestMesh::sphere(QVector3D(0, 0, 25), 25.0f, 60, 60)));
    picker.prepareIndexes();
    picker.waitForIndexes();
    const CameraMath::Volume volume;
    const float s = CameraMath::sceneScaleMm(volume);
    // Far beside the model: no hits, and none from the plain loop either.
    const PickMath::Ray ray{QVector3D(60, 60, 100) / s, QVector3D(0, 0, -1)};
    QVERIFY(picker
                .pickFast(workspace.scene()->objects(), ray, {0},
                          CameraMath::modelScaleMatrix(volume), s)
                .empty());
    QVERIFY(ScenePicker::pickPlain(workspace.scene()->objects(), ray, {0},
                                   CameraMath::modelScaleMatrix(volume), s)
                .empty());
}

QTEST_GUILESS_MAIN(TstPicking)
#include "tst_picking.moc"
