// QuorModel's side of the 3D view: the camera presets and zoom, and the hand-over to the view's
// renderer and picker.
#include "workspace/QuorModel.h"
#include "workspace/ViewPicker.h"
#include "workspace/ViewRenderer.h"

void QuorModel::resetCamera(int yawDeg, int pitchDeg, float baseY, bool resetZoom)
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

void QuorModel::resetViewPrj()
{
    resetCamera(-70, -70, -0.4f, true);
    emit quorModelDataChanged();
}

void QuorModel::resetViewTop()
{
    resetCamera(-90, 0, 0.0f, false);
    emit quorModelDataChanged();
}

void QuorModel::resetViewFront()
{
    resetCamera(-90, -90, -0.4f, false);
    emit quorModelDataChanged();
}

void QuorModel::resetViewLeft()
{
    resetCamera(0, -90, -0.4f, false);
    emit quorModelDataChanged();
}

void QuorModel::resetViewRight()
{
    resetCamera(-180, -90, -0.4f, false);
    emit quorModelDataChanged();
}

void QuorModel::zoomOut()
{
    m_camera.zoom *= 1.1f;
    emit quorModelDataChanged();
}

void QuorModel::zoomIn()
{
    m_camera.zoom /= 1.1f;
    emit quorModelDataChanged();
}

void QuorModel::setPicker(std::unique_ptr<ViewPicker> picker)
{
    m_picker = std::move(picker);
}

std::vector<PickHit> QuorModel::pickObjects(int x, int y, const QSet<int> &types)
{
    if (!m_picker)
        return {};
    return m_picker->pickObjects(x, y, types);
}

std::vector<PickHit> QuorModel::pickObjects(int x, int y, int type)
{
    return pickObjects(x, y, QSet<int>{type});
}

void QuorModel::paint()
{
    if (m_renderer)
        m_renderer->paint();
}
