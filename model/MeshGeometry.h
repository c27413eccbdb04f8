#pragma once

#include "model/MeshPrimitiveData.h"

#include <QMatrix4x4>
#include <QVector3D>
#include <QVector>

// World-space geometry of a mesh under one model matrix.
struct MeshGeometry
{
    QVector3D bboxMin{1000000.0f, 1000000.0f, 1000000.0f};
    QVector3D bboxMax{-1000000.0f, -1000000.0f, -1000000.0f};
    QVector3D center;
    float volumeCm3 = 0.0f; // enclosed volume above z = 0
    float radius = 0.0f;
    bool centerRepaired = false; // the volume centre fell outside the box
};

// One pass over the triangles; allocates nothing.
MeshGeometry computeMeshGeometry(const MeshPrimitiveData &mesh, const QMatrix4x4 &modelMatrix);

// The move that stands a mesh with its volume centre over the origin, its lowest point on z = 0.
inline QVector3D placementOffset(const MeshGeometry &g)
{
    return QVector3D(-g.center.x(), -g.center.y(), -g.bboxMin.z());
}

// Full projective product of a 4x4 matrix (column-major data) and a point.
inline void mapPointProjective(const float *m, float x, float y, float z, float out[3])
{
    out[0] = m[0] * x + m[4] * y + m[8] * z + m[12];
    out[1] = m[1] * x + m[5] * y + m[9] * z + m[13];
    out[2] = m[2] * x + m[6] * y + m[10] * z + m[14];
    const float w = m[3] * x + m[7] * y + m[11] * z + m[15];
    if (w != 1.0f) {
        out[0] /= w;
        out[1] /= w;
        out[2] /= w;
    }
}

// Every vertex position mapped to world space by the full projective product.
QVector<QVector3D> worldPositions(const MeshPrimitiveData &mesh, const QMatrix4x4 &modelMatrix);
