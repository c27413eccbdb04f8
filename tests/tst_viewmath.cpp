// The 3D view's arithmetic without a window: frame, camera matrices, rays, the click rule.
#include "view/CameraMath.h"
#include "view/IslandMarkers.h"
#include "view/MouseGesture.h"
#include "view/PickMath.h"
#include "view/SceneCamera.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <random>

Q_DECLARE_METATYPE(CameraState)

namespace {

bool fuzzyEqual(const QVector3D &a, const QVector3D &b, float tolerance = 1e-5f)
{
    return (a - b).length() <= tolerance;
}

CameraState presetOf(void (SceneCamera::*preset)())
{
    SceneCamera camera;
    (camera.*preset)();
    return camera.state();
}

} // namespace

class TstViewMath : public QObject
{
    Q_OBJECT
private slots:
    void frameOfDefaultVolume();
    void presets_data();
    void presets();
    void pitchIsLimitedWhenDrawn();
    void yawWrapsWhenDrawn_data();
    void yawWrapsWhenDrawn();
    void projection_data();
    void projection();
    void pixelsPerMm_data();
    void pixelsPerMm();
    void zoomSteps();
    void lightFollowsCamera();
    void emptyViewportHasNoProjection();
    void rayTriangle_data();
    void rayTriangle();
    void pickRayIsParallelAcrossTheView();
    void unprojectRoundTrip();
    void clickRule_data();
    void clickRule();
    void moveButtons();
    void islandMarkersShare_data();
    void islandMarkersShare();
    void everyIslandNearItsMarker();
};

void TstViewMath::frameOfDefaultVolume()
{
    const CameraMath::Volume v;                 // 65.02 x 116 x 135 mm
    QCOMPARE(CameraMath::gridLineCount(v), 18); // 7 lines along y, 11 along x
    const std::vector<CameraMath::FrameVertex> f = CameraMath::frameVertices(v);
    QCOMPARE(int(f.size()), 16 + 2 * 18);
    auto at = [&f](int i) { return QVector3D(f[size_t(i)].x, f[size_t(i)].y, f[size_t(i)].z); };
    // The plate outline starts at the right rear corner, the top outline at z = 135.
    QCOMPARE(at(0), QVector3D(32.51f, 58.0f, 0.0f));
    QCOMPARE(at(2), QVector3D(-32.51f, -58.0f, 0.0f));
    QCOMPARE(at(4), QVector3D(32.51f, 58.0f, 135.0f));
    // Each vertical edge goes from the plate to the top.
    for (int i = 8; i < 16; i += 2) {
        QCOMPARE(at(i).z(), 0.0f);
        QCOMPARE(at(i + 1).z(), 135.0f);
        QCOMPARE(at(i).x(), at(i + 1).x());
    }
    // The y axis reaches 1 mm past the plate at both ends.
    QCOMPARE(at(16), QVector3D(0.0f, 59.0f, 0.0f));
    QCOMPARE(at(17), QVector3D(0.0f, -59.0f, 0.0f));
    QList<float> xs, ys;
    for (int line = 0; line < 18; ++line) {
        const QVector3D a = at(16 + 2 * line), b = at(17 + 2 * line);
        QCOMPARE(a.z(), 0.0f);
        if (a.x() == b.x())
            xs << a.x();
        else
            ys << a.y();
    }
    QCOMPARE(xs, (QList<float>{0, 10, -10, 20, -20, 30, -30}));
    QCOMPARE(ys, (QList<float>{0, 10, -10, 20, -20, 30, -30, 40, -40, 50, -50}));
    // Lines other than the y axis span the plate exactly.
    QCOMPARE(at(18), QVector3D(10.0f, 58.0f, 0.0f));
    QCOMPARE(at(31), QVector3D(-32.51f, 0.0f, 0.0f));
}

