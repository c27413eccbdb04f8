#include "model/SliceMesh.h"

#include "model/LayerMath.h"
#include "model/MeshGeometry.h"

#include <QDebug>

#include <algorithm>
#include <cmath>

namespace CWS {

namespace {
// Beyond this many buckets the extra memory buys nothing.
constexpr int kMaxBuckets = 1 << 16;
} // namespace

SliceMesh::SliceMesh(const MeshPrimitiveData &mesh, const QMatrix4x4 &modelMatrix,
                     float bucketHeightMm)
    : m_world(::worldPositions(mesh, modelMatrix)), m_indices(mesh.indices)
{

    const size_t triangles = m_indices.size() / 3;
    float lo = INFINITY, hi = -INFINITY;
    for (const QVector3D &p : qAsConst(m_world)) {
        lo = std::min(lo, p.z());
        hi = std::max(hi, p.z());
    }
    if (triangles == 0 || !(lo <= hi) || !std::isfinite(lo) || !std::isfinite(hi)) {
        m_bucketStart.assign(2, 0);
        return;
    }
    m_minZ = lo;
    const float span = hi - lo;
    m_bucketHeight = bucketHeightMm > 0.0f ? bucketHeightMm : 1.0f;
    if (span / m_bucketHeight > float(kMaxBuckets))
        m_bucketHeight = span / float(kMaxBuckets);
    const int buckets = bucketOf(hi) + 1;

    // Counting pass, then placement: bucket lists stay in triangle order.
    std::vector<uint32_t> counts(size_t(buckets) + 1, 0);
    auto rangeOf = [&](size_t t, int &b0, int &b1) {
        const QVector3D &a = m_world[int(m_indices[3 * t])];
        const QVector3D &b = m_world[int(m_indices[3 * t + 1])];
        const QVector3D &c = m_world[int(m_indices[3 * t + 2])];
        b0 = bucketOf(std::min({a.z(), b.z(), c.z()}));
        b1 = bucketOf(std::max({a.z(), b.z(), c.z()}));
    };
    for (size_t t = 0; t < triangles; ++t) {
        int b0, b1;
        rangeOf(t, b0, b1);
        for (int b = b0; b <= b1; ++b)
            ++counts[size_t(b) + 1];
    }
    for (int b = 0; b < buckets; ++b)
        counts[size_t(b) + 1] += counts[size_t(b)];
    m_bucketStart = counts;
    m_bucketTriangles.resize(counts.back());
    std::vector<uint32_t> fill(counts.begin(), counts.end() - 1);
    for (size_t t = 0; t < triangles; ++t) {
        int b0, b1;
        rangeOf(t, b0, b1);
        for (int b = b0; b <= b1; ++b)
            m_bucketTriangles[fill[size_t(b)]++] = uint32_t(t);
    }
}

int SliceMesh::bucketOf(float z) const
{
    // Monotone in z, so a triangle spanning z is always in z's bucket.
    const float f = std::floor((z - m_minZ) / m_bucketHeight);
    if (!(f > 0.0f))
        return 0;
    const int buckets = int(m_bucketStart.size()) - 1;
    if (buckets > 0 && f >= float(buckets - 1))
        return buckets - 1;
    return f < float(kMaxBuckets) ? int(f) : kMaxBuckets;
}

int SliceMesh::cut(float z, int first, int end, SegmentList &out) const
{
    const int before = out.size();
    const int buckets = int(m_bucketStart.size()) - 1;
    if (buckets <= 0 || m_bucketTriangles.empty())
        return 0;
    const int b = bucketOf(z);
    const uint32_t *begin = m_bucketTriangles.data() + m_bucketStart[size_t(b)];
    const uint32_t *finish = m_bucketTriangles.data() + m_bucketStart[size_t(b) + 1];
    // Only the triangles of the requested index range, which the bucket keeps in order.
    const uint32_t firstTriangle = uint32_t(std::max(first, 0) / 3);
    const uint32_t endTriangle = uint32_t(std::max(end, 0) / 3);
    begin = std::lower_bound(begin, finish, firstTriangle);
    const QVector3D *pos = m_world.constData();
    for (const uint32_t *t = begin; t != finish && *t < endTriangle; ++t) {
        const uint32_t *tri = m_indices.data() + 3 * size_t(*t);
        QVector3D pts[3];
        unsigned bits;
        const int n = LayerMath::cutTriangle(pos[tri[0]], pos[tri[1]], pos[tri[2]], z, pts, &bits);
        if (n == 2)
            out.append(LayerSegment{pts[0], pts[1]});
        else if (n != 0)
            qDebug() << "ERROR: n != 2";
    }
    return out.size() - before;
}

} // namespace CWS
