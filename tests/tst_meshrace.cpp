// The render thread drawing while a slicing job and project saves read the same meshes: the
// view never writes model data, so the job's archive and the saved project come out as they do
// without a window. Built with ThreadSanitizer as well (QUOR_SANITIZE_THREAD).
#include "LogCapture.h"
#include "SceneMeshes.h"
#include "SliceTestScene.h"
#include "UiHarness.h"
#include "view/SceneMouse.h"

#include "view/SceneRenderer.h"

#include <QtTest>

using namespace SceneMeshes;

namespace {

// A closed ring of boxes: a model of a few thousand triangles, 20 mm tall (enough layers that
// a job lasts through several saves).
QUrl writeRing(const QString &name)
{
    std::vector<Triangle> tris;
    for (int i = 0; i < 120; ++i) {
        const float a = float(i) * 3.0f;
        const std::vector<Triangle> box =
            boxTriangles(QVector3D(a * 0.1f, 0.2f * float(i % 7), 0),
                         QVector3D(a * 0.1f + 0.25f, 0.2f * float(i % 7) + 2.0f, 20.0f));
        tris.insert(tris.end(), box.begin(), box.end());
    }
    const QString path = QDir::currentPath() + QLatin1Char('/') + name;
    writeFile(path, binaryStl(tris));
    return QUrl::fromLocalFile(path);
}

// The layer images of a job archive in layer order (entry names carry the archive's own name;
// the G-code carries the time).
QList<QByteArray> layersOf(const QString &path)
{
    const QMap<QString, QByteArray> entries = ArchiveContents::read(path).data;
    QList<QByteArray> layers;
    for (auto it = entries.begin(); it != entries.end(); ++it)
        if (it.key().endsWith(QLatin1String(".png")))
            layers << it.value();
    return layers;
}

} // namespace

class TstMeshRace : public QObject
{
    Q_OBJECT
private slots:
    void drawingWhileJobAndSavesRun();
};

void TstMeshRace::drawingWhileJobAndSavesRun()
{
    UiHarness ui;
    QVERIFY(ui.waitForFrames());
    Workspace *ws = ui.workspace();
    QuorApp *app = ui.app();
    ui.config()->useAntialise(false);
    ui.config()->save();
    app->open(writeRing(QStringLiteral("ring.stl")));
    // Copies share the model's mesh: every object below reads the same arrays.
    ws->scene()->copyModel(ws->scene()->getSelectedModelIndex());
    ws->scene()->copyModel(1);
    ws->transform()->autoLayoutModel();
    ws->scene()->deselectAll(true);
    QVERIFY(ui.waitForFrames(3));
    const QString project = QDir::currentPath() + QStringLiteral("/race.qsp");
    app->setPrjFile(QUrl::fromLocalFile(project).toString());

    // Reference: the same job with nothing else going on.
    const QString reference = QDir::currentPath() + QStringLiteral("/reference.cws");
    // Progress comes from the job's threads: heard here through the event loop, as the window
    // hears it (a signal spy would be written from those threads).
    bool ended = false;
    QObject context;
    QObject::connect(ws->jobs(), &JobController::sliceCompletedProgress, &context,
                     [&ended](float ratio, bool, const QString &) {
                         if (ratio >= 1.0f)
                             ended = true;
                     });
    auto jobEnded = [&ended] { return ended; };
    app->setCwsFile(QUrl::fromLocalFile(reference));
    QTRY_VERIFY_WITH_TIMEOUT(jobEnded(), 120000);
    QVERIFY(ws->jobs()->lastSliceCompleted());

    // Now a job while the view draws frame after frame and the project is saved again and again.
    ended = false;
    const QString busy = QDir::currentPath() + QStringLiteral("/busy.cws");
    const int framesBefore = SceneRenderer::counters().frames;
    app->setCwsFile(QUrl::fromLocalFile(busy));
    int saves = 0;
    while (!jobEnded()) {
        ui.scene()->mouse()->moved(1, QPoint(0, 0), QPoint(0, 0), QPoint(2, 1));
        app->savePrj();
        ++saves;
        QVERIFY(ui.waitForFrames(1));
    }
    QVERIFY(ws->jobs()->lastSliceCompleted());
    QVERIFY(saves > 1);
    QVERIFY(SceneRenderer::counters().frames - framesBefore > 1);
    const QList<QByteArray> layers = layersOf(busy);
    QCOMPARE(layers.size(), 400); // 20 mm at 50 um
    QVERIFY(layers == layersOf(reference));

    // The layer preview uploads new cuts while saves read the meshes.
    QVERIFY(ws->layers()->setShowSliceEnable(true));
    const int uploadsBefore = SceneRenderer::counters().uploads;
    for (int layer = 0; layer < 80; layer += 4) {
        ws->layers()->setCurrentLayer(layer);
        app->savePrj();
        QVERIFY(ui.waitForFrames(1));
    }
    QVERIFY(SceneRenderer::counters().uploads - uploadsBefore >= 3 * 10);
    ws->layers()->setShowSliceEnable(false);

    // The last save reopens to the same scene, vertex for vertex.
    std::vector<std::vector<Vertex>> before;
    for (const Model *m : ws->scene()->objects())
        if (m->type == Model::TYPE_NORMAL) {
            std::vector<Vertex> world;
            const QMatrix4x4 matrix = m->modelMatrix();
            for (const Vertex &v : m->mesh->vertices) {
                const QVector3D p = matrix.map(QVector3D(v.px, v.py, v.pz));
                world.push_back({p.x(), p.y(), p.z(), 0, 0, 0});
            }
            before.push_back(world);
        }
    const int objects = ws->scene()->modelSize();
    ws->scene()->deselectAll(true);
    while (ws->scene()->modelSize() > 0) {
        ws->scene()->selectModel(ws->scene()->objects().back());
        ws->scene()->deleteSelectedModel();
    }
    app->open(QUrl::fromLocalFile(project));
    QCOMPARE(ws->scene()->modelSize(), objects);
    size_t k = 0;
    for (const Model *m : ws->scene()->objects()) {
        if (m->type != Model::TYPE_NORMAL)
            continue;
        QVERIFY(k < before.size());
        const std::vector<Vertex> &expected = before[k++];
        QCOMPARE(m->mesh->vertices.size(), expected.size());
        const QMatrix4x4 matrix = m->modelMatrix();
        for (size_t i = 0; i < expected.size(); ++i) {
            const Vertex &v = m->mesh->vertices[i];
            const QVector3D p = matrix.map(QVector3D(v.px, v.py, v.pz));
            QVERIFY(std::fabs(p.x() - expected[i].px) < 1e-4f &&
                    std::fabs(p.y() - expected[i].py) < 1e-4f &&
                    std::fabs(p.z() - expected[i].pz) < 1e-4f);
        }
    }
    QCOMPARE(k, before.size());
}

QUOR_WINDOW_TEST_MAIN(TstMeshRace)
#include "tst_meshrace.moc"
