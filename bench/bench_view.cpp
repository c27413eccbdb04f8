// The 3D view's costs on the 1,000,000-triangle benchmark model, each beside a baseline from the
// same run:
//   bench_view pick                 indexed picks against the plain loop over every triangle
//   bench_view frames               frame times of an unchanged scene and the one-time upload
//   bench_view islands              frame times while the island check follows an edit of the
//                                   gyroid, against the same edit with the check off
//   bench_view startup main|bare    start-up to the first painted frame (a child process per
//                                   run, warm and cold caches) and the idle memory, for the
//                                   program's window or a bare window with only the 3D view
// "frames" and "startup" need a display (xvfb-run -a).
#include "BenchMeshes.h"
#include "BenchModel.h"
#include "GyroidMesh.h"

#include "app/UiApplication.h"
#include "app/UiStartup.h"
#include "config/QuorConfig.h"
#include "cws/IslandScan.h"
#include "cws/IslandScanResult.h"
#include "cws/JobSnapshot.h"
#include "model/DoItem.h"
#include "model/Model.h"
#include "view/IslandMarkers.h"
#include "view/IslandPainter.h"
#include "view/QuorScene.h"
#include "view/SceneCamera.h"
#include "view/SceneFrame.h"
#include "view/SceneMouse.h"
#include "view/ScenePicker.h"
#include "view/SceneRenderer.h"
#include "workspace/IslandController.h"
#include "workspace/JobController.h"
#include "workspace/QuorApp.h"
#include "workspace/SceneObjects.h"
#include "workspace/Workspace.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

long statusKb(const char *field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(key.size()));
    return 0;
}

QString writeModel(const QTemporaryDir &dir)
{
    const QString path = dir.path() + QStringLiteral("/million.stl");
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(BenchMeshes::generateStl());
    return path;
}

// Scratch home for the configuration service.
struct Home
{
    QTemporaryDir dir;
    Home()
    {
        qputenv("HOME", dir.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (dir.path() + QStringLiteral("/.config")).toLocal8Bit());
        // The start-up bench keeps the caches (compiled documents, shaders) between runs, as a
        // user's own home does, and empties them for the cold runs.
        const QByteArray cache = qgetenv("QUOR_BENCH_CACHE");
        qputenv("XDG_CACHE_HOME",
                cache.isEmpty() ? (dir.path() + QStringLiteral("/.cache")).toLocal8Bit() : cache);
    }
};

