#include "ConfigTestEnv.h"
#include "ScratchConfig.h"
#include "SliceTestScene.h"

#include "workspace/ProjectFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include <csignal>

namespace {

// Binary STL of a mesh, written from code.
void writeStl(const QString &path, const TestMesh &m)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    QByteArray data(80, ' ');
    const quint32 count = quint32(m.indices.size() / 3);
    data.append(reinterpret_cast<const char *>(&count), 4);
    for (int i = 0; i + 2 < m.indices.size(); i += 3) {
        const QVector3D p[3] = {m.positions[int(m.indices[i])], m.positions[int(m.indices[i + 1])],
                                m.positions[int(m.indices[i + 2])]};
        const QVector3D n = QVector3D::normal(p[0], p[1], p[2]);
        for (const QVector3D &v : {n, p[0], p[1], p[2]})
            for (float c : {v.x(), v.y(), v.z()})
                data.append(reinterpret_cast<const char *>(&c), 4);
        data.append(2, '\0');
    }
    f.write(data);
}

// A project holding one box where it is, floating or not, written by the program's writer.
void writeProject(const QString &path, const QVector3D &lo, const QVector3D &hi)
{
    ScratchConfig scratch;
    Workspace workspace(scratch.config);
    workspace.scene()->addModel(modelFromMesh(TestMesh::box(lo, hi)));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    ProjectFile::write(f, workspace);
}

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void slicesOneModel();
    void twoModelsAreLaidOut();
    void overridesApplyWithoutSaving();
    void refusals_data();
    void refusals();
    void unloadableModelFails();
    void unwritableArchiveFails();
    void interruptCancels();
    void helpListsOptions();
    void versionAndHelpStartNothing_data();
    void versionAndHelpStartNothing();
    void slicesProject();
    void damagedProjectFails();
    void partlyLoadedProjectFails();
    void emptyProjectHasNothingToSlice();
    void unprintableScenes_data();
    void unprintableScenes();
    void baseLiftsModels();
    void autoSupportsHoldFloatingModel();
    void islands_data();
    void islands();

private:
    Run run(const QStringList &args, int timeoutMs = 120000,
            const QString &program = QStringLiteral(QUOR_CLI_PATH));
    QString path(const QString &name) const { return m_env->path(name); }
    ConfigTestEnv *m_env = nullptr;
};

void TestCli::init()
{
    m_env = new ConfigTestEnv;
    writeStl(path("cube.stl"), TestMesh::box(QVector3D(0, 0, 0), QVector3D(10, 10, 2)));
    writeStl(path("tall.stl"), TestMesh::sphere(QVector3D(0, 0, 50), 25.0f, 60, 90));
}

void TestCli::cleanup()
{
    delete m_env;
    m_env = nullptr;
}

Run TestCli::run(const QStringList &args, int timeoutMs, const QString &program)
{
    QProcess p;
    p.setWorkingDirectory(m_env->cwd());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", m_env->home());
    // No display at all: a program that opened a window would fail.
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    p.setProcessEnvironment(env);
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(timeoutMs))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

void TestCli::slicesOneModel()
{
    const Run r = run({path("cube.stl"), "-o", path("cube.cws"), "--antialias", "off"});
    QCOMPARE(r.exitCode, 0);
    // Quiet when not on a terminal: no progress bar, one summary line.
    QCOMPARE(r.out.count('\n'), 1);
    QVERIFY(r.out.startsWith("Sliced 40 layers in "));
    QVERIFY(r.out.contains(path("cube.cws")));
    const ArchiveContents c = ArchiveContents::read(path("cube.cws"));
    QCOMPARE(c.names.size(), 41); // 2 mm at 50 um, and the G-code
    QVERIFY(c.names.contains("cube.gcode"));
    QVERIFY(c.names.contains("cube00.png"));
    QVERIFY(!QDir(m_env->cwd()).entryList({"quor3d.*.log"}).isEmpty()); // logs in the working dir
}

