#include "ConfigTestEnv.h"
#include "LogCapture.h"
#include "SceneMeshes.h"

#include "config/QuorConfig.h"
#include "model/DoItem.h"
#include "model/Model.h"
#include "workspace/QuorApp.h"
#include "workspace/SceneObjects.h"
#include "workspace/UndoController.h"
#include "workspace/Workspace.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

#include <sys/fsuid.h>
#include <unistd.h>

using namespace SceneMeshes;

namespace {

// Root reads every file; for the duration, file access is checked as an ordinary user.
class UnprivilegedFileAccess
{
public:
    UnprivilegedFileAccess()
    {
        if (geteuid() == 0)
            m_previous = setfsuid(65534);
    }
    ~UnprivilegedFileAccess()
    {
        if (m_previous >= 0)
            setfsuid(uid_t(m_previous));
    }

private:
    int m_previous = -1;
};

std::vector<Triangle> box(const QVector3D &lo, const QVector3D &hi)
{
    return boxTriangles(lo, hi);
}

} // namespace

class TstModelImport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void fileNameCase_data();
    void fileNameCase();
    void loadedModelStandsOnPlatformCentre();
    void asciiStlLoads();
    void zeroNormalsReloadWithGenerated_data();
    void zeroNormalsReloadWithGenerated();
    void objWithTwoObjectsLoadsFirst();
    void tallModelScale_data();
    void tallModelScale();
    void tallModelScaleIsNotUndone();
    void discardedAttemptTakesItsRecords();
    void undoRightAfterLoading();
    void flatMeshLoadsWithRepairedCentre();
    void badInput_data();
    void badInput();
    void directoryNamedStl();
    void unreadableFile();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    QUrl write(const QString &name, const QByteArray &bytes)
    {
        if (!writeFile(path(name), bytes))
            qFatal("cannot write test file");
        return QUrl::fromLocalFile(path(name));
    }
    void expectRefusal(const QUrl &url);

    std::unique_ptr<ConfigTestEnv> m_env;
    std::unique_ptr<QuorConfig> m_config;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Workspace> m_ws;
    std::unique_ptr<QuorApp> m_app;
};

void TstModelImport::initTestCase()
{
    // The configuration service writes its settings under a scratch home.
    m_env.reset(new ConfigTestEnv);
    m_config.reset(new QuorConfig);
}

void TstModelImport::cleanupTestCase()
{
    m_config.reset();
    m_env.reset();
}

void TstModelImport::init()
{
    m_dir.reset(new QTemporaryDir);
    m_ws.reset(new Workspace(*m_config));
    m_app.reset(new QuorApp);
    m_app->setWorkspace(m_ws.get());
}

void TstModelImport::cleanup()
{
    m_app.reset();
    m_ws.reset();
    m_dir.reset();
}

void TstModelImport::expectRefusal(const QUrl &url)
{
    QSignalSpy alert(m_ws->scene(), &SceneObjects::showAlert);
    m_app->open(url);
    QCOMPARE(alert.count(), 1);
    QCOMPARE(alert[0][0].toString(), QStringLiteral("Load model failed!"));
    QVERIFY(m_ws->scene()->objects().empty());
    QVERIFY(m_ws->undoList().records().empty());
    QCOMPARE(m_ws->scene()->status(), SceneObjects::MODEL_INIT);
}

void TstModelImport::fileNameCase_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("upper-case STL") << "PART.STL" << true;
    QTest::newRow("mixed-case obj") << "part.Obj" << true;
    QTest::newRow("3mf") << "part.3mf" << false;
    QTest::newRow("stl inside the name") << "part.stl.bak" << false;
}

