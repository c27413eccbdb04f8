// The installed program, opened as a desktop opens files: its desktop entry and file types are
// registered in a scratch data folder, and xdg-open hands it a project.
#include "SliceTestScene.h"

#include "workspace/ProjectFile.h"

#include <QDir>
#include <QFile>
#include <QMultiHash>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <sys/types.h>

namespace {

const QString kPrefix = QStringLiteral(QUOR_INSTALL_PREFIX);
const QString kDesktopEntry = QStringLiteral(QUOR_APP_ID ".desktop");

// Every process below the given one, parents before their children, read from /proc.
QList<qint64> descendantsOf(qint64 root)
{
    // Not the whole system when the process has already gone (its id reads 0).
    if (root <= 1)
        return {};
    QMultiHash<qint64, qint64> children;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!isPid || !stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold spaces and parentheses.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            children.insert(fields.at(1).toLongLong(), pid);
    }
    QList<qint64> found;
    QList<qint64> todo{root};
    while (!todo.isEmpty()) {
        const QList<qint64> next = children.values(todo.takeFirst());
        found += next;
        todo += next;
    }
    return found;
}

void copyFiles(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    for (const QFileInfo &file : QDir(from).entryInfoList(QDir::Files))
        QFile::copy(file.filePath(), to + QLatin1Char('/') + file.fileName());
}

} // namespace

class TstDesktopOpen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void fileTypesOpenWithTheProgram();
    void xdgOpenShowsTheProject_data();
    void xdgOpenShowsTheProject();

private:
    // The tool's standard output, trimmed; empty when the tool failed, which fails the test
    // unless the caller expects it to fail at times.
    QString run(const QString &program, const QStringList &args, bool mustSucceed = true);
    // The top-level window whose title starts with the text, as "id title"; empty when none.
    QString windowTitled(const QString &start);
    // The end of the program's log, for a failure message.
    QString programLog() const;
    QString path(const QString &name) const { return m_dir + QLatin1Char('/') + name; }

    QString m_dir;
    QProcessEnvironment m_env;
    QProcess *m_opener = nullptr;
};

void TstDesktopOpen::initTestCase()
{
    QVERIFY2(QFile::exists(kPrefix + QStringLiteral("/bin/quorslice")),
             "the install into the scratch prefix is missing");
    m_dir = QDir::current().filePath(QStringLiteral("desktop"));
    QDir(m_dir).removeRecursively();
    QVERIFY(QDir().mkpath(m_dir));

    // Only what this test registers, on a generic desktop whatever the caller runs.
    const QString data = path(QStringLiteral("data"));
    m_env = QProcessEnvironment::systemEnvironment();
    m_env.insert(QStringLiteral("XDG_DATA_HOME"), data);
    m_env.insert(QStringLiteral("XDG_DATA_DIRS"), QStringLiteral("/usr/share"));
    m_env.insert(QStringLiteral("XDG_CONFIG_DIRS"), path(QStringLiteral("etc-xdg")));
    m_env.insert(QStringLiteral("PATH"), kPrefix + QStringLiteral("/bin:") + m_env.value("PATH"));
    m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    m_env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    for (const char *name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                             "GNOME_DESKTOP_SESSION_ID", "WAYLAND_DISPLAY", "BROWSER"})
        m_env.remove(QLatin1String(name));

    // Registered as a user registers a program: the installed entry and type definition in
    // the data folder, and the two caches the desktop reads.
    copyFiles(kPrefix + QStringLiteral("/share/applications"),
              data + QStringLiteral("/applications"));
    copyFiles(kPrefix + QStringLiteral("/share/mime/packages"),
              data + QStringLiteral("/mime/packages"));
    run(QStringLiteral("update-mime-database"), {data + QStringLiteral("/mime")});
    run(QStringLiteral("update-desktop-database"), {data + QStringLiteral("/applications")});

    // A project with one box, and the same bytes without an extension.
    QFile project(path(QStringLiteral("my plate.qsp")));
    {
        SliceTestScene scene;
        scene.add(modelFromMesh(TestMesh::box(QVector3D(0, 0, 0), QVector3D(10, 10, 4))));
        QVERIFY(project.open(QIODevice::WriteOnly));
        QVERIFY(ProjectFile::write(project, *scene.workspace));
        project.close();
    }
    QVERIFY(QFile::copy(project.fileName(), path(QStringLiteral("plate-copy"))));
    QFile stl(path(QStringLiteral("part.stl")));
    QVERIFY(stl.open(QIODevice::WriteOnly));
    stl.write("solid part\nendsolid part\n");
}