void TestCli::twoModelsAreLaidOut()
{
    writeStl(path("other.stl"), TestMesh::box(QVector3D(0, 0, 0), QVector3D(10, 10, 3)));
    const Run r = run(
        {path("cube.stl"), path("other.stl"), "--output", path("two.cws"), "--antialias", "off"});
    QCOMPARE(r.exitCode, 0);
    const ArchiveContents c = ArchiveContents::read(path("two.cws"));
    QCOMPARE(c.names.size(), 61);
    // Side by side after the layout: two separate squares on the first layer.
    const QImage img = c.image("two00.png");
    int runs = 0;
    bool inside = false;
    const int y = img.height() / 2;
    for (int x = 0; x < img.width(); ++x) {
        const bool white = qGray(img.pixel(x, y)) > 127;
        runs += white && !inside;
        inside = white;
    }
    QCOMPARE(runs, 2);
}

void TestCli::overridesApplyWithoutSaving()
{
    const Run r = run({path("cube.stl"),
                       "-o",
                       path("k.cws"),
                       "--printer",
                       "K200",
                       "--resin",
                       "tan",
                       "--thickness",
                       "0.1",
                       "--bottom-layers",
                       "2",
                       "--bottom-exposure",
                       "20",
                       "--exposure",
                       "6.5",
                       "--antialias",
                       "on",
                       "--aa-factor",
                       "3",
                       "--lift-height",
                       "6",
                       "--lift-up-speed",
                       "60",
                       "--lift-down-speed",
                       "150",
                       "--wait",
                       "0.5"});
    QCOMPARE(r.exitCode, 0);
    const ArchiveContents c = ArchiveContents::read(path("k.cws"));
    const QString gcode = QString::fromLatin1(c.data.value("k.gcode"));
    QVERIFY(gcode.contains(";(Layer Thickness         = 0.10000 mm )"));
    QVERIFY(gcode.contains(";(Layer Time              = 6500 ms )"));
    QVERIFY(gcode.contains(";(Bottom Layers Time      = 20000 ms )"));
    QVERIFY(gcode.contains(";(Number of Bottom Layers = 2 )"));
    QVERIFY(gcode.contains(";Number of Slices         = 20\n"));
    // 6 mm at 60 up and 150 down: 6 s + 2.4 s + 0.5 s.
    QVERIFY(gcode.contains("G1 Z6.000 F60\nG1 Z-5.900 F150\n;<Delay> 8900\n"));
    QVERIFY(c.image("k00.png").format() == QImage::Format_Grayscale8);
    // K200 is 130 mm tall: 128 mm of room, so the final raise is 50.
    QVERIFY(gcode.contains("G1 Z50\n;<Completed>"));
    // The saved settings are untouched.
    QVERIFY(!QFile::exists(m_env->settingsPath()));
}

void TestCli::refusals_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown printer") << QStringList{"--printer", "X1"} << "H310, K200";
    QTest::newRow("unknown resin") << QStringList{"--resin", "gold"} << "the resins are zhu";
    QTest::newRow("thickness too thin") << QStringList{"--thickness", "0.005"} << "0.01 to 0.1";
    QTest::newRow("exposure too long") << QStringList{"--exposure", "200"} << "1 to 180";
    QTest::newRow("bottom layers not whole")
        << QStringList{"--bottom-layers", "2.5"} << "whole number 0 to 10";
    QTest::newRow("factor below range") << QStringList{"--aa-factor", "1"} << "2 to 5";
    QTest::newRow("speed above range") << QStringList{"--lift-up-speed", "500"} << "20 to 200";
    QTest::newRow("antialias not on or off") << QStringList{"--antialias", "maybe"} << "on or off";
    QTest::newRow("not a number") << QStringList{"--wait", "soon"} << "0 to 3";
    QTest::newRow("unknown option") << QStringList{"--colour", "red"} << "Unknown option";
    QTest::newRow("base too thick") << QStringList{"--base", "5"} << "0.1 to 3";
    QTest::newRow("islands file unnamed") << QStringList{"--islands-json", ""} << "file name";
}

