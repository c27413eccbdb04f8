#include "LogCapture.h"
#include "SceneMeshes.h"
#include "ScratchConfig.h"

#include "model/DoItem.h"
#include "model/Model.h"
#include "workspace/LayerPreview.h"
#include "workspace/SceneObjects.h"
#include "workspace/SupportController.h"
#include "workspace/UndoController.h"
#include "workspace/Workspace.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace SceneMeshes;

namespace {

// Records the order in which the workspace signals arrive.
QStringList *recordSignals(Workspace &ws, QObject *context)
{
    auto *order = new QStringList;
    QObject::connect(ws.scene(), &SceneObjects::modelStatusChanged, context,
                     [order] { order->append(QStringLiteral("status")); });
    QObject::connect(ws.scene(), &SceneObjects::modelSelectionChanged, context,
                     [order] { order->append(QStringLiteral("selection")); });
    QObject::connect(ws.scene(), &SceneObjects::quorModelDataChanged, context,
                     [order] { order->append(QStringLiteral("data")); });
    return order;
}

// A unit box appended to the workspace.
Model *addBox(Workspace &ws, int type = Model::TYPE_NORMAL)
{
    Model *box = makeBox({0, 0, 0}, {1, 1, 1}, type);
    ws.scene()->addModel(box);
    return box;
}

} // namespace

class TstQuorModel : public QObject
{
    Q_OBJECT
private slots:
    void selectingInInitEmitsLoadedThenSelectionThenData();
    void deselectAllNotifies();
    void selectedModelIsFirstFlagged();
    void selectingObjectOutsideListIsSilent();
    void setModelStatus_data();
    void setModelStatus();
    void statusReportsSupportsAndType();
    void copyGuards_data();
    void copyGuards();
    void deleteOnlyModelKeepsPlatform();
    void deleteLastObjectGoesToInit();
    void deleteSelectedRefusedWhileSlicing();
    void manualSupportModeGuardsNormalModels();
    void showSliceGuardsNormalModels();
    void deleteRemovesSupportsAndTheirRecords();
    void selectedModelInfo();
    void selectedModelInfoWithoutSelection();
    void totalVolumeAndSize();
    void loadRefusedWhileBusy();
    void addModelSizesPreviewCache();
    void releasedBuffersAreCollected();
};

void TstQuorModel::selectingInInitEmitsLoadedThenSelectionThenData()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    Model *platform = new Model(Model::TYPE_PLATFORM_BOTTOM);
    ws.scene()->addModel(platform);
    Model *box = addBox(ws);
    QCOMPARE(ws.scene()->status(), SceneObjects::MODEL_INIT);

    QObject context;
    std::unique_ptr<QStringList> order(recordSignals(ws, &context));
    QSignalSpy status(ws.scene(), &SceneObjects::modelStatusChanged);
    QSignalSpy selection(ws.scene(), &SceneObjects::modelSelectionChanged);
    ws.scene()->selectModel(box);

    QCOMPARE(*order, (QStringList{"status", "selection", "data"}));
    QCOMPARE(status.count(), 1);
    // The status already changed directly, so old and new are both MODEL_LOADED.
    QCOMPARE(status[0][0].value<SceneObjects::ModelStatus>(), SceneObjects::MODEL_LOADED);
    QCOMPARE(status[0][1].value<SceneObjects::ModelStatus>(), SceneObjects::MODEL_LOADED);
    QCOMPARE(status[0][2].toBool(), false); // no supports
    QCOMPARE(status[0][3].toBool(), true);  // a normal model
    QCOMPARE(selection[0][0].toInt(), 1);
    QVERIFY(box->selected && !box->justCreated);
    QCOMPARE(ws.scene()->getSelectedModel(), box);
    QCOMPARE(ws.scene()->getSelectedModelIndex(), 1);
}

