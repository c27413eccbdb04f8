#pragma once

#include "cws/CancelToken.h"
#include "cws/IslandScanResult.h"
#include "cws/JobSnapshot.h"

#include <QRect>

#include <functional>

// Where a print would start in mid-air. Every layer of the job is drawn as the slicer draws it
// (one bit a pixel, anti-aliasing ignored, the job's printer, thickness and pixel pitch), and in
// layer L > 0 each four-connected solid region none of whose pixels is solid in layer L - 1 is
// an island. Regions of layer 0 rest on the plate. A region of a single pixel counts.
//
// An island belongs to the first object of the job (in its list order) whose own drawing of
// the layer has a solid pixel in the region: with a support grown into a model, the one listed
// first is named.
namespace CWS::IslandScan {

// Layer numbers beyond this are refused rather than risk a wrapped counter downstream.
constexpr int kMaxLayers = 65535;

// Called on the calling thread after each analysed layer.
using Progress = std::function<void(int doneLayers, int layerCount)>;

// Layers drawn on every core, labelled by runs (union-find over overlapping runs of adjacent
// rows), tested against the runs of the layer below in layer order. Returns promptly with a
// cancelled result once cancel is set.
IslandScanResult scan(const JobSnapshot &job, const CancelToken &cancel,
                      const Progress &progress = Progress());

// The plain twin: one layer after the other, a flood fill over whole images, each region's
// pixels looked up in the image below. scan must give exactly its result.
IslandScanResult scanPlain(const JobSnapshot &job, const CancelToken &cancel);

// What both share: the job's layer count (as the slicer counts it, from the highest point of
// its objects) and what rules a job out, empty when nothing does.
int layerCountOf(const JobSnapshot &job);
QString sceneProblem(const JobSnapshot &job, int layerCount);

// The island whose pixels span boundsPx (image pixels) and number pixelCount, in plate mm.
SceneIsland islandFromPixels(const JobSnapshot &job, int layer, float zMm, const QRect &boundsPx,
                             int pixelCount, int objectIndex);

} // namespace CWS::IslandScan
