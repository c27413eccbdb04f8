#include "LogCapture.h"
#include "ProjectTestFiles.h"
#include "SceneMeshes.h"
#include "SliceTestScene.h"

#include "model/MultiPointSupport.h"
#include "model/Support.h"
#include "model/SupportBase.h"
#include "model/SupportLinker.h"

#include <QSignalSpy>
#include <QtTest>

#include <limits>

using namespace ProjectTestFiles;
using CWS::Support;
using Pairs = std::vector<std::pair<qint32, qint32>>;
Q_DECLARE_METATYPE(Pairs)

namespace {

// Quiet while the loader runs thousands of times.
struct Silence
{
    Silence()
    {
        m_previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    }
    ~Silence() { qInstallMessageHandler(m_previous); }
    QtMessageHandler m_previous;
};

// A pillar under owner at top, built from a straight-down contact, in the workspace.
Support *addPillar(Workspace &ws, Model *owner, const QVector3D &top)
{
    auto *s = new Support(ws.config().supportConfig());
    s->build(owner, top, QVector3D(0, 0, -1));
    ws.scene()->addModel(s);
    return s;
}

// A 10 x 20 box floating 12 mm above the platform: pillars under it get the full 2 mm head
// and 1 mm foot, bodies from z = 1 to 10, room for one linker strut.
Model *addFloatingBox(Workspace &ws, const QVector3D &lo = QVector3D(0, 0, 12))
{
    Model *m = SceneMeshes::makeBox(lo, lo + QVector3D(10, 20, 5));
    ws.scene()->addModel(m);
    return m;
}

std::vector<int> typesOf(const Outline &o)
{
    std::vector<int> types;
    for (const ObjectOutline &object : o.objects)
        types.push_back(object.type);
    return types;
}

bool sameWorld(const Model &a, const Model &b)
{
    const std::vector<QVector3D> pa = worldPositions(a), pb = worldPositions(b);
    if (pa.size() != pb.size() || a.mesh->indices != b.mesh->indices)
        return false;
    for (size_t i = 0; i < pa.size(); ++i)
        if ((pa[i] - pb[i]).length() > 1e-4f)
            return false;
    return true;
}

// A version 1.0 file: doubles throughout, the support's lengths and markers before its
// model record, no part list.
QByteArray versionOneZero(const Model &model, const std::vector<const Support *> &pillars)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QDataStream out(&buffer);
    ProjectTestFiles::beginVersionOneZero(out, qint64(1 + pillars.size()));
    out << qint64(0) << qint32(0);
    model.writeRecord(out);
    for (size_t k = 0; k < pillars.size(); ++k) {
        const Support &s = *pillars[k];
        out << qint64(k + 1) << qint32(1) << s.headHeightUsed << s.footHeightUsed;
        for (int marker : {s.footIndexEnd, s.headIndexEnd, s.bodyIndexEnd, s.headIndexStart,
                           s.bodyBottomRingStart, s.headVertexEnd, s.bodyTopCentre,
                           s.bodyBottomCentre, s.bodyVertexEnd})
            out << qint32(marker);
        s.Model::writeRecord(out);
    }
    out << qint64(pillars.size());
    for (size_t k = 0; k < pillars.size(); ++k)
        out << qint32(k + 1) << qint32(0);
    out << qint32(2) << qint32(-1);
    return bytes;
}

} // namespace

class TestProjectSupports : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void oneModelTwoSupports();
    void normalModelsComeFirst();
    void linkersAndPlateNotStored();
    void supportWithoutOwnerGetsPositionZero();
    void roundTripSupportsAndBase();
    void versionOneZeroSupports();
    void damagedSupportFields_data();
    void damagedSupportFields();
    void relationConflicts_data();
    void relationConflicts();
    void truncatedAtEveryLength();

private:
    std::unique_ptr<SliceTestScene> m_scene;
    Workspace &ws() { return *m_scene->workspace; }
};

void TestProjectSupports::init()
{
    m_scene = std::make_unique<SliceTestScene>();
}

void TestProjectSupports::cleanup()
{
    m_scene.reset();
}

