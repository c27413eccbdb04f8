#include "BrokenBuffer.h"
#include "LogCapture.h"
#include "ProjectTestFiles.h"
#include "SceneMeshes.h"
#include "SliceTestScene.h"

#include "model/Support.h"

#include <QDir>
#include <QSignalSpy>
#include <QtTest>

#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <limits>

using namespace ProjectTestFiles;

namespace {

// A 10 x 20 x 5 box moved by (1, 2, 3) through its transform stack.
Model *movedBox()
{
    Model *m = SceneMeshes::makeBox(QVector3D(0, 0, 0), QVector3D(10, 20, 5));
    m->pushTransform(1);
    m->transforms->back().matrix.translate(1, 2, 3);
    m->geometryDirty = true;
    m->updateGeometry(true);
    return m;
}

bool sameWorld(const Model &a, const Model &b)
{
    const std::vector<QVector3D> pa = worldPositions(a), pb = worldPositions(b);
    if (pa.size() != pb.size())
        return false;
    for (size_t i = 0; i < pa.size(); ++i)
        if ((pa[i] - pb[i]).length() > 1e-4f)
            return false;
    return a.mesh->indices == b.mesh->indices;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

} // namespace

class TestProject : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // Layout of what is written.
    void layoutOfOneModel();
    void platformIsNotStored();
    void names_data();
    void names();

    // Reading back.
    void roundTripKeepsWorldGeometry();
    void loadSignalsAndStatus();
    void exceptionMidLoadLeavesWhatWasRead();
    void loadKeepsExistingObjects();
    void versionOneZeroReadsDoubles();
    void otherVersionsRejected_data();
    void otherVersionsRejected();
    void wrongMarksStopSilently_data();
    void wrongMarksStopSilently();
    void busyWorkspaceRefuses();

    // Damaged files.
    void truncatedAtEveryLength();
    void damagedRecords_data();
    void damagedRecords();
    void relationsChecked_data();
    void relationsChecked();

    // Through the application service.
    void openThroughApp();
    void damagedFileClearsProjectName();
    void projectKnownByContent_data();
    void projectKnownByContent();
    void refusedFilesAlert_data();
    void refusedFilesAlert();
    void emptyAndBusyProjects();
    void saveReplacesFile();
    void largeSaveReplacesOpenFile();
    void saveIntoMissingFolderAlerts();
    void failedSaveKeepsOldFile();

private:
    std::unique_ptr<SliceTestScene> m_scene;
    Workspace &ws() { return *m_scene->workspace; }
    QByteArray oneModelProject();
};

void TestProject::init()
{
    m_scene = std::make_unique<SliceTestScene>();
}

void TestProject::cleanup()
{
    m_scene.reset();
}

QByteArray TestProject::oneModelProject()
{
    ws().scene()->addModel(movedBox());
    const QByteArray bytes = save(ws());
    clear(ws());
    return bytes;
}

void TestProject::layoutOfOneModel()
{
    Model *box = movedBox();
    box->name = QStringLiteral("box");
    ws().scene()->addModel(box);
    const QByteArray bytes = save(ws());
    const OneModelLayout at(36, 36); // twelve unshared triangles: 36 vertices, 36 indices

    QCOMPARE(qint64(bytes.size()), at.size());
    QCOMPARE(get<qint32>(bytes, 0), -1);
    QCOMPARE(get<qint32>(bytes, 4), 1);
    QCOMPARE(bytes.mid(8, 8), QByteArray("QUOR3D\0\0", 8));
    QCOMPARE(get<qint16>(bytes, at.major), qint16(1));
    QCOMPARE(get<qint16>(bytes, at.minor), qint16(1));
    QCOMPARE(get<qint64>(bytes, at.objectCount), qint64(1));
    QCOMPARE(get<qint64>(bytes, at.sequence), qint64(0));
    QCOMPARE(get<qint32>(bytes, at.type), 0);
    QCOMPARE(get<qint32>(bytes, at.tag1), 1);
    QCOMPARE(get<qint32>(bytes, at.tag1 + 4), 0);
    QCOMPARE(get<qint32>(bytes, at.tag2), 2);
    QCOMPARE(get<qint64>(bytes, at.vertexCount), qint64(36));
    // The first vertex is corner 0 of the box, moved by (1, 2, 3): stored in world space.
    QCOMPARE(get<quint32>(bytes, at.vertices), 0x3f800000u);     // 1.0f
    QCOMPARE(get<quint32>(bytes, at.vertices + 4), 0x40000000u); // 2.0f
    QCOMPARE(get<quint32>(bytes, at.vertices + 8), 0x40400000u); // 3.0f
    QCOMPARE(get<qint32>(bytes, at.tag3()), 3);
    QCOMPARE(get<qint64>(bytes, at.indexCount()), qint64(36));
    QCOMPARE(get<qint32>(bytes, at.indices() + 4), 1);
    QCOMPARE(get<qint32>(bytes, at.endTag()), 2017);
    QCOMPARE(get<qint64>(bytes, at.relationCount()), qint64(0));
    QCOMPARE(get<qint32>(bytes, at.endMark1()), 2);
    QCOMPARE(get<qint32>(bytes, at.endMark1() + 4), -1);
}

