#include "LogCapture.h"
#include "MeshClosure.h"
#include "SceneMeshes.h"
#include "SliceTestScene.h"
#include "SupportScene.h"

#include "model/DoItem.h"
#include "model/MultiPointSupport.h"
#include "model/PlatformBottom.h"
#include "model/Support.h"
#include "model/SupportBase.h"
#include "model/SupportLinker.h"

#include <QtTest>

#include <algorithm>

using CWS::Support;
using namespace SupportScene;

namespace {

QVector3D worldOf(const Model &m, int vertex)
{
    const Vertex &v = m.mesh->vertices[size_t(vertex)];
    return m.modelMatrix().map(QVector3D(v.px, v.py, v.pz));
}

PickHit hitAt(Model *object, const QVector3D &p, const QVector3D &n = {0, 0, -1})
{
    PickHit h;
    h.object = object;
    h.point = p;
    h.normal = n;
    return h;
}

// Every part of a support closed and outward.
QString partProblems(const Support &s)
{
    QString problems;
    for (size_t i = 0; i < s.partStarts.size(); ++i) {
        const int end =
            i + 1 < s.partStarts.size() ? s.partStarts[i + 1] : int(s.mesh->indices.size());
        const MeshClosure c = MeshClosure::of(s, s.partStarts[i], end);
        if (!c.closed)
            problems += QStringLiteral("part %1: %2; ").arg(i).arg(c.problem);
    }
    return problems;
}

} // namespace

class TstSupportFamily : public QObject
{
    Q_OBJECT
private slots:
    // Linkers
    void linkerThreeMillimetresApart();
    void linkerNotMade_data();
    void linkerNotMade();
    void linkerZigZag();
    void linkerCoincidentPillars();
    // Multi-point supports
    void twoPointForms_data();
    void twoPointForms();
    void treeForms_data();
    void treeForms();
    void treeFootFollowsShift();
    void treeRefusesFarPoint();
    void multiPointNeedsTwoPoints();
    // Workspace
    void manualPillarTooLow();
    void manualPillarWithLinkerUndo();
    void removeAllSupportsFreesFamilyAndRecords();
    void deletingModelDropsSupportRecords();
    void copyCarriesSupportFamily();
    void manualModeFlag();
    // Slicing
    void supportedModelArchive();
};

void TstSupportFamily::linkerThreeMillimetresApart()
{
    SliceTestScene scene;
    LogCapture log;
    Model *m = scene.add(boxModel({-5, -5, 12}, {8, 5, 14}));
    // Contact at 12: body tops at 12 - 2 = 10, bottoms at 1.
    QVERIFY(scene.workspace->supports()->addSupportFromHit(hitAt(m, {0, 0, 12}, {0, 0, 1})));
    QVERIFY(m->linkers.empty());
    QVERIFY(log.contains(QStringLiteral("no nearby support")));
    QVERIFY(scene.workspace->supports()->addSupportFromHit(hitAt(m, {3, 0, 12}, {0, 0, 1})));
    QCOMPARE(m->linkers.size(), size_t(1));
    auto *linker = dynamic_cast<SupportLinker *>(m->linkers.front());
    QVERIFY(linker);
    QCOMPARE(linker->parent, m);
    QCOMPARE(linker->type, int(Model::TYPE_SUPPORT_LINKER));
    QVERIFY(listed(*scene.workspace, linker));
    QVERIFY(log.contains(QStringLiteral("link height")));
    QVERIFY(log.contains(QStringLiteral("new linker")));
    // Upper 9, lower 3, step tan(50) * 3 = 3.575: one strut. Equal tops start on the older
    // pillar (B) at 6.575 and end on the new one (A) at 3.0.
    QCOMPARE(linker->mesh->indices.size(), size_t(3 * 4 * 32));
    const QVector3D upper = worldOf(*linker, 32);
    const QVector3D lower = worldOf(*linker, 65);
    QVERIFY2(qAbs(upper.z() - 6.5753f) < 1e-3f, qPrintable(QString::number(double(upper.z()))));
    QVERIFY(qAbs(upper.x() - 0.0f) < 1e-4f);
    QVERIFY(qAbs(lower.z() - 3.0f) < 1e-4f);
    QVERIFY(qAbs(lower.x() - 3.0f) < 1e-4f);
    // Strut radius 0.95 * min(0.8, 0.9).
    QVERIFY(qAbs((worldOf(*linker, 0) - upper).length() - 0.76f) < 1e-4f);
    const MeshClosure c = MeshClosure::of(*linker);
    QVERIFY2(c.closed, qPrintable(c.problem));
    // The linker was recorded before its pillar.
    const size_t n = scene.workspace->undoList().records().size();
    QCOMPARE(scene.workspace->undoList().records()[n - 2].model, linker);
    QCOMPARE(scene.workspace->undoList().records()[n - 1].model->type, int(Model::TYPE_SUPPORT));
}

