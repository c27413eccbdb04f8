#include "LogCapture.h"
#include "SliceTestScene.h"
#include "model/SkylineLayout.h"

#include <QtTest>

namespace {

// The plate grid of the default printer: 65.02 x 116 mm at 21.164 px/mm.
int column(float x)
{
    return int((65.02f * 0.5f + x) * 21.164f);
}
int row(float y)
{
    return int((116.0f * 0.5f + y) * 21.164f);
}

Model *cubeAt(float x, float y, float z, float size)
{
    return modelFromMesh(
        TestMesh::box(QVector3D(x, y, z), QVector3D(x + size, y + size, z + size)));
}

} // namespace

class TestPlacement : public QObject
{
    Q_OBJECT

private slots:
    void tiltedPlateTurnsBack();
    void dockToPlatform();
    void dockOntoBase();
    void twoCubesSideBySideCentred();
    void wideModelIsTurned();
    void tooManyModelsMoveNothing();
    void skylineFillsRightOfFirstModel();
};

void TestPlacement::tiltedPlateTurnsBack()
{
    SliceTestScene scene;
    QMatrix4x4 tilt;
    tilt.translate(0, 0, 5);
    tilt.rotate(5.0f, 1, 0, 0);
    Model *plate = scene.add(modelFromMesh(
        TestMesh::box(QVector3D(-20, -15, -0.5f), QVector3D(20, 15, 0.5f)).transformed(tilt)));
    scene.workspace->scene()->selectModel(plate);
    scene.workspace->transform()->startNewTransform(3); // the rotate page opens a rotation step
    const QPointF angles = scene.workspace->transform()->turnSelectedToLowest();
    QCOMPARE(angles, QPointF(-5.0, 0.0));
    plate->updateGeometry(true);
    QVERIFY(plate->bboxMax.z() - plate->bboxMin.z() < 1.001f); // flat again
}

void TestPlacement::dockToPlatform()
{
    SliceTestScene scene;
    Model *cube = scene.add(cubeAt(-5, -5, 4, 10));
    scene.workspace->scene()->selectModel(cube);
    // Down by the 4 mm it floats; the step's own offset is now -4.
    QCOMPARE(scene.workspace->transform()->moveToBottom(), -4.0f);
    QCOMPARE(cube->bboxMin.z(), 0.0f);
    QCOMPARE(scene.workspace->transform()->moveToBottom(), 0.0f); // already down: nothing to do
    LogCapture log;
    scene.workspace->scene()->deselectAll(false);
    QCOMPARE(scene.workspace->transform()->moveToBottom(), 0.0f);
    QVERIFY(log.contains(QStringLiteral("no model selected")));
}

void TestPlacement::dockOntoBase()
{
    SliceTestScene scene;
    Model *cube = scene.add(cubeAt(-5, -5, 4, 10));
    Model *base = modelFromMesh(TestMesh::box(QVector3D(-7, -7, 0), QVector3D(7, 7, 1)),
                                Model::TYPE_SUPPORT_BASE);
    cube->attachChild(base);
    scene.add(base);
    scene.workspace->scene()->selectModel(cube);
    scene.workspace->transform()->moveToBottom();
    cube->updateGeometry(true);
    base->updateGeometry(true);
    QCOMPARE(cube->bboxMin.z(), 1.0f); // resting on the 1 mm slab
    QCOMPARE(base->bboxMin.z(), 0.0f); // which stays on the plate
}

void TestPlacement::twoCubesSideBySideCentred()
{
    SliceTestScene scene;
    Model *a = scene.add(cubeAt(-30, 10, 0, 20));
    Model *b = scene.add(cubeAt(5, -40, 0, 20));
    scene.workspace->transform()->autoLayoutModel();
    a->updateGeometry(true);
    b->updateGeometry(true);
    Model *left = a->bboxMin.x() < b->bboxMin.x() ? a : b;
    Model *right = left == a ? b : a;
    // Footprints of 424 px, 20 px apart, the pair centred on the 1377 x 2456 px plate.
    const int gap = column(right->bboxMin.x()) - column(left->bboxMax.x()) - 1;
    QVERIFY2(std::abs(gap - 20) <= 1, qPrintable(QString::number(gap)));
    QVERIFY(std::abs(column(left->bboxMin.x()) - (20 + 244)) <= 1);
    QVERIFY(std::abs(row(left->bboxMin.y()) - (20 + 1016)) <= 1);
    QVERIFY(std::abs(row(right->bboxMin.y()) - (20 + 1016)) <= 1);
    QCOMPARE(a->bboxMin.z(), 0.0f);
}

void TestPlacement::wideModelIsTurned()
{
    SliceTestScene scene;
    Model *wide =
        scene.add(modelFromMesh(TestMesh::box(QVector3D(-40, -15, 0), QVector3D(40, 15, 5))));
    scene.workspace->transform()->autoLayoutModel();
    wide->updateGeometry(true);
    // 80 mm does not fit across the 65 mm plate; turned by 90 degrees it does.
    QVERIFY(std::abs((wide->bboxMax.x() - wide->bboxMin.x()) - 30.0f) < 0.01f);
    QVERIFY(std::abs((wide->bboxMax.y() - wide->bboxMin.y()) - 80.0f) < 0.01f);
    QVERIFY(column(wide->bboxMin.x()) >= 0 && column(wide->bboxMax.x()) < 1377);
}

void TestPlacement::tooManyModelsMoveNothing()
{
    SliceTestScene scene;
    QVector<Model *> cubes;
    for (int i = 0; i < 30; ++i)
        cubes << scene.add(cubeAt(-10, -10, 0, 20));
    const size_t records = scene.workspace->undoList().records().size();
    LogCapture log;
    scene.workspace->transform()->autoLayoutModel(3);
    QVERIFY(log.contains(QStringLiteral("layout failed")));
    QVERIFY(log.contains(QStringLiteral("No space left to layout")));
    for (Model *c : cubes) {
        c->updateGeometry(true);
        QCOMPARE(c->bboxMin, QVector3D(-10, -10, 0));
    }
    QCOMPARE(scene.workspace->undoList().records().size(), records);
}

void TestPlacement::skylineFillsRightOfFirstModel()
{
    // Three footprints on a 1000 x 1000 plate: the second goes right of the first; the third
    // fits lowest turned, in the 259 px strip left at the right edge.
    const SkylineLayout::Result r =
        SkylineLayout::pack({{400, 300}, {300, 200}, {300, 100}}, 1000, 1000);
    QCOMPARE(r.placements.size(), 3);
    QCOMPARE(r.placements[0].xPx, 20);
    QCOMPARE(r.placements[0].yPx, 20);
    QCOMPARE(r.placements[1].xPx, 440);
    QCOMPARE(r.placements[1].yPx, 20);
    QCOMPARE(r.placements[1].rotated, false);
    QCOMPARE(r.placements[2].xPx, 760);
    QCOMPARE(r.placements[2].yPx, 20);
    QCOMPARE(r.placements[2].rotated, true);
    QCOMPARE(r.usedWidthPx, 860);
    QCOMPARE(r.usedDepthPx, 300);
}

QTEST_GUILESS_MAIN(TestPlacement)
#include "tst_placement.moc"
