#include "cws/LayerRaster.h"

#include "cws/SmoothDownscale.h"

#include <QDebug>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
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

// x where a non-horizontal edge meets row y, a being its lower-y end.
int interpolatedX(const PixelEdge &e, int y)
{
    const bool firstLower = e.y0 < e.y1;
    const int xa = firstLower ? e.x0 : e.x1;
    const int ya = firstLower ? e.y0 : e.y1;
    const int xb = firstLower ? e.x1 : e.x0;
    const int yb = firstLower ? e.y1 : e.y0;
    return static_cast<int>(double(xa) + double(y - ya) / double(yb - ya) * double(xb - xa));
}

// Appends the crossings of one edge with row y (the edge's y-span holds y).
void appendCrossings(const PixelEdge &e, int y, QVector<int> &xs)
{
    if (e.y0 == y && e.y1 == y) {
        xs.append(e.x0);
        xs.append(e.x1);
        return;
    }
    // An edge owns its lower end on a row, not its upper end.
    if (y == std::max(e.y0, e.y1))
        return;
    xs.append(interpolatedX(e, y));
}

void logOddRow(int y, int count)
{
    qDebug().noquote()
        << QStringLiteral("Row y=%1 odd # of points = %2 - Model may have holes").arg(y).arg(count);
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

// Sets pixels [from, to] of image row y white, clipped to the image as QPainter would.
void fillSpan(QImage &image, bool mono, int y, int from, int to)
{
    if (y < 0 || y >= image.height())
        return;
    from = std::max(from, 0);
    to = std::min(to, image.width() - 1);
    if (from > to)
        return;
    uchar *row = image.scanLine(y);
    if (mono)
        fillSpanMono(row, from, to);
    else
        std::fill(row + from, row + to + 1, uchar(0xff));
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
    QVector<int> xs;
    for (const PixelEdge &e : edges) {
        if (y >= std::min(e.y0, e.y1) && y <= std::max(e.y0, e.y1))
            appendCrossings(e, y, xs);
    }
    QVector<EdgeCrossing> crossings;
    crossings.reserve(xs.size());
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
            logOddRow(y, crossings.size());
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
    const int hw = image.width() / 2;
    const int hh = image.height() / 2;
    QVector<PixelEdge> edges = toPixelEdges(segments, xPixelsPerMm, yPixelsPerMm);
    if (edges.isEmpty())
        return;
    {
        QVector<QLine> outline;
        outline.reserve(edges.size());
        for (const PixelEdge &e : edges)
            outline.append(QLine(e.x0 + hw, e.y0 + hh, e.x1 + hw, e.y1 + hh));
        QPainter painter(&image);
        painter.setPen(whitePen());
        painter.drawLines(outline.constData(), outline.size());
    }

    // Rows outside the image paint nothing, so the scan skips them.
    const Bounds b = boundsOf(edges);
    const int firstRow = std::max(b.minY, -hh);
    const int endRow = std::min(b.maxY, image.height() - hh);
    if (firstRow >= endRow)
        return;

    std::sort(edges.begin(), edges.end(), [](const PixelEdge &l, const PixelEdge &r) {
        return std::min(l.y0, l.y1) < std::min(r.y0, r.y1);
    });
    const bool mono = image.format() == QImage::Format_Mono;
    QVector<const PixelEdge *> active;
    QVector<int> xs;
    int next = 0;
    for (int y = firstRow; y < endRow; ++y) {
        while (next < edges.size() && std::min(edges[next].y0, edges[next].y1) <= y) {
            active.append(&edges[next]);
            ++next;
        }
        xs.clear();
        int kept = 0;
        for (const PixelEdge *e : qAsConst(active)) {
            const int top = std::max(e->y0, e->y1);
            if (top < y)
                continue; // entered before the first scanned row and already done
            appendCrossings(*e, y, xs);
            if (top > y)
                active[kept++] = e;
        }
        active.resize(kept);
        if (xs.size() % 2 != 0) {
            logOddRow(y, xs.size());
            continue;
        }
        std::sort(xs.begin(), xs.end());
        for (int i = 0; i + 1 < xs.size(); i += 2)
            fillSpan(image, mono, y + hh, xs[i] + hw, xs[i + 1] + hw);
    }
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

} // namespace CWS::LayerRaster