void TstModelImport::fileNameCase()
{
    QFETCH(QString, name);
    QFETCH(bool, accepted);
    const bool obj = name.toLower().endsWith(QLatin1String(".obj"));
    const auto tris = box({0, 0, 0}, {1, 1, 1});
    const QUrl url = write(name, obj ? objFile({tris}) : binaryStl(tris));
    LogCapture log;
    QCOMPARE(m_ws->scene()->loadModel(url), accepted);
    QCOMPARE(m_ws->scene()->objects().size(), size_t(accepted ? 1 : 0));
    QCOMPARE(log.contains(QStringLiteral("unsupported file type")), !accepted);
    if (!accepted)
        expectRefusal(url);
}

void TstModelImport::loadedModelStandsOnPlatformCentre()
{
    // Between z = 40 and 60 with its volume centre at (10, 5): moved by (-10, -5, -40).
    const QUrl url = write(QStringLiteral("high.stl"), binaryStl(box({0, 0, 40}, {20, 10, 60})));
    QSignalSpy status(m_ws->scene(), &SceneObjects::modelStatusChanged);
    LogCapture log;
    QVERIFY(m_ws->scene()->loadModel(url));
    QVERIFY2(log.contains(QStringLiteral("translate when loaded:  -10 -5 -40")),
             qPrintable(log.lines().join('\n')));
    Model *m = m_ws->scene()->objects().at(0);
    QCOMPARE(m->bboxMin, QVector3D(-10, -5, 0));
    QCOMPARE(m->bboxMax, QVector3D(10, 5, 20));
    QVERIFY(m->transforms->empty()); // baked into the vertices, no item
    QVERIFY(m->meshReady);
    QCOMPARE(m->mesh->baseVertexCount, uint32_t(36));
    QCOMPARE(m->mesh->indices.size(), size_t(36));
    QCOMPARE(m->fileUrl, url);
    QCOMPARE(m->name, url.toLocalFile());
    QVERIFY(m->selected);
    QCOMPARE(m_ws->scene()->status(), SceneObjects::MODEL_LOADED);
    QCOMPARE(status.count(), 1);
    QCOMPARE(m_ws->undoList().records().size(), size_t(1));
    QVERIFY(log.contains(QStringLiteral("load succeed 1")));
    QVERIFY(!log.contains(QStringLiteral("normal is invalid")));
}

void TstModelImport::asciiStlLoads()
{
    const QUrl url = write(QStringLiteral("a.stl"), asciiStl(box({0, 0, 0}, {2, 3, 4})));
    QVERIFY(m_ws->scene()->loadModel(url));
    QCOMPARE(m_ws->scene()->objects()[0]->bboxMax.z(), 4.0f);
    QVERIFY(qAbs(m_ws->scene()->objects()[0]->volume - 0.024f) < 1e-6f); // 2 x 3 x 4 mm³
}

void TstModelImport::zeroNormalsReloadWithGenerated_data()
{
    QTest::addColumn<bool>("ascii");
    QTest::newRow("binary") << false;
    QTest::newRow("ascii") << true;
}

void TstModelImport::zeroNormalsReloadWithGenerated()
{
    QFETCH(bool, ascii);
    const auto tris = box({0, 0, 0}, {4, 4, 4});
    const QUrl url =
        write(QStringLiteral("flat.stl"), ascii ? asciiStl(tris, true) : binaryStl(tris, true));
    LogCapture log;
    QVERIFY(m_ws->scene()->loadModel(url));
    QVERIFY(log.contains(QStringLiteral("normal is invalid, reload and generate normal")));
    QVERIFY(log.contains(QStringLiteral("using smooth normal")));
    QCOMPARE(m_ws->scene()->objects().size(), size_t(1));
    const Model *m = m_ws->scene()->objects()[0];
    QVERIFY(!m->normalsInvalid());
    // Generated face normals are unit length.
    for (const Vertex &v : m->mesh->vertices)
        QVERIFY(qAbs(QVector3D(v.nx, v.ny, v.nz).length() - 1.0f) < 1e-4f);
}

