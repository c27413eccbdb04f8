// Automatic supports end to end: the generator thread renders small meshes built in code,
// and the workspace turns its points into pillars on the GUI thread.
#include "LogCapture.h"
#include "SliceTestScene.h"
#include "model/Support.h"

#include <QThread>

#include <limits>

namespace {

using Progress = QList<QVariant>;

constexpr float kThicknessMm = 0.05f;
constexpr double kPixelsPerMm = 21.164;

// Job settings every case relies on: 0.05 mm layers on a 1440 x 2560 panel at 21.164 px/mm.
void useDefaultPanel(QuorConfig &config, float thicknessMm = kThicknessMm)
{
    SliceBuildConfig *settings = config.buildConfig();
    settings->layerThicknessMm = thicknessMm;
    settings->xPixelsPerMm = kPixelsPerMm;
    settings->yPixelsPerMm = kPixelsPerMm;
    settings->imageWidthPx = 1440;
    settings->imageHeightPx = 2560;
}

TestMesh boxMesh(float x0, float y0, float z0, float x1, float y1, float z1)
{
    return TestMesh::box(QVector3D(x0, y0, z0), QVector3D(x1, y1, z1));
}

// A 3 x 3 x 1 mm tab whose underside is at zMm, centred on (x, y).
TestMesh tabMesh(float x, float y, float zMm, float sideMm = 3.0f)
{
    const float h = sideMm / 2.0f;
    return boxMesh(x - h, y - h, zMm, x + h, y + h, zMm + 1.0f);
}

std::vector<CWS::Support *> pillarsOf(const Workspace &workspace, const Model *owner)
{
    std::vector<CWS::Support *> out;
    for (Model *object : workspace.scene()->objects()) {
        if (object->type == Model::TYPE_SUPPORT && object->parent == owner)
            out.push_back(static_cast<CWS::Support *>(object));
    }
    return out;
}

// The contact point of a vertical pillar: on its axis, one head-top radius below its top.
QVector3D contactOf(CWS::Support *support)
{
    support->updateGeometry(false);
    const QVector3D lo = support->bboxMin, hi = support->bboxMax;
    return QVector3D((lo.x() + hi.x()) / 2.0f, (lo.y() + hi.y()) / 2.0f,
                     hi.z() - support->config->headTopRadius());
}

bool endsRun(const Progress &args)
{
    return args.at(0).toFloat() >= 1.0f && args.at(2).toString() == QLatin1String("autoSupport");
}

} // namespace

class TestAutoSupport : public QObject
{
    Q_OBJECT

private slots:
    void shrinkingModelGetsNone();
    void downwardTabGetsOneAtItsCentre();
    void armsOfATGetNone();
    void stripGetsRowAtSpacingPlusOnePixel();
    void clearanceBelow_data();
    void clearanceBelow();
    void pillarsAreOwnedRecordedAndSelectedOnGuiThread();
    void everyModelWhenNoneSelectedOnlyTheSelectedOtherwise();
    void refusedUnlessLoaded();
    void cancelKeepsSupportsMadeSoFar();
    void workspaceGoneMidRun();
    void sceneEditsWaitForTheRun();
    void pointThatBuildsNoPillarIsDropped();
    void tooManyLayersForTheMapsIsSkipped();

private:
    // Starts a run and waits for its closing progress; returns every "autoSupport" progress.
    QList<Progress> runAuto(SliceTestScene &scene, int timeoutMs = 60000);
};

QList<Progress> TestAutoSupport::runAuto(SliceTestScene &scene, int timeoutMs)
{
    Workspace &ws = *scene.workspace;
    QSignalSpy progress(ws.jobs(), &JobController::sliceCompletedProgress);
    if (ws.scene()->status() == SceneObjects::MODEL_INIT && !ws.scene()->objects().empty())
        ws.scene()->setModelStatus(SceneObjects::MODEL_LOADED);
    ws.jobs()->addSupportAuto(2.0f);
    auto ended = [&] { return std::any_of(progress.begin(), progress.end(), endsRun); };
    [&] { QTRY_VERIFY_WITH_TIMEOUT(ended(), timeoutMs); }();
    QList<Progress> all;
    for (const Progress &args : qAsConst(progress))
        all << args;
    return all;
}

