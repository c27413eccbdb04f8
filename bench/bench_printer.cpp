// The printer page's costs, each beside a baseline from the same run (a child process per
// measurement; needs a display: xvfb-run -a bench_printer):
//   - memory of the main window as main builds it (web engine initialised, page not opened)
//     beside the bare main window without the web engine, and after the page opened;
//   - opening the printer page the first time, web engine start included, up to the chosen
//     printer's page shown, beside the main window's own start to its first frame;
//   - switching between two printers, each page shown.
// The printers are HTTP servers of the child itself on 127.0.0.1.
#include "TestHttpServer.h"

#include "app/UiApplication.h"
#include "app/UiStartup.h"
#include "config/QuorConfig.h"
#include "workspace/QuorApp.h"
#include "workspace/Workspace.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

// Only what ends a child is worth reading.
void quiet(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(msg));
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

long rssKb(const QString &pid)
{
    std::ifstream status(("/proc/" + pid + "/status").toStdString());
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

QString parentOf(const QString &pid)
{
    std::ifstream stat(("/proc/" + pid + "/stat").toStdString());
    std::string all((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t close = all.rfind(')');
    if (close == std::string::npos)
        return QString();
    // After the name: state, then the parent's id.
    const QStringList fields = QString::fromStdString(all.substr(close + 2)).split(' ');
    return fields.value(1);
}

// The resident memory of this process, and of all the processes it started (the web engine's
// helpers), in kB, with their number.
struct Memory
{
    long ownKb = 0;
    long helpersKb = 0;
    int helpers = 0;
};

Memory memory()
{
    Memory m;
    const QString self = QString::number(::getpid());
    m.ownKb = rssKb(self);
    QStringList family{self};
    bool grew = true;
    const QStringList all = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    while (grew) {
        grew = false;
        for (const QString &pid : all) {
            if (!pid.front().isDigit() || family.contains(pid))
                continue;
            if (family.contains(parentOf(pid))) {
                family << pid;
                m.helpersKb += rssKb(pid);
                ++m.helpers;
                grew = true;
            }
        }
    }
    return m;
}

// An item by object name in the window's item tree.
QQuickItem *findItem(QQuickItem *in, const QString &name)
{
    if (in->objectName() == name)
        return in;
    for (QQuickItem *child : in->childItems())
        if (QQuickItem *found = findItem(child, name))
            return found;
    return nullptr;
}

// Waits, running events, until the condition holds; false after the time-out.
template <typename F> bool waitFor(F condition, int timeoutMs = 30000)
{
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Child: the main window; "bare" without the web engine, "web" as main builds it; then the
// printer page.
int child(const QString &which)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/.cache")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/.local/share")).toLocal8Bit());
    const bool web = which != QLatin1String("bare");

    QuorApp app;
    QuorConfig config;
    Workspace workspace(config);
    TestHttpServer first, second;
    first.setAnswer("/", 200, "<html><body style='background:#fee'><h1>One</h1></body></html>");
    second.setAnswer("/", 200, "<html><body style='background:#eef'><h1>Two</h1></body></html>");
    config.addPrinterInstance(first.address());
    config.addPrinterInstance(second.address());

    UiStartup::registerTypes();
    QQmlApplicationEngine engine;
    UiStartup::publish(engine, app, config, workspace, 1.0);
    QElapsedTimer clock;
    clock.start();
    if (UiStartup::loadMainDocument(engine, app, workspace, {QStringLiteral("bench")}) != 0)
        qFatal("no window");
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    int frames = 0;
    QObject::connect(window, &QQuickWindow::frameSwapped, [&frames] { ++frames; });
    if (!waitFor([&] { return frames > 0; }))
        qFatal("no frame");
    const double firstFrameMs = double(clock.nsecsElapsed()) / 1e6;
    settle(1500);
    const Memory before = memory();
    std::printf("first-frame-ms %.1f\nbefore %ld %ld %d\n", firstFrameMs, before.ownKb,
                before.helpersKb, before.helpers);
    if (!web)
        return 0;

    // The main window's page stack, or one laid over it where the window has none yet.
    QObject *stack = findItem(window->contentItem(), QStringLiteral("pageStack"));
    if (!stack) {
        QQmlComponent overlay(&engine);
        overlay.setData("import QtQuick 2.9\nimport QtQuick.Controls 1.4\n"
                        "StackView { anchors.fill: parent; initialItem: Item {} }\n",
                        QUrl());
        stack = overlay.create(engine.rootContext());
        if (!stack)
            qFatal("no stack");
        qobject_cast<QQuickItem *>(stack)->setParentItem(window->contentItem());
    }
    settle(300);

    // Shown: the view has loaded the printer's page and a frame went out after that.
    QQuickItem *view = nullptr;
    const auto shown = [&](const TestHttpServer &printer, int requests) {
        if (!view)
            view = findItem(window->contentItem(), QStringLiteral("printerWebView"));
        if (!view || printer.count("/") < requests || view->property("loading").toBool())
            return false;
        const int now = frames;
        return waitFor([&] { return frames > now; }, 5000);
    };
    clock.restart();
    QMetaObject::invokeMethod(stack, "push", Q_ARG(QVariant, QStringLiteral("qrc:/print.qml")));
    if (!waitFor([&] { return shown(second, 1); }))
        qFatal("printer page not shown");
    const double openMs = double(clock.nsecsElapsed()) / 1e6;
    QObject *page = findItem(window->contentItem(), QStringLiteral("printPage"));

    std::vector<double> switches;
    for (int i = 0; i < 10; ++i) {
        const TestHttpServer &to = i % 2 ? second : first;
        const int requests = to.count("/") + 1;
        clock.restart();
        QMetaObject::invokeMethod(page, "showPrinter", Q_ARG(QVariant, to.address()),
                                  Q_ARG(QVariant, QStringLiteral("http://") + to.address()));
        if (!waitFor([&] { return shown(to, requests); }))
            qFatal("printer not shown");
        switches.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    settle(1500);
    const Memory after = memory();
    std::printf("open-ms %.1f\nswitch-ms %.1f\nafter %ld %ld %d\n", openMs, median(switches),
                after.ownKb, after.helpersKb, after.helpers);
    return 0;
}

struct Run
{
    double firstFrameMs = 0, openMs = 0, switchMs = 0;
    Memory before, after;
};

Run runChild(const QString &which)
{
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("child"), which});
    p.waitForFinished(120000);
    Run r;
    for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f[0] == "first-frame-ms")
            r.firstFrameMs = f.value(1).toDouble();
        else if (f[0] == "open-ms")
            r.openMs = f.value(1).toDouble();
        else if (f[0] == "switch-ms")
            r.switchMs = f.value(1).toDouble();
        else if (f[0] == "before" || f[0] == "after") {
            Memory &m = f[0] == "before" ? r.before : r.after;
            m.ownKb = f.value(1).toLong();
            m.helpersKb = f.value(2).toLong();
            m.helpers = f.value(3).toInt();
        }
    }
    if (p.exitCode() != 0 || r.firstFrameMs <= 0)
        std::fprintf(stderr, "child %s failed: %s\n", qPrintable(which),
                     p.readAllStandardError().constData());
    return r;
}

