#pragma once

#include <QByteArray>

class QImage;

// PNG encoding of layer images for the job archive.
//
// Grey and 1-bit layers keep the chunks QImage::save writes for them (size, bit depth, colour
// type, palette for 1-bit, resolution) and decode to the same pixels, but their image data is
// filtered and deflated by our own code: a printer decodes the image, it never compares bytes.
//
// Anything else (other formats, colour tables, text, colour spaces, offsets) is saved by Qt.
namespace CWS::LayerPng {

// The row filters of PNG, and libpng's per-row choice among them.
enum class RowFilter
{
    None = 0,
    Sub = 1,
    Up = 2,
    Average = 3,
    Paeth = 4,
    Adaptive = 5, // the filter whose filtered bytes have the smallest sum of magnitudes
};

// The deflate coder of the image data: our own for rows of runs (RowDeflate), or libdeflate
// at a level (0 gives stored blocks only).
enum class Compressor
{
    Rows,
    Libdeflate,
};

// How the image data is written: one filter for every row, and the coder.
struct Encoding
{
    RowFilter filter;
    Compressor compressor;
    int level; // libdeflate's
};

// What the archive uses, chosen on the benchmark models' layers (bench_slice --encodings):
// unfiltered rows are runs of black and white that repeat the row above, for grey and 1-bit
// layers alike: as small as libdeflate at its level 9, and faster than at its level 1.
constexpr Encoding kGreyEncoding{RowFilter::None, Compressor::Rows, 0};
constexpr Encoding kMonoEncoding{RowFilter::None, Compressor::Rows, 0};

// The reference: QImage::save as "PNG", quality -1. Empty on failure.
QByteArray encodePlain(const QImage &image);

// The archive encoder. Empty on failure.
QByteArray encode(const QImage &image);

// The archive encoder with another choice of filter and level, for measuring them. Images
// without a fast path are saved by Qt whatever the choice.
QByteArray encode(const QImage &image, Encoding encoding);

// Whether encode() writes this image with its own code rather than through Qt.
bool hasFastPath(const QImage &image);

// One row of bytes filtered for PNG: out receives the filter byte followed by the filtered
// row (rowBytes + 1 bytes). prior is the row above (zeros for the first row). Filters that
// need a left neighbour take it one byte back (8-bit grey and 1-bit images alike). Returns the
// filter written: the one asked for, or for Adaptive the one whose bytes, read as signed,
// have the smallest sum of magnitudes (ties to the lower number) among allowedFilters.
constexpr unsigned kAllFilters = 0x1f;
int filterRow(RowFilter filter, const uchar *row, const uchar *prior, int rowBytes, uchar *out,
              unsigned allowedFilters = kAllFilters);
// The same bytes, one at a time.
int filterRowPlain(RowFilter filter, const uchar *row, const uchar *prior, int rowBytes, uchar *out,
                   unsigned allowedFilters = kAllFilters);

} // namespace CWS::LayerPng