void TestCli::refusals()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const Run r = run(QStringList{path("cube.stl"), "-o", path("x.cws")} + args);
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QVERIFY(!QFile::exists(path("x.cws")));
    const Run none = run({path("cube.stl")});
    QCOMPARE(none.exitCode, 2);
    QVERIFY(none.err.contains("-o FILE"));
}

void TestCli::unloadableModelFails()
{
    QFile empty(path("empty.stl"));
    empty.open(QIODevice::WriteOnly);
    empty.close();
    Run r = run({path("empty.stl"), "-o", path("e.cws")});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("Load model failed!"), qPrintable(r.err));
    r = run({path("missing.stl"), "-o", path("e.cws")});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("no such readable file"));
    QVERIFY(!QFile::exists(path("e.cws")));
}

void TestCli::unwritableArchiveFails()
{
    Run r = run({path("cube.stl"), "-o", path("no/such/dir/a.cws"), "--antialias", "off"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("could not be created"), qPrintable(r.err));
    r = run({path("cube.stl"), "-o", "/dev/full", "--antialias", "off"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.out.isEmpty());
}

void TestCli::interruptCancels()
{
    QProcess p;
    p.setWorkingDirectory(m_env->cwd());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", m_env->home());
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QUOR_CLI_PATH), {path("tall.stl"), "-o", path("tall.cws")});
    QVERIFY(p.waitForStarted());
    // Interrupt once the job is writing its archive.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(path("tall.cws")).size() > 0, 60000);
    ::kill(pid_t(p.processId()), SIGINT);
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 130);
    QVERIFY(QString::fromLocal8Bit(p.readAllStandardError()).contains("cancelled"));
    const ArchiveContents c = ArchiveContents::read(path("tall.cws"));
    QVERIFY(!c.names.contains("tall.gcode"));
}

void TestCli::helpListsOptions()
{
    const Run r = run({"--help"});
    QCOMPARE(r.exitCode, 0);
    for (const char *option :
         {"--output", "--printer", "--resin", "--thickness", "--bottom-layers", "--bottom-exposure",
          "--exposure", "--antialias", "--aa-factor", "--lift-height", "--lift-up-speed",
          "--lift-down-speed", "--wait", "--base", "--auto-supports", "--allow-outside",
          "--islands", "--islands-json"})
        QVERIFY2(r.out.contains(option), option);
    QVERIFY(r.out.contains("H310, K200, K200A"));
}

void TestCli::versionAndHelpStartNothing_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("firstLine");
    const QString cli = QStringLiteral(QUOR_CLI_PATH);
    const QString version = QStringLiteral(" (Quor Slice) " QUOR_PROJECT_VERSION);
    QTest::newRow("slicer") << cli << QStringList({"--version"}) << "quorslice-cli" + version;
    // The version wins over a job: nothing is sliced.
    QTest::newRow("slicer, with a job")
        << cli << QStringList({"cube.stl", "-o", "cube.cws", "--version"})
        << "quorslice-cli" + version;
#ifdef QUOR_WINDOW_PATH
    const QString window = QStringLiteral(QUOR_WINDOW_PATH);
    QTest::newRow("window") << window << QStringList({"--version"}) << "quorslice" + version;
    QTest::newRow("window, with a file")
        << window << QStringList({"cube.stl", "--version"}) << "quorslice" + version;
    QTest::newRow("window help") << window << QStringList({"--help"})
                                 << QStringLiteral("Usage: quorslice [FILE...]");
#endif
}