void TstViewMath::presets_data()
{
    QTest::addColumn<CameraState>("camera");
    QTest::addColumn<QVector3D>("worldX"); // where the world's +x axis points in eye space
    QTest::addColumn<QVector3D>("worldZ"); // and the world's up
    QTest::addColumn<QVector3D>("origin"); // where the plate centre sits
    // Top: looking straight down, x to the screen's bottom after the -90 degree yaw.
    QTest::newRow("top") << presetOf(&SceneCamera::resetViewTop) << QVector3D(0, -1, 0)
                         << QVector3D(0, 0, 1) << QVector3D(0, 0, -3);
    // Front: horizontal view, up is up, x toward the viewer.
    QTest::newRow("front") << presetOf(&SceneCamera::resetViewFront) << QVector3D(0, 0, 1)
                           << QVector3D(0, 1, 0) << QVector3D(0, -0.4f, -3);
    // Left: horizontal, x to the right.
    QTest::newRow("left") << presetOf(&SceneCamera::resetViewLeft) << QVector3D(1, 0, 0)
                          << QVector3D(0, 1, 0) << QVector3D(0, -0.4f, -3);
    // Right: horizontal, x to the left.
    QTest::newRow("right") << presetOf(&SceneCamera::resetViewRight) << QVector3D(-1, 0, 0)
                           << QVector3D(0, 1, 0) << QVector3D(0, -0.4f, -3);
    // Projection view: yaw -70 and pitch -70.
    const float c70 = std::cos(qDegreesToRadians(70.0f)), s70 = std::sin(qDegreesToRadians(70.0f));
    QTest::newRow("projection") << presetOf(&SceneCamera::resetViewPrj)
                                << QVector3D(c70, -s70 * c70, s70 * s70) << QVector3D(0, s70, c70)
                                << QVector3D(0, -0.4f, -3);
}

void TstViewMath::presets()
{
    QFETCH(CameraState, camera);
    QFETCH(QVector3D, worldX);
    QFETCH(QVector3D, worldZ);
    QFETCH(QVector3D, origin);
    const QMatrix4x4 view = CameraMath::viewMatrix(camera);
    const QVector3D o = view.map(QVector3D(0, 0, 0));
    QVERIFY2(fuzzyEqual(o, origin),
             qPrintable(QStringLiteral("origin at %1 %2 %3").arg(o.x()).arg(o.y()).arg(o.z())));
    QVERIFY(fuzzyEqual(view.map(QVector3D(1, 0, 0)) - o, worldX));
    QVERIFY(fuzzyEqual(view.map(QVector3D(0, 0, 1)) - o, worldZ));
    QCOMPARE(camera.panX, 0.0f);
    QCOMPARE(camera.panY, 0.0f);
}

void TstViewMath::pitchIsLimitedWhenDrawn()
{
    SceneCamera camera;
    camera.resetViewFront(); // pitch -90
    // 110 pixels down: the stored pitch counts on to -200 ...
    camera.orbit(QPoint(0, 0), QPoint(0, -110));
    QCOMPARE(camera.state().pitchDeg, -200);
    // ... and is drawn as -180: the view from straight below.
    QCOMPARE(CameraMath::drawnPitchDeg(-200), -180);
    CameraState limited = camera.state();
    limited.pitchDeg = -180;
    QCOMPARE(CameraMath::viewMatrix(camera.state()), CameraMath::viewMatrix(limited));
    // Above 0 the view stays looking straight down.
    QCOMPARE(CameraMath::drawnPitchDeg(30), 0);
    // It must be dragged back by the same amount before the picture moves again.
    camera.orbit(QPoint(0, 0), QPoint(0, 10));
    QCOMPARE(camera.state().pitchDeg, -190);
    QCOMPARE(CameraMath::drawnPitchDeg(camera.state().pitchDeg), -180);
}

void TstViewMath::yawWrapsWhenDrawn_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("drawn");
    QTest::newRow("inside") << -70 << -70;
    QTest::newRow("limit high") << 180 << 180;
    QTest::newRow("limit low") << -180 << -180;
    QTest::newRow("past 180") << 190 << -170;
    QTest::newRow("past -180") << -190 << 170;
    QTest::newRow("two turns") << 725 << 5;
    QTest::newRow("many turns back") << -1085 << -5;
}

void TstViewMath::yawWrapsWhenDrawn()
{
    QFETCH(int, stored);
    QFETCH(int, drawn);
    QCOMPARE(CameraMath::drawnYawDeg(stored), drawn);
    // The same picture as the wrapped angle.
    CameraState a, b;
    a.yawDeg = stored;
    b.yawDeg = drawn;
    QCOMPARE(CameraMath::viewMatrix(a), CameraMath::viewMatrix(b));
}