void TstSupportFamily::linkerNotMade_data()
{
    QTest::addColumn<float>("apartMm");
    QTest::addColumn<float>("contactZ");
    QTest::addColumn<QString>("message");
    // Below 2 * 0.8 + 0.5 = 2.1 and above 10.1 mm no neighbour qualifies.
    QTest::newRow("1.5 mm") << 1.5f << 12.0f << "no nearby support";
    QTest::newRow("10.2 mm") << 10.2f << 12.0f << "no nearby support";
    // Contact at 5: body tops 3, bottoms 1, so upper 2 lies below lower 3.
    QTest::newRow("no room") << 3.0f << 5.0f << "no space left for linker";
    // Pillars 10 km tall (only a damaged project has them) would ask for millions of struts.
    QTest::newRow("absurdly tall") << 3.0f << 1.0e7f << "linker span too tall";
}

void TstSupportFamily::linkerNotMade()
{
    QFETCH(float, apartMm);
    QFETCH(float, contactZ);
    QFETCH(QString, message);
    SliceTestScene scene;
    LogCapture log;
    Model *m = scene.add(boxModel({-5, -5, contactZ}, {15, 5, contactZ + 2}));
    scene.workspace->supports()->addSupportFromHit(hitAt(m, {0, 0, contactZ}, {0, 0, 1}));
    const size_t before = scene.workspace->scene()->objects().size();
    scene.workspace->supports()->addSupportFromHit(hitAt(m, {apartMm, 0, contactZ}, {0, 0, 1}));
    QVERIFY(m->linkers.empty());
    QCOMPARE(scene.workspace->scene()->objects().size(), before + 1); // only the pillar
    QVERIFY(log.contains(message));
}

void TstSupportFamily::linkerZigZag()
{
    SliceTestScene scene;
    Model *m = scene.add(boxModel({-5, -5, 22}, {8, 5, 24}));
    auto *a = new Support(scene.config->supportConfig());
    a->build(m, {0, 0, 22}, {0, 0, 1});
    auto *b = new Support(scene.config->supportConfig());
    b->build(m, {3, 0, 21}, {0, 0, 1});
    SupportLinker linker;
    linker.parent = m;
    m->linkers.push_back(&linker);
    // Upper 19 - 1 = 18, lower 3, step 3.575 (centres differ only by 0.5 in z: 3.04 apart).
    const float step = float(std::tan(50.0 * M_PI / 180.0)) * (a->center - b->center).length();
    const int k = linker.build(a, b);
    QCOMPARE(k, int((18.0f - 3.0f) / step));
    QCOMPARE(k, 4);
    // Struts alternate, starting on the pillar with the higher top (a, at x = 0).
    for (int i = 0; i < k; ++i) {
        const int base = i * 66;
        const QVector3D top = worldOf(linker, base + 32);
        const QVector3D bottom = worldOf(linker, base + 65);
        QVERIFY(qAbs(top.x() - (i % 2 == 0 ? 0.0f : 3.0f)) < 1e-4f);
        QVERIFY(qAbs(bottom.x() - (i % 2 == 0 ? 3.0f : 0.0f)) < 1e-4f);
        QVERIFY(qAbs(top.z() - (3.0f + float(k - i) * step)) < 1e-3f);
        QVERIFY(qAbs(bottom.z() - (3.0f + float(k - i - 1) * step)) < 1e-3f);
    }
    // Each strut is closed on its own (neighbours touch at a shared disc).
    for (int i = 0; i < k; ++i) {
        const MeshClosure c = MeshClosure::of(linker, i * 384, (i + 1) * 384);
        QVERIFY2(c.closed, qPrintable(c.problem));
    }
    QCOMPARE(linker.mesh->indices.size(), size_t(k * 384));
    delete a;
    delete b;
    // Freed pillars no longer reach the linker of their owner.
    QVERIFY(!linker.supportA && !linker.supportB);
}

