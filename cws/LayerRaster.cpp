#include "cws/LayerRaster.h"

#include "cws/EvenOddScan.h"
#include "cws/ImageBufferPool.h"
#include "cws/SectionRows.h"
#include "cws/SmoothDownscale.h"

#include <QDebug>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

namespace CWS::LayerRaster {

namespace {

// Far beyond any panel, small enough that centring and painting cannot overflow.
constexpr double kPixelLimit = 1 << 24;

int toPixel(double v)
{
    if (!(v > -kPixelLimit))
        return -int(kPixelLimit);
    if (!(v < kPixelLimit))
        return int(kPixelLimit);
    return static_cast<int>(v); // truncate toward zero
}

QPen whitePen()
{
    return QPen(QColor(255, 255, 255, 255), 1, Qt::SolidLine);
}

struct Bounds
{
    int minX, maxX, minY, maxY;
};

Bounds boundsOf(const QVector<PixelEdge> &edges)
{
    Bounds b{edges.first().x0, edges.first().x0, edges.first().y0, edges.first().y0};
    for (const PixelEdge &e : edges) {
        b.minX = std::min({b.minX, e.x0, e.x1});
        b.maxX = std::max({b.maxX, e.x0, e.x1});
        b.minY = std::min({b.minY, e.y0, e.y1});
        b.maxY = std::max({b.maxY, e.y0, e.y1});
    }
    return b;
}

void fillSpanMono(uchar *row, int from, int to)
{
    int x = from;
    while (x <= to && (x & 7) != 0) {
        row[x >> 3] |= uchar(0x80 >> (x & 7));
        ++x;
    }
    const int wholeEnd = (to + 1) & ~7;
    if (x < wholeEnd) {
        std::fill(row + (x >> 3), row + (wholeEnd >> 3), uchar(0xff));
        x = wholeEnd;
    }
    for (; x <= to; ++x)
        row[x >> 3] |= uchar(0x80 >> (x & 7));
}

// Sets the rows' white runs in the image, and has QPainter draw the outline edges they leave
// out.
void paintRows(QImage &image, SectionRows &rows)
{
    if (!rows.outsideLines().isEmpty()) {
        QPainter painter(&image);
        painter.setPen(whitePen());
        painter.drawLines(rows.outsideLines().constData(), rows.outsideLines().size());
    }
    const bool mono = image.format() == QImage::Format_Mono;
    for (int y = std::max(rows.firstRow(), 0); y < std::min(rows.endRow(), image.height()); ++y) {
        uchar *line = image.scanLine(y);
        for (const PixelRun &run : rows.row(y)) {
            if (mono)
                fillSpanMono(line, run.from, run.to);
            else
                std::fill(line + run.from, line + run.to + 1, uchar(0xff));
        }
    }
}

// A section's rows with the outline lines that QPainter must clip painted in, without
// drawing the whole image: each row is cleared and read only across the columns those lines
// can reach on it, and rows they do not reach are the section's own.
class ClippedRows
{
public:
    ClippedRows(SectionRows &rows, QSize imageSize)
        : m_rows(rows), m_height(imageSize.height()), m_from(size_t(m_height), INT_MAX),
          m_to(size_t(m_height), -1)
    {
        const int w = imageSize.width();
        for (const QLine &line : rows.outsideLines()) {
            // An aliased one-pixel line sets pixels only inside its bounding box.
            const int top = std::max(std::min(line.y1(), line.y2()), 0);
            const int bottom = std::min(std::max(line.y1(), line.y2()), m_height - 1);
            const int left = std::max(std::min(line.x1(), line.x2()), 0);
            const int right = std::min(std::max(line.x1(), line.x2()), w - 1);
            if (top > bottom || left > right)
                continue;
            for (int y = top; y <= bottom; ++y) {
                m_from[size_t(y)] = std::min(m_from[size_t(y)], left >> 3);
                m_to[size_t(y)] = std::max(m_to[size_t(y)], right >> 3);
            }
            m_firstRow = std::min(m_firstRow, top);
            m_endRow = std::max(m_endRow, bottom + 1);
        }
        m_firstRow = std::min(m_firstRow, rows.firstRow());
        m_endRow = std::max(m_endRow, rows.endRow());
        m_image = ImageBufferPool::acquire(w, m_height, QImage::Format_Mono);
        if (m_image.isNull())
            throw std::bad_alloc();
        m_image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        for (int y = 0; y < m_height; ++y)
            if (m_from[size_t(y)] <= m_to[size_t(y)])
                std::memset(m_image.scanLine(y) + m_from[size_t(y)], 0,
                            size_t(m_to[size_t(y)] - m_from[size_t(y)] + 1));
        QPainter painter(&m_image);
        painter.setPen(whitePen());
        painter.drawLines(rows.outsideLines().constData(), rows.outsideLines().size());
    }

