#pragma once

#include "model/LayerSegment.h"
#include "model/MeshPrimitiveData.h"

#include <QMatrix4x4>
#include <QVector3D>
#include <QVector>

#include <vector>

namespace CWS {

// A mesh prepared once per slicing job: vertex positions mapped to world space and triangles
// bucketed by height, so a layer only visits the triangles that can reach its plane. Cuts give
// the same segments, in the same order, as cutting every triangle.
class SliceMesh
{
public:
    SliceMesh(const MeshPrimitiveData &mesh, const QMatrix4x4 &modelMatrix, float bucketHeightMm);

    // Cuts the triangles of indices [first, end) at z; returns the segments appended.
    int cut(float z, int first, int end, SegmentList &out) const;

    const QVector<QVector3D> &worldPositions() const { return m_world; }

private:
    int bucketOf(float z) const;

    QVector<QVector3D> m_world;
    std::vector<uint32_t> m_indices;
    float m_minZ = 0.0f;
    float m_bucketHeight = 1.0f;
    // Triangle numbers per bucket, ascending; a triangle sits in every bucket its height spans.
    std::vector<uint32_t> m_bucketStart;
    std::vector<uint32_t> m_bucketTriangles;
};

} // namespace CWS