void TstViewMath::projection_data()
{
    QTest::addColumn<QSize>("viewport");
    QTest::addColumn<QVector3D>("corner"); // eye point that lands on the top right corner
    // The larger side spans two units: -1 ... 1; the other keeps the aspect.
    QTest::newRow("wide") << QSize(800, 600) << QVector3D(1.0f, 0.75f, -1.0f);
    QTest::newRow("tall") << QSize(600, 800) << QVector3D(0.75f, 1.0f, -1.0f);
    QTest::newRow("square") << QSize(500, 500) << QVector3D(1.0f, 1.0f, -1.0f);
}

void TstViewMath::projection()
{
    QFETCH(QSize, viewport);
    QFETCH(QVector3D, corner);
    const QMatrix4x4 p = CameraMath::projectionMatrix(viewport, 0.0f, 0.0f);
    const QVector3D ndc = p.map(corner);
    QVERIFY(std::fabs(ndc.x() - 1.0f) < 1e-6f);
    QVERIFY(std::fabs(ndc.y() - 1.0f) < 1e-6f);
    // Near 0.1 and far 100 map to -1 and 1.
    QVERIFY(std::fabs(p.map(QVector3D(0, 0, -0.1f)).z() + 1.0f) < 1e-5f);
    QVERIFY(std::fabs(p.map(QVector3D(0, 0, -100.0f)).z() - 1.0f) < 1e-5f);
    // Panning shifts the finished picture in device units.
    const QMatrix4x4 panned = CameraMath::projectionMatrix(viewport, 0.5f, -0.25f);
    QVERIFY(fuzzyEqual(panned.map(corner), ndc + QVector3D(0.5f, -0.25f, 0.0f)));
}

void TstViewMath::pixelsPerMm_data()
{
    QTest::addColumn<CameraState>("camera");
    QTest::addColumn<QSize>("viewport");
    QTest::addColumn<float>("expected");
    CameraState zoomed = presetOf(&SceneCamera::resetViewPrj);
    zoomed.zoom = 2.0f;
    zoomed.panX = 0.3f;
    // The larger side spans two scene units of 135 mm at zoom 1: 800 px over 270 mm.
    QTest::newRow("default view") << presetOf(&SceneCamera::resetViewPrj) << QSize(800, 600)
                                  << 800.0f / 270.0f;
    QTest::newRow("top view, tall")
        << presetOf(&SceneCamera::resetViewTop) << QSize(600, 900) << 900.0f / 270.0f;
    // Zoom scales it; panning moves the picture, not its scale.
    QTest::newRow("zoomed and panned") << zoomed << QSize(800, 600) << 1600.0f / 270.0f;
}

void TstViewMath::pixelsPerMm()
{
    QFETCH(CameraState, camera);
    QFETCH(QSize, viewport);
    QFETCH(float, expected);
    const CameraMath::Volume volume;
    const float found = CameraMath::pixelsPerMm(camera, viewport, volume);
    QVERIFY2(std::fabs(found - expected) < 1e-3f, qPrintable(QString::number(double(found))));
    // 10 mm along the screen's own right, projected to pixels, span ten times that.
    const QMatrix4x4 view = CameraMath::viewMatrix(camera);
    const QVector3D right = view.inverted().mapVector(QVector3D(1, 0, 0)).normalized();
    const QMatrix4x4 toNdc = CameraMath::projectionMatrix(viewport, camera.panX, camera.panY) *
                             view * CameraMath::modelScaleMatrix(volume);
    const QVector3D a = toNdc.map(QVector3D(3, 4, 20)),
                    b = toNdc.map(QVector3D(3, 4, 20) + 10 * right);
    const float px = std::hypot((b.x() - a.x()) * viewport.width() / 2.0f,
                                (b.y() - a.y()) * viewport.height() / 2.0f);
    QVERIFY2(std::fabs(px - 10.0f * found) < 1e-2f, qPrintable(QString::number(double(px))));
}

