#include "workspace/SupportController.h"

#include "model/MultiPointSupport.h"
#include "model/Support.h"
#include "model/SupportLinker.h"
#include "workspace/SceneObjects.h"

#include <QDebug>

#include <algorithm>

SupportController::SupportController(SceneObjects &scene, UndoList &undo,
                                     const CWS::SupportConfig &config, QObject *parent)
    : QObject(parent), m_scene(scene), m_undo(undo), m_config(config)
{
}

void SupportController::addSupportBase(float thickness)
{
    if (m_scene.refuseWhileBusy("addSupportBase"))
        return;
    qDebug() << "QuorModel::addSupportBase";
    // Replacing a base frees the old one and changes the list: the models to act on are picked
    // first, and only models, never a base that the loop may free.
    for (Model *target : m_scene.selectedOrAllModels()) {
        // The old slab leaves the scene before the new one is made.
        if (target->supportBase)
            m_scene.removeModel(target->supportBase);
        m_scene.addModel(target->makeSupportBase(thickness, &m_undo));
    }
    m_scene.setModelStatus(m_scene.status(), true);
}

void SupportController::setManualAddingSupport(bool checked)
{
    qDebug() << "set manual add support mode" << checked;
    if (m_manualAddingSupport == checked)
        return;
    m_manualAddingSupport = checked;
    m_scene.setModelsLocked(checked);
    emit manualAddingSupportChanged();
}

void SupportController::removeAllSupportsOfSelectedModel()
{
    if (m_scene.refuseWhileBusy("removeAllSupportsOfSelectedModel"))
        return;
    Model *sel = m_scene.getSelectedModel();
    if (!sel)
        return;
    for (Model *child : sel->takeAllSupports())
        m_scene.removeModel(child);
    // Selected again, so that the window hears that the supports are gone.
    m_scene.selectModel(sel);
}

bool SupportController::addSupportFromHit(const PickHit &hit)
{
    if (m_scene.refuseWhileBusy("addSupportFromHit"))
        return false;
    if (!(hit.point.z() >= 0.1f)) {
        qWarning() << "support is too low, not create";
        return false;
    }
    auto *pillar = new CWS::Support(&m_config);
    if (!pillar->build(hit.object, hit.point, hit.normal)) {
        delete pillar;
        return false;
    }
    if (SupportLinker *linker = pillar->linkToNearest())
        m_scene.addModel(linker);
    m_scene.addModel(pillar);
    m_scene.setModelStatus(m_scene.status(), true);
    m_scene.notifyDataChanged();
    return true;
}

bool SupportController::addMultiPointSupport(const std::vector<PickHit> &hits)
{
    if (m_scene.refuseWhileBusy("addMultiPointSupport"))
        return false;
    qDebug() << "create multi point support" << hits.size();
    Model *owner = hits.empty() ? nullptr : hits.front().object;
    auto *multi = new MultiPointSupport(&m_config, owner);
    if (!multi->build(hits)) {
        delete multi;
        qWarning() << "create multi points support failed";
        return false;
    }
    m_scene.addModel(multi);
    m_scene.setModelStatus(m_scene.status(), true);
    m_scene.notifyDataChanged();
    return true;
}

void SupportController::addAutoSupportPoint(Model *model, const QVector3D &topMm)
{
    if (!model) {
        qWarning() << "auto support for a model that is gone";
        return;
    }
    auto *support = new CWS::Support(&m_config);
    if (!support->build(model, topMm, QVector3D(0.0f, 0.0f, 1.0f))) {
        delete support;
        return;
    }
    if (SupportLinker *linker = support->linkToNearest())
        m_scene.addModel(linker);
    // Joins the scene with a creation record; an open layer preview sizes its cut cache.
    m_scene.addModel(support);
    m_scene.notifyDataChanged();
}