void TestAutoSupport::shrinkingModelGetsNone()
{
    SliceTestScene scene;
    useDefaultPanel(*scene.config);
    // A stepped pyramid on the platform: each section lies inside the one below.
    TestMesh pyramid = boxMesh(-10, -10, 0, 10, 10, 2);
    pyramid.append(boxMesh(-7, -7, 2, 7, 7, 4));
    pyramid.append(boxMesh(-4, -4, 4, 4, 4, 6));
    Model *model = scene.add(modelFromMesh(pyramid));
    const QList<Progress> progress = runAuto(scene);
    QVERIFY(pillarsOf(*scene.workspace, model).empty());
    QCOMPARE(int(scene.workspace->scene()->objects().size()), 1);
    QCOMPARE(scene.workspace->scene()->status(), SceneObjects::MODEL_LOADED);
    // Closing progress 1.1, not cancelled.
    QCOMPARE(progress.last().at(0).toFloat(), 1.1f);
    QCOMPARE(progress.last().at(1).toBool(), false);
}

void TestAutoSupport::downwardTabGetsOneAtItsCentre()
{
    SliceTestScene scene;
    useDefaultPanel(*scene.config);
    TestMesh mesh = boxMesh(-12, -1, 0, -10, 1, 8); // a column standing on the platform
    mesh.append(tabMesh(5.0f, 0.0f, 5.0f));         // a tab first seen at z = 5
    Model *model = scene.add(modelFromMesh(mesh));
    LogCapture log;
    runAuto(scene);
    const std::vector<CWS::Support *> pillars = pillarsOf(*scene.workspace, model);
    QCOMPARE(int(pillars.size()), 1);
    const QVector3D contact = contactOf(pillars[0]);
    // Columns 794..857 (3.5 and 6.5 mm truncated to 74 and 137 px), rows 1249..1311: the
    // centre pixel (825, 1280) is 105 px right of the image centre.
    QVERIFY2(qAbs(contact.x() - float(105.0 / kPixelsPerMm)) < 1e-4f,
             qPrintable(QString::number(contact.x())));
    QVERIFY2(qAbs(contact.y()) < 1e-4f, qPrintable(QString::number(contact.y())));
    // Layer 100 is the first whose mid-plane (100.5 x 0.05) is above 5; 0.01 layer higher.
    QVERIFY2(qAbs(contact.z() - 100.51f * kThicknessMm) < 1e-4f,
             qPrintable(QString::number(contact.z())));
    // It stands on the platform.
    QVERIFY(qAbs(pillars[0]->bboxMin.z()) < 1e-4f);
    QVERIFY(log.contains(QStringLiteral("Support Generation Started")));
    QVERIFY(log.contains(QStringLiteral("Support Generation Completed")));
    QVERIFY(log.contains(QStringLiteral("add support for island that have no support at all")));
    QVERIFY(log.contains(QStringLiteral("SupportLocation")));
}

void TestAutoSupport::armsOfATGetNone()
{
    SliceTestScene scene;
    useDefaultPanel(*scene.config);
    // Stem from the platform; the arms start at z = 8 against its sides, in the same layers.
    TestMesh t = boxMesh(-1, -1, 0, 1, 1, 10);
    t.append(boxMesh(-10, -1, 8, -1, 1, 10));
    t.append(boxMesh(1, -1, 8, 10, 1, 10));
    Model *model = scene.add(modelFromMesh(t));
    runAuto(scene);
    QVERIFY(pillarsOf(*scene.workspace, model).empty());
}

