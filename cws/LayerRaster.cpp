#include "cws/LayerRaster.h"

#include "cws/EvenOddScan.h"
#include "cws/ImageBufferPool.h"
#include "cws/SectionRows.h"
#include "cws/SmoothDownscale.h"

#include <QDebug>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
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
    rows.drawOutsideLines(whitePen());
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
    const std::shared_ptr<const SmoothDownscale> plan =
        SmoothDownscale::forSizes(supersampledSize, target);
    SectionRows rows(supersampledSize, plan->bitBlockRows());
    for (const SegmentList &list : lists)
        rows.addList(toPixelEdges(list, xPixelsPerMm, yPixelsPerMm));
    if (plan->readsBits() || plan->readsRuns()) {
        try {
            rows.drawOutsideLines(whitePen());
        } catch (const std::bad_alloc &) {
            return QImage();
        }
        if (plan->readsBits())
            return plan->fromBits(
                [&rows](int y, const quint64 *&usedWords) { return rows.rowBits(y, usedWords); });
        return plan->fromRuns(
            [&rows](int y) -> const std::vector<PixelRun> & { return rows.row(y); });
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
