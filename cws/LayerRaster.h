#pragma once

#include "cws/IslandAnalysis.h"
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

// White pixels [from, to] of one image row.
struct PixelRun
{
    int from, to;
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

// The same pixels, fast: the outline and the fill (SectionRows) written straight into the image
// (Format_Mono or Format_Grayscale8).
void drawSegmentList(QImage &image, const SegmentList &segments, double xPixelsPerMm,
                     double yPixelsPerMm);

// The white pixels of every list drawn with drawSegmentList on one black 1-bit image of
// imageSize, appended to runs row by row, each run as long as it reaches. They come straight
// from the outline and fill rows; an image is drawn only when QPainter must clip an outline.
void appendWhiteRuns(std::vector<IslandAnalysis::PixelRun> &runs, const SegmentListSet &lists,
                     double xPixelsPerMm, double yPixelsPerMm, const QSize &imageSize);

// The supersampled layer (grey, or 1-bit black and white) scaled down to the job's size as a
// grey image: QImage's smooth scaling, converted back to grey.
QImage downscalePlain(const QImage &supersampled, const QSize &target);
// The same pixels from our own reduction (SmoothDownscale), without a 32-bit copy; falls back
// to downscalePlain where Qt would not reduce with its smooth weights.
QImage downscale(const QImage &supersampled, const QSize &target);

// Every list drawn with drawSegmentList on a black 1-bit image of supersampledSize and reduced
// with downscale, in one pass that never holds the supersampled image: the reduction reads the
// white runs of each row as the outline and fill give them.
QImage drawDownscaled(const SegmentListSet &lists, double xPixelsPerMm, double yPixelsPerMm,
                      const QSize &supersampledSize, const QSize &target);

} // namespace CWS::LayerRaster
