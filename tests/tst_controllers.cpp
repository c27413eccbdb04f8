// The workspace's parts as the documents bind to them: properties that follow the scene and
// announce it, and the steps a transform page opens and edits.
#include "SceneMeshes.h"
#include "ScratchConfig.h"

#include "cws/IslandScan.h"
#include "cws/JobSnapshot.h"
#include "model/DoItem.h"
#include "model/MultiPointSupport.h"
#include "model/Support.h"
#include "workspace/IslandController.h"
#include "workspace/IslandRegionPreview.h"
#include "workspace/LayerPreview.h"
#include "workspace/SceneObjects.h"
#include "workspace/SupportController.h"
#include "workspace/TransformController.h"
#include "workspace/UndoController.h"
#include "workspace/Workspace.h"

#include <QSignalSpy>
#include <QtTest>

using namespace SceneMeshes;

class TstControllers : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void transformPageEditsItsStep_data();
    void transformPageEditsItsStep();
    void pageStepFollowsTheSelection();
    void endLeavesAnotherPagesStep();
    void sceneRowsAndSelectionAreAnnounced();
    void bottomBarFiguresFollow();
    void undoAvailabilityIsAnnounced();
    void snapshotHoldsWhatTheSceneHolds();
    void islandRegionsFollowThePreview();

private:
    Model *addSelectedBox()
    {
        Model *box = makeBox({-5, -5, 0}, {5, 5, 10}); // 10 x 10 x 10 mm, 1 mL
        m_ws->scene()->addModel(box);
        m_ws->scene()->selectModel(box);
        return box;
    }
    std::unique_ptr<ScratchConfig> m_scratch;
    std::unique_ptr<Workspace> m_ws;
};

void TstControllers::init()
{
    m_scratch = std::make_unique<ScratchConfig>();
    m_ws = std::make_unique<Workspace>(m_scratch->config);
}

void TstControllers::cleanup()
{
    m_ws.reset();
    m_scratch.reset();
}

void TstControllers::transformPageEditsItsStep_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QVector3D>("values");
    QTest::addColumn<double>("identity");
    QTest::addColumn<QVector3D>("sizeMm"); // of the 10 mm box afterwards
    QTest::addColumn<QVector3D>("centreMm");
    // Moving keeps the size and shifts the centre by the values.
    QTest::newRow("move") << int(DoItem::DO_T_TRANSLATE) << QVector3D(3, -2, 4) << 0.0
                          << QVector3D(10, 10, 10) << QVector3D(3, -2, 9);
    // Scaling about the origin: each side times its factor, the base stays on z = 0.
    QTest::newRow("scale") << int(DoItem::DO_T_SCALE) << QVector3D(2, 1, 0.5f) << 1.0
                           << QVector3D(20, 10, 5) << QVector3D(0, 0, 2.5f);
    // A quarter turn about z leaves a square box as it was, about its own centre.
    QTest::newRow("rotate") << int(DoItem::DO_T_ROTATE) << QVector3D(0, 0, 90) << 0.0
                            << QVector3D(10, 10, 10) << QVector3D(0, 0, 5);
}

void TstControllers::transformPageEditsItsStep()
{
    QFETCH(int, kind);
    QFETCH(QVector3D, values);
    QFETCH(double, identity);
    QFETCH(QVector3D, sizeMm);
    QFETCH(QVector3D, centreMm);
    Model *box = addSelectedBox();
    TransformController *t = m_ws->transform();
    QSignalSpy mode(t, &TransformController::modeChanged);
    QSignalSpy shown(t, &TransformController::valuesChanged);
    QSignalSpy data(m_ws->scene(), &SceneObjects::quorModelDataChanged);
    const size_t records = m_ws->undoList().records().size();

    t->begin(kind);
    QCOMPARE(mode.count(), 1);
    QCOMPARE(t->mode(), kind);
    // The page shows identity values; nothing has moved yet.
    QCOMPARE(shown.count(), 1);
    QCOMPARE(t->x(), identity);
    QCOMPARE(t->z(), identity);
    QCOMPARE(data.count(), 0);
    QCOMPARE(m_ws->undoList().records().size(), records + 1);

    t->setValues(values.x(), values.y(), values.z());
    QCOMPARE(shown.count(), 2);
    QCOMPARE(data.count(), 1);
    box->updateGeometry(false);
    QVERIFY(qFuzzyCompare(box->bboxMax - box->bboxMin, sizeMm));
    QVERIFY((box->center - centreMm).length() < 1e-4f);
    // The same values again are no change: no signal, no repaint.
    t->setValues(values.x(), values.y(), values.z());
    QCOMPARE(shown.count(), 2);
    QCOMPARE(data.count(), 1);
    // Reset puts the step back at identity; it is still the one step.
    t->reset();
    QCOMPARE(t->y(), identity);
    box->updateGeometry(false);
    QVERIFY((box->center - QVector3D(0, 0, 5)).length() < 1e-4f);
    QCOMPARE(m_ws->undoList().records().size(), records + 1);
}

