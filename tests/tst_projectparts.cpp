#include "ProjectTestFiles.h"
#include "SceneMeshes.h"
#include "SliceTestScene.h"

#include "model/Model.h"

#include <QtTest>

using namespace ProjectTestFiles;

Q_DECLARE_METATYPE(std::vector<int>)

class TestProjectParts : public QObject
{
    Q_OBJECT
private slots:
    void partsBlock_data();
    void partsBlock();
};

void TestProjectParts::partsBlock_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<std::vector<int>>("parts");
    // Two overlapping boxes cut as two parts, and a box of one part, which needs no entry.
    SliceTestScene scene;
    auto tris = SceneMeshes::boxTriangles({0, 0, 0}, {10, 10, 10});
    const auto second = SceneMeshes::boxTriangles({5, 0, 0}, {15, 10, 10});
    tris.insert(tris.end(), second.begin(), second.end());
    scene.add(SceneMeshes::makeModel(tris))->mesh->partStarts = {0, 36};
    scene.add(SceneMeshes::makeBox({20, 0, 0}, {25, 5, 5}));
    const QByteArray good = save(*scene.workspace);
    const qint64 block = good.indexOf(QByteArray("PART"));
    QCOMPARE(good.size() - block, 38); // mark, version, count, one entry of two starts
    auto patched = [&](qint64 offset, auto value) {
        QByteArray b = good;
        put(b, block + offset, value);
        return b;
    };
    const std::vector<int> one;
    QTest::newRow("as saved") << good << true << std::vector<int>{0, 36};
    // As a version that writes no block saves it: one surface.
    QTest::newRow("without the block") << good.left(block) << true << one;
    QTest::newRow("a later version of the block") << patched(4, qint16(2)) << true << one;
    QTest::newRow("no such model") << patched(14, qint32(2)) << false << one;
    QTest::newRow("parts out of order") << patched(30, qint64(0)) << false << one;
    QTest::newRow("part inside a triangle") << patched(30, qint64(37)) << false << one;
    QTest::newRow("cut short") << good.left(good.size() - 4) << false << one;
}

void TestProjectParts::partsBlock()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, complete);
    QFETCH(std::vector<int>, parts);
    SliceTestScene scene;
    QCOMPARE(load(bytes, *scene.workspace), complete);
    QCOMPARE(scene.workspace->scene()->objects().size(), size_t(2));
    QCOMPARE(scene.workspace->scene()->objects()[0]->mesh->partStarts, parts);
    QVERIFY(scene.workspace->scene()->objects()[1]->mesh->partStarts.empty());
}

QTEST_GUILESS_MAIN(TestProjectParts)
#include "tst_projectparts.moc"