void TstSupportFamily::linkerCoincidentPillars()
{
    SliceTestScene scene;
    Model *m = scene.add(boxModel({-5, -5, 12}, {5, 5, 14}));
    Support a(scene.config->supportConfig());
    Support b(scene.config->supportConfig());
    a.build(m, {0, 0, 12}, {0, 0, 1});
    b.build(m, {0, 0, 12}, {0, 0, 1});
    // A zero step would never end; no struts instead.
    SupportLinker linker;
    QCOMPARE(linker.build(&a, &b), 0);
    QVERIFY(linker.mesh->indices.empty());
}

void TstSupportFamily::twoPointForms_data()
{
    QTest::addColumn<float>("apartMm");
    QTest::addColumn<int>("parts");
    // Below 2 * footHeight + 0.3 = 2.3 mm: a V of two cones; else two cones and a bar.
    QTest::newRow("V 2 mm") << 2.0f << 2;
    QTest::newRow("bar 5 mm") << 5.0f << 3;
    QTest::newRow("bar slanted") << 7.0f << 3;
}

void TstSupportFamily::twoPointForms()
{
    QFETCH(float, apartMm);
    QFETCH(int, parts);
    SliceTestScene scene;
    Model *m = scene.add(boxModel({-5, -5, 8}, {10, 5, 12}));
    const QVector3D p0(0, 0, 8);
    const QVector3D p1(apartMm, 0, QTest::currentDataTag() == QByteArray("bar slanted") ? 10 : 8);
    QVERIFY(scene.workspace->supports()->addMultiPointSupport({hitAt(m, p0), hitAt(m, p1)}));
    auto *multi = dynamic_cast<MultiPointSupport *>(scene.workspace->scene()->objects().back());
    QVERIFY(multi);
    QCOMPARE(multi->type, int(Model::TYPE_MULTI_POINT_SUPPORT));
    QCOMPARE(multi->parent, m);
    QCOMPARE(m->supports.back(), multi);
    QCOMPARE(int(multi->partStarts.size()), parts);
    QVERIFY2(partProblems(*multi).isEmpty(), qPrintable(partProblems(*multi)));
    QVERIFY(!multi->hasFoot);
    QCOMPARE(multi->points.size(), size_t(2));
    // The first cone's lower centre (the last vertex of its piece) is where it meets.
    const int firstPieceEnd = int(multi->mesh->indices[size_t(multi->partStarts[1]) - 1]);
    Q_UNUSED(firstPieceEnd)
    const float d = (p1 - p0).length();
    const QVector3D meet = parts == 2 ? (p0 + p1) / 2.0f : p0 + (p1 - p0) / d;
    // Piece 1: dome (base ring, centre, 16 rings, pole) then ring and centre.
    const int coneCentre = 32 + 1 + 16 * 32 + 1 + 32;
    QVERIFY((worldOf(*multi, coneCentre) - meet).length() < 1e-4f);
}

void TstSupportFamily::treeForms_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<bool>("onPlate");
    QTest::newRow("three on plate") << 3 << true;
    QTest::newRow("four, hub on plate") << 4 << true;
    QTest::newRow("five on model") << 5 << false;
    QTest::newRow("three on base") << 3 << true;
}

