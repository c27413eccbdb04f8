// The 3D view in a real window under a virtual X server: what it draws, read back from the
// window's pixels, what it uploads, and files dropped on it or named on the command line.
#include "LogCapture.h"
#include "SceneMeshes.h"
#include "UiHarness.h"
#include "ViewPixels.h"

#include "view/SceneRenderer.h"

#include <QMimeData>
#include <QQmlProperty>
#include <QtTest>

#include <cmath>

using namespace SceneMeshes;

namespace {

// The 0.9 grey background and the 0.73 grey frame lines.
constexpr int kBackground = 230;
constexpr int kFrame = 186;

bool near(const QColor &c, int r, int g, int b, int tolerance = 3)
{
    return std::abs(c.red() - r) <= tolerance && std::abs(c.green() - g) <= tolerance &&
           std::abs(c.blue() - b) <= tolerance;
}

QString describe(const QColor &c)
{
    return QStringLiteral("(%1, %2, %3)").arg(c.red()).arg(c.green()).arg(c.blue());
}

void throwWhileDrawing(int type)
{
    if (type == Model::TYPE_NORMAL)
        throw std::runtime_error("drawing failed on purpose");
}

} // namespace

class TstSceneView : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void emptyScene();
    void modelIsLitAndShowsSelection();
    void seenFromBelow();
    void outsideTheVolumeIsRed();
    void dropOnEmptyWorkspace();
    void dropOnWorkspaceWithModel();
    void dropRefusesWhatIsNotALocalFile();
    void commandLineFilesAreLaidOut();
    void missingFileOnCommandLine();
    void noSceneItem();
    void uploadsOncePerChange();
    void deletedBuffersFreedOnRenderThread();
    void drawingExceptionEndsTheFrame();
    void collapsedViewDrawsNothing();

private:
    void drop(UiHarness &ui, const QList<QUrl> &urls);
};

void TstSceneView::init()
{
    QDir().mkpath(QDir::currentPath());
}

void TstSceneView::emptyScene()
{
    UiHarness ui;
    QCOMPARE(ui.result, 0);
    QVERIFY(ui.waitForFrames(2));
    // The plate object is there from the first frame on, and counts as nothing loaded.
    Workspace *ws = ui.workspace();
    QCOMPARE(int(ws->scene()->objects().size()), 1);
    QCOMPARE(ws->scene()->objects().front()->type, int(Model::TYPE_PLATFORM_BOTTOM));
    QCOMPARE(ws->scene()->modelSize(), 0);
    const QImage image = ui.grab();
    ui.saveScreenshot(QStringLiteral("view-empty"));
    QCOMPARE(ui.camera()->viewSize(), ui.scene()->size().toSize());
    const QPoint empty = ui.scene()->mapToScene(QPointF(300, 20)).toPoint();
    QVERIFY2(near(image.pixelColor(empty), kBackground, kBackground, kBackground),
             qPrintable(describe(image.pixelColor(empty))));
    // The plate between grid lines: its own colour, unlit.
    const QColor plate = pixelAt(image, ui.windowPixelOf({5, 5, 0}));
    QVERIFY2(near(plate, 254, 254, 254), qPrintable(describe(plate)));
    // A vertical edge of the outline box, half way up: frame grey somewhere across it.
    const QPoint edge = ui.windowPixelOf({-32.51f, 58.0f, 67.0f});
    bool frameSeen = false;
    for (int dx = -2; dx <= 2; ++dx)
        frameSeen |= near(image.pixelColor(edge + QPoint(dx, 0)), kFrame, kFrame, kFrame, 6);
    QVERIFY(frameSeen);
}