void TestAutoSupport::stripGetsRowAtSpacingPlusOnePixel()
{
    SliceTestScene scene;
    useDefaultPanel(*scene.config);
    Model *model = scene.add(modelFromMesh(boxMesh(-10, -1, 3, 10, 1, 4)));
    runAuto(scene);
    std::vector<CWS::Support *> pillars = pillarsOf(*scene.workspace, model);
    // Columns 509..931 (x = +-10 mm truncated to +-211 px), spacing 104: the first pass puts
    // x0 = 510 and steps 105 px, so 510, 615, 720, 825, 930 on the centre row 1280.
    QCOMPARE(int(pillars.size()), 5);
    std::vector<QVector3D> contacts;
    for (CWS::Support *s : pillars)
        contacts.push_back(contactOf(s));
    std::sort(contacts.begin(), contacts.end(),
              [](const QVector3D &a, const QVector3D &b) { return a.x() < b.x(); });
    const float stepMm = float(105.0 / kPixelsPerMm);
    for (size_t i = 0; i < contacts.size(); ++i) {
        QVERIFY(qAbs(contacts[i].y()) < 1e-4f);
        QVERIFY(qAbs(contacts[i].x() - (float(i) - 2.0f) * stepMm) < 1e-4f);
        // The strip's underside is first seen at layer 60.
        QVERIFY(qAbs(contacts[i].z() - 60.51f * kThicknessMm) < 1e-4f);
    }
}

void TestAutoSupport::clearanceBelow_data()
{
    QTest::addColumn<float>("gapMm");
    QTest::addColumn<int>("expected");
    // 1 mm is 20 layers of 0.05 mm, under the 39 of clearance; 3 mm is 60. Too close or
    // not, the tab gets a pillar: without one it cures onto nothing.
    QTest::newRow("1 mm") << 1.0f << 1;
    QTest::newRow("3 mm") << 3.0f << 1;
}

void TestAutoSupport::clearanceBelow()
{
    QFETCH(float, gapMm);
    QFETCH(int, expected);
    SliceTestScene scene;
    useDefaultPanel(*scene.config);
    TestMesh mesh = boxMesh(-8, -8, 0, 8, 8, 1); // a plate on the platform
    mesh.append(tabMesh(0.0f, 0.0f, 1.0f + gapMm));
    Model *model = scene.add(modelFromMesh(mesh));
    runAuto(scene);
    const std::vector<CWS::Support *> pillars = pillarsOf(*scene.workspace, model);
    QCOMPARE(int(pillars.size()), expected);
    if (expected) {
        // Through the plate down to the platform, not onto the plate.
        QVERIFY(qAbs(pillars[0]->bboxMin.z()) < 1e-4f);
        QVERIFY(qAbs(contactOf(pillars[0]).z() - (1.0f + gapMm)) < 2.0f * kThicknessMm);
    }
}

