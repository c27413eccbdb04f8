#include "ConfigTestEnv.h"
#include "LogCapture.h"
#include "MeshClosure.h"
#include "SceneMeshes.h"

#include "config/QuorConfig.h"
#include "config/SupportConfig.h"
#include "model/DoItem.h"
#include "model/Support.h"

#include <QtTest>

#include <cmath>
#include <memory>

using CWS::Support;

namespace {

// Box spanning the given z range (a contact point's owner in most cases below).
Model *ownerBox(float topMm = 10.0f)
{
    Model *m = SceneMeshes::makeBox({-5, -5, topMm - 2.0f}, {5, 5, topMm});
    m->pushTransform(DoItem::DO_T_TRANSLATE);
    return m;
}

QVector3D world(const Support &s, int vertex)
{
    const Vertex &v = s.mesh->vertices[size_t(vertex)];
    return s.modelMatrix().map(QVector3D(v.px, v.py, v.pz));
}

float angleFromVerticalDeg(const QVector3D &d)
{
    return float(std::atan2(std::hypot(d.x(), d.y()), d.z()) * 180.0 / M_PI);
}

// World z range of the vertices a part's triangles use.
QPair<float, float> partZRange(const Support &s, int part)
{
    const int first = s.partStarts[size_t(part)];
    const int end = part + 1 < int(s.partStarts.size()) ? s.partStarts[size_t(part) + 1]
                                                        : int(s.mesh->indices.size());
    float lo = 1e9f, hi = -1e9f;
    for (int i = first; i < end; ++i) {
        const float z = world(s, int(s.mesh->indices[size_t(i)])).z();
        lo = std::min(lo, z);
        hi = std::max(hi, z);
    }
    return {lo, hi};
}

} // namespace

class TstSupport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    // Must run first: it sees the process-wide name counter untouched.
    void namesCountFromZero();
    void headBottomRadiusMovesFootRadii();
    void pillarIsClosedPerPart_data();
    void pillarIsClosedPerPart();
    void heightsAtTen();
    void heightsAtOne();
    void headAxis_data();
    void headAxis();
    void builtHeadFollowsAxis();
    void buildAttachesAndKeepsWorldPosition();
    void followsOwnerTransforms();
    void shiftBottomMovesOnlyTheBottom();
    void shiftBottomIgnoresTinyShifts_data();
    void shiftBottomIgnoresTinyShifts();
    void ownerMovedUpKeepsFootOnPlatform();
    void copyKeepsPartsAndMarkers();
    void slicesPartByPart_data();
    void slicesPartByPart();
    void slicesAsOnePartWithoutPartList();
    void nearestSupport();
    void nearestSupportTieKeepsEarlier();
    void nearestSupportUsesModelMatrix();
    void nonFiniteInputs();

private:
    std::unique_ptr<ConfigTestEnv> m_env;
    std::unique_ptr<QuorConfig> m_config;
};

void TstSupport::initTestCase()
{
    m_env = std::make_unique<ConfigTestEnv>();
    m_config = std::make_unique<QuorConfig>();
}

void TstSupport::namesCountFromZero()
{
    Support a(m_config->supportConfig());
    Support b(m_config->supportConfig());
    QCOMPARE(a.name, QStringLiteral("Support_0"));
    QCOMPARE(b.name, QStringLiteral("Support_1"));
    QCOMPARE(a.type, int(Model::TYPE_SUPPORT));
    // A copy is a construction too.
    Support c(a);
    QCOMPARE(c.name, QStringLiteral("Support_2"));
    QCOMPARE(Support(m_config->supportConfig()).name, QStringLiteral("Support_3"));
}

void TstSupport::headBottomRadiusMovesFootRadii()
{
    CWS::SupportConfig cfg;
    cfg.setHeadBottomRadius(0.5f);
    QCOMPARE(cfg.headBottomRadius(), 0.5f);
    // The body widens by 0.1 to the foot and 0.2 to the foot's bottom.
    QVERIFY(qFuzzyCompare(cfg.footTopRadius(), 0.6f));
    QVERIFY(qFuzzyCompare(cfg.footBottomRadius(), 0.7f));
}

void TstSupport::pillarIsClosedPerPart_data()
{
    QTest::addColumn<float>("topZ");
    QTest::addColumn<QVector3D>("normal");
    const QList<float> heights{1.0f, 2.5f, 10.0f, 37.0f};
    const QList<QPair<const char *, QVector3D>> normals{
        {"auto", {0, 0, 1}},       {"downward", {0, 0, -1}},    {"tilted", {1, 0, -0.2f}},
        {"horizontal", {0, 1, 0}}, {"upward-slant", {1, 1, 1}}, {"steep", {-0.2f, 0.3f, -1}},
    };
    for (float z : heights)
        for (const auto &n : normals)
            QTest::addRow("z%g-%s", double(z), n.first) << z << n.second;
}