void TstModelImport::objWithTwoObjectsLoadsFirst()
{
    const auto first = box({0, 0, 0}, {1, 1, 1});
    const auto second = box({5, 5, 5}, {9, 9, 9});
    const QUrl url = write(QStringLiteral("two.obj"), objFile({first, second}));
    LogCapture log;
    QVERIFY(m_ws->scene()->loadModel(url));
    QVERIFY2(log.contains(QStringLiteral("skip 1 children nodes in file")) ||
                 log.contains(QStringLiteral("skip 1 meshes in file")),
             qPrintable(log.lines().join('\n')));
    const Model *m = m_ws->scene()->objects()[0];
    QCOMPARE(m->mesh->vertices.size(), size_t(36));
    QCOMPARE(m->bboxMax - m->bboxMin, QVector3D(1, 1, 1)); // the unit box, not the second
}

void TstModelImport::tallModelScale_data()
{
    QTest::addColumn<float>("heightMm");
    QTest::addColumn<bool>("scaled");
    QTest::newRow("250 mm") << 250.0f << true;
    QTest::newRow("200 mm") << 200.0f << false; // the limit is strictly above 200
}

void TstModelImport::tallModelScale()
{
    QFETCH(float, heightMm);
    QFETCH(bool, scaled);
    const QUrl url =
        write(QStringLiteral("tall.stl"), binaryStl(box({0, 0, 0}, {10, 10, heightMm})));
    QVERIFY(m_ws->scene()->loadModel(url));
    Model *m = m_ws->scene()->objects()[0];
    QCOMPARE(m->transforms->size(), size_t(scaled ? 1 : 0));
    if (!scaled)
        return;
    const TransformItem &item = m->transforms->back();
    QCOMPARE(item.type, int(DoItem::DO_T_SCALE));
    QMatrix4x4 expected;
    expected.scale(130.0f / 250.0f); // 0.52
    QCOMPARE(item.matrix, expected);
    m->updateGeometry(false);
    QVERIFY(qAbs(m->bboxMax.z() - 130.0f) < 1e-3f);
    // The scale record first, the creation record newest.
    QCOMPARE(m_ws->undoList().records().size(), size_t(2));
    QCOMPARE(int(m_ws->undoList().records()[0].type), int(DoItem::DO_T_SCALE));
    QCOMPARE(int(m_ws->undoList().records()[1].type), int(DoItem::DO_NEW));
}

void TstModelImport::tallModelScaleIsNotUndone()
{
    const QUrl url = write(QStringLiteral("tall.stl"), binaryStl(box({0, 0, 0}, {10, 10, 250})));
    QVERIFY(m_ws->scene()->loadModel(url));
    LogCapture log;
    m_ws->undo()->undo();
    QVERIFY(log.contains(QStringLiteral("undo skip new model")));
    QCOMPARE(m_ws->scene()->objects()[0]->transforms->size(), size_t(1));
}

void TstModelImport::discardedAttemptTakesItsRecords()
{
    // Tall and without normals: the first attempt pushes a scale record, then is thrown away.
    const QUrl url =
        write(QStringLiteral("tallflat.stl"), binaryStl(box({0, 0, 0}, {10, 10, 250}), true));
    QVERIFY(m_ws->scene()->loadModel(url));
    Model *m = m_ws->scene()->objects()[0];
    QCOMPARE(m_ws->undoList().records().size(), size_t(2));
    for (const DoItem &r : m_ws->undoList().records())
        QCOMPARE(r.model, m);
    m_ws->undo()->undo();
    QCOMPARE(m->transforms->size(), size_t(1));
}

void TstModelImport::undoRightAfterLoading()
{
    const QUrl url = write(QStringLiteral("part.stl"), binaryStl(box({0, 0, 0}, {5, 5, 5})));
    QVERIFY(m_ws->scene()->loadModel(url));
    LogCapture log;
    m_ws->undo()->undo();
    QVERIFY(log.contains(QStringLiteral("undo skip new model")));
    QCOMPARE(m_ws->scene()->objects().size(), size_t(1));
    QVERIFY(m_ws->undo()->hasAnyNewDo());
}

