#pragma once

#include <QByteArray>

class QImage;

// PNG encoding of layer images for the job archive.
//
// Grey layers are written byte for byte as QImage::save(..., "PNG", -1) writes them: the same
// chunks, the same per-row filter choice and the same zlib stream from the system zlib. Only
// the filter choice is our own code, computed with vector instructions.
//
// 1-bit layers keep the chunks Qt writes (colour type, bit depth, palette, resolution) but
// their image data is deflated with a faster compressor: the pixels decode the same, the
// bytes differ.
//
// Anything else (other formats, colour tables, text, colour spaces, offsets) is saved by Qt.
namespace CWS::LayerPng {

// The reference: QImage::save as "PNG", quality -1. Empty on failure.
QByteArray encodePlain(const QImage &image);

// The archive encoder. Empty on failure.
QByteArray encode(const QImage &image);

// Whether encode() writes this image with its own code rather than through Qt.
bool hasFastPath(const QImage &image);

// The PNG row filter libpng picks for a row of 8-bit grey pixels: the one whose filtered bytes,
// read as signed, have the smallest sum of magnitudes; ties go to the lower filter number
// (0 none, 1 sub, 2 up, 3 average, 4 Paeth) among those whose bit is set in allowedFilters.
// prior is the row above (zeros for the first row). out receives the filter byte followed by
// the filtered row (widthPx + 1 bytes).
constexpr unsigned kAllFilters = 0x1f;
int filterRow(const uchar *row, const uchar *prior, int widthPx, uchar *out,
              unsigned allowedFilters = kAllFilters);
// The same choice and bytes, one byte at a time.
int filterRowPlain(const uchar *row, const uchar *prior, int widthPx, uchar *out,
                   unsigned allowedFilters = kAllFilters);

} // namespace CWS::LayerPng