void TstQuorModel::deselectAllNotifies()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    Model *box = addBox(ws);
    ws.scene()->selectModel(box);
    QObject context;
    std::unique_ptr<QStringList> order(recordSignals(ws, &context));
    QSignalSpy selection(ws.scene(), &SceneObjects::modelSelectionChanged);
    ws.scene()->deselectAll(false);
    QVERIFY(order->isEmpty());
    ws.scene()->deselectAll(true);
    QCOMPARE(*order, (QStringList{"status", "selection", "data"}));
    QCOMPARE(selection.last()[0].toInt(), -1);
    QVERIFY(!ws.scene()->isSelectedModel());
    QCOMPARE(ws.scene()->getSelectedModelIndex(), -1);
}

void TstQuorModel::selectedModelIsFirstFlagged()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    Model *a = addBox(ws);
    Model *b = addBox(ws, Model::TYPE_SUPPORT);
    b->selected = true;
    a->selected = true;
    QCOMPARE(ws.scene()->getSelectedModel(), a); // list order decides, not the order of flagging
    ws.scene()->selectModel(b);
    QCOMPARE(ws.scene()->getSelectedModel(), b);
    QVERIFY(!ws.scene()->isSelectedModelTypeNormal());
}

void TstQuorModel::selectingObjectOutsideListIsSilent()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    std::unique_ptr<Model> loose(makeBox({0, 0, 0}, {1, 1, 1}));
    QSignalSpy status(ws.scene(), &SceneObjects::modelStatusChanged);
    ws.scene()->selectModel(loose.get());
    ws.scene()->selectModel(nullptr);
    QCOMPARE(status.count(), 0);
    QCOMPARE(ws.scene()->status(), SceneObjects::MODEL_INIT);
}

void TstQuorModel::setModelStatus_data()
{
    QTest::addColumn<bool>("withObject");
    QTest::addColumn<int>("requested");
    QTest::addColumn<bool>("force");
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("signalCount");
    // An empty scene cannot leave MODEL_INIT, and INIT again is no change.
    QTest::newRow("empty list") << false << 2 << false << 0 << 0;
    QTest::newRow("empty list forced") << false << 2 << true << 0 << 1;
    QTest::newRow("change") << true << 2 << false << 2 << 1;
    QTest::newRow("same, not forced") << true << 0 << false << 0 << 0;
    QTest::newRow("same, forced") << true << 0 << true << 0 << 1;
}

void TstQuorModel::setModelStatus()
{
    QFETCH(bool, withObject);
    QFETCH(int, requested);
    QFETCH(bool, force);
    QFETCH(int, expected);
    QFETCH(int, signalCount);
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    if (withObject)
        addBox(ws);
    QSignalSpy spy(ws.scene(), &SceneObjects::modelStatusChanged);
    ws.scene()->setModelStatus(SceneObjects::ModelStatus(requested), force);
    QCOMPARE(int(ws.scene()->status()), expected);
    QCOMPARE(spy.count(), signalCount);
    if (signalCount)
        QCOMPARE(int(spy[0][1].value<SceneObjects::ModelStatus>()), expected);
}

void TstQuorModel::statusReportsSupportsAndType()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    Model *box = addBox(ws);
    Model *support = addBox(ws, Model::TYPE_SUPPORT);
    box->attachChild(support);
    QSignalSpy spy(ws.scene(), &SceneObjects::modelStatusChanged);
    ws.scene()->selectModel(box);
    QCOMPARE(spy.last()[2].toBool(), true);
    QVERIFY(ws.scene()->isSelectedModelHaveAnySupports());
    ws.supports()->removeAllSupportsOfSelectedModel();
    // Selected again, so the UI learns that the supports are gone.
    QCOMPARE(spy.last()[2].toBool(), false);
    QCOMPARE(ws.scene()->objects().size(), size_t(1));
    QVERIFY(!ws.scene()->isSelectedModelHaveAnySupports());
}

void TstQuorModel::copyGuards_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("message");
    QTest::newRow("below range") << -1 << "QuorModel::copyModel input out of range: -1";
    QTest::newRow("above range") << 2 << "QuorModel::copyModel input out of range: 2";
    QTest::newRow("platform bottom") << 0 << "only normal model can be copyed";
}

