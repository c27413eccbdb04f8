#pragma once

#include "model/PickHit.h"

#include <QObject>
#include <QVector3D>

#include <vector>

class Model;
class SceneObjects;
class UndoList;
namespace CWS {
class SupportConfig;
}

// Supports for the selected model, or for all: a base slab under it, pillars placed by clicking
// (one point, or several collected with Shift for a multi-point support), the pillars the
// automatic run finds, and taking a model's support family away again.
class SupportController : public QObject
{
    Q_OBJECT
    // Clicks on the view place supports instead of selecting.
    Q_PROPERTY(bool manualAddingSupport READ isManualAddingSupport WRITE setManualAddingSupport
                   NOTIFY manualAddingSupportChanged)
public:
    SupportController(SceneObjects &scene, UndoList &undo, const CWS::SupportConfig &config,
                      QObject *parent = nullptr);

    // The thickness of the new slab, in mm.
    Q_INVOKABLE void addSupportBase(float thickness);
    Q_INVOKABLE void setManualAddingSupport(bool checked);
    Q_INVOKABLE void removeAllSupportsOfSelectedModel();
    bool isManualAddingSupport() const { return m_manualAddingSupport; }

    // The creations a manual click leads to; false when nothing was added.
    bool addSupportFromHit(const PickHit &hit);
    bool addMultiPointSupport(const std::vector<PickHit> &hits);
    // One point the automatic run found: a vertical pillar from there to the platform.
    void addAutoSupportPoint(Model *model, const QVector3D &topMm);

signals:
    void manualAddingSupportChanged();

private:
    SceneObjects &m_scene;
    UndoList &m_undo;
    const CWS::SupportConfig &m_config;
    bool m_manualAddingSupport = false;
};