void TestProject::platformIsNotStored()
{
    LogCapture log;
    ws().scene()->ensurePlatformBottom();
    ws().scene()->addModel(movedBox());
    const QByteArray bytes = save(ws());
    // The plate comes first in the list but is not part of the project.
    QCOMPARE(get<qint64>(bytes, OneModelLayout::objectCount), qint64(1));
    QCOMPARE(get<qint32>(bytes, OneModelLayout::type), 0);
    QVERIFY(log.contains(QStringLiteral("save model size 1")));
    QVERIFY(log.contains(QStringLiteral("normal model 1")));
}

void TestProject::names_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("readBack");
    const QString longName = QStringLiteral("/home/user/models/") + QString(60, QLatin1Char('x'));
    QTest::newRow("short, zero padded")
        << QStringLiteral("part.stl") << QByteArray("part.stl").leftJustified(64, '\0')
        << QStringLiteral("part.stl");
    QTest::newRow("longer than 64 bytes, cut")
        << longName << longName.toUtf8().left(64) << longName.left(64);
    QTest::newRow("exactly 64 bytes, no terminator")
        << QString(64, QLatin1Char('n')) << QByteArray(64, 'n') << QString(64, QLatin1Char('n'));
    QTest::newRow("UTF-8") << QStringLiteral("W\u00fcrfel")
                           << QByteArray("W\xc3\xbc"
                                         "rfel")
                                  .leftJustified(64, '\0')
                           << QStringLiteral("W\u00fcrfel");
}

void TestProject::names()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, stored);
    QFETCH(QString, readBack);
    Model *box = movedBox();
    box->name = name;
    ws().scene()->addModel(box);
    const QByteArray bytes = save(ws());
    QCOMPARE(bytes.mid(OneModelLayout::name, 64), stored);
    clear(ws());
    QVERIFY(load(bytes, ws()));
    QCOMPARE(ws().scene()->objects().size(), size_t(1));
    QCOMPARE(ws().scene()->objects()[0]->name, readBack);
}

void TestProject::roundTripKeepsWorldGeometry()
{
    Model *moved = movedBox();
    Model *turned = SceneMeshes::makeBox(QVector3D(-5, -5, 0), QVector3D(5, 5, 8));
    turned->pushTransform(3);
    turned->setRotate(0, 30, 45, QVector3D(0, 0, 4));
    turned->pushTransform(2);
    turned->setScale(2, 2, 0.5f);
    turned->updateGeometry(true);
    ws().scene()->addModel(moved);
    ws().scene()->addModel(turned);
    const QByteArray bytes = save(ws());

    SliceTestScene other;
    QVERIFY(load(bytes, *other.workspace));
    QCOMPARE(other.workspace->scene()->objects().size(), size_t(2));
    const Model *a = other.workspace->scene()->objects()[0];
    const Model *b = other.workspace->scene()->objects()[1];
    QVERIFY(sameWorld(*moved, *a));
    QVERIFY(sameWorld(*turned, *b));
    // The transform is baked in: a fresh, empty stack, the whole vertex list the mesh.
    QVERIFY(b->transforms->empty());
    QCOMPARE(b->mesh->baseVertexCount, uint32_t(36));
    QVERIFY(b->meshReady);
    QVERIFY(!b->geometryDirty);
    QVERIFY(qAbs(b->volume - turned->volume) < 1e-4f);
    QVERIFY((b->bboxMax - turned->bboxMax).length() < 1e-4f);
    // Normals follow the rotation and scale and come back of unit length.
    const Vertex &n = b->mesh->vertices[0];
    QVERIFY(qAbs(QVector3D(n.nx, n.ny, n.nz).length() - 1.0f) < 1e-5f);
    const QVector3D expected =
        turned->normalMatrix()
            .mapVector(QVector3D(turned->mesh->vertices[0].nx, turned->mesh->vertices[0].ny,
                                 turned->mesh->vertices[0].nz))
            .normalized();
    QVERIFY((QVector3D(n.nx, n.ny, n.nz) - expected).length() < 1e-5f);
}