void TstViewMath::zoomSteps()
{
    SceneCamera camera;
    QSignalSpy changed(&camera, &SceneCamera::changed);
    for (int i = 0; i < 10; ++i)
        camera.zoomOut();
    QCOMPARE(changed.count(), 10);
    QVERIFY(std::fabs(camera.state().zoom - float(std::pow(1.1, 10))) < 1e-5f);
    // The picture grows: a point moves away from the centre by the zoom.
    const QVector3D p = CameraMath::viewMatrix(camera.state()).map(QVector3D(1, 0, 0));
    QVERIFY(std::fabs((p - QVector3D(0, -0.4f, -3)).length() - float(std::pow(1.1, 10))) < 1e-4f);
    // Presets keep the zoom, except the projection view.
    camera.resetViewTop();
    camera.resetViewFront();
    camera.resetViewLeft();
    camera.resetViewRight();
    QVERIFY(std::fabs(camera.state().zoom - float(std::pow(1.1, 10))) < 1e-5f);
    camera.resetViewPrj();
    QCOMPARE(camera.state().zoom, 1.0f);
    camera.zoomIn();
    QVERIFY(std::fabs(camera.state().zoom - 1.0f / 1.1f) < 1e-7f);
}

void TstViewMath::lightFollowsCamera()
{
    CameraState top;
    top.baseView.translate(0, 0, -3);
    // Looking down from 3 units above the plate centre.
    QVERIFY(fuzzyEqual(CameraMath::lightPosition(CameraMath::viewMatrix(top)), QVector3D(0, 0, 3)));
    top.zoom = 2.0f; // the eye plane comes nearer in scene units
    QVERIFY(
        fuzzyEqual(CameraMath::lightPosition(CameraMath::viewMatrix(top)), QVector3D(0, 0, 1.5f)));
}

void TstViewMath::emptyViewportHasNoProjection()
{
    // A minimised view must not divide by zero: the matrix stays finite.
    for (const QSize &s : {QSize(0, 600), QSize(800, 0), QSize(0, 0)}) {
        const QMatrix4x4 p = CameraMath::projectionMatrix(s, 0.1f, 0.1f);
        for (int i = 0; i < 16; ++i)
            QVERIFY(std::isfinite(p.constData()[i]));
    }
}

void TstViewMath::rayTriangle_data()
{
    QTest::addColumn<QVector3D>("origin");
    QTest::addColumn<QVector3D>("direction");
    QTest::addColumn<bool>("hit");
    QTest::addColumn<QVector3D>("point");
    const QVector3D down(0, 0, -1), up(0, 0, 1);
    // The triangle (0,0,0) (1,0,0) (0,1,0) in the plate plane.
    QTest::newRow("front face") << QVector3D(0.25f, 0.25f, 1) << down << true
                                << QVector3D(0.25f, 0.25f, 0);
    QTest::newRow("back face") << QVector3D(0.25f, 0.25f, -1) << up << true
                               << QVector3D(0.25f, 0.25f, 0);
    QTest::newRow("parallel, in the plane")
        << QVector3D(-1, 0.25f, 0) << QVector3D(1, 0, 0) << false << QVector3D();
    QTest::newRow("parallel, above")
        << QVector3D(-1, 0.25f, 1) << QVector3D(1, 0, 0) << false << QVector3D();
    QTest::newRow("edge u = 0") << QVector3D(0, 0.5f, 1) << down << true << QVector3D(0, 0.5f, 0);
    QTest::newRow("edge v = 0") << QVector3D(0.5f, 0, 1) << down << true << QVector3D(0.5f, 0, 0);
    QTest::newRow("edge u + v = 1")
        << QVector3D(0.5f, 0.5f, 1) << down << true << QVector3D(0.5f, 0.5f, 0);
    QTest::newRow("vertex") << QVector3D(1, 0, 1) << down << true << QVector3D(1, 0, 0);
    QTest::newRow("just outside u") << QVector3D(-1e-6f, 0.5f, 1) << down << false << QVector3D();
    QTest::newRow("just outside u + v")
        << QVector3D(0.5f, 0.50001f, 1) << down << false << QVector3D();
    QTest::newRow("behind the origin") << QVector3D(0.25f, 0.25f, 1) << up << false << QVector3D();
    QTest::newRow("t = 0") << QVector3D(0.25f, 0.25f, 0) << down << false << QVector3D();
    QTest::newRow("t below epsilon")
        << QVector3D(0.25f, 0.25f, 1e-7f) << down << false << QVector3D();
    QTest::newRow("t above epsilon")
        << QVector3D(0.25f, 0.25f, 1e-6f) << down << true << QVector3D(0.25f, 0.25f, 0);
    QTest::newRow("slanted") << QVector3D(0, 0, 1) << QVector3D(0.2f, 0.2f, -1).normalized() << true
                             << QVector3D(0.2f, 0.2f, 0);
}