void TstSupportFamily::treeForms()
{
    QFETCH(int, points);
    QFETCH(bool, onPlate);
    SliceTestScene scene;
    LogCapture log;
    Model *m = scene.add(boxModel({-8, -8, 8}, {8, 8, 12}));
    std::unique_ptr<Model> hubObject;
    if (QTest::currentDataTag() == QByteArray("three on base"))
        hubObject = std::make_unique<SupportBase>();
    else
        hubObject = std::make_unique<PlatformBottom>(60.0f, 100.0f);
    std::vector<PickHit> hits;
    const QVector3D ring[4] = {{-3, 0, 8}, {3, 0, 8.5f}, {0, 3, 9}, {0, -3, 8}};
    for (int i = 0; i + 1 < points; ++i)
        hits.push_back(hitAt(m, ring[i]));
    // The hub is the lowest point: on the plate, or on the model below the others.
    hits.push_back(onPlate ? hitAt(hubObject.get(), {0, 0, 0}, {0, 0, 1})
                           : hitAt(m, {0.5f, 0.5f, 2}, {0, 0, 1}));
    QVERIFY(scene.workspace->supports()->addMultiPointSupport(hits));
    QVERIFY(log.contains(QStringLiteral("create multi point support")));
    auto *multi = dynamic_cast<MultiPointSupport *>(scene.workspace->scene()->objects().back());
    QVERIFY(multi);
    // One strut per point but the hub, then the trunk.
    QCOMPARE(int(multi->partStarts.size()), points);
    QCOMPARE(multi->hasFoot, onPlate);
    QVERIFY2(partProblems(*multi).isEmpty(), qPrintable(partProblems(*multi)));
    multi->updateGeometry(true);
    if (onPlate)
        QCOMPARE(multi->bboxMin.z(), 0.0f);
}

void TstSupportFamily::treeFootFollowsShift()
{
    SliceTestScene scene;
    Model *m = scene.add(boxModel({-8, -8, 8}, {8, 8, 12}));
    PlatformBottom plate(60.0f, 100.0f);
    QVERIFY(scene.workspace->supports()->addMultiPointSupport(
        {hitAt(m, {-3, 0, 8}), hitAt(m, {3, 0, 8}), hitAt(&plate, {0, 0, 0}, {0, 0, 1})}));
    auto *multi = static_cast<MultiPointSupport *>(scene.workspace->scene()->objects().back());
    // Lifting the model by 2 keeps the trunk's foot on the plate.
    m->pushTransform(DoItem::DO_T_TRANSLATE);
    m->setTranslate(0, 0, 2);
    multi->updateGeometry(true);
    QCOMPARE(multi->bboxMin.z(), 0.0f);
    QVERIFY2(partProblems(*multi).isEmpty(), qPrintable(partProblems(*multi)));
    // Without a foot the shift does nothing.
    MultiPointSupport footless(*multi);
    footless.hasFoot = false;
    const std::vector<Vertex> before = footless.mesh->vertices;
    footless.shiftBottom(1.0f);
    QCOMPARE(footless.mesh->vertices.back().pz, before.back().pz);
}

void TstSupportFamily::treeRefusesFarPoint()
{
    SliceTestScene scene;
    LogCapture log;
    Model *m = scene.add(boxModel({-12, -8, 8}, {12, 8, 12}));
    const size_t before = scene.workspace->scene()->objects().size();
    // 10 mm sideways needs a drop of 11.9 mm; the joint would fall below the hub at 9.
    QVERIFY(!scene.workspace->supports()->addMultiPointSupport(
        {hitAt(m, {0, 0, 10}), hitAt(m, {10, 0, 10}), hitAt(m, {0, 0, 9})}));
    QVERIFY(log.contains(QStringLiteral("too far awary from foot center")));
    QVERIFY(log.contains(QStringLiteral("create multi points support failed")));
    QCOMPARE(scene.workspace->scene()->objects().size(), before);
    QVERIFY(m->supports.empty());
}

