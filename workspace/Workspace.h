#pragma once

#include "model/UndoList.h"

#include <QObject>

#include <memory>

class IslandController;
class IslandRegionPreview;
class JobController;
class LayerPreview;
class PanelState;
class QuorConfig;
class SceneObjects;
class SupportController;
class TransformController;
class UndoController;

// The workspace's parts, made and wired together once: the scene with its selection and
// status, the selected object's transform, supports, background jobs, the layer preview, undo
// and the state of the window's controls. Start-up creates it and hands the parts to the
// documents; it has no behaviour of its own.
class Workspace : public QObject
{
    Q_OBJECT
public:
    explicit Workspace(QuorConfig &config, QObject *parent = nullptr);
    // Stops a running job before any object it reads is freed.
    ~Workspace() override;

    QuorConfig &config() const { return m_config; }
    UndoList &undoList() { return m_undoList; }
    const UndoList &undoList() const { return m_undoList; }
    SceneObjects *scene() const { return m_scene.get(); }
    TransformController *transform() const { return m_transform.get(); }
    SupportController *supports() const { return m_supports.get(); }
    JobController *jobs() const { return m_jobs.get(); }
    LayerPreview *layers() const { return m_layers.get(); }
    UndoController *undo() const { return m_undo.get(); }
    PanelState *panel() const { return m_panel.get(); }
    IslandController *islands() const { return m_islands.get(); }
    IslandRegionPreview *islandRegions() const { return m_islandRegions.get(); }

private:
    QuorConfig &m_config;
    // Declared in the order they depend on each other: freed the other way round.
    UndoList m_undoList;
    std::unique_ptr<SceneObjects> m_scene;
    std::unique_ptr<SupportController> m_supports;
    std::unique_ptr<TransformController> m_transform;
    std::unique_ptr<LayerPreview> m_layers;
    std::unique_ptr<JobController> m_jobs;
    std::unique_ptr<UndoController> m_undo;
    std::unique_ptr<PanelState> m_panel;
    std::unique_ptr<IslandController> m_islands;
    std::unique_ptr<IslandRegionPreview> m_islandRegions;
};
