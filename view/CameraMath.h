#pragma once

#include "config/BuildVolume.h"
#include "view/CameraState.h"

#include <QMatrix4x4>
#include <QSize>
#include <QVector3D>

#include <vector>

// The 3D view's arithmetic, free of OpenGL: what the renderer uploads and what picking inverts.
namespace CameraMath {

// The build volume as the view draws it, in mm.
struct Volume
{
    float xMm = 65.02f;
    float yMm = 116.0f;
    float zMm = 135.0f;
};

// The printer's volume as the view draws it.
Volume volumeOf(const BuildVolume &volume);

// The largest side of the volume: one scene unit.
float sceneScaleMm(const Volume &volume);
// Millimetres to scene units.
QMatrix4x4 modelScaleMatrix(const Volume &volume);

// The pitch the view draws with: the stored one limited to -180 ... 0.
int drawnPitchDeg(int storedPitchDeg);
// The yaw brought into -180 ... 180.
int drawnYawDeg(int storedYawDeg);

// base view x scale(zoom) x rotation about x by the drawn pitch x rotation about z by the yaw.
QMatrix4x4 viewMatrix(const CameraState &camera);
// Orthographic over the viewport's aspect, shifted by the pan; identity for an empty viewport.
QMatrix4x4 projectionMatrix(const QSize &viewportPx, float panX, float panY);
// Viewport pixels that one millimetre across the screen spans: the camera is orthographic, so
// it is the same everywhere in the picture.
float pixelsPerMm(const CameraState &camera, const QSize &viewportPx, const Volume &volume);
// The light sits at the camera.
QVector3D lightPosition(const QMatrix4x4 &view);

// Interleaved position and normal, as the frame buffer holds them.
struct FrameVertex
{
    float x, y, z, nx, ny, nz;
};
// Plate outline (0-3), top outline (4-7), vertical edges (8-15), then the grid, two vertices a
// line: the y axis 1 mm past the plate at both ends, x = +-10 i, the x axis, y = +-10 j.
std::vector<FrameVertex> frameVertices(const Volume &volume);
int gridLineCount(const Volume &volume);

} // namespace CameraMath
