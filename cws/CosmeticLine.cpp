#include "cws/CosmeticLine.h"

namespace CWS {

namespace {

// 16.16 slope, truncated toward zero as the raster engine divides.
int fixedSlope(int minor, int major)
{
    return int((qint64(minor) * 65536) / major);
}

// The engine's first sample, 16.16, on a pixel grid of 26.6 units: the start moved back half a
// step by the square cap, then forward to the first pixel centre the cap leaves.
qint64 firstSample(int start, int inc)
{
    const qint64 begin = qint64(start) * 65536 - (inc >> 1);
    const int round = inc > 0 ? 32 : 0;
    return begin + ((qint64(32 + round) * inc) >> 6);
}

} // namespace

CosmeticLine::CosmeticLine(int x0, int y0, int x1, int y1)
{
    if (x0 == x1 && y0 == y1) {
        // A point: the engine draws the one pixel under it.
        m_steep = true;
        m_firstRow = m_lastRow = m_row = y0;
        m_pos = qint64(x0) * 65536;
        return;
    }
    if (std::abs(x1 - x0) < std::abs(y1 - y0)) {
        if (y0 > y1) {
            std::swap(x0, x1);
            std::swap(y0, y1);
        }
        m_steep = true;
        m_inc = fixedSlope(x1 - x0, y1 - y0);
        m_pos = firstSample(x0, m_inc);
        m_firstRow = m_row = y0;
        m_lastRow = y1;
        return;
    }
    if (x0 > x1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
    }
    m_inc = fixedSlope(y1 - y0, x1 - x0);
    const qint64 first = firstSample(y0, m_inc);
    const qint64 last = first + qint64(x1 - x0) * m_inc;
    if (m_inc >= 0) {
        m_pos = first;
        m_column = x0;
        m_lastColumn = x1;
        m_columnStep = 1;
    } else {
        // Rows fall as columns rise: walk from the right end so rows come out in order.
        m_pos = last;
        m_column = x1;
        m_lastColumn = x0;
        m_columnStep = -1;
        m_inc = -m_inc;
    }
    m_firstRow = m_row = int(std::min(first, last) >> 16);
    m_lastRow = int(std::max(first, last) >> 16);
}

} // namespace CWS