void TstSceneView::modelIsLitAndShowsSelection()
{
    UiHarness ui;
    QVERIFY(ui.waitForFrames());
    Workspace *ws = ui.workspace();
    ui.app()->open(writeBoxFile(QStringLiteral("box.stl"), {-10, -10, 0}, {10, 10, 10}));
    QCOMPARE(ws->scene()->modelSize(), 1);
    QVERIFY(ws->scene()->getSelectedModel()); // a loaded model is selected
    QImage image = ui.grab();
    ui.saveScreenshot(QStringLiteral("view-selected-model"));
    const QPoint top = ui.windowPixelOf({0, 0, 10});
    const QColor selected = pixelAt(image, top);
    // The selected colour (128, 128, 240), lit: blue well above red and green, which match.
    QVERIFY2(selected.blue() > selected.red() + 40, qPrintable(describe(selected)));
    QVERIFY(std::abs(selected.red() - selected.green()) <= 2);
    ws->scene()->deselectAll(true);
    image = ui.grab();
    const QColor plain = pixelAt(image, top);
    QVERIFY2(std::abs(plain.red() - plain.blue()) <= 2 &&
                 std::abs(plain.red() - plain.green()) <= 2,
             qPrintable(describe(plain)));
    // Lit: brighter than the ambient part alone and no brighter than the full colour.
    QVERIFY2(plain.red() > int(0.2 * 128) + 5 && plain.red() <= 128 + 2,
             qPrintable(describe(plain)));
    // Faces turned another way get other light.
    const QColor side = pixelAt(image, ui.windowPixelOf({10, 0, 5}));
    QVERIFY2(side != plain, qPrintable(describe(side)));
}

void TstSceneView::seenFromBelow()
{
    UiHarness ui;
    QVERIFY(ui.waitForFrames());
    Workspace *ws = ui.workspace();
    ui.app()->open(writeBoxFile(QStringLiteral("box.stl"), {-10, -10, 0}, {10, 10, 10}));
    ws->scene()->deselectAll(true);
    // Straight from below: the view turned down to pitch -180.
    ui.camera()->resetViewFront();
    ui.scene()->mouse()->moved(1, QPoint(0, 0), QPoint(0, 0), QPoint(0, -90));
    QCOMPARE(ui.camera()->state().pitchDeg, -180);
    QImage image = ui.grab();
    ui.saveScreenshot(QStringLiteral("view-from-below"));
    // The face on the plate is green, and the plate itself is not drawn.
    const QColor face = pixelAt(image, ui.windowPixelOf({2, 3, 0}));
    QVERIFY2(near(face, 0, 153, 0), qPrintable(describe(face)));
    const QColor plate = pixelAt(image, ui.windowPixelOf({25, 35, 0}));
    QVERIFY2(near(plate, kBackground, kBackground, kBackground), qPrintable(describe(plate)));

    // With a base the model rests 3 mm up; the base's top and bottom are not drawn from below,
    // so its 2 mm rim shows the background, and the model's bottom shows through.
    ws->scene()->selectModel(ws->scene()->objects()[1]);
    ws->supports()->addSupportBase(1.0f);
    ws->scene()->deselectAll(true);
    image = ui.grab();
    ui.saveScreenshot(QStringLiteral("view-base-from-below"));
    const QColor rim = pixelAt(image, ui.windowPixelOf({11, 5, 0}));
    QVERIFY2(near(rim, kBackground, kBackground, kBackground), qPrintable(describe(rim)));
    const QColor bottom = pixelAt(image, ui.windowPixelOf({2, 3, 3}));
    QVERIFY2(std::abs(bottom.red() - bottom.green()) <= 2 && bottom.red() < kBackground - 40,
             qPrintable(describe(bottom)));
    // From below at a slant the sides show, faintly: close to what lies behind them.
    ui.scene()->mouse()->moved(1, QPoint(0, 0), QPoint(0, 0), QPoint(0, 130)); // pitch -50+...
    ui.camera()->resetViewFront();
    ui.scene()->mouse()->moved(1, QPoint(0, 0), QPoint(0, 0), QPoint(0, -60)); // pitch -150
    image = ui.grab();
    ui.saveScreenshot(QStringLiteral("view-base-from-below-slanted"));
}