void TestProject::loadSignalsAndStatus()
{
    const QByteArray bytes = oneModelProject();
    QSignalSpy status(ws().scene(), &SceneObjects::modelStatusChanged);
    QSignalSpy data(ws().scene(), &SceneObjects::quorModelDataChanged);
    QVERIFY(load(bytes, ws()));
    QCOMPARE(ws().scene()->status(), SceneObjects::MODEL_LOADED);
    QCOMPARE(status.count(), 1);
    QCOMPARE(status.at(0).at(1).value<SceneObjects::ModelStatus>(), SceneObjects::MODEL_LOADED);
    QVERIFY(data.count() >= 1);
    QVERIFY(!ws().scene()->getSelectedModel());
    // Each object read gets its creation record, like any other new object.
    QCOMPARE(ws().undoList().records().size(), size_t(1));
    QCOMPARE(ws().undoList().records()[0].type, DoItem::DO_NEW);
    QCOMPARE(ws().undoList().records()[0].model, ws().scene()->objects()[0]);
}

// An exception in the middle of the second record: the first model stays, editable and shown,
// as after any refused record, and the exception still reaches the caller.
void TestProject::exceptionMidLoadLeavesWhatWasRead()
{
    ws().scene()->addModel(movedBox());
    ws().scene()->addModel(SceneMeshes::makeBox(QVector3D(20, 0, 0), QVector3D(30, 10, 10)));
    const QByteArray oneModel = [&] {
        SliceTestScene single;
        single.workspace->scene()->addModel(movedBox());
        return save(*single.workspace);
    }();
    QByteArray bytes = save(ws());
    clear(ws());
    QSignalSpy data(ws().scene(), &SceneObjects::quorModelDataChanged);
    // The first record ends where a one-model file's relations begin.
    BrokenBuffer device(&bytes, qint64(oneModel.size()) + 40, BrokenBuffer::Breaks::Throws);
    device.open(QIODevice::ReadOnly);
    bool thrown = false;
    try {
        ProjectFile::read(device, ws());
    } catch (const std::bad_alloc &) {
        thrown = true;
    }
    QVERIFY(thrown);
    QCOMPARE(ws().scene()->objects().size(), size_t(1));
    QCOMPARE(ws().scene()->status(), SceneObjects::MODEL_LOADED);
    QVERIFY(data.count() >= 1);
    QVERIFY(!ws().scene()->getSelectedModel());
}

void TestProject::loadKeepsExistingObjects()
{
    const QByteArray bytes = oneModelProject();
    Model *existing = SceneMeshes::makeBox(QVector3D(20, 0, 0), QVector3D(25, 5, 5));
    ws().scene()->addModel(existing);
    ws().scene()->selectModel(existing);
    QVERIFY(load(bytes, ws()));
    QVERIFY(load(bytes, ws()));
    QCOMPARE(ws().scene()->objects().size(), size_t(3));
    QCOMPARE(ws().scene()->objects()[0], existing);
    QCOMPARE(existing->bboxMin, QVector3D(20, 0, 0));
    QVERIFY(!existing->selected);
}

void TestProject::versionOneZeroReadsDoubles()
{
    // Version 1.0: the same layout, every float as 8 bytes.
    Model *box = movedBox();
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QDataStream out(&buffer);
        beginVersionOneZero(out, 1);
        out << qint64(0) << qint32(0);
        box->writeRecord(out);
        out << qint64(0) << qint32(2) << qint32(-1);
    }
    const OneModelLayout single(36, 36);
    QCOMPARE(qint64(bytes.size()), single.size() + 36 * 24); // twice the vertex bytes
    QVERIFY(load(bytes, ws()));
    QCOMPARE(ws().scene()->objects().size(), size_t(1));
    QVERIFY(sameWorld(*box, *ws().scene()->objects()[0]));
    delete box;

    // Read as single precision, the same bytes would be garbage: the switch matters.
    clear(ws());
    put<qint16>(bytes, OneModelLayout::minor, 1);
    QVERIFY(!load(bytes, ws()));
}

void TestProject::otherVersionsRejected_data()
{
    QTest::addColumn<qint16>("major");
    QTest::addColumn<qint16>("minor");
    QTest::newRow("2.1") << qint16(2) << qint16(1);
    QTest::newRow("1.2") << qint16(1) << qint16(2);
    QTest::newRow("0.1") << qint16(0) << qint16(1);
    QTest::newRow("1.-1") << qint16(1) << qint16(-1);
}

