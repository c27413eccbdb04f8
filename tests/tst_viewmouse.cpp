// The mouse over the 3D view through the view's mouse rules, with the view's real picker and
// a real viewport size, but no window: what clicks select, what drags move or turn, and the
// manual support clicks.
#include "ConfigTestEnv.h"
#include "LogCapture.h"
#include "SceneMeshes.h"
#include "ViewParts.h"

#include "config/QuorConfig.h"
#include "cws/JobCheck.h"
#include "view/CameraMath.h"
#include "view/ScenePicker.h"
#include "workspace/QuorApp.h"
#include "workspace/SceneObjects.h"
#include "workspace/SupportController.h"
#include "workspace/UndoController.h"
#include "workspace/Workspace.h"

#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <memory>

using namespace SceneMeshes;

namespace {

const QSize kViewport(800, 600);

} // namespace

class TstViewMouse : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void clickSelects_data();
    void clickSelects();
    void dragOnModelMovesItOnThePlate();
    void dragElsewhereTurnsTheCamera_data();
    void dragElsewhereTurnsTheCamera();
    void rightDragPans();
    void wheelSteps_data();
    void wheelSteps();
    void ignoredClicks();
    void noViewportNoPick();
    void manualSingleSupports();
    void manualMultiPointSupport();
    void manualMultiPointThatCannotBeBuilt();
    void volumeFollowsPrinter_data();
    void volumeFollowsPrinter();

private:
    // A press, a release and, as the view's click rule allows, the click.
    void click(const QPoint &at, bool shift = false, uint button = 1)
    {
        m_view->mouse.pressed(int(button), at);
        m_view->mouse.released(int(button), at);
        m_view->mouse.clicked(int(button), at, shift);
    }
    // Where a point in mm shows in the view.
    QPoint pixelOf(const QVector3D &mm) const
    {
        const CameraState &c = m_view->camera.state();
        const QVector3D ndc =
            (CameraMath::projectionMatrix(kViewport, c.panX, c.panY) * CameraMath::viewMatrix(c) *
             CameraMath::modelScaleMatrix(m_view->camera.volume()))
                .map(mm);
        return QPoint(qRound((ndc.x() + 1.0f) / 2.0f * kViewport.width()),
                      qRound((1.0f - ndc.y()) / 2.0f * kViewport.height()));
    }
    Model *add(Model *m)
    {
        m_ws->scene()->addModel(m);
        return m;
    }

    std::unique_ptr<ConfigTestEnv> m_env;
    std::unique_ptr<QuorApp> m_app;
    std::unique_ptr<QuorConfig> m_config;
    std::unique_ptr<Workspace> m_ws;
    std::unique_ptr<ViewParts> m_view;
    Model *m_model = nullptr;
};

void TstViewMouse::init()
{
    m_env = std::make_unique<ConfigTestEnv>();
    m_app = std::make_unique<QuorApp>();
    m_config = std::make_unique<QuorConfig>();
    m_ws = std::make_unique<Workspace>(*m_config);
    m_app->setWorkspace(m_ws.get());
    m_view = std::make_unique<ViewParts>(*m_ws);
    m_view->camera.setViewSize(kViewport);
    m_ws->scene()->ensurePlatformBottom();
    m_view->camera.resetViewTop(); // straight down: +y to the right, +x down the screen
    // A 20 x 20 x 10 mm box floating 5 mm over the plate centre.
    m_model = add(makeBox({-10, -10, 5}, {10, 10, 15}));
    m_ws->scene()->selectModel(m_model);
    m_ws->scene()->deselectAll(true);
    QCOMPARE(m_ws->scene()->status(), SceneObjects::MODEL_LOADED);
}

void TstViewMouse::cleanup()
{
    m_view.reset();
    m_ws.reset();
    m_config.reset();
    m_app.reset();
    m_env.reset();
}

void TstViewMouse::clickSelects_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("selectedType"); // -1: nothing selected afterwards
    QTest::newRow("empty space") << "empty" << -1;
    QTest::newRow("model") << "model" << int(Model::TYPE_NORMAL);
    QTest::newRow("support") << "support" << int(Model::TYPE_SUPPORT);
    QTest::newRow("plate") << "plate" << -1;
    QTest::newRow("linker") << "linker" << -1;
}

