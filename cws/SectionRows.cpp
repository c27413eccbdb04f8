#include "cws/SectionRows.h"

#include "cws/RowOrder.h"

#include <algorithm>
#include <climits>

namespace CWS {

namespace {

// The raster engine steps lines in 16.16 fixed point in an int: further out, QPainter draws them.
constexpr int kLineLimit = 32768;

bool startsBefore(const LayerRaster::PixelRun &l, const LayerRaster::PixelRun &r)
{
    return l.from < r.from;
}

} // namespace

SectionRows::SectionRows(QSize imageSize)
    : m_size(imageSize), m_halfWidth(imageSize.width() / 2), m_halfHeight(imageSize.height() / 2),
      m_firstRow(INT_MAX), m_endRow(INT_MIN), m_builtRow(INT_MIN), m_nextRow(INT_MIN)
{
}

void SectionRows::addList(const QVector<LayerRaster::PixelEdge> &edges)
{
    if (edges.isEmpty())
        return;
    const int w = m_size.width(), h = m_size.height();
    const int right = std::min(w, kLineLimit), bottom = std::min(h, kLineLimit);
    for (const LayerRaster::PixelEdge &e : edges) {
        const QLine line(e.x0 + m_halfWidth, e.y0 + m_halfHeight, e.x1 + m_halfWidth,
                         e.y1 + m_halfHeight);
        const bool inside =
            std::min(line.x1(), line.x2()) >= 0 && std::max(line.x1(), line.x2()) < right &&
            std::min(line.y1(), line.y2()) >= 0 && std::max(line.y1(), line.y2()) < bottom;
        if (!inside) {
            m_outsideLines.append(line);
            continue;
        }
        m_lines.emplace_back(line.x1(), line.y1(), line.x2(), line.y2());
        m_firstRow = std::min(m_firstRow, m_lines.back().firstRow());
        m_endRow = std::max(m_endRow, m_lines.back().lastRow() + 1);
    }
    // Rows outside the image fill nothing, so the scan skips them.
    m_scans.emplace_back(edges, -m_halfHeight, h - m_halfHeight);
    const EvenOddScan &scan = m_scans.back();
    if (scan.firstRow() < scan.endRow()) {
        m_firstRow = std::min(m_firstRow, scan.firstRow() + m_halfHeight);
        m_endRow = std::max(m_endRow, scan.endRow() + m_halfHeight);
    } else {
        m_scans.pop_back();
    }
}

void SectionRows::start()
{
    m_started = true;
    std::sort(m_scans.begin(), m_scans.end(), [](const EvenOddScan &l, const EvenOddScan &r) {
        return l.firstRow() < r.firstRow();
    });
    sortByRow(m_lines, [](const CosmeticLine &l) { return l.firstRow(); });
    m_nextRow = m_firstRow;
}

const std::vector<LayerRaster::PixelRun> &SectionRows::row(int y)
{
    if (!m_started)
        start();
    if (y == m_builtRow)
        return m_runs;
    if (y < m_firstRow || y >= m_endRow) {
        m_runs.clear();
        m_builtRow = y;
        return m_runs;
    }
    // Every row from the first on is built: the scans and lines step one row at a time.
    for (int skipped = m_nextRow; skipped < y; ++skipped)
        build(skipped);
    build(y);
    return m_runs;
}

void SectionRows::build(int y)
{
    m_builtRow = y;
    m_nextRow = y + 1;
    const int lastColumn = m_size.width() - 1;

    m_spans.clear();
    while (m_nextScan < m_scans.size() && m_scans[m_nextScan].firstRow() + m_halfHeight <= y)
        m_activeScans.push_back(&m_scans[m_nextScan++]);
    int listsWithSpans = 0;
    size_t kept = 0;
    for (EvenOddScan *scan : m_activeScans) {
        scan->row(y - m_halfHeight, m_crossings);
        listsWithSpans += m_crossings.empty() ? 0 : 1;
        for (size_t i = 0; i + 1 < m_crossings.size(); i += 2) {
            const int from = std::max(m_crossings[i] + m_halfWidth, 0);
            const int to = std::min(m_crossings[i + 1] + m_halfWidth, lastColumn);
            if (from <= to)
                m_spans.push_back({from, to});
        }
        if (scan->endRow() + m_halfHeight > y + 1)
            m_activeScans[kept++] = scan;
    }
    m_activeScans.resize(kept);
    if (listsWithSpans > 1)
        std::sort(m_spans.begin(), m_spans.end(), startsBefore);

    // The lines stay ordered by their runs: from row to row the order barely changes.
    while (m_nextLine < m_lines.size() && m_lines[m_nextLine].firstRow() <= y)
        m_activeLines.push_back({m_lines[m_nextLine++], {0, -1}});
    ActiveLine *lines = m_activeLines.data();
    const size_t lineCount = m_activeLines.size();
    for (size_t i = 0; i < lineCount; ++i) {
        lines[i].line.nextRow(lines[i].run.from, lines[i].run.to);
        shiftIntoPlace(lines, i, [](const ActiveLine &a) { return a.run.from; });
    }

    // Both in order: one pass unites them.
    const LayerRaster::PixelRun *spans = m_spans.data();
    const size_t spanCount = m_spans.size();
    m_runs.resize(spanCount + lineCount);
    LayerRaster::PixelRun *runs = m_runs.data();
    size_t runCount = 0, span = 0, line = 0;
    while (span < spanCount || line < lineCount) {
        const bool takeSpan =
            line == lineCount || (span < spanCount && spans[span].from <= lines[line].run.from);
        const LayerRaster::PixelRun next = takeSpan ? spans[span++] : lines[line++].run;
        if (runCount > 0 && next.from <= runs[runCount - 1].to + 1)
            runs[runCount - 1].to = std::max(runs[runCount - 1].to, next.to);
        else
            runs[runCount++] = next;
    }
    m_runs.resize(runCount);

    const auto done = [y](const ActiveLine &a) { return a.line.lastRow() <= y; };
    m_activeLines.erase(std::remove_if(m_activeLines.begin(), m_activeLines.end(), done),
                        m_activeLines.end());
}

} // namespace CWS
