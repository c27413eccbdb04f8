#include "LogCapture.h"
#include "SceneMeshes.h"
#include "ScratchConfig.h"

#include "model/DoItem.h"
#include "model/MeshGeometry.h"
#include "model/Model.h"
#include "workspace/SceneObjects.h"
#include "workspace/Workspace.h"

#include <QtTest>

#include <cmath>
#include <memory>

using namespace SceneMeshes;

class TstMeshObjects : public QObject
{
    Q_OBJECT
private slots:
    void newModelDefaults();
    void untransformedModelHasIdentityMatrixAndVertexBox();
    void rotationAboutOldCentreThenTranslation();
    void normalMatrixSkipsTranslations();
    void volumeClampsPartBelowPlatform();
    void centreRepair_data();
    void centreRepair();
    void emptyMeshKeepsResetBox();
    void outOfRangeIndexIsSkipped();
    void geometryRecomputedOnlyWhenNeeded();
    void colours_data();
    void colours();
    void copyOfNormalModelSharesMesh();
    void copyOfSupportOwnsMesh();
    void thirdDuplicateLiesFurtherAlongY();
    void attachChildSharesTransforms();
    void finishMeshKeepsWorldPosition();
    void destructionDetachesFamily();
};

void TstMeshObjects::newModelDefaults()
{
    LogCapture log;
    Model m;
    QCOMPARE(m.type, int(Model::TYPE_NORMAL));
    QVERIFY(m.mesh);
    QVERIFY(m.geometryDirty);
    QCOMPARE(m.bboxMin, QVector3D(1000000, 1000000, 1000000));
    QCOMPARE(m.bboxMax, QVector3D(-1000000, -1000000, -1000000));
    QCOMPARE(m.name, QStringLiteral("Model"));
    QVERIFY(m.justCreated);
    QVERIFY(!m.meshReady);
    QVERIFY(m.transforms && m.transforms->empty());
    QVERIFY(!m.m_color.isValid()); // the base colour is the invalid default
    QVERIFY(log.contains(QStringLiteral("create new model")));
}

void TstMeshObjects::untransformedModelHasIdentityMatrixAndVertexBox()
{
    std::unique_ptr<Model> m(makeBox({-1, 2, 0}, {3, 5, 7}));
    QVERIFY(m->modelMatrix().isIdentity());
    // Without transforms the world box is the vertices' own box.
    QCOMPARE(m->bboxMin, QVector3D(-1, 2, 0));
    QCOMPARE(m->bboxMax, QVector3D(3, 5, 7));
    QCOMPARE(m->center, QVector3D(1, 3.5f, 3.5f));
    // 4 x 3 x 7 mm = 84 mm³.
    QCOMPARE(m->volume, 0.084f);
    // Half the box diagonal: sqrt(2² + 1.5² + 3.5²).
    QVERIFY(qAbs(m->radius - std::sqrt(4.0f + 2.25f + 12.25f)) < 1e-5f);
}

void TstMeshObjects::rotationAboutOldCentreThenTranslation()
{
    std::unique_ptr<Model> m(makeBox({5, -5, 0}, {15, 5, 10}));
    m->pushTransform(DoItem::DO_T_ROTATE);
    m->setRotate(0, 0, 90, m->center); // centre (10, 0, 5)
    m->pushTransform(DoItem::DO_T_TRANSLATE);
    m->setTranslate(0, 0, 3);
    // (15, 0, 5) is 5 mm along +x from the centre: a quarter turn puts it 5 mm along +y,
    // then the later translation lifts it by 3.
    const QVector3D p = m->modelMatrix().map(QVector3D(15, 0, 5));
    QVERIFY2(qFuzzyCompare(p + QVector3D(1, 1, 1), QVector3D(11, 6, 9)),
             qPrintable(QStringLiteral("%1 %2 %3").arg(p.x()).arg(p.y()).arg(p.z())));
    m->updateGeometry(false);
    // The centre stays over the old one, 3 mm higher.
    QVERIFY(qAbs(m->center.x() - 10) < 1e-4f && qAbs(m->center.y()) < 1e-4f);
    QVERIFY(qAbs(m->center.z() - 8) < 1e-4f);
}

