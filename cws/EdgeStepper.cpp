#include "cws/EdgeStepper.h"

#include <algorithm>

namespace CWS {

namespace {

int floorDiv(qint64 numerator, qint64 denominator, int &remainder)
{
    qint64 q = numerator / denominator;
    qint64 r = numerator - q * denominator;
    if (r < 0) {
        r += denominator;
        --q;
    }
    remainder = int(r);
    return int(q);
}

} // namespace

int EdgeStepper::interpolatedX(const LayerRaster::PixelEdge &e, int y)
{
    const bool firstLower = e.y0 < e.y1;
    const int xa = firstLower ? e.x0 : e.x1;
    const int ya = firstLower ? e.y0 : e.y1;
    const int xb = firstLower ? e.x1 : e.x0;
    const int yb = firstLower ? e.y1 : e.y0;
    return static_cast<int>(double(xa) + double(y - ya) / double(yb - ya) * double(xb - xa));
}

// Where the crossing's exact value, x_a + (y - y_a) (x_b - x_a) / (y_b - y_a), is not a whole
// number, it lies at least 1 / (y_b - y_a) away from one, far more than the double formula's
// rounding at these coordinates: both truncate alike, and integers follow the edge down
// without a division. Whole numbers go through the formula itself.
EdgeStepper::EdgeStepper(const LayerRaster::PixelEdge &e, int y)
    : m_row(y - 1), m_top(std::max(e.y0, e.y1)), m_edge(&e)
{
    const bool firstLower = e.y0 < e.y1;
    m_base = firstLower ? e.x0 : e.x1;
    m_lowY = firstLower ? e.y0 : e.y1;
    const auto far = [](int v) { return v <= -kNearLimit || v >= kNearLimit; };
    m_byFormula = far(e.x0) || far(e.x1) || far(e.y0) || far(e.y1);
    if (!m_byFormula) {
        m_height = m_top - m_lowY;
        m_stepWhole = floorDiv((firstLower ? e.x1 : e.x0) - m_base, m_height, m_stepPart);
        if (y == m_lowY) {
            // Most edges start on their lower end, which is a whole pixel.
            m_row = y;
            m_x = m_base;
            return;
        }
        m_whole = floorDiv(qint64(y - 1 - m_lowY) * (m_stepWhole * qint64(m_height) + m_stepPart),
                           m_height, m_part);
    }
    moveTo(y);
}

void EdgeStepper::moveFar(int y)
{
    if (m_byFormula) {
        m_x = interpolatedX(*m_edge, y);
        m_row = y;
        return;
    }
    if (y != m_row) {
        const qint64 run = qint64(m_stepWhole) * m_height + m_stepPart;
        m_whole = floorDiv(qint64(y - m_lowY) * run, m_height, m_part);
        m_row = y;
    }
    if (m_part != 0) {
        const int below = m_base + m_whole;
        m_x = below >= 0 ? below : below + 1;
    } else if (m_row == m_lowY || (m_stepWhole == 0 && m_stepPart == 0)) {
        m_x = m_base; // the lower end, or upright
    } else {
        m_x = interpolatedX(*m_edge, y);
    }
}

} // namespace CWS
