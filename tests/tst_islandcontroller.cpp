// The islands' background analysis without a window: it waits for edits to settle, runs once
// for the last state, never shows an answer a newer edit made wrong, leaves the scene alone and
// steps aside for a job. Escape, failures and closing are tried in the window's suite.
#include "SceneMeshes.h"
#include "ScratchConfig.h"

#include "model/DoItem.h"
#include "workspace/IslandController.h"
#include "workspace/JobController.h"
#include "workspace/SceneObjects.h"
#include "workspace/Workspace.h"

#include <QSignalSpy>
#include <QtTest>

using namespace SceneMeshes;

namespace {

// A post on the plate with blocks floating beside it, each block's bottom at the given height.
Model *postWithBlocks(const std::vector<float> &blockBottomsMm, float x0 = -30.0f)
{
    std::vector<Triangle> tris = boxTriangles({x0, 0, 0}, {x0 + 4, 4, 4});
    float x = x0 + 8;
    for (float z : blockBottomsMm) {
        const std::vector<Triangle> block = boxTriangles({x, 0, z}, {x + 3, 4, z + 1});
        tris.insert(tris.end(), block.begin(), block.end());
        x += 6;
    }
    return makeModel(tris);
}

// A sideways move as the move page makes it: a new step, announced.
void moveBy(Workspace &ws, Model *model, float dxMm)
{
    model->pushTransformWithUndo(&ws.undoList(), DoItem::DO_T_TRANSLATE);
    model->translateBy(dxMm, 0.0f, 0.0f);
    ws.scene()->notifyDataChanged();
}

QVector<int> shownLayers(const IslandController &islands)
{
    QVector<int> layers;
    for (const CWS::SceneIsland &island : islands.islands())
        layers.push_back(island.layer());
    return layers;
}

} // namespace

class TstIslandController : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void burstOfEditsRunsOnceForTheLast_data();
    void burstOfEditsRunsOnceForTheLast();
    void changesThatDoNotPrintKeepTheAnswer();
    void staleAnswerNeverShown();
    void analysisLeavesTheSceneAlone();
    void jobHoldsTheAnalysisBack();
    void islandLayerSteps_data();
    void islandLayerSteps();

private:
    IslandController &islands() { return *m_ws->islands(); }
    // Adds a model and waits for the analysis of the scene with it.
    Model *addAndSettle(Model *model)
    {
        m_ws->scene()->addModel(model);
        [&] { QTRY_COMPARE_WITH_TIMEOUT(islands().state(), IslandController::Current, 30000); }();
        return model;
    }
    std::unique_ptr<ScratchConfig> m_scratch;
    std::unique_ptr<Workspace> m_ws;
};

void TstIslandController::init()
{
    m_scratch = std::make_unique<ScratchConfig>();
    m_ws = std::make_unique<Workspace>(m_scratch->config);
    islands().setSettleMs(50);
    islands().setWorkerNice(10); // beside another suite, 19 would get next to nothing
    islands().setWatching(true);
}

void TstIslandController::cleanup()
{
    m_ws.reset();
    m_scratch.reset();
}

void TstIslandController::burstOfEditsRunsOnceForTheLast_data()
{
    QTest::addColumn<int>("edit");
    QTest::addColumn<QVector<int>>("layers"); // island layers after the burst
    // Blocks at 2 and 3 mm start layers 40 and 60 at 0.05 mm; sideways moves keep them.
    QTest::newRow("moves") << 0 << QVector<int>{40, 60};
    // The model gone: nothing prints, nothing floats.
    QTest::newRow("moves, then delete") << 1 << QVector<int>{};
    // At 0.1 mm the same heights are layers 20 and 30.
    QTest::newRow("moves, then thickness") << 2 << QVector<int>{20, 30};
}

void TstIslandController::burstOfEditsRunsOnceForTheLast()
{
    QFETCH(int, edit);
    QFETCH(QVector<int>, layers);
    Model *model = addAndSettle(postWithBlocks({2, 3}));
    QCOMPARE(shownLayers(islands()), (QVector<int>{40, 60}));
    QSignalSpy started(&islands(), &IslandController::analysisStarted);
    for (int i = 0; i < 5; ++i) {
        moveBy(*m_ws, model, 1.0f);
    }
    if (edit == 1)
        m_ws->scene()->deleteModel(model);
    if (edit == 2) {
        m_scratch->config.setThicknessMM(0.1f);
        m_scratch->config.syncBuildConfig(); // as the settings dialog's OK does
    }
    // Withdrawn at the first edit: the old places are wrong now.
    QCOMPARE(islands().count(), 0);
    // Nothing left to print needs no waiting.
    QCOMPARE(islands().state(), edit == 1 ? IslandController::Current : IslandController::Waiting);
    QTRY_COMPARE_WITH_TIMEOUT(islands().state(), IslandController::Current, 30000);
    QCOMPARE(shownLayers(islands()), layers);
    // An empty scene needs no worker.
    QCOMPARE(started.count(), edit == 1 ? 0 : 1);
}

