#pragma once

#include <QMatrix4x4>
#include <QPoint>
#include <QSize>
#include <QVector3D>

// Rays under the cursor and where they meet triangles, in scene units. Plain functions: the
// picker and its tests share them.
namespace PickMath {

struct Ray
{
    QVector3D origin;    // in the camera plane, under the cursor
    QVector3D direction; // unit length; the same for every pixel of a frame
};

// Normalised device coordinates of a view pixel (origin top left).
QPointF toNdc(double x, double y, const QSize &viewportPx);

// The ray under view pixel (x, y) for the given camera matrices.
Ray pickRay(int x, int y, const QSize &viewportPx, const QMatrix4x4 &projection,
            const QMatrix4x4 &view);

// Moeller-Trumbore, both faces, with epsilon 2^-23. On a hit, t is the ray parameter (> epsilon)
// and point the hit position.
constexpr float kEpsilon = 1.1920929e-7f;
bool rayTriangle(const Ray &ray, const QVector3D &a, const QVector3D &b, const QVector3D &c,
                 float *t, QVector3D *point);

// Whether a ray that starts at t = 0 passes within margin of the box lo ... hi. inverse holds
// 1 / direction per axis (infinite where the direction has no component).
bool rayNearBox(const float origin[3], const float inverse[3], const float lo[3], const float hi[3],
                float margin);

// The depth, in normalised device units, that the scene origin has on screen.
float originDepthNdc(const QMatrix4x4 &projection, const QMatrix4x4 &view,
                     const QMatrix4x4 &modelScale);
// A view pixel at that depth, back in millimetres.
QVector3D unprojectMm(const QPoint &pixel, const QSize &viewportPx, float depthNdc,
                      const QMatrix4x4 &projection, const QMatrix4x4 &view,
                      const QMatrix4x4 &modelScale);

} // namespace PickMath
