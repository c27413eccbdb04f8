#pragma once

#include "cws/IslandAnalysis.h"
#include "cws/SliceBuildConfig.h"

#include <QRect>
#include <QThread>

#include <atomic>
#include <vector>

class Model;
class QuorModel;

namespace CWS {

class SupportConfig;

// One automatic support run: renders each model alone layer by layer and emits a contact
// point for every region that starts in mid-air. Created per run, without a parent.
class SupportGenerator : public QThread
{
    Q_OBJECT
public:
    explicit SupportGenerator(SupportConfig *config);
    ~SupportGenerator() override;

    // Fixed on the GUI thread before start, so the worker never reads the live object list
    // or the shared settings: the models in order, a copy of the job settings, and the
    // scene's layer count that the progress ratio divides by.
    void setJob(const std::vector<Model *> &models, const SliceBuildConfig &settings,
                int sceneLayerCount);

    int pointsEmitted() const { return m_pointsEmitted.load(); }

signals:
    void genNewSupport(float x, float y, float z, float zbase, Model *model);

protected:
    void run() override;

private:
    bool cancelled() const;
    void processModel(Model *model);
    void runLayers(Model *model, int layerCount, const QRect &window);
    void emitSupport(Model *model, const IslandAnalysis::SupportPixel &point);
    void reportProgress(int layersDone);
    void selectInWorkspace(Model *model);
    // Pixel rectangle that can hold the model's solid pixels, with a small margin.
    QRect pixelWindow(const Model *model) const;

    SupportConfig *m_config;
    QuorModel *m_workspace;
    const std::atomic_bool *m_cancel;
    std::atomic_bool m_noCancel{false};
    std::vector<Model *> m_models;
    SliceBuildConfig m_settings;
    int m_sceneLayerCount = 0;
    int m_spacingPixels = 0;
    int m_clearanceLayers = 0;
    IslandAnalysis::LayerMaps m_maps;
    std::atomic_int m_pointsEmitted{0};
};

} // namespace CWS
