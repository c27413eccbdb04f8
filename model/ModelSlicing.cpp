// Model's layer cuts: the snapshot a job cuts, and the preview cut mesh.
#include "model/LayerMath.h"
#include "model/MeshGeometry.h"
#include "model/Model.h"
#include "model/ObjectSnapshot.h"

#include <QDebug>

#include <algorithm>

using namespace CWS;

namespace {

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

ObjectSnapshot Model::snapshot() const
{
    return ObjectSnapshot(mesh, modelMatrix(), type, cutParts(), name, bboxMin, bboxMax);
}

ObjectSnapshot Model::snapshot(float raiseMm) const
{
    if (raiseMm == 0.0f)
        return snapshot();
    QMatrix4x4 raised;
    raised.translate(0.0f, 0.0f, raiseMm);
    const QVector3D up(0.0f, 0.0f, raiseMm);
    return ObjectSnapshot(mesh, raised * modelMatrix(), type, cutParts(), name, bboxMin + up,
                          bboxMax + up);
}

std::vector<int> Model::cutParts() const
{
    return mesh ? mesh->partStarts : std::vector<int>();
}

void Model::fillPreviewCut(LayerCut &cut, float z)
{
    updateGeometry(false);
    if (z < bboxMin.z() || z > bboxMax.z())
        return;
    const QMatrix4x4 matrix = modelMatrix();
    const QMatrix4x4 toLocal = matrix.inverted();
    const QVector<QVector3D> world = worldPositions(*mesh, matrix);
    const uint32_t base =
        mesh->baseVertexCount ? mesh->baseVertexCount : uint32_t(mesh->vertices.size());
    const int end = int(mesh->indices.size());
    for (int i = 0; i + 3 <= end; i += 3) {
        const uint32_t *tri = mesh->indices.data() + i;
        const QVector3D p[3] = {world[int(tri[0])], world[int(tri[1])], world[int(tri[2])]};
        QVector3D pts[3];
        unsigned bits;
        const int n = LayerMath::cutTriangle(p[0], p[1], p[2], z, pts, &bits);
        if (n == 2) {
            if (pts[0] != pts[1])
                addBelowPlane(cut, base, tri, p, pts, bits, z, mesh->vertices.data(), toLocal);
        } else if (n != 0) {
            qDebug() << "ERROR: n != 2";
        } else if (z > p[0].z() || z > p[1].z() || z > p[2].z()) {
            cut.indices.insert(cut.indices.end(), {tri[0], tri[1], tri[2]});
        }
    }
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
    fillPreviewCut(*cut, z);
    cut->vertices.shrink_to_fit();
    cut->indices.shrink_to_fit();
    layerCutCache.layers[size_t(layerIndex)] = std::move(cut);
    moveToBack(layerCutCache.filledLayers, layerIndex);
}