int benchPick()
{
    Home home;
    QuorApp app;
    QuorConfig config;
    Workspace ws(config);
    SceneCamera camera;
    camera.setViewSize(QSize(1280, 800));
    auto picker = std::make_unique<ScenePicker>(*ws.scene(), camera);
    ws.scene()->ensurePlatformBottom();
    QTemporaryDir dir;
    if (!ws.scene()->loadModel(QUrl::fromLocalFile(writeModel(dir))))
        qFatal("the benchmark model did not load");
    QElapsedTimer timer;
    timer.start();
    picker->prepareIndexes();
    picker->waitForIndexes();
    const double indexMs = double(timer.nsecsElapsed()) / 1e6;

    const QSet<int> types = {0, 1, 2, 4};
    const CameraMath::Volume volume = camera.volume();
    const QMatrix4x4 scale = CameraMath::modelScaleMatrix(volume);
    const float s = CameraMath::sceneScaleMm(volume);
    // Rays under pixels spread over the model, and rays that miss every box.
    std::vector<PickMath::Ray> hitting, missing;
    for (int k = 0; k < 40; ++k) {
        PickMath::Ray ray;
        picker->rayAt(560 + (k * 37) % 160, 560 + (k * 53) % 120, &ray);
        if (!ScenePicker::pickPlain(ws.scene()->objects(), ray, {0}, scale, s).empty())
            hitting.push_back(ray);
        if (hitting.size() == 12)
            break;
    }
    for (int k = 0; k < 40; ++k) {
        PickMath::Ray ray;
        picker->rayAt(10 + k * 3, 10 + k * 2, &ray);
        if (ScenePicker::pickPlain(ws.scene()->objects(), ray, types, scale, s).empty())
            missing.push_back(ray);
    }
    if (hitting.empty() || missing.empty())
        qFatal("no rays for the benchmark");
    auto time = [](auto &&pick) {
        QElapsedTimer t;
        t.start();
        pick();
        return double(t.nsecsElapsed()) / 1e6;
    };
    std::vector<double> plainHit, fastHit, fastMiss, plainMiss;
    bool same = true;
    for (const PickMath::Ray &ray : hitting) {
        std::vector<PickHit> a, b;
        plainHit.push_back(
            time([&] { a = ScenePicker::pickPlain(ws.scene()->objects(), ray, types, scale, s); }));
        fastHit.push_back(
            time([&] { b = picker->pickFast(ws.scene()->objects(), ray, types, scale, s); }));
        same = same && a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(), [](const PickHit &x, const PickHit &y) {
                   return x.object == y.object && x.point == y.point && x.distance == y.distance;
               });
    }
    for (const PickMath::Ray &ray : missing) {
        plainMiss.push_back(
            time([&] { ScenePicker::pickPlain(ws.scene()->objects(), ray, types, scale, s); }));
        fastMiss.push_back(
            time([&] { picker->pickFast(ws.scene()->objects(), ray, types, scale, s); }));
    }
    std::printf("pick, 1,000,000 triangles (%zu hitting rays, %zu missing), median ms:\n",
                hitting.size(), missing.size());
    std::printf("  plain, hit   %8.2f   = 1.00\n", median(plainHit));
    std::printf("  fast,  hit   %8.3f   = %.4f of plain\n", median(fastHit),
                median(fastHit) / median(plainHit));
    std::printf("  plain, miss  %8.2f\n", median(plainMiss));
    std::printf("  fast,  miss  %8.4f   = %.5f of plain\n", median(fastMiss),
                median(fastMiss) / median(plainMiss));
    std::printf("  index build (once per mesh, in the background): %.0f ms\n", indexMs);
    std::printf("  fast hits equal plain hits: %s\n", same ? "yes" : "NO");
    return same ? 0 : 1;
}

// The program's window as main makes it, with the time of every swapped frame.
struct BenchWindow
{
    Home home;
    QuorApp app;
    QuorConfig config;
    Workspace workspace{config};
    QQmlApplicationEngine engine;
    QQuickWindow *window = nullptr;
    std::vector<qint64> swaps; // written on the render thread
    mutable QMutex swapsLock;
    QElapsedTimer clock;

    BenchWindow()
    {
        UiStartup::registerTypes();
        UiStartup::publish(engine, app, config, workspace, 1.0);
        if (UiStartup::loadMainDocument(engine, app, workspace, {QStringLiteral("bench")}) != 0)
            qFatal("no window");
        window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
        clock.start();
        QObject::connect(
            window, &QQuickWindow::frameSwapped, window,
            [this] {
                QMutexLocker lock(&swapsLock);
                swaps.push_back(clock.nsecsElapsed());
            },
            Qt::DirectConnection);
    }
    // Draws one frame after perFrame, waiting for its swap. The wait sleeps: a polling loop
    // would take a core from the drawing and from the island check being measured.
    template <typename F> void frame(F &&perFrame)
    {
        perFrame();
        const size_t want = swapCount() + 1;
        QEventLoop loop;
        const QMetaObject::Connection swapped = QObject::connect(
            window, &QQuickWindow::frameSwapped, &loop, &QEventLoop::quit, Qt::QueuedConnection);
        window->update();
        while (swapCount() < want)
            loop.exec();
        QObject::disconnect(swapped);
    }
    size_t swapCount() const
    {
        QMutexLocker lock(&swapsLock);
        return swaps.size();
    }
    // The milliseconds between the frames of the last n swaps.
    std::vector<double> lastGaps(size_t n) const
    {
        QMutexLocker lock(&swapsLock);
        std::vector<double> gaps;
        for (size_t i = swaps.size() - std::min(n, swaps.size()) + 1; i < swaps.size(); ++i)
            gaps.push_back(double(swaps[i] - swaps[i - 1]) / 1e6);
        return gaps;
    }
};

