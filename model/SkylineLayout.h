#pragma once

#include <QVector>

// Packs rectangular footprints (LCD pixels) onto the plate along a skyline of horizontal
// lines, turning a footprint by 90 degrees when that places it lower.
namespace SkylineLayout {

struct Footprint
{
    int widthPx;
    int depthPx;
};

struct Placement
{
    int xPx;
    int yPx;
    bool rotated;
};

struct Result
{
    QVector<Placement> placements; // one per footprint, in order, while space lasted
    int usedWidthPx = 0;
    int usedDepthPx = 0;
};

// The footprints in the order they are placed (the caller sorts them).
Result pack(const QVector<Footprint> &footprints, int plateWidthPx, int plateDepthPx);

} // namespace SkylineLayout
