// The rules of the mouse over the 3D view: camera turns and pans, selecting, dragging a model
// across the plate, and placing supports by clicking in manual mode.
#include "workspace/QuorModel.h"
#include "workspace/ViewPicker.h"

#include <QDebug>

#include <algorithm>

namespace {

const QSet<int> kClickTypes = {Model::TYPE_NORMAL, Model::TYPE_SUPPORT, Model::TYPE_SUPPORT_BASE,
                               Model::TYPE_MULTI_POINT_SUPPORT};

} // namespace

void QuorModel::onMousePressed(uint button, uint x, uint y)
{
    Q_UNUSED(button)
    Q_UNUSED(x)
    Q_UNUSED(y)
    if (status == MODEL_LOADED && !manualAddingSupport)
        m_dragState = 1;
}

void QuorModel::onMouseReleased(uint button, uint x, uint y)
{
    Q_UNUSED(button)
    Q_UNUSED(x)
    Q_UNUSED(y)
    m_dragState = 0;
    m_dragged = nullptr;
}

void QuorModel::onMousePressedMove(uint button, QPoint from, QPoint pre, QPoint to)
{
    if (button == 2) {
        // Without a size the view shows nothing to pan.
        if (m_viewportPx.width() <= 0 || m_viewportPx.height() <= 0)
            return;
        m_camera.panX += 2.0f * float(to.x() - pre.x()) / float(m_viewportPx.width());
        m_camera.panY -= 2.0f * float(to.y() - pre.y()) / float(m_viewportPx.height());
        emit quorModelDataChanged();
        return;
    }
    if (button != 1)
        return;

    if (m_dragState == 1) {
        const std::vector<PickHit> hits = pickObjects(from.x(), from.y(), Model::TYPE_NORMAL);
        if (hits.empty()) {
            m_dragState = 0;
        } else {
            m_dragState = 2;
            m_dragged = hits.front().object;
            selectModel(m_dragged);
            startNewTransform(DoItem::DO_T_TRANSLATE);
        }
    }
    if (m_dragState == 2) {
        QVector3D delta;
        if (m_dragged && m_picker && m_picker->dragDeltaMm(pre, to, &delta)) {
            // Dragging never changes the height.
            m_dragged->translateBy(delta.x(), delta.y(), 0.0f);
            selectModel(m_dragged);
        }
        return;
    }
    // The sum is truncated, not the step: slow drags still turn the camera.
    m_camera.yawDeg = int(float(m_camera.yawDeg) + float(to.x() - pre.x()) * 0.5f);
    m_camera.pitchDeg += to.y() - pre.y();
    emit quorModelDataChanged();
}

void QuorModel::onWheel(QPoint angleDelta)
{
    const int v = angleDelta.y() / 120;
    if (v > 0)
        zoomOut();
    else if (v < 0)
        zoomIn();
}

void QuorModel::onMouseClicked(uint button, uint x, uint y, bool holdingShift)
{
    if ((status != MODEL_LOADED && status != MODEL_SHOW_SLICE) || button != 1)
        return;
    if (m_dragState >= 2) {
        m_dragState = 0;
        return;
    }
    if (manualAddingSupport) {
        manualSupportClick(x, y, holdingShift);
        return;
    }
    const std::vector<PickHit> hits = pickObjects(int(x), int(y), kClickTypes);
    if (hits.empty())
        deselectAll(true);
    else
        selectModel(hits.front().object);
}

void QuorModel::manualSupportClick(uint x, uint y, bool holdingShift)
{
    int &c = m_multiPointCount;
    QSet<int> types = {Model::TYPE_NORMAL};
    if (holdingShift) {
        if (c < 0) {
            m_collectedPoints.clear();
            c = 0;
        }
        ++c;
    } else if (c <= 0) {
        c = 0;
        m_collectedPoints.clear();
    } else {
        c = -1; // points were collected with Shift: this click finishes them
        types = kClickTypes;
        types.insert(Model::TYPE_PLATFORM_BOTTOM);
    }
    const std::vector<PickHit> hits = pickObjects(int(x), int(y), types);

    if (c <= 1 && hits.empty()) {
        deselectAll(true);
        c = 0;
        m_collectedPoints.clear();
        return;
    }
    // While points are being collected, a Shift-click on another model is skipped below
    // rather than starting over on that model.
    const bool collecting = c >= 2 && !m_collectedPoints.empty();
    if (!collecting && !hits.empty() && hits.front().object->type == Model::TYPE_NORMAL &&
        !hits.front().object->selected) {
        // The first click on a model only selects it.
        selectModel(hits.front().object);
        c = 0;
        m_collectedPoints.clear();
        return;
    }

    if (c == 0) {
        m_collectedPoints.clear();
        addSupportFromHit(hits.front());
        return;
    }
    if (c >= 1) {
        if (hits.empty()) {
            --c; // this click does not count
            return;
        }
        const PickHit &h = hits.front();
        if (m_collectedPoints.empty() || m_collectedPoints.front().object == h.object) {
            m_collectedPoints.push_back(h);
            if (!h.object->selected)
                selectModel(h.object);
        } else {
            qDebug() << "skip other model's point";
            --c;
        }
        return;
    }
    // c == -1: the click without Shift adds its own point and builds the support.
    m_collectedPoints.push_back(hits.front());
    addMultiPointSupport(m_collectedPoints);
}

void QuorModel::forgetMouseStateOf(const Model *object)
{
    if (m_dragged == object) {
        m_dragged = nullptr;
        m_dragState = 0;
    }
    const bool collected = std::any_of(m_collectedPoints.begin(), m_collectedPoints.end(),
                                       [object](const PickHit &h) { return h.object == object; });
    if (collected) {
        // A multi-point support may not be built on points of an object that is gone.
        m_collectedPoints.clear();
        m_multiPointCount = 0;
    }
}