int parent()
{
    std::vector<Run> bare, web;
    runChild(QStringLiteral("web")); // fills the caches
    for (int i = 0; i < 5; ++i) {
        bare.push_back(runChild(QStringLiteral("bare")));
        web.push_back(runChild(QStringLiteral("web")));
    }
    const auto med = [](const std::vector<Run> &runs, auto field) {
        std::vector<double> v;
        for (const Run &r : runs)
            v.push_back(field(r));
        return median(v);
    };
    const auto mb = [&](const std::vector<Run> &runs, auto field) {
        return med(runs, field) / 1024.0;
    };
    const auto helpersBefore = [](const std::vector<Run> &runs) {
        int n = 0;
        for (const Run &r : runs)
            n = std::max(n, r.before.helpers);
        return n;
    };
    const double baseMb = mb(bare, [](const Run &r) { return double(r.before.ownKb); });
    const double baseMs = med(bare, [](const Run &r) { return r.firstFrameMs; });
    std::printf("main window, medians of 5 runs under Xvfb (software OpenGL):\n");
    std::printf("resident memory before the printer page opens\n");
    std::printf("  bare main window (no web engine)                  %7.1f MB = 1.00\n", baseMb);
    for (const auto &[name, runs] : {std::make_pair("as main builds it", &web)}) {
        const double m = mb(*runs, [](const Run &r) { return double(r.before.ownKb); });
        std::printf("  %-48s  %7.1f MB = %.2f  (web engine processes: %d)\n", name, m, m / baseMb,
                    helpersBefore(*runs));
    }
    std::printf("resident memory after the printer page opened\n");
    for (const auto &[name, runs] : {std::make_pair("as main builds it", &web)}) {
        const double m = mb(*runs, [](const Run &r) { return double(r.after.ownKb); });
        const double h = mb(*runs, [](const Run &r) { return double(r.after.helpersKb); });
        std::printf("  %-48s  %7.1f MB = %.2f  + helper processes %.1f MB\n", name, m, m / baseMb,
                    h);
    }
    std::printf("times\n");
    std::printf("  start to first frame, bare                        %7.0f ms = 1.00\n", baseMs);
    for (const auto &[name, runs] : {std::make_pair("as main builds it", &web)}) {
        const double first = med(*runs, [](const Run &r) { return r.firstFrameMs; });
        const double open = med(*runs, [](const Run &r) { return r.openMs; });
        const double sw = med(*runs, [](const Run &r) { return r.switchMs; });
        std::printf("  %s:\n", name);
        std::printf("    start to first frame                            %7.0f ms = %.2f\n", first,
                    first / baseMs);
        std::printf("    printer page first opened, engine start incl.  %7.0f ms = %.2f\n", open,
                    open / baseMs);
        std::printf("    switching between two printers                  %7.0f ms = %.2f\n", sw,
                    sw / baseMs);
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    const bool isChild = argc > 2 && QByteArray(argv[1]) == "child";
    // The program's own start-up, or the same application without the web engine's set-up.
    const std::unique_ptr<QApplication> app = isChild && QByteArray(argv[2]) == "bare"
                                                  ? std::make_unique<QApplication>(argc, argv)
                                                  : UiApplication::create(argc, argv);
    qInstallMessageHandler(quiet);
    if (isChild)
        return child(QString::fromLocal8Bit(argv[2]));
    return parent();
}
