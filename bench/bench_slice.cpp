// Full slicing jobs on generated models at the default settings, with anti-aliasing off and at
// factor 2, against the output floor measured in the same run: encoding the job's own layer
// images to PNG and deflating them into zip entries with as many threads as the slicer uses.
//
// usage: bench_slice [cube|sphere|parts ...]   (all three when none is named)
#include "TestMeshes.h"
#include "config/QuorConfig.h"
#include "model/Model.h"
#include "workspace/QuorApp.h"
#include "workspace/QuorModel.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMutex>
#include <QTemporaryDir>
#include <QThreadPool>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <string>

#include <malloc.h>

namespace {

void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

long peakRssKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

// Memory the allocator still holds from an earlier row (the floor's decoded images) would count
// as this job's; it is handed back first.
void resetPeakRss()
{
    ::malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}

Model *modelFrom(const TestMesh &m)
{
    Model *model = new Model(Model::TYPE_NORMAL);
    auto &v = model->mesh->vertices;
    auto &idx = model->mesh->indices;
    v.reserve(size_t(m.positions.size()));
    for (const QVector3D &p : m.positions)
        v.push_back({p.x(), p.y(), p.z(), 0, 0, 1});
    idx.assign(m.indices.begin(), m.indices.end());
    model->mesh->baseVertexCount = uint32_t(v.size());
    model->meshReady = true;
    model->pushTransform(0);
    model->updateGeometry(true);
    return model;
}

TestMesh makeMesh(const QString &name)
{
    if (name == QLatin1String("cube"))
        return TestMesh::box(QVector3D(-10, -10, 0), QVector3D(10, 10, 20));
    if (name == QLatin1String("sphere"))
        return TestMesh::sphere(QVector3D(0, 0, 25), 25.0f, 316, 316); // ~200,000 triangles
    // 50 separate spheres of 20,000 triangles over 110 mm.
    TestMesh parts;
    for (int i = 0; i < 50; ++i) {
        const int level = i / 10, slot = i % 10;
        parts.append(TestMesh::sphere(QVector3D(-24.0f + float(slot % 5) * 12.0f,
                                                -25.0f + float(slot / 5) * 50.0f,
                                                6.0f + float(level) * 24.0f + float(slot) * 0.4f),
                                      5.0f, 100, 100));
    }
    return parts;
}

struct JobResult
{
    double wallMs = 0;
    int layers = 0;
    long peakKb = 0;
    bool ok = false;
};

JobResult runJob(QuorModel &workspace, QuorApp &app, const QString &archive)
{
    QEventLoop loop;
    QObject::connect(&workspace,
                     QOverload<float, bool, QString>::of(&QuorModel::sliceCompletedProgress), &loop,
                     [&](float ratio, bool, const QString &) {
                         if (ratio >= 1.0f)
                             loop.quit();
                     });
    resetPeakRss();
    QElapsedTimer timer;
    timer.start();
    app.setCwsFile(QUrl::fromLocalFile(archive));
    workspace.startSlice();
    loop.exec();
    JobResult r;
    r.wallMs = double(timer.nsecsElapsed()) / 1e6;
    r.layers = workspace.sliceNumber();
    r.peakKb = peakRssKb();
    r.ok = workspace.lastSliceCompleted();
    return r;
}

// The floor: the job's own images, encoded and deflated into a fresh archive.
double outputFloorMs(const QString &archive, const QString &floorArchive)
{
    QVector<QImage> images;
    QStringList names;
    {
        QuaZip zip(archive);
        zip.open(QuaZip::mdUnzip);
        for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
            const QString name = zip.getCurrentFileName();
            if (!name.endsWith(QLatin1String(".png")))
                continue;
            QuaZipFile f(&zip);
            f.open(QIODevice::ReadOnly);
            images << QImage::fromData(f.readAll(), "PNG");
            names << name;
        }
    }
    QFile file(floorArchive);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
    QuaZip zip(&file);
    zip.open(QuaZip::mdCreate);
    QMutex mutex;
    QThreadPool pool;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < images.size(); ++i) {
        pool.start([&, i] {
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            images[i].save(&buffer, "PNG", -1);
            QMutexLocker lock(&mutex);
            QuaZipFile entry(&zip);
            entry.open(QIODevice::WriteOnly, QuaZipNewInfo(names[i]), nullptr, 0, Z_DEFLATED,
                       Z_DEFAULT_COMPRESSION, false, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
            entry.write(png);
            entry.close();
        });
    }
    pool.waitForDone();
    zip.close();
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir scratch;
    qputenv("HOME", scratch.path().toLocal8Bit());
    qInstallMessageHandler(quiet);
    QGuiApplication application(argc, argv);
    QStringList which = application.arguments().mid(1);
    if (which.isEmpty())
        which = QStringList{"cube", "sphere", "parts"};

    QuorApp app;
    QuorConfig config;
    config.setSaveOnExit(false);
    std::printf("default job: %d x %d px, %.2f mm layers, %d pool threads\n",
                config.buildConfig()->imageWidthPx, config.buildConfig()->imageHeightPx,
                double(config.buildConfig()->layerThicknessMm), QThreadPool().maxThreadCount());
    std::printf("%-8s %9s %4s %7s %10s %8s %10s %8s %9s\n", "model", "triangles", "aa", "layers",
                "wall ms", "ms/layer", "floor ms", "x floor", "peak MiB");
    for (const QString &name : which) {
        const TestMesh mesh = makeMesh(name);
        for (bool antiAlias : {false, true}) {
            QuorModel workspace;
            workspace.ensurePlatformBottom();
            workspace.addModel(modelFrom(mesh));
            config.useAntialise(antiAlias);
            config.antiAliseValue(2.0f);
            const QString archive = scratch.filePath(name + ".cws");
            const JobResult job = runJob(workspace, app, archive);
            const double floor = outputFloorMs(archive, scratch.filePath(name + "-floor.cws"));
            std::printf("%-8s %9d %4s %7d %10.0f %8.2f %10.0f %8.2f %9.0f%s\n", qPrintable(name),
                        mesh.indices.size() / 3, antiAlias ? "x2" : "off", job.layers, job.wallMs,
                        job.wallMs / std::max(job.layers, 1), floor, job.wallMs / floor,
                        double(job.peakKb) / 1024.0, job.ok ? "" : "  (job FAILED)");
            std::fflush(stdout);
            QFile::remove(archive);
        }
    }
    return 0;
}
