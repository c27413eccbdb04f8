#include "cws/LayerPng.h"

#include "cws/RowDeflate.h"
#include "cws/ThreadCompressor.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImage>

#include <libdeflate.h>

#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace CWS::LayerPng {

namespace {

// libpng's compression buffer: every IDAT chunk but the last holds exactly this much.
constexpr size_t kIdatChunkBytes = 8192;

void appendBe32(QByteArray &out, quint32 v)
{
    const char bytes[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    out.append(bytes, 4);
}

void putBe32(uchar *p, quint32 v)
{
    p[0] = uchar(v >> 24);
    p[1] = uchar(v >> 16);
    p[2] = uchar(v >> 8);
    p[3] = uchar(v);
}

void appendChunk(QByteArray &out, const char *type, const uchar *data, size_t length)
{
    appendBe32(out, quint32(length));
    const int typeAt = out.size();
    out.append(type, 4);
    if (length > 0)
        out.append(reinterpret_cast<const char *>(data), int(length));
    appendBe32(out, libdeflate_crc32(0, out.constData() + typeAt, 4 + length));
}

// Signature, IHDR, PLTE for palette images, pHYs: what Qt hands to libpng for our layers.
QByteArray header(const QImage &image, int bitDepth, int colourType)
{
    QByteArray out;
    static const uchar signature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    out.append(reinterpret_cast<const char *>(signature), 8);
    uchar ihdr[13];
    putBe32(ihdr, quint32(image.width()));
    putBe32(ihdr + 4, quint32(image.height()));
    ihdr[8] = uchar(bitDepth);
    ihdr[9] = uchar(colourType);
    ihdr[10] = ihdr[11] = ihdr[12] = 0; // deflate, adaptive filtering, no interlace
    appendChunk(out, "IHDR", ihdr, 13);
    if (colourType == 3) {
        std::vector<uchar> palette;
        for (QRgb c : image.colorTable()) {
            palette.push_back(uchar(qRed(c)));
            palette.push_back(uchar(qGreen(c)));
            palette.push_back(uchar(qBlue(c)));
        }
        appendChunk(out, "PLTE", palette.data(), palette.size());
    }
    uchar phys[9];
    putBe32(phys, quint32(image.dotsPerMeterX()));
    putBe32(phys + 4, quint32(image.dotsPerMeterY()));
    phys[8] = 1; // metres
    appendChunk(out, "pHYs", phys, 9);
    return out;
}

void appendImageData(QByteArray &out, const uchar *zlibStream, size_t length)
{
    for (size_t at = 0; at < length; at += kIdatChunkBytes)
        appendChunk(out, "IDAT", zlibStream + at, std::min(kIdatChunkBytes, length - at));
    appendChunk(out, "IEND", nullptr, 0);
}

bool plainMetadata(const QImage &image)
{
    return image.width() > 0 && image.height() > 0 && image.textKeys().isEmpty() &&
           !image.colorSpace().isValid() && image.offset().isNull() && image.dotsPerMeterX() > 0 &&
           image.dotsPerMeterY() > 0;
}

bool blackWhiteTable(const QImage &image)
{
    const QVector<QRgb> table = image.colorTable();
    return table.size() == 2 && table[0] == qRgba(0, 0, 0, 255) &&
           table[1] == qRgba(255, 255, 255, 255);
}

// Signed magnitude of a filtered byte, libpng's cost of it.
inline unsigned cost(uchar v)
{
    return v < 128 ? v : 256u - v;
}

inline int paethPredictor(int a, int b, int c)
{
    const int p = b - c;
    const int pc = a - c;
    const int pa = std::abs(p);
    const int pb = std::abs(pc);
    const int pcc = std::abs(p + pc);
    return (pa <= pb && pa <= pcc) ? a : (pb <= pcc) ? b : c;
}

inline uchar filterByte(int filter, const uchar *row, const uchar *prior, int x)
{
    const int a = x > 0 ? row[x - 1] : 0;
    const int b = prior[x];
    const int c = x > 0 ? prior[x - 1] : 0;
    switch (filter) {
    case 1:
        return uchar(row[x] - a);
    case 2:
        return uchar(row[x] - b);
    case 3:
        return uchar(row[x] - ((a + b) >> 1));
    case 4:
        return uchar(row[x] - paethPredictor(a, b, c));
    default:
        return row[x];
    }
}

int pickFilter(const size_t sums[5], unsigned allowed)
{
    int best = 0;
    for (int f = 1; f < 5; ++f)
        if ((allowed & (1u << f)) && (!(allowed & (1u << best)) || sums[f] < sums[best]))
            best = f;
    return best;
}

inline __m128i abs16(__m128i v)
{
    return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

inline __m128i select(__m128i mask, __m128i whenSet, __m128i otherwise)
{
    return _mm_or_si128(_mm_and_si128(mask, whenSet), _mm_andnot_si128(mask, otherwise));
}

// Paeth predictor on eight 16-bit lanes.
inline __m128i paeth16(__m128i a, __m128i b, __m128i c)
{
    const __m128i p = _mm_sub_epi16(b, c);
    const __m128i pc = _mm_sub_epi16(a, c);
    const __m128i pa = abs16(p);
    const __m128i pb = abs16(pc);
    const __m128i pcc = abs16(_mm_add_epi16(p, pc));
    const __m128i notA = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pcc));
    const __m128i notB = _mm_cmpgt_epi16(pb, pcc);
    return select(notA, select(notB, c, b), a);
}

inline __m128i paeth8(__m128i a, __m128i b, __m128i c)
{
    const __m128i z = _mm_setzero_si128();
    const __m128i lo =
        paeth16(_mm_unpacklo_epi8(a, z), _mm_unpacklo_epi8(b, z), _mm_unpacklo_epi8(c, z));
    const __m128i hi =
        paeth16(_mm_unpackhi_epi8(a, z), _mm_unpackhi_epi8(b, z), _mm_unpackhi_epi8(c, z));
    return _mm_packus_epi16(lo, hi);
}

// floor((a + b) / 2) per byte: the rounding-up average less the lost half.
inline __m128i floorAverage(__m128i a, __m128i b)
{
    return _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1)));
}

