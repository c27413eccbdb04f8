#include "workspace/Workspace.h"

#include "config/QuorConfig.h"
#include "workspace/IslandController.h"
#include "workspace/IslandRegionPreview.h"
#include "workspace/JobController.h"
#include "workspace/LayerPreview.h"
#include "workspace/PanelState.h"
#include "workspace/SceneObjects.h"
#include "workspace/SupportController.h"
#include "workspace/TransformController.h"
#include "workspace/UndoController.h"

#include <QDebug>
#include <QThread>

Workspace::Workspace(QuorConfig &config, QObject *parent)
    : QObject(parent), m_config(config),
      m_scene(std::make_unique<SceneObjects>(config, m_undoList)),
      m_supports(
          std::make_unique<SupportController>(*m_scene, m_undoList, *config.supportConfig())),
      m_transform(std::make_unique<TransformController>(*m_scene, m_undoList, config)),
      m_layers(std::make_unique<LayerPreview>(*m_scene, config)),
      m_jobs(std::make_unique<JobController>(*m_scene, m_undoList, *m_supports, config)),
      m_undo(std::make_unique<UndoController>(*m_scene, m_undoList)),
      m_panel(std::make_unique<PanelState>(*m_scene, *m_supports, *m_jobs)),
      m_islands(std::make_unique<IslandController>(*m_scene, *m_jobs, config)),
      m_islandRegions(std::make_unique<IslandRegionPreview>(*m_islands, *m_layers))
{
}

Workspace::~Workspace()
{
    qDebug() << QThread::currentThreadId() << "QuorModel::~QuorModel()";
    m_islandRegions.reset();
    // Cancels and waits for a running analysis: no answer may reach a freed controller.
    m_islands.reset();
    m_panel.reset();
    m_undo.reset();
    // Waits for a running job, whose threads read the meshes the scene is about to free.
    m_jobs.reset();
    qDebug() << QThread::currentThreadId() << "QuorModel::~QuorModel() end";
    m_layers.reset();
    m_transform.reset();
    m_supports.reset();
    m_undoList.clear();
    m_scene.reset();
}