void TestCli::versionAndHelpStartNothing()
{
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(QString, firstLine);
    const Run r = run(args, 30000, program);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out.section('\n', 0, 0), firstLine);
    QCOMPARE(r.err, QString());
    // No settings folder, no log file, no archive.
    QCOMPARE(QDir(m_env->home()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    QCOMPARE(QDir(m_env->cwd()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

void TestCli::slicesProject()
{
    // Models without supports are dropped onto the plate: 2 mm at 50 um.
    writeProject(path("part.qsp"), QVector3D(0, 0, 5), QVector3D(10, 10, 7));
    const Run r = run({path("part.qsp"), "-o", path("part.cws"), "--antialias", "off"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.out.startsWith("Sliced 40 layers in "), qPrintable(r.out + r.err));
    const ArchiveContents c = ArchiveContents::read(path("part.cws"));
    QCOMPARE(c.names.size(), 41);
    // Projects and model files together.
    const Run both = run({path("part.qsp"), path("cube.stl"), "-o", path("both.cws")});
    QCOMPARE(both.exitCode, 0);
}

void TestCli::damagedProjectFails()
{
    writeProject(path("part.qsp"), QVector3D(0, 0, 0), QVector3D(10, 10, 2));
    QFile f(path("part.qsp"));
    QVERIFY(f.open(QIODevice::ReadWrite));
    f.resize(200); // cut inside the first record
    f.close();
    const Run r = run({path("part.qsp"), "-o", path("part.cws")});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("The project part.qsp could not be loaded"), qPrintable(r.err));
    QVERIFY(!QFile::exists(path("part.cws")));
}

// A project refused after some of its objects were read: a print farm must not get an archive
// of the part that happened to load.
void TestCli::partlyLoadedProjectFails()
{
    {
        ScratchConfig scratch;
        Workspace workspace(scratch.config);
        workspace.scene()->addModel(
            modelFromMesh(TestMesh::box(QVector3D(0, 0, 0), QVector3D(10, 10, 2))));
        workspace.scene()->addModel(
            modelFromMesh(TestMesh::box(QVector3D(20, 0, 0), QVector3D(30, 10, 2))));
        QFile f(path("two.qsp"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        ProjectFile::write(f, workspace);
        // Cut inside the second record: the first model reads completely.
        QVERIFY(f.resize(f.size() - 100));
    }
    const Run r = run({path("two.qsp"), "-o", path("two.cws")});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("two.qsp is damaged: it was loaded only in part"), qPrintable(r.err));
    QVERIFY(!QFile::exists(path("two.cws")));
}

// A project without objects loads fine; there is just nothing to slice. With a model beside it
// the job runs.
void TestCli::emptyProjectHasNothingToSlice()
{
    {
        ScratchConfig scratch;
        Workspace workspace(scratch.config);
        QFile f(path("empty.qsp"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(ProjectFile::write(f, workspace));
    }
    const Run r = run({path("empty.qsp"), "-o", path("empty.cws")});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("nothing to slice"), qPrintable(r.err));
    QVERIFY2(!r.err.contains("could not be loaded"), qPrintable(r.err));
    QVERIFY(!QFile::exists(path("empty.cws")));
    const Run both = run({path("empty.qsp"), path("cube.stl"), "-o", path("cube.cws")});
    QCOMPARE(both.exitCode, 0);
    QVERIFY(QFile::exists(path("cube.cws")));
}

void TestCli::unprintableScenes_data()
{
    QTest::addColumn<QString>("file"); // a box from lo to hi, as a model or a project
    QTest::addColumn<QVector3D>("lo");
    QTest::addColumn<QVector3D>("hi");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const QVector3D o;
    QTest::newRow("no height") << "box.stl" << o << QVector3D(10, 10, 0) << QStringList() << 1
                               << "nothing to slice: no object reaches the first layer";
    // K200: 65.02 x 116 x 130 mm; a model file stands on the plate's centre.
    QTest::newRow("too tall") << "box.stl" << o << QVector3D(10, 10, 180) << QStringList() << 1
                              << "Outside the build volume of K200 (65.02 x 116.00 x 130.00 "
                                 "mm):\nbox.stl: 50.00 mm above the build height\nUse "
                                 "--allow-outside";
    QTest::newRow("too wide") << "box.stl" << o << QVector3D(100, 10, 2) << QStringList() << 1
                              << "box.stl: 17.49 mm past the plate on the -x side\n"
                                 "box.stl: 17.49 mm past the plate on the +x side\n";
    QTest::newRow("too deep") << "box.stl" << o << QVector3D(10, 150, 2) << QStringList() << 1
                              << "box.stl: 17.00 mm past the plate on the +y side";
    QTest::newRow("too wide, allowed")
        << "box.stl" << o << QVector3D(100, 10, 2) << QStringList{"--allow-outside"} << 0
        << "warning: Outside the build volume of K200";
    QTest::newRow("the plate's size")
        << "box.stl" << o << QVector3D(65.02f, 116, 2) << QStringList() << 0 << "";
    // Without supports the job sets it down on the plate first.
    QTest::newRow("floating above the height")
        << "float.qsp" << QVector3D(0, 0, 150) << QVector3D(10, 10, 160) << QStringList() << 0
        << "";
    // The base reaches 2 mm past the model on each side.
    QTest::newRow("base past the plate")
        << "box.stl" << o << QVector3D(62, 10, 2) << QStringList{"--base", "1"} << 1
        << "the base of box.stl: 0.49 mm past the plate on the -x side";
}

void TestCli::unprintableScenes()
{
    QFETCH(QString, file);
    QFETCH(QVector3D, lo);
    QFETCH(QVector3D, hi);
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    if (file.endsWith(".qsp"))
        writeProject(path(file), lo, hi);
    else
        writeStl(path(file), TestMesh::box(lo, hi));
    const Run r = run(
        QStringList{path(file), "-o", path("job.cws"), "--printer", "K200", "--antialias", "off"} +
        options);
    QVERIFY2(r.exitCode == exitCode,
             qPrintable(QStringLiteral("exit %1: %2").arg(r.exitCode).arg(r.err)));
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QCOMPARE(QFile::exists(path("job.cws")), exitCode == 0);
}

void TestCli::baseLiftsModels()
{
    // A 1 mm slab, and the cube without pillars set down on it by the job: 3 mm at 50 um.
    const Run r =
        run({path("cube.stl"), "-o", path("base.cws"), "--base", "1", "--antialias", "off"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.out.startsWith("Sliced 60 layers in "), qPrintable(r.out + r.err));
    const ArchiveContents c = ArchiveContents::read(path("base.cws"));
    auto whitePixels = [](const QImage &img) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                n += qGray(img.pixel(x, y)) > 127;
        return n;
    };
    // The slab reaches 2 mm beyond the cube on each side: 14 x 14 against 10 x 10.
    const double ratio =
        double(whitePixels(c.image("base00.png"))) / whitePixels(c.image("base59.png"));
    QVERIFY2(ratio > 1.8 && ratio < 2.1, qPrintable(QString::number(ratio)));
}

void TestCli::autoSupportsHoldFloatingModel()
{
    // Floating 5 mm up, the box is held where it is by pillars: 7 mm at 50 um.
    writeProject(path("float.qsp"), QVector3D(0, 0, 5), QVector3D(10, 10, 7));
    const Run r =
        run({path("float.qsp"), "-o", path("float.cws"), "--auto-supports", "--antialias", "off"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.out.contains("Sliced 140 layers in "), qPrintable(r.out + r.err));
    const QRegularExpressionMatch added =
        QRegularExpression("Added (\\d+) automatic supports").match(r.out);
    QVERIFY2(added.hasMatch() && added.captured(1).toInt() > 0, qPrintable(r.out));
    // With a base as well the model comes down to 3 mm: 5 mm at 50 um.
    const Run withBase = run({path("float.qsp"), "-o", path("fb.cws"), "--auto-supports", "--base",
                              "1", "--antialias", "off"});
    QCOMPARE(withBase.exitCode, 0);
    QVERIFY2(withBase.out.contains("Sliced 100 layers in "), qPrintable(withBase.out));
}

void TestCli::islands_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("islandCount");
    QTest::addColumn<bool>("archive");
    // Files by their path from the working folder, as a user names them.
    // A 2 mm slab on the plate and two 5 x 5 x 1 mm blocks beside it, from 3 and 6 mm up.
    QTest::newRow("floating blocks listed")
        << QStringList{"../blocks.stl", "--islands"} << 3 << 2 << false;
    QTest::newRow("listed, as JSON and sliced")
        << QStringList{"../blocks.stl",   "--islands", "--islands-json",
                       "../islands.json", "-o",        "../out.cws"}
        << 3 << 2 << true;
    QTest::newRow("auto supports hold the blocks")
        << QStringList{"../blocks.stl", "--auto-supports", "--islands"} << 0 << 0 << false;
    QTest::newRow("cube on the plate")
        << QStringList{"../cube.stl", "--islands", "-o", "../out.cws"} << 0 << 0 << true;
    // The job sets a model without supports down on the plate, and so does the analysis.
    QTest::newRow("floating project set down")
        << QStringList{"../float.qsp", "--islands"} << 0 << 0 << false;
    QTest::newRow("JSON not writable")
        << QStringList{"../cube.stl", "--islands-json", "../no/such/dir/i.json", "-o", "../out.cws"}
        << 1 << 0 << false;
}

void TestCli::islands()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(int, islandCount);
    QFETCH(bool, archive);
    TestMesh blocks = TestMesh::box(QVector3D(0, 0, 0), QVector3D(10, 10, 2));
    blocks.append(TestMesh::box(QVector3D(20, 0, 3), QVector3D(25, 5, 4)));
    blocks.append(TestMesh::box(QVector3D(-15, 0, 6), QVector3D(-10, 5, 7)));
    writeStl(path("blocks.stl"), blocks);
    writeProject(path("float.qsp"), QVector3D(0, 0, 5), QVector3D(10, 10, 7));

    const Run r = run(args + QStringList{"--thickness", "0.05", "--antialias", "off"});
    QVERIFY2(r.exitCode == exitCode, qPrintable(r.out + r.err));
    QCOMPARE(QFile::exists(path("out.cws")), archive);
    if (archive)
        QVERIFY(ArchiveContents::read(path("out.cws")).names.contains("out.gcode"));
    QVERIFY(r.out.contains(QStringLiteral("%1 unsupported islands\n").arg(islandCount)));
    const QStringList listed = r.out.split('\n').filter(QRegularExpression("^island "));
    QCOMPARE(listed.size(), args.contains("--islands") ? islandCount : 0);
    QFile file(path("islands.json"));
    if (!args.contains("--islands-json") || exitCode == 1) {
        QVERIFY(!file.exists());
        return;
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject doc = QJsonDocument::fromJson(file.readAll()).object();
    QCOMPARE(doc.value("layers").toInt(), 140); // 7 mm at 50 um
    QCOMPARE(doc.value("layerThicknessMm").toDouble(), 0.05);
    const QJsonArray found = doc.value("islands").toArray();
    QCOMPARE(found.size(), islandCount);
    // The blocks start at 3 and 6 mm: the first layers cut above them, 5 x 5 mm each; the
    // listed line says what the entry says, to the same digits.
    auto number = [](const QJsonObject &o, const char *key, int decimals) {
        return QString::number(o.value(key).toDouble(), 'f', decimals);
    };
    for (int i = 0; i < found.size(); ++i) {
        const QJsonObject island = found[i].toObject();
        QCOMPARE(island.value("layer").toInt(), 60 * (i + 1));
        QCOMPARE(island.value("zMm").toDouble(), 60 * (i + 1) * 0.05 + 0.025);
        QVERIFY(qAbs(island.value("areaMm2").toDouble() - 25.0) < 0.5);
        QCOMPARE(listed[i], QStringLiteral("island layer %1 z %2 mm at %3, %4 mm area %5 mm2 "
                                           "object %6")
                                .arg(60 * (i + 1))
                                .arg(number(island, "zMm", 3), number(island, "xMm", 2),
                                     number(island, "yMm", 2), number(island, "areaMm2", 3),
                                     path("blocks.stl")));
    }
    // The two blocks are 35 mm apart across the plate, level with each other.
    const QJsonObject a = found[0].toObject(), b = found[1].toObject();
    QVERIFY(qAbs(a["xMm"].toDouble() - b["xMm"].toDouble() - 35.0) < 0.1 && a["yMm"] == b["yMm"]);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