void TstViewMouse::clickSelects()
{
    QFETCH(QString, target);
    QFETCH(int, selectedType);
    add(makeBox({20, 20, 0}, {22, 22, 12}, Model::TYPE_SUPPORT));
    add(makeBox({-25, 20, 0}, {-21, 24, 3}, Model::TYPE_SUPPORT_LINKER));
    const QMap<QString, QVector3D> where = {{"empty", QVector3D(0, 90, 0)},
                                            {"model", QVector3D(0, 0, 15)},
                                            {"support", QVector3D(21, 21, 12)},
                                            {"plate", QVector3D(25, -40, 0)},
                                            {"linker", QVector3D(-23, 22, 3)}};
    // Something else is selected first, so that clearing shows.
    m_ws->scene()->selectModel(target == QLatin1String("model") ? m_ws->scene()->objects()[0]
                                                                : m_model);
    QSignalSpy selection(m_ws->scene(), &SceneObjects::modelSelectionChanged);
    click(pixelOf(where[target]));
    QCOMPARE(selection.count(), 1);
    const Model *selected = m_ws->scene()->getSelectedModel();
    if (selectedType < 0) {
        QCOMPARE(selection.first().first().toInt(), -1);
        QVERIFY(!selected);
    } else {
        QVERIFY(selected);
        QCOMPARE(selected->type, selectedType);
        QCOMPARE(selection.first().first().toInt(), m_ws->scene()->getSelectedModelIndex());
    }
}

void TstViewMouse::dragOnModelMovesItOnThePlate()
{
    const size_t recordsBefore = m_ws->undoList().records().size();
    const QVector3D lo = m_model->bboxMin, hi = m_model->bboxMax;
    const QPoint start = pixelOf(QVector3D(0, 0, 15));
    const int yawBefore = m_view->camera.state().yawDeg;
    m_view->mouse.pressed(1, start);
    QCOMPARE(m_view->mouse.dragState(), 1);
    QPoint previous = start;
    // 40 pixels right and 20 down in four steps: 15 mm along +y and 7.5 mm along +x, since a
    // pixel is 150 mm / 400 here (the height of H310, the first printer, is the longest side).
    for (int i = 1; i <= 4; ++i) {
        const QPoint to = start + QPoint(10 * i, 5 * i);
        m_view->mouse.moved(1, start, previous, to);
        previous = to;
    }
    QCOMPARE(m_view->mouse.dragState(), 2);
    m_view->mouse.released(1, previous);
    QCOMPARE(m_view->mouse.dragState(), 0);
    m_model->updateGeometry(false);
    QVERIFY(std::fabs(m_model->bboxMin.y() - lo.y() - 15.0f) < 1e-3f);
    QVERIFY(std::fabs(m_model->bboxMin.x() - lo.x() - 7.5f) < 1e-3f);
    QCOMPARE(m_model->bboxMin.z(), lo.z()); // never up or down
    QCOMPARE(m_model->bboxMax.z(), hi.z());
    QVERIFY(m_model->selected);
    QCOMPARE(m_view->camera.state().yawDeg, yawBefore); // the camera stays
    // One translate record, and one undo takes the whole drag back.
    QCOMPARE(m_ws->undoList().records().size(), recordsBefore + 1);
    QCOMPARE(int(m_ws->undoList().records().back().type), int(DoItem::DO_T_TRANSLATE));
    m_ws->undo()->undo();
    m_model->updateGeometry(false);
    QVERIFY((m_model->bboxMin - lo).length() < 1e-4f);
}

void TstViewMouse::dragElsewhereTurnsTheCamera_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("manual");
    QTest::newRow("empty space") << "empty" << false;
    QTest::newRow("support") << "support" << false;
    QTest::newRow("model in manual mode") << "model" << true;
}

void TstViewMouse::dragElsewhereTurnsTheCamera()
{
    QFETCH(QString, start);
    QFETCH(bool, manual);
    Model *support = add(makeBox({20, 20, 0}, {22, 22, 12}, Model::TYPE_SUPPORT));
    m_ws->supports()->setManualAddingSupport(manual);
    const QPoint from = start == QLatin1String("empty")     ? QPoint(20, 20)
                        : start == QLatin1String("support") ? pixelOf({21, 21, 12})
                                                            : pixelOf({0, 0, 15});
    const QVector3D modelBefore = m_model->bboxMin;
    const QVector3D supportBefore = support->bboxMin;
    m_view->mouse.pressed(1, from);
    // Two moves of 3 pixels right and 7 down: the yaw truncates after each half-degree sum.
    QSignalSpy changed(&m_view->camera, &SceneCamera::changed);
    m_view->mouse.moved(1, from, from, from + QPoint(3, 7));
    m_view->mouse.moved(1, from, from + QPoint(3, 7), from + QPoint(6, 14));
    QCOMPARE(changed.count(), 2);
    QCOMPARE(m_view->camera.state().yawDeg, -86); // -90 + 1.5 -> -88, + 1.5 -> -86
    QCOMPARE(m_view->camera.state().pitchDeg, 14);
    m_view->mouse.released(1, QPoint(0, 0));
    m_model->updateGeometry(false);
    support->updateGeometry(false);
    QCOMPARE(m_model->bboxMin, modelBefore);
    QCOMPARE(support->bboxMin, supportBefore);
}