void TstControllers::pageStepFollowsTheSelection()
{
    Model *first = addSelectedBox();
    Model *second = makeBox({20, 0, 0}, {30, 10, 10});
    m_ws->scene()->addModel(second);
    TransformController *t = m_ws->transform();
    t->begin(DoItem::DO_T_TRANSLATE);
    t->setZ(5);
    // Another selection gets a step of its own, shown at identity again.
    QSignalSpy begun(t, &TransformController::begun);
    m_ws->scene()->selectModel(second);
    QCOMPARE(begun.count(), 1);
    QCOMPARE(t->z(), 0.0);
    t->setZ(2);
    first->updateGeometry(false);
    second->updateGeometry(false);
    QCOMPARE(first->bboxMin.z(), 5.0f);
    QCOMPARE(second->bboxMin.z(), 2.0f);
    // Without a page, a selection opens nothing.
    t->end(DoItem::DO_T_TRANSLATE);
    const size_t records = m_ws->undoList().records().size();
    m_ws->scene()->selectModel(first);
    QCOMPARE(begun.count(), 1);
    QCOMPARE(m_ws->undoList().records().size(), records);
}

void TstControllers::endLeavesAnotherPagesStep()
{
    addSelectedBox();
    TransformController *t = m_ws->transform();
    // Switching pages may show the new one before the old one hides.
    t->begin(DoItem::DO_T_SCALE);
    t->end(DoItem::DO_T_TRANSLATE);
    QCOMPARE(t->mode(), int(DoItem::DO_T_SCALE));
    t->end(DoItem::DO_T_SCALE);
    QCOMPARE(t->mode(), -1);
}

