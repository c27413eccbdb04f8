// Full slicing jobs on generated models at the default printer settings, with anti-aliasing
// off and at factors 2, 2.5, 3, 4 and 5, each beside its output floor measured in the same run:
// the job's own layer images encoded to PNG and deflated into zip entries with as many threads
// as the slicer uses, with the archive's own encoder ("enc floor") and, with --qt-floor or where
// this build has no encoder of its own, with Qt's PNG writer ("Qt floor").
//
// usage: bench_slice [--aa off,2,2.5,3,4,5] [--no-floor] [--qt-floor] [--gyroid-height MM]
//                    [--encodings] [--save-stl DIR] [cube|sphere|parts|gyroid ...]
// A lower gyroid (same cells, fewer layers) keeps a run under a profiler short.
//        (all four models and all six settings when none are named)
// --encodings: every row filter and compressor level of the layer encoder, and the zip entry's
//              stored and deflated forms, on the job's own layers (processor time, one thread).
// --save-stl:  writes the models as binary STL files, for the command-line slicers of two
//              builds to slice the very same meshes.
#include "BenchModel.h"
#include "GyroidMesh.h"
#include "SceneMeshes.h"
#include "TestMeshes.h"
#include "config/QuorConfig.h"
#include "cws/IslandScan.h"
#include "model/Model.h"
#include "workspace/JobController.h"
#include "workspace/QuorApp.h"
#include "workspace/SceneObjects.h"
#include "workspace/Workspace.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
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
#include <cstring>
#include <fstream>
#include <string>

#if __has_include("cws/LayerPng.h")
#include "cws/LayerPng.h"
#include "cws/ZipEntryData.h"
#define HAVE_LAYER_PNG 1
#endif

#include <malloc.h>
#include <sys/resource.h>
#include <time.h>

namespace {

void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

// Processor time of the whole process (every thread), in ms: the machine is shared, and this
// is what a busy neighbour does not inflate.
double cpuMs()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return (double(usage.ru_utime.tv_sec) + double(usage.ru_stime.tv_sec)) * 1e3 +
           (double(usage.ru_utime.tv_usec) + double(usage.ru_stime.tv_usec)) / 1e3;
}

double threadCpuMs()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// A line of /proc/self/status, in kB.
long statusKb(const char *field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::strlen(field)));
    return 0;
}

long peakRssKb()
{
    return statusKb("VmHWM:");
}

// Returns what the process holds from then on (what an earlier job left behind included).
long resetPeakRss()
{
    ::malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
    return statusKb("VmRSS:");
}

TestMesh makeMesh(const QString &name, float gyroidHeightMm)
{
    if (name == QLatin1String("cube"))
        return TestMesh::box(QVector3D(-10, -10, 0), QVector3D(10, 10, 20));
    if (name == QLatin1String("sphere"))
        return TestMesh::sphere(QVector3D(0, 0, 25), 25.0f, 316, 316); // ~200,000 triangles
    if (name == QLatin1String("gyroid"))
        return sheetGyroid(58.0f, 108.0f, gyroidHeightMm, 10.0f, 1.55f); // ~1,040,000 at 118 mm
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
    double cpuMs = 0;
    int layers = 0;
    long peakKb = 0;
    long startKb = 0; // held when it started
    bool ok = false;
};

// Wall and processor time of work, the process's peak memory meanwhile and what it held
// before; work fills in the rest.
template <typename Work> JobResult measured(Work work)
{
    JobResult r;
    r.startKb = resetPeakRss();
    QElapsedTimer timer;
    const double cpuStart = cpuMs();
    timer.start();
    work(r);
    r.wallMs = double(timer.nsecsElapsed()) / 1e6;
    r.cpuMs = cpuMs() - cpuStart;
    r.peakKb = peakRssKb();
    return r;
}

JobResult runJob(Workspace &workspace, QuorApp &app, const QString &archive)
{
    QEventLoop loop;
    QObject::connect(workspace.jobs(), &JobController::sliceCompletedProgress, &loop,
                     [&](float ratio, bool, const QString &) {
                         if (ratio >= 1.0f)
                             loop.quit();
                     });
    return measured([&](JobResult &r) {
        app.setCwsFile(QUrl::fromLocalFile(archive));
        workspace.jobs()->startSlice(archive);
        loop.exec();
        r.layers = workspace.jobs()->sliceNumber();
        r.ok = workspace.jobs()->lastSliceCompleted();
    });
}