void TstModelImport::flatMeshLoadsWithRepairedCentre()
{
    // A single flat triangle has no volume: its centre is 0/0 until repaired to the box centre.
    const QUrl url =
        write(QStringLiteral("sheet.stl"),
              binaryStl({{QVector3D(2, 2, 3), QVector3D(6, 2, 3), QVector3D(2, 4, 3)}}));
    LogCapture log;
    QVERIFY(m_ws->scene()->loadModel(url));
    const Model *m = m_ws->scene()->objects()[0];
    QVERIFY(log.contains(QStringLiteral("repair center to")));
    QVERIFY(std::isfinite(m->center.x()) && std::isfinite(m->center.y()));
    QCOMPARE(m->bboxMin, QVector3D(-2, -1, 0));
    QCOMPARE(m->bboxMax, QVector3D(2, 1, 0));
}

void TstModelImport::badInput_data()
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const auto cube = box({0, 0, 0}, {1, 1, 1});
    auto withPoint = [&](float value) {
        auto tris = cube;
        tris[3][1].setY(value);
        return tris;
    };
    QByteArray solidHeader = binaryStl(cube, false, 20);
    solidHeader.replace(0, 5, "solid");

    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty file") << "empty.stl" << QByteArray();
    QTest::newRow("truncated binary") << "cut.stl" << binaryStl(cube).left(120);
    QTest::newRow("header only, count 12") << "head.stl" << binaryStl(cube).left(84);
    QTest::newRow("count above size") << "more.stl" << binaryStl(cube, false, 20);
    QTest::newRow("count below size") << "less.stl" << binaryStl(cube, false, 5);
    QTest::newRow("wrong count, solid header") << "solid.stl" << solidHeader;
    QTest::newRow("NaN coordinate") << "nan.stl" << binaryStl(withPoint(nan));
    QTest::newRow("infinite coordinate") << "inf.stl" << binaryStl(withPoint(inf));
    QTest::newRow("ascii NaN") << "anan.stl" << asciiStl(withPoint(nan));
    QTest::newRow("ascii infinity") << "ainf.stl" << asciiStl(withPoint(-inf));
    QTest::newRow("no triangles") << "none.stl" << binaryStl({});
    QTest::newRow("ascii without facets") << "asolid.stl" << QByteArray("solid x\nendsolid x\n");
    QTest::newRow("ascii cut short") << "ashort.stl" << asciiStl(cube).left(200);
    QTest::newRow("obj index out of range")
        << "oor.obj" << QByteArray("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 9\n");
    QTest::newRow("obj negative index out of range")
        << "neg.obj" << QByteArray("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 -7\n");
    QTest::newRow("obj lines only") << "lines.obj" << QByteArray("v 0 0 0\nv 1 0 0\nl 1 2\n");
    QTest::newRow("obj garbage") << "junk.obj" << QByteArray("\x01\x02\xff garbage\nf x y z\n");
}

void TstModelImport::badInput()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    expectRefusal(write(name, bytes));
}

void TstModelImport::directoryNamedStl()
{
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("x.stl")));
    LogCapture log;
    expectRefusal(QUrl::fromLocalFile(path(QStringLiteral("x.stl"))));
    QVERIFY(log.contains(QStringLiteral("is not file")));
}

void TstModelImport::unreadableFile()
{
    const QUrl url = write(QStringLiteral("locked.stl"), binaryStl(box({0, 0, 0}, {1, 1, 1})));
    QVERIFY(QFile::setPermissions(
        m_dir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                           QFileDevice::ReadOther | QFileDevice::ExeOther));
    QVERIFY(QFile::setPermissions(url.toLocalFile(), QFileDevice::Permissions()));
    {
        UnprivilegedFileAccess asUser;
        QFile probe(url.toLocalFile());
        QVERIFY(!probe.open(QIODevice::ReadOnly)); // the precondition really holds
        expectRefusal(url);
    }
    QFile::setPermissions(url.toLocalFile(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

QTEST_GUILESS_MAIN(TstModelImport)
#include "tst_modelimport.moc"
