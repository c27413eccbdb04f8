#pragma once

#include <QVector3D>
#include <QVector>

namespace CWS {

// One piece of an object's cross-section at a layer height, in world mm. Both points may
// coincide where a triangle only touches the plane.
struct LayerSegment
{
    QVector3D p0;
    QVector3D p1;
};

// The unordered segments of one closed surface, in triangle order.
using SegmentList = QVector<LayerSegment>;
// The segment lists of one layer, one per object or support part.
using SegmentListSet = QVector<SegmentList>;

} // namespace CWS
