#pragma once

#include "SceneMeshes.h"

#include "model/DoItem.h"
#include "model/Model.h"
#include "workspace/JobController.h"
#include "workspace/LayerPreview.h"
#include "workspace/SceneObjects.h"
#include "workspace/SupportController.h"
#include "workspace/TransformController.h"
#include "workspace/UndoController.h"
#include "workspace/Workspace.h"

#include <algorithm>

// Helpers of the support-family suites.
namespace SupportScene {

// A box with one (identity) translation item, ready to be moved by the tests.
inline Model *boxModel(const QVector3D &lo, const QVector3D &hi)
{
    Model *m = SceneMeshes::makeBox(lo, hi);
    m->pushTransform(DoItem::DO_T_TRANSLATE);
    return m;
}

inline bool listed(const Workspace &w, const Model *object)
{
    return std::find(w.scene()->objects().begin(), w.scene()->objects().end(), object) !=
           w.scene()->objects().end();
}

// No undo record may name an object that has left the list.
inline bool recordsNameListedObjects(const Workspace &w)
{
    for (const DoItem &r : w.undoList().records())
        if (!listed(w, r.model))
            return false;
    return true;
}

} // namespace SupportScene