inline __m128i costSum(__m128i v)
{
    const __m128i z = _mm_setzero_si128();
    return _mm_sad_epu8(_mm_min_epu8(v, _mm_sub_epi8(z, v)), z);
}

inline size_t horizontalSum(__m128i v)
{
    return size_t(_mm_cvtsi128_si64(v)) + size_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(v, v)));
}

// The four filtered forms of 16 bytes at x; x > 0 or the left neighbours are zero.
struct Filtered16
{
    __m128i raw, sub, up, avg, paeth;
};

inline Filtered16 filter16(const uchar *row, const uchar *prior, int x)
{
    const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + x));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(prior + x));
    __m128i a, c;
    if (x > 0) {
        a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + x - 1));
        c = _mm_loadu_si128(reinterpret_cast<const __m128i *>(prior + x - 1));
    } else {
        a = _mm_slli_si128(raw, 1);
        c = _mm_slli_si128(b, 1);
    }
    return {raw, _mm_sub_epi8(raw, a), _mm_sub_epi8(raw, b), _mm_sub_epi8(raw, floorAverage(a, b)),
            _mm_sub_epi8(raw, paeth8(a, b, c))};
}

template <int Filter>
void storeFiltered(const uchar *row, const uchar *prior, int vectorEnd, uchar *out)
{
    for (int x = 0; x < vectorEnd; x += 16) {
        const Filtered16 f = filter16(row, prior, x);
        const __m128i chosen = Filter == 1   ? f.sub
                               : Filter == 2 ? f.up
                               : Filter == 3 ? f.avg
                                             : f.paeth;
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x), chosen);
    }
}

bool allZero(const uchar *p, int n)
{
    int x = 0;
    __m128i any = _mm_setzero_si128();
    for (; x + 16 <= n; x += 16)
        any = _mm_or_si128(any, _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + x)));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) != 0xffff)
        return false;
    for (; x < n; ++x)
        if (p[x] != 0)
            return false;
    return true;
}

// Every row filtered into one buffer, then one zlib stream over it: both coders take the whole
// input at once. The buffers stay with the thread, as layers come one after another.
QByteArray encodeFast(const QImage &image, Encoding encoding)
{
    const bool mono = image.format() == QImage::Format_Mono;
    const int width = image.width();
    const int height = image.height();
    const int rowBytes = mono ? (width + 7) / 8 : width;
    const size_t stride = size_t(rowBytes) + 1;
    thread_local std::vector<uchar> rows, zeros, masked, stream;
    rows.resize(stride * size_t(height));
    zeros.assign(size_t(rowBytes), 0);
    // 1-bit rows end in padding bits that are no pixels: cleared, so that they neither reach
    // the file nor leak into the next row through the filters. Two rows alternate, the one
    // above staying intact while the next is filtered.
    const uchar lastMask = mono && (width & 7) ? uchar(0xff << (8 - (width & 7))) : uchar(0xff);
    masked.resize(2 * size_t(rowBytes));
    const uchar *prior = zeros.data();
    for (int y = 0; y < height; ++y) {
        const uchar *row = image.constScanLine(y);
        if (lastMask != 0xff) {
            uchar *copy = masked.data() + size_t(y & 1) * size_t(rowBytes);
            std::memcpy(copy, row, size_t(rowBytes));
            copy[rowBytes - 1] &= lastMask;
            row = copy;
        }
        filterRow(encoding.filter, row, prior, rowBytes, rows.data() + stride * size_t(y));
        prior = row;
    }
    size_t length = 0;
    if (encoding.compressor == Compressor::Rows) {
        RowDeflate::compress(rows.data(), rows.size(), stride, stream);
        length = stream.size();
    } else {
        libdeflate_compressor *compressor = threadCompressor(encoding.level);
        if (!compressor)
            return QByteArray();
        stream.resize(libdeflate_zlib_compress_bound(compressor, rows.size()));
        length = libdeflate_zlib_compress(compressor, rows.data(), rows.size(), stream.data(),
                                          stream.size());
    }
    if (length == 0)
        return QByteArray();
    QByteArray out = mono ? header(image, 1, 3) : header(image, 8, 0);
    out.reserve(out.size() + int(length + length / kIdatChunkBytes * 12 + 24));
    appendImageData(out, stream.data(), length);
    return out;
}

} // namespace