void TstMeshObjects::normalMatrixSkipsTranslations()
{
    Model m;
    m.pushTransform(DoItem::DO_T_TRANSLATE);
    m.setTranslate(4, 5, 6);
    m.pushTransform(DoItem::DO_T_SCALE);
    m.setScale(2, 1, 1);
    QMatrix4x4 expected;
    expected.scale(2, 1, 1);
    QCOMPARE(m.normalMatrix(), expected); // the translation item is left out
}

void TstMeshObjects::volumeClampsPartBelowPlatform()
{
    // A 10 mm cube from z = -5 to 5: only the upper half, 500 mm³, counts.
    std::unique_ptr<Model> m(makeBox({0, 0, -5}, {10, 10, 5}));
    QVERIFY(qAbs(m->volume - 0.5f) < 1e-6f);
    QCOMPARE(m->bboxMin.z(), -5.0f);
}

void TstMeshObjects::centreRepair_data()
{
    QTest::addColumn<QVector<QVector3D>>("points"); // three per triangle
    QTest::addColumn<QVector3D>("expected");
    QTest::addColumn<bool>("repaired");

    // Closed box: the volume centre lies inside, no repair.
    QVector<QVector3D> box;
    for (const Triangle &t : boxTriangles({0, 0, 0}, {2, 4, 6}))
        box << t[0] << t[1] << t[2];
    QTest::newRow("closed box") << box << QVector3D(1, 2, 3) << false;
    // One triangle at z = 1: its tetrahedron centroid has z 0.75, below the box.
    QTest::newRow("open surface") << QVector<QVector3D>{{0, 0, 1}, {1, 0, 1}, {0, 1, 1}}
                                  << QVector3D(0.5f, 0.5f, 1) << true;
    // In the plane z = 0 every tetrahedron is flat: 0/0 must not leak out.
    QTest::newRow("flat") << QVector<QVector3D>{{0, 0, 0}, {4, 0, 0}, {0, 2, 0}}
                          << QVector3D(2, 1, 0) << true;
    // All triangles degenerate (collinear points).
    QTest::newRow("degenerate") << QVector<QVector3D>{{1, 1, 1}, {2, 2, 2}, {3, 3, 3}}
                                << QVector3D(2, 2, 2) << true;
}

void TstMeshObjects::centreRepair()
{
    QFETCH(QVector<QVector3D>, points);
    QFETCH(QVector3D, expected);
    QFETCH(bool, repaired);
    std::vector<Triangle> tris;
    for (int i = 0; i + 2 < points.size(); i += 3)
        tris.push_back({points[i], points[i + 1], points[i + 2]});
    LogCapture log;
    std::unique_ptr<Model> m(makeModel(tris));
    QVERIFY(std::isfinite(m->center.x()) && std::isfinite(m->center.y()) &&
            std::isfinite(m->center.z()));
    QVERIFY(qFuzzyCompare(m->center + QVector3D(1, 1, 1), expected + QVector3D(1, 1, 1)));
    QCOMPARE(log.contains(QStringLiteral("repair center to")), repaired);
    if (repaired) {
        const QString text = QString::asprintf("(%.8f, %.8f, %.8f)", double(expected.x()),
                                               double(expected.y()), double(expected.z()));
        QVERIFY2(log.contains(text), qPrintable(log.lines().join('\n')));
    }
    QVERIFY(std::isfinite(m->radius));
}

void TstMeshObjects::emptyMeshKeepsResetBox()
{
    Model m;
    m.updateGeometry(true);
    QCOMPARE(m.bboxMin, QVector3D(1000000, 1000000, 1000000));
    QCOMPARE(m.bboxMax, QVector3D(-1000000, -1000000, -1000000));
    QCOMPARE(m.volume, 0.0f);
    QVERIFY(std::isfinite(m.center.x()));
}

void TstMeshObjects::outOfRangeIndexIsSkipped()
{
    MeshPrimitiveData mesh;
    fillMesh(mesh, boxTriangles({0, 0, 0}, {1, 1, 1}));
    mesh.indices.push_back(0);
    mesh.indices.push_back(1);
    mesh.indices.push_back(999); // would read past the vertices
    const MeshGeometry g = computeMeshGeometry(mesh, QMatrix4x4());
    QCOMPARE(g.bboxMax, QVector3D(1, 1, 1));
    QVERIFY(qAbs(g.volumeCm3 - 0.001f) < 1e-7f);
}

