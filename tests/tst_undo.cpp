#include "LogCapture.h"
#include "SceneMeshes.h"
#include "ScratchConfig.h"

#include "model/DoItem.h"
#include "model/Model.h"
#include "workspace/SceneObjects.h"
#include "workspace/SupportController.h"
#include "workspace/TransformController.h"
#include "workspace/UndoController.h"
#include "workspace/Workspace.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace SceneMeshes;

namespace {

// Stands in for a support pillar: remembers every bottom shift it is told about.
class ShiftRecorder : public Model
{
public:
    ShiftRecorder() : Model(TYPE_SUPPORT) {}
    void shiftBottom(float dzMm) override
    {
        shifts.push_back(dzMm);
        totalMm += dzMm;
    }
    std::vector<float> shifts;
    float totalMm = 0.0f;
};

// A selected 10 mm cube on the platform of a fresh workspace.
Model *addSelectedCube(Workspace &ws)
{
    Model *cube = makeBox({-5, -5, 0}, {5, 5, 10});
    ws.scene()->addModel(cube);
    ws.scene()->selectModel(cube);
    return cube;
}

ShiftRecorder *addSupport(Workspace &ws, Model *owner)
{
    auto *s = new ShiftRecorder;
    ws.scene()->addModel(s);
    owner->attachChild(s);
    return s;
}

} // namespace

class TstUndo : public QObject
{
    Q_OBJECT
private slots:
    void pageLeftAtIdentityLeavesNoRecord();
    void verticalMoveShiftsSupportsAndUndoShiftsBack();
    void verticalMoveShiftsSupportBase();
    void translateByShiftsSupports();
    void flipTwiceAndUndoTwice();
    void flipWithUnknownFlag_data();
    void flipWithUnknownFlag();
    void undoStopsAtCreationBarrier();
    void undoOfNewSupportDeletesIt();
    void undoWithEmptyList();
    void recordWithEmptyStackStays();
    void rotateKeepsCentre();
    void rotate90TurnsAboutCentre();
    void commandsWithoutSelection();
    void editingWithoutOpenItemIsHarmless();
    void startNewTransformRejectsNonTransformTypes();
    void removedSupportTakesItsRecords();
    void addDoPrunesAndFlags();
};

void TstUndo::pageLeftAtIdentityLeavesNoRecord()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    Model *cube = addSelectedCube(ws);
    ws.transform()->startNewTransform(DoItem::DO_T_TRANSLATE);
    ws.transform()->setSelectedModelTranslate(0, 0, 0); // the move page opened, nothing changed
    ws.transform()->startNewTransform(DoItem::DO_T_SCALE);
    QCOMPARE(cube->transforms->size(), size_t(1));
    QCOMPARE(cube->transforms->back().type, int(DoItem::DO_T_SCALE));
    QCOMPARE(ws.undoList().records().size(), size_t(2)); // creation and the scale
    QCOMPARE(int(ws.undoList().records().back().type), int(DoItem::DO_T_SCALE));
    QVERIFY(ws.undo()->hasAnyNewDo());
}

void TstUndo::verticalMoveShiftsSupportsAndUndoShiftsBack()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    Model *cube = addSelectedCube(ws);
    ShiftRecorder *a = addSupport(ws, cube);
    ShiftRecorder *b = addSupport(ws, cube);
    ws.scene()->selectModel(cube);

    ws.transform()->startNewTransform(DoItem::DO_T_TRANSLATE);
    ws.transform()->setSelectedModelTranslate(0, 0, 2);
    ws.transform()->setSelectedModelTranslate(0, 0, 5); // spin box edits rewrite the same item
    // Each edit shifts by the change of the item: 2, then 3.
    QCOMPARE(a->shifts, (std::vector<float>{2, 3}));
    QCOMPARE(b->totalMm, 5.0f);
    cube->updateGeometry(false);
    QCOMPARE(cube->bboxMin.z(), 5.0f);

    QSignalSpy data(ws.scene(), &SceneObjects::quorModelDataChanged);
    LogCapture log;
    ws.undo()->undo();
    QVERIFY(log.contains(QStringLiteral("undo doTranslate")));
    QCOMPARE(a->shifts.back(), -5.0f);
    QCOMPARE(a->totalMm, 0.0f);
    QCOMPARE(b->totalMm, 0.0f);
    QVERIFY(cube->transforms->empty());
    QCOMPARE(data.count(), 1);
}