void TestProjectSupports::oneModelTwoSupports()
{
    Model *model = addFloatingBox(ws());
    addPillar(ws(), model, QVector3D(2, 2, 12));
    addPillar(ws(), model, QVector3D(8, 2, 12));
    const Outline o = outline(save(ws()));
    QCOMPARE(typesOf(o), (std::vector<int>{0, 1, 1}));
    QCOMPARE(o.pairs, (Pairs{{1, 0}, {2, 0}}));
}

void TestProjectSupports::normalModelsComeFirst()
{
    // List order: model A, pillar of A, model B, pillar of B, base of B.
    Model *a = addFloatingBox(ws());
    addPillar(ws(), a, QVector3D(2, 2, 12));
    Model *b = addFloatingBox(ws(), QVector3D(20, 0, 12));
    addPillar(ws(), b, QVector3D(25, 5, 12));
    ws().scene()->addModel(b->makeSupportBase(1.0f, &ws().undoList()));
    const Outline o = outline(save(ws()));
    QCOMPARE(typesOf(o), (std::vector<int>{0, 0, 1, 1, 2}));
    QCOMPARE(o.pairs, (Pairs{{2, 0}, {3, 1}, {4, 1}}));
}

void TestProjectSupports::linkersAndPlateNotStored()
{
    ws().scene()->ensurePlatformBottom();
    Model *model = addFloatingBox(ws());
    addPillar(ws(), model, QVector3D(2, 2, 12));
    Support *second = addPillar(ws(), model, QVector3D(5, 2, 12));
    // 3 mm apart: one linker joins the list.
    SupportLinker *linker = second->linkToNearest();
    QVERIFY(linker);
    ws().scene()->addModel(linker);
    QCOMPARE(model->linkers.size(), size_t(1));
    const Outline o = outline(save(ws()));
    QCOMPARE(typesOf(o), (std::vector<int>{0, 1, 1}));
}

void TestProjectSupports::supportWithoutOwnerGetsPositionZero()
{
    addFloatingBox(ws());
    Model *b = addFloatingBox(ws(), QVector3D(20, 0, 12));
    Support *orphan = addPillar(ws(), b, QVector3D(22, 2, 12));
    b->supports.clear();
    orphan->parent = nullptr;
    const Outline o = outline(save(ws()));
    QCOMPARE(o.pairs, (Pairs{{2, 0}}));
}