void TstMeshObjects::geometryRecomputedOnlyWhenNeeded()
{
    std::unique_ptr<Model> m(makeBox({0, 0, 0}, {1, 1, 1}));
    for (Vertex &v : m->mesh->vertices)
        v.pz += 10;
    m->updateGeometry(false);
    QCOMPARE(m->bboxMin.z(), 0.0f); // clean cache: nothing recomputed
    m->updateGeometry(true);
    QCOMPARE(m->bboxMin.z(), 10.0f);

    // A child recomputes when its owner is dirty.
    std::unique_ptr<Model> owner(makeBox({0, 0, 0}, {1, 1, 1}));
    std::unique_ptr<Model> child(makeBox({0, 0, 0}, {1, 1, 1}, Model::TYPE_SUPPORT));
    owner->attachChild(child.get());
    child->updateGeometry(false);
    owner->pushTransform(DoItem::DO_T_TRANSLATE);
    owner->setTranslate(0, 0, 2);
    child->updateGeometry(false);
    QCOMPARE(child->bboxMin.z(), 2.0f);
}

void TstMeshObjects::colours_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<bool>("justCreated");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("normal") << 0 << false << true << QColor(128, 128, 128);
    QTest::newRow("normal selected") << 0 << true << false << QColor(128, 128, 240);
    QTest::newRow("support new") << 1 << false << true << QColor(Qt::red);
    QTest::newRow("support new selected") << 1 << true << true << QColor(Qt::red);
    QTest::newRow("support selected") << 1 << true << false << QColor(230, 230, 5);
    QTest::newRow("support plain") << 1 << false << false << QColor(128, 128, 128);
    QTest::newRow("linker selected") << 3 << true << false << QColor(230, 230, 5);
    QTest::newRow("platform") << 5 << true << true << QColor(254, 254, 254);
}

void TstMeshObjects::colours()
{
    QFETCH(int, type);
    QFETCH(bool, selected);
    QFETCH(bool, justCreated);
    QFETCH(QColor, expected);
    Model m(type);
    m.selected = selected;
    m.justCreated = justCreated;
    QCOMPARE(m.color(), expected);
    QCOMPARE(m.color().alpha(), 255);
}

void TstMeshObjects::copyOfNormalModelSharesMesh()
{
    std::unique_ptr<Model> src(makeBox({0, 0, 0}, {2, 2, 2}));
    src->name = QStringLiteral("part");
    src->pushTransform(DoItem::DO_T_SCALE);
    src->setScale(2, 2, 2);
    src->selected = true;
    src->copyCount = 4;
    LogCapture log;
    std::unique_ptr<Model> copy(new Model(*src));
    QVERIFY(log.contains(QStringLiteral("Base3DObject copyed")));
    QVERIFY(log.contains(QStringLiteral("copy create new model")));
    QCOMPARE(copy->mesh.get(), src->mesh.get());
    QCOMPARE(&copy->mesh->vertices, &src->mesh->vertices);
    QVERIFY(copy->meshReady);
    QCOMPARE(copy->name, QStringLiteral("part_copy"));
    QVERIFY(!copy->selected && copy->justCreated);
    QCOMPARE(copy->copyCount, 0);
    // The stack is copied, not shared: editing the copy leaves the source alone.
    QVERIFY(copy->transforms != src->transforms);
    QCOMPARE(copy->transforms->size(), size_t(1));
    copy->setScale(3, 3, 3);
    QCOMPARE(src->modelMatrix().map(QVector3D(1, 0, 0)), QVector3D(2, 0, 0));
    // The copy's geometry comes from the copied stack: the scaled 4 mm box.
    QCOMPARE(copy->bboxMax, QVector3D(4, 4, 4));
}

