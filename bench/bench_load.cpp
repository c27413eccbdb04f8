// Loads a generated 1,000,000-triangle binary STL through the workspace and compares the
// time with Assimp's own read of the same file, then times the geometry update.
#include "BenchMeshes.h"
#include "config/QuorConfig.h"
#include "model/MeshImport.h"
#include "model/Model.h"
#include "workspace/SceneObjects.h"
#include "workspace/Workspace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <assimp/Importer.hpp>
#include <assimp/config.h>
#include <assimp/scene.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#if !defined(__SANITIZE_ADDRESS__)
// Counts heap allocations so the geometry loop can show that it makes none.
// Only the geometry loop is counted, so Assimp's own allocations cost it nothing extra.
static long g_allocations = 0;
static bool g_counting = false;
void *operator new(std::size_t size)
{
    if (g_counting)
        ++g_allocations;
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept
{
    std::free(p);
}
void operator delete(void *p, std::size_t) noexcept
{
    std::free(p);
}
#define QUOR_COUNT_ALLOCATIONS 1
#endif

namespace {

using BenchMeshes::generateStl;
using BenchMeshes::kTriangles;

struct AssimpTimes
{
    double readMs = 0.0;    // ReadFile with the loader's settings
    double releaseMs = 0.0; // freeing the scene it built
};

AssimpTimes assimpRead(const QString &path)
{
    AssimpTimes t;
    QElapsedTimer timer;
    timer.start();
    auto *importer = new Assimp::Importer;
    importer->SetPropertyInteger(AI_CONFIG_PP_RVC_FLAGS, MeshImport::kKeepNormalsComponents);
    const aiScene *scene =
        importer->ReadFile(QFile::encodeName(path).constData(), MeshImport::kFlatNormalsFlags);
    if (!scene || scene->mNumMeshes == 0 || scene->mMeshes[0]->mNumFaces != kTriangles)
        qFatal("assimp could not read the benchmark file");
    t.readMs = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    delete importer;
    t.releaseMs = double(timer.nsecsElapsed()) / 1e6;
    return t;
}

double loadModelMs(Workspace &ws, const QUrl &url)
{
    QElapsedTimer timer;
    timer.start();
    if (!ws.scene()->loadModel(url))
        qFatal("loadModel failed");
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    ws.scene()->deleteModel(ws.scene()->objects().back());
    return ms;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

long peakRssMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(quiet);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.stl"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(generateStl()) != 84 + 50 * kTriangles)
            qFatal("cannot write %s", qPrintable(path));
    }
    const QUrl url = QUrl::fromLocalFile(path);
    const long baseRss = peakRssMiB();

    QuorConfig config;
    config.setSaveOnExit(false); // the person's settings stay as they were
    Workspace ws(config);
    assimpRead(path); // warm the page cache
    const double firstLoadMs = loadModelMs(ws, url);
    const long loadPeak = peakRssMiB();

    std::vector<double> reads, releases, total;
    for (int i = 0; i < rounds; ++i) {
        const AssimpTimes t = assimpRead(path);
        reads.push_back(t.readMs);
        releases.push_back(t.releaseMs);
        total.push_back(loadModelMs(ws, url));
    }
    const double assimpMs = median(reads);
    const double releaseMs = median(releases);
    const double totalMs = median(total);
    // What the loader adds after Assimp returns: copy with checks, placement, geometry.
    const double oursMs = totalMs - assimpMs - releaseMs;

    if (!ws.scene()->loadModel(url))
        qFatal("loadModel failed");
    Model *model = ws.scene()->objects().back();
    const int geometryRounds = 20;
    std::vector<double> geometry;
    geometry.reserve(geometryRounds);
#ifdef QUOR_COUNT_ALLOCATIONS
    g_counting = true;
#endif
    for (int i = 0; i < geometryRounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        model->updateGeometry(true);
        geometry.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
#ifdef QUOR_COUNT_ALLOCATIONS
    g_counting = false;
    const long allocations = g_allocations;
#else
    const long allocations = -1;
#endif

    std::printf("triangles                     %d\n", kTriangles);
    std::printf("rounds                        %d (medians)\n", rounds);
    std::printf("first loadModel               %.1f ms\n", firstLoadMs);
    std::printf("assimp ReadFile               %.1f ms\n", assimpMs);
    std::printf("assimp scene release          %.1f ms\n", releaseMs);
    std::printf("loadModel total               %.1f ms\n", totalMs);
    std::printf("our share after assimp        %.1f ms = %.1f%% of assimp\n", oursMs,
                100.0 * oursMs / assimpMs);
    std::printf("updateGeometry(true)          %.2f ms median, %.2f ms min (%d calls)\n",
                median(geometry), *std::min_element(geometry.begin(), geometry.end()),
                geometryRounds);
    std::printf("heap allocations in geometry  %ld\n", allocations);
    std::printf("peak RSS                      %ld MiB (%ld MiB before loading, %ld MiB after "
                "the first load)\n",
                peakRssMiB(), baseRss, loadPeak);
    return 0;
}