void TstSupport::pillarIsClosedPerPart()
{
    QFETCH(float, topZ);
    QFETCH(QVector3D, normal);
    Support s(m_config->supportConfig());
    QVERIFY(s.build(nullptr, QVector3D(3, -2, topZ), normal));
    QCOMPARE(int(s.partStarts.size()), 3);
    QCOMPARE(s.partStarts[0], 0);
    const int ends[3] = {s.partStarts[1], s.partStarts[2], int(s.mesh->indices.size())};
    for (int part = 0; part < 3; ++part) {
        const MeshClosure c = MeshClosure::of(s, s.partStarts[size_t(part)], ends[part]);
        QVERIFY2(c.closed, qPrintable(QStringLiteral("part %1: %2").arg(part).arg(c.problem)));
    }
    QCOMPARE(s.headIndexEnd, s.partStarts[1]);
    QCOMPARE(s.bodyIndexEnd, s.partStarts[2]);
    QCOMPARE(s.footIndexEnd, int(s.mesh->indices.size()));
    QVERIFY(s.meshReady);
    QCOMPARE(s.mesh->baseVertexCount, uint32_t(s.mesh->vertices.size()));
}

void TstSupport::heightsAtTen()
{
    Support s(m_config->supportConfig());
    s.build(nullptr, QVector3D(0, 0, 10), QVector3D(0, 0, 1));
    // 0.4 * 10 = 4 exceeds both nominal lengths, so they are used as they are.
    QCOMPARE(s.headHeightUsed, 2.0f);
    QCOMPARE(s.footHeightUsed, 1.0f);
    const auto foot = partZRange(s, 2);
    QCOMPARE(foot.first, 0.0f);
    QCOMPARE(foot.second, 1.0f);
    // The body runs from the foot top up to the head's lower centre at 10 - 2.
    QVERIFY(qFuzzyCompare(world(s, s.bodyTopCentre).z(), 8.0f));
    QCOMPARE(world(s, s.bodyBottomCentre).z(), 1.0f);
    QCOMPARE(world(s, s.bodyBottomCentre).toVector2D(), QVector2D(0, 0));
    // The body's lower ring starts N + 1 vertices before the end of the body.
    QCOMPARE(s.bodyBottomRingStart, s.bodyVertexEnd - 32 - 1);
    QCOMPARE(s.bodyBottomCentre, s.bodyVertexEnd - 1);
    // The head's contact dome reaches headTopRadius above the contact point.
    const auto head = partZRange(s, 0);
    QVERIFY(qAbs(head.second - 10.6f) < 1e-5f);
    QVERIFY(qAbs(head.first - 8.0f) < 1e-5f);
}

void TstSupport::heightsAtOne()
{
    Support s(m_config->supportConfig());
    s.build(nullptr, QVector3D(0, 0, 1), QVector3D(0, 0, -1));
    // 0.4 * 1 is below both nominal lengths.
    QVERIFY(qFuzzyCompare(s.headHeightUsed, 0.4f));
    QVERIFY(qFuzzyCompare(s.footHeightUsed, 0.4f));
    const float top = world(s, s.bodyTopCentre).z();
    const float bottom = world(s, s.bodyBottomCentre).z();
    QVERIFY(qAbs(top - 0.6f) < 1e-5f);
    QVERIFY(top > bottom);
}

void TstSupport::headAxis_data()
{
    QTest::addColumn<QVector3D>("normal");
    QTest::addColumn<float>("angleDeg");
    QTest::addColumn<float>("azimuthDeg");
    // Upward and horizontal normals get z = -0.1 first, which always needs the clamp.
    QTest::newRow("auto") << QVector3D(0, 0, 1) << 0.0f << 0.0f;
    QTest::newRow("downward") << QVector3D(0, 0, -1) << 0.0f << 0.0f;
    QTest::newRow("tilted") << QVector3D(1, 0, -0.2f) << 40.0f << 180.0f;
    QTest::newRow("horizontal") << QVector3D(0, 1, 0) << 40.0f << -90.0f;
    QTest::newRow("upward slant") << QVector3D(-1, 0, 0.5f) << 40.0f << 0.0f;
    // atan(0.2) = 11.3 degrees lies inside the cone and is kept.
    QTest::newRow("steep") << QVector3D(0.2f, 0, -1) << 11.30993f << 180.0f;
    QTest::newRow("zero") << QVector3D(0, 0, 0) << 0.0f << 0.0f;
}

