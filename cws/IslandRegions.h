#pragma once

#include "cws/CancelToken.h"
#include "cws/IslandAnalysis.h"

#include <QRect>
#include <QRectF>

#include <vector>

namespace CWS {

class JobSnapshot;

// One layer of a job as the island scan sees it: its solid runs (rows, then columns) and the
// four-connected region each run belongs to, numbered in the order of their first pixels.
struct LabelledLayer
{
    std::vector<IslandAnalysis::PixelRun> runs;
    std::vector<int> component;
    int count = 0;
};

// One island's pixels: its runs in row order, their bounding box and pixel count.
class IslandRegion
{
public:
    IslandRegion() = default;

    void add(const IslandAnalysis::PixelRun &run);
    const std::vector<IslandAnalysis::PixelRun> &runs() const { return m_runs; }
    const QRect &boundsPx() const { return m_boundsPx; }
    int pixelCount() const { return m_pixelCount; }

private:
    std::vector<IslandAnalysis::PixelRun> m_runs;
    QRect m_boundsPx;
    int m_pixelCount = 0;
};

// The islands of one layer drawn as plate rectangles at the layer's height, for the layer
// preview.
class IslandRegionRects
{
public:
    IslandRegionRects() = default;
    IslandRegionRects(int layer, float zMm, std::vector<QRectF> rectsMm)
        : m_layer(layer), m_zMm(zMm), m_rectsMm(std::move(rectsMm))
    {
    }

    int layer() const { return m_layer; }
    float zMm() const { return m_zMm; }
    const std::vector<QRectF> &rectsMm() const { return m_rectsMm; }

private:
    int m_layer = -1;
    float m_zMm = 0.0f;
    std::vector<QRectF> m_rectsMm;
};

namespace IslandRegions {

// The layer at zMm drawn as the scan draws it (one bit a pixel, the job's own resolution) and
// labelled into regions.
LabelledLayer labelLayer(const JobSnapshot &job, float zMm);

// For each region of current, its island number (0, 1, ... in region order), or -1 when a
// pixel of it lies on the layer below. Returns the number of islands.
int numberIslands(const LabelledLayer &current, const std::vector<IslandAnalysis::PixelRun> &below,
                  std::vector<int> &islandOfRegion);

// Layer L's islands with their pixels, in the scan's order: layers L - 1 and L drawn, labelled
// and compared exactly as the scan does. Empty for layer 0, a layer the job does not have, or
// when cancel is set.
std::vector<IslandRegion> ofLayer(const JobSnapshot &job, int layer, const CancelToken &cancel);

// The height layer L is cut at, the very float the scan uses.
float layerHeightMm(const JobSnapshot &job, int layer);

// Where pixel column (or row) k, counted from the image centre, begins and ends, in pixel
// widths from the plate centre. The rasterizer truncates toward zero: pixel k covers [k, k + 1)
// for k > 0, (k - 1, k] for k < 0 and (-1, 1) for k = 0.
double pixelLowEdge(int k);
double pixelHighEdge(int k);

// The plate area (mm, x and y from the plate centre) that image pixels boundsPx cover.
QRectF plateRect(const JobSnapshot &job, const QRect &boundsPx);

// A region's pixels as plate rectangles: runs of adjacent rows over the same columns merge
// into one.
std::vector<QRectF> plateRectangles(const JobSnapshot &job,
                                    const std::vector<IslandAnalysis::PixelRun> &runs);

// Every island of layer L as plate rectangles (nothing when cancelled).
IslandRegionRects rectsOfLayer(const JobSnapshot &job, int layer, const CancelToken &cancel);

} // namespace IslandRegions
} // namespace CWS
