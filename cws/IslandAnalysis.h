#pragma once

#include <QRect>

#include <climits>
#include <cstdint>
#include <vector>

class QImage;

// Which regions of a layer start in mid-air and where their supports go: plain functions on
// pixel maps with one entry per LCD pixel, row-major, layer numbers counted from 0.
namespace CWS::IslandAnalysis {

// The solid pixels of one row: columns x0 up to but not including x1.
struct PixelRun
{
    int row;
    int x0;
    int x1;
};

// One connected solid region (four-neighbour) of one layer.
struct Island
{
    int number = 0; // 1, 2, ... in column-major order of each island's first pixel
    int spacingPixels = 0;
    int maxX = INT_MIN;
    int maxY = INT_MIN;
    int minX = INT_MAX;
    int minY = INT_MAX;
    int area = 0;
    int layer = 0;
    int overlap = 0; // pixels that were also solid in the layer just below
    int width = 0;
    int height = 0;
};

// A contact point in pixels; baseLayer is the highest solid layer below it (0 when none).
struct SupportPixel
{
    int column;
    int row;
    int layer;
    int baseLayer;
};

// The maps of one run. currentLayer holds L where a pixel is solid in layer L; lastSolidLayer
// the highest layer below in which it was solid. The island map is all 0 between layers.
struct LayerMaps
{
    int width = 0;
    int height = 0;
    std::vector<uint16_t> currentLayer;
    std::vector<uint16_t> lastSolidLayer;
    std::vector<int32_t> islandMap;
    std::vector<PixelRun> markedRuns; // where currentLayer is not 0
    // Layer 0 leaves no mark in the maps; what rests on it at layer 1 is told by its runs.
    std::vector<PixelRun> layerZeroRuns;

    void allocate(int widthPx, int heightPx);
    // Starts a model: nothing solid below anything.
    void resetModel();
    bool isAllocated() const { return width > 0 && height > 0; }
};

// supportSpacing x pixels per mm, truncated, then down to an even number.
int spacingPixels(float spacingMm, double xPixelsPerMm);
// 2 mm in layers, truncated; the thickness is widened from single precision first.
int clearanceLayers(float layerThicknessMm);

// Solid pixels inside window (clipped to the image): grey value >= 250, or a set bit in a
// 1-bit image (most significant bit first). Rows ascending, columns ascending within a row.
std::vector<PixelRun> solidRuns(const QImage &image, const QRect &window);
// The same, appended to runs.
void appendSolidRuns(std::vector<PixelRun> &runs, const QImage &image, const QRect &window);

// The islands of a layer whose solid pixels are runs, numbered in order of discovery;
// runIsland (when given) gets each run's index into the result.
std::vector<Island> findIslands(const LayerMaps &maps, const std::vector<PixelRun> &runs, int layer,
                                int spacingPixels, std::vector<int> *runIsland);

// Contact points for an island that touches nothing below: its centre when it is small,
// otherwise a scan at spacing + 1 pixel steps. Pixels with material less than clearanceLayers
// below get one only when the scan found no other: then the pixel nearest the centre, eligible
// ones first, so that no island is left without a pillar. islandRuns are the island's own runs;
// maps.currentLayer must hold the layer.
std::vector<SupportPixel> placeSupports(LayerMaps &maps, const Island &island,
                                        const std::vector<PixelRun> &islandRuns,
                                        int clearanceLayers);

// One layer from bottom to top: marks it, finds the islands (from layer 1 on) and places
// supports on every island without overlap, then records the layer as the last solid one.
std::vector<SupportPixel> analyseLayer(LayerMaps &maps, const std::vector<PixelRun> &runs,
                                       int layer, int spacingPixels, int clearanceLayers,
                                       std::vector<Island> *islandsOut = nullptr);

} // namespace CWS::IslandAnalysis
