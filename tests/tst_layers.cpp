#include "TestMeshes.h"
#include "model/LayerMath.h"

#include <QtTest>

using namespace CWS;

class TestLayers : public QObject
{
    Q_OBJECT

private slots:
    void layerCount_data();
    void layerCount();
    void edgeRule_data();
    void edgeRule();
    void planeThroughVertex();
    void triangleInPlaneGivesNothing();
    void touchingVertexGivesZeroLengthSegment();
    void cubeLayersAreTheSameSquare();
    void sphereSectionsAreCircles();
};

void TestLayers::layerCount_data()
{
    QTest::addColumn<float>("height");
    QTest::addColumn<float>("thickness");
    QTest::addColumn<int>("count");
    QTest::newRow("1.00 mm is 20 slabs") << 1.00f << 0.05f << 20;
    QTest::newRow("1.03 mm rounds up") << 1.03f << 0.05f << 21;
    QTest::newRow("1.02 mm rounds down") << 1.02f << 0.05f << 20;
    QTest::newRow("empty scene") << 0.0f << 0.05f << 0;
    QTest::newRow("120 mm at 50 um") << 120.0f << 0.05f << 2400;
    QTest::newRow("zero thickness never divides") << 10.0f << 0.0f << 0;
}

void TestLayers::layerCount()
{
    QFETCH(float, height);
    QFETCH(float, thickness);
    QFETCH(int, count);
    QCOMPARE(LayerMath::layerCount(height, thickness), count);
}

void TestLayers::edgeRule_data()
{
    QTest::addColumn<QVector3D>("a");
    QTest::addColumn<QVector3D>("b");
    QTest::addColumn<bool>("hit");
    QTest::addColumn<QVector3D>("point");
    const float z = 1.0f;
    Q_UNUSED(z)
    QTest::newRow("crossing in the middle")
        << QVector3D(0, 0, 0) << QVector3D(4, 2, 2) << true << QVector3D(2, 1, 1);
    QTest::newRow("reversed edge gives the same point")
        << QVector3D(4, 2, 2) << QVector3D(0, 0, 0) << true << QVector3D(2, 1, 1);
    QTest::newRow("both below") << QVector3D(0, 0, 0) << QVector3D(1, 1, 0.5f) << false
                                << QVector3D();
    QTest::newRow("both above") << QVector3D(0, 0, 2) << QVector3D(1, 1, 3) << false << QVector3D();
    QTest::newRow("edge in the plane")
        << QVector3D(0, 0, 1) << QVector3D(1, 1, 1) << false << QVector3D();
    QTest::newRow("lower end on the plane counts")
        << QVector3D(3, 4, 1) << QVector3D(0, 0, 2) << true << QVector3D(3, 4, 1);
    QTest::newRow("upper end on the plane does not")
        << QVector3D(3, 4, 1) << QVector3D(0, 0, 0) << false << QVector3D();
}

void TestLayers::edgeRule()
{
    QFETCH(QVector3D, a);
    QFETCH(QVector3D, b);
    QFETCH(bool, hit);
    QFETCH(QVector3D, point);
    QVector3D got;
    QCOMPARE(LayerMath::cutEdge(a, b, 1.0f, &got), hit);
    if (hit)
        QCOMPARE(got, point);
}

void TestLayers::planeThroughVertex()
{
    const QVector3D v(0, 0, 1);
    QVector3D pts[3];
    unsigned bits;
    // One neighbour above, one below: V is one end of the segment.
    QCOMPARE(LayerMath::cutTriangle(v, QVector3D(2, 0, 2), QVector3D(0, 2, 0), 1.0f, pts, &bits),
             2);
    QVERIFY(pts[0] == v || pts[1] == v);
    // Both neighbours above: the zero-length segment (V, V).
    QCOMPARE(LayerMath::cutTriangle(v, QVector3D(2, 0, 2), QVector3D(0, 2, 2), 1.0f, pts, &bits),
             2);
    QCOMPARE(pts[0], v);
    QCOMPARE(pts[1], v);
    // Both neighbours below: nothing.
    QCOMPARE(LayerMath::cutTriangle(v, QVector3D(2, 0, 0), QVector3D(0, 2, 0), 1.0f, pts, &bits),
             0);
}

void TestLayers::triangleInPlaneGivesNothing()
{
    const QVector<QVector3D> pos = {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}};
    const quint32 idx[] = {0, 1, 2};
    SegmentList out;
    QCOMPARE(LayerMath::cutTriangles(pos, idx, 0, 3, 1.0f, out), 0);
    QVERIFY(out.isEmpty());
}

void TestLayers::touchingVertexGivesZeroLengthSegment()
{
    const QVector<QVector3D> pos = {{0, 0, 1}, {1, 0, 2}, {0, 1, 3}};
    const quint32 idx[] = {0, 1, 2};
    SegmentList out;
    QCOMPARE(LayerMath::cutTriangles(pos, idx, 0, 3, 1.0f, out), 1);
    QCOMPARE(out.first().p0, out.first().p1);
}

void TestLayers::cubeLayersAreTheSameSquare()
{
    const TestMesh cube = TestMesh::box(QVector3D(-5, -5, 0), QVector3D(5, 5, 10));
    const int n = LayerMath::layerCount(10.0f, 0.05f);
    QCOMPARE(n, 200);
    float z = 0.05f * 0.5f;
    for (int layer = 0; layer < n; ++layer, z += 0.05f) {
        SegmentList out;
        // Four sides of two triangles each: eight collinear pieces of the square.
        QCOMPARE(LayerMath::cutTriangles(cube.positions, cube.indices.constData(), 0,
                                         cube.indices.size(), z, out),
                 8);
        double length = 0;
        for (const LayerSegment &s : out) {
            QCOMPARE(s.p0.z(), z);
            QVERIFY(qFuzzyCompare(std::max(std::abs(s.p0.x()), std::abs(s.p0.y())), 5.0f));
            length += (s.p1 - s.p0).length();
        }
        QVERIFY(std::abs(length - 40.0) < 1e-3); // the square's perimeter
    }
}

void TestLayers::sphereSectionsAreCircles()
{
    const TestMesh sphere = TestMesh::sphere(QVector3D(0, 0, 10), 8.0f, 40, 64);
    for (float z : {3.0f, 7.5f, 10.01f, 16.0f}) {
        SegmentList out;
        LayerMath::cutTriangles(sphere.positions, sphere.indices.constData(), 0,
                                sphere.indices.size(), z, out);
        QVERIFY(out.size() >= 64);
        const float r = std::sqrt(64.0f - (z - 10.0f) * (z - 10.0f));
        for (const LayerSegment &s : out) {
            // On a chord of the circle: never outside it, never far inside.
            const float d = QVector2D(s.p0.x(), s.p0.y()).length();
            QVERIFY(d <= r + 1e-3f);
            QVERIFY(d >= r * 0.98f);
        }
    }
}

QTEST_GUILESS_MAIN(TestLayers)
#include "tst_layers.moc"