// The island analysis of the workspace's scene at the job's settings, measured as a job is.
JobResult runIslands(Workspace &workspace, int *islandCount)
{
    const CWS::JobSnapshot job = workspace.jobs()->sliceSnapshot(QString());
    return measured([&](JobResult &r) {
        const CWS::IslandScanResult result = CWS::IslandScan::scan(job, CWS::CancelToken());
        r.layers = result.layerCount();
        r.ok = result.status() == CWS::IslandScanResult::Status::Completed;
        *islandCount = int(result.islands().size());
    });
}

struct Floors
{
    double qtMs = -1;
    double encoderMs = -1;
};

// The floor: the job's own images, encoded and deflated into a fresh archive. Images are
// decoded in batches outside the timing, so the memory stays bounded.
struct LayerEntries
{
    QVector<QByteArray> pngs;
    QStringList names;
};

LayerEntries readLayerEntries(const QString &archive)
{
    LayerEntries out;
    QuaZip zip(archive);
    zip.open(QuaZip::mdUnzip);
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        const QString name = zip.getCurrentFileName();
        if (!name.endsWith(QLatin1String(".png")))
            continue;
        QuaZipFile f(&zip);
        f.open(QIODevice::ReadOnly);
        out.pngs << f.readAll();
        out.names << name;
    }
    return out;
}