void TestAutoSupport::pillarsAreOwnedRecordedAndSelectedOnGuiThread()
{
    SliceTestScene scene;
    useDefaultPanel(*scene.config);
    Workspace &ws = *scene.workspace;
    Model *model = scene.add(modelFromMesh(tabMesh(0.0f, 0.0f, 4.0f)));
    ws.scene()->setModelStatus(SceneObjects::MODEL_LOADED);

    QSignalSpy status(ws.scene(), &SceneObjects::modelStatusChanged);
    QThread *gui = QThread::currentThread();
    int selections = 0;
    bool offThread = false;
    connect(
        ws.scene(), &SceneObjects::modelSelectionChanged, this,
        [&](int index) {
            offThread = offThread || QThread::currentThread() != gui;
            selections += index >= 0 ? 1 : 0;
        },
        Qt::DirectConnection);

    const QList<Progress> progress = runAuto(scene);
    QVERIFY(!offThread);
    QVERIFY(selections >= 1);
    QVERIFY(model->selected);

    // First status change into the run, the last one out of it.
    QVERIFY(status.size() >= 2);
    QCOMPARE(status.first().at(0).value<SceneObjects::ModelStatus>(), SceneObjects::MODEL_LOADED);
    QCOMPARE(status.first().at(1).value<SceneObjects::ModelStatus>(),
             SceneObjects::MODEL_AUTO_GEN_SUPPORT);
    QCOMPARE(status.last().at(1).value<SceneObjects::ModelStatus>(), SceneObjects::MODEL_LOADED);
    QVERIFY(!ws.jobs()->isGeneratingSupports());

    // Ratios rise through the run and close with 1.1, all tagged "autoSupport".
    float previous = 0.0f;
    for (const Progress &args : progress) {
        QCOMPARE(args.at(2).toString(), QStringLiteral("autoSupport"));
        QVERIFY(args.at(0).toFloat() > previous);
        previous = args.at(0).toFloat();
    }
    QCOMPARE(previous, 1.1f);
    // The last layer's ratio (n - 1) / n is never sent as 1.0.
    QVERIFY(progress.size() >= 2);
    QVERIFY(progress.at(progress.size() - 2).at(0).toFloat() < 1.0f);

    const std::vector<CWS::Support *> pillars = pillarsOf(ws, model);
    QCOMPARE(int(pillars.size()), 1);
    CWS::Support *pillar = pillars[0];
    QVERIFY(std::find(model->supports.begin(), model->supports.end(), pillar) !=
            model->supports.end());
    QVERIFY(pillar->transforms == model->transforms); // follows its owner
    const bool recorded =
        std::any_of(ws.undoList().records().begin(), ws.undoList().records().end(),
                    [&](const DoItem &d) { return d.model == pillar && d.type == DoItem::DO_NEW; });
    QVERIFY(recorded);
    QVERIFY(ws.jobs()->getSliceCostTime().contains(QLatin1Char(':')));

    // Undo takes the pillar away again.
    ws.undo()->undo();
    QVERIFY(pillarsOf(ws, model).empty());
    QVERIFY(model->supports.empty());
}

void TestAutoSupport::everyModelWhenNoneSelectedOnlyTheSelectedOtherwise()
{
    SliceTestScene scene;
    useDefaultPanel(*scene.config);
    Workspace &ws = *scene.workspace;
    Model *left = scene.add(modelFromMesh(tabMesh(-20.0f, 0.0f, 3.0f)));
    Model *right = scene.add(modelFromMesh(tabMesh(20.0f, 0.0f, 6.0f)));
    ws.scene()->deselectAll(false);
    runAuto(scene);
    QCOMPARE(int(pillarsOf(ws, left).size()), 1);
    QCOMPARE(int(pillarsOf(ws, right).size()), 1);
    // The left pillar stands under the left tab, not the right one.
    QVERIFY(qAbs(contactOf(pillarsOf(ws, left)[0]).x() + 20.0f) < 0.1f);

    // A second run with one model selected touches only that one; the pillars of the first
    // run, being no ordinary models, are never analysed.
    Model *third = scene.add(modelFromMesh(tabMesh(0.0f, 20.0f, 4.0f)));
    ws.scene()->selectModel(third);
    runAuto(scene);
    QCOMPARE(int(pillarsOf(ws, left).size()), 1);
    QCOMPARE(int(pillarsOf(ws, right).size()), 1);
    QCOMPARE(int(pillarsOf(ws, third).size()), 1);
}

void TestAutoSupport::refusedUnlessLoaded()
{
    SliceTestScene scene;
    Workspace &ws = *scene.workspace;
    QSignalSpy progress(ws.jobs(), &JobController::sliceCompletedProgress);
    // An empty workspace is MODEL_INIT.
    ws.jobs()->addSupportAuto(0.0f);
    QVERIFY(!ws.jobs()->isGeneratingSupports());
    QCOMPARE(ws.scene()->status(), SceneObjects::MODEL_INIT);
    // So is the layer preview.
    scene.add(modelFromMesh(tabMesh(0.0f, 0.0f, 3.0f)));
    QVERIFY(ws.layers()->setShowSliceEnable(true));
    ws.jobs()->addSupportAuto(0.0f);
    QVERIFY(!ws.jobs()->isGeneratingSupports());
    QCOMPARE(ws.scene()->status(), SceneObjects::MODEL_SHOW_SLICE);
    QVERIFY(progress.isEmpty());
}