void TstSupport::headAxis()
{
    QFETCH(QVector3D, normal);
    QFETCH(float, angleDeg);
    QFETCH(float, azimuthDeg);
    const QVector3D d = Support::headDirection(normal);
    QVERIFY(qAbs(d.length() - 1.0f) < 1e-6f);
    QVERIFY2(qAbs(angleFromVerticalDeg(d) - angleDeg) < 1e-3f,
             qPrintable(QString::number(double(angleFromVerticalDeg(d)))));
    if (angleDeg > 0.0f) {
        // The head leans away from the face, opposite to the normal's horizontal part.
        const double az = double(azimuthDeg) * M_PI / 180.0;
        const QVector2D expected(float(std::cos(az)), float(std::sin(az)));
        QVERIFY(QVector2D::dotProduct(QVector2D(d.x(), d.y()).normalized(), expected) > 0.9999f);
    }
}

void TstSupport::builtHeadFollowsAxis()
{
    Support s(m_config->supportConfig());
    const QVector3D top(1, 2, 10);
    s.build(nullptr, top, QVector3D(1, 0, -0.2f));
    // The head's lower centre is the last head vertex, headHeightUsed down the clamped axis.
    const QVector3D c = world(s, s.headVertexEnd - 1);
    const QVector3D axis = (top - c).normalized();
    QVERIFY(qAbs((top - c).length() - 2.0f) < 1e-5f);
    QVERIFY(qAbs(angleFromVerticalDeg(axis) - 40.0f) < 1e-3f);
    // The body hangs straight down from it.
    const QVector3D bodyTop = world(s, s.bodyTopCentre);
    QVERIFY((bodyTop - c).length() < 1e-5f);
    QVERIFY(qAbs(world(s, s.bodyBottomCentre).x() - c.x()) < 1e-5f);
}

void TstSupport::buildAttachesAndKeepsWorldPosition()
{
    std::unique_ptr<Model> owner(ownerBox());
    owner->setTranslate(4, 0, 0);
    owner->updateGeometry(true);
    auto *s = new Support(m_config->supportConfig());
    s->build(owner.get(), QVector3D(4, 0, 8), QVector3D(0, 0, -1));
    QCOMPARE(s->parent, owner.get());
    QCOMPARE(owner->supports.size(), size_t(1));
    QCOMPARE(s->transforms, owner->transforms);
    // Built in scene coordinates, stored in the owner's frame: the scene place is kept.
    QVERIFY((world(*s, s->bodyBottomCentre) - QVector3D(4, 0, 1)).length() < 1e-5f);
    QVERIFY(qAbs(s->mesh->vertices[size_t(s->bodyBottomCentre)].px - 0.0f) < 1e-5f);
    // A second build attaches no duplicate.
    s->build(owner.get(), QVector3D(4, 0, 8), QVector3D(0, 0, -1));
    QCOMPARE(owner->supports.size(), size_t(1));
    delete s;
    QVERIFY(owner->supports.empty());
}

void TstSupport::followsOwnerTransforms()
{
    std::unique_ptr<Model> owner(ownerBox());
    Support s(m_config->supportConfig(), owner.get());
    QCOMPARE(s.parent, owner.get());
    s.build(owner.get(), QVector3D(0, 0, 8), QVector3D(0, 0, 1));
    owner->pushTransform(DoItem::DO_T_TRANSLATE);
    owner->setTranslate(7, -3, 0);
    s.updateGeometry(false);
    QVERIFY((world(s, s.bodyTopCentre) - QVector3D(7, -3, 6)).length() < 1e-5f);
    QCOMPARE(s.bboxMin.z(), 0.0f);
}

void TstSupport::shiftBottomMovesOnlyTheBottom()
{
    Support s(m_config->supportConfig());
    s.build(nullptr, QVector3D(0, 0, 10), QVector3D(0, 0, 1));
    const std::vector<Vertex> before = s.mesh->vertices;
    s.buffersUploaded = true;
    s.shiftBottom(0.5f);
    for (size_t i = 0; i < before.size(); ++i) {
        const float expected = int(i) >= s.bodyBottomRingStart ? before[i].pz - 0.5f : before[i].pz;
        QCOMPARE(s.mesh->vertices[i].pz, expected);
        QCOMPARE(s.mesh->vertices[i].px, before[i].px);
    }
    QVERIFY(!s.buffersUploaded);
    s.updateGeometry(false);
    QCOMPARE(s.bboxMin.z(), -0.5f);
    // Still closed part by part: the body stretched, the foot kept its shape.
    QVERIFY(MeshClosure::of(s, s.partStarts[1], s.partStarts[2]).closed);
    QVERIFY(MeshClosure::of(s, s.partStarts[2], int(s.mesh->indices.size())).closed);
}

