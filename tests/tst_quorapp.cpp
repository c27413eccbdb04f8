#include "ConfigTestEnv.h"
#include "LogCapture.h"
#include "SceneMeshes.h"
#include "ScratchConfig.h"

#include "config/QuorConfig.h"
#include "workspace/QuorApp.h"
#include "workspace/SceneObjects.h"
#include "workspace/Workspace.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace SceneMeshes;

class TstQuorApp : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void projectExtension_data();
    void projectExtension();
    void openingProjectIsNotAModelImport();
    void failedImportShowsAlert_data();
    void failedImportShowsAlert();
    void successfulImportShowsNoAlert();
    void openWithoutWorkspace();
    void prjFileNotifiesOnlyOnChange();
    void setCwsFileAlwaysSignals();
    void versionStrings();
    void machineDescription();
    void links_data();
    void links();
    void lifecycleMessages();

private:
    std::unique_ptr<ConfigTestEnv> m_env;
    std::unique_ptr<QuorConfig> m_config;
};

void TstQuorApp::initTestCase()
{
    // The configuration service writes its settings under a scratch home.
    m_env.reset(new ConfigTestEnv);
    m_config.reset(new QuorConfig);
}

void TstQuorApp::cleanupTestCase()
{
    m_config.reset();
    m_env.reset();
}

void TstQuorApp::projectExtension_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("project");
    QTest::newRow("lower case") << "/w/a.qsp" << true;
    QTest::newRow("upper case") << "/w/PART.QSP" << true;
    QTest::newRow("mixed case") << "/w/Part.Qsp" << true;
    QTest::newRow("model") << "/w/part.stl" << false;
    QTest::newRow("qsp in the name only") << "/w/a.qsp.stl" << false;
    QTest::newRow("folder named qsp") << "/w.qsp/a.obj" << false;
}

void TstQuorApp::projectExtension()
{
    QFETCH(QString, file);
    QFETCH(bool, project);
    QCOMPARE(QuorApp::isProjectFile(QUrl::fromLocalFile(file)), project);
}

void TstQuorApp::openingProjectIsNotAModelImport()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    QuorApp app;
    app.setWorkspace(&ws);
    QSignalSpy alert(ws.scene(), &SceneObjects::showAlert);
    LogCapture log;
    app.open(QUrl::fromLocalFile(QStringLiteral("/nonexistent/PART.QSP")));
    // Handled as a project whatever its outcome: its own alert, never the import's.
    QCOMPARE(alert.count(), 1);
    QCOMPARE(alert.at(0).at(0).toString(),
             QStringLiteral("The project PART.QSP could not be opened."));
    QVERIFY(!log.contains(QStringLiteral("QuorModel::loadModel")));
    QVERIFY(log.contains(QStringLiteral("QuorApp::Open() ")));
    QVERIFY(ws.scene()->objects().empty());
}

void TstQuorApp::failedImportShowsAlert_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("logged");
    QTest::newRow("3mf") << "part.3mf"
                         << "unsupported file type";
    QTest::newRow("missing stl") << "gone.stl"
                                 << "is not file";
}

void TstQuorApp::failedImportShowsAlert()
{
    QFETCH(QString, name);
    QFETCH(QString, logged);
    QTemporaryDir dir;
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    QuorApp app;
    app.setWorkspace(&ws);
    if (name.endsWith(QLatin1String(".3mf")))
        writeFile(dir.filePath(name), QByteArray("PK\x03\x04"));
    QSignalSpy alert(ws.scene(), &SceneObjects::showAlert);
    LogCapture log;
    app.open(QUrl::fromLocalFile(dir.filePath(name)));
    QCOMPARE(alert.count(), 1);
    QCOMPARE(alert[0][0].toString(), QStringLiteral("Load model failed!"));
    QVERIFY2(log.contains(logged), qPrintable(log.lines().join('\n')));
    QVERIFY(ws.scene()->objects().empty());
}

