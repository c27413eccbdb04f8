// The multi-point support record: the support record, the contact points with their face
// normals, and whether the trunk stands on a foot. The hit objects are not stored.
#include "model/MultiPointSupport.h"
#include "model/RecordIo.h"

#include <QDataStream>
#include <QDebug>

void MultiPointSupport::writeRecord(QDataStream &out) const
{
    Support::writeRecord(out);
    out << qint32(points.size());
    for (const PickHit &hit : points)
        out << hit.point.x() << hit.point.y() << hit.point.z() << hit.normal.x() << hit.normal.y()
            << hit.normal.z();
    out << qint8(hasFoot ? 1 : 0);
}

bool MultiPointSupport::readRecord(QDataStream &in, int major, int minor)
{
    points.clear();
    if (!Support::readRecord(in, major, minor))
        return false;
    qint32 count = -1;
    in >> count;
    if (in.status() != QDataStream::Ok ||
        !RecordIo::fits(in, count, 6 * RecordIo::floatBytes(in))) {
        qWarning() << "bad point count" << count;
        return false;
    }
    points.reserve(size_t(count));
    for (qint32 k = 0; k < count; ++k) {
        float v[6];
        for (float &f : v)
            if (!RecordIo::readFiniteFloat(in, &f)) {
                qWarning() << "multi point support: point damaged";
                return false;
            }
        PickHit hit;
        hit.point = QVector3D(v[0], v[1], v[2]);
        hit.normal = QVector3D(v[3], v[4], v[5]);
        points.push_back(hit);
    }
    qint8 foot = -1;
    in >> foot;
    if (in.status() != QDataStream::Ok || (foot != 0 && foot != 1)) {
        qWarning() << "bad foot flag" << foot;
        return false;
    }
    hasFoot = foot == 1;
    return true;
}
