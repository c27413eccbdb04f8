#include "view/PickMath.h"

#include <algorithm>
#include <cmath>

namespace PickMath {

QPointF toNdc(double x, double y, const QSize &viewportPx)
{
    return QPointF(2.0 * x / viewportPx.width() - 1.0, 1.0 - 2.0 * y / viewportPx.height());
}

Ray pickRay(int x, int y, const QSize &viewportPx, const QMatrix4x4 &projection,
            const QMatrix4x4 &view)
{
    const QPointF ndc = toNdc(x, y, viewportPx);
    const QMatrix4x4 inverseProjection = projection.inverted();
    const QMatrix4x4 inverseView = view.inverted();
    QVector3D eye = inverseProjection.map(QVector3D(float(ndc.x()), float(ndc.y()), 0.0f));
    eye.setZ(0.0f); // the camera plane
    Ray ray;
    ray.origin = inverseView.map(eye);
    ray.direction =
        inverseView.map(inverseProjection.map(QVector3D(0.0f, 0.0f, 1000.0f))).normalized();
    return ray;
}

bool rayTriangle(const Ray &ray, const QVector3D &a, const QVector3D &b, const QVector3D &c,
                 float *t, QVector3D *point)
{
    const QVector3D e1 = b - a;
    const QVector3D e2 = c - a;
    const QVector3D p = QVector3D::crossProduct(ray.direction, e2);
    const float det = QVector3D::dotProduct(e1, p);
    if (det > -kEpsilon && det < kEpsilon)
        return false; // parallel to the triangle's plane
    const QVector3D s = ray.origin - a;
    const float u = QVector3D::dotProduct(s, p) / det;
    if (u < 0.0f || u > 1.0f)
        return false;
    const QVector3D q = QVector3D::crossProduct(s, e1);
    const float v = QVector3D::dotProduct(ray.direction, q) / det;
    if (v < 0.0f || u + v > 1.0f)
        return false;
    const float hitT = QVector3D::dotProduct(e2, q) / det;
    if (!(hitT > kEpsilon))
        return false; // behind the camera plane
    *t = hitT;
    *point = ray.origin + ray.direction.normalized() * (ray.direction.length() * hitT);
    return true;
}

bool rayNearBox(const float origin[3], const float inverse[3], const float lo[3], const float hi[3],
                float margin)
{
    float tNear = 0.0f;
    float tFar = INFINITY;
    for (int k = 0; k < 3; ++k) {
        const float a = lo[k] - margin;
        const float b = hi[k] + margin;
        if (std::isinf(inverse[k])) {
            // Parallel to this slab: inside it or never.
            if (origin[k] < a || origin[k] > b)
                return false;
            continue;
        }
        float t0 = (a - origin[k]) * inverse[k];
        float t1 = (b - origin[k]) * inverse[k];
        if (t0 > t1)
            std::swap(t0, t1);
        tNear = std::max(tNear, t0);
        tFar = std::min(tFar, t1);
        if (tNear > tFar)
            return false;
    }
    return true;
}

float originDepthNdc(const QMatrix4x4 &projection, const QMatrix4x4 &view,
                     const QMatrix4x4 &modelScale)
{
    return (projection * view * modelScale).map(QVector3D(0.0f, 0.0f, 0.0f)).z();
}

QVector3D unprojectMm(const QPoint &pixel, const QSize &viewportPx, float depthNdc,
                      const QMatrix4x4 &projection, const QMatrix4x4 &view,
                      const QMatrix4x4 &modelScale)
{
    const QPointF ndc = toNdc(pixel.x(), pixel.y(), viewportPx);
    QVector3D p(float(ndc.x()), float(ndc.y()), depthNdc);
    p = projection.inverted().map(p);
    p = view.inverted().map(p);
    return modelScale.inverted().map(p);
}

} // namespace PickMath