void TstSupport::shiftBottomIgnoresTinyShifts_data()
{
    QTest::addColumn<float>("dz");
    QTest::newRow("zero") << 0.0f;
    QTest::newRow("1e-8") << 1e-8f;
    QTest::newRow("-epsilon") << -1.1920929e-7f;
}

void TstSupport::shiftBottomIgnoresTinyShifts()
{
    QFETCH(float, dz);
    Support s(m_config->supportConfig());
    s.build(nullptr, QVector3D(0, 0, 10), QVector3D(0, 0, 1));
    const std::vector<Vertex> before = s.mesh->vertices;
    s.buffersUploaded = true;
    s.shiftBottom(dz);
    QVERIFY(std::memcmp(before.data(), s.mesh->vertices.data(), before.size() * sizeof(Vertex)) ==
            0);
    QVERIFY(s.buffersUploaded);
}

void TstSupport::ownerMovedUpKeepsFootOnPlatform()
{
    std::unique_ptr<Model> owner(ownerBox());
    Support s(m_config->supportConfig());
    s.build(owner.get(), QVector3D(2, 2, 8), QVector3D(0, 0, -1));
    owner->pushTransform(DoItem::DO_T_TRANSLATE);
    owner->setTranslate(0, 0, 5);
    s.updateGeometry(false);
    // The head rose with the owner; the foot stayed on the plate.
    QCOMPARE(s.bboxMin.z(), 0.0f);
    QVERIFY(qAbs(world(s, s.bodyTopCentre).z() - 11.0f) < 1e-5f);
    QVERIFY(qAbs(world(s, s.bodyBottomCentre).z() - 1.0f) < 1e-5f);
    // Moving it back restores the old body.
    owner->setTranslate(0, 0, 0);
    s.updateGeometry(false);
    QVERIFY(qAbs(world(s, s.bodyTopCentre).z() - 6.0f) < 1e-5f);
    QVERIFY(qAbs(world(s, s.bodyBottomCentre).z() - 1.0f) < 1e-5f);
}

void TstSupport::copyKeepsPartsAndMarkers()
{
    Support s(m_config->supportConfig());
    s.build(nullptr, QVector3D(0, 0, 10), QVector3D(1, 0, -0.2f));
    Support c(s);
    QVERIFY(c.mesh != s.mesh);
    QCOMPARE(c.mesh->vertices.size(), s.mesh->vertices.size());
    QCOMPARE(c.partStarts, s.partStarts);
    QCOMPARE(c.bodyTopCentre, s.bodyTopCentre);
    QCOMPARE(c.bodyBottomCentre, s.bodyBottomCentre);
    QCOMPARE(c.bodyBottomRingStart, s.bodyBottomRingStart);
    QCOMPARE(c.headHeightUsed, s.headHeightUsed);
    QCOMPARE(c.footHeightUsed, s.footHeightUsed);
    QCOMPARE(c.headVertexEnd, s.headVertexEnd);
    QCOMPARE(c.bodyVertexEnd, s.bodyVertexEnd);
    QCOMPARE(c.config, s.config);
    QVERIFY(c.name != s.name);
    QVERIFY(c.meshReady);
    // Its own mesh: moving the copy's foot leaves the source alone.
    c.shiftBottom(1.0f);
    QVERIFY(c.mesh->vertices.back().pz != s.mesh->vertices.back().pz);
}

void TstSupport::slicesPartByPart_data()
{
    QTest::addColumn<float>("z");
    QTest::addColumn<int>("part");
    // Contact at 10: foot 0..1, body 1..8, head 8..10.6.
    QTest::newRow("foot") << 0.5f << 2;
    QTest::newRow("body") << 4.0f << 1;
    QTest::newRow("head cone") << 9.0f << 0;
    QTest::newRow("head dome") << 10.3f << 0;
}