void TestProject::otherVersionsRejected()
{
    QFETCH(qint16, major);
    QFETCH(qint16, minor);
    QByteArray bytes = oneModelProject();
    put(bytes, OneModelLayout::major, major);
    put(bytes, OneModelLayout::minor, minor);
    LogCapture log;
    QVERIFY(!load(bytes, ws()));
    QVERIFY(log.contains(QStringLiteral("Reject this version")));
    QVERIFY(ws().scene()->objects().empty());
}

void TestProject::wrongMarksStopSilently_data()
{
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<qint32>("value");
    QTest::newRow("start mark") << qint64(0) << qint32(0);
    QTest::newRow("format mark") << qint64(4) << qint32(2);
}

void TestProject::wrongMarksStopSilently()
{
    QFETCH(qint64, offset);
    QFETCH(qint32, value);
    QByteArray bytes = oneModelProject();
    put(bytes, offset, value);
    LogCapture log;
    QVERIFY(!load(bytes, ws()));
    QVERIFY(ws().scene()->objects().empty());
    QVERIFY(!log.contains(QStringLiteral("total model size")));
}

void TestProject::busyWorkspaceRefuses()
{
    const QByteArray bytes = oneModelProject();
    Model *existing = SceneMeshes::makeBox(QVector3D(0, 0, 0), QVector3D(1, 1, 1));
    ws().scene()->addModel(existing);
    ws().scene()->setModelStatus(SceneObjects::MODEL_SHOW_SLICE, true);
    LogCapture log;
    QVERIFY(!load(bytes, ws()));
    QVERIFY(log.contains(QStringLiteral("invalid status for load")));
    QCOMPARE(ws().scene()->objects().size(), size_t(1));
    QCOMPARE(ws().scene()->status(), SceneObjects::MODEL_SHOW_SLICE);
}

void TestProject::truncatedAtEveryLength()
{
    ws().scene()->addModel(movedBox());
    ws().scene()->addModel(SceneMeshes::makeBox(QVector3D(-4, -4, 0), QVector3D(-1, -1, 2)));
    const QByteArray bytes = save(ws());
    const size_t firstRecordEnd = size_t(OneModelLayout(36, 36).endTag() + 4);
    clear(ws());
    for (int length = 0; length < bytes.size(); ++length) {
        QVERIFY2(!load(bytes.left(length), ws()), qPrintable(QString::number(length)));
        // Only records read to their end tag stay, and they stay editable.
        const size_t secondRecordEnd = firstRecordEnd + 12 + (firstRecordEnd - 40);
        const size_t expected = size_t(length) >= secondRecordEnd  ? 2
                                : size_t(length) >= firstRecordEnd ? 1
                                                                   : 0;
        QCOMPARE(ws().scene()->objects().size(), expected);
        QCOMPARE(ws().scene()->status(),
                 expected ? SceneObjects::MODEL_LOADED : SceneObjects::MODEL_INIT);
        for (const Model *m : ws().scene()->objects())
            QVERIFY(m->meshReady && m->mesh->indices.size() == 36);
        clear(ws());
    }
    QVERIFY(load(bytes, ws()));
}

void TestProject::damagedRecords_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("logged");
    // Data functions run before init(): a scene of their own.
    SliceTestScene scene;
    scene.workspace->scene()->addModel(movedBox());
    const QByteArray good = save(*scene.workspace);
    const OneModelLayout at(36, 36);
    const qint64 huge = std::numeric_limits<qint64>::max() / 8;
    auto patched = [&](auto offset, auto value) {
        QByteArray b = good;
        put(b, qint64(offset), value);
        return b;
    };
    auto withFloat = [&](qint64 offset, float f) {
        QByteArray b = good;
        putFloat(b, offset, f);
        return b;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    QTest::newRow("huge object count") << patched(at.objectCount, huge) << "object count";
    QTest::newRow("negative object count") << patched(at.objectCount, qint64(-1)) << "object count";
    QTest::newRow("huge vertex count") << patched(at.vertexCount, huge) << "bad vertex count";
    QTest::newRow("largest 32-bit vertex count")
        << patched(at.vertexCount, qint64(0xffffffffu)) << "vertices damaged";
    QTest::newRow("vertex count past 32 bits")
        << patched(at.vertexCount, qint64(1) << 33) << "bad vertex count";
    // The extra vertex swallows the tag and the index count: the next index reads as tag 3
    // and the two after it as a count far beyond the file.
    QTest::newRow("one vertex more than stored")
        << patched(at.vertexCount, qint64(37)) << "indices damaged";
    QTest::newRow("huge index count") << patched(at.indexCount(), huge * 3) << "indices damaged";
    QTest::newRow("index count not whole triangles")
        << patched(at.indexCount(), qint64(35)) << "bad index count";
    QTest::newRow("index equal to the vertex count")
        << patched(at.indices() + 8, qint32(36)) << "indices damaged";
    QTest::newRow("negative index") << patched(at.indices(), qint32(-1)) << "indices damaged";
    QTest::newRow("NaN position") << withFloat(at.vertices + 24 * 5 + 4, nan) << "vertices damaged";
    QTest::newRow("infinite normal") << withFloat(at.vertices + 20, -inf) << "vertices damaged";
    QTest::newRow("sequence number") << patched(at.sequence, qint64(1)) << "bad sequence number";
    QTest::newRow("linker type") << patched(at.type, qint32(3)) << "unknown type: 3";
    QTest::newRow("plate type") << patched(at.type, qint32(5)) << "unknown type: 5";
    QTest::newRow("negative type") << patched(at.type, qint32(-7)) << "unknown type: -7";
    QTest::newRow("first tag") << patched(at.tag1, qint32(0)) << "bad record tag";
    QTest::newRow("vertex tag") << patched(at.tag2, qint32(3)) << "bad record tag";
    QTest::newRow("index tag") << patched(at.tag3(), qint32(2)) << "bad record tag";
    QTest::newRow("end tag") << patched(at.endTag(), qint32(2016)) << "bad record tag";
}

