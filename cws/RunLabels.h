#pragma once

#include "cws/IslandAnalysis.h"

#include <vector>

// Four-connected regions of one layer from its solid runs: runs of neighbouring rows that
// share a column belong together, joined by union-find.
namespace CWS::RunLabels {

using IslandAnalysis::PixelRun;

// runs ordered by row, then by column. componentOfRun gets, for each run, its region's
// number: 0, 1, ... in the order of each region's first run (its first pixel, row-major).
// Returns the number of regions.
int label(const std::vector<PixelRun> &runs, std::vector<int> &componentOfRun);

// Whether any pixel of run is in below, itself ordered by row and column. cursor is where the
// search in below starts; it only moves forward, so a caller testing runs in order passes the
// same cursor every time and the whole test is one merge.
bool overlapsAny(const PixelRun &run, const std::vector<PixelRun> &below, size_t &cursor);

} // namespace CWS::RunLabels