void TestProjectSupports::roundTripSupportsAndBase()
{
    Model *a = addFloatingBox(ws());
    Support *p1 = addPillar(ws(), a, QVector3D(2, 2, 12));
    Support *p2 = addPillar(ws(), a, QVector3D(5, 2, 12));
    Model *b = addFloatingBox(ws(), QVector3D(20, 0, 12));
    Support *p3 = addPillar(ws(), b, QVector3D(25, 5, 12));
    ws().scene()->addModel(
        b->makeSupportBase(2.0f, &ws().undoList())); // lowers b to 3 mm; p3 keeps its foot down
    // Two contacts under a joined by struts to a trunk whose foot stands on the plate.
    ws().scene()->ensurePlatformBottom();
    auto *tree = new MultiPointSupport(ws().config().supportConfig(), a);
    QVERIFY(tree->build(
        {PickHit{a, QVector3D(2, 15, 12), QVector3D(0, 0, -1), 0.0},
         PickHit{a, QVector3D(8, 15, 12), QVector3D(0, 0, -1), 0.0},
         PickHit{ws().scene()->objects()[0], QVector3D(5, 15, 0), QVector3D(0, 0, 1), 0.0}}));
    QVERIFY(tree->hasFoot);
    ws().scene()->addModel(tree);
    // Moving a afterwards: its pillars follow through the shared stack.
    a->pushTransform(1);
    a->translateBy(4, -3, 1);
    a->updateGeometry(true);
    const std::vector<Model *> before = {a, b, p1, p2, p3, b->supportBase, tree};
    const QByteArray bytes = save(ws());

    SliceTestScene other;
    Workspace &w = *other.workspace;
    QVERIFY(load(bytes, w));
    QCOMPARE(w.scene()->objects().size(), size_t(7 + 1)); // and one regenerated linker
    for (size_t k = 0; k < before.size(); ++k) {
        QVERIFY2(sameWorld(*before[k], *w.scene()->objects()[k]), qPrintable(QString::number(k)));
        QCOMPARE(w.scene()->objects()[k]->type, before[k]->type);
        QCOMPARE(w.scene()->objects()[k]->name, before[k]->name);
    }
    Model *ra = w.scene()->objects()[0], *rb = w.scene()->objects()[1];
    auto *r1 = static_cast<Support *>(w.scene()->objects()[2]);
    auto *r3 = static_cast<Support *>(w.scene()->objects()[4]);
    QCOMPARE(ra->supports, (std::vector<Model *>{w.scene()->objects()[2], w.scene()->objects()[3],
                                                 w.scene()->objects()[6]}));
    QCOMPARE(rb->supports, (std::vector<Model *>{w.scene()->objects()[4]}));
    QCOMPARE(rb->supportBase, w.scene()->objects()[5]);
    QCOMPARE(r1->parent, ra);
    QCOMPARE(w.scene()->objects()[5]->parent, rb);
    QVERIFY(r1->transforms == ra->transforms);
    QVERIFY(w.scene()->objects()[5]->transforms == rb->transforms);
    QCOMPARE(static_cast<SupportBase *>(w.scene()->objects()[5])->thickness, 2.0f);
    QCOMPARE(r1->partStarts, p1->partStarts);
    QCOMPARE(r3->bodyBottomRingStart, p3->bodyBottomRingStart);
    QCOMPARE(r3->bodyTopCentre, p3->bodyTopCentre);
    QCOMPARE(r3->headHeightUsed, p3->headHeightUsed);
    QCOMPARE(r3->footIndexEnd, p3->footIndexEnd);
    // The two pillars of a, 3 mm apart, are braced again.
    QCOMPARE(ra->linkers.size(), size_t(1));
    QCOMPARE(w.scene()->objects()[7]->type, int(Model::TYPE_SUPPORT_LINKER));
    auto *rtree = static_cast<MultiPointSupport *>(w.scene()->objects()[6]);
    QCOMPARE(rtree->points.size(), size_t(3));
    for (size_t k = 0; k < 3; ++k) {
        QCOMPARE(rtree->points[k].point, tree->points[k].point);
        QCOMPARE(rtree->points[k].normal, tree->points[k].normal);
        QVERIFY(!rtree->points[k].object); // the hit object is not stored
    }
    QVERIFY(rtree->hasFoot);
    QCOMPARE(rtree->partStarts, tree->partStarts);
    QCOMPARE(rtree->bodyBottomRingStart, tree->bodyBottomRingStart);
    // Raising a keeps the trunk's foot on the plate.
    ra->pushTransform(1);
    ra->translateBy(0, 0, 2);
    rtree->updateGeometry(true);
    QVERIFY(qAbs(rtree->bboxMin.z()) < 1e-4f);
    // Moving the reloaded model still keeps the pillars' feet down.
    rb->pushTransform(1);
    rb->translateBy(0, 0, 2);
    r3->updateGeometry(true);
    QVERIFY(qAbs(r3->bboxMin.z()) < 1e-4f);
}

void TestProjectSupports::versionOneZeroSupports()
{
    Model *a = addFloatingBox(ws());
    Support *p1 = addPillar(ws(), a, QVector3D(2, 2, 12));
    Support *p2 = addPillar(ws(), a, QVector3D(5, 2, 12));
    const QByteArray bytes = versionOneZero(*a, {p1, p2});

    SliceTestScene other;
    Workspace &w = *other.workspace;
    QVERIFY(load(bytes, w));
    // No linkers come back for a version 1.0 file, although the pillars are 3 mm apart.
    QCOMPARE(w.scene()->objects().size(), size_t(3));
    QVERIFY(w.scene()->objects()[0]->linkers.empty());
    auto *r1 = static_cast<Support *>(w.scene()->objects()[1]);
    QVERIFY(sameWorld(*p1, *r1));
    QCOMPARE(r1->bodyBottomCentre, p1->bodyBottomCentre);
    QCOMPARE(r1->headHeightUsed, p1->headHeightUsed);
    QVERIFY(r1->partStarts.empty());

    // Without a part list the pillar is cut as one part, not left out of the layer.
    for (float z : {0.5f, 5.0f, 11.0f}) { // foot, body, head
        CWS::SegmentListSet built, read;
        const int builtCount = p1->snapshot().cut(z, built);
        const int readCount = r1->snapshot().cut(z, read);
        QVERIFY(readCount > 0);
        QCOMPARE(readCount, builtCount);
        QCOMPARE(read.size(), 1);
    }
}