void TstUndo::verticalMoveShiftsSupportBase()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    Model *cube = addSelectedCube(ws);
    Model *base = makeBox({-6, -6, 0}, {6, 6, 1}, Model::TYPE_SUPPORT_BASE);
    Model *linker = makeBox({0, 0, 0}, {1, 1, 1}, Model::TYPE_SUPPORT_LINKER);
    ws.scene()->addModel(base);
    ws.scene()->addModel(linker);
    cube->attachChild(base);
    cube->attachChild(linker);
    base->updateGeometry(true);
    linker->updateGeometry(true);
    ws.scene()->selectModel(cube);
    ws.transform()->startNewTransform(DoItem::DO_T_TRANSLATE);
    ws.transform()->setSelectedModelTranslate(0, 0, 5);
    // The base follows the model's stack but its vertices moved down: it stays on the plate.
    base->updateGeometry(false);
    QCOMPARE(base->bboxMin.z(), 0.0f);
    QVERIFY(!base->buffersUploaded);
    QVERIFY(linker->geometryDirty);
    ws.undo()->undo();
    base->updateGeometry(false);
    QCOMPARE(base->bboxMin.z(), 0.0f);
    QCOMPARE(base->mesh->vertices[0].pz, 0.0f);
}

void TstUndo::translateByShiftsSupports()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    Model *cube = addSelectedCube(ws);
    ShiftRecorder *s = addSupport(ws, cube);
    ws.undoList().addDo(cube, DoItem::DO_T_TRANSLATE);
    cube->translateBy(1, 2, 0.5f);
    cube->translateBy(1, 0, 0.25f);
    QCOMPARE(s->totalMm, 0.75f);
    QCOMPARE(cube->transforms->back().matrix.map(QVector3D()), QVector3D(2, 2, 0.75f));
}

void TstUndo::flipTwiceAndUndoTwice()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    Model *cube = addSelectedCube(ws);
    ws.transform()->flip(2);
    ws.transform()->flip(2);
    QCOMPARE(cube->transforms->size(), size_t(2));
    QMatrix4x4 mirrorY;
    mirrorY.scale(1, -1, 1);
    QCOMPARE(cube->transforms->at(0).matrix, mirrorY);
    QCOMPARE(cube->transforms->at(1).type, int(DoItem::DO_T_FLIP));
    QVERIFY(cube->modelMatrix().isIdentity()); // mirroring y twice restores the shape
    ws.undo()->undo();
    QCOMPARE(cube->transforms->size(), size_t(1));
    ws.undo()->undo();
    QVERIFY(cube->transforms->empty());
    QCOMPARE(ws.undoList().records().size(), size_t(1));
}

void TstUndo::flipWithUnknownFlag_data()
{
    QTest::addColumn<bool>("thenUndo");
    QTest::newRow("next transform prunes it") << false;
    QTest::newRow("undo prunes it") << true;
}

void TstUndo::flipWithUnknownFlag()
{
    QFETCH(bool, thenUndo);
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    Model *cube = addSelectedCube(ws);
    ws.transform()->flip(7);
    QCOMPARE(cube->transforms->size(), size_t(1));
    QVERIFY(cube->isTopIdentity());
    QCOMPARE(cube->transforms->back().type, int(DoItem::DO_T_FLIP));
    if (thenUndo) {
        LogCapture log;
        ws.undo()->undo();
        QVERIFY(cube->transforms->empty());
        QVERIFY(log.contains(QStringLiteral("undo skip new model")));
    } else {
        ws.transform()->startNewTransform(DoItem::DO_T_ROTATE);
        QCOMPARE(cube->transforms->size(), size_t(1));
        QCOMPARE(cube->transforms->back().type, int(DoItem::DO_T_ROTATE));
    }
    for (const DoItem &r : ws.undoList().records())
        QVERIFY(r.type != DoItem::DO_T_FLIP);
}

void TstUndo::undoStopsAtCreationBarrier()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    Model *cube = addSelectedCube(ws);
    LogCapture log;
    ws.undo()->undo();
    ws.undo()->undo();
    QVERIFY(log.contains(QStringLiteral("undo skip new model")));
    QCOMPARE(ws.scene()->objects().size(), size_t(1));
    QCOMPARE(ws.scene()->objects()[0], cube);
    QCOMPARE(ws.undoList().records().size(), size_t(1));
    QVERIFY(ws.undo()->hasAnyNewDo());
}

void TstUndo::undoOfNewSupportDeletesIt()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    Model *cube = addSelectedCube(ws);
    ShiftRecorder *s = addSupport(ws, cube);
    QCOMPARE(ws.undoList().records().back().model, static_cast<Model *>(s));
    QSignalSpy data(ws.scene(), &SceneObjects::quorModelDataChanged);
    ws.undo()->undo();
    QCOMPARE(ws.scene()->objects().size(), size_t(1));
    QVERIFY(cube->supports.empty());
    QCOMPARE(ws.undoList().records().size(), size_t(1));
    QVERIFY(data.count() >= 1);
}

void TstUndo::undoWithEmptyList()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    LogCapture log;
    ws.undo()->undo();
    QVERIFY(log.contains(QStringLiteral("do list empty")));
    QVERIFY(!ws.undo()->hasAnyNewDo());
}