void TstQuorModel::copyGuards()
{
    QFETCH(int, index);
    QFETCH(QString, message);
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    ws.scene()->addModel(new Model(Model::TYPE_PLATFORM_BOTTOM));
    addBox(ws);
    const size_t records = ws.undoList().records().size();
    LogCapture log;
    ws.scene()->copyModel(index);
    QVERIFY2(log.contains(message), qPrintable(log.lines().join('\n')));
    QCOMPARE(ws.scene()->objects().size(), size_t(2));
    QCOMPARE(ws.undoList().records().size(), records);
}

void TstQuorModel::deleteOnlyModelKeepsPlatform()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    ws.scene()->addModel(new Model(Model::TYPE_PLATFORM_BOTTOM));
    Model *box = addBox(ws);
    ws.scene()->selectModel(box);
    QSignalSpy data(ws.scene(), &SceneObjects::quorModelDataChanged);
    QSignalSpy status(ws.scene(), &SceneObjects::modelStatusChanged);
    ws.scene()->deleteSelectedModel();
    QCOMPARE(ws.scene()->objects().size(), size_t(1));
    // The plate alone is an empty workspace: back to the start, the hint shows again.
    QCOMPARE(ws.scene()->status(), SceneObjects::MODEL_INIT);
    QCOMPARE(status.count(), 1);
    QCOMPARE(status.first().at(1).value<SceneObjects::ModelStatus>(), SceneObjects::MODEL_INIT);
    QCOMPARE(data.count(), 1);
    for (const DoItem &r : ws.undoList().records())
        QVERIFY(r.model != box);
    QCOMPARE(ws.scene()->modelSize(), 0);
}

void TstQuorModel::deleteLastObjectGoesToInit()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    Model *box = addBox(ws);
    ws.scene()->selectModel(box);
    QSignalSpy status(ws.scene(), &SceneObjects::modelStatusChanged);
    QVERIFY(ws.scene()->deleteModel(box));
    QCOMPARE(ws.scene()->status(), SceneObjects::MODEL_INIT);
    QCOMPARE(status.count(), 1);
    QVERIFY(!ws.scene()->deleteModel(nullptr));
}

void TstQuorModel::deleteSelectedRefusedWhileSlicing()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    Model *box = addBox(ws);
    ws.scene()->selectModel(box);
    ws.scene()->setModelStatus(SceneObjects::MODEL_SLICING);
    LogCapture log;
    ws.scene()->deleteSelectedModel();
    QVERIFY(log.contains(QStringLiteral("not in status MODEL_LOADED, do nothing")));
    QCOMPARE(ws.scene()->objects().size(), size_t(1));
    QCOMPARE(ws.undoList().records().size(), size_t(1)); // records stay too
}

void TstQuorModel::manualSupportModeGuardsNormalModels()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    Model *box = addBox(ws);
    Model *support = addBox(ws, Model::TYPE_SUPPORT);
    box->attachChild(support);
    ws.supports()->setManualAddingSupport(true);

    ws.scene()->selectModel(support);
    ws.scene()->deleteSelectedModel();
    QCOMPARE(ws.scene()->objects().size(), size_t(1));
    QVERIFY(box->supports.empty());

    ws.scene()->selectModel(box);
    LogCapture log;
    ws.scene()->deleteSelectedModel();
    QVERIFY(log.contains(QStringLiteral("forbid del model when add support manully")));
    QCOMPARE(ws.scene()->objects().size(), size_t(1));
    // Refused, but the model's records are dropped all the same.
    QVERIFY(ws.undoList().records().empty());
}

void TstQuorModel::showSliceGuardsNormalModels()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    Model *box = addBox(ws);
    ws.scene()->setModelStatus(SceneObjects::MODEL_SHOW_SLICE);
    LogCapture log;
    QVERIFY(!ws.scene()->deleteModel(box));
    QVERIFY(log.contains(QStringLiteral("forbid del normal model when show 3d slice")));
    QCOMPARE(ws.scene()->objects().size(), size_t(1));
}

