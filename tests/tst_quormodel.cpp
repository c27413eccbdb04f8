#include "LogCapture.h"
#include "SceneMeshes.h"
#include "ScratchConfig.h"

#include "model/DoItem.h"
#include "model/Model.h"
#include "workspace/QuorModel.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace SceneMeshes;

namespace {

// Records the order in which the workspace signals arrive.
QStringList *recordSignals(QuorModel &ws, QObject *context)
{
    auto *order = new QStringList;
    QObject::connect(&ws, &QuorModel::modelStatusChanged, context,
                     [order] { order->append(QStringLiteral("status")); });
    QObject::connect(&ws, &QuorModel::modelSelectionChanged, context,
                     [order] { order->append(QStringLiteral("selection")); });
    QObject::connect(&ws, &QuorModel::quorModelDataChanged, context,
                     [order] { order->append(QStringLiteral("data")); });
    return order;
}

// A unit box appended to the workspace.
Model *addBox(QuorModel &ws, int type = Model::TYPE_NORMAL)
{
    Model *box = makeBox({0, 0, 0}, {1, 1, 1}, type);
    ws.addModel(box);
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
    QuorModel ws(scratch.config);
    Model *platform = new Model(Model::TYPE_PLATFORM_BOTTOM);
    ws.addModel(platform);
    Model *box = addBox(ws);
    QCOMPARE(ws.status, QuorModel::MODEL_INIT);

    QObject context;
    std::unique_ptr<QStringList> order(recordSignals(ws, &context));
    QSignalSpy status(&ws, &QuorModel::modelStatusChanged);
    QSignalSpy selection(&ws, &QuorModel::modelSelectionChanged);
    ws.selectModel(box);

    QCOMPARE(*order, (QStringList{"status", "selection", "data"}));
    QCOMPARE(status.count(), 1);
    // The status already changed directly, so old and new are both MODEL_LOADED.
    QCOMPARE(status[0][0].value<QuorModel::ModelStatus>(), QuorModel::MODEL_LOADED);
    QCOMPARE(status[0][1].value<QuorModel::ModelStatus>(), QuorModel::MODEL_LOADED);
    QCOMPARE(status[0][2].toBool(), false); // no supports
    QCOMPARE(status[0][3].toBool(), true);  // a normal model
    QCOMPARE(selection[0][0].toInt(), 1);
    QVERIFY(box->selected && !box->justCreated);
    QCOMPARE(ws.getSelectedModel(), box);
    QCOMPARE(ws.getSelectedModelIndex(), 1);
}

void TstQuorModel::deselectAllNotifies()
{
    ScratchConfig scratch;
    QuorModel ws(scratch.config);
    Model *box = addBox(ws);
    ws.selectModel(box);
    QObject context;
    std::unique_ptr<QStringList> order(recordSignals(ws, &context));
    QSignalSpy selection(&ws, &QuorModel::modelSelectionChanged);
    ws.deselectAll(false);
    QVERIFY(order->isEmpty());
    ws.deselectAll(true);
    QCOMPARE(*order, (QStringList{"status", "selection", "data"}));
    QCOMPARE(selection.last()[0].toInt(), -1);
    QVERIFY(!ws.isSelectedModel());
    QCOMPARE(ws.getSelectedModelIndex(), -1);
}

void TstQuorModel::selectedModelIsFirstFlagged()
{
    ScratchConfig scratch;
    QuorModel ws(scratch.config);
    Model *a = addBox(ws);
    Model *b = addBox(ws, Model::TYPE_SUPPORT);
    b->selected = true;
    a->selected = true;
    QCOMPARE(ws.getSelectedModel(), a); // list order decides, not the order of flagging
    ws.selectModel(b);
    QCOMPARE(ws.getSelectedModel(), b);
    QVERIFY(!ws.isSelectedModelTypeNormal());
}

void TstQuorModel::selectingObjectOutsideListIsSilent()
{
    ScratchConfig scratch;
    QuorModel ws(scratch.config);
    std::unique_ptr<Model> loose(makeBox({0, 0, 0}, {1, 1, 1}));
    QSignalSpy status(&ws, &QuorModel::modelStatusChanged);
    ws.selectModel(loose.get());
    ws.selectModel(nullptr);
    QCOMPARE(status.count(), 0);
    QCOMPARE(ws.status, QuorModel::MODEL_INIT);
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
    QuorModel ws(scratch.config);
    if (withObject)
        addBox(ws);
    QSignalSpy spy(&ws, &QuorModel::modelStatusChanged);
    ws.setModelStatus(QuorModel::ModelStatus(requested), force);
    QCOMPARE(int(ws.status), expected);
    QCOMPARE(spy.count(), signalCount);
    if (signalCount)
        QCOMPARE(int(spy[0][1].value<QuorModel::ModelStatus>()), expected);
}

void TstQuorModel::statusReportsSupportsAndType()
{
    ScratchConfig scratch;
    QuorModel ws(scratch.config);
    Model *box = addBox(ws);
    Model *support = addBox(ws, Model::TYPE_SUPPORT);
    box->attachChild(support);
    QSignalSpy spy(&ws, &QuorModel::modelStatusChanged);
    ws.selectModel(box);
    QCOMPARE(spy.last()[2].toBool(), true);
    QVERIFY(ws.isSelectedModelHaveAnySupports());
    ws.removeAllSupportsOfSelectedModel();
    // Selected again, so the UI learns that the supports are gone.
    QCOMPARE(spy.last()[2].toBool(), false);
    QCOMPARE(ws.models.size(), size_t(1));
    QVERIFY(!ws.isSelectedModelHaveAnySupports());
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
    QuorModel ws(scratch.config);
    ws.addModel(new Model(Model::TYPE_PLATFORM_BOTTOM));
    addBox(ws);
    const size_t records = ws.undoList.records().size();
    LogCapture log;
    ws.copyModel(index);
    QVERIFY2(log.contains(message), qPrintable(log.lines().join('\n')));
    QCOMPARE(ws.models.size(), size_t(2));
    QCOMPARE(ws.undoList.records().size(), records);
}

void TstQuorModel::deleteOnlyModelKeepsPlatform()
{
    ScratchConfig scratch;
    QuorModel ws(scratch.config);
    ws.addModel(new Model(Model::TYPE_PLATFORM_BOTTOM));
    Model *box = addBox(ws);
    ws.selectModel(box);
    QSignalSpy data(&ws, &QuorModel::quorModelDataChanged);
    QSignalSpy status(&ws, &QuorModel::modelStatusChanged);
    ws.deleteSelectedModel();
    QCOMPARE(ws.models.size(), size_t(1));
    // The plate alone is an empty workspace: back to the start, the hint shows again.
    QCOMPARE(ws.status, QuorModel::MODEL_INIT);
    QCOMPARE(status.count(), 1);
    QCOMPARE(status.first().at(1).value<QuorModel::ModelStatus>(), QuorModel::MODEL_INIT);
    QCOMPARE(data.count(), 1);
    for (const DoItem &r : ws.undoList.records())
        QVERIFY(r.model != box);
    QCOMPARE(ws.modelSize(), 0);
}

void TstQuorModel::deleteLastObjectGoesToInit()
{
    ScratchConfig scratch;
    QuorModel ws(scratch.config);
    Model *box = addBox(ws);
    ws.selectModel(box);
    QSignalSpy status(&ws, &QuorModel::modelStatusChanged);
    QVERIFY(ws.deleteModel(box));
    QCOMPARE(ws.status, QuorModel::MODEL_INIT);
    QCOMPARE(status.count(), 1);
    QVERIFY(!ws.deleteModel(nullptr));
}

void TstQuorModel::deleteSelectedRefusedWhileSlicing()
{
    ScratchConfig scratch;
    QuorModel ws(scratch.config);
    Model *box = addBox(ws);
    ws.selectModel(box);
    ws.setModelStatus(QuorModel::MODEL_SLICING);
    LogCapture log;
    ws.deleteSelectedModel();
    QVERIFY(log.contains(QStringLiteral("not in status MODEL_LOADED, do nothing")));
    QCOMPARE(ws.models.size(), size_t(1));
    QCOMPARE(ws.undoList.records().size(), size_t(1)); // records stay too
}

void TstQuorModel::manualSupportModeGuardsNormalModels()
{
    ScratchConfig scratch;
    QuorModel ws(scratch.config);
    Model *box = addBox(ws);
    Model *support = addBox(ws, Model::TYPE_SUPPORT);
    box->attachChild(support);
    ws.manualAddingSupport = true;

    ws.selectModel(support);
    ws.deleteSelectedModel();
    QCOMPARE(ws.models.size(), size_t(1));
    QVERIFY(box->supports.empty());

    ws.selectModel(box);
    LogCapture log;
    ws.deleteSelectedModel();
    QVERIFY(log.contains(QStringLiteral("forbid del model when add support manully")));
    QCOMPARE(ws.models.size(), size_t(1));
    // Refused, but the model's records are dropped all the same.
    QVERIFY(ws.undoList.records().empty());
}

void TstQuorModel::showSliceGuardsNormalModels()
{
    ScratchConfig scratch;
    QuorModel ws(scratch.config);
    Model *box = addBox(ws);
    ws.setModelStatus(QuorModel::MODEL_SHOW_SLICE);
    LogCapture log;
    QVERIFY(!ws.deleteModel(box));
    QVERIFY(log.contains(QStringLiteral("forbid del normal model when show 3d slice")));
    QCOMPARE(ws.models.size(), size_t(1));
}

void TstQuorModel::deleteRemovesSupportsAndTheirRecords()
{
    ScratchConfig scratch;
    QuorModel ws(scratch.config);
    Model *box = addBox(ws);
    Model *support = addBox(ws, Model::TYPE_SUPPORT);
    Model *base = addBox(ws, Model::TYPE_SUPPORT_BASE);
    box->attachChild(support);
    box->attachChild(base);
    ws.selectModel(box);
    LogCapture log;
    ws.deleteSelectedModel();
    QVERIFY(ws.models.empty());
    QVERIFY(log.contains(QStringLiteral("remove all supports of")));
    QVERIFY(log.contains(QStringLiteral("remove base support")));
    QVERIFY(log.contains(QStringLiteral("remove suport")));
    // No record may outlive the objects it names.
    QVERIFY(ws.undoList.records().empty());
    QCOMPARE(ws.status, QuorModel::MODEL_INIT);
}

void TstQuorModel::selectedModelInfo()
{
    ScratchConfig scratch;
    QuorModel ws(scratch.config);
    Model *box = makeBox({0, 0, 0}, {20, 10, 5}); // 1000 mm³ = 1 cm³
    ws.addModel(box);
    ws.selectModel(box);
    QCOMPARE(ws.getSelectedModelInfo(), (QStringList{"20.00", "10.00", "5.00", "1.00"}));
}

void TstQuorModel::selectedModelInfoWithoutSelection()
{
    ScratchConfig scratch;
    QuorModel ws(scratch.config);
    ws.addModel(makeBox({0, 0, 0}, {20, 10, 5}));
    QCOMPARE(ws.getSelectedModelInfo(), (QStringList{"0.00", "0.00", "0.00", "0.00"}));
}

void TstQuorModel::totalVolumeAndSize()
{
    ScratchConfig scratch;
    QuorModel ws(scratch.config);
    QCOMPARE(ws.modelSize(), 0); // the plate is not there yet, and would not count anyway
    ws.addModel(new Model(Model::TYPE_PLATFORM_BOTTOM));
    Model *a = makeBox({0, 0, 0}, {10, 10, 10}); // 1 cm³
    Model *b = makeBox({0, 0, 0}, {10, 10, 20}); // 2 cm³
    ws.addModel(a);
    ws.addModel(b);
    b->pushTransform(DoItem::DO_T_SCALE);
    b->setScale(1, 1, 0.5f); // dirty: the sum must update it first, 1 cm³
    QVERIFY(qAbs(ws.getTotalVolume() - 2.0f) < 1e-5f);
    QCOMPARE(ws.modelSize(), 2);
}

void TstQuorModel::loadRefusedWhileBusy()
{
    ScratchConfig scratch;
    QuorModel ws(scratch.config);
    addBox(ws);
    ws.setModelStatus(QuorModel::MODEL_AUTO_GEN_SUPPORT);
    LogCapture log;
    QVERIFY(!ws.loadModel(QUrl::fromLocalFile(QStringLiteral("/nonexistent/a.stl"))));
    QVERIFY(log.contains(QStringLiteral("invalid status for load")));
    QCOMPARE(ws.models.size(), size_t(1));
}

void TstQuorModel::addModelSizesPreviewCache()
{
    ScratchConfig scratch;
    QuorModel ws(scratch.config);
    ws.currentLayer = 3;
    ws.m_sliceNumber = 12;
    Model *box = addBox(ws);
    QCOMPARE(box->layerCutCache.layers.size(), size_t(12));
    QCOMPARE(int(ws.undoList.records().back().type), int(DoItem::DO_NEW));
    QVERIFY(!ws.hasAnyNewDo()); // creation records do not count as new edits
}

void TstQuorModel::releasedBuffersAreCollected()
{
    ScratchConfig scratch;
    QuorModel ws(scratch.config);
    Model *drawn = makeBox({0, 0, 0}, {1, 1, 1});
    drawn->inView = true; // as if the view holds a GPU copy
    const quint64 id = drawn->drawId;
    Model *neverDrawn = makeBox({0, 0, 0}, {1, 1, 1});
    ws.addModel(drawn);
    ws.addModel(neverDrawn);
    ws.removeModel(drawn);
    ws.removeModel(neverDrawn);
    QCOMPARE(ws.takeReleasedBuffers(), (std::vector<quint64>{id}));
    QVERIFY(ws.takeReleasedBuffers().empty());
}

QTEST_GUILESS_MAIN(TstQuorModel)
#include "tst_quormodel.moc"