Floors outputFloorMs(const QString &archive, const QString &floorArchive, bool withQt)
{
    const LayerEntries entries = readLayerEntries(archive);
    const QVector<QByteArray> &pngs = entries.pngs;
    const QStringList &names = entries.names;
    Floors floors;
    for (int pass = 0; pass < 2; ++pass) {
#ifdef HAVE_LAYER_PNG
        if (pass == 0 && !withQt)
            continue;
#else
        if (pass == 1)
            break;
#endif
        QFile file(floorArchive);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
        QuaZip zip(&file);
        zip.open(QuaZip::mdCreate);
        QMutex mutex;
        QThreadPool pool;
        qint64 ns = 0;
        const int batch = 64;
        for (int from = 0; from < pngs.size(); from += batch) {
            QVector<QImage> images;
            for (int i = from; i < std::min(from + batch, int(pngs.size())); ++i)
                images << QImage::fromData(pngs[i], "PNG");
            QElapsedTimer timer;
            timer.start();
            for (int k = 0; k < images.size(); ++k) {
                pool.start([&, k] {
                    const QString &name = names[from + k];
#ifdef HAVE_LAYER_PNG
                    if (pass == 1) {
                        const CWS::ZipEntryData entry =
                            CWS::deflateEntry(CWS::LayerPng::encode(images[k]),
                                              images[k].format() == QImage::Format_Grayscale8
                                                  ? CWS::kGreyLayerEntryLevel
                                                  : CWS::kMonoLayerEntryLevel);
                        QMutexLocker lock(&mutex);
                        CWS::writeDeflatedEntry(zip, name, entry);
                        return;
                    }
#endif
                    QByteArray png;
                    QBuffer buffer(&png);
                    buffer.open(QIODevice::WriteOnly);
                    images[k].save(&buffer, "PNG", -1);
                    QMutexLocker lock(&mutex);
                    QuaZipFile out(&zip);
                    out.open(QIODevice::WriteOnly, QuaZipNewInfo(name), nullptr, 0, Z_DEFLATED,
                             Z_DEFAULT_COMPRESSION, false, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
                    out.write(png);
                    out.close();
                });
            }
            pool.waitForDone();
            ns += timer.nsecsElapsed();
        }
        zip.close();
        (pass == 0 ? floors.qtMs : floors.encoderMs) = double(ns) / 1e6;
    }
    QFile::remove(floorArchive);
    return floors;
}

#ifdef HAVE_LAYER_PNG
// Each filter and level on up to 240 of the job's layers, taken evenly, one thread; then the
// zip entry of the archive's own PNGs stored and deflated.
void compareEncodings(const QString &archive)
{
    using CWS::LayerPng::Compressor;
    using CWS::LayerPng::RowFilter;
    const LayerEntries entries = readLayerEntries(archive);
    const int step = std::max(1, int(entries.pngs.size()) / 240);
    QVector<QImage> images;
    for (int i = 0; i < entries.pngs.size(); i += step)
        images << QImage::fromData(entries.pngs[i], "PNG");
    if (images.isEmpty())
        return;
    const bool grey = images.first().format() == QImage::Format_Grayscale8;
    const char *filterNames[] = {"none", "sub", "up", "average", "paeth", "adaptive"};
    struct Row
    {
        CWS::LayerPng::Encoding encoding;
        double ms;
        double bytes;
    };
    QVector<Row> rows;
    const CWS::LayerPng::Encoding chosen =
        grey ? CWS::LayerPng::kGreyEncoding : CWS::LayerPng::kMonoEncoding;
    for (int f = 0; f <= int(RowFilter::Adaptive); ++f) {
        // Our coder for rows of runs, then libdeflate's levels (12 takes a second a layer).
        for (int level : {-1, 1, 2, 4, 6, 9}) {
            const CWS::LayerPng::Encoding e{RowFilter(f),
                                            level < 0 ? Compressor::Rows : Compressor::Libdeflate,
                                            std::max(level, 0)};
            double bytes = 0;
            const double start = threadCpuMs();
            for (const QImage &img : qAsConst(images))
                bytes += CWS::LayerPng::encode(img, e).size();
            rows.append({e, threadCpuMs() - start, bytes});
        }
    }
    const Row *base = nullptr;
    auto coder = [](const CWS::LayerPng::Encoding &e) {
        return e.compressor == Compressor::Rows ? std::string("rows    ")
                                                : "level " + std::to_string(e.level) + " ";
    };
    for (const Row &r : qAsConst(rows))
        if (r.encoding.filter == chosen.filter && r.encoding.compressor == chosen.compressor &&
            r.encoding.level == chosen.level)
            base = &r;
    std::printf("  %d %s layers, encoder alone (ms and KiB a layer, ratios to %s %s):\n",
                int(images.size()), grey ? "grey" : "1-bit", filterNames[int(chosen.filter)],
                coder(chosen).c_str());
    for (const Row &r : qAsConst(rows))
        std::printf("  %-9s %s %8.2f ms %9.1f KiB   time %5.2f  size %5.2f\n",
                    filterNames[int(r.encoding.filter)], coder(r.encoding).c_str(),
                    r.ms / images.size(), r.bytes / images.size() / 1024.0,
                    base ? r.ms / base->ms : 0.0, base ? r.bytes / base->bytes : 0.0);
    {
        // Qt's writer: libpng's adaptive filters and zlib at its default level.
        double bytes = 0;
        const double start = threadCpuMs();
        for (const QImage &img : qAsConst(images))
            bytes += CWS::LayerPng::encodePlain(img).size();
        const double ms = threadCpuMs() - start;
        std::printf("  Qt's writer        %8.2f ms %9.1f KiB   time %5.2f  size %5.2f\n",
                    ms / images.size(), bytes / images.size() / 1024.0, base ? ms / base->ms : 0.0,
                    base ? bytes / base->bytes : 0.0);
    }
    // The zip entry of each layer's PNG: stored blocks against libdeflate's levels.
    QVector<QByteArray> pngs;
    for (const QImage &img : qAsConst(images))
        pngs << CWS::LayerPng::encode(img);
    double pngBytes = 0;
    for (const QByteArray &png : qAsConst(pngs))
        pngBytes += png.size();
    for (int level : {0, 1, 6}) {
        double bytes = 0;
        const double start = threadCpuMs();
        for (const QByteArray &png : qAsConst(pngs))
            bytes += CWS::deflateEntry(png, level).deflated.size();
        const double ms = threadCpuMs() - start;
        std::printf("  zip entry level %d %8.3f ms %9.1f KiB a layer, %+.3f%% of the PNG\n", level,
                    ms / pngs.size(), bytes / pngs.size() / 1024.0,
                    (bytes / pngBytes - 1.0) * 100.0);
    }
}
#endif

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir scratch;
    qputenv("HOME", scratch.path().toLocal8Bit());
    qInstallMessageHandler(quiet);
    QGuiApplication application(argc, argv);
    QStringList which;
    QStringList settings{"off", "2", "2.5", "3", "4", "5"};
    bool floor = true;
    bool qtFloor = false;
    bool encodings = false;
    QString stlDir;
    bool islands = false;
    float gyroidHeightMm = 118.0f;
    const QStringList args = application.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--aa") && i + 1 < args.size())
            settings = args[++i].split(',');
        else if (args[i] == QLatin1String("--gyroid-height") && i + 1 < args.size())
            gyroidHeightMm = args[++i].toFloat();
        else if (args[i] == QLatin1String("--qt-floor"))
            qtFloor = true;
        else if (args[i] == QLatin1String("--islands"))
            islands = true;
        else if (args[i] == QLatin1String("--no-floor"))
            floor = false;
        else if (args[i] == QLatin1String("--encodings"))
            encodings = true;
        else if (args[i] == QLatin1String("--save-stl") && i + 1 < args.size())
            stlDir = args[++i];
        else
            which << args[i];
    }
    if (which.isEmpty())
        which = QStringList{"cube", "sphere", "parts", "gyroid"};

    QuorApp app;
    QuorConfig config;
    config.setSaveOnExit(false);
    std::printf("default job: %d x %d px, %.2f mm layers, %d pool threads\n",
                config.buildConfig()->imageWidthPx, config.buildConfig()->imageHeightPx,
                double(config.buildConfig()->layerThicknessMm), QThreadPool().maxThreadCount());
    std::printf("%-7s %9s %4s %6s %9s %9s %8s %9s %9s %9s %8s\n", "model", "triangles", "aa",
                "layers", "wall ms", "cpu ms", "ms/layer", "peak MiB", "Qt floor", "enc floor",
                "x floor");
    for (const QString &name : which) {
        const TestMesh mesh = makeMesh(name, gyroidHeightMm);
        if (!stlDir.isEmpty()) {
            std::vector<SceneMeshes::Triangle> triangles;
            for (int i = 0; i + 2 < mesh.indices.size(); i += 3)
                triangles.push_back({mesh.positions[int(mesh.indices[i])],
                                     mesh.positions[int(mesh.indices[i + 1])],
                                     mesh.positions[int(mesh.indices[i + 2])]});
            SceneMeshes::writeFile(QDir(stlDir).filePath(name + ".stl"),
                                   SceneMeshes::binaryStl(triangles));
            continue;
        }
        for (const QString &setting : settings) {
            const bool antiAlias = setting != QLatin1String("off");
            Workspace workspace(config);
            workspace.scene()->ensurePlatformBottom();
            workspace.scene()->addModel(modelFrom(mesh));
            config.useAntialise(antiAlias);
            config.antiAliseValue(antiAlias ? setting.toFloat() : 2.0f);
            const QString archive = scratch.filePath(name + ".cws");
            const JobResult job = runJob(workspace, app, archive);
            Floors floors;
            if (floor)
                floors = outputFloorMs(archive, scratch.filePath(name + "-floor.cws"), qtFloor);
            const double best = floors.encoderMs > 0 ? floors.encoderMs : floors.qtMs;
            std::printf("%-7s %9d %4s %6d %9.0f %9.0f %8.2f %9.0f %9.0f %9.0f %8.2f %10.1f%s\n",
                        qPrintable(name), int(mesh.indices.size() / 3),
                        antiAlias ? qPrintable("x" + setting) : "off", job.layers, job.wallMs,
                        job.cpuMs, job.wallMs / std::max(job.layers, 1),
                        double(job.peakKb) / 1024.0, floors.qtMs, floors.encoderMs,
                        best > 0 ? job.wallMs / best : 0.0, double(QFileInfo(archive).size()) / 1e6,
                        job.ok ? "" : "  (job FAILED)");
            if (islands && !antiAlias) {
                int count = 0;
                const JobResult scan = runIslands(workspace, &count);
                // The job leaves memory behind (the image pool among it), which the analysis
                // starts with: its rise above its start is what it takes itself.
                std::printf("%-7s islands: %d in %d layers, wall %.0f ms (x job %.2f), cpu %.0f ms "
                            "(x job %.2f), peak %.0f MiB (x job %.2f), rise %.0f MiB (x job "
                            "%.2f)%s\n",
                            qPrintable(name), count, scan.layers, scan.wallMs,
                            scan.wallMs / job.wallMs, scan.cpuMs, scan.cpuMs / job.cpuMs,
                            double(scan.peakKb) / 1024.0, double(scan.peakKb) / double(job.peakKb),
                            double(scan.peakKb - scan.startKb) / 1024.0,
                            double(scan.peakKb - scan.startKb) / double(job.peakKb - job.startKb),
                            scan.ok ? "" : "  (analysis FAILED)");
            }
            std::fflush(stdout);
#ifdef HAVE_LAYER_PNG
            if (encodings)
                compareEncodings(archive);
#endif
            QFile::remove(archive);
        }
    }
    return 0;
}