void TstSupportFamily::multiPointNeedsTwoPoints()
{
    SliceTestScene scene;
    Model *m = scene.add(boxModel({-5, -5, 8}, {5, 5, 12}));
    QVERIFY(!scene.workspace->supports()->addMultiPointSupport({hitAt(m, {0, 0, 8})}));
    QVERIFY(!scene.workspace->supports()->addMultiPointSupport({}));
    QVERIFY(m->supports.empty());
}

void TstSupportFamily::manualPillarTooLow()
{
    SliceTestScene scene;
    LogCapture log;
    Model *m = scene.add(boxModel({-5, -5, 0}, {5, 5, 2}));
    QVERIFY(!scene.workspace->supports()->addSupportFromHit(hitAt(m, {0, 0, 0.05f})));
    QVERIFY(log.contains(QStringLiteral("support is too low, not create")));
    QVERIFY(m->supports.empty());
    QCOMPARE(scene.workspace->scene()->objects().size(), size_t(1));
}

void TstSupportFamily::manualPillarWithLinkerUndo()
{
    SliceTestScene scene;
    Model *m = scene.add(boxModel({-5, -5, 12}, {8, 5, 14}));
    scene.workspace->scene()->selectModel(m);
    QSignalSpy changed(scene.workspace->scene(), &SceneObjects::quorModelDataChanged);
    QSignalSpy status(scene.workspace->scene(), &SceneObjects::modelStatusChanged);
    scene.workspace->supports()->addSupportFromHit(hitAt(m, {0, 0, 12}, {0, 0, 1}));
    scene.workspace->supports()->addSupportFromHit(hitAt(m, {3, 0, 12}, {0, 0, 1}));
    QCOMPARE(changed.count(), 2);
    QCOMPARE(status.count(), 2); // re-sent with force, unchanged
    QCOMPARE(scene.workspace->scene()->objects().size(), size_t(4));
    // Undoing the second pillar takes its linker along.
    scene.workspace->undo()->undo();
    QCOMPARE(scene.workspace->scene()->objects().size(), size_t(2));
    QVERIFY(m->linkers.empty());
    QCOMPARE(m->supports.size(), size_t(1));
    QVERIFY(recordsNameListedObjects(*scene.workspace));
    scene.workspace->undo()->undo();
    QVERIFY(m->supports.empty());
    QCOMPARE(scene.workspace->scene()->objects().size(), size_t(1));
}

void TstSupportFamily::removeAllSupportsFreesFamilyAndRecords()
{
    SliceTestScene scene;
    Model *m = scene.add(boxModel({-8, -8, 12}, {8, 8, 14}));
    Model *other = scene.add(boxModel({20, -5, 12}, {30, 5, 14}));
    scene.workspace->supports()->addSupportFromHit(hitAt(other, {25, 0, 12}));
    scene.workspace->supports()->addSupportFromHit(hitAt(m, {0, 0, 12}, {0, 0, 1}));
    scene.workspace->supports()->addSupportFromHit(hitAt(m, {3, 0, 12}, {0, 0, 1}));
    scene.workspace->supports()->addMultiPointSupport(
        {hitAt(m, {-3, 3, 12}), hitAt(m, {-6, 3, 12})});
    scene.workspace->scene()->selectModel(m);
    scene.workspace->supports()->addSupportBase(1.0f);
    QCOMPARE(m->supports.size(), size_t(3));
    QCOMPARE(m->linkers.size(), size_t(1));
    QVERIFY(m->supportBase);

    QSignalSpy status(scene.workspace->scene(), &SceneObjects::modelStatusChanged);
    scene.workspace->supports()->removeAllSupportsOfSelectedModel();
    QVERIFY(m->supports.empty());
    QVERIFY(m->linkers.empty());
    QVERIFY(!m->supportBase);
    // The other model keeps its pillar.
    QCOMPARE(other->supports.size(), size_t(1));
    QCOMPARE(scene.workspace->scene()->objects().size(), size_t(3));
    QVERIFY(recordsNameListedObjects(*scene.workspace));
    QVERIFY(m->selected);
    QVERIFY(!status.isEmpty());
    QCOMPARE(status.last().at(2).toBool(), false);
    // Every remaining undo acts only on live objects.
    for (int i = 0; i < 10; ++i)
        scene.workspace->undo()->undo();
    QVERIFY(recordsNameListedObjects(*scene.workspace));
    m->updateGeometry(true);
    QCOMPARE(m->bboxMin.z(), 12.0f); // the base's lift was undone too
}

