#pragma once

#include "view/CameraMath.h"
#include "view/CameraState.h"

#include <QObject>
#include <QPoint>
#include <QSize>

// The 3D view's camera: the presets of the view buttons, zoom, and the turns and pans of the
// mouse. Positions and the view's size are in item pixels, the unit every mouse position
// arrives in (device-independent, the same whatever the screen's pixel ratio).
class QuorConfig;

class SceneCamera : public QObject
{
    Q_OBJECT
public:
    explicit SceneCamera(QObject *parent = nullptr);

    Q_INVOKABLE void resetViewPrj();
    Q_INVOKABLE void resetViewTop();
    Q_INVOKABLE void resetViewFront();
    Q_INVOKABLE void resetViewLeft();
    Q_INVOKABLE void resetViewRight();
    // The "+" button: the picture grows.
    Q_INVOKABLE void zoomOut();
    Q_INVOKABLE void zoomIn();

    const CameraState &state() const { return m_camera; }
    // The view's size in item pixels; the view writes it while the GUI thread waits for it.
    void setViewSize(const QSize &itemPx) { m_viewSizeItemPx = itemPx; }
    QSize viewSize() const { return m_viewSizeItemPx; }

    // The build volume the view draws and picks in; the view sets the printer's.
    const CameraMath::Volume &volume() const { return m_volume; }
    void setVolume(const CameraMath::Volume &volume);
    // From now on the volume is this configuration's printer's, following a change of printer.
    void followPrinter(const QuorConfig &config);

    // A left drag from pre to to on empty space turns the camera.
    void orbit(const QPoint &pre, const QPoint &to);
    // A right drag pans the picture; nothing without a size.
    void pan(const QPoint &pre, const QPoint &to);
    // One step per wheel event, whatever its size.
    void wheel(const QPoint &angleDelta);

signals:
    // The view must repaint.
    void changed();

private:
    void resetCamera(int yawDeg, int pitchDeg, float baseY, bool resetZoom);

    CameraState m_camera;
    QSize m_viewSizeItemPx;
    CameraMath::Volume m_volume;
    QMetaObject::Connection m_printerChange;
};