void TstUndo::recordWithEmptyStackStays()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    Model *cube = addSelectedCube(ws);
    ws.transform()->startNewTransform(DoItem::DO_T_SCALE);
    ws.transform()->setSelectedModelScale(2, 2, 2);
    cube->transforms->clear(); // the stack lost its item behind the record's back
    QSignalSpy data(ws.scene(), &SceneObjects::quorModelDataChanged);
    ws.undo()->undo();
    QCOMPARE(ws.undoList().records().size(), size_t(2));
    QCOMPARE(data.count(), 0);
    QVERIFY(!cube->popTransform());
}

void TstUndo::rotateKeepsCentre()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    Model *m = makeBox({10, 0, 0}, {30, 4, 2});
    ws.scene()->addModel(m);
    ws.scene()->selectModel(m);
    const QVector3D before = m->center; // (20, 2, 1)
    ws.transform()->startNewTransform(DoItem::DO_T_ROTATE);
    ws.transform()->setSelectedModelRotate(0, 0, 90);
    ws.transform()->setSelectedModelRotate(30, 0, 90);
    m->updateGeometry(false);
    QVERIFY((m->center - before).length() < 1e-4f);
    QCOMPARE(m->transforms->size(), size_t(1));
    // After the quarter turn about z the 20 mm long side lies along y.
    ws.transform()->setSelectedModelRotate(0, 0, 90);
    m->updateGeometry(false);
    QVERIFY(qAbs((m->bboxMax.y() - m->bboxMin.y()) - 20.0f) < 1e-4f);
}

void TstUndo::rotate90TurnsAboutCentre()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    Model *m = makeBox({0, 0, 0}, {8, 2, 2});
    ws.scene()->addModel(m);
    m->rotate90(&ws.undoList());
    m->updateGeometry(false);
    QCOMPARE(int(ws.undoList().records().back().type), int(DoItem::DO_T_ROTATE));
    QVERIFY(qAbs((m->bboxMax.x() - m->bboxMin.x()) - 2.0f) < 1e-4f);
    QVERIFY(qAbs(m->center.x() - 4.0f) < 1e-4f);
}

void TstUndo::commandsWithoutSelection()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    ws.scene()->addModel(makeBox({0, 0, 0}, {1, 1, 1}));
    LogCapture log;
    ws.transform()->setSelectedModelTranslate(1, 2, 3);
    ws.transform()->setSelectedModelScale(1, 2, 3);
    ws.transform()->setSelectedModelRotate(1, 2, 3);
    QCOMPARE(log.lines().filter(QStringLiteral("no model selected")).size(), 3);
    ws.transform()->flip(1);
    ws.transform()->startNewTransform(DoItem::DO_T_TRANSLATE);
    QCOMPARE(ws.undoList().records().size(), size_t(1));
    QVERIFY(ws.scene()->objects()[0]->transforms->empty());
}

void TstUndo::editingWithoutOpenItemIsHarmless()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    Model *cube = addSelectedCube(ws);
    // The UI may send a value before any page opened an item; nothing may be written.
    ws.transform()->setSelectedModelTranslate(1, 1, 1);
    ws.transform()->setSelectedModelScale(2, 2, 2);
    ws.transform()->setSelectedModelRotate(0, 0, 45);
    QVERIFY(cube->transforms->empty());
    QVERIFY(cube->modelMatrix().isIdentity());
}

void TstUndo::startNewTransformRejectsNonTransformTypes()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    Model *cube = addSelectedCube(ws);
    ws.transform()->startNewTransform(DoItem::DO_NEW);
    ws.transform()->startNewTransform(DoItem::DO_UNKNOWN);
    QVERIFY(cube->transforms->empty());
    QCOMPARE(ws.undoList().records().size(), size_t(1));
}

void TstUndo::removedSupportTakesItsRecords()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    Model *cube = addSelectedCube(ws);
    ShiftRecorder *s = addSupport(ws, cube);
    ws.scene()->selectModel(s);
    ws.transform()->startNewTransform(DoItem::DO_T_SCALE);
    ws.transform()->setSelectedModelScale(2, 2, 2);
    ws.scene()->selectModel(cube);
    ws.supports()->removeAllSupportsOfSelectedModel();
    for (const DoItem &r : ws.undoList().records())
        QVERIFY(r.model == cube);
    ws.undo()->undo(); // must not touch the freed support
    QCOMPARE(ws.scene()->objects().size(), size_t(1));
}

void TstUndo::addDoPrunesAndFlags()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    Model *cube = addSelectedCube(ws);
    QVERIFY(!ws.undo()->hasAnyNewDo());
    ws.transform()->startNewTransform(DoItem::DO_T_TRANSLATE); // left at identity
    ws.undoList().addDo(cube, DoItem::DO_T_SCALE);
    QCOMPARE(cube->transforms->size(), size_t(1));
    QCOMPARE(cube->transforms->back().type, int(DoItem::DO_T_SCALE));
    QVERIFY(ws.undo()->hasAnyNewDo());
    DoItem copy = ws.undoList().records().back();
    QCOMPARE(copy.model, cube);
    QCOMPARE(int(copy.type), int(DoItem::DO_T_SCALE));
}

QTEST_GUILESS_MAIN(TstUndo)
#include "tst_undo.moc"
