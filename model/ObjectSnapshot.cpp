#include "model/ObjectSnapshot.h"

#include "model/LayerMath.h"
#include "model/MeshGeometry.h"
#include "model/SliceMesh.h"

#include <algorithm>

ObjectSnapshot::ObjectSnapshot(std::shared_ptr<const MeshPrimitiveData> mesh,
                               const QMatrix4x4 &modelMatrix, int type, std::vector<int> partStarts,
                               const QString &name, const QVector3D &boundsMinMm,
                               const QVector3D &boundsMaxMm)
    : m_mesh(std::move(mesh)), m_modelMatrix(modelMatrix), m_type(type),
      m_partStarts(std::move(partStarts)), m_name(name), m_boundsMinMm(boundsMinMm),
      m_boundsMaxMm(boundsMaxMm)
{
}

void ObjectSnapshot::prepareCuts(float bucketHeightMm)
{
    m_sliceMesh = std::make_shared<const CWS::SliceMesh>(*m_mesh, m_modelMatrix, bucketHeightMm);
}

void ObjectSnapshot::releaseCuts()
{
    m_sliceMesh.reset();
}

int ObjectSnapshot::cut(float zMm, CWS::SegmentListSet &out) const
{
    const int size = int(m_mesh->indices.size());
    if (m_partStarts.empty()) {
        out.append(CWS::SegmentList());
        return cutRange(zMm, 0, size, out.last());
    }
    // Parts never overlap: a damaged part list is cut down to ranges that follow each other.
    int total = 0;
    int previousEnd = 0;
    for (size_t i = 0; i < m_partStarts.size(); ++i) {
        const int first = std::max(previousEnd, std::min(std::max(m_partStarts[i], 0), size));
        int end =
            i + 1 < m_partStarts.size() ? std::min(std::max(m_partStarts[i + 1], 0), size) : size;
        end = std::max(end, first);
        previousEnd = end;
        out.append(CWS::SegmentList());
        total += cutRange(zMm, first, end, out.last());
    }
    return total;
}

int ObjectSnapshot::cutRange(float zMm, int first, int end, CWS::SegmentList &out) const
{
    if (zMm < m_boundsMinMm.z() || zMm > m_boundsMaxMm.z())
        return 0;
    first = std::max(first, 0);
    end = std::min(end, int(m_mesh->indices.size()));
    if (m_sliceMesh)
        return m_sliceMesh->cut(zMm, first, end, out);
    const QVector<QVector3D> world = worldPositions(*m_mesh, m_modelMatrix);
    return CWS::LayerMath::cutTriangles(world, m_mesh->indices.data(), first, end, zMm, out);
}