void TstMeshObjects::copyOfSupportOwnsMesh()
{
    std::unique_ptr<Model> src(makeBox({0, 0, 0}, {1, 1, 1}, Model::TYPE_SUPPORT));
    std::unique_ptr<Model> copy(new Model(*src));
    QVERIFY(copy->mesh != src->mesh);
    QCOMPARE(copy->mesh->vertices.size(), src->mesh->vertices.size());
    QCOMPARE(copy->mesh->baseVertexCount, src->mesh->baseVertexCount);
}

void TstMeshObjects::thirdDuplicateLiesFurtherAlongY()
{
    ScratchConfig scratch;
    Workspace workspace(scratch.config);
    Model *src = makeBox({0, -10, 0}, {5, 10, 5}); // 20 mm deep
    workspace.scene()->addModel(src);
    for (int i = 0; i < 3; ++i)
        workspace.scene()->copyModel(0);
    QCOMPARE(workspace.scene()->objects().size(), size_t(4));
    Model *third = workspace.scene()->objects()[3];
    third->updateGeometry(false);
    // 3 x (20 + 3) mm further along +y, nowhere else.
    QCOMPARE(third->bboxMin.y() - src->bboxMin.y(), 69.0f);
    QCOMPARE(third->bboxMin.x(), src->bboxMin.x());
    QCOMPARE(src->copyCount, 3);
    // Each copy's translation record comes before its creation record.
    QCOMPARE(int(workspace.undoList().records().back().type), int(DoItem::DO_NEW));
    QCOMPARE(workspace.undoList().records().back().model, third);
    QCOMPARE(int(workspace.undoList().records()[workspace.undoList().records().size() - 2].type),
             int(DoItem::DO_T_TRANSLATE));
}

void TstMeshObjects::attachChildSharesTransforms()
{
    std::unique_ptr<Model> owner(makeBox({0, 0, 0}, {1, 1, 1}));
    std::unique_ptr<Model> support(new Model(Model::TYPE_SUPPORT));
    std::unique_ptr<Model> base(new Model(Model::TYPE_SUPPORT_BASE));
    owner->attachChild(support.get());
    owner->attachChild(support.get()); // no duplicates
    owner->attachChild(base.get());
    QCOMPARE(owner->supports.size(), size_t(1));
    QCOMPARE(owner->supportBase, base.get());
    QCOMPARE(support->parent, owner.get());
    QCOMPARE(support->transforms, owner->transforms);
    QCOMPARE(base->transforms, owner->transforms);
}

void TstMeshObjects::finishMeshKeepsWorldPosition()
{
    std::unique_ptr<Model> owner(makeBox({0, 0, 0}, {10, 10, 10}));
    owner->pushTransform(DoItem::DO_T_TRANSLATE);
    owner->setTranslate(0, 0, 5);
    std::unique_ptr<Model> support(new Model(Model::TYPE_SUPPORT));
    fillMesh(*support->mesh, boxTriangles({1, 1, 0}, {2, 2, 5})); // world coordinates
    support->parent = owner.get();
    support->finishMesh();
    QVERIFY(support->meshReady);
    QCOMPARE(support->transforms, owner->transforms);
    // The mesh went into the owner's frame, so the world box is unchanged.
    QCOMPARE(support->bboxMin, QVector3D(1, 1, 0));
    QCOMPARE(support->bboxMax, QVector3D(2, 2, 5));
    QCOMPARE(support->mesh->vertices[0].pz, -5.0f);
    support->parent = nullptr; // not attached; keep the owner's destructor away
}

void TstMeshObjects::destructionDetachesFamily()
{
    Model *owner = makeBox({0, 0, 0}, {1, 1, 1});
    Model *support = new Model(Model::TYPE_SUPPORT);
    Model *base = new Model(Model::TYPE_SUPPORT_BASE);
    Model *linker = new Model(Model::TYPE_SUPPORT_LINKER);
    owner->attachChild(support);
    owner->attachChild(base);
    owner->attachChild(linker);
    QCOMPARE(owner->linkers.size(), size_t(1));
    delete support;
    QVERIFY(owner->supports.empty());
    delete base;
    QVERIFY(!owner->supportBase);
    delete owner;
    QVERIFY(!linker->parent); // no dangling pointer back to the owner
    delete linker;
}

QTEST_GUILESS_MAIN(TstMeshObjects)
#include "tst_meshobjects.moc"