void TstQuorModel::deleteRemovesSupportsAndTheirRecords()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    Model *box = addBox(ws);
    Model *support = addBox(ws, Model::TYPE_SUPPORT);
    Model *base = addBox(ws, Model::TYPE_SUPPORT_BASE);
    box->attachChild(support);
    box->attachChild(base);
    ws.scene()->selectModel(box);
    LogCapture log;
    ws.scene()->deleteSelectedModel();
    QVERIFY(ws.scene()->objects().empty());
    QVERIFY(log.contains(QStringLiteral("remove all supports of")));
    QVERIFY(log.contains(QStringLiteral("remove base support")));
    QVERIFY(log.contains(QStringLiteral("remove suport")));
    // No record may outlive the objects it names.
    QVERIFY(ws.undoList().records().empty());
    QCOMPARE(ws.scene()->status(), SceneObjects::MODEL_INIT);
}

void TstQuorModel::selectedModelInfo()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    Model *box = makeBox({0, 0, 0}, {20, 10, 5}); // 1000 mm³ = 1 cm³
    ws.scene()->addModel(box);
    ws.scene()->selectModel(box);
    // 20 x 10 x 5 mm and 1 mL, as the info page shows them.
    QCOMPARE(ws.scene()->selectedSizeMm(), QVector3D(20, 10, 5));
    QCOMPARE(QString::number(ws.scene()->selectedVolumeMl(), 'f', 2), QStringLiteral("1.00"));
}

void TstQuorModel::selectedModelInfoWithoutSelection()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    ws.scene()->addModel(makeBox({0, 0, 0}, {20, 10, 5}));
    QCOMPARE(ws.scene()->selectedSizeMm(), QVector3D());
    QCOMPARE(ws.scene()->selectedVolumeMl(), 0.0);
}

void TstQuorModel::totalVolumeAndSize()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    QCOMPARE(ws.scene()->modelSize(), 0); // the plate is not there yet, and would not count anyway
    ws.scene()->addModel(new Model(Model::TYPE_PLATFORM_BOTTOM));
    Model *a = makeBox({0, 0, 0}, {10, 10, 10}); // 1 cm³
    Model *b = makeBox({0, 0, 0}, {10, 10, 20}); // 2 cm³
    ws.scene()->addModel(a);
    ws.scene()->addModel(b);
    b->pushTransform(DoItem::DO_T_SCALE);
    b->setScale(1, 1, 0.5f); // dirty: the sum must update it first, 1 cm³
    QVERIFY(qAbs(ws.scene()->getTotalVolume() - 2.0f) < 1e-5f);
    QCOMPARE(ws.scene()->modelSize(), 2);
}

void TstQuorModel::loadRefusedWhileBusy()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    addBox(ws);
    ws.scene()->setModelStatus(SceneObjects::MODEL_AUTO_GEN_SUPPORT);
    LogCapture log;
    QVERIFY(!ws.scene()->loadModel(QUrl::fromLocalFile(QStringLiteral("/nonexistent/a.stl"))));
    QVERIFY(log.contains(QStringLiteral("invalid status for load")));
    QCOMPARE(ws.scene()->objects().size(), size_t(1));
}

void TstQuorModel::addModelSizesPreviewCache()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    // A 1 mm box in 0.05 mm layers: a preview of 20 layers.
    addBox(ws);
    QVERIFY(ws.layers()->setShowSliceEnable(true));
    ws.layers()->setCurrentLayer(3);
    Model *box = addBox(ws);
    QCOMPARE(box->layerCutCache.layers.size(), size_t(20));
    QCOMPARE(int(ws.undoList().records().back().type), int(DoItem::DO_NEW));
    QVERIFY(!ws.undo()->hasAnyNewDo()); // creation records do not count as new edits
}

void TstQuorModel::releasedBuffersAreCollected()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    Model *drawn = makeBox({0, 0, 0}, {1, 1, 1});
    drawn->inView = true; // as if the view holds a GPU copy
    const quint64 id = drawn->drawId;
    Model *neverDrawn = makeBox({0, 0, 0}, {1, 1, 1});
    ws.scene()->addModel(drawn);
    ws.scene()->addModel(neverDrawn);
    ws.scene()->removeModel(drawn);
    ws.scene()->removeModel(neverDrawn);
    QCOMPARE(ws.scene()->takeReleasedBuffers(), (std::vector<quint64>{id}));
    QVERIFY(ws.scene()->takeReleasedBuffers().empty());
}

QTEST_GUILESS_MAIN(TstQuorModel)
#include "tst_quormodel.moc"
