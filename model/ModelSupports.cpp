// Model operations on its support family: lookup, copies, removal and the base.
#include "model/DoItem.h"
#include "model/Model.h"
#include "model/MultiPointSupport.h"
#include "model/Support.h"
#include "model/SupportBase.h"
#include "model/SupportLinker.h"

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

Model *Model::makeSupportBase(float thicknessMm, UndoList *undo)
{
    qDebug() << "TODO: Model::makeSupportBase" << thicknessMm;
    if (supportBase) {
        Model *old = supportBase;
        supportBase = nullptr;
        delete old;
    }
    pushTransformWithUndo(undo, DoItem::DO_T_TRANSLATE);
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

Model::Duplicates Model::duplicateWithSupports(UndoList *undo)
{
    updateGeometry(false);
    Model *copy = duplicate(true, undo);
    Duplicates out;
    out.objects.push_back(copy);
    if (auto *base = dynamic_cast<SupportBase *>(supportBase)) {
        auto *baseCopy = new SupportBase();
        baseCopy->build(copy, base->thickness);
        out.objects.push_back(baseCopy);
    }
    for (Model *source : supports) {
        Model *clone = nullptr;
        if (auto *multi = dynamic_cast<MultiPointSupport *>(source))
            clone = new MultiPointSupport(*multi);
        else if (auto *pillar = dynamic_cast<CWS::Support *>(source))
            clone = new CWS::Support(*pillar);
        if (!clone)
            continue;
        copy->attachChild(clone);
        clone->updateGeometry(true);
        // Linkers are not copied; the copies brace themselves anew.
        if (clone->type == TYPE_SUPPORT) {
            if (SupportLinker *linker = static_cast<CWS::Support *>(clone)->linkToNearest())
                out.linkers.push_back(linker);
        }
        out.objects.push_back(clone);
    }
    return out;
}

namespace {

bool linkerEndsAt(const Model *object, const Model *support)
{
    const auto *linker = dynamic_cast<const SupportLinker *>(object);
    return linker && (linker->supportA == support || linker->supportB == support);
}

// Unhooks every linker of owner that ends at support, into taken.
void takeLinkersAt(Model *owner, const Model *support, std::vector<Model *> &taken)
{
    const std::vector<Model *> current = owner->linkers;
    for (Model *linker : current) {
        if (!linkerEndsAt(linker, support))
            continue;
        owner->linkers.erase(std::remove(owner->linkers.begin(), owner->linkers.end(), linker),
                             owner->linkers.end());
        taken.push_back(linker);
    }
}

} // namespace

std::vector<Model *> Model::takeAllSupports()
{
    qDebug() << "remove all supports of" << this;
    std::vector<Model *> taken;
    if (supportBase) {
        qDebug() << "remove base support" << supportBase;
        taken.push_back(supportBase);
        supportBase = nullptr;
    }
    const std::vector<Model *> current = supports;
    for (Model *support : current) {
        qDebug() << "remove suport" << support;
        takeLinkersAt(this, support, taken);
        taken.push_back(support);
    }
    supports.clear();
    if (type == TYPE_SUPPORT && parent)
        takeLinkersAt(parent, this, taken);
    return taken;
}
