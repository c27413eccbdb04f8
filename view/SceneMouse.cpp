// The rules of the mouse over the 3D view: camera turns and pans, selecting, dragging a model
// across the plate, and placing supports by clicking in manual mode.
#include "view/SceneMouse.h"

#include "model/DoItem.h"
#include "model/Model.h"
#include "view/SceneCamera.h"
#include "view/ScenePicker.h"
#include "workspace/SceneObjects.h"
#include "workspace/SupportController.h"
#include "workspace/TransformController.h"
#include "workspace/Workspace.h"

#include <QDebug>

#include <algorithm>

namespace {

const QSet<int> kClickTypes = {Model::TYPE_NORMAL, Model::TYPE_SUPPORT, Model::TYPE_SUPPORT_BASE,
                               Model::TYPE_MULTI_POINT_SUPPORT};

} // namespace

SceneMouse::SceneMouse(Workspace &workspace, SceneCamera &camera, ScenePicker &picker,
                       QObject *parent)
    : QObject(parent), m_workspace(workspace), m_camera(camera), m_picker(picker)
{
    connect(workspace.scene(), &SceneObjects::objectRemoving, this, &SceneMouse::forget);
}

void SceneMouse::pressed(int button, const QPoint &pos)
{
    Q_UNUSED(button)
    Q_UNUSED(pos)
    if (m_workspace.scene()->status() == SceneObjects::MODEL_LOADED &&
        !m_workspace.supports()->isManualAddingSupport())
        m_dragState = 1;
}

void SceneMouse::released(int button, const QPoint &pos)
{
    Q_UNUSED(button)
    Q_UNUSED(pos)
    m_dragState = 0;
    m_dragged = nullptr;
}

void SceneMouse::moved(int button, const QPoint &from, const QPoint &pre, const QPoint &to)
{
    if (button == 2) {
        m_camera.pan(pre, to);
        return;
    }
    if (button != 1)
        return;

    SceneObjects &scene = *m_workspace.scene();
    if (m_dragState == 1) {
        const std::vector<PickHit> hits =
            m_picker.pickObjects(from.x(), from.y(), {Model::TYPE_NORMAL});
        if (hits.empty()) {
            m_dragState = 0;
        } else {
            m_dragState = 2;
            m_dragged = hits.front().object;
            scene.selectModel(m_dragged);
            m_workspace.transform()->startNewTransform(DoItem::DO_T_TRANSLATE);
        }
    }
    if (m_dragState == 2) {
        QVector3D delta;
        if (m_dragged && m_picker.dragDeltaMm(pre, to, &delta)) {
            // Dragging never changes the height.
            m_dragged->translateBy(delta.x(), delta.y(), 0.0f);
            scene.selectModel(m_dragged);
        }
        return;
    }
    m_camera.orbit(pre, to);
}

void SceneMouse::wheel(const QPoint &angleDelta)
{
    m_camera.wheel(angleDelta);
}

void SceneMouse::clicked(int button, const QPoint &pos, bool holdingShift)
{
    SceneObjects &scene = *m_workspace.scene();
    const SceneObjects::ModelStatus status = scene.status();
    if ((status != SceneObjects::MODEL_LOADED && status != SceneObjects::MODEL_SHOW_SLICE) ||
        button != 1)
        return;
    if (m_dragState >= 2) {
        m_dragState = 0;
        return;
    }
    if (m_workspace.supports()->isManualAddingSupport()) {
        manualSupportClick(pos, holdingShift);
        return;
    }
    const std::vector<PickHit> hits = m_picker.pickObjects(pos.x(), pos.y(), kClickTypes);
    if (hits.empty())
        scene.deselectAll(true);
    else
        scene.selectModel(hits.front().object);
}

void SceneMouse::manualSupportClick(const QPoint &pos, bool holdingShift)
{
    SceneObjects &scene = *m_workspace.scene();
    SupportController &supports = *m_workspace.supports();
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
    const std::vector<PickHit> hits = m_picker.pickObjects(pos.x(), pos.y(), types);

    if (c <= 1 && hits.empty()) {
        scene.deselectAll(true);
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
        scene.selectModel(hits.front().object);
        c = 0;
        m_collectedPoints.clear();
        return;
    }

    if (c == 0) {
        m_collectedPoints.clear();
        supports.addSupportFromHit(hits.front());
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
                scene.selectModel(h.object);
        } else {
            qDebug() << "skip other model's point";
            --c;
        }
        return;
    }
    // c == -1: the click without Shift adds its own point and builds the support.
    m_collectedPoints.push_back(hits.front());
    supports.addMultiPointSupport(m_collectedPoints);
}

void SceneMouse::forget(const Model *object)
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