int benchFrames()
{
    BenchWindow bw;
    QuorApp &app = bw.app;
    QQmlApplicationEngine &engine = bw.engine;
    Workspace *ws = &bw.workspace;
    // The frames of the drawing alone: no analysis running behind them.
    ws->islands()->setWatching(false);
    auto runFrames = [&](int n, auto &&perFrame) {
        {
            QMutexLocker lock(&bw.swapsLock);
            bw.swaps.clear();
        }
        for (int i = 0; i < n; ++i)
            bw.frame(perFrame);
        return median(bw.lastGaps(bw.swapCount()));
    };
    SceneMouse *mouse = UiStartup::findScene(engine)->mouse();
    auto turn = [mouse] { mouse->moved(1, QPoint(), QPoint(), QPoint(2, 0)); };
    SceneRenderer::Counters &c = SceneRenderer::counters();
    const double emptyMs = runFrames(40, turn);
    const qint64 paintBefore = c.paintNs;
    const int framesBefore = c.frames;

    QTemporaryDir dir;
    app.open(QUrl::fromLocalFile(writeModel(dir)));
    ws->scene()->deselectAll(true);
    const int uploadsBefore = c.uploads;
    const qint64 uploadNsBefore = c.uploadNs;
    runFrames(3, [] {});
    const int uploads = c.uploads - uploadsBefore;
    const double uploadMs = double(c.uploadNs - uploadNsBefore) / 1e6;
    const int uploadsSteady = c.uploads;
    const qint64 paintSteady = c.paintNs;
    const int framesSteady = c.frames;
    const double modelMs = runFrames(40, turn);
    const double paintMs = double(c.paintNs - paintSteady) / 1e6 / (c.frames - framesSteady);

    // The model's own islands, as the window's analysis finds them:
    // one frame copies and uploads their markers, the turning frames only draw.
    auto job = std::make_shared<const CWS::JobSnapshot>(ws->jobs()->printSnapshot());
    const CWS::IslandScanResult found = CWS::IslandScan::scan(*job, CWS::CancelToken());
    const int islandCount = int(found.islands().size());
    const int markerCount =
        int(IslandMarkers(found.islands(), IslandPainter::kMarkerMm / 2).placesMm().size());
    QElapsedTimer copyTimer;
    copyTimer.start();
    const qint64 paintBeforeIslands = c.paintNs;
    ws->islands()->showResult(found, job);
    runFrames(1, [] {});
    const double islandsOnceMs = double(copyTimer.nsecsElapsed()) / 1e6;
    const double islandsPaintOnceMs = double(c.paintNs - paintBeforeIslands) / 1e6;
    const qint64 paintIslands = c.paintNs;
    const int framesIslands = c.frames;
    const int copiesIslands = c.islandCopies;
    const double islandsMs = runFrames(40, turn);
    const double islandsPaintMs =
        double(c.paintNs - paintIslands) / 1e6 / (c.frames - framesIslands);
    Q_UNUSED(paintBefore)
    Q_UNUSED(framesBefore)
    std::printf("frames under Xvfb's software OpenGL, 1280 x 800, median ms between frames:\n");
    std::printf("  empty plate                 %7.1f   = 1.00\n", emptyMs);
    std::printf(
        "  1,000,000 triangles         %7.1f   = %.1fx (the renderer's own paint: %.2f ms)\n",
        modelMs, modelMs / emptyMs, paintMs);
    std::printf(
        "  one-time upload: %d buffer pairs, %.1f ms; uploads during the 40 turning frames: %d\n",
        uploads, uploadMs, c.uploads - uploadsSteady);
    std::printf("  %6d islands, %6d markers %7.1f   = %.2f of the model alone (paint %.2f ms)\n",
                islandCount, markerCount, islandsMs, islandsMs / modelMs, islandsPaintMs);
    std::printf("  the islands' one-time copy and upload: first frame %.1f ms (paint %.1f ms); "
                "copies during the 40 turning frames: %d\n",
                islandsOnceMs, islandsPaintOnceMs, c.islandCopies - copiesIslands);
    return c.uploads == uploadsSteady && c.islandCopies == copiesIslands ? 0 : 1;
}

