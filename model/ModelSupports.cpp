// Model operations on its support family: lookup, copies, removal and the base.
#include "cws/Support.h"
#include "model/Model.h"

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
