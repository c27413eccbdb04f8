// Model's layer cuts: the cross-sections the slicer rasterizes and the preview cut mesh.
#include "cws/LayerMath.h"
#include "cws/SliceMesh.h"
#include "model/MeshGeometry.h"
#include "model/Model.h"

#include <QDebug>

#include <algorithm>

using namespace CWS;

namespace {

QVector<QVector3D> worldPositionsOf(const MeshPrimitiveData &mesh, const QMatrix4x4 &matrix)
{
    QVector<QVector3D> world(int(mesh.vertices.size()));
    const float *m = matrix.constData();
    for (size_t i = 0; i < mesh.vertices.size(); ++i) {
        const Vertex &v = mesh.vertices[i];
        float out[3];
        mapPointProjective(m, v.px, v.py, v.pz, out);
        world[int(i)] = QVector3D(out[0], out[1], out[2]);
    }
    return world;
}

void moveToBack(std::vector<int> &list, int layer)
{
    list.erase(std::remove(list.begin(), list.end(), layer), list.end());
    list.push_back(layer);
}

// Adds the part of one triangle that lies below the plane to the cut; a polygon of other
// than three or four corners adds nothing.
void addBelowPlane(LayerCut &cut, uint32_t base, const uint32_t tri[3], const QVector3D world[3],
                   const QVector3D points[3], unsigned bits, float z, const Vertex *vertices,
                   const QMatrix4x4 &toLocal)
{
    const size_t extrasBefore = cut.vertices.size();
    uint32_t polygon[6];
    int n = 0;
    int point = 0;
    auto takeEdgePoint = [&](unsigned bit, int fromVertex) {
        if (!(bits & bit))
            return;
        const QVector3D local = toLocal.map(points[point++]);
        const Vertex &normalFrom = vertices[tri[fromVertex]];
        cut.vertices.push_back(
            Vertex{local.x(), local.y(), local.z(), normalFrom.nx, normalFrom.ny, normalFrom.nz});
        polygon[n++] = base + uint32_t(cut.vertices.size() - 1);
    };
    for (int k = 0; k < 3; ++k) {
        if (z > world[k].z()) // strictly below the plane
            polygon[n++] = tri[k];
        takeEdgePoint(1u << k, k);
    }
    if (n == 3) {
        cut.indices.insert(cut.indices.end(), {polygon[0], polygon[1], polygon[2]});
    } else if (n == 4) {
        cut.indices.insert(cut.indices.end(), {polygon[0], polygon[1], polygon[2], polygon[0],
                                               polygon[2], polygon[3]});
    } else {
        cut.vertices.resize(extrasBefore);
    }
}

} // namespace

int Model::sliceLayer(int layerIndex, float z, SegmentListSet &out)
{
    return sliceParts(layerIndex, z, mesh->partStarts, out);
}

int Model::sliceParts(int layerIndex, float z, const std::vector<int> &partStarts,
                      SegmentListSet &out)
{
    const int size = int(mesh->indices.size());
    if (partStarts.empty()) {
        out.append(SegmentList());
        return sliceTriangles(layerIndex, z, out.last(), 0, size, false);
    }
    int total = 0;
    int previousEnd = 0;
    for (size_t i = 0; i < partStarts.size(); ++i) {
        const int first = std::max(previousEnd, std::min(std::max(partStarts[i], 0), size));
        int end = i + 1 < partStarts.size() ? std::min(std::max(partStarts[i + 1], 0), size) : size;
        end = std::max(end, first);
        previousEnd = end;
        out.append(SegmentList());
        total += sliceTriangles(layerIndex, z, out.last(), first, end, false);
    }
    return total;
}

int Model::sliceTriangles(int layerIndex, float z, SegmentList &out, int first, int end,
                          bool withCache)
{
    updateGeometry(false);
    if (z < bboxMin.z() || z > bboxMax.z())
        return 0;
    first = std::max(first, 0);
    end = std::min(end, int(mesh->indices.size()));

    if (!withCache) {
        if (sliceMesh)
            return sliceMesh->cut(z, first, end, out);
        const QVector<QVector3D> world = worldPositionsOf(*mesh, modelMatrix());
        return LayerMath::cutTriangles(world, mesh->indices.data(), first, end, z, out);
    }

    if (layerIndex < 0 || size_t(layerIndex) >= layerCutCache.layers.size() || !m_cutInProgress)
        return 0;
    LayerCut &cut = *m_cutInProgress;
    const QMatrix4x4 matrix = modelMatrix();
    const QMatrix4x4 toLocal = matrix.inverted();
    const QVector<QVector3D> world = worldPositionsOf(*mesh, matrix);
    const uint32_t base =
        mesh->baseVertexCount ? mesh->baseVertexCount : uint32_t(mesh->vertices.size());
    const int before = out.size();
    for (int i = first; i + 3 <= end; i += 3) {
        const uint32_t *tri = mesh->indices.data() + i;
        const QVector3D p[3] = {world[int(tri[0])], world[int(tri[1])], world[int(tri[2])]};
        QVector3D pts[3];
        unsigned bits;
        const int n = LayerMath::cutTriangle(p[0], p[1], p[2], z, pts, &bits);
        if (n == 2) {
            out.append(LayerSegment{pts[0], pts[1]});
            if (pts[0] != pts[1])
                addBelowPlane(cut, base, tri, p, pts, bits, z, mesh->vertices.data(), toLocal);
        } else if (n != 0) {
            qDebug() << "ERROR: n != 2";
        } else if (z > p[0].z() || z > p[1].z() || z > p[2].z()) {
            cut.indices.insert(cut.indices.end(), {tri[0], tri[1], tri[2]});
        }
    }
    return out.size() - before;
}

void Model::buildPreviewCut(int layerIndex, float z)
{
    if (layerIndex < 0 || size_t(layerIndex) >= layerCutCache.layers.size())
        return;
    moveToBack(layerCutCache.filledLayers, layerIndex);
    if (layerCutCache.layers[size_t(layerIndex)]) {
        qDebug() << "use cached slice data";
        return;
    }
    // At most one layer per model holds a cut at a time. The view may still hold the old one;
    // it lets go of it with its next frame.
    for (int layer : layerCutCache.filledLayers)
        layerCutCache.layers[size_t(layer)].reset();
    layerCutCache.filledLayers.clear();
    auto cut = std::make_shared<LayerCut>();
    m_cutInProgress = cut.get();
    SegmentList discarded;
    sliceTriangles(layerIndex, z, discarded, 0, int(mesh->indices.size()), true);
    m_cutInProgress = nullptr;
    cut->vertices.shrink_to_fit();
    cut->indices.shrink_to_fit();
    layerCutCache.layers[size_t(layerIndex)] = std::move(cut);
    moveToBack(layerCutCache.filledLayers, layerIndex);
}
