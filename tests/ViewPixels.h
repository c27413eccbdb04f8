#pragma once

#include "view/CameraMath.h"
#include "view/SceneCamera.h"

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QVector3D>

// Where a scene point (mm) shows in the 3D view, for its camera and size.
inline QPoint viewPixelOf(const SceneCamera &camera, const QVector3D &mm)
{
    const CameraState &c = camera.state();
    const QSize viewport = camera.viewSize();
    const QVector3D ndc =
        (CameraMath::projectionMatrix(viewport, c.panX, c.panY) * CameraMath::viewMatrix(c) *
         CameraMath::modelScaleMatrix(camera.volume()))
            .map(mm);
    return QPoint(qRound((ndc.x() + 1.0f) / 2.0f * float(viewport.width())),
                  qRound((1.0f - ndc.y()) / 2.0f * float(viewport.height())));
}

inline QColor pixelAt(const QImage &image, const QPoint &p)
{
    return image.pixelColor(p);
}
