#include "model/SupportBase.h"

#include <QDebug>

namespace {

// Four corners per face so that each face keeps its own outward normal.
void addFace(MeshPrimitiveData &mesh, const QVector3D (&corners)[4], const QVector3D &normal)
{
    const uint32_t first = uint32_t(mesh.vertices.size());
    for (const QVector3D &p : corners)
        mesh.vertices.push_back(Vertex{p.x(), p.y(), p.z(), normal.x(), normal.y(), normal.z()});
    for (uint32_t i : {0u, 1u, 2u, 0u, 2u, 3u})
        mesh.indices.push_back(first + i);
}

} // namespace

SupportBase::SupportBase() : Model(TYPE_SUPPORT_BASE)
{
    name = QStringLiteral("SupportBase");
}

SupportBase::SupportBase(const SupportBase &other) : Model(other), thickness(other.thickness) {}

SupportBase::~SupportBase() = default;

QMatrix4x4 SupportBase::normalMatrix() const
{
    return QMatrix4x4();
}

bool SupportBase::build(Model *owner, float thicknessMm)
{
    parent = owner;
    thickness = thicknessMm;
    if (!owner)
        return false;
    owner->updateGeometry(false);
    const QVector3D lo(owner->bboxMin.x() - 2.0f, owner->bboxMin.y() - 2.0f, 0.0f);
    const QVector3D hi(owner->bboxMax.x() + 2.0f, owner->bboxMax.y() + 2.0f, thicknessMm);

    MeshPrimitiveData &m = *mesh;
    m.vertices.clear();
    m.indices.clear();
    auto c = [&](int i) {
        return QVector3D(i & 1 ? hi.x() : lo.x(), i & 2 ? hi.y() : lo.y(), i & 4 ? hi.z() : lo.z());
    };
    // Corners counter-clockwise seen from outside.
    addFace(m, {c(0), c(2), c(3), c(1)}, {0, 0, -1});
    addFace(m, {c(4), c(5), c(7), c(6)}, {0, 0, 1});
    addFace(m, {c(0), c(1), c(5), c(4)}, {0, -1, 0});
    addFace(m, {c(2), c(6), c(7), c(3)}, {0, 1, 0});
    addFace(m, {c(0), c(4), c(6), c(2)}, {-1, 0, 0});
    addFace(m, {c(1), c(3), c(7), c(5)}, {1, 0, 0});

    // The slab was built where it must stay; its owner's later transforms carry it along.
    owner->attachChild(this);
    finishMesh();
    return true;
}
