// The workspace's support edits: bases, manual pillars and multi-point supports.
#include "workspace/QuorModel.h"

#include "config/QuorConfig.h"
#include "model/MultiPointSupport.h"
#include "model/Support.h"
#include "model/SupportLinker.h"

#include <QDebug>

#include <algorithm>

void QuorModel::addSupportBase(float thickness)
{
    if (refuseWhileBusy("addSupportBase"))
        return;
    qDebug() << "QuorModel::addSupportBase";
    // Replacing a base frees the old one and changes the list: the models to act on are picked
    // first, and only models, never a base that the loop may free.
    std::vector<Model *> targets;
    if (Model *sel = getSelectedModel())
        targets.push_back(sel);
    else
        targets = models;
    targets.erase(std::remove_if(targets.begin(), targets.end(),
                                 [](const Model *m) { return m->type != Model::TYPE_NORMAL; }),
                  targets.end());
    for (Model *target : targets) {
        // The old slab leaves the scene before the new one is made.
        if (target->supportBase)
            removeModel(target->supportBase);
        addModel(target->makeSupportBase(thickness, &undoList));
    }
    setModelStatus(status, true);
}

void QuorModel::setManualAddingSupport(bool checked)
{
    qDebug() << "set manual add support mode" << checked;
    if (manualAddingSupport == checked)
        return;
    manualAddingSupport = checked;
    emit manualAddingSupportChanged();
}

bool QuorModel::addSupportFromHit(const PickHit &hit)
{
    if (refuseWhileBusy("addSupportFromHit"))
        return false;
    if (!(hit.point.z() >= 0.1f)) {
        qWarning() << "support is too low, not create";
        return false;
    }
    auto *pillar = new CWS::Support(m_config.supportConfig());
    if (!pillar->build(hit.object, hit.point, hit.normal)) {
        delete pillar;
        return false;
    }
    if (SupportLinker *linker = pillar->linkToNearest())
        addModel(linker);
    addModel(pillar);
    setModelStatus(status, true);
    emit quorModelDataChanged();
    return true;
}

bool QuorModel::addMultiPointSupport(const std::vector<PickHit> &hits)
{
    if (refuseWhileBusy("addMultiPointSupport"))
        return false;
    qDebug() << "create multi point support" << hits.size();
    Model *owner = hits.empty() ? nullptr : hits.front().object;
    auto *multi = new MultiPointSupport(m_config.supportConfig(), owner);
    if (!multi->build(hits)) {
        delete multi;
        qWarning() << "create multi points support failed";
        return false;
    }
    addModel(multi);
    setModelStatus(status, true);
    emit quorModelDataChanged();
    return true;
}