void TstViewMouse::rightDragPans()
{
    m_view->mouse.pressed(int(2), QPoint(0, 300));
    // Across the whole width: two device units, one view width.
    m_view->mouse.moved(2, QPoint(0, 300), QPoint(0, 300), QPoint(800, 300));
    QCOMPARE(m_view->camera.state().panX, 2.0f);
    // Down by half the height: one unit down.
    m_view->mouse.moved(2, QPoint(0, 300), QPoint(800, 300), QPoint(800, 600));
    QCOMPARE(m_view->camera.state().panY, -1.0f);
    QCOMPARE(m_view->camera.state().yawDeg, -90);
    // The third button does nothing.
    m_view->mouse.moved(3, QPoint(0, 0), QPoint(0, 0), QPoint(100, 100));
    QCOMPARE(m_view->camera.state().panX, 2.0f);
    QCOMPARE(m_view->camera.state().yawDeg, -90);
}

void TstViewMouse::wheelSteps_data()
{
    QTest::addColumn<int>("delta");
    QTest::addColumn<float>("zoom");
    QTest::newRow("+120") << 120 << 1.1f;
    QTest::newRow("+240: still one step") << 240 << 1.1f;
    QTest::newRow("-120") << -120 << 1.0f / 1.1f;
    QTest::newRow("-360") << -360 << 1.0f / 1.1f;
    QTest::newRow("+60: less than a notch") << 60 << 1.0f;
}

void TstViewMouse::wheelSteps()
{
    QFETCH(int, delta);
    QFETCH(float, zoom);
    m_view->mouse.wheel(QPoint(0, delta));
    QVERIFY(std::fabs(m_view->camera.state().zoom - zoom) < 1e-6f);
}

void TstViewMouse::ignoredClicks()
{
    const QPoint onModel = pixelOf({0, 0, 15});
    // Right clicks select nothing.
    click(onModel, false, 2);
    QVERIFY(!m_ws->scene()->getSelectedModel());
    // While slicing, left clicks neither.
    m_ws->scene()->setModelStatus(SceneObjects::MODEL_SLICING);
    QSignalSpy selection(m_ws->scene(), &SceneObjects::modelSelectionChanged);
    click(onModel);
    QCOMPARE(selection.count(), 0);
    QVERIFY(!m_ws->scene()->getSelectedModel());
    // Nor may a drag start there.
    m_view->mouse.pressed(1, onModel);
    QCOMPARE(m_view->mouse.dragState(), 0);
}

void TstViewMouse::noViewportNoPick()
{
    // A collapsed view: no pick and no pan, and nothing divides by zero.
    m_view->camera.setViewSize(QSize(0, 0));
    click(QPoint(0, 0));
    QVERIFY(!m_ws->scene()->getSelectedModel());
    QVERIFY(m_view->picker.pickObjects(10, 10, {Model::TYPE_NORMAL}).empty());
    m_view->mouse.moved(2, QPoint(0, 0), QPoint(0, 0), QPoint(10, 10));
    QCOMPARE(m_view->camera.state().panX, 0.0f);
}

void TstViewMouse::manualSingleSupports()
{
    Model *flat = add(makeBox({-25, 20, 0}, {-15, 30, 0.05f})); // its top is 0.05 mm high
    m_ws->supports()->setManualAddingSupport(true);
    const QPoint top = pixelOf({3, -4, 15});
    // The first click on a model only selects it.
    click(top);
    QVERIFY(m_model->selected);
    QCOMPARE(countType(*m_ws, Model::TYPE_SUPPORT), 0);
    // The next one puts a pillar there.
    QSignalSpy status(m_ws->scene(), &SceneObjects::modelStatusChanged);
    click(top);
    QCOMPARE(countType(*m_ws, Model::TYPE_SUPPORT), 1);
    QCOMPARE(m_model->supports.size(), size_t(1));
    QVERIFY(status.count() >= 1); // re-sent so the panel sees the supports
    QCOMPARE(status.last().at(2).toBool(), true);
    // A second pillar 4 mm away gets a linker to the first.
    click(pixelOf({3, 0, 15}));
    QCOMPARE(countType(*m_ws, Model::TYPE_SUPPORT), 2);
    QCOMPARE(countType(*m_ws, Model::TYPE_SUPPORT_LINKER), 1);
    // Too low: nothing.
    click(pixelOf({-20, 25, 0.05f})); // selects the flat model
    QVERIFY(flat->selected);
    LogCapture log;
    click(pixelOf({-20, 25, 0.05f}));
    QVERIFY(log.contains(QStringLiteral("support is too low, not create")));
    QCOMPARE(countType(*m_ws, Model::TYPE_SUPPORT), 2);
    // Empty space clears the selection.
    click(QPoint(5, 5));
    QVERIFY(!m_ws->scene()->getSelectedModel());
    // Leaving manual mode: clicks select again.
    m_ws->supports()->setManualAddingSupport(false);
    click(top);
    QCOMPARE(countType(*m_ws, Model::TYPE_SUPPORT), 2);
    QVERIFY(m_model->selected);
}

