#pragma once

#include "model/PickHit.h"

#include <QObject>
#include <QPoint>
#include <QSet>

#include <vector>

class Model;
class SceneCamera;
class ScenePicker;
class Workspace;

// The rules of the mouse over the 3D view: camera turns and pans, selecting, dragging a model
// across the plate, and placing supports by clicking in manual mode. Buttons are numbered
// 1 left, 2 right, 3 any other; positions are in item pixels, as the camera's view size.
class SceneMouse : public QObject
{
    Q_OBJECT
public:
    SceneMouse(Workspace &workspace, SceneCamera &camera, ScenePicker &picker,
               QObject *parent = nullptr);

    void pressed(int button, const QPoint &pos);
    // A move with a button held: from the press position, from the previous one, to this one.
    void moved(int button, const QPoint &from, const QPoint &pre, const QPoint &to);
    void released(int button, const QPoint &pos);
    void clicked(int button, const QPoint &pos, bool holdingShift);
    void wheel(const QPoint &angleDelta);

    // 0 idle, 1 pressed (a drag may start), 2 dragging a model.
    int dragState() const { return m_dragState; }

private:
    // A manual-mode click: a pillar, a point for a multi-point support, or a selection.
    void manualSupportClick(const QPoint &pos, bool holdingShift);
    // Forgets every state that names the object.
    void forget(const Model *object);

    Workspace &m_workspace;
    SceneCamera &m_camera;
    ScenePicker &m_picker;
    int m_dragState = 0;
    Model *m_dragged = nullptr;
    // Clicks collected with Shift for a multi-point support; -1 marks the finishing click.
    int m_multiPointCount = 0;
    std::vector<PickHit> m_collectedPoints;
};
