#include "view/CameraMath.h"

#include <algorithm>
#include <cmath>

namespace CameraMath {

Volume volumeOf(const BuildVolume &volume)
{
    return Volume{volume.widthMm, volume.depthMm, volume.heightMm};
}

float sceneScaleMm(const Volume &volume)
{
    return std::max({volume.xMm, volume.yMm, volume.zMm});
}

QMatrix4x4 modelScaleMatrix(const Volume &volume)
{
    QMatrix4x4 m;
    const float s = 1.0f / sceneScaleMm(volume);
    m.scale(s, s, s);
    return m;
}

int drawnPitchDeg(int storedPitchDeg)
{
    return std::clamp(storedPitchDeg, -180, 0);
}

int drawnYawDeg(int storedYawDeg)
{
    // Stored values keep counting while the mouse turns; only the remainder is drawn.
    int y = storedYawDeg % 360;
    if (y > 180)
        y -= 360;
    else if (y < -180)
        y += 360;
    return y;
}

QMatrix4x4 viewMatrix(const CameraState &camera)
{
    QMatrix4x4 view = camera.baseView;
    view.scale(camera.zoom);
    view.rotate(float(drawnPitchDeg(camera.pitchDeg)), 1.0f, 0.0f, 0.0f);
    view.rotate(float(drawnYawDeg(camera.yawDeg)), 0.0f, 0.0f, 1.0f);
    return view;
}

QMatrix4x4 projectionMatrix(const QSize &viewportPx, float panX, float panY)
{
    QMatrix4x4 projection;
    if (viewportPx.width() <= 0 || viewportPx.height() <= 0)
        return projection;
    const float w = float(viewportPx.width());
    const float h = float(viewportPx.height());
    const float m = std::max(w, h);
    projection.translate(panX, panY, 0.0f);
    projection.ortho(-w / m, w / m, -h / m, h / m, 0.1f, 100.0f);
    return projection;
}

float pixelsPerMm(const CameraState &camera, const QSize &viewportPx, const Volume &volume)
{
    // Turning and a uniform scale keep lengths: a millimetre along any axis has the same length
    // in eye space, and the projection scales eye x alike across the picture.
    const float eyeMm =
        (viewMatrix(camera) * modelScaleMatrix(volume)).mapVector(QVector3D(1, 0, 0)).length();
    const float ndc = projectionMatrix(viewportPx, camera.panX, camera.panY)
                          .mapVector(QVector3D(eyeMm, 0, 0))
                          .x();
    return std::abs(ndc) * float(viewportPx.width()) / 2.0f;
}

QVector3D lightPosition(const QMatrix4x4 &view)
{
    return view.inverted().map(QVector3D(0.0f, 0.0f, 0.0f));
}

int gridLineCount(const Volume &volume)
{
    return 2 + 2 * int(std::floor(volume.xMm / 20.0f)) + 2 * int(std::floor(volume.yMm / 20.0f));
}

std::vector<FrameVertex> frameVertices(const Volume &volume)
{
    const float hx = volume.xMm / 2.0f;
    const float hy = volume.yMm / 2.0f;
    const float vz = volume.zMm;
    std::vector<FrameVertex> v;
    v.reserve(16 + 2 * size_t(gridLineCount(volume)));
    auto add = [&v](float x, float y, float z) { v.push_back({x, y, z, 0.0f, 0.0f, 1.0f}); };
    const float corners[4][2] = {{hx, hy}, {-hx, hy}, {-hx, -hy}, {hx, -hy}};
    for (const auto &c : corners)
        add(c[0], c[1], 0.0f);
    for (const auto &c : corners)
        add(c[0], c[1], vz);
    for (const auto &c : corners) {
        add(c[0], c[1], 0.0f);
        add(c[0], c[1], vz);
    }
    add(0.0f, hy + 1.0f, 0.0f);
    add(0.0f, -(hy + 1.0f), 0.0f);
    const int columns = int(std::floor(volume.xMm / 20.0f));
    for (int i = 1; i <= columns; ++i) {
        for (const float x : {10.0f * float(i), -10.0f * float(i)}) {
            add(x, hy, 0.0f);
            add(x, -hy, 0.0f);
        }
    }
    add(hx, 0.0f, 0.0f);
    add(-hx, 0.0f, 0.0f);
    const int rows = int(std::floor(volume.yMm / 20.0f));
    for (int j = 1; j <= rows; ++j) {
        for (const float y : {10.0f * float(j), -10.0f * float(j)}) {
            add(hx, y, 0.0f);
            add(-hx, y, 0.0f);
        }
    }
    return v;
}

} // namespace CameraMath