void TestProject::damagedRecords()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, logged);
    LogCapture log;
    QSignalSpy status(ws().scene(), &SceneObjects::modelStatusChanged);
    QVERIFY(!load(bytes, ws()));
    QVERIFY2(log.contains(logged), qPrintable(log.lines().join(QLatin1Char('\n'))));
    QVERIFY(ws().scene()->objects().empty());
    QVERIFY(ws().undoList().records().empty());
    QCOMPARE(ws().scene()->status(), SceneObjects::MODEL_INIT);
    QCOMPARE(status.count(), 0);
}

void TestProject::relationsChecked_data()
{
    QTest::addColumn<qint64>("relationCount");
    QTest::addColumn<qint32>("supportIndex");
    QTest::addColumn<qint32>("ownerIndex");
    QTest::addColumn<QString>("logged");
    QTest::newRow("huge count") << (qint64(1) << 60) << 1 << 0 << "relation count";
    QTest::newRow("negative count") << qint64(-2) << 1 << 0 << "relation count";
    QTest::newRow("support index past the objects") << qint64(1) << 2 << 0 << "bad relation";
    QTest::newRow("owner index past the objects") << qint64(1) << 1 << 2 << "bad relation";
    QTest::newRow("negative owner") << qint64(1) << 1 << -1 << "bad relation";
    // Normal models hang on nothing.
    QTest::newRow("normal model as a support")
        << qint64(1) << 1 << 0 << "relation does not fit its objects";
    QTest::newRow("itself") << qint64(1) << 0 << 0 << "relation does not fit its objects";
}

void TestProject::relationsChecked()
{
    QFETCH(qint64, relationCount);
    QFETCH(qint32, supportIndex);
    QFETCH(qint32, ownerIndex);
    QFETCH(QString, logged);
    ws().scene()->addModel(movedBox());
    ws().scene()->addModel(movedBox());
    QByteArray bytes = save(ws());
    clear(ws());
    // Replace the empty relation list by one pair.
    bytes.chop(8 + 8);
    QByteArray tail(16, '\0');
    put(tail, 0, relationCount);
    put(tail, 8, supportIndex);
    put(tail, 12, ownerIndex);
    bytes += tail;
    bytes += QByteArray("\0\0\0\2\xff\xff\xff\xff", 8);

    LogCapture log;
    QVERIFY(!load(bytes, ws()));
    QVERIFY2(log.contains(logged), qPrintable(log.lines().join(QLatin1Char('\n'))));
    // Both models were read completely and stay, editable and unattached.
    QCOMPARE(ws().scene()->objects().size(), size_t(2));
    QCOMPARE(ws().scene()->status(), SceneObjects::MODEL_LOADED);
    for (const Model *m : ws().scene()->objects())
        QVERIFY(!m->parent && m->supports.empty());
}

