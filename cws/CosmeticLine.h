#pragma once

#include <QtGlobal>

#include <algorithm>
#include <cstdlib>

namespace CWS {

// The pixels QPainter sets for an aliased line of a one-pixel pen (square caps) between two
// whole-pixel points that both lie inside the image, handed out a row at a time from the top
// row down. The steps are the raster engine's own: 26.6 coordinates, a 16.16 slope truncated
// toward zero, half a step back at the first pixel, one pixel per step along the longer axis.
class CosmeticLine
{
public:
    CosmeticLine(int x0, int y0, int x1, int y1);

    int firstRow() const { return m_firstRow; }
    int lastRow() const { return m_lastRow; }
    // The row the next call to nextRow() gives.
    int nextRowIndex() const { return m_row; }

    // The columns [from, to] set on the next row, starting at firstRow(); every row up to
    // lastRow() has at least one. Calls past lastRow() give nothing.
    bool nextRow(int &from, int &to);

private:
    bool m_steep = false;
    int m_firstRow = 0;
    int m_lastRow = -1;
    int m_row = 0;
    // Steep: the 16.16 column of the next row. Shallow: the next column (first or last
    // pixel's, by the direction of travel) and its 16.16 row.
    qint64 m_pos = 0;
    int m_column = 0;
    int m_lastColumn = 0;
    int m_inc = 0;
    int m_columnStep = 1;
};

// Inline: it runs for every row of every outline line.
inline bool CosmeticLine::nextRow(int &from, int &to)
{
    if (m_row > m_lastRow)
        return false;
    if (m_steep) {
        from = to = int(m_pos >> 16);
        m_pos += m_inc;
        ++m_row;
        return true;
    }
    // Columns left on this row: the steps until the 16.16 row reaches the next one.
    const int left = std::abs(m_lastColumn - m_column) + 1;
    int count = left;
    if (m_inc > 0) {
        const qint64 toNext = (qint64(m_row + 1) << 16) - m_pos;
        count = int(std::min<qint64>(left, (toNext + m_inc - 1) / m_inc));
    }
    const int end = m_column + (count - 1) * m_columnStep;
    from = std::min(m_column, end);
    to = std::max(m_column, end);
    m_column = end + m_columnStep;
    m_pos += qint64(count) * m_inc;
    ++m_row;
    return true;
}

} // namespace CWS
