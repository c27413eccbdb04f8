// Model operations on its support family: lookup, copies, removal and the base.
#include "cws/Support.h"
#include "cws/SupportBase.h"
#include "model/DoItem.h"
#include "model/Model.h"
#include "workspace/QuorModel.h"

#include <QDebug>

#include <algorithm>
#include <cmath>

CWS::Support *Model::findNearestSupport(const CWS::Support *from, float minDistanceMm,
                                        float maxDistanceMm) const
{
    if (!from || !from->hasBodyMarkers())
        return nullptr;
    const QVector3D origin = from->bodyBottomWorld();
    CWS::Support *best = nullptr;
    float bestDistance = 0.0f;
    for (Model *object : supports) {
        if (object == from || object->type != TYPE_SUPPORT)
            continue;
        auto *candidate = dynamic_cast<CWS::Support *>(object);
        if (!candidate || !candidate->hasBodyMarkers())
            continue;
        const QVector3D p = candidate->bodyBottomWorld();
        // Heights do not matter: pillars are compared where they stand.
        const float distance = std::hypot(p.x() - origin.x(), p.y() - origin.y());
        if (distance < minDistanceMm || distance > maxDistanceMm)
            continue;
        // Strictly nearer only, so the earlier of two equal candidates stays.
        if (!best || distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

Model *Model::makeSupportBase(float thicknessMm)
{
    qDebug() << "TODO: Model::makeSupportBase" << thicknessMm;
    if (supportBase) {
        Model *old = supportBase;
        supportBase = nullptr;
        QuorModel *workspace = QuorModel::instance();
        if (workspace && std::find(workspace->models.begin(), workspace->models.end(), old) !=
                             workspace->models.end())
            workspace->removeModel(old);
        else
            delete old;
    }
    pushTransformWithUndo(DoItem::DO_T_TRANSLATE);
    updateGeometry(false);
    // The model rests 3 mm above the platform; its pillars keep their feet down there.
    const float c = 3.0f - bboxMin.z();
    if (c != 0.0f) {
        translateBy(0.0f, 0.0f, c);
        updateGeometry(true);
    }
    auto *base = new SupportBase();
    base->build(this, thicknessMm);
    supportBase = base;
    qDebug() << "Model::makeSupportBase end";
    return base;
}