void TestProject::openThroughApp()
{
    ws().scene()->addModel(movedBox());
    const QString path = m_scene->env.path(QStringLiteral("PART.QSP"));
    QSignalSpy nameChanged(m_scene->app.get(), &QuorApp::prjFileChanged);
    m_scene->app->setPrjFile(QUrl::fromLocalFile(path).toString());
    QCOMPARE(nameChanged.count(), 1);
    LogCapture log;
    m_scene->app->savePrj();
    QVERIFY(log.contains(QStringLiteral("QuorApp::savePrj()")));
    QVERIFY(log.contains(QStringLiteral("write vertices 36")));
    QVERIFY(log.contains(QStringLiteral("write indices 36")));
    QCOMPARE(m_scene->app->prjFile(), path); // a save keeps the name
    clear(ws());

    QSignalSpy alerts(ws().scene(), &SceneObjects::showAlert);
    m_scene->app->open(QUrl::fromLocalFile(path)); // upper-case extension is a project too
    QCOMPARE(alerts.count(), 0);
    QCOMPARE(ws().scene()->objects().size(), size_t(1));
    QCOMPARE(m_scene->app->prjFile(), path);
    QCOMPARE(nameChanged.count(), 1); // the same name again: no change to announce
    QCOMPARE(m_scene->app->prjName(), QStringLiteral("PART.QSP"));
    QVERIFY(log.contains(QStringLiteral("QuorApp::loadPrj()")));
    QVERIFY(log.contains(QStringLiteral("job file version: 1 1")));
    QVERIFY(log.contains(QStringLiteral("read vertices 36 36 capacity")));
}

void TestProject::damagedFileClearsProjectName()
{
    const QString good = m_scene->env.path(QStringLiteral("good.qsp"));
    const QString bad = m_scene->env.path(QStringLiteral("bad.qsp"));
    QByteArray bytes = oneModelProject();
    {
        QFile f(good);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    put(bytes, OneModelLayout(36, 36).endMark1(), qint32(3)); // all objects fine, end wrong
    {
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QSignalSpy alerts(ws().scene(), &SceneObjects::showAlert);
    // The window title follows the name: announced when a project is read completely, and
    // taken back when a damaged one replaces it.
    QSignalSpy nameChanged(m_scene->app.get(), &QuorApp::prjFileChanged);
    m_scene->app->open(QUrl::fromLocalFile(good));
    QCOMPARE(m_scene->app->prjFile(), good);
    QCOMPARE(m_scene->app->prjName(), QStringLiteral("good.qsp"));
    QCOMPARE(nameChanged.count(), 1);
    QCOMPARE(alerts.count(), 0);
    m_scene->app->open(QUrl::fromLocalFile(bad));
    QVERIFY(m_scene->app->prjFile().isEmpty());
    QVERIFY(m_scene->app->prjName().isEmpty());
    QCOMPARE(nameChanged.count(), 2);
    QCOMPARE(ws().scene()->objects().size(), size_t(2)); // the objects of both files
    // Everything was read but the end: still only a part of what the file should be.
    QCOMPARE(alerts.count(), 1);
    QCOMPARE(alerts.at(0).at(0).toString(),
             QStringLiteral("The project bad.qsp is damaged: it was loaded only in part."));
    LogCapture log;
    m_scene->app->open(QUrl::fromLocalFile(m_scene->env.path(QStringLiteral("gone.qsp"))));
    QVERIFY(log.contains(QStringLiteral("open file failed")));
    QCOMPARE(alerts.count(), 2);
    QCOMPARE(alerts.at(1).at(0).toString(),
             QStringLiteral("The project gone.qsp could not be opened."));
}

void TestProject::projectKnownByContent_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("projectBytes");
    QTest::addColumn<bool>("opensAsProject");
    // A desktop that knows projects by their first bytes hands them over under any name.
    QTest::newRow("project without extension") << "plate" << true << true;
    QTest::newRow("project under another extension") << "plate.bak" << true << true;
    // A model extension keeps its meaning whatever the bytes.
    QTest::newRow("project bytes named .stl") << "plate.stl" << true << false;
    QTest::newRow("other bytes without extension") << "notes" << false << false;
}

void TestProject::projectKnownByContent()
{
    QFETCH(QString, name);
    QFETCH(bool, projectBytes);
    QFETCH(bool, opensAsProject);
    const QString path = m_scene->env.path(name);
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(projectBytes ? oneModelProject() : QByteArray("solid but not really\n"));
    }
    const QUrl url = QUrl::fromLocalFile(path);
    QCOMPARE(QuorApp::isProjectFile(url), opensAsProject);
    QSignalSpy alerts(ws().scene(), &SceneObjects::showAlert);
    m_scene->app->open(url);
    QCOMPARE(ws().scene()->objects().size(), size_t(opensAsProject ? 1 : 0));
    QCOMPARE(m_scene->app->prjName(), opensAsProject ? name : QString());
    QCOMPARE(alerts.count(), opensAsProject ? 0 : 1);
}