void TstControllers::sceneRowsAndSelectionAreAnnounced()
{
    SceneObjects *scene = m_ws->scene();
    QSignalSpy inserted(scene, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(scene, &QAbstractItemModel::rowsRemoved);
    QSignalSpy selection(scene, &SceneObjects::selectionChanged);
    QSignalSpy count(scene, &SceneObjects::countChanged);
    scene->ensurePlatformBottom();
    Model *box = addSelectedBox();
    QCOMPARE(inserted.count(), 2);
    QCOMPARE(scene->rowCount(), 2);
    QCOMPARE(count.count(), 1); // the plate does not count
    // Row 1, after the plate at row 0.
    QCOMPARE(scene->property("selectedIndex").toInt(), 1);
    QVERIFY(selection.count() >= 1);
    QCOMPARE(scene->data(scene->index(1), SceneObjects::SelectedRole).toBool(), true);
    QCOMPARE(scene->data(scene->index(1), SceneObjects::TypeRole).toInt(), 0);
    QCOMPARE(scene->property("selectedSizeMm").value<QVector3D>(), QVector3D(10, 10, 10));
    selection.clear();
    QVERIFY(scene->deleteModel(box));
    QCOMPARE(removed.count(), 1);
    QVERIFY(selection.count() >= 1);
    QCOMPARE(scene->property("selectedIndex").toInt(), -1);
    QCOMPARE(scene->property("modelCount").toInt(), 0);
}

void TstControllers::bottomBarFiguresFollow()
{
    LayerPreview *preview = m_ws->layers();
    QSignalSpy layers(preview, &LayerPreview::sceneLayerCountChanged);
    QSignalSpy volume(m_ws->scene(), &SceneObjects::quorModelDataChanged);
    addSelectedBox();
    QVERIFY(layers.count() >= 1);
    QVERIFY(volume.count() >= 1);
    QCOMPARE(preview->property("sceneLayerCount").toInt(), 200); // 10 mm in 0.05 mm layers
    QCOMPARE(m_ws->scene()->property("totalVolumeMl").toDouble(), 1.0);
    // The saved settings take a new thickness: the count follows without the scene changing.
    layers.clear();
    m_scratch->config.setThicknessMM(0.1f);
    QCOMPARE(layers.count(), 0); // not yet the job's settings
    m_scratch->config.syncBuildConfig();
    QCOMPARE(layers.count(), 1);
    QCOMPARE(preview->property("sceneLayerCount").toInt(), 100);
}

void TstControllers::undoAvailabilityIsAnnounced()
{
    addSelectedBox();
    UndoController *undo = m_ws->undo();
    QSignalSpy changed(undo, &UndoController::hasAnyNewDoChanged);
    QVERIFY(!undo->hasAnyNewDo());
    m_ws->transform()->flip(1);
    QCOMPARE(changed.count(), 1);
    QVERIFY(undo->property("hasAnyNewDo").toBool());
    undo->undo();
    // The loaded model's creation stays: records remain, so undo stays available.
    QCOMPARE(changed.count(), 1);
    QVERIFY(undo->hasAnyNewDo());
}

void TstControllers::snapshotHoldsWhatTheSceneHolds()
{
    SceneObjects *scene = m_ws->scene();
    scene->ensurePlatformBottom();
    Model *box = makeBox({-10, -10, 12}, {10, 10, 16});
    scene->addModel(box);
    scene->selectModel(box);
    m_ws->transform()->startNewTransform(DoItem::DO_T_ROTATE);
    m_ws->transform()->setSelectedModelRotate(0, 0, 30);
    // Two pillars close enough for a linker, a multi-point support and a base.
    const PickHit under{box, QVector3D(0, 0, 12), QVector3D(0, 0, -1), 0.0};
    QVERIFY(m_ws->supports()->addSupportFromHit(under));
    QVERIFY(m_ws->supports()->addSupportFromHit({box, QVector3D(3, 0, 12), under.normal, 0.0}));
    QVERIFY(
        m_ws->supports()->addMultiPointSupport({{box, QVector3D(-5, 5, 12), under.normal, 0.0},
                                                {box, QVector3D(5, 5, 12), under.normal, 0.0}}));
    m_ws->supports()->addSupportBase(1.0f);

    std::vector<ObjectSnapshot> taken;
    for (Model *object : scene->objects())
        if (object->type != Model::TYPE_PLATFORM_BOTTOM)
            taken.push_back(object->snapshot());
    const CWS::JobSnapshot job(taken, m_scratch->config.jobSettings(),
                               m_scratch->config.currentPrinterModel(), false, 1.0);
    QCOMPARE(job.objects().size(), scene->objects().size() - 1);
    QCOMPARE(job.objects().size(), size_t(6)); // model, two pillars, linker, multi, base
    for (size_t i = 0; i < job.objects().size(); ++i) {
        const Model *object = scene->objects()[i + 1];
        const ObjectSnapshot &entry = job.objects()[i];
        QCOMPARE(entry.type(), object->type);
        QCOMPARE(&entry.mesh(), object->mesh.get()); // shared, not copied
        QCOMPARE(entry.modelMatrix(), object->modelMatrix());
        QCOMPARE(entry.name(), object->name);
        QCOMPARE(entry.boundsMaxMm(), object->bboxMax);
        QCOMPARE(entry.partStarts(), object->cutParts());
        // Every part of a pillar is cut apart, as the slicer always did.
        CWS::SegmentListSet lists;
        entry.cut(4.0f, lists);
        QCOMPARE(lists.size(), std::max<int>(1, int(object->cutParts().size())));
    }
    QCOMPARE(job.objects()[1].partStarts().size(), size_t(3)); // head, body, foot
}

void TstControllers::islandRegionsFollowThePreview()
{
    // A post and a 4 x 4 mm tab floating beside it at 5 mm.
    SceneObjects *scene = m_ws->scene();
    scene->addModel(makeBox({-10, -2, 0}, {-6, 2, 10}));
    scene->addModel(makeBox({0, -2, 5}, {4, 2, 6}));
    std::vector<ObjectSnapshot> taken;
    for (Model *object : scene->objects())
        if (object->type != Model::TYPE_PLATFORM_BOTTOM)
            taken.push_back(object->snapshot());
    auto job = std::make_shared<const CWS::JobSnapshot>(taken, m_scratch->config.jobSettings(),
                                                        m_scratch->config.currentPrinterModel(),
                                                        false, 1.0);
    const CWS::IslandScanResult found = CWS::IslandScan::scan(*job, CWS::CancelToken());
    QCOMPARE(int(found.islands().size()), 1);
    const int layer = found.islands().front().layer();
    m_ws->islands()->showResult(found, job);
    IslandRegionPreview *regions = m_ws->islandRegions();
    LayerPreview *preview = m_ws->layers();
    QVERIFY(preview->setShowSliceEnable(true));

    // Asked for the island's layer and at once for another: the first answer is dropped, and
    // nothing is shown meanwhile.
    QSignalSpy changed(regions, &IslandRegionPreview::regionsChanged);
    preview->setCurrentLayer(layer);
    QVERIFY(regions->isSearching());
    preview->setCurrentLayer(layer + 3);
    QVERIFY(!regions->isSearching());
    QVERIFY(regions->regions() == nullptr);
    // Back at the island's layer: one search after the dropped one, one answer.
    preview->setCurrentLayer(layer);
    QTRY_VERIFY(regions->regions() != nullptr);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(regions->regions()->layer(), layer);
    QRectF covered;
    for (const QRectF &r : regions->regions()->rectsMm())
        covered |= r;
    // The tab's square, within a pixel (about 0.05 mm) at each side.
    const QRectF tab(QPointF(0, -2), QPointF(4, 2));
    QVERIFY((covered.topLeft() - tab.topLeft()).manhattanLength() < 0.2);
    QVERIFY((covered.bottomRight() - tab.bottomRight()).manhattanLength() < 0.2);

    // Islands withdrawn: the regions go at once, not with a later answer.
    m_ws->islands()->showResult(CWS::IslandScanResult::completed(*job, found.layerCount(), {}),
                                job);
    QVERIFY(regions->regions() == nullptr);
    QVERIFY(!regions->isSearching());
}

QTEST_GUILESS_MAIN(TstControllers)
#include "tst_controllers.moc"