int filterRowPlain(RowFilter filter, const uchar *row, const uchar *prior, int rowBytes, uchar *out,
                   unsigned allowedFilters)
{
    int best = int(filter);
    if (filter == RowFilter::Adaptive) {
        size_t sums[5] = {0, 0, 0, 0, 0};
        for (int f = 0; f < 5; ++f)
            for (int x = 0; x < rowBytes; ++x)
                sums[f] += cost(filterByte(f, row, prior, x));
        best = pickFilter(sums, allowedFilters);
    }
    out[0] = uchar(best);
    for (int x = 0; x < rowBytes; ++x)
        out[x + 1] = filterByte(best, row, prior, x);
    return best;
}

int filterRow(RowFilter filter, const uchar *row, const uchar *prior, int rowBytes, uchar *out,
              unsigned allowedFilters)
{
    const int vectorEnd = rowBytes & ~15;
    int best = int(filter);
    if (filter == RowFilter::Adaptive) {
        // Blank on blank: every filter gives zeros, and ties go to the lowest allowed one.
        if ((allowedFilters & 1u) && allZero(row, rowBytes) && allZero(prior, rowBytes)) {
            std::memset(out, 0, size_t(rowBytes) + 1);
            return 0;
        }
        __m128i acc[5] = {_mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128(),
                          _mm_setzero_si128(), _mm_setzero_si128()};
        for (int x = 0; x < vectorEnd; x += 16) {
            const Filtered16 f = filter16(row, prior, x);
            acc[0] = _mm_add_epi64(acc[0], costSum(f.raw));
            acc[1] = _mm_add_epi64(acc[1], costSum(f.sub));
            acc[2] = _mm_add_epi64(acc[2], costSum(f.up));
            acc[3] = _mm_add_epi64(acc[3], costSum(f.avg));
            acc[4] = _mm_add_epi64(acc[4], costSum(f.paeth));
        }
        size_t sums[5];
        for (int f = 0; f < 5; ++f)
            sums[f] = horizontalSum(acc[f]);
        for (int x = vectorEnd; x < rowBytes; ++x)
            for (int f = 0; f < 5; ++f)
                sums[f] += cost(filterByte(f, row, prior, x));
        best = pickFilter(sums, allowedFilters);
    }
    out[0] = uchar(best);
    switch (best) {
    case 0:
        std::memcpy(out + 1, row, size_t(rowBytes));
        return 0;
    case 1:
        storeFiltered<1>(row, prior, vectorEnd, out + 1);
        break;
    case 2:
        storeFiltered<2>(row, prior, vectorEnd, out + 1);
        break;
    case 3:
        storeFiltered<3>(row, prior, vectorEnd, out + 1);
        break;
    default:
        storeFiltered<4>(row, prior, vectorEnd, out + 1);
        break;
    }
    for (int x = vectorEnd; x < rowBytes; ++x)
        out[x + 1] = filterByte(best, row, prior, x);
    return best;
}

QByteArray encodePlain(const QImage &image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG", -1))
        return QByteArray();
    return png;
}

bool hasFastPath(const QImage &image)
{
    if (!plainMetadata(image))
        return false;
    if (image.format() == QImage::Format_Grayscale8)
        return true;
    return image.format() == QImage::Format_Mono && blackWhiteTable(image);
}

QByteArray encode(const QImage &image, Encoding encoding)
{
    if (!hasFastPath(image))
        return encodePlain(image);
    return encodeFast(image, encoding);
}

QByteArray encode(const QImage &image)
{
    return encode(image,
                  image.format() == QImage::Format_Grayscale8 ? kGreyEncoding : kMonoEncoding);
}

} // namespace CWS::LayerPng
