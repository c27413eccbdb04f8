#include "ProjectTestFiles.h"
#include "SceneMeshes.h"
#include "SliceTestScene.h"

#include "model/MeshParts.h"
#include "workspace/ProjectPartsBlock.h"

#include <QtTest>

using namespace ProjectTestFiles;
using namespace SceneMeshes;

namespace {

using Piece = std::pair<std::vector<Triangle>, int>; // triangles and their node

std::vector<Triangle> slice(const std::vector<Triangle> &t, size_t first, size_t end)
{
    return std::vector<Triangle>(t.begin() + long(first), t.begin() + long(end));
}

QStringList keysOf(const MeshPrimitiveData &m, size_t first, size_t end)
{
    QStringList keys;
    for (size_t k = first; k < end; ++k) {
        const Vertex &v = m.vertices[m.indices[k]];
        keys << QStringLiteral("%1 %2 %3").arg(v.px).arg(v.py).arg(v.pz);
    }
    keys.sort();
    return keys;
}

// Two boxes in one model, cut as two parts.
Model *twoPartModel()
{
    std::vector<Triangle> tris = boxTriangles({0, 0, 0}, {10, 10, 10});
    const auto second = boxTriangles({5, 0, 0}, {15, 10, 10});
    tris.insert(tris.end(), second.begin(), second.end());
    Model *m = makeModel(tris);
    m->mesh->partStarts = {0, 36};
    return m;
}

} // namespace

Q_DECLARE_METATYPE(std::vector<Piece>)

class TestMeshParts : public QObject
{
    Q_OBJECT
private slots:
    void arrange_data();
    void arrange();
    void partsSurviveProjects();
    void partsBlockChecked_data();
    void partsBlockChecked();
};

void TestMeshParts::arrange_data()
{
    QTest::addColumn<std::vector<Piece>>("pieces");
    QTest::addColumn<std::vector<int>>("starts");
    QTest::addColumn<int>("firstPartPiece"); // the piece whose triangles lead the list
    const auto a = boxTriangles({0, 0, 0}, {10, 10, 10});
    const auto b = boxTriangles({20, 0, 0}, {30, 10, 10});
    const auto aLow = slice(a, 0, 6), aHigh = slice(a, 6, 12);
    QTest::newRow("two closed meshes")
        << std::vector<Piece>{{a, 0}, {b, 1}} << std::vector<int>{0, 36} << 0;
    QTest::newRow("one mesh") << std::vector<Piece>{{a, 0}} << std::vector<int>{} << 0;
    // A node split by material: its open meshes close together.
    QTest::newRow("one node of open meshes")
        << std::vector<Piece>{{aLow, 0}, {aHigh, 0}} << std::vector<int>{} << 0;
    QTest::newRow("closed mesh and an object split over groups")
        << std::vector<Piece>{{aLow, 0}, {b, 1}, {aHigh, 2}} << std::vector<int>{0, 36} << 1;
    QTest::newRow("an open mesh beside a closed one")
        << std::vector<Piece>{{a, 0}, {slice(b, 0, 1), 1}} << std::vector<int>{0, 36} << 0;
}

void TestMeshParts::arrange()
{
    QFETCH(std::vector<Piece>, pieces);
    QFETCH(std::vector<int>, starts);
    QFETCH(int, firstPartPiece);
    std::vector<Triangle> all;
    std::vector<MeshParts::Piece> ranges;
    for (const Piece &p : pieces) {
        ranges.push_back({int(all.size()) * 3, int(all.size() + p.first.size()) * 3, p.second});
        all.insert(all.end(), p.first.begin(), p.first.end());
    }
    MeshPrimitiveData mesh;
    fillMesh(mesh, all);
    const QStringList before = keysOf(mesh, 0, mesh.indices.size());
    MeshParts::arrange(mesh, ranges);
    QCOMPARE(mesh.partStarts, starts);
    QCOMPARE(keysOf(mesh, 0, mesh.indices.size()), before); // every corner still there once
    const MeshParts::Piece &lead = ranges[size_t(firstPartPiece)];
    MeshPrimitiveData leading;
    fillMesh(leading, pieces[size_t(firstPartPiece)].first);
    QCOMPARE(keysOf(mesh, 0, size_t(lead.end - lead.first)),
             keysOf(leading, 0, leading.indices.size()));
}

void TestMeshParts::partsSurviveProjects()
{
    SliceTestScene scene;
    scene.add(twoPartModel());
    scene.add(makeBox({20, 0, 0}, {25, 5, 5}));
    const QByteArray bytes = save(*scene.workspace);
    clear(*scene.workspace);
    QVERIFY(load(bytes, *scene.workspace));
    QCOMPARE(scene.workspace->models[0]->mesh->partStarts, std::vector<int>({0, 36}));
    QVERIFY(scene.workspace->models[1]->mesh->partStarts.empty());
    // A copy shares the mesh and with it the parts.
    std::unique_ptr<Model> copy(scene.workspace->models[0]->duplicate(false));
    QCOMPARE(copy->mesh->partStarts, std::vector<int>({0, 36}));
    // Without the block, as a version that writes none saves it, the model is one surface.
    clear(*scene.workspace);
    QVERIFY(load(bytes.left(bytes.indexOf(QByteArray("PART"))), *scene.workspace));
    QVERIFY(scene.workspace->models[0]->mesh->partStarts.empty());
}

void TestMeshParts::partsBlockChecked_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("complete");
    SliceTestScene scene;
    scene.add(twoPartModel());
    const QByteArray good = save(*scene.workspace);
    const qint64 block = good.indexOf(QByteArray("PART"));
    QCOMPARE(good.size() - block, 38); // mark, version, count, one entry of two starts
    auto patched = [&](qint64 offset, auto value) {
        QByteArray b = good;
        put(b, block + offset, value);
        return b;
    };
    QTest::newRow("as saved") << good << true;
    QTest::newRow("a later kind of block") << patched(0, qint32(0x12345678)) << true;
    QTest::newRow("a later version") << patched(4, qint16(2)) << true;
    QTest::newRow("more entries than bytes") << patched(6, qint64(1000)) << false;
    QTest::newRow("no such model") << patched(14, qint32(1)) << false;
    QTest::newRow("one part") << patched(18, qint32(1)) << false;
    QTest::newRow("first part not at 0") << patched(22, qint64(3)) << false;
    QTest::newRow("parts out of order") << patched(30, qint64(0)) << false;
    QTest::newRow("part past the indices") << patched(30, qint64(72)) << false;
    QTest::newRow("part inside a triangle") << patched(30, qint64(37)) << false;
    QTest::newRow("cut short") << good.left(good.size() - 4) << false;
}

void TestMeshParts::partsBlockChecked()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, complete);
    SliceTestScene scene;
    QCOMPARE(load(bytes, *scene.workspace), complete);
    QCOMPARE(scene.workspace->models.size(), size_t(1));
    const std::vector<int> starts = scene.workspace->models[0]->mesh->partStarts;
    QVERIFY(starts.empty() || starts == std::vector<int>({0, 36}));
}

QTEST_GUILESS_MAIN(TestMeshParts)
#include "tst_meshparts.moc"