void TstViewMath::rayTriangle()
{
    QFETCH(QVector3D, origin);
    QFETCH(QVector3D, direction);
    QFETCH(bool, hit);
    QFETCH(QVector3D, point);
    float t = -1.0f;
    QVector3D where;
    const bool got = PickMath::rayTriangle({origin, direction}, QVector3D(0, 0, 0),
                                           QVector3D(1, 0, 0), QVector3D(0, 1, 0), &t, &where);
    QCOMPARE(got, hit);
    if (hit) {
        QVERIFY(t > PickMath::kEpsilon);
        QVERIFY2(
            fuzzyEqual(where, point, 1e-6f),
            qPrintable(QStringLiteral("%1 %2 %3").arg(where.x()).arg(where.y()).arg(where.z())));
    }
}

void TstViewMath::pickRayIsParallelAcrossTheView()
{
    CameraState camera;
    camera.yawDeg = -70;
    camera.pitchDeg = -70;
    camera.baseView.translate(0, -0.4f, -3);
    const QSize viewport(800, 600);
    const QMatrix4x4 p = CameraMath::projectionMatrix(viewport, 0.1f, 0.0f);
    const QMatrix4x4 v = CameraMath::viewMatrix(camera);
    const PickMath::Ray a = PickMath::pickRay(10, 20, viewport, p, v);
    const PickMath::Ray b = PickMath::pickRay(700, 580, viewport, p, v);
    QCOMPARE(a.direction, b.direction);
    QVERIFY(std::fabs(a.direction.length() - 1.0f) < 1e-6f);
    // Both origins lie in the camera plane, and the ray looks into the scene (toward -z eye).
    QVERIFY(std::fabs(v.map(a.origin).z()) < 1e-5f);
    QVERIFY(std::fabs(v.map(b.origin).z()) < 1e-5f);
    QVERIFY(v.mapVector(a.direction).z() < -0.999f);
    // The origin is under the cursor: it projects back to the pixel.
    const QVector3D ndc = (p * v).map(a.origin);
    QVERIFY(std::fabs(ndc.x() - (2.0f * 10 / 800 - 1)) < 1e-5f);
    QVERIFY(std::fabs(ndc.y() - (1 - 2.0f * 20 / 600)) < 1e-5f);
}

void TstViewMath::unprojectRoundTrip()
{
    CameraState camera;
    camera.yawDeg = -90;
    camera.baseView.translate(0, 0, -3); // top view
    const QSize viewport(800, 600);
    const QMatrix4x4 p = CameraMath::projectionMatrix(viewport, 0, 0);
    const QMatrix4x4 v = CameraMath::viewMatrix(camera);
    const QMatrix4x4 s = CameraMath::modelScaleMatrix(CameraMath::Volume());
    const float depth = PickMath::originDepthNdc(p, v, s);
    // The plate centre sits at the centre of the view.
    const QVector3D centre = PickMath::unprojectMm(QPoint(400, 300), viewport, depth, p, v, s);
    QVERIFY(fuzzyEqual(centre, QVector3D(0, 0, 0), 1e-3f));
    // 100 pixels right of it: 100 / 400 of a unit, 135 mm a unit (x points down the screen
    // in this view, y to the right).
    const QVector3D right = PickMath::unprojectMm(QPoint(500, 300), viewport, depth, p, v, s);
    QVERIFY(fuzzyEqual(right, QVector3D(0, 33.75f, 0), 1e-3f));
}

void TstViewMath::clickRule_data()
{
    QTest::addColumn<int>("releaseAfterMs");
    QTest::addColumn<QList<QPoint>>("moves");
    QTest::addColumn<QPoint>("releaseAt");
    QTest::addColumn<bool>("click");
    const QPoint p(100, 100);
    QTest::newRow("quick, still") << 120 << QList<QPoint>{} << p << true;
    QTest::newRow("just in time") << 299 << QList<QPoint>{} << p << true;
    QTest::newRow("300 ms") << 300 << QList<QPoint>{} << p << false;
    QTest::newRow("slow") << 800 << QList<QPoint>{} << p << false;
    QTest::newRow("moved away") << 50 << QList<QPoint>{QPoint(101, 100)} << QPoint(101, 100)
                                << false;
    QTest::newRow("moved and back") << 50 << QList<QPoint>{QPoint(104, 100), p} << p << false;
    QTest::newRow("released elsewhere") << 50 << QList<QPoint>{} << QPoint(100, 101) << false;
}

