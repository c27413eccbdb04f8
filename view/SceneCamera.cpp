#include "view/SceneCamera.h"

#include "config/QuorConfig.h"

SceneCamera::SceneCamera(QObject *parent) : QObject(parent)
{
    // The camera as the view's first frame leaves it.
    resetCamera(-70, -70, -0.4f, true);
}

void SceneCamera::setVolume(const CameraMath::Volume &volume)
{
    if (volume.xMm == m_volume.xMm && volume.yMm == m_volume.yMm && volume.zMm == m_volume.zMm)
        return;
    m_volume = volume;
    emit changed();
}

void SceneCamera::followPrinter(const QuorConfig &config)
{
    disconnect(m_printerChange);
    const auto follow = [this, &config] {
        setVolume(CameraMath::volumeOf(buildVolumeOf(config.currentPrinterModel())));
    };
    follow();
    m_printerChange = connect(&config, &QuorConfig::modelIndexChanged, this, follow);
}

void SceneCamera::resetCamera(int yawDeg, int pitchDeg, float baseY, bool resetZoom)
{
    m_camera.yawDeg = yawDeg;
    m_camera.pitchDeg = pitchDeg;
    m_camera.baseView.setToIdentity();
    m_camera.baseView.translate(0.0f, baseY, -3.0f);
    if (resetZoom)
        m_camera.zoom = 1.0f;
    m_camera.panX = 0.0f;
    m_camera.panY = 0.0f;
}

void SceneCamera::resetViewPrj()
{
    resetCamera(-70, -70, -0.4f, true);
    emit changed();
}

void SceneCamera::resetViewTop()
{
    resetCamera(-90, 0, 0.0f, false);
    emit changed();
}

void SceneCamera::resetViewFront()
{
    resetCamera(-90, -90, -0.4f, false);
    emit changed();
}

void SceneCamera::resetViewLeft()
{
    resetCamera(0, -90, -0.4f, false);
    emit changed();
}

void SceneCamera::resetViewRight()
{
    resetCamera(-180, -90, -0.4f, false);
    emit changed();
}

void SceneCamera::zoomOut()
{
    m_camera.zoom *= 1.1f;
    emit changed();
}

void SceneCamera::zoomIn()
{
    m_camera.zoom /= 1.1f;
    emit changed();
}

void SceneCamera::orbit(const QPoint &pre, const QPoint &to)
{
    // The sum is truncated, not the step: slow drags still turn the camera.
    m_camera.yawDeg = int(float(m_camera.yawDeg) + float(to.x() - pre.x()) * 0.5f);
    m_camera.pitchDeg += to.y() - pre.y();
    emit changed();
}

void SceneCamera::pan(const QPoint &pre, const QPoint &to)
{
    // Without a size the view shows nothing to pan.
    if (m_viewSizeItemPx.width() <= 0 || m_viewSizeItemPx.height() <= 0)
        return;
    m_camera.panX += 2.0f * float(to.x() - pre.x()) / float(m_viewSizeItemPx.width());
    m_camera.panY -= 2.0f * float(to.y() - pre.y()) / float(m_viewSizeItemPx.height());
    emit changed();
}

void SceneCamera::wheel(const QPoint &angleDelta)
{
    const int v = angleDelta.y() / 120;
    if (v > 0)
        zoomOut();
    else if (v < 0)
        zoomIn();
}