void TstSupportFamily::deletingModelDropsSupportRecords()
{
    SliceTestScene scene;
    Model *m = scene.add(boxModel({-8, -8, 12}, {8, 8, 14}));
    Model *keep = scene.add(boxModel({20, -5, 0}, {30, 5, 4}));
    scene.workspace->supports()->addSupportFromHit(hitAt(m, {0, 0, 12}, {0, 0, 1}));
    scene.workspace->supports()->addSupportFromHit(hitAt(m, {3, 0, 12}, {0, 0, 1}));
    scene.workspace->scene()->selectModel(m);
    scene.workspace->scene()->deleteSelectedModel();
    QCOMPARE(scene.workspace->scene()->objects().size(), size_t(1));
    QCOMPARE(scene.workspace->scene()->objects().front(), keep);
    QVERIFY(recordsNameListedObjects(*scene.workspace));
    for (int i = 0; i < 5; ++i)
        scene.workspace->undo()->undo();
    QCOMPARE(scene.workspace->scene()->objects().size(), size_t(1));
}

void TstSupportFamily::copyCarriesSupportFamily()
{
    SliceTestScene scene;
    // Resting on the plate, so the base lifts it and its pillars keep room for a linker.
    Model *m = scene.add(boxModel({-8, -8, 0}, {8, 8, 14}));
    scene.workspace->supports()->addSupportFromHit(hitAt(m, {0, 0, 12}, {0, 0, 1}));
    scene.workspace->supports()->addSupportFromHit(hitAt(m, {3, 0, 12}, {0, 0, 1}));
    scene.workspace->supports()->addMultiPointSupport(
        {hitAt(m, {-3, 3, 12}), hitAt(m, {-6, 3, 12})});
    scene.workspace->scene()->selectModel(m);
    scene.workspace->supports()->addSupportBase(2.0f);
    const size_t before = scene.workspace->scene()->objects().size();
    const size_t sourceLinkers = m->linkers.size();
    const Support probe(scene.config->supportConfig());
    const int nameBefore = probe.name.mid(8).toInt();

    scene.workspace->scene()->copyModel(0);
    Model *copy = nullptr;
    for (Model *object : scene.workspace->scene()->objects())
        if (object->type == Model::TYPE_NORMAL && object != m)
            copy = object;
    QVERIFY(copy);
    // Copy, base, two pillars, the multi-point support and one new linker.
    QCOMPARE(scene.workspace->scene()->objects().size(), before + 6);
    QCOMPARE(copy->supports.size(), size_t(3));
    QCOMPARE(copy->linkers.size(), size_t(1));
    QCOMPARE(m->linkers.size(), sourceLinkers);
    auto *base = dynamic_cast<SupportBase *>(copy->supportBase);
    QVERIFY(base && base != m->supportBase);
    QCOMPARE(base->thickness, 2.0f);
    QCOMPARE(copy->supports[2]->type, int(Model::TYPE_MULTI_POINT_SUPPORT));
    // Each support copy took a name: three after the probe.
    const Support after(scene.config->supportConfig());
    QCOMPARE(after.name.mid(8).toInt(), nameBefore + 4);
    // The copies follow the copy, one model depth plus 3 mm along +y.
    copy->updateGeometry(true);
    for (size_t i = 0; i < copy->supports.size(); ++i) {
        Model *c = copy->supports[i];
        Model *s = m->supports[i];
        QCOMPARE(c->parent, copy);
        QCOMPARE(c->transforms, copy->transforms);
        c->updateGeometry(true);
        s->updateGeometry(true);
        QVERIFY((c->bboxMin - s->bboxMin - QVector3D(0, 19, 0)).length() < 1e-4f);
    }
    base->updateGeometry(true);
    QCOMPARE(base->bboxMin.z(), 0.0f);
    QVERIFY(recordsNameListedObjects(*scene.workspace));
    // Deleting the copy frees all of it and leaves the source's family alone.
    scene.workspace->scene()->selectModel(copy);
    scene.workspace->scene()->deleteSelectedModel();
    QCOMPARE(scene.workspace->scene()->objects().size(), before);
    QCOMPARE(m->supports.size(), size_t(3));
    QVERIFY(recordsNameListedObjects(*scene.workspace));
}

