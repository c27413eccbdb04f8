#include "ConfigTestEnv.h"
#include "LogCapture.h"
#include "SceneMeshes.h"

#include "config/QuorConfig.h"
#include "cws/LayerDrawing.h"
#include "model/DoItem.h"
#include "model/LayerMath.h"
#include "model/MeshImport.h"
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

using Parts = std::vector<std::vector<Triangle>>;

// One block a part under `keyword` (o or g), with faces by relative (negative) indices or a
// material of their own when asked.
QByteArray objText(const Parts &parts, const char *keyword, bool negative, bool materials)
{
    QByteArray out = materials ? "mtllib parts.mtl\n" : "";
    int next = 1;
    for (size_t n = 0; n < parts.size(); ++n) {
        out += keyword + QByteArray(" part") + QByteArray::number(int(n)) + '\n';
        for (const Triangle &t : parts[n]) {
            if (materials)
                out += "usemtl m" + QByteArray::number(next % 6) + '\n';
            for (const QVector3D &p : t)
                out += asciiVector("v", p);
            auto ref = [&](int k) { return QByteArray::number(negative ? k - 3 : next + k); };
            out += "f " + ref(0) + ' ' + ref(1) + ' ' + ref(2) + '\n';
            next += 3;
        }
    }
    return out;
}

// Every face as text, moved back by shift, sorted: equal lists hold the same faces as often.
QStringList faceKeys(const MeshPrimitiveData &m, const QVector3D &shift = QVector3D())
{
    QStringList keys;
    for (size_t k = 0; k + 2 < m.indices.size(); k += 3) {
        QString key;
        for (size_t c = k; c < k + 3; ++c) {
            const QVector3D p = QVector3D(m.vertices[m.indices[c]].px, m.vertices[m.indices[c]].py,
                                          m.vertices[m.indices[c]].pz) -
                                shift;
            key += QStringLiteral("%1 %2 %3 ")
                       .arg(p.x(), 0, 'f', 3)
                       .arg(p.y(), 0, 'f', 3)
                       .arg(p.z(), 0, 'f', 3);
        }
        keys << key;
    }
    keys.sort();
    return keys;
}

} // namespace

Q_DECLARE_METATYPE(Parts)
Q_DECLARE_METATYPE(std::vector<Triangle>)

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
    void multiPartFiles_data();
    void multiPartFiles();
    void nodeTransformsPlaceMeshes();
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
    QTest::addColumn<QByteArray>("bytes");
    const auto tris = box({0, 0, 0}, {4, 4, 4});
    QTest::newRow("binary") << binaryStl(tris, true);
    QTest::newRow("ascii") << asciiStl(tris, true);
    // The first solid's normals are fine; the second's are not.
    QTest::newRow("second solid") << asciiStl(box({9, 0, 0}, {12, 4, 4})) + asciiStl(tris, true);
}

void TstModelImport::zeroNormalsReloadWithGenerated()
{
    QFETCH(QByteArray, bytes);
    const QUrl url = write(QStringLiteral("flat.stl"), bytes);
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

void TstModelImport::multiPartFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Parts>("parts");
    QTest::addColumn<int>("partCount");
    QTest::addColumn<std::vector<Triangle>>("solid"); // what prints; none: the parts as one mesh
    const Parts two{box({0, 0, 0}, {10, 10, 10}), box({20, 0, 0}, {30, 10, 25})};
    const Parts three{two[0], two[1], box({40, 0, 0}, {50, 10, 5})};
    const std::vector<Triangle> none;
    QTest::newRow("o objects") << "o.obj" << objText(three, "o", false, false) << three << 3
                               << none;
    QTest::newRow("g groups") << "g.obj" << objText(two, "g", false, false) << two << 2 << none;
    // A mesh per material, each one open: the meshes of one object close together.
    QTest::newRow("materials") << "m.obj" << objText(two, "o", false, true) << two << 2 << none;
    QTest::newRow("negative indices")
        << "n.obj" << objText(two, "o", true, false) << two << 2 << none;
    const Parts plateAndTower{box({0, 0, 0}, {40, 40, 2}), box({15, 15, 2}, {25, 25, 30})};
    QTest::newRow("STL solids") << "s.stl"
                                << asciiStl(plateAndTower[0]) + asciiStl(plateAndTower[1])
                                << plateAndTower << 2 << none;
    // Points and lines have no faces: that part is left out.
    QTest::newRow("points and lines") << "p.obj"
                                      << "o dots\nv 0 0 0\nv 1 0 0\nv 0 1 0\np 1 2 3\nl 1 2\n" +
                                             objText({two[1]}, "o", true, false)
                                      << Parts{two[1]} << 1 << none;
    // Halves of one box in two groups are cut together, beside the closed box.
    const Parts halves{Parts::value_type(two[0].begin(), two[0].begin() + 6),
                       Parts::value_type(two[0].begin() + 6, two[0].end()), two[1]};
    QTest::newRow("a surface over groups")
        << "h.obj" << objText(halves, "g", false, false) << halves << 2 << none;
    // Cut as one surface, the shared 10 mm would be a hole; as parts it prints solid.
    const Parts overlapping{box({0, 0, 0}, {20, 10, 10}), box({10, 0, 0}, {30, 10, 10})};
    QTest::newRow("overlapping parts") << "v.obj" << objText(overlapping, "o", false, false)
                                       << overlapping << 2 << box({0, 0, 0}, {30, 10, 10});
}

