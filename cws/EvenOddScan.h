#pragma once

#include "cws/LayerRaster.h"

#include <vector>

namespace CWS {

// The even-odd fill of one segment list, a row at a time from the top: where the row crosses
// the edges, sorted, so that each pair of crossings bounds a white span. Only the active edges
// are visited on each row.
class EvenOddScan
{
public:
    // Edges in whole pixels, uncentred; rows outside [firstRowLimit, endRowLimit) are not
    // scanned.
    EvenOddScan(QVector<LayerRaster::PixelEdge> edges, int firstRowLimit, int endRowLimit);

    // The scanned rows: from the topmost edge end up to, not including, the lowest.
    int firstRow() const { return m_firstRow; }
    int endRow() const { return m_endRow; }

    // The crossings of row y, sorted, in xs. y must not decrease from call to call. A row that
    // crosses an odd number of edges is logged and gives none: the outline may be open there.
    void row(int y, std::vector<int> &xs);

    // The crossings of one edge with row y, where y lies in the edge's rows: a horizontal edge
    // gives both ends, any other its x on the row, but nothing on its upper end's row.
    static void appendCrossings(const LayerRaster::PixelEdge &e, int y, std::vector<int> &xs);
    static void logOddRow(int y, int count);

private:
    // Coordinates below this keep the double formula's rounding far inside 1 / dy of a pixel.
    static constexpr int kNearLimit = 1 << 20;

    // A sloped edge on the rows it crosses, kept in the order of its crossings. Its x follows
    // as a whole part and a remainder over its height.
    struct ActiveEdge
    {
        ActiveEdge() = default;
        ActiveEdge(const LayerRaster::PixelEdge &e, int y);
        // The next row in a step; others, and crossings on whole pixels, through moveFar.
        void moveTo(int y)
        {
            if (y == row + 1 && !byFormula) {
                row = y;
                whole += stepWhole;
                part += stepPart;
                if (part >= height) {
                    part -= height;
                    ++whole;
                }
                if (part != 0) {
                    const int below = base + whole; // the exact value lies between it and the next
                    x = below >= 0 ? below : below + 1;
                    return;
                }
            }
            moveFar(y);
        }
        void moveFar(int y);

        int x = 0; // on row
        int row = 0;
        int top = 0;
        int base = 0;
        int lowY = 0;
        int height = 0;
        int whole = 0, part = 0;
        int stepWhole = 0, stepPart = 0;
        bool byFormula = false;
        const LayerRaster::PixelEdge *edge = nullptr;
    };

    QVector<LayerRaster::PixelEdge> m_edges; // by upper end, the lower y
    std::vector<ActiveEdge> m_active;        // by x on the last row
    std::vector<int> m_flat;                 // horizontal edges' ends on this row
    int m_next = 0;
    int m_firstRow = 0;
    int m_endRow = 0;
};

} // namespace CWS