void TestProjectSupports::damagedSupportFields_data()
{
    QTest::addColumn<QByteArray>("bytes");
    SliceTestScene scene;
    Model *model = addFloatingBox(*scene.workspace);
    addPillar(*scene.workspace, model, QVector3D(2, 2, 12));
    const QByteArray good = save(*scene.workspace);
    const ObjectOutline s = outline(good).objects[1];
    auto patched = [&](qint64 offset, auto value) {
        QByteArray b = good;
        put(b, offset, value);
        return b;
    };
    auto marker = [&](int k) { return s.supportFields + 8 + 4 * k; };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    QByteArray nanHead = good;
    putFloat(nanHead, s.supportFields, nan);
    QTest::newRow("NaN head height") << nanHead;
    QTest::newRow("index end past the list") << patched(marker(0), qint32(s.i + 1));
    QTest::newRow("negative head start") << patched(marker(3), qint32(-1));
    QTest::newRow("bottom ring past the vertices") << patched(marker(4), qint32(s.v + 1));
    QTest::newRow("body top centre at the vertex count") << patched(marker(6), qint32(s.v));
    QTest::newRow("body bottom centre negative") << patched(marker(7), qint32(-5));
    QTest::newRow("huge part count") << patched(s.parts, qint32(0x7fffffff));
    QTest::newRow("negative part count") << patched(s.parts, qint32(-1));
    QTest::newRow("part start past the list") << patched(s.parts + 4 + 8, qint64(s.i + 3));
    QTest::newRow("part starts going back") << patched(s.parts + 4 + 16, qint64(1));
    QTest::newRow("part start negative") << patched(s.parts + 4, qint64(-3));

    // A bridge between two contacts under the model.
    SliceTestScene bridgeScene;
    Model *owner = addFloatingBox(*bridgeScene.workspace);
    auto *bridge = new MultiPointSupport(bridgeScene.config->supportConfig(), owner);
    bridge->build({PickHit{owner, QVector3D(2, 2, 12), QVector3D(0, 0, -1), 0.0},
                   PickHit{owner, QVector3D(8, 2, 12), QVector3D(0, 0, -1), 0.0}});
    bridgeScene.workspace->scene()->addModel(bridge);
    const QByteArray bridgeFile = save(*bridgeScene.workspace);
    const ObjectOutline m = outline(bridgeFile).objects[1];
    QCOMPARE(m.type, 4);
    auto bridgePatched = [&](qint64 offset, auto value) {
        QByteArray b = bridgeFile;
        put(b, offset, value);
        return b;
    };
    QByteArray nanPoint = bridgeFile;
    putFloat(nanPoint, m.points + 4 + 4, nan);
    QTest::newRow("NaN contact point") << nanPoint;
    QTest::newRow("huge point count") << bridgePatched(m.points, qint32(0x10000000));
    QTest::newRow("negative point count") << bridgePatched(m.points, qint32(-2));
    QTest::newRow("foot flag 2") << bridgePatched(m.points + 4 + 2 * 24, qint8(2));
}

void TestProjectSupports::damagedSupportFields()
{
    QFETCH(QByteArray, bytes);
    LogCapture log;
    QVERIFY(!load(bytes, ws()));
    QVERIFY(log.contains(QStringLiteral("support record damaged")) ||
            log.contains(QStringLiteral("support markers outside the mesh")) ||
            log.contains(QStringLiteral("multi point support: point damaged")) ||
            log.contains(QStringLiteral("bad point count")) ||
            log.contains(QStringLiteral("bad foot flag")));
    // The model before it was read completely and stays, editable, without supports.
    QCOMPARE(ws().scene()->objects().size(), size_t(1));
    QCOMPARE(ws().scene()->status(), SceneObjects::MODEL_LOADED);
    QVERIFY(ws().scene()->objects()[0]->supports.empty());
}

void TestProjectSupports::relationConflicts_data()
{
    QTest::addColumn<Pairs>("pairs");
    QTest::addColumn<bool>("accepted");
    // Objects: 0 and 1 models, 2 pillar, 3 base, 4 base.
    QTest::newRow("as saved") << Pairs{{2, 0}, {3, 0}, {4, 1}} << true;
    QTest::newRow("the same pair twice") << Pairs{{2, 0}, {2, 0}} << true;
    QTest::newRow("one pillar, two owners") << Pairs{{2, 0}, {2, 1}} << false;
    QTest::newRow("two bases under one model") << Pairs{{3, 0}, {4, 0}} << false;
    QTest::newRow("pillar owning a base") << Pairs{{3, 2}} << false;
}