// Frame times while the island check follows an edit of the 1,000,000-triangle gyroid, beside
// the same edit with the check off, in the same window: during the half second the edits
// settle, and while the analysis runs (at the check's own nice value and at 0).
int benchIslands()
{
    BenchWindow bw;
    Workspace &ws = bw.workspace;
    IslandController &islands = *ws.islands();
    // 58 x 108 x 118 mm, 2,360 layers at 0.05 mm.
    Model *gyroid = modelFrom(sheetGyroid(58.0f, 108.0f, 118.0f, 10.0f, 1.55f));
    std::printf("gyroid: %d triangles\n", int(gyroid->mesh->indices.size() / 3));
    SceneMouse *mouse = UiStartup::findScene(bw.engine)->mouse();
    auto turn = [mouse] { mouse->moved(1, QPoint(), QPoint(), QPoint(2, 0)); };
    auto settled = [&] {
        QElapsedTimer t;
        t.start();
        while (islands.state() != IslandController::Current) {
            QEventLoop loop;
            QObject::connect(&islands, &IslandController::stateChanged, &loop, &QEventLoop::quit);
            loop.exec();
        }
        return double(t.elapsed()) / 1000.0;
    };
    ws.scene()->addModel(gyroid);
    ws.scene()->deselectAll(true);
    const double firstS = settled();
    std::printf("first analysis after loading: %.1f s, %d islands\n", firstS, islands.count());
    float dx = 0.5f;
    auto move = [&] {
        gyroid->pushTransformWithUndo(&ws.undoList(), DoItem::DO_T_TRANSLATE);
        gyroid->translateBy(dx, 0.0f, 0.0f);
        dx = -dx;
        ws.scene()->notifyDataChanged();
    };
    struct Phase
    {
        std::vector<double> gaps;
        double median() const { return ::median(gaps); }
        double p90() const
        {
            std::vector<double> v = gaps;
            std::sort(v.begin(), v.end());
            return v.empty() ? 0.0 : v[v.size() * 9 / 10];
        }
        double max() const
        {
            return gaps.empty() ? 0.0 : *std::max_element(gaps.begin(), gaps.end());
        }
    };
    // Turning frames after an edit, each gap filed under the state the check was in.
    auto afterEdit = [&](int minFrames, Phase &settling, Phase &running) {
        bw.frame(move);
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < minFrames || islands.state() != IslandController::Current; ++i) {
            const IslandController::State before = islands.state();
            bw.frame(turn);
            const double gap = bw.lastGaps(2).front();
            (before == IslandController::Running ? running : settling).gaps.push_back(gap);
        }
        return double(t.elapsed()) / 1000.0;
    };
    Phase warm, off, offAgain, unused;
    islands.setWatching(false);
    // The window's own work after loading (outside the check) goes on for a while after the
    // first answer: these frames are shown, not compared.
    afterEdit(60, warm, unused);
    afterEdit(60, off, unused);
    // The check's own nice value first, then others to compare with.
    const int nices[] = {IslandController::kDefaultWorkerNice, 10, 0};
    Phase settling[3], running[3];
    double answerS[3];
    islands.setWatching(true);
    for (int i = 0; i < 3; ++i) {
        islands.setWorkerNice(nices[i]);
        answerS[i] = afterEdit(0, settling[i], running[i]);
    }
    islands.setWorkerNice(IslandController::kDefaultWorkerNice);
    islands.setWatching(false);
    afterEdit(60, offAgain, unused);
    std::printf("frames under Xvfb's software OpenGL turning the view after a move, ms between "
                "frames (median / p90 / max), ratio of medians and of p90 to the check off:\n");
    auto row = [&](const QString &name, const Phase &p) {
        std::printf("  %-34s %4zu frames %7.1f / %7.1f / %7.1f   = %.2f / %.2f\n", qPrintable(name),
                    p.gaps.size(), p.median(), p.p90(), p.max(), p.median() / off.median(),
                    p.p90() / off.p90());
    };
    row(QStringLiteral("check off, right after loading"), warm);
    row(QStringLiteral("check off"), off);
    for (int i = 0; i < 3; ++i) {
        row(QStringLiteral("check on, settling (nice %1)").arg(nices[i]), settling[i]);
        row(QStringLiteral("check on, analysing (nice %1)").arg(nices[i]), running[i]);
    }
    row(QStringLiteral("check off, again"), offAgain);
    std::printf("edit to answer while turning:");
    for (int i = 0; i < 3; ++i)
        std::printf(" nice %d %.1f s%s", nices[i], answerS[i], i < 2 ? "," : "\n");
    return 0;
}