void TstViewMouse::manualMultiPointSupport()
{
    Model *other = add(makeBox({20, -30, 5}, {30, -20, 15}));
    m_ws->supports()->setManualAddingSupport(true);
    click(pixelOf({0, 0, 15})); // select
    LogCapture log;
    // Two points collected with Shift, one on another model skipped.
    click(pixelOf({6, -3, 15}), true);
    click(pixelOf({25, -25, 15}), true);
    QVERIFY(log.contains(QStringLiteral("skip other model's point")));
    QVERIFY(!other->selected);
    click(pixelOf({6, 3, 15}), true);
    QCOMPARE(countType(*m_ws, Model::TYPE_MULTI_POINT_SUPPORT), 0);
    // The click without Shift adds its own point, here on the plate beside the model, where
    // the trunk stands: one support of all three.
    click(pixelOf({13, 0, 0}));
    QCOMPARE(countType(*m_ws, Model::TYPE_MULTI_POINT_SUPPORT), 1);
    QVERIFY(log.contains(QStringLiteral("create multi point support")));
    QCOMPARE(countType(*m_ws, Model::TYPE_SUPPORT), 0);
    const Model *multi = m_ws->scene()->objects().back();
    QCOMPARE(multi->type, int(Model::TYPE_MULTI_POINT_SUPPORT));
    QCOMPARE(multi->parent, m_model);
    // The next click starts afresh: a single pillar.
    click(pixelOf({4, 4, 15}));
    QCOMPARE(countType(*m_ws, Model::TYPE_SUPPORT), 1);
}

void TstViewMouse::manualMultiPointThatCannotBeBuilt()
{
    m_ws->supports()->setManualAddingSupport(true);
    click(pixelOf({0, 0, 15})); // select
    // Two points 18 mm apart on the top, then the plate far away: the lowest point would be
    // the foot, and the struts cannot reach down to it.
    click(pixelOf({-9, -9, 15}), true);
    click(pixelOf({9, 9, 15}), true);
    LogCapture log;
    click(pixelOf({-30, 40, 0}));
    QVERIFY(log.contains(QStringLiteral("create multi points support failed")));
    QCOMPARE(countType(*m_ws, Model::TYPE_MULTI_POINT_SUPPORT), 0);
    // The scene is as before and the next click works normally.
    click(pixelOf({0, 0, 15}));
    QCOMPARE(countType(*m_ws, Model::TYPE_SUPPORT), 1);
}

void TstViewMouse::volumeFollowsPrinter_data()
{
    QTest::addColumn<QString>("printer");
    QTest::addColumn<QVector3D>("volumeMm");
    // The catalogue's entries: K200 is 130 mm high; K200C takes K200's plate and is 150 mm high,
    // as is H310, the first printer.
    QTest::newRow("K200") << "K200" << QVector3D(65.02f, 116, 130);
    QTest::newRow("K200C") << "K200C" << QVector3D(65.02f, 116, 150);
    QTest::newRow("H310") << "H310" << QVector3D(65.02f, 116, 150);
}

// The view draws and picks in the volume a job is checked against, after a printer change too.
void TstViewMouse::volumeFollowsPrinter()
{
    QFETCH(QString, printer);
    QFETCH(QVector3D, volumeMm);
    QSignalSpy repaint(&m_view->camera, &SceneCamera::changed);
    m_config->setModelIndex(m_config->getAllModelsModel().indexOf(printer));
    const CameraMath::Volume &v = m_view->camera.volume();
    QCOMPARE(QVector3D(v.xMm, v.yMm, v.zMm), volumeMm);
    // H310, the first printer, is drawn from the start: only another volume repaints.
    QCOMPARE(repaint.isEmpty(), volumeMm == QVector3D(65.02f, 116, 150));
    // A tower 140 mm high fits only the 150 mm printers.
    add(makeBox({-5, -5, 0}, {5, 5, 140}));
    const CWS::JobCheck check =
        CWS::checkJob(m_ws->scene()->objects(), m_config->currentPrinterModel(), 0.05f);
    QCOMPARE(check.outsideVolume(), volumeMm.z() < 140.0f);
}

QTEST_GUILESS_MAIN(TstViewMouse)
#include "tst_viewmouse.moc"