void TestAutoSupport::cancelKeepsSupportsMadeSoFar()
{
    SliceTestScene scene;
    // Thin layers make the run long enough to cancel in its first part.
    useDefaultPanel(*scene.config, 0.01f);
    Workspace &ws = *scene.workspace;
    TestMesh mesh;
    const int tabs = 15;
    for (int k = 0; k < tabs; ++k)
        mesh.append(tabMesh(-35.0f + 5.0f * k, 0.0f, 2.0f + 2.0f * k, 1.0f));
    Model *model = scene.add(modelFromMesh(mesh));
    // Cancel as soon as the first pillar exists.
    connect(ws.scene(), &SceneObjects::quorModelDataChanged, this, [&] {
        if (!pillarsOf(ws, model).empty() && !ws.jobs()->getCancelSlice())
            ws.jobs()->cancelSlice();
    });
    LogCapture log;
    const QList<Progress> progress = runAuto(scene);
    QCOMPARE(progress.last().at(0).toFloat(), 1.1f);
    QCOMPARE(progress.last().at(1).toBool(), true);
    QCOMPARE(ws.scene()->status(), SceneObjects::MODEL_LOADED);
    QVERIFY(!ws.jobs()->isGeneratingSupports());
    QVERIFY(log.contains(QStringLiteral("Support Generation Cancelled")));
    const int kept = int(pillarsOf(ws, model).size());
    QVERIFY(kept >= 1);
    QVERIFY2(kept < tabs, qPrintable(QString::number(kept)));
    // Each kept pillar is undone on its own.
    ws.undo()->undo();
    QCOMPARE(int(pillarsOf(ws, model).size()), kept - 1);
}

void TestAutoSupport::workspaceGoneMidRun()
{
    auto scene = std::make_unique<SliceTestScene>();
    useDefaultPanel(*scene->config, 0.01f);
    scene->add(modelFromMesh(boxMesh(-5, -5, 0, 5, 5, 30)));
    scene->workspace->scene()->setModelStatus(SceneObjects::MODEL_LOADED);
    scene->workspace->jobs()->addSupportAuto(0.0f);
    QVERIFY(scene->workspace->jobs()->isGeneratingSupports());
    // The workspace stops the worker before it frees the models the worker reads.
    scene.reset();
}