void TstIslandController::changesThatDoNotPrintKeepTheAnswer()
{
    Model *model = addAndSettle(postWithBlocks({2}));
    QSignalSpy changed(&islands(), &IslandController::islandsChanged);
    m_ws->scene()->selectModel(model);
    m_ws->scene()->deselectAll(true);
    m_ws->scene()->notifyDataChanged();
    QCOMPARE(islands().state(), IslandController::Current);
    QCOMPARE(islands().count(), 1);
    QCOMPARE(changed.count(), 0);
}

void TstIslandController::staleAnswerNeverShown()
{
    addAndSettle(postWithBlocks({2}));
    // The second model arrives while the first analysis of the pair runs (or its answer waits
    // in the queue): that answer lacks the layer-140 block and must never be shown.
    Model *late = postWithBlocks({7}, 10.0f);
    bool added = false;
    connect(&islands(), &IslandController::analysisStarted, this, [&] {
        if (!added) {
            added = true;
            m_ws->scene()->addModel(late);
        }
    });
    QList<QVector<int>> shown;
    connect(&islands(), &IslandController::islandsChanged, this,
            [&] { shown << shownLayers(islands()); });
    m_ws->scene()->addModel(postWithBlocks({3}, -10.0f));
    QTRY_VERIFY(added);
    QTRY_COMPARE_WITH_TIMEOUT(islands().state(), IslandController::Current, 30000);
    for (const QVector<int> &layers : qAsConst(shown))
        QVERIFY(layers.empty() || layers == (QVector<int>{40, 60, 140}));
    QCOMPARE(shownLayers(islands()), (QVector<int>{40, 60, 140}));
}

void TstIslandController::analysisLeavesTheSceneAlone()
{
    // A box 5 mm above the plate: a job would set it down first, so nothing floats.
    Model *box = makeBox({0, 0, 5}, {10, 10, 10});
    m_ws->scene()->addModel(box);
    const size_t records = m_ws->undoList().records().size();
    QTRY_COMPARE_WITH_TIMEOUT(islands().state(), IslandController::Current, 30000);
    QCOMPARE(islands().count(), 0);
    QCOMPARE(box->bboxMin.z(), 5.0f);
    QCOMPARE(m_ws->undoList().records().size(), records);
}

void TstIslandController::jobHoldsTheAnalysisBack()
{
    addAndSettle(postWithBlocks({2, 3}));
    QCOMPARE(islands().count(), 2);
    m_ws->scene()->setModelStatus(SceneObjects::MODEL_LOADED);
    QList<bool> duringJob;
    connect(&islands(), &IslandController::analysisStarted, this,
            [&] { duringJob << m_ws->jobs()->hasBackgroundJob(); });
    m_ws->jobs()->addSupportAuto(2.0f);
    QVERIFY(m_ws->jobs()->hasBackgroundJob());
    QTRY_VERIFY_WITH_TIMEOUT(!m_ws->jobs()->hasBackgroundJob(), 60000);
    QTRY_COMPARE_WITH_TIMEOUT(islands().state(), IslandController::Current, 30000);
    // The supports reach every floating block.
    QCOMPARE(islands().count(), 0);
    QCOMPARE(duringJob, QList<bool>{false});
}

void TstIslandController::islandLayerSteps_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("next");
    QTest::addColumn<int>("previous");
    // Islands in layers 40, 60 (twice) and 140.
    QTest::newRow("below all") << 0 << 40 << -1;
    QTest::newRow("on the first") << 40 << 60 << -1;
    QTest::newRow("between") << 100 << 140 << 60;
    QTest::newRow("on the last") << 140 << -1 << 60;
    QTest::newRow("above all") << 500 << -1 << 140;
}

void TstIslandController::islandLayerSteps()
{
    QFETCH(int, from);
    QFETCH(int, next);
    QFETCH(int, previous);
    std::deque<CWS::SceneIsland> found;
    for (int layer : {40, 60, 60, 140})
        found.emplace_back(layer, layer * 0.05f, 0.0f, 0.0f, 1.0f, 0);
    auto job = std::make_shared<const CWS::JobSnapshot>();
    islands().showResult(CWS::IslandScanResult::completed(*job, 200, found), job);
    QCOMPARE(islands().nextIslandLayer(from), next);
    QCOMPARE(islands().previousIslandLayer(from), previous);
}

QTEST_GUILESS_MAIN(TstIslandController)
#include "tst_islandcontroller.moc"
