#pragma once

#include "config/SliceBuildConfig.h"
#include "cws/IslandAnalysis.h"
#include "model/ObjectSnapshot.h"

#include <QImage>

#include <vector>

namespace CWS {

class JobSnapshot;

// One layer image of a job: every object (the plate never) cut at the layer's height and its
// contours filled, at the resolution and with the anti-aliasing that the settings carry.
namespace LayerDrawing {

struct Options
{
    // Grey (one byte a pixel) even without anti-aliasing, as automatic supports analyse it.
    bool grey = false;
    // The reference drawing (QPainter lines, a grey supersampled image reduced by
    // QImage::scaled) that the fast one must match pixel for pixel.
    bool plain = false;
};

// 1-bit unless anti-aliasing is on or grey is asked for. With anti-aliasing the models are
// drawn supersampled and reduced smoothly, the supports hard-edged at job resolution on top.
QImage drawLayer(const std::vector<ObjectSnapshot> &objects, const SliceBuildConfig &settings,
                 float zMm, const Options &options = Options());
// The solid runs of the 1-bit layer that drawLayer gives without anti-aliasing, appended to runs
// row by row, drawn without an image where the outlines allow.
void appendSolidRuns(std::vector<IslandAnalysis::PixelRun> &runs,
                     const std::vector<ObjectSnapshot> &objects, const SliceBuildConfig &settings,
                     float zMm);
// Layer zMm of a job exactly as the job writes it.
QImage drawLayer(const JobSnapshot &job, float zMm);

} // namespace LayerDrawing
} // namespace CWS