// The worker reads the meshes and transforms without locking: every scene edit is refused
// until the run has ended, and works again afterwards.
void TestAutoSupport::sceneEditsWaitForTheRun()
{
    SliceTestScene scene;
    useDefaultPanel(*scene.config, 0.01f);
    Workspace &ws = *scene.workspace;
    Model *model = scene.add(modelFromMesh(boxMesh(-5, -5, 0, 5, 5, 20)));
    Model *other = scene.add(modelFromMesh(boxMesh(20, -5, 0, 30, 5, 20)));
    ws.scene()->setModelStatus(SceneObjects::MODEL_LOADED);
    ws.scene()->selectModel(model);
    ws.transform()->startNewTransform(DoItem::DO_T_TRANSLATE);
    ws.transform()->setSelectedModelTranslate(1.0f, 0.0f, 0.0f);
    const size_t records = ws.undoList().records().size();
    const size_t objects = ws.scene()->objects().size();
    const QMatrix4x4 before = model->modelMatrix();

    QSignalSpy progress(ws.jobs(), &JobController::sliceCompletedProgress);
    ws.jobs()->addSupportAuto(2.0f);
    QVERIFY(ws.jobs()->isGeneratingSupports());
    LogCapture log;
    ws.undo()->undo();
    ws.transform()->startNewTransform(DoItem::DO_T_TRANSLATE);
    ws.transform()->setSelectedModelTranslate(9.0f, 9.0f, 0.0f);
    ws.transform()->setSelectedModelScale(2.0f, 2.0f, 2.0f);
    ws.transform()->setSelectedModelRotate(0.0f, 0.0f, 45.0f);
    ws.transform()->flip(1);
    ws.scene()->copyModel(ws.scene()->getSelectedModelIndex());
    ws.supports()->addSupportBase(1.0f);
    ws.transform()->moveToBottom();
    ws.transform()->autoLayoutModel();
    ws.supports()->removeAllSupportsOfSelectedModel();
    ws.scene()->deleteSelectedModel();
    QVERIFY(!ws.scene()->deleteModel(other));
    // Leaving a preview does not take the status from the running job.
    ws.layers()->setShowSliceEnable(false);
    QCOMPARE(ws.scene()->status(), SceneObjects::MODEL_AUTO_GEN_SUPPORT);
    // Twelve refusals; deleteSelectedModel already stops at its status check.
    QCOMPARE(log.count(QStringLiteral("refused while a background job runs")), 12);
    QVERIFY(log.contains(QStringLiteral("not in status MODEL_LOADED, do nothing")));
    QCOMPARE(model->modelMatrix(), before);
    QCOMPARE(ws.scene()->objects().size(), objects);
    // No point has come back yet (the loop has not run), so no record either.
    QCOMPARE(ws.undoList().records().size(), records);

    ws.jobs()->cancelSlice();
    QTRY_VERIFY_WITH_TIMEOUT(std::any_of(progress.begin(), progress.end(), endsRun), 60000);
    QCOMPARE(ws.scene()->status(), SceneObjects::MODEL_LOADED);
    ws.scene()->selectModel(model);
    ws.scene()->copyModel(ws.scene()->getSelectedModelIndex());
    QCOMPARE(ws.scene()->objects().size(), objects + 1);
}

// A point that cannot become a pillar (here a non-finite one) leaves no empty support and no
// undo record behind.
void TestAutoSupport::pointThatBuildsNoPillarIsDropped()
{
    SliceTestScene scene;
    Workspace &ws = *scene.workspace;
    Model *model = scene.add(modelFromMesh(boxMesh(-5, -5, 5, 5, 5, 10)));
    const size_t objects = ws.scene()->objects().size();
    const size_t records = ws.undoList().records().size();
    ws.supports()->addAutoSupportPoint(
        model, QVector3D(std::numeric_limits<float>::quiet_NaN(), 0.0f, 5.0f));
    QCOMPARE(ws.scene()->objects().size(), objects);
    QCOMPARE(ws.undoList().records().size(), records);
    QVERIFY(model->supports.empty());
    ws.supports()->addAutoSupportPoint(model, QVector3D(0.0f, 0.0f, 5.0f));
    QCOMPARE(ws.scene()->objects().size(), objects + 1);
}

void TestAutoSupport::tooManyLayersForTheMapsIsSkipped()
{
    SliceTestScene scene;
    // 70 mm of 0.001 mm layers is 70,000 layers, more than the 16-bit maps can number.
    useDefaultPanel(*scene.config, 0.001f);
    TestMesh mesh = boxMesh(-2, -2, 0, 2, 2, 1);
    mesh.append(tabMesh(0.0f, 0.0f, 69.0f));
    Model *model = scene.add(modelFromMesh(mesh));
    LogCapture log;
    const QList<Progress> progress = runAuto(scene);
    QVERIFY(log.contains(QStringLiteral("too many layers for automatic supports")));
    QVERIFY(pillarsOf(*scene.workspace, model).empty());
    QCOMPARE(progress.last().at(0).toFloat(), 1.1f);
    QCOMPARE(scene.workspace->scene()->status(), SceneObjects::MODEL_LOADED);
}

QTEST_GUILESS_MAIN(TestAutoSupport)
#include "tst_autosupport.moc"
