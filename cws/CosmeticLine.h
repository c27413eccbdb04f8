#pragma once

#include <QtGlobal>

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

} // namespace CWS