void TstModelImport::multiPartFiles()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(Parts, parts);
    QFETCH(int, partCount);
    QFETCH(std::vector<Triangle>, solid);
    write(QStringLiteral("parts.mtl"),
          "newmtl m0\nnewmtl m1\nnewmtl m2\nnewmtl m3\nnewmtl m4\nnewmtl m5\n");
    QVERIFY(m_ws->scene()->loadModel(write(name, bytes)));
    Model *m = m_ws->scene()->objects()[0];
    std::vector<Triangle> all;
    for (const auto &p : parts)
        all.insert(all.end(), p.begin(), p.end());
    std::unique_ptr<Model> merged(makeModel(all)); // where the file put them, as one mesh
    QCOMPARE(m->bboxMax - m->bboxMin, merged->bboxMax - merged->bboxMin);
    QVERIFY(qAbs(m->volume - merged->volume) < 1e-5f);
    // Every face once, moved as a whole by the placement.
    const QVector3D placement = m->bboxMin - merged->bboxMin;
    QCOMPARE(faceKeys(*m->mesh, placement), faceKeys(*merged->mesh));
    QCOMPARE(int(std::max<size_t>(1, m->mesh->partStarts.size())), partCount);

    // The layers are those of the solid cut as one surface, placed where the model is.
    std::unique_ptr<Model> reference(solid.empty() ? merged.release() : makeModel(solid));
    reference->pushTransform(DoItem::DO_T_TRANSLATE);
    reference->setTranslate(placement.x(), placement.y(), placement.z());
    reference->updateGeometry(false);
    SliceBuildConfig settings = m_config->jobSettings();
    settings.antiAliasOff();
    const float t = settings.layerThicknessMm;
    for (int layer = 0; layer < CWS::LayerMath::layerCount(m->bboxMax.z(), t); layer += 25) {
        const float z = (float(layer) + 0.5f) * t;
        QVERIFY2(CWS::LayerDrawing::drawLayer({m->snapshot()}, settings, z) ==
                     CWS::LayerDrawing::drawLayer({reference->snapshot()}, settings, z),
                 qPrintable(QStringLiteral("layer %1").arg(layer)));
    }
}

void TstModelImport::nodeTransformsPlaceMeshes()
{
    // STL and OBJ files put every mesh at the root; a format with a node tree shows that each
    // mesh is placed by its nodes: one triangle used by a moved node and by a node under a
    // scaled one.
    const QByteArray gltf = R"({"asset": {"version": "2.0"}, "scene": 0,
        "scenes": [{"nodes": [0, 1]}],
        "nodes": [{"mesh": 0, "translation": [20, 0, 0]}, {"scale": [2, 2, 2], "children": [2]},
                  {"mesh": 0, "translation": [0, 0, 1]}],
        "meshes": [{"primitives": [{"attributes": {"POSITION": 0}}]}],
        "buffers": [{"byteLength": 36, "uri": "data:application/octet-stream;base64,)"
                            R"(AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA"}],
        "bufferViews": [{"buffer": 0, "byteLength": 36}],
        "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3",
                       "min": [0, 0, 0], "max": [1, 1, 0]}]})";
    MeshPrimitiveData mesh, expected;
    QVERIFY(MeshImport::readMeshes(write(QStringLiteral("nodes.gltf"), gltf).toLocalFile(), false,
                                   false, mesh));
    fillMesh(expected, {{QVector3D(20, 0, 0), QVector3D(21, 0, 0), QVector3D(20, 1, 0)},
                        {QVector3D(0, 0, 2), QVector3D(2, 0, 2), QVector3D(0, 2, 2)}});
    QCOMPARE(faceKeys(mesh), faceKeys(expected));
    for (const Vertex &v : mesh.vertices) // turned with their triangles and still unit length
        QVERIFY(qAbs(QVector3D(v.nx, v.ny, v.nz).length() - 1.0f) < 1e-4f);
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