    int firstRow() const { return m_firstRow; }
    int endRow() const { return m_endRow; }

    // As SectionRows::row, lines included.
    const std::vector<PixelRun> &row(int y)
    {
        const std::vector<PixelRun> &own = m_rows.row(y);
        if (y < 0 || y >= m_height || m_from[size_t(y)] > m_to[size_t(y)])
            return own;
        if (y == m_builtRow)
            return m_runs;
        m_builtRow = y;
        m_lineRuns.clear();
        const uchar *line = m_image.constScanLine(y);
        for (int byte = m_from[size_t(y)]; byte <= m_to[size_t(y)]; ++byte) {
            if (!line[byte])
                continue;
            for (int bit = 0; bit < 8; ++bit) {
                if (!((line[byte] << bit) & 0x80))
                    continue;
                const int x = byte * 8 + bit;
                if (!m_lineRuns.empty() && m_lineRuns.back().to + 1 == x)
                    m_lineRuns.back().to = x;
                else
                    m_lineRuns.push_back({x, x});
            }
        }
        // Both sorted: one pass unites them.
        m_runs.clear();
        size_t a = 0, b = 0;
        while (a < own.size() || b < m_lineRuns.size()) {
            const bool takeOwn =
                b == m_lineRuns.size() || (a < own.size() && own[a].from <= m_lineRuns[b].from);
            const PixelRun next = takeOwn ? own[a++] : m_lineRuns[b++];
            if (!m_runs.empty() && next.from <= m_runs.back().to + 1)
                m_runs.back().to = std::max(m_runs.back().to, next.to);
            else
                m_runs.push_back(next);
        }
        return m_runs;
    }

private:
    SectionRows &m_rows;
    const int m_height;
    std::vector<int> m_from, m_to; // per row, the bytes the lines may reach
    int m_firstRow = INT_MAX;
    int m_endRow = INT_MIN;
    QImage m_image;
    int m_builtRow = INT_MIN;
    std::vector<PixelRun> m_lineRuns;
    std::vector<PixelRun> m_runs;
};

} // namespace

QVector<PixelEdge> toPixelEdges(const SegmentList &segments, double xPixelsPerMm,
                                double yPixelsPerMm)
{
    QVector<PixelEdge> edges;
    edges.reserve(segments.size());
    for (const LayerSegment &s : segments) {
        edges.append(PixelEdge{
            toPixel(double(s.p0.x()) * xPixelsPerMm), toPixel(double(s.p0.y()) * yPixelsPerMm),
            toPixel(double(s.p1.x()) * xPixelsPerMm), toPixel(double(s.p1.y()) * yPixelsPerMm)});
    }
    return edges;
}

QVector<EdgeCrossing> rowCrossings(const QVector<PixelEdge> &edges, int y)
{
    std::vector<int> xs;
    for (const PixelEdge &e : edges) {
        if (y >= std::min(e.y0, e.y1) && y <= std::max(e.y0, e.y1))
            EvenOddScan::appendCrossings(e, y, xs);
    }
    QVector<EdgeCrossing> crossings;
    crossings.reserve(int(xs.size()));
    for (int x : xs)
        crossings.append(EdgeCrossing{x, y});
    return crossings;
}

void drawSegmentListPlain(QImage &image, const SegmentList &segments, double xPixelsPerMm,
                          double yPixelsPerMm)
{
    QPainter painter(&image);
    painter.setPen(whitePen());
    const int hw = image.width() / 2;
    const int hh = image.height() / 2;
    const QVector<PixelEdge> edges = toPixelEdges(segments, xPixelsPerMm, yPixelsPerMm);
    if (edges.isEmpty())
        return;
    for (const PixelEdge &e : edges)
        painter.drawLine(e.x0 + hw, e.y0 + hh, e.x1 + hw, e.y1 + hh);

    const Bounds b = boundsOf(edges);
    for (int y = b.minY; y < b.maxY; ++y) {
        QVector<EdgeCrossing> crossings = rowCrossings(edges, y);
        std::sort(crossings.begin(), crossings.end(),
                  [](const EdgeCrossing &l, const EdgeCrossing &r) { return l.x < r.x; });
        if (crossings.size() % 2 != 0) {
            EvenOddScan::logOddRow(y, crossings.size());
            continue;
        }
        for (int i = 0; i + 1 < crossings.size(); i += 2) {
            const EdgeCrossing &a = crossings.at(i);
            const EdgeCrossing &c = crossings.at(i + 1);
            painter.drawLine(a.x + hw, a.y + hh, c.x + hw, c.y + hh);
        }
    }
}

void drawSegmentList(QImage &image, const SegmentList &segments, double xPixelsPerMm,
                     double yPixelsPerMm)
{
    SectionRows rows(image.size());
    rows.addList(toPixelEdges(segments, xPixelsPerMm, yPixelsPerMm));
    paintRows(image, rows);
}

void appendWhiteRuns(std::vector<IslandAnalysis::PixelRun> &runs, const SegmentListSet &lists,
                     double xPixelsPerMm, double yPixelsPerMm, const QSize &imageSize)
{
    SectionRows rows(imageSize);
    for (const SegmentList &list : lists)
        rows.addList(toPixelEdges(list, xPixelsPerMm, yPixelsPerMm));
    if (!rows.outsideLines().isEmpty()) {
        ClippedRows clipped(rows, imageSize);
        const int endRow = std::min(clipped.endRow(), imageSize.height());
        for (int y = std::max(clipped.firstRow(), 0); y < endRow; ++y)
            for (const PixelRun &run : clipped.row(y))
                runs.push_back({y, run.from, run.to + 1});
        return;
    }
    const int endRow = std::min(rows.endRow(), imageSize.height());
    for (int y = std::max(rows.firstRow(), 0); y < endRow; ++y)
        rows.appendRuns(y, runs);
}

QImage downscalePlain(const QImage &supersampled, const QSize &target)
{
    // Smooth scaling hands back an RGB image for grey or 1-bit input; grey values survive the
    // trip.
    return supersampled.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_Grayscale8);
}

