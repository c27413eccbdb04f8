// Automatic support generation on generated models at the default settings, against the plain
// slicing job of the same model measured in the same run.
//
// usage: bench_autosupport [sphere|parts ...]   (both when none is named)
#include "TestMeshes.h"
#include "config/QuorConfig.h"
#include "model/Model.h"
#include "workspace/JobController.h"
#include "workspace/QuorApp.h"
#include "workspace/SceneObjects.h"
#include "workspace/Workspace.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QThread>

#include <cmath>
#include <cstdio>
#include <memory>

namespace {

void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

// Indexed mesh straight from the generated positions.
Model *indexedModel(const TestMesh &source)
{
    auto *model = new Model(Model::TYPE_NORMAL);
    MeshPrimitiveData &mesh = *model->mesh;
    mesh.vertices.clear();
    mesh.vertices.reserve(size_t(source.positions.size()));
    for (const QVector3D &p : source.positions)
        mesh.vertices.push_back({p.x(), p.y(), p.z(), 0.0f, 0.0f, 1.0f});
    mesh.indices.assign(source.indices.begin(), source.indices.end());
    mesh.baseVertexCount = uint32_t(mesh.vertices.size());
    model->meshReady = true;
    model->pushTransform(0);
    model->updateGeometry(true);
    return model;
}

TestMesh benchMesh(const QString &name)
{
    if (name == QLatin1String("sphere"))
        return TestMesh::sphere(QVector3D(0, 0, 25), 25.0f, 316, 316); // ~200,000 triangles
    // 40 separate spheres of 25,000 triangles on a rising spiral, most of them floating,
    // from 1.5 mm up to about 124 mm.
    TestMesh parts;
    for (int i = 0; i < 40; ++i) {
        const float angle = 0.9f * float(i);
        parts.append(TestMesh::sphere(
            QVector3D(22.0f * std::cos(angle), 22.0f * std::sin(angle), 6.0f + 2.9f * float(i)),
            4.5f, 125, 100));
    }
    return parts;
}

// Runs one job and returns its wall time once its closing progress for event arrived.
template <typename Start> double timeJob(Workspace &workspace, const QString &event, Start start)
{
    QEventLoop loop;
    QObject::connect(workspace.jobs(), &JobController::sliceCompletedProgress, &loop,
                     [&](float ratio, bool, const QString &e) {
                         if (ratio >= 1.0f && e == event)
                             loop.quit();
                     });
    QElapsedTimer timer;
    timer.start();
    start();
    loop.exec();
    return double(timer.nsecsElapsed()) / 1e6;
}

void benchOne(const QString &name, const QTemporaryDir &dir)
{
    auto app = std::make_unique<QuorApp>();
    auto config = std::make_unique<QuorConfig>();
    auto workspace = std::make_unique<Workspace>(*config);
    const TestMesh mesh = benchMesh(name);
    Model *model = indexedModel(mesh);
    workspace->scene()->addModel(model);
    workspace->scene()->setModelStatus(SceneObjects::MODEL_LOADED);
    const int triangles = mesh.indices.size() / 3;

    auto sliceJob = [&] {
        return timeJob(*workspace, QStringLiteral("slice"), [&] {
            workspace->jobs()->startSlice(dir.filePath(name + QStringLiteral(".cws")));
        });
    };
    // The default job anti-aliases at factor 2; the plain 1-bit job is the harder baseline.
    const double sliceMs = sliceJob();
    const bool antiAlias = config->useAntialise();
    config->useAntialise(false);
    const double plainSliceMs = sliceJob();
    config->useAntialise(antiAlias);
    const int layers = workspace->jobs()->sliceNumber();
    const double genMs = timeJob(*workspace, QStringLiteral("autoSupport"),
                                 [&] { workspace->jobs()->addSupportAuto(0.0f); });
    int pillars = 0, linkers = 0;
    for (const Model *object : workspace->scene()->objects()) {
        pillars += object->type == Model::TYPE_SUPPORT;
        linkers += object->type == Model::TYPE_SUPPORT_LINKER;
    }
    std::printf("%-7s %8d triangles %5d layers\n", qPrintable(name), triangles, layers);
    std::printf("  slicing job, default settings   %8.0f ms %7.2f ms/layer\n", sliceMs,
                sliceMs / layers);
    std::printf("  slicing job, anti-aliasing off  %8.0f ms %7.2f ms/layer\n", plainSliceMs,
                plainSliceMs / layers);
    std::printf(
        "  automatic supports              %8.0f ms %7.2f ms/layer  %d pillars %d linkers\n", genMs,
        genMs / layers, pillars, linkers);
    std::printf("  ratio generation / default job %.2fx, / anti-aliasing-off job %.2fx\n",
                genMs / sliceMs, genMs / plainSliceMs);
    std::fflush(stdout);
    workspace.reset();
    config.reset();
    app.reset();
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    // Settings and logs stay in the scratch directory.
    qputenv("HOME", dir.filePath(QStringLiteral("home")).toLocal8Bit());
    QGuiApplication application(argc, argv);
    qInstallMessageHandler(quiet);
    QStringList names = application.arguments().mid(1);
    if (names.isEmpty())
        names = QStringList{QStringLiteral("sphere"), QStringLiteral("parts")};
    std::printf("threads %d\n", QThread::idealThreadCount());
    for (const QString &name : qAsConst(names))
        benchOne(name, dir);
    return 0;
}