// Child: shows the window, reports the first frame, then the idle memory and idle frames.
int startupChild(const QString &which)
{
    Home home;
    QuorApp app;
    QuorConfig config;
    Workspace workspace(config);
    UiStartup::registerTypes();
    QQmlApplicationEngine engine;
    UiStartup::publish(engine, app, config, workspace, 1.0);
    // "main", "bare", or a document's path (to see what a part of the window costs).
    const QUrl doc = which == QLatin1String("bare")   ? QUrl(QStringLiteral("qrc:/bench/bare.qml"))
                     : which == QLatin1String("main") ? QUrl(QStringLiteral("qrc:/main.qml"))
                                                      : QUrl::fromLocalFile(which);
    if (UiStartup::loadMainDocument(engine, app, workspace, {QStringLiteral("bench")}, doc) != 0)
        qFatal("no window");
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    int frames = 0;
    QObject::connect(window, &QQuickWindow::frameSwapped, window, [&frames] {
        if (++frames == 1) {
            std::printf("first-frame\n");
            std::fflush(stdout);
        }
    });
    // Settle for a second, then count frames over two idle seconds.
    QTimer::singleShot(1000, [&] {
        const int settled = frames;
        QTimer::singleShot(2000, [&, settled] {
            std::printf("idle-frames %d\nrss-kb %ld\n", frames - settled, statusKb("VmRSS"));
            std::fflush(stdout);
            QCoreApplication::quit();
        });
    });
    return QCoreApplication::exec();
}

int benchStartup(const QString &which)
{
    QTemporaryDir cache;
    qputenv("QUOR_BENCH_CACHE", cache.path().toLocal8Bit());
    // Cold: the page cache dropped, as after a reboot; with `firstStart` the compiled-document
    // and shader caches are emptied too, as on the first start after installing.
    auto run = [&](bool cold, bool firstStart, long *rssKb, int *idleFrames) {
        if (firstStart) {
            QDir(cache.path()).removeRecursively();
            QDir().mkpath(cache.path());
        }
        if (cold) {
            ::sync();
            std::ofstream("/proc/sys/vm/drop_caches") << "3";
        }
        QProcess child;
        QElapsedTimer timer;
        timer.start();
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("startup-child"), which});
        double firstMs = -1.0;
        QByteArray out;
        while (child.state() != QProcess::NotRunning || child.bytesAvailable()) {
            child.waitForReadyRead(20);
            out += child.readAll();
            if (firstMs < 0 && out.contains("first-frame"))
                firstMs = double(timer.nsecsElapsed()) / 1e6;
        }
        for (const QByteArray &line : out.split('\n')) {
            if (line.startsWith("rss-kb "))
                *rssKb = line.mid(7).toLong();
            if (line.startsWith("idle-frames "))
                *idleFrames = line.mid(12).toInt();
        }
        return firstMs;
    };
    std::vector<double> warm, cold, first;
    long rss = 0;
    int idle = -1;
    run(false, false, &rss, &idle); // fills the caches
    for (int i = 0; i < 5; ++i)
        warm.push_back(run(false, false, &rss, &idle));
    for (int i = 0; i < 3; ++i)
        cold.push_back(run(true, false, &rss, &idle));
    for (int i = 0; i < 3; ++i)
        first.push_back(run(true, true, &rss, &idle));
    std::printf("%s: first frame warm %.0f ms, cold %.0f ms, first start %.0f ms (medians), idle "
                "RSS %.1f MB, frames in 2 idle s: %d\n",
                qPrintable(which), median(warm), median(cold), median(first), double(rss) / 1024.0,
                idle);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == QLatin1String("pick")) {
        QCoreApplication app(argc, argv);
        qInstallMessageHandler(quiet);
        return benchPick();
    }
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The program's own start-up, so that its start is what is measured.
    const std::unique_ptr<QApplication> app = UiApplication::create(argc, argv);
    qInstallMessageHandler(quiet);
    if (mode == QLatin1String("frames"))
        return benchFrames();
    if (mode == QLatin1String("islands"))
        return benchIslands();
    if (mode == QLatin1String("startup-child") && argc > 2)
        return startupChild(QString::fromLocal8Bit(argv[2]));
    if (mode == QLatin1String("startup") && argc > 2)
        return benchStartup(QString::fromLocal8Bit(argv[2]));
    std::fprintf(stderr, "usage: bench_view pick | frames | islands | startup main|bare\n");
    return 2;
}