void TstSceneView::outsideTheVolumeIsRed()
{
    UiHarness ui;
    QVERIFY(ui.waitForFrames());
    Workspace *ws = ui.workspace();
    // 10 mm beyond the plate's +x edge (32.51 mm from the centre).
    ui.app()->open(writeBoxFile(QStringLiteral("wide.stl"), {-10, -10, 0}, {10, 10, 10}));
    ws->transform()->startNewTransform(DoItem::DO_T_TRANSLATE);
    ws->transform()->setSelectedModelTranslate(32.51f, 0, 0);
    ws->scene()->deselectAll(true);
    ui.camera()->resetViewTop();
    const QImage image = ui.grab();
    ui.saveScreenshot(QStringLiteral("view-outside"));
    const QColor outside = pixelAt(image, ui.windowPixelOf({38, 0, 10}));
    const QColor inside = pixelAt(image, ui.windowPixelOf({28, 0, 10}));
    QCOMPARE(outside.red(), 255);
    QVERIFY2(inside.red() < 200, qPrintable(describe(inside)));
    QCOMPARE(outside.green(), inside.green()); // only red changes
}

void TstSceneView::drop(UiHarness &ui, const QList<QUrl> &urls)
{
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint at(ui.window->width() / 2, ui.window->height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(ui.window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent dropEvent(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(ui.window, &dropEvent);
}

void TstSceneView::dropOnEmptyWorkspace()
{
    UiHarness ui;
    QVERIFY(ui.waitForFrames());
    Workspace *ws = ui.workspace();
    LogCapture log;
    // Off centre on purpose: without a layout it stays where loading put it, on the centre.
    drop(ui, {writeBoxFile(QStringLiteral("one.stl"), {40, 40, 0}, {50, 70, 10})});
    QCOMPARE(ws->scene()->modelSize(), 1);
    QVERIFY(log.contains(QStringLiteral("Dropped file:")));
    QVERIFY(!log.contains(QStringLiteral("autoLayoutModel")));
    const Model *m = ws->scene()->objects().back();
    QVERIFY(std::fabs(m->center.x()) < 1e-3f && std::fabs(m->center.y()) < 1e-3f);
    ui.saveScreenshot(QStringLiteral("view-dropped"));
}

void TstSceneView::dropOnWorkspaceWithModel()
{
    UiHarness ui;
    QVERIFY(ui.waitForFrames());
    Workspace *ws = ui.workspace();
    ui.app()->open(writeBoxFile(QStringLiteral("first.stl"), {0, 0, 0}, {20, 20, 10}));
    LogCapture log;
    drop(ui, {writeBoxFile(QStringLiteral("second.stl"), {0, 0, 0}, {20, 20, 10})});
    QCOMPARE(ws->scene()->modelSize(), 2);
    QVERIFY(log.contains(QStringLiteral("autoLayoutModel")));
    // Laid out: the two no longer overlap.
    const Model *a = ws->scene()->objects()[1], *b = ws->scene()->objects()[2];
    QVERIFY(a->bboxMax.x() <= b->bboxMin.x() || b->bboxMax.x() <= a->bboxMin.x() ||
            a->bboxMax.y() <= b->bboxMin.y() || b->bboxMax.y() <= a->bboxMin.y());
}

void TstSceneView::dropRefusesWhatIsNotALocalFile()
{
    UiHarness ui;
    QVERIFY(ui.waitForFrames());
    Workspace *ws = ui.workspace();
    QSignalSpy alerts(ws->scene(), &SceneObjects::showAlert);
    LogCapture log;
    drop(ui, {QUrl(QStringLiteral("http://127.0.0.1:9/model.stl")),
              QUrl::fromLocalFile(QDir::currentPath())});
    QCOMPARE(ws->scene()->modelSize(), 0);
    QCOMPARE(log.count(QStringLiteral("not a local file, refused")), 2);
    QCOMPARE(alerts.count(), 0);
}

void TstSceneView::commandLineFilesAreLaidOut()
{
    const QUrl a = writeBoxFile(QStringLiteral("left.stl"), {0, 0, 0}, {20, 30, 10});
    const QUrl b = writeBoxFile(QStringLiteral("right.stl"), {0, 0, 0}, {20, 30, 10});
    UiHarness ui({QStringLiteral("quorslice"), a.toLocalFile(), b.toString()});
    QCOMPARE(ui.result, 0);
    QVERIFY(ui.waitForFrames());
    Workspace *ws = ui.workspace();
    QCOMPARE(ws->scene()->modelSize(), 2);
    // The files loaded before the first frame; the plate joined in front of them, once.
    QCOMPARE(countType(*ws, Model::TYPE_PLATFORM_BOTTOM), 1);
    QCOMPARE(ws->scene()->objects().front()->type, int(Model::TYPE_PLATFORM_BOTTOM));
    const Model *m1 = ws->scene()->objects()[1], *m2 = ws->scene()->objects()[2];
    QCOMPARE(m1->type, int(Model::TYPE_NORMAL));
    // Side by side: apart along one axis, on the plate.
    QVERIFY(m1->bboxMax.x() <= m2->bboxMin.x() || m2->bboxMax.x() <= m1->bboxMin.x() ||
            m1->bboxMax.y() <= m2->bboxMin.y() || m2->bboxMax.y() <= m1->bboxMin.y());
    for (const Model *m : {m1, m2}) {
        QVERIFY(m->bboxMin.x() >= -32.51f && m->bboxMax.x() <= 32.51f);
        QVERIFY(m->bboxMin.y() >= -58.0f && m->bboxMax.y() <= 58.0f);
    }
    ws->scene()->deselectAll(true);
    ui.camera()->resetViewTop();
    const QImage image = ui.grab();
    ui.saveScreenshot(QStringLiteral("view-two-files"));
    // Both are drawn where they are.
    for (const Model *m : {m1, m2}) {
        const QColor c =
            pixelAt(image, ui.windowPixelOf((m->bboxMin + m->bboxMax) / 2.0f + QVector3D(0, 0, 5)));
        QVERIFY2(c.red() < 200 && std::abs(c.red() - c.blue()) <= 2, qPrintable(describe(c)));
    }
}

void TstSceneView::missingFileOnCommandLine()
{
    const QUrl good = writeBoxFile(QStringLiteral("good.stl"), {0, 0, 0}, {10, 10, 10});
    UiHarness ui(
        {QStringLiteral("quorslice"), QStringLiteral("does-not-exist.stl"), good.toLocalFile()});
    QCOMPARE(ui.result, 0);
    QVERIFY(ui.waitForFrames());
    // The failed one shows the alert; the other loads and the program runs on.
    auto *alert = ui.window->findChild<QObject *>(QStringLiteral("alertDialog"));
    QVERIFY(alert);
    QTRY_VERIFY(alert->property("visible").toBool());
    QCOMPARE(alert->property("text").toString(), QStringLiteral("Load model failed!"));
    QMetaObject::invokeMethod(alert, "close");
    QCOMPARE(ui.workspace()->scene()->modelSize(), 1);
    QVERIFY(ui.waitForFrames());
}

void TstSceneView::noSceneItem()
{
    // A main document without the scene item: the program ends with -2 and says why.
    const QString bare = QDir::currentPath() + QStringLiteral("/bare.qml");
    writeFile(bare, "import QtQuick 2.9\nimport QtQuick.Window 2.3\nimport Quor3D 1.0\n"
                    "Window {}\n");
    {
        LogCapture log;
        UiHarness ui({QStringLiteral("quorslice")}, QUrl::fromLocalFile(bare));
        QCOMPARE(ui.result, -2);
        QVERIFY(log.contains(QStringLiteral("no QuorScene object found")));
    }
    // One that does not load at all: -1.
    const QString broken = QDir::currentPath() + QStringLiteral("/broken.qml");
    writeFile(broken, "import QtQuick 2.9\nItem { this is not a document\n");
    UiHarness ui({QStringLiteral("quorslice")}, QUrl::fromLocalFile(broken));
    QCOMPARE(ui.result, -1);
}

void TstSceneView::uploadsOncePerChange()
{
    UiHarness ui;
    QVERIFY(ui.waitForFrames());
    Workspace *ws = ui.workspace();
    ui.app()->open(writeBoxFile(QStringLiteral("box.stl"), {0, 0, 0}, {20, 20, 10}));
    QVERIFY(ui.waitForFrames(3));
    SceneRenderer::Counters &counters = SceneRenderer::counters();
    const int uploads = counters.uploads;
    const int frames = counters.frames;
    // Many frames of an unchanged scene, the camera turning: no upload.
    for (int i = 0; i < 20; ++i) {
        ui.scene()->mouse()->moved(1, QPoint(0, 0), QPoint(0, 0), QPoint(4, 0));
        QVERIFY(ui.waitForFrames(1));
    }
    QVERIFY(counters.frames - frames >= 20);
    QCOMPARE(counters.uploads - uploads, 0);
    // Moving the model changes no mesh either; a copy's new object uploads once.
    ws->transform()->setSelectedModelTranslate(1, 0, 0);
    QVERIFY(ui.waitForFrames(3));
    QCOMPARE(counters.uploads - uploads, 0);
    ws->scene()->copyModel(ws->scene()->getSelectedModelIndex());
    QVERIFY(ui.waitForFrames(5));
    QCOMPARE(counters.uploads - uploads, 1);
    // The layer preview changes what is drawn: one upload per object per layer shown.
    QVERIFY(ws->layers()->setShowSliceEnable(true));
    QVERIFY(ui.waitForFrames(3));
    const int afterPreview = counters.uploads;
    QCOMPARE(afterPreview - uploads, 1 + 3); // plate, model, copy
    ws->layers()->setCurrentLayer(50);
    QVERIFY(ui.waitForFrames(3));
    QCOMPARE(counters.uploads - afterPreview, 3);
    ui.saveScreenshot(QStringLiteral("view-preview-layer-50"));
}

void TstSceneView::deletedBuffersFreedOnRenderThread()
{
    UiHarness ui;
    QVERIFY(ui.waitForFrames());
    Workspace *ws = ui.workspace();
    ui.app()->open(writeBoxFile(QStringLiteral("box.stl"), {0, 0, 0}, {20, 20, 10}));
    QVERIFY(ui.waitForFrames(3));
    SceneRenderer::Counters &counters = SceneRenderer::counters();
    const int deleted = counters.buffersDeleted;
    LogCapture log;
    ws->scene()->deleteSelectedModel();
    QCOMPARE(ws->scene()->modelSize(), 0);
    // Nothing is deleted on this thread; the next frame frees both buffers.
    QCOMPARE(counters.buffersDeleted - deleted, 0);
    QVERIFY(ui.waitForFrames(3));
    QTRY_COMPARE(counters.buffersDeleted - deleted, 2);
    QVERIFY(counters.deletingThread.load() != QThread::currentThread());
    QCOMPARE(log.count(QStringLiteral("delete buffer datas")), 1);
}

void TstSceneView::drawingExceptionEndsTheFrame()
{
    UiHarness ui;
    QVERIFY(ui.waitForFrames());
    ui.app()->open(writeBoxFile(QStringLiteral("box.stl"), {0, 0, 0}, {20, 20, 10}));
    QVERIFY(ui.waitForFrames(3));
    LogCapture log;
    SceneRenderer::setDrawHook(&throwWhileDrawing);
    const bool drawn = ui.waitForFrames(3);
    SceneRenderer::setDrawHook(nullptr);
    QVERIFY(drawn); // frames go on
    QVERIFY(log.contains(QStringLiteral("draw all model exception")));
    QVERIFY(log.contains(QStringLiteral("drawing failed on purpose")));
    // The frame after it draws everything again.
    QVERIFY(ui.waitForFrames(2));
    const QImage image = ui.grab();
    const QColor top = pixelAt(image, ui.windowPixelOf({0, 0, 10}));
    QVERIFY2(top.blue() > top.red() + 40, qPrintable(describe(top)));
}

void TstSceneView::collapsedViewDrawsNothing()
{
    UiHarness ui;
    QVERIFY(ui.waitForFrames());
    // A view collapsed to no width: the window still shows frames, the renderer skips them
    // instead of dividing by a zero size.
    QVERIFY(QQmlProperty(ui.scene(), QStringLiteral("anchors.fill")).reset());
    ui.scene()->setWidth(0);
    QVERIFY(ui.waitForFrames(2));
    QCOMPARE(ui.camera()->viewSize().width(), 0);
    const int painted = SceneRenderer::counters().frames;
    QVERIFY(ui.waitForFrames(3));
    QCOMPARE(SceneRenderer::counters().frames, painted);
    // Given its size back, it draws again.
    ui.scene()->setWidth(ui.window->width());
    QVERIFY(ui.waitForFrames(3));
    QVERIFY(SceneRenderer::counters().frames > painted);
}

QUOR_WINDOW_TEST_MAIN(TstSceneView)
#include "tst_sceneview.moc"
