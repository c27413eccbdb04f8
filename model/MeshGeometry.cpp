#include "model/MeshGeometry.h"

#include <algorithm>
#include <cmath>

namespace {

struct Point
{
    float x, y, z;
};

// Sums of one pass. The tetrahedron volumes are summed as determinants (six times the volume)
// and divided once at the end; the signed sums in double, the clamped one in single precision.
struct Accumulator
{
    float lo[3] = {1000000.0f, 1000000.0f, 1000000.0f};
    float hi[3] = {-1000000.0f, -1000000.0f, -1000000.0f};
    double sumDet = 0.0;
    double weighted[3] = {0.0, 0.0, 0.0}; // det x (a + b + c)
    float clampedDet = 0.0f;

    inline void widen(const Point &p)
    {
        lo[0] = std::min(lo[0], p.x);
        lo[1] = std::min(lo[1], p.y);
        lo[2] = std::min(lo[2], p.z);
        hi[0] = std::max(hi[0], p.x);
        hi[1] = std::max(hi[1], p.y);
        hi[2] = std::max(hi[2], p.z);
    }

    inline void addTriangle(const Point &a, const Point &b, const Point &c)
    {
        const double ax = a.x, ay = a.y, az = a.z;
        const double bx = b.x, by = b.y, bz = b.z;
        const double cx = c.x, cy = c.y, cz = c.z;
        const double det =
            ax * (by * cz - bz * cy) - ay * (bx * cz - bz * cx) + az * (bx * cy - by * cx);
        sumDet += det;
        weighted[0] += det * (ax + bx + cx);
        weighted[1] += det * (ay + by + cy);
        weighted[2] += det * (az + bz + cz);
        // Same tetrahedron with every height clamped to the platform.
        const float qa = std::max(a.z, 0.0f), qb = std::max(b.z, 0.0f), qc = std::max(c.z, 0.0f);
        clampedDet += a.x * (b.y * qc - qb * c.y) - a.y * (b.x * qc - qb * c.x) +
                      qa * (b.x * c.y - b.y * c.x);
    }
};

struct Affine
{
    const float *m;
    inline Point operator()(const Vertex &v) const
    {
        return {m[0] * v.px + m[4] * v.py + m[8] * v.pz + m[12],
                m[1] * v.px + m[5] * v.py + m[9] * v.pz + m[13],
                m[2] * v.px + m[6] * v.py + m[10] * v.pz + m[14]};
    }
};

struct Projective
{
    const float *m;
    inline Point operator()(const Vertex &v) const
    {
        Point p;
        mapPointProjective(m, v.px, v.py, v.pz, &p.x);
        return p;
    }
};

struct Unchanged
{
    inline Point operator()(const Vertex &v) const { return {v.px, v.py, v.pz}; }
};

static_assert(sizeof(Point) == 3 * sizeof(float), "Point doubles as a float[3]");

template <typename Map>
void accumulate(const MeshPrimitiveData &mesh, const Map &map, Accumulator &result)
{
    const Vertex *verts = mesh.vertices.data();
    const size_t vertexCount = mesh.vertices.size();
    const uint32_t *idx = mesh.indices.data();
    const size_t indexCount = mesh.indices.size();
    const size_t whole = indexCount - indexCount % 3;

    // Sums live in locals: stored through a reference they could alias the vertex floats and
    // would be written back on every triangle.
    Accumulator acc = result;
    for (size_t i = 0; i < whole; i += 3) {
        const uint32_t i0 = idx[i], i1 = idx[i + 1], i2 = idx[i + 2];
        if (i0 < vertexCount && i1 < vertexCount && i2 < vertexCount) {
            const Point a = map(verts[i0]), b = map(verts[i1]), c = map(verts[i2]);
            acc.widen(a);
            acc.widen(b);
            acc.widen(c);
            acc.addTriangle(a, b, c);
            continue;
        }
        // An index beyond the vertices is skipped rather than read; the rest still count
        // for the box. Unrolled, this rare path no longer slows the whole loop down.
#pragma GCC unroll 3
        for (size_t k = i; k < i + 3; ++k)
            if (idx[k] < vertexCount)
                acc.widen(map(verts[idx[k]]));
    }
    for (size_t k = whole; k < indexCount; ++k)
        if (idx[k] < vertexCount)
            acc.widen(map(verts[idx[k]]));
    result = acc;
}

} // namespace

MeshGeometry computeMeshGeometry(const MeshPrimitiveData &mesh, const QMatrix4x4 &modelMatrix)
{
    Accumulator acc;
    const float *m = modelMatrix.constData();
    if (modelMatrix.isIdentity())
        accumulate(mesh, Unchanged(), acc);
    else if (m[3] == 0.0f && m[7] == 0.0f && m[11] == 0.0f && m[15] == 1.0f)
        accumulate(mesh, Affine{m}, acc); // w is 1: the projective division is a no-op
    else
        accumulate(mesh, Projective{m}, acc);

    MeshGeometry g;
    g.bboxMin = QVector3D(acc.lo[0], acc.lo[1], acc.lo[2]);
    g.bboxMax = QVector3D(acc.hi[0], acc.hi[1], acc.hi[2]);
    g.volumeCm3 = std::fabs(acc.clampedDet / 6.0f) / 1000.0f;

    // A flat or empty mesh has no volume to weigh the centre by; a non-finite centre counts
    // as outside the box too.
    float c[3] = {0.0f, 0.0f, 0.0f};
    // Centroid sum u (a + b + c) / 4 over sum u, with u = det / 6.
    bool outside = acc.sumDet == 0.0;
    for (int a = 0; a < 3 && !outside; ++a) {
        c[a] = float(acc.weighted[a] / (4.0 * acc.sumDet));
        if (!std::isfinite(c[a]) || acc.lo[a] > c[a] || c[a] > acc.hi[a])
            outside = true;
    }
    if (outside) {
        for (int a = 0; a < 3; ++a)
            c[a] = (acc.lo[a] + acc.hi[a]) / 2.0f;
        g.centerRepaired = true;
    }
    g.center = QVector3D(c[0], c[1], c[2]);
    g.radius = std::max((g.bboxMin - g.center).length(), (g.bboxMax - g.center).length());
    return g;
}

QVector<QVector3D> worldPositions(const MeshPrimitiveData &mesh, const QMatrix4x4 &modelMatrix)
{
    QVector<QVector3D> world(int(mesh.vertices.size()));
    const float *m = modelMatrix.constData();
    for (size_t i = 0; i < mesh.vertices.size(); ++i) {
        const Vertex &v = mesh.vertices[i];
        float out[3];
        mapPointProjective(m, v.px, v.py, v.pz, out);
        world[int(i)] = QVector3D(out[0], out[1], out[2]);
    }
    return world;
}
