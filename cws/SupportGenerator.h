#pragma once

#include "cws/CancelToken.h"
#include "cws/IslandAnalysis.h"
#include "cws/JobSnapshot.h"

#include <QRect>
#include <QThread>

#include <atomic>
#include <vector>

namespace CWS {

// One automatic support run: renders each normal model of its snapshot alone, layer by layer,
// and reports a contact point for every region that starts in mid-air. Objects are named by
// their position in the snapshot. Created per run, without a parent.
class SupportGenerator : public QThread
{
    Q_OBJECT
public:
    // The job's objects in order, its settings (drawn at the job's own resolution), the spacing
    // of supports in mm, and the scene's layer count that the progress ratio divides by.
    SupportGenerator(JobSnapshot job, float supportSpacingMm, int sceneLayerCount,
                     CancelToken cancel);
    ~SupportGenerator() override;

    int pointsEmitted() const { return m_pointsEmitted.load(); }

signals:
    // Before the points of an object: the object it works on now.
    void objectStarted(int objectIndex);
    void genNewSupport(float x, float y, float z, float zbase, int objectIndex);
    // After each analysed layer but the scene's last.
    void progressed(float ratio);

protected:
    void run() override;

private:
    bool cancelled() const { return m_cancel.isCancelled(); }
    void processObject(int objectIndex);
    void runLayers(int objectIndex, const std::vector<ObjectSnapshot> &alone, int layerCount,
                   const QRect &window);
    void emitSupport(int objectIndex, const IslandAnalysis::SupportPixel &point);
    // Pixel rectangle that can hold the object's solid pixels, with a small margin.
    QRect pixelWindow(const ObjectSnapshot &object) const;

    JobSnapshot m_job;
    float m_supportSpacingMm;
    int m_sceneLayerCount;
    CancelToken m_cancel;
    int m_spacingPixels = 0;
    int m_clearanceLayers = 0;
    IslandAnalysis::LayerMaps m_maps;
    std::atomic_int m_pointsEmitted{0};
};

} // namespace CWS