void TstSupportFamily::manualModeFlag()
{
    SliceTestScene scene;
    LogCapture log;
    scene.workspace->supports()->setManualAddingSupport(true);
    QVERIFY(scene.workspace->supports()->isManualAddingSupport());
    QVERIFY(log.contains(QStringLiteral("set manual add support mode")));
    scene.workspace->supports()->setManualAddingSupport(false);
    QVERIFY(!scene.workspace->supports()->isManualAddingSupport());
}

void TstSupportFamily::supportedModelArchive()
{
    SliceTestScene scene;
    scene.config->useAntialise(true);
    scene.config->antiAliseValue(2.0f);
    scene.workspace->scene()->ensurePlatformBottom();
    // A ball from 4 to 10 mm: round edges show the anti-aliasing.
    Model *m = scene.add(modelFromMesh(TestMesh::sphere(QVector3D(0, 0, 7), 3.0f, 24, 48)));
    scene.workspace->supports()->addSupportFromHit(hitAt(m, {0, 0, 4}, {0, 0, 1}));
    scene.workspace->supports()->addSupportFromHit(hitAt(m, {3, 0, 4}, {0, 0, 1}));
    const QList<QVariant> end = scene.slice(scene.archivePath(), 300000);
    QVERIFY(!end.isEmpty());
    QVERIFY(scene.workspace->jobs()->lastSliceCompleted());
    m->updateGeometry(true);
    QCOMPARE(m->bboxMin.z(), 4.0f); // a supported model is not dropped
    const ArchiveContents c = ArchiveContents::read(scene.archivePath());
    QCOMPARE(c.names.size(), 10 * 20 + 1); // the model's top at 10 mm, and the G-code
    // Head 1.6 mm long, so the body's top is at 2.4. Layer 49 cuts at 2.475, where the
    // body's dome reaches into the head's cone: cut part by part, the overlap stays solid.
    const int cx = 687, cy = 1227;
    const int pxPer3Mm = qRound(3.0 * 1375 / 65.02);
    for (const QString &name : {QStringLiteral("job049.png"), QStringLiteral("job030.png"),
                                QStringLiteral("job010.png")}) {
        const QImage img = c.image(name);
        QCOMPARE(img.format(), QImage::Format_Grayscale8);
        QVERIFY2(qGray(img.pixel(cx, cy)) == 255, qPrintable(name));
        QVERIFY2(qGray(img.pixel(cx + pxPer3Mm, cy)) == 255, qPrintable(name));
        // Supports are hard-edged: no grey anywhere along the row.
        for (int x = cx - 60; x < cx + pxPer3Mm + 60; ++x) {
            const int g = qGray(img.pixel(x, cy));
            QVERIFY2(g == 0 || g == 255,
                     qPrintable(QString("%1 x=%2 grey %3").arg(name).arg(x).arg(g)));
        }
    }
    // Inside the model the edges are anti-aliased.
    const QImage model = c.image(QStringLiteral("job139.png"));
    int grey = 0;
    for (int y = cy - 100; y < cy + 100; ++y)
        for (int x = cx - 100; x < cx + 100; ++x)
            grey += qGray(model.pixel(x, y)) > 0 && qGray(model.pixel(x, y)) < 255;
    QVERIFY(grey > 0);
}

QTEST_GUILESS_MAIN(TstSupportFamily)
#include "tst_supportfamily.moc"
