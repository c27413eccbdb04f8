#pragma once

#include "cws/LayerRaster.h"

namespace CWS {

// Where a sloped edge crosses the pixel rows from its lower end down, one row after another:
// the double formula's truncated x, followed as a whole part and a remainder over the edge's
// height instead of a division a row.
class EdgeStepper
{
public:
    EdgeStepper() = default;
    // At row y, which lies in the edge's rows.
    EdgeStepper(const LayerRaster::PixelEdge &e, int y);

    // x where a non-horizontal edge meets row y, truncated toward zero.
    static int interpolatedX(const LayerRaster::PixelEdge &e, int y);

    int x() const { return m_x; }
    int row() const { return m_row; }
    // The upper end's row, where the edge gives no crossing.
    int top() const { return m_top; }

    void moveTo(int y)
    {
        if (y == m_row + 1 && !m_byFormula) {
            m_row = y;
            m_whole += m_stepWhole;
            m_part += m_stepPart;
            if (m_part >= m_height) {
                m_part -= m_height;
                ++m_whole;
            }
            if (m_part != 0) {
                const int below = m_base + m_whole; // the exact value lies between it and the next
                m_x = below >= 0 ? below : below + 1;
                return;
            }
        }
        moveFar(y);
    }

private:
    // Coordinates below this keep the double formula's rounding far inside 1 / dy of a pixel.
    static constexpr int kNearLimit = 1 << 20;

    // Rows other than the next, and crossings on whole pixels.
    void moveFar(int y);

    int m_x = 0; // on m_row
    int m_row = 0;
    int m_top = 0;
    int m_base = 0;
    int m_lowY = 0;
    int m_height = 0;
    int m_whole = 0, m_part = 0;
    int m_stepWhole = 0, m_stepPart = 0;
    bool m_byFormula = false;
    const LayerRaster::PixelEdge *m_edge = nullptr;
};

} // namespace CWS
