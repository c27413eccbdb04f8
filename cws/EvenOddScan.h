#pragma once

#include "cws/LayerRaster.h"

#include <vector>

// The even-odd fill's rule for one edge and one row, shared by the plain drawing and the fast
// one.
namespace CWS::EvenOddScan {

// The crossings of one edge with row y, where y lies in the edge's rows: a horizontal edge
// gives both ends, any other its x on the row, but nothing on its upper end's row.
void appendCrossings(const LayerRaster::PixelEdge &e, int y, std::vector<int> &xs);

// A row that crosses an odd number of edges is logged and filled nowhere: the outline may be
// open there.
void logOddRow(int y, int count);

} // namespace CWS::EvenOddScan