void TstSupport::slicesPartByPart()
{
    QFETCH(float, z);
    QFETCH(int, part);
    Support s(m_config->supportConfig());
    s.build(nullptr, QVector3D(0, 0, 10), QVector3D(0, 0, 1));
    CWS::SegmentListSet out;
    const int total = s.snapshot().cut(z, out);
    QCOMPARE(out.size(), 3);
    for (int i = 0; i < 3; ++i) {
        // A plane through a ring band cuts each of its 32 facets once (two triangles each).
        if (i == part)
            QCOMPARE(out[i].size(), 64);
        else
            QCOMPARE(out[i].size(), 0);
    }
    QCOMPARE(total, 64);
}

void TstSupport::slicesAsOnePartWithoutPartList()
{
    Support s(m_config->supportConfig());
    s.build(nullptr, QVector3D(0, 0, 10), QVector3D(0, 0, 1));
    s.partStarts.clear();
    CWS::SegmentListSet out;
    QCOMPARE(s.snapshot().cut(4.0f, out), 64);
    QCOMPARE(out.size(), 1);
}

void TstSupport::nearestSupport()
{
    std::unique_ptr<Model> owner(ownerBox());
    // From (0, 0): candidates 3, 1.5, 5 and 11 mm away, one of them a multi-point support.
    Support from(m_config->supportConfig());
    Support near3(m_config->supportConfig());
    Support tooNear(m_config->supportConfig());
    Support far5(m_config->supportConfig());
    Support tooFar(m_config->supportConfig());
    from.build(owner.get(), {0, 0, 8}, {0, 0, -1});
    tooNear.build(owner.get(), {1.5f, 0, 8}, {0, 0, -1});
    far5.build(owner.get(), {0, 5, 9}, {0, 0, -1});
    near3.build(owner.get(), {0, -3, 7}, {0, 0, -1});
    tooFar.build(owner.get(), {11, 0, 8}, {0, 0, -1});
    QCOMPARE(owner->findNearestSupport(&from, 2.1f, 10.1f), &near3);
    QCOMPARE(owner->findNearestSupport(&from, 3.5f, 10.1f), &far5);
    QCOMPARE(owner->findNearestSupport(&from, 5.5f, 10.1f), nullptr);
    // Other types never qualify, whatever their distance.
    near3.type = Model::TYPE_MULTI_POINT_SUPPORT;
    QCOMPARE(owner->findNearestSupport(&from, 2.1f, 10.1f), &far5);
    near3.type = Model::TYPE_SUPPORT;
    QCOMPARE(owner->findNearestSupport(nullptr, 0.0f, 100.0f), nullptr);
}

void TstSupport::nearestSupportTieKeepsEarlier()
{
    std::unique_ptr<Model> owner(ownerBox());
    Support from(m_config->supportConfig());
    Support first(m_config->supportConfig());
    Support second(m_config->supportConfig());
    from.build(owner.get(), {0, 0, 8}, {0, 0, -1});
    first.build(owner.get(), {4, 0, 8}, {0, 0, -1});
    second.build(owner.get(), {-4, 0, 6}, {0, 0, -1});
    QCOMPARE(owner->findNearestSupport(&from, 0.0f, 10.0f), &first);
}

void TstSupport::nearestSupportUsesModelMatrix()
{
    std::unique_ptr<Model> owner(ownerBox());
    Support from(m_config->supportConfig());
    Support other(m_config->supportConfig());
    from.build(owner.get(), {0, 0, 8}, {0, 0, -1});
    other.build(owner.get(), {3, 0, 8}, {0, 0, -1});
    // Scaling the owner by 2 about the origin moves the other foot 6 mm away.
    owner->pushTransform(DoItem::DO_T_SCALE);
    owner->setScale(2, 2, 1);
    QCOMPARE(owner->findNearestSupport(&from, 5.9f, 6.1f), &other);
    QCOMPARE(owner->findNearestSupport(&from, 2.9f, 3.1f), nullptr);
}

void TstSupport::nonFiniteInputs()
{
    LogCapture log;
    Support s(m_config->supportConfig());
    QVERIFY(!s.build(nullptr, QVector3D(0, 0, qQNaN()), QVector3D(0, 0, 1)));
    QVERIFY(s.mesh->vertices.empty());
    // A degenerate face normal is held from straight below.
    QVERIFY(s.build(nullptr, QVector3D(0, 0, 5), QVector3D(qQNaN(), 0, 0)));
    QVERIFY(!std::isnan(s.mesh->vertices[0].px));
    QCOMPARE(Support::headDirection(QVector3D(qInf(), 0, 0)), QVector3D(0, 0, 1));
}

QTEST_GUILESS_MAIN(TstSupport)
#include "tst_support.moc"