QImage downscale(const QImage &supersampled, const QSize &target)
{
    const std::shared_ptr<const SmoothDownscale> plan =
        SmoothDownscale::forSizes(supersampled.size(), target);
    if (plan->exact()) {
        if (supersampled.format() == QImage::Format_Mono && supersampled.colorCount() == 2 &&
            supersampled.color(0) == qRgb(0, 0, 0) && supersampled.color(1) == qRgb(255, 255, 255))
            return plan->fromMono(supersampled);
        if (supersampled.format() == QImage::Format_Grayscale8)
            return plan->fromGrey(supersampled);
    }
    return downscalePlain(supersampled, target);
}

QImage drawDownscaled(const SegmentListSet &lists, double xPixelsPerMm, double yPixelsPerMm,
                      const QSize &supersampledSize, const QSize &target)
{
    SectionRows rows(supersampledSize);
    for (const SegmentList &list : lists)
        rows.addList(toPixelEdges(list, xPixelsPerMm, yPixelsPerMm));
    const std::shared_ptr<const SmoothDownscale> plan =
        SmoothDownscale::forSizes(supersampledSize, target);
    if (plan->readsRuns() && rows.outsideLines().isEmpty())
        return plan->fromRuns(
            [&rows](int y) -> const std::vector<PixelRun> & { return rows.row(y); });
    if (plan->readsRuns()) {
        try {
            ClippedRows clipped(rows, supersampledSize);
            return plan->fromRuns(
                [&clipped](int y) -> const std::vector<PixelRun> & { return clipped.row(y); });
        } catch (const std::bad_alloc &) {
            return QImage();
        }
    }
    // A reduction Qt does its own way.
    QImage image = ImageBufferPool::acquire(supersampledSize.width(), supersampledSize.height(),
                                            QImage::Format_Mono);
    if (image.isNull())
        return QImage();
    image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    image.fill(0);
    paintRows(image, rows);
    return downscale(image, target);
}

} // namespace CWS::LayerRaster
