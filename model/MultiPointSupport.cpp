#include "model/MultiPointSupport.h"

#include "config/SupportConfig.h"
#include "model/SupportMesh.h"

#include <QDebug>

#include <cmath>

namespace {

const float kTan50 = float(std::tan(50.0 * M_PI / 180.0));

} // namespace

MultiPointSupport::MultiPointSupport(const CWS::SupportConfig *config, Model *owner)
    : Support(TYPE_MULTI_POINT_SUPPORT, config, owner)
{
}

MultiPointSupport::MultiPointSupport(const MultiPointSupport &other)
    : Support(other), points(other.points), hasFoot(other.hasFoot), segmentCount(other.segmentCount)
{
}

MultiPointSupport::~MultiPointSupport() = default;

void MultiPointSupport::shiftBottom(float dzMm)
{
    if (hasFoot)
        moveBottom(dzMm);
}

bool MultiPointSupport::build(const std::vector<PickHit> &hits)
{
    points = hits;
    hasFoot = false;
    mesh->vertices.clear();
    mesh->indices.clear();
    mesh->baseVertexCount = 0;
    partStarts.clear();
    // The bottom marker stays past the end unless a foot sets it.
    bodyBottomRingStart = 0;
    if (points.size() < 2)
        return false;
    for (const PickHit &h : points) {
        const QVector3D &p = h.point;
        if (!std::isfinite(p.x()) || !std::isfinite(p.y()) || !std::isfinite(p.z())) {
            qWarning() << "multi point support: point is not finite";
            return false;
        }
    }
    size_t hub = 0;
    for (size_t i = 1; i < points.size(); ++i)
        if (points[i].point.z() < points[hub].point.z())
            hub = i;

    const bool built =
        points.size() == 2 ? buildTwoPoint(points[0].point, points[1].point) : buildTree(hub);
    if (!built)
        return false;
    if (!hasFoot)
        bodyBottomRingStart = int(mesh->vertices.size());
    footIndexEnd = int(mesh->indices.size());
    finishMesh();
    if (std::isnan(mesh->vertices.front().px)) {
        qDebug() << "vertice 0 is nan";
        return false;
    }
    return true;
}

bool MultiPointSupport::buildTwoPoint(const QVector3D &p0, const QVector3D &p1)
{
    MeshPrimitiveData &m = *mesh;
    const int n = config->segmentCount();
    const float topR = config->headTopRadius();
    const float barR = config->headBottomRadius();
    const float f = config->footHeight();
    const float d = (p0 - p1).length();
    if (d < 2.0f * f + 0.3f) {
        // Close points: a V of two cones meeting at the midpoint.
        const QVector3D mid = (p0 + p1) / 2.0f;
        startPart();
        CWS::SupportMesh::bodyPiece(m, n, p0, topR, mid, barR);
        startPart();
        CWS::SupportMesh::bodyPiece(m, n, p1, topR, mid, barR);
        return true;
    }
    const QVector3D q0 = p0 + (p1 - p0) * (f / d);
    const QVector3D q1 = p1 - (p1 - p0) * (f / d);
    startPart();
    CWS::SupportMesh::bodyPiece(m, n, p0, topR, q0, barR);
    startPart();
    CWS::SupportMesh::bodyPiece(m, n, p1, topR, q1, barR);
    startPart();
    CWS::SupportMesh::cylinderPiece(m, n, q0, barR, q1, barR);
    return true;
}

bool MultiPointSupport::buildTree(size_t hub)
{
    MeshPrimitiveData &m = *mesh;
    const int n = segmentCount;
    const QVector3D f = points[hub].point;
    const float headHeight = config->headHeight();
    float highestJointZ = 0.0f;
    for (size_t i = 0; i < points.size(); ++i) {
        if (i == hub)
            continue;
        const QVector3D p = points[i].point;
        startPart();
        const float dh = std::hypot(p.x() - f.x(), p.y() - f.y());
        float drop = kTan50 * dh;
        // No strut shorter than the head height.
        if (dh * dh + drop * drop < headHeight * headHeight)
            drop = std::sqrt(headHeight * headHeight - dh * dh);
        const float jointZ = p.z() - drop;
        if (jointZ < f.z()) {
            qCritical() << "invalid point" << i << ", too far awary from foot center";
            return false;
        }
        highestJointZ = std::max(highestJointZ, jointZ);
        CWS::SupportMesh::bodyPiece(m, n, p, config->headTopRadius(),
                                    QVector3D(f.x(), f.y(), jointZ), config->headBottomRadius());
    }

    startPart();
    const float trunkTopZ = highestJointZ + config->footTopRadius();
    const float len = std::fabs(trunkTopZ - f.z());
    const QVector3D trunkTop(f.x(), f.y(), trunkTopZ);
    const float wideR = config->footTopRadius() + 0.01f * len;
    const Model *hubObject = points[hub].object;
    const bool onPlate = hubObject && (hubObject->type == TYPE_PLATFORM_BOTTOM ||
                                       hubObject->type == TYPE_SUPPORT_BASE);
    if (onPlate) {
        // The trunk stands on the plate or the base: its bottom follows vertical moves.
        bodyBottomRingStart =
            int(CWS::SupportMesh::cylinderPiece(m, n, f, wideR, trunkTop, config->footTopRadius()));
        hasFoot = true;
    } else {
        CWS::SupportMesh::bodyPiece(m, n, f, wideR, trunkTop, config->footTopRadius());
    }
    return true;
}
