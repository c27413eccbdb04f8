#include "model/MeshGeometry.h"

#include <algorithm>
#include <cmath>

namespace {

struct Point
{
    float v[3];
};

inline double det3(const Point &a, const Point &b, const Point &c)
{
    const double ax = a.v[0], ay = a.v[1], az = a.v[2];
    const double bx = b.v[0], by = b.v[1], bz = b.v[2];
    const double cx = c.v[0], cy = c.v[1], cz = c.v[2];
    return ax * (by * cz - bz * cy) - ay * (bx * cz - bz * cx) + az * (bx * cy - by * cx);
}

// Same determinant in single precision with every height clamped to the platform.
inline float det3ClampedZ(const Point &a, const Point &b, const Point &c)
{
    const float az = std::max(a.v[2], 0.0f), bz = std::max(b.v[2], 0.0f),
                cz = std::max(c.v[2], 0.0f);
    return a.v[0] * (b.v[1] * cz - bz * c.v[1]) - a.v[1] * (b.v[0] * cz - bz * c.v[0]) +
           az * (b.v[0] * c.v[1] - b.v[1] * c.v[0]);
}

} // namespace

MeshGeometry computeMeshGeometry(const MeshPrimitiveData &mesh, const QMatrix4x4 &modelMatrix)
{
    MeshGeometry g;
    const float *m = modelMatrix.constData();
    const Vertex *verts = mesh.vertices.data();
    const size_t vertexCount = mesh.vertices.size();
    const uint32_t *idx = mesh.indices.data();
    const size_t indexCount = mesh.indices.size();

    float lo[3] = {g.bboxMin.x(), g.bboxMin.y(), g.bboxMin.z()};
    float hi[3] = {g.bboxMax.x(), g.bboxMax.y(), g.bboxMax.z()};
    double sumU = 0.0;
    double weighted[3] = {0.0, 0.0, 0.0};
    float clampedSum = 0.0f;

    for (size_t i = 0; i < indexCount; i += 3) {
        Point p[3];
        int mapped = 0;
        for (size_t k = i; k < i + 3 && k < indexCount; ++k) {
            // An index beyond the vertices is skipped rather than read.
            if (idx[k] >= vertexCount)
                continue;
            const Vertex &v = verts[idx[k]];
            Point &q = p[mapped++];
            mapPointProjective(m, v.px, v.py, v.pz, q.v);
            for (int a = 0; a < 3; ++a) {
                lo[a] = std::min(lo[a], q.v[a]);
                hi[a] = std::max(hi[a], q.v[a]);
            }
        }
        if (mapped != 3)
            continue;
        const double u = det3(p[0], p[1], p[2]) / 6.0;
        sumU += u;
        for (int a = 0; a < 3; ++a)
            weighted[a] += u * (double(p[0].v[a]) + p[1].v[a] + p[2].v[a]) / 4.0;
        clampedSum += det3ClampedZ(p[0], p[1], p[2]) / 6.0f;
    }

    g.bboxMin = QVector3D(lo[0], lo[1], lo[2]);
    g.bboxMax = QVector3D(hi[0], hi[1], hi[2]);
    g.volumeCm3 = std::fabs(clampedSum) / 1000.0f;

    // A flat or empty mesh has no volume to weigh the centre by; a non-finite centre counts
    // as outside the box too.
    float c[3] = {0.0f, 0.0f, 0.0f};
    bool outside = sumU == 0.0;
    for (int a = 0; a < 3 && !outside; ++a) {
        c[a] = float(weighted[a] / sumU);
        if (!std::isfinite(c[a]) || lo[a] > c[a] || c[a] > hi[a])
            outside = true;
    }
    if (outside) {
        for (int a = 0; a < 3; ++a)
            c[a] = (lo[a] + hi[a]) / 2.0f;
        g.centerRepaired = true;
    }
    g.center = QVector3D(c[0], c[1], c[2]);
    g.radius = std::max((g.bboxMin - g.center).length(), (g.bboxMax - g.center).length());
    return g;
}