void TstQuorApp::successfulImportShowsNoAlert()
{
    QTemporaryDir dir;
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    QuorApp app;
    app.setWorkspace(&ws);
    const QString file = dir.filePath(QStringLiteral("part.stl"));
    QVERIFY(writeFile(file, binaryStl(boxTriangles({0, 0, 0}, {3, 3, 3}))));
    QSignalSpy alert(ws.scene(), &SceneObjects::showAlert);
    QSignalSpy data(ws.scene(), &SceneObjects::quorModelDataChanged);
    app.open(QUrl::fromLocalFile(file));
    QCOMPARE(alert.count(), 0);
    QCOMPARE(ws.scene()->objects().size(), size_t(1));
    QVERIFY(data.count() >= 1); // the view repaints through the workspace signal
}

void TstQuorApp::openWithoutWorkspace()
{
    QuorApp app;
    app.open(QUrl::fromLocalFile(QStringLiteral("/nonexistent/a.stl"))); // no crash
}

void TstQuorApp::prjFileNotifiesOnlyOnChange()
{
    QuorApp app;
    QSignalSpy changed(&app, &QuorApp::prjFileChanged);
    QCOMPARE(app.prjFile(), QString());
    app.setPrjFile(QString());
    QCOMPARE(changed.count(), 0);

    const QString url = QUrl::fromLocalFile(QStringLiteral("/work/a.qsp")).toString();
    app.setPrjFile(url);
    app.setPrjFile(url);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(app.prjFile(), QStringLiteral("/work/a.qsp"));
    // The current local path names the same file: no change either.
    app.setPrjFile(QStringLiteral("/work/a.qsp"));
    QCOMPARE(changed.count(), 1);

    app.setProperty("prjFile", QUrl::fromLocalFile(QStringLiteral("/work/b.qsp")).toString());
    QCOMPARE(changed.count(), 2);
    QCOMPARE(app.property("prjFile").toString(), QStringLiteral("/work/b.qsp"));
}

void TstQuorApp::setCwsFileAlwaysSignals()
{
    QuorApp app;
    QSignalSpy ready(&app, &QuorApp::readyToSlice);
    const QUrl job = QUrl::fromLocalFile(QStringLiteral("/work/job.cws"));
    LogCapture log;
    app.setCwsFile(job);
    app.setCwsFile(job); // the same file again still starts a job
    QCOMPARE(ready.count(), 2);
    QCOMPARE(app.cwsFile(), job);
    QVERIFY(log.contains(QStringLiteral("QuorApp::setCwsFile ")));
}

void TstQuorApp::versionStrings()
{
    QCoreApplication::setApplicationVersion(QStringLiteral("2.1.6"));
    QuorApp app;
    QCOMPARE(app.version(), QStringLiteral("2.1.6"));
    QCOMPARE(app.bitInfo(), QStringLiteral("%1-bit").arg(sizeof(void *) * 8));
    QVERIFY(app.useWebengine());
    app.openRadomQueryLink(); // does nothing, and nothing goes out
}

void TstQuorApp::machineDescription()
{
    QuorApp app;
    QCOMPARE(app.machine().maker, QStringLiteral("QUOR3D"));
    QCOMPARE(app.machine().model, QStringLiteral("K200X"));
    QCOMPARE(app.machine().volumeXMm, 65.02f);
    QCOMPARE(app.machine().volumeYMm, 116.0f);
    QCOMPARE(app.machine().volumeZMm, 135.0f);
}

void TstQuorApp::links_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<bool>("isHome");
    QTest::newRow("main") << "main" << true;
    QTest::newRow("unknown") << "elsewhere" << true;
    QTest::newRow("buy") << "buy" << false;
    QTest::newRow("readme") << "readme" << false;
    QTest::newRow("download") << "download" << false;
}

void TstQuorApp::links()
{
    QFETCH(QString, page);
    QFETCH(bool, isHome);
    const QUrl url = QuorApp::quor3DLink(page);
    QVERIFY(url.isValid());
    QCOMPARE(url.scheme(), QStringLiteral("https"));
    QCOMPARE(url == QuorApp::quor3DLink(QStringLiteral("main")), isHome);
}

void TstQuorApp::lifecycleMessages()
{
    LogCapture log;
    {
        QuorApp app;
        app.newPrj();
    }
    QVERIFY(log.contains(QStringLiteral("QuorApp::newPrj()")));
    QVERIFY(log.contains(QStringLiteral("QuorApp::~QuorApp()")));
}

QTEST_GUILESS_MAIN(TstQuorApp)
#include "tst_quorapp.moc"
