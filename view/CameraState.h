#pragma once

#include <QMatrix4x4>

// The orbiting camera of the 3D view, as the mouse and the view buttons leave it. The stored
// angles are not limited; the view limits what it draws.
struct CameraState
{
    int yawDeg = 0;    // about the plate's z axis
    int pitchDeg = 0;  // about x: 0 looks straight down, -90 horizontally, below -90 from under
    float zoom = 1.0f; // uniform scale of the picture
    float panX = 0.0f; // shift of the finished picture, normalised device units
    float panY = 0.0f;
    QMatrix4x4 baseView; // eye placement before zoom and rotation
};