void TestProjectSupports::relationConflicts()
{
    QFETCH(Pairs, pairs);
    QFETCH(bool, accepted);
    Model *a = addFloatingBox(ws());
    Model *b = addFloatingBox(ws(), QVector3D(20, 0, 12));
    addPillar(ws(), a, QVector3D(2, 2, 12));
    ws().scene()->addModel(a->makeSupportBase(1.0f, &ws().undoList()));
    ws().scene()->addModel(b->makeSupportBase(1.0f, &ws().undoList()));
    QByteArray bytes = save(ws());
    clear(ws());
    const Outline o = outline(bytes);
    QCOMPARE(typesOf(o), (std::vector<int>{0, 0, 1, 2, 2}));
    bytes.truncate(int(o.relations));
    QByteArray tail(int(8 + 8 * pairs.size()), '\0');
    put(tail, 0, qint64(pairs.size()));
    for (size_t k = 0; k < pairs.size(); ++k) {
        put(tail, qint64(8 + 8 * k), pairs[k].first);
        put(tail, qint64(12 + 8 * k), pairs[k].second);
    }
    bytes += tail + QByteArray("\0\0\0\2\xff\xff\xff\xff", 8);

    QCOMPARE(load(bytes, ws()), accepted);
    QCOMPARE(ws().scene()->objects().size(), size_t(5));
    // Whatever happened, every owner's lists point at objects that name it as parent.
    for (Model *m : ws().scene()->objects()) {
        for (Model *s : m->supports)
            QCOMPARE(s->parent, m);
        if (m->supportBase)
            QCOMPARE(m->supportBase->parent, m);
    }
    // Freeing everything must not reach a freed object (AddressSanitizer watches).
    clear(ws());
}

void TestProjectSupports::truncatedAtEveryLength()
{
    Model *model = addFloatingBox(ws());
    addPillar(ws(), model, QVector3D(2, 2, 12));
    ws().scene()->addModel(model->makeSupportBase(1.0f, &ws().undoList()));
    auto *bridge = new MultiPointSupport(ws().config().supportConfig(), model);
    QVERIFY(bridge->build({PickHit{model, QVector3D(2, 15, 3), QVector3D(0, 0, -1), 0.0},
                           PickHit{model, QVector3D(8, 15, 3), QVector3D(0, 0, -1), 0.0}}));
    ws().scene()->addModel(bridge);
    const QByteArray bytes = save(ws());
    clear(ws());
    // Every length outside the vertex and index arrays; inside them (one code path for all
    // their bytes) every 29th, which keeps the suite quick under the sanitizers.
    std::vector<std::pair<qint64, qint64>> arrays;
    for (const ObjectOutline &o : outline(bytes).objects) {
        const qint64 vertices = o.record + 4 + 4 + 64 + 4 + 8;
        arrays.emplace_back(vertices + 8, vertices + o.v * 24 - 8);
        const qint64 indices = vertices + o.v * 24 + 4 + 8;
        arrays.emplace_back(indices + 8, indices + o.i * 4 - 8);
    }
    auto inArray = [&](qint64 at) {
        for (const auto &r : arrays)
            if (at > r.first && at < r.second)
                return true;
        return false;
    };
    Silence quiet;
    for (int length = 0; length < bytes.size(); ++length) {
        if (inArray(length) && length % 29 != 0)
            continue;
        if (load(bytes.left(length), ws()))
            QFAIL(qPrintable(QStringLiteral("accepted a file cut at %1").arg(length)));
        if (ws().scene()->objects().size() > 4 ||
            (!ws().scene()->objects().empty() &&
             ws().scene()->status() != SceneObjects::MODEL_LOADED))
            QFAIL(qPrintable(QStringLiteral("bad workspace after a cut at %1").arg(length)));
        clear(ws());
    }
    QVERIFY(load(bytes, ws()));
    QCOMPARE(ws().scene()->objects().size(), size_t(4));
}

QTEST_GUILESS_MAIN(TestProjectSupports)
#include "tst_projectsupports.moc"
