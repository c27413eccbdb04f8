#pragma once

#include "model/LayerSegment.h"

#include <QVector3D>
#include <QVector>
#include <QtGlobal>

#include <vector>

// Plain layer arithmetic: how many layers a height gives and where a plane cuts triangles.
namespace CWS::LayerMath {

// H / t rounded half up, in single precision.
int layerCount(float heightMm, float thicknessMm);

// The cutting height of each of count layers: the middle of the first slab, then one thickness
// more for each layer, summed in single precision as every job steps through them.
std::vector<float> layerHeights(int count, float thicknessMm);

// The point where the edge a-b meets the plane at z, under the half-open rule.
bool cutEdge(const QVector3D &a, const QVector3D &b, float z, QVector3D *point);

// Points where the plane meets triangle p0 p1 p2, edges tested in the order (p0,p1), (p1,p2),
// then (p2,p0) only when one of the first two met it. edgeBits gets 1, 2, 4 for the edges that
// gave a point. Returns the number of points (0 to 3).
int cutTriangle(const QVector3D &p0, const QVector3D &p1, const QVector3D &p2, float z,
                QVector3D points[3], unsigned *edgeBits);

// Cuts the triangles indices[first .. end) (step 3) of a mesh whose vertex positions are
// already in world space and appends one segment per triangle met in exactly two points.
// Returns the number of segments appended.
int cutTriangles(const QVector<QVector3D> &worldPositions, const quint32 *indices, int first,
                 int end, float z, SegmentList &out);

} // namespace CWS::LayerMath
