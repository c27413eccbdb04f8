// The window at the device pixel ratio that QT_SCALE_FACTOR sets (the suite runs at 1, 1.5 and
// 2): clicks pick the model under the pointer, drags and pans follow it, the wheel zooms, and
// the pixels read back sit where the camera puts them. Positions are the window's own
// (logical) pixels throughout; only the drawing is in device pixels.
#include "SceneMeshes.h"
#include "ViewPixels.h"
#include "WindowDriver.h"

#include "view/QuorScene.h"
#include "view/SceneCamera.h"
#include "workspace/SceneObjects.h"

#include <QtTest>

using namespace SceneMeshes;

namespace {

// The selected colour (128, 128, 240), lit: blue well above red.
bool looksSelected(const QColor &c)
{
    return c.blue() > c.red() + 40;
}

QVector3D topCentre(const Model *m)
{
    return QVector3D((m->bboxMin.x() + m->bboxMax.x()) / 2, (m->bboxMin.y() + m->bboxMax.y()) / 2,
                     m->bboxMax.z());
}

bool within(const QPoint &a, const QPoint &b, int px)
{
    return std::abs(a.x() - b.x()) <= px && std::abs(a.y() - b.y()) <= px;
}

// Presses, moves in steps (each a move the view sees) and releases.
void dragWith(QWindow *win, Qt::MouseButton button, const QPoint &from, const QPoint &to)
{
    QTest::mousePress(win, button, Qt::NoModifier, from);
    constexpr int kSteps = 6;
    for (int i = 1; i <= kSteps; ++i)
        QTest::mouseMove(win, from + (to - from) * i / kSteps);
    QTest::mouseRelease(win, button, Qt::NoModifier, to);
}

} // namespace

class TstHighDensity : public QObject
{
    Q_OBJECT
private slots:
    void gesturesAndPixels();
};

void TstHighDensity::gesturesAndPixels()
{
    WindowDriver w;
    QVERIFY(w.waitForFrames());
    const double factor = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                              ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                              : 1.0;
    // Scaling is on: the window draws at the factor asked for.
    QCOMPARE(w.window->effectiveDevicePixelRatio(), factor);
    const QString tag = QString::number(factor).replace(QLatin1Char('.'), QLatin1Char('_'));

    SceneObjects *scene = w.workspace()->scene();
    w.app()->open(writeBoxFile(QStringLiteral("box.stl"), {-10, -10, 0}, {10, 10, 10}));
    QCOMPARE(scene->modelSize(), 1);
    Model *box = scene->getSelectedModel();
    QVERIFY(box);

    // The pixel where the camera puts the box's top is the box, drawn selected.
    QPoint top = w.windowPixelOf(topCentre(box));
    QVERIFY2(looksSelected(pixelAt(w.grab(), top)),
             qPrintable(QStringLiteral("at %1").arg(factor)));
    w.saveScreenshot(QStringLiteral("highdensity-") + tag);

    // A click on it selects it; a click on empty sky clears the selection.
    scene->deselectAll(true);
    w.clickAt(top);
    QTRY_COMPARE(scene->getSelectedModel(), box);
    const QPoint sky = w.scene()->mapToScene(QPointF(w.scene()->width() / 2, 12)).toPoint();
    w.clickAt(sky);
    QTRY_VERIFY(!scene->getSelectedModel());

    // Dragging the box carries it with the pointer: its top ends near where the pointer let go
    // (the drag works at the plate's depth, the top is 10 mm above it: a few pixels apart).
    const QPoint dragTo = top + QPoint(60, 0);
    dragWith(w.window, Qt::LeftButton, top, dragTo);
    QTRY_COMPARE(scene->getSelectedModel(), box);
    box->updateGeometry(true);
    const QPoint dropped = w.windowPixelOf(topCentre(box));
    QVERIFY2(within(dropped, dragTo, 15),
             qPrintable(QStringLiteral("top at %1,%2 after a drag to %3,%4")
                            .arg(dropped.x())
                            .arg(dropped.y())
                            .arg(dragTo.x())
                            .arg(dragTo.y())));
    top = dropped;

    // A right drag pans the picture by exactly the pointer's way.
    const QPoint panBy(50, 30);
    dragWith(w.window, Qt::RightButton, top - panBy, top);
    const QPoint panned = w.windowPixelOf(topCentre(box));
    QVERIFY2(within(panned, top + panBy, 1),
             qPrintable(QStringLiteral("top at %1,%2").arg(panned.x()).arg(panned.y())));
    top = panned;

    // One wheel step scales the picture by a tenth; the box is still drawn where the camera
    // now puts it.
    const float zoomBefore = w.camera()->state().zoom;
    QWheelEvent wheel(QPointF(top), QPointF(w.window->mapToGlobal(top)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(w.window, &wheel);
    QTRY_VERIFY(qFuzzyCompare(w.camera()->state().zoom, zoomBefore * 1.1f));
    top = w.windowPixelOf(topCentre(box));
    QVERIFY(looksSelected(pixelAt(w.grab(), top)));
    w.saveScreenshot(QStringLiteral("highdensity-moved-") + tag);
}

QUOR_WINDOW_TEST_MAIN(TstHighDensity)

#include "tst_highdensity.moc"