void TestProject::refusedFilesAlert_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("objectsKept");
    QTest::addColumn<QString>("alert");
    // Data functions run before init(): scenes of their own. Two models, a pillar under the
    // first: the file every damage below is made in.
    SliceTestScene scene;
    Model *owner = SceneMeshes::makeBox(QVector3D(0, 0, 12), QVector3D(10, 20, 17));
    scene.workspace->scene()->addModel(owner);
    scene.workspace->scene()->addModel(
        SceneMeshes::makeBox(QVector3D(20, 0, 0), QVector3D(30, 10, 10)));
    auto *pillar = new CWS::Support(scene.config->supportConfig());
    pillar->build(owner, QVector3D(2, 2, 12), QVector3D(0, 0, -1));
    scene.workspace->scene()->addModel(pillar);
    const QByteArray good = save(*scene.workspace);
    const Outline o = outline(good);
    QCOMPARE(int(o.objects.size()), 3);
    auto patched = [&](qint64 offset, auto value) {
        QByteArray b = good;
        put(b, offset, value);
        return b;
    };
    const QString partly = QStringLiteral("The project %1 is damaged: it was loaded only in part.");
    const QString nothing =
        QStringLiteral("The project %1 could not be loaded: it is damaged or not a project.");
    QTest::newRow("start mark") << patched(0, qint32(7)) << 0 << nothing;
    QTest::newRow("version 1.2") << patched(OneModelLayout::minor, qint16(2)) << 0 << nothing;
    QTest::newRow("first record's tag") << patched(o.objects[0].record, qint32(9)) << 0 << nothing;
    QTest::newRow("unknown type first")
        << patched(o.objects[0].record - 4, qint32(3)) << 0 << nothing;
    // The first model is read completely, then the damage: it stays.
    QTest::newRow("second model's end tag")
        << patched(o.objects[2].record - 12 - 4, qint32(2016)) << 1 << partly;
    QTest::newRow("truncated in the second model")
        << good.left(int(o.objects[1].record + 100)) << 1 << partly;
    // The pillar's record is damaged: both models stay, without their support.
    QByteArray nanHead = good;
    putFloat(nanHead, o.objects[2].supportFields, std::numeric_limits<float>::quiet_NaN());
    QTest::newRow("damaged support record") << nanHead << 2 << partly;
    QTest::newRow("relation past the objects")
        << patched(o.relations + 8 + 4, qint32(3)) << 3 << partly;
    QTest::newRow("end mark") << patched(qint64(good.size()) - 8, qint32(3)) << 3 << partly;
}