void TstDesktopOpen::cleanup()
{
    if (!m_opener)
        return;
    // The program and whatever xdg-open started on the way, then xdg-open itself.
    for (qint64 pid : descendantsOf(m_opener->processId()))
        ::kill(pid_t(pid), SIGTERM);
    m_opener->terminate();
    if (!m_opener->waitForFinished(30000))
        m_opener->kill();
    m_opener->waitForFinished(5000);
    delete m_opener;
    m_opener = nullptr;
}

QString TstDesktopOpen::run(const QString &program, const QStringList &args, bool mustSucceed)
{
    QProcess p;
    p.setProcessEnvironment(m_env);
    p.setWorkingDirectory(m_dir);
    p.start(program, args);
    const bool finished = p.waitForFinished(60000);
    const QString out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    const bool succeeded = finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!succeeded && mustSucceed) {
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QTest::qFail(qPrintable(program + QStringLiteral(" failed: ") + err), __FILE__, __LINE__);
    }
    return succeeded ? out : QString();
}

QString TstDesktopOpen::windowTitled(const QString &start)
{
    // The virtual display refuses a connection now and then while the program starts: that
    // is a window not seen yet, asked again on the next turn.
    const QStringList lines = run(QStringLiteral("xwininfo"),
                                  {QStringLiteral("-root"), QStringLiteral("-children")}, false)
                                  .split(QLatin1Char('\n'));
    // Lines read: 0x200010 "title": ("quorslice" "Quor Slice")  1280x800+0+0  +0+0
    for (const QString &line : lines) {
        if (line.contains(QStringLiteral(" \"") + start))
            return line.trimmed();
    }
    return QString();
}

QString TstDesktopOpen::programLog() const
{
    QFile log(path(QStringLiteral("quor3d.%1.log").arg(QDate::currentDate().toString("yyyyMMdd"))));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll().right(3000))
                                         : QStringLiteral("no log: the program did not start");
}

void TstDesktopOpen::fileTypesOpenWithTheProgram()
{
    const QString project = QStringLiteral("application/x-quorslice-project");
    QCOMPARE(run("xdg-mime", {"query", "filetype", path("my plate.qsp")}), project);
    QCOMPARE(run("xdg-mime", {"query", "filetype", path("plate-copy")}), project); // its bytes
    QCOMPARE(run("xdg-mime", {"query", "filetype", path("part.stl")}), QStringLiteral("model/stl"));
    // The generic desktop takes every .obj for an older drawing format of the same extension
    // without looking inside: for OBJ only the association is checked.
    for (const char *type : {"application/x-quorslice-project", "model/stl", "model/obj"})
        QCOMPARE(run("xdg-mime", {"query", "default", type}), kDesktopEntry);
}

void TstDesktopOpen::xdgOpenShowsTheProject_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("by its extension, a name with a space") << "my plate.qsp";
    QTest::newRow("by its first bytes") << "plate-copy";
}

void TstDesktopOpen::xdgOpenShowsTheProject()
{
    QFETCH(QString, file);
    m_opener = new QProcess;
    m_opener->setProcessEnvironment(m_env);
    m_opener->setWorkingDirectory(m_dir);
    m_opener->setStandardOutputFile(QProcess::nullDevice());
    m_opener->setStandardErrorFile(QProcess::nullDevice());
    m_opener->start(QStringLiteral("xdg-open"), {path(file)});
    QVERIFY(m_opener->waitForStarted());

    // The title names the project only once it was read completely.
    const QString title = file + QStringLiteral(" \u2014 ");
    QString window;
    QTRY_VERIFY2_WITH_TIMEOUT(!(window = windowTitled(title)).isEmpty() ||
                                  m_opener->state() == QProcess::NotRunning,
                              qPrintable(programLog()), 120000);
    QVERIFY2(!window.isEmpty(), qPrintable(QStringLiteral("xdg-open ended; ") + programLog()));

    // The window belongs to the installed program that xdg-open started.
    const QString pidLine =
        run(QStringLiteral("xprop"), {QStringLiteral("-id"), window.section(QLatin1Char(' '), 0, 0),
                                      QStringLiteral("_NET_WM_PID")});
    const qint64 pid = pidLine.section(QLatin1Char('='), 1).trimmed().toLongLong();
    QVERIFY2(descendantsOf(m_opener->processId()).contains(pid), qPrintable(pidLine));
    QCOMPARE(QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget(),
             kPrefix + QStringLiteral("/bin/quorslice"));
}

QTEST_GUILESS_MAIN(TstDesktopOpen)
#include "tst_desktopopen.moc"
