#include "cws/EvenOddScan.h"

#include "cws/RowOrder.h"

#include <QDebug>

#include <algorithm>

namespace CWS {

namespace {

// x where a non-horizontal edge meets row y, a being its lower-y end.
int interpolatedX(const LayerRaster::PixelEdge &e, int y)
{
    const bool firstLower = e.y0 < e.y1;
    const int xa = firstLower ? e.x0 : e.x1;
    const int ya = firstLower ? e.y0 : e.y1;
    const int xb = firstLower ? e.x1 : e.x0;
    const int yb = firstLower ? e.y1 : e.y0;
    return static_cast<int>(double(xa) + double(y - ya) / double(yb - ya) * double(xb - xa));
}

int lowerY(const LayerRaster::PixelEdge &e)
{
    return std::min(e.y0, e.y1);
}

} // namespace

void EvenOddScan::appendCrossings(const LayerRaster::PixelEdge &e, int y, std::vector<int> &xs)
{
    if (e.y0 == y && e.y1 == y) {
        xs.push_back(e.x0);
        xs.push_back(e.x1);
        return;
    }
    // An edge owns its lower end on a row, not its upper end.
    if (y == std::max(e.y0, e.y1))
        return;
    xs.push_back(interpolatedX(e, y));
}

void EvenOddScan::logOddRow(int y, int count)
{
    qDebug().noquote()
        << QStringLiteral("Row y=%1 odd # of points = %2 - Model may have holes").arg(y).arg(count);
}

EvenOddScan::EvenOddScan(QVector<LayerRaster::PixelEdge> edges, int firstRowLimit, int endRowLimit)
    : m_edges(std::move(edges))
{
    if (m_edges.isEmpty())
        return;
    int minY = lowerY(m_edges.first());
    int maxY = minY;
    for (const LayerRaster::PixelEdge &e : qAsConst(m_edges)) {
        minY = std::min(minY, lowerY(e));
        maxY = std::max({maxY, e.y0, e.y1});
    }
    m_firstRow = std::max(minY, firstRowLimit);
    m_endRow = std::min(maxY, endRowLimit);
    if (m_firstRow >= m_endRow) {
        m_endRow = m_firstRow;
        return;
    }
    sortByRow(m_edges, lowerY);
}

void EvenOddScan::row(int y, std::vector<int> &xs)
{
    xs.clear();
    if (y < m_firstRow || y >= m_endRow)
        return;
    // An edge gives nothing on its upper end's row: it leaves there.
    ActiveEdge *active = m_active.data();
    const size_t count = m_active.size();
    size_t kept = 0;
    for (size_t i = 0; i < count; ++i) {
        if (active[i].top == y)
            continue;
        active[i].moveTo(y);
        if (kept != i)
            active[kept] = active[i];
        ++kept;
    }
    m_active.resize(kept);
    m_flat.clear();
    while (m_next < m_edges.size() && lowerY(m_edges.at(m_next)) <= y) {
        const LayerRaster::PixelEdge &e = m_edges.at(m_next++);
        const int top = std::max(e.y0, e.y1);
        if (top < y)
            continue; // ended before the first scanned row
        if (e.y0 == e.y1) {
            m_flat.push_back(e.x0);
            m_flat.push_back(e.x1);
        } else if (top > y) {
            m_active.emplace_back(e, y);
        }
    }
    // From row to row crossings keep their order, but where edges cross or enter.
    active = m_active.data();
    const size_t edges = m_active.size();
    for (size_t i = 1; i < edges; ++i)
        shiftIntoPlace(active, i, [](const ActiveEdge &a) { return a.x; });

    const size_t crossings = edges + m_flat.size();
    if (crossings % 2 != 0) {
        logOddRow(y, int(crossings));
        return;
    }
    xs.resize(crossings);
    int *out = xs.data();
    if (m_flat.empty()) {
        for (size_t i = 0; i < edges; ++i)
            out[i] = active[i].x;
        return;
    }
    std::sort(m_flat.begin(), m_flat.end());
    size_t flat = 0;
    for (size_t i = 0; i < edges; ++i) {
        while (flat < m_flat.size() && m_flat[flat] < active[i].x)
            *out++ = m_flat[flat++];
        *out++ = active[i].x;
    }
    std::copy(m_flat.begin() + std::ptrdiff_t(flat), m_flat.end(), out);
}

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

// Where the crossing's exact value, x_a + (y - y_a) (x_b - x_a) / (y_b - y_a), is not a whole
// number, it lies at least 1 / (y_b - y_a) away from one, far more than the double formula's
// rounding at these coordinates: both truncate alike, and integers follow the edge down
// without a division. Whole numbers go through the formula itself.
EvenOddScan::ActiveEdge::ActiveEdge(const LayerRaster::PixelEdge &e, int y)
    : row(y - 1), top(std::max(e.y0, e.y1)), edge(&e)
{
    const bool firstLower = e.y0 < e.y1;
    base = firstLower ? e.x0 : e.x1;
    lowY = firstLower ? e.y0 : e.y1;
    const auto far = [](int v) { return v <= -kNearLimit || v >= kNearLimit; };
    byFormula = far(e.x0) || far(e.x1) || far(e.y0) || far(e.y1);
    if (!byFormula) {
        height = top - lowY;
        stepWhole = floorDiv((firstLower ? e.x1 : e.x0) - base, height, stepPart);
        whole =
            floorDiv(qint64(y - 1 - lowY) * (stepWhole * qint64(height) + stepPart), height, part);
    }
    moveTo(y);
}

void EvenOddScan::ActiveEdge::moveFar(int y)
{
    if (byFormula) {
        x = interpolatedX(*edge, y);
        return;
    }
    if (y != row) {
        const qint64 run = qint64(stepWhole) * height + stepPart;
        whole = floorDiv(qint64(y - lowY) * run, height, part);
        row = y;
    }
    if (part != 0) {
        const int below = base + whole;
        x = below >= 0 ? below : below + 1;
    } else if (stepWhole == 0 && stepPart == 0) {
        x = base; // upright
    } else {
        x = interpolatedX(*edge, y);
    }
}

} // namespace CWS