// Whatever the reader refuses, the person hears of it, with the file's name; what was read
// stays in the scene and the file does not become the current project.
void TestProject::refusedFilesAlert()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, objectsKept);
    QFETCH(QString, alert);
    const QString path = m_scene->env.path(QStringLiteral("damaged.qsp"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QSignalSpy alerts(ws().scene(), &SceneObjects::showAlert);
    m_scene->app->open(QUrl::fromLocalFile(path));
    QCOMPARE(alerts.count(), 1);
    QCOMPARE(alerts.at(0).at(0).toString(), alert.arg(QStringLiteral("damaged.qsp")));
    QCOMPARE(ws().scene()->modelSize(), objectsKept);
    QVERIFY(m_scene->app->prjFile().isEmpty());
    QCOMPARE(ws().scene()->status(),
             objectsKept ? SceneObjects::MODEL_LOADED : SceneObjects::MODEL_INIT);
}

// A project with no objects is a project: no alert, and it becomes the current one. A busy
// workspace takes nothing and says why.
void TestProject::emptyAndBusyProjects()
{
    const QString empty = m_scene->env.path(QStringLiteral("empty.qsp"));
    {
        QFile f(empty);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(save(ws()));
    }
    QSignalSpy alerts(ws().scene(), &SceneObjects::showAlert);
    m_scene->app->open(QUrl::fromLocalFile(empty));
    QCOMPARE(alerts.count(), 0);
    QCOMPARE(m_scene->app->prjFile(), empty);
    QCOMPARE(ws().scene()->status(), SceneObjects::MODEL_INIT);

    ws().scene()->addModel(movedBox());
    ws().scene()->setModelStatus(SceneObjects::MODEL_SHOW_SLICE, true);
    m_scene->app->open(QUrl::fromLocalFile(empty));
    QCOMPARE(alerts.count(), 1);
    QVERIFY(alerts.at(0).at(0).toString().startsWith(
        QStringLiteral("The project empty.qsp was not opened: wait until")));
    ws().scene()->setModelStatus(SceneObjects::MODEL_LOADED, true);
}

void TestProject::saveReplacesFile()
{
    const QString path = m_scene->env.path(QStringLiteral("scene.qsp"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("old contents");
    }
    ws().scene()->addModel(movedBox());
    m_scene->app->setPrjFile(QUrl::fromLocalFile(path).toString());
    QSignalSpy alerts(ws().scene(), &SceneObjects::showAlert);
    m_scene->app->savePrj();
    QCOMPARE(alerts.count(), 0);
    QCOMPARE(readFile(path), save(ws()));
    // Nothing is left beside it.
    QCOMPARE(QDir(m_scene->env.path(QString())).entryList(QStringList{QStringLiteral("scene*")}),
             QStringList{QStringLiteral("scene.qsp")});
}

// Large enough for several blocks of each array and for the disk to be asked to start early.
void TestProject::largeSaveReplacesOpenFile()
{
    std::vector<SceneMeshes::Triangle> tris;
    for (int i = 0; i < 3500; ++i) {
        const QVector3D lo(float(i % 70), float(i / 70), 0.0f);
        const std::vector<SceneMeshes::Triangle> box =
            SceneMeshes::boxTriangles(lo, lo + QVector3D(0.5f, 0.5f, 1.0f + float(i % 5)));
        tris.insert(tris.end(), box.begin(), box.end());
    }
    Model *model = SceneMeshes::makeModel(tris);
    ws().scene()->addModel(model);
    const QString path = m_scene->env.path(QStringLiteral("large.qsp"));
    m_scene->app->setPrjFile(QUrl::fromLocalFile(path).toString());
    m_scene->app->savePrj();
    const QByteArray first = readFile(path);
    QVERIFY(first.size() > 3 * 1024 * 1024);
    QCOMPARE(first, save(ws()));

    // Someone still reading the old file keeps reading the old bytes.
    QFile reader(path);
    QVERIFY(reader.open(QIODevice::ReadOnly));
    model->pushTransform(1);
    model->translateBy(3, 4, 0);
    model->updateGeometry(true);
    QSignalSpy alerts(ws().scene(), &SceneObjects::showAlert);
    m_scene->app->savePrj();
    QCOMPARE(alerts.count(), 0);
    const QByteArray second = readFile(path);
    QCOMPARE(second, save(ws()));
    QVERIFY(second != first);
    QCOMPARE(reader.readAll(), first);
    QCOMPARE(QDir(m_scene->env.path(QString())).entryList(QStringList{QStringLiteral("large*")}),
             QStringList{QStringLiteral("large.qsp")});

    SliceTestScene other;
    QVERIFY(load(second, *other.workspace));
    QCOMPARE(other.workspace->scene()->objects().size(), size_t(1));
    QVERIFY(sameWorld(*other.workspace->scene()->objects()[0], *model));
}

void TestProject::saveIntoMissingFolderAlerts()
{
    const QString path = m_scene->env.path(QStringLiteral("vanished/scene.qsp"));
    ws().scene()->addModel(movedBox());
    m_scene->app->setPrjFile(QUrl::fromLocalFile(path).toString());
    QSignalSpy alerts(ws().scene(), &SceneObjects::showAlert);
    LogCapture log;
    m_scene->app->savePrj();
    QVERIFY(log.contains(QStringLiteral("open file failed")));
    QCOMPARE(alerts.count(), 1);
    QCOMPARE(alerts.at(0).at(0).toString(), QStringLiteral("Save project failed!"));
    QVERIFY(!QFile::exists(path));

    // No name at all fails the same way.
    m_scene->app->setPrjFile(QString());
    m_scene->app->savePrj();
    QCOMPARE(alerts.count(), 2);
}

void TestProject::failedSaveKeepsOldFile()
{
    const QString path = m_scene->env.path(QStringLiteral("scene.qsp"));
    ws().scene()->addModel(movedBox());
    m_scene->app->setPrjFile(QUrl::fromLocalFile(path).toString());
    m_scene->app->savePrj();
    const QByteArray before = readFile(path);
    QVERIFY(!before.isEmpty());

    // A scene too large for the file size limit: the write fails like on a full disk.
    for (int i = 0; i < 400; ++i)
        ws().scene()->addModel(movedBox());
    QSignalSpy alerts(ws().scene(), &SceneObjects::showAlert);
    LogCapture log;
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 64 * 1024;
    setrlimit(RLIMIT_FSIZE, &small);
    m_scene->app->savePrj();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(alerts.count(), 1);
    QVERIFY(log.contains(QStringLiteral("write project failed")));
    QCOMPARE(readFile(path), before);
    QCOMPARE(QDir(m_scene->env.path(QString())).entryList(QStringList{QStringLiteral("scene*")}),
             QStringList{QStringLiteral("scene.qsp")});
}

QTEST_GUILESS_MAIN(TestProject)
#include "tst_project.moc"
