#include "model/SupportMesh.h"

#include <QQuaternion>

#include <cmath>

namespace CWS {
namespace SupportMesh {

namespace {

void addTriangle(MeshPrimitiveData &mesh, uint32_t a, uint32_t b, uint32_t c)
{
    mesh.indices.push_back(a);
    mesh.indices.push_back(b);
    mesh.indices.push_back(c);
}

} // namespace

uint32_t ring(MeshPrimitiveData &mesh, int n, float radiusMm, float zMm, bool withCentre)
{
    const uint32_t start = uint32_t(mesh.vertices.size());
    for (int k = 0; k < n; ++k) {
        const double angle = 2.0 * M_PI * k / n;
        const float c = float(std::cos(angle));
        const float s = float(std::sin(angle));
        mesh.vertices.push_back(Vertex{radiusMm * c, radiusMm * s, zMm, c, s, 0.0f});
    }
    if (withCentre)
        mesh.vertices.push_back(Vertex{0.0f, 0.0f, zMm, 0.0f, 0.0f, 1.0f});
    return start;
}

void cap(MeshPrimitiveData &mesh, int n, uint32_t ringStart, bool facingUp)
{
    const uint32_t centre = ringStart + uint32_t(n);
    mesh.vertices[centre].nz = facingUp ? 1.0f : -1.0f;
    for (int k = 0; k < n; ++k) {
        const uint32_t a = ringStart + uint32_t(k);
        const uint32_t b = ringStart + uint32_t((k + 1) % n);
        // Ring angles grow counter-clockwise seen from +z.
        if (facingUp)
            addTriangle(mesh, centre, a, b);
        else
            addTriangle(mesh, centre, b, a);
    }
}

void side(MeshPrimitiveData &mesh, int n, uint32_t lowerRing, uint32_t upperRing)
{
    for (int k = 0; k < n; ++k) {
        const uint32_t a0 = lowerRing + uint32_t(k);
        const uint32_t a1 = lowerRing + uint32_t((k + 1) % n);
        const uint32_t b0 = upperRing + uint32_t(k);
        const uint32_t b1 = upperRing + uint32_t((k + 1) % n);
        addTriangle(mesh, a0, a1, b1);
        addTriangle(mesh, a0, b1, b0);
    }
}

uint32_t dome(MeshPrimitiveData &mesh, int n, float radiusMm, int sign)
{
    const uint32_t base = ring(mesh, n, radiusMm, 0.0f, true);
    const int latitudes = n / 2;
    uint32_t previous = base;
    for (int j = 1; j <= latitudes; ++j) {
        const double phi = j * (M_PI / 2.0) / (latitudes + 1);
        const float cosPhi = float(std::cos(phi));
        const float sinPhi = float(std::sin(phi));
        const uint32_t current =
            ring(mesh, n, radiusMm * cosPhi, float(sign) * radiusMm * sinPhi, false);
        for (int k = 0; k < n; ++k) {
            Vertex &v = mesh.vertices[current + uint32_t(k)];
            v.nx *= cosPhi;
            v.ny *= cosPhi;
            v.nz = float(sign) * sinPhi;
        }
        // A dome bulging downwards has its newer rings below the older ones.
        if (sign > 0)
            side(mesh, n, previous, current);
        else
            side(mesh, n, current, previous);
        previous = current;
    }
    const uint32_t pole = uint32_t(mesh.vertices.size());
    mesh.vertices.push_back(Vertex{0.0f, 0.0f, float(sign) * radiusMm, 0.0f, 0.0f, float(sign)});
    // The last ring and its pole form a cap: the pole takes the centre's place.
    for (int k = 0; k < n; ++k) {
        const uint32_t a = previous + uint32_t(k);
        const uint32_t b = previous + uint32_t((k + 1) % n);
        if (sign > 0)
            addTriangle(mesh, pole, a, b);
        else
            addTriangle(mesh, pole, b, a);
    }
    return base;
}

void orient(MeshPrimitiveData &mesh, uint32_t from, uint32_t to, const QVector3D &d,
            const QVector3D &anchor)
{
    const QQuaternion turn = QQuaternion::rotationTo(QVector3D(0.0f, 0.0f, 1.0f), d);
    const bool identity = turn.isIdentity();
    for (uint32_t i = from; i < to; ++i) {
        Vertex &v = mesh.vertices[i];
        QVector3D p(v.px, v.py, v.pz);
        QVector3D nrm(v.nx, v.ny, v.nz);
        if (!identity) {
            p = turn.rotatedVector(p);
            nrm = turn.rotatedVector(nrm);
        }
        p += anchor;
        v = Vertex{p.x(), p.y(), p.z(), nrm.x(), nrm.y(), nrm.z()};
    }
}

QVector3D axisBetween(const QVector3D &from, const QVector3D &to)
{
    const QVector3D d = to - from;
    if (d.lengthSquared() <= 0.0f)
        return QVector3D(0.0f, 0.0f, 1.0f);
    return d.normalized();
}

uint32_t bodyPiece(MeshPrimitiveData &mesh, int n, const QVector3D &domeAnchor, float domeRadiusMm,
                   const QVector3D &ringAnchor, float ringRadiusMm)
{
    const QVector3D d = axisBetween(ringAnchor, domeAnchor);
    const uint32_t domeBase = dome(mesh, n, domeRadiusMm, +1);
    const uint32_t lower = ring(mesh, n, ringRadiusMm, 0.0f, true);
    cap(mesh, n, lower, false);
    side(mesh, n, lower, domeBase);
    orient(mesh, domeBase, lower, d, domeAnchor);
    orient(mesh, lower, uint32_t(mesh.vertices.size()), d, ringAnchor);
    return domeBase;
}

uint32_t cylinderPiece(MeshPrimitiveData &mesh, int n, const QVector3D &bottom,
                       float bottomRadiusMm, const QVector3D &top, float topRadiusMm)
{
    const QVector3D d = axisBetween(bottom, top);
    const uint32_t upper = ring(mesh, n, topRadiusMm, 0.0f, true);
    cap(mesh, n, upper, true);
    const uint32_t lower = ring(mesh, n, bottomRadiusMm, 0.0f, true);
    cap(mesh, n, lower, false);
    side(mesh, n, lower, upper);
    orient(mesh, upper, lower, d, top);
    orient(mesh, lower, uint32_t(mesh.vertices.size()), d, bottom);
    return lower;
}

} // namespace SupportMesh
} // namespace CWS
