#pragma once

#include "model/LayerSegment.h"

#include <QSize>
#include <QVector>

class QImage;
class QPainter;

// Turning one segment list into white pixels: a one-pixel outline of every segment plus an
// even-odd scanline fill, centred on the image.
namespace CWS::LayerRaster {

// A segment in whole pixels, before centring.
struct PixelEdge
{
    int x0, y0, x1, y1;
};

// Where an edge meets a pixel row.
struct EdgeCrossing
{
    int x, y;
};

// x and y in mm times the pixel density, each truncated toward zero.
QVector<PixelEdge> toPixelEdges(const SegmentList &segments, double xPixelsPerMm,
                                double yPixelsPerMm);

// The crossings of every edge with row y, unsorted.
QVector<EdgeCrossing> rowCrossings(const QVector<PixelEdge> &edges, int y);

// The plain drawing: QPainter lines for the outline and for every fill span, each row tested
// against every edge. It defines the pixels; drawSegmentList must match it exactly.
void drawSegmentListPlain(QImage &image, const SegmentList &segments, double xPixelsPerMm,
                          double yPixelsPerMm);

// The same pixels, fast: the outline in one batch, the fill from an active-edge list written
// straight into the image (Format_Mono or Format_Grayscale8).
void drawSegmentList(QImage &image, const SegmentList &segments, double xPixelsPerMm,
                     double yPixelsPerMm);

// The supersampled layer (grey, or 1-bit black and white) scaled down to the job's size as a
// grey image: QImage's smooth scaling, converted back to grey.
QImage downscalePlain(const QImage &supersampled, const QSize &target);
// The same pixels from our own reduction (SmoothDownscale), without a 32-bit copy; falls back
// to downscalePlain where Qt would not reduce with its smooth weights.
QImage downscale(const QImage &supersampled, const QSize &target);

} // namespace CWS::LayerRaster
