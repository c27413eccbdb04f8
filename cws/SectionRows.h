#pragma once

#include "cws/CosmeticLine.h"
#include "cws/EvenOddScan.h"
#include "cws/LayerRaster.h"

#include <QLine>
#include <QSize>
#include <QVector>

#include <vector>

namespace CWS {

// The white pixels that drawing segment lists centred on an image gives (each list's outline
// and its even-odd fill, lists united), a row at a time as sorted runs, without the image.
// Outline edges that reach outside the image are left to QPainter, which clips them.
class SectionRows
{
public:
    explicit SectionRows(QSize imageSize);

    // One list's edges in whole pixels, uncentred. Call before the first row().
    void addList(const QVector<LayerRaster::PixelEdge> &edges);

    // Outline edges, centred, with an end outside the image: their pixels are not in the rows.
    const QVector<QLine> &outsideLines() const { return m_outsideLines; }

    // Rows outside [firstRow(), endRow()) hold nothing.
    int firstRow() const { return m_firstRow; }
    int endRow() const { return m_endRow; }

    // Row y's white pixels: sorted runs inside the image, apart from each other by at least a
    // black pixel. y must not decrease from call to call; the runs stay valid until the next.
    const std::vector<LayerRaster::PixelRun> &row(int y);

private:
    void start();
    void build(int y);

    QSize m_size;
    int m_halfWidth;
    int m_halfHeight;
    int m_firstRow;
    int m_endRow;
    bool m_started = false;
    int m_builtRow;
    int m_nextRow;
    std::vector<EvenOddScan> m_scans; // by first row once started
    size_t m_nextScan = 0;
    std::vector<EvenOddScan *> m_activeScans;
    std::vector<CosmeticLine> m_lines; // by first row once started
    size_t m_nextLine = 0;
    struct ActiveLine
    {
        CosmeticLine line;
        LayerRaster::PixelRun run; // this row's
    };
    std::vector<ActiveLine> m_activeLines; // by their runs' first columns
    QVector<QLine> m_outsideLines;
    std::vector<int> m_crossings;
    std::vector<LayerRaster::PixelRun> m_spans;
    std::vector<LayerRaster::PixelRun> m_runs;
};

} // namespace CWS