void TstViewMath::clickRule()
{
    QFETCH(int, releaseAfterMs);
    QFETCH(QList<QPoint>, moves);
    QFETCH(QPoint, releaseAt);
    QFETCH(bool, click);
    MouseGesture g;
    g.press(QPoint(100, 100), 1000);
    QPoint previous(100, 100);
    for (const QPoint &m : moves) {
        const MouseGesture::Step step = g.move(m);
        QCOMPARE(step.from, QPoint(100, 100));
        QCOMPARE(step.pre, previous);
        QCOMPARE(step.to, m);
        previous = m;
    }
    QCOMPARE(g.isClick(releaseAt, 1000 + releaseAfterMs), click);
}

void TstViewMath::moveButtons()
{
    QCOMPARE(MouseGesture::moveButton(Qt::LeftButton), 1);
    QCOMPARE(MouseGesture::moveButton(Qt::LeftButton | Qt::RightButton), 1);
    QCOMPARE(MouseGesture::moveButton(Qt::RightButton), 2);
    QCOMPARE(MouseGesture::moveButton(Qt::MiddleButton), 3);
    QCOMPARE(MouseGesture::buttonNumber(Qt::RightButton), 2);
    QCOMPARE(MouseGesture::buttonNumber(Qt::MiddleButton), 3);
}

void TstViewMath::islandMarkersShare_data()
{
    QTest::addColumn<QVector<QVector3D>>("islandsMm"); // x, y, z; layer = z / 0.05
    QTest::addColumn<int>("markers");
    QTest::addColumn<int>("upToLayer10");
    // A stalactite's tip repeated over ten layers at one spot: one marker.
    QTest::newRow("stacked") << QVector<QVector3D>{{1, 1, 0.05f}, {1, 1, 0.1f}, {1, 1, 0.5f}} << 1
                             << 1;
    // Two fingers 2 mm apart: each its own, the second above layer 10.
    QTest::newRow("apart") << QVector<QVector3D>{{0, 0, 0.1f}, {2, 0, 0.6f}} << 2 << 1;
    // Either side of a cell border 0.1 mm apart: two markers, never lost.
    QTest::newRow("border") << QVector<QVector3D>{{-0.05f, 0, 0.1f}, {0.05f, 0, 0.1f}} << 2 << 2;
}

void TstViewMath::islandMarkersShare()
{
    QFETCH(QVector<QVector3D>, islandsMm);
    std::deque<CWS::SceneIsland> islands;
    for (const QVector3D &p : islandsMm)
        islands.emplace_back(int(std::lround(p.z() / 0.05f)), p.z(), p.x(), p.y(), 0.01f, 0);
    const IslandMarkers markers(islands, 1.5f);
    QTEST(int(markers.placesMm().size()), "markers");
    QTEST(markers.countUpToLayer(10), "upToLayer10");
    QCOMPARE(markers.countUpToLayer(-1), 0);
    QCOMPARE(markers.placesMm().front(), islandsMm.front());
}

void TstViewMath::everyIslandNearItsMarker()
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> across(-2.0f, 2.0f); // a lattice's density
    std::deque<CWS::SceneIsland> islands;
    for (int layer = 1; layer <= 400; ++layer)
        for (int i = 0; i < 50; ++i)
            islands.emplace_back(layer, layer * 0.05f, across(random), across(random), 0.01f, 0);
    const float radiusMm = 1.5f;
    const IslandMarkers markers(islands, radiusMm);
    QVERIFY(markers.placesMm().size() < islands.size() / 2);
    for (const CWS::SceneIsland &island : islands) {
        const QVector3D at(island.xMm(), island.yMm(), island.zMm());
        QVERIFY(std::any_of(markers.placesMm().begin(), markers.placesMm().end(),
                            [&](const QVector3D &m) { return (m - at).length() <= radiusMm; }));
    }
}

QTEST_GUILESS_MAIN(TstViewMath)
#include "tst_viewmath.moc"
