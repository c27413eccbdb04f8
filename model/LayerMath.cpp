#include "model/LayerMath.h"

#include <QDebug>

#include <algorithm>

namespace CWS::LayerMath {

int layerCount(float heightMm, float thicknessMm)
{
    if (!(thicknessMm > 0.0f) || !(heightMm > 0.0f))
        return 0;
    const float ratio = heightMm / thicknessMm;
    if (!(ratio < 2.0e9f))
        return 0; // no printer has that many layers; avoids an overflowing conversion
    const int n = static_cast<int>(ratio);
    return heightMm >= (float(n) + 0.5f) * thicknessMm ? n + 1 : n;
}

std::vector<float> layerHeights(int count, float thicknessMm)
{
    std::vector<float> heights;
    heights.reserve(size_t(std::max(count, 0)));
    float z = thicknessMm * 0.5f;
    for (int i = 0; i < count; ++i) {
        heights.push_back(z);
        z += thicknessMm;
    }
    return heights;
}

bool cutEdge(const QVector3D &a, const QVector3D &b, float z, QVector3D *point)
{
    const float za = a.z();
    const float zb = b.z();
    if ((z < za && z < zb) || (z > za && z > zb))
        return false;
    if (za == z && zb == z)
        return false; // the edge lies in the plane
    // An edge owns its lower end, not its upper end.
    if (za == z) {
        if (zb > z) {
            *point = a;
            return true;
        }
        return false;
    }
    if (zb == z) {
        if (za > z) {
            *point = b;
            return true;
        }
        return false;
    }
    const QVector3D &lo = za < zb ? a : b;
    const QVector3D &hi = za < zb ? b : a;
    const float f = (z - lo.z()) / (hi.z() - lo.z());
    *point = QVector3D(lo.x() + (hi.x() - lo.x()) * f, lo.y() + (hi.y() - lo.y()) * f, z);
    return true;
}

int cutTriangle(const QVector3D &p0, const QVector3D &p1, const QVector3D &p2, float z,
                QVector3D points[3], unsigned *edgeBits)
{
    int n = 0;
    unsigned bits = 0;
    if (cutEdge(p0, p1, z, &points[n])) {
        ++n;
        bits |= 1;
    }
    if (cutEdge(p1, p2, z, &points[n])) {
        ++n;
        bits |= 2;
    }
    if (n > 0 && cutEdge(p2, p0, z, &points[n])) {
        ++n;
        bits |= 4;
    }
    *edgeBits = bits;
    return n;
}

int cutTriangles(const QVector<QVector3D> &worldPositions, const quint32 *indices, int first,
                 int end, float z, SegmentList &out)
{
    const int before = out.size();
    const QVector3D *pos = worldPositions.constData();
    for (int i = first; i + 3 <= end; i += 3) {
        QVector3D pts[3];
        unsigned bits;
        const int n =
            cutTriangle(pos[indices[i]], pos[indices[i + 1]], pos[indices[i + 2]], z, pts, &bits);
        if (n == 2)
            out.append(LayerSegment{pts[0], pts[1]});
        else if (n != 0)
            qDebug() << "ERROR: n != 2";
    }
    return out.size() - before;
}

} // namespace CWS::LayerMath
