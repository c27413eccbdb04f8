#pragma once

#include "model/LayerSegment.h"
#include "model/MeshPrimitiveData.h"

#include <QMatrix4x4>
#include <QString>
#include <QVector3D>

#include <memory>
#include <vector>

namespace CWS {
class SliceMesh;
}

// One object as a background job sees it: its mesh (shared, not copied: the scene changes no
// mesh while a job runs), where it stands, what it is and how it falls into parts. Taken on
// the GUI thread when the job starts; the job never reads the scene itself.
class ObjectSnapshot
{
public:
    ObjectSnapshot(std::shared_ptr<const MeshPrimitiveData> mesh, const QMatrix4x4 &modelMatrix,
                   int type, std::vector<int> partStarts, const QString &name,
                   const QVector3D &boundsMinMm, const QVector3D &boundsMaxMm);

    const MeshPrimitiveData &mesh() const { return *m_mesh; }
    const QMatrix4x4 &modelMatrix() const { return m_modelMatrix; }
    int type() const { return m_type; }
    // Index-list positions where the closed parts begin (a support's head, body, foot); empty
    // when the whole mesh is one part.
    const std::vector<int> &partStarts() const { return m_partStarts; }
    const QString &name() const { return m_name; }
    // World-space bounding box, as the object had it when the snapshot was taken.
    const QVector3D &boundsMinMm() const { return m_boundsMinMm; }
    const QVector3D &boundsMaxMm() const { return m_boundsMaxMm; }

    // The cross-section at height z: one segment list per part, appended to out, in triangle
    // order. Returns the number of segments.
    int cut(float zMm, CWS::SegmentListSet &out) const;

    // A world-space copy bucketed by height, which makes every later cut visit only the
    // triangles near its plane; the segments stay the same.
    void prepareCuts(float bucketHeightMm);
    void releaseCuts();

private:
    int cutRange(float zMm, int first, int end, CWS::SegmentList &out) const;

    std::shared_ptr<const MeshPrimitiveData> m_mesh;
    QMatrix4x4 m_modelMatrix;
    int m_type = 0;
    std::vector<int> m_partStarts;
    QString m_name;
    QVector3D m_boundsMinMm;
    QVector3D m_boundsMaxMm;
    std::shared_ptr<const CWS::SliceMesh> m_sliceMesh;
};
