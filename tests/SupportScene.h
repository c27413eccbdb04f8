#pragma once

#include "SceneMeshes.h"

#include "model/DoItem.h"
#include "model/Model.h"
#include "workspace/QuorModel.h"

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

inline bool listed(const QuorModel &w, const Model *object)
{
    return std::find(w.models.begin(), w.models.end(), object) != w.models.end();
}

// No undo record may name an object that has left the list.
inline bool recordsNameListedObjects(const QuorModel &w)
{
    for (const DoItem &r : w.undoList.records())
        if (!listed(w, r.model))
            return false;
    return true;
}

} // namespace SupportScene
