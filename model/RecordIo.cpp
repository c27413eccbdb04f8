#include "model/RecordIo.h"

#include "model/BlockPipeline.h"

#include <QIODevice>
#include <QtEndian>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(Q_OS_LINUX)
#include <sys/mman.h>
#endif

namespace RecordIo {

namespace {

// Items per block of the bulk transfers: large enough that per-call costs vanish.
constexpr size_t kChunkItems = 16384;

struct Codec
{
    bool big;
    bool wide; // 8-byte floats

    void putFloat(uchar *&p, float v) const
    {
        if (wide) {
            const double d = double(v);
            quint64 bits;
            std::memcpy(&bits, &d, 8);
            big ? qToBigEndian(bits, p) : qToLittleEndian(bits, p);
            p += 8;
        } else {
            quint32 bits;
            std::memcpy(&bits, &v, 4);
            big ? qToBigEndian(bits, p) : qToLittleEndian(bits, p);
            p += 4;
        }
    }
    float getFloat(const uchar *&p) const
    {
        if (wide) {
            const quint64 bits = big ? qFromBigEndian<quint64>(p) : qFromLittleEndian<quint64>(p);
            p += 8;
            double d;
            std::memcpy(&d, &bits, 8);
            return float(d); // out of float range becomes infinite and is refused
        }
        const quint32 bits = big ? qFromBigEndian<quint32>(p) : qFromLittleEndian<quint32>(p);
        p += 4;
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
};

// Full projective product, as the geometry pass maps points; the normal through the normal
// matrix, made unit length.
std::array<float, 6> worldVertex(const Vertex &v, const float *m, const float *n)
{
    float x = m[0] * v.px + m[4] * v.py + m[8] * v.pz + m[12];
    float y = m[1] * v.px + m[5] * v.py + m[9] * v.pz + m[13];
    float z = m[2] * v.px + m[6] * v.py + m[10] * v.pz + m[14];
    const float w = m[3] * v.px + m[7] * v.py + m[11] * v.pz + m[15];
    if (w != 1.0f) {
        x /= w;
        y /= w;
        z /= w;
    }
    float nx = n[0] * v.nx + n[4] * v.ny + n[8] * v.nz;
    float ny = n[1] * v.nx + n[5] * v.ny + n[9] * v.nz;
    float nz = n[2] * v.nx + n[6] * v.ny + n[10] * v.nz;
    const float length = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (length > 0.0f) {
        nx /= length;
        ny /= length;
        nz /= length;
    }
    return {x, y, z, nx, ny, nz};
}

quint32 bigWord(float f)
{
    quint32 bits;
    std::memcpy(&bits, &f, 4);
    return qToBigEndian(bits);
}

// worldVertex for an affine matrix (w = 1 exactly for finite points), one vertex.
void packAffineBig(const Vertex &v, const float *m, const float *n, quint32 *o)
{
    const float x = m[0] * v.px + m[4] * v.py + m[8] * v.pz + m[12];
    const float y = m[1] * v.px + m[5] * v.py + m[9] * v.pz + m[13];
    const float z = m[2] * v.px + m[6] * v.py + m[10] * v.pz + m[14];
    const float nx = n[0] * v.nx + n[4] * v.ny + n[8] * v.nz;
    const float ny = n[1] * v.nx + n[5] * v.ny + n[9] * v.nz;
    const float nz = n[2] * v.nx + n[6] * v.ny + n[10] * v.nz;
    const float length = std::sqrt(nx * nx + ny * ny + nz * nz);
    const float d = length > 0.0f ? length : 1.0f; // x / 1 is x exactly
    o[0] = bigWord(x);
    o[1] = bigWord(y);
    o[2] = bigWord(z);
    o[3] = bigWord(nx / d);
    o[4] = bigWord(ny / d);
    o[5] = bigWord(nz / d);
}

#if defined(__SSE2__)
// Four vertices at once. Every operation is the scalar one in the same order (no fused
// multiply-add, correctly rounded division and square root), so the words are the same.
void packAffineBig4(const Vertex *v, const float *m, const float *n, quint32 *o)
{
    auto lane = [v](float Vertex::*f) { return _mm_setr_ps(v[0].*f, v[1].*f, v[2].*f, v[3].*f); };
    auto row = [](const float *c, __m128 a, __m128 b, __m128 e) {
        return _mm_add_ps(
            _mm_add_ps(_mm_mul_ps(_mm_set1_ps(c[0]), a), _mm_mul_ps(_mm_set1_ps(c[4]), b)),
            _mm_mul_ps(_mm_set1_ps(c[8]), e));
    };
    const __m128 px = lane(&Vertex::px), py = lane(&Vertex::py), pz = lane(&Vertex::pz);
    const __m128 vx = lane(&Vertex::nx), vy = lane(&Vertex::ny), vz = lane(&Vertex::nz);
    alignas(16) float out[6][4];
    _mm_store_ps(out[0], _mm_add_ps(row(m + 0, px, py, pz), _mm_set1_ps(m[12])));
    _mm_store_ps(out[1], _mm_add_ps(row(m + 1, px, py, pz), _mm_set1_ps(m[13])));
    _mm_store_ps(out[2], _mm_add_ps(row(m + 2, px, py, pz), _mm_set1_ps(m[14])));
    const __m128 nx = row(n + 0, vx, vy, vz), ny = row(n + 1, vx, vy, vz),
                 nz = row(n + 2, vx, vy, vz);
    const __m128 length = _mm_sqrt_ps(
        _mm_add_ps(_mm_add_ps(_mm_mul_ps(nx, nx), _mm_mul_ps(ny, ny)), _mm_mul_ps(nz, nz)));
    const __m128 positive = _mm_cmpgt_ps(length, _mm_setzero_ps());
    const __m128 d =
        _mm_or_ps(_mm_and_ps(positive, length), _mm_andnot_ps(positive, _mm_set1_ps(1.0f)));
    _mm_store_ps(out[3], _mm_div_ps(nx, d));
    _mm_store_ps(out[4], _mm_div_ps(ny, d));
    _mm_store_ps(out[5], _mm_div_ps(nz, d));
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 6; ++k)
            o[6 * i + k] = bigWord(out[k][i]);
}
#endif

// Six big-endian words per vertex, as worldVertex maps it.
void packWorldBig(const Vertex *vertices, size_t count, const float *m, const float *n,
                  quint32 *out)
{
    const bool affine = m[3] == 0.0f && m[7] == 0.0f && m[11] == 0.0f && m[15] == 1.0f;
    size_t i = 0;
    if (!affine) {
        for (; i < count; ++i)
            for (float f : worldVertex(vertices[i], m, n))
                *out++ = bigWord(f);
        return;
    }
#if defined(__SSE2__)
    for (; i + 4 <= count; i += 4)
        packAffineBig4(vertices + i, m, n, out + 6 * i);
#endif
    for (; i < count; ++i)
        packAffineBig(vertices[i], m, n, out + 6 * i);
}

Codec codecOf(const QDataStream &s)
{
    return Codec{s.byteOrder() == QDataStream::BigEndian,
                 s.floatingPointPrecision() == QDataStream::DoublePrecision};
}

bool readBlock(QDataStream &in, char *data, int bytes)
{
    if (in.readRawData(data, bytes) != bytes) {
        in.setStatus(QDataStream::ReadPastEnd);
        return false;
    }
    return true;
}

// Turns stored float words into host order in place; false when one is NaN or infinite.
bool toHostFinite(uchar *bytes, size_t words, bool big)
{
    constexpr quint32 kExponent = 0x7f800000u; // all exponent bits set: NaN or infinity
    size_t k = 0;
    bool nonFinite = false;
#if defined(__SSE2__) && Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    if (big) {
        const __m128i exponent = _mm_set1_epi32(int(kExponent));
        __m128i found = _mm_setzero_si128();
        for (; k + 4 <= words; k += 4) {
            auto *at = reinterpret_cast<__m128i *>(bytes + 4 * k);
            __m128i x = _mm_loadu_si128(at);
            x = _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
            x = _mm_shufflelo_epi16(x, _MM_SHUFFLE(2, 3, 0, 1));
            x = _mm_shufflehi_epi16(x, _MM_SHUFFLE(2, 3, 0, 1));
            _mm_storeu_si128(at, x);
            found = _mm_or_si128(found, _mm_cmpeq_epi32(_mm_and_si128(x, exponent), exponent));
        }
        nonFinite = _mm_movemask_epi8(found) != 0;
    }
#endif
    for (; k < words; ++k) {
        quint32 word;
        std::memcpy(&word, bytes + 4 * k, 4);
        word = big ? qFromBigEndian(word) : qFromLittleEndian(word);
        std::memcpy(bytes + 4 * k, &word, 4);
        nonFinite |= (word & kExponent) == kExponent;
    }
    return !nonFinite;
}

// Large arrays that are about to be filled: fewer, larger page faults where the system
// offers them (each small fault costs more than clearing its page).
void adviseHugePages(void *data, size_t bytes)
{
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    constexpr uintptr_t kHuge = 2u << 20;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kHuge - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
#else
    Q_UNUSED(data)
    Q_UNUSED(bytes)
#endif
}

// count items of itemBytes each, cut into blocks of kChunkItems items, with the buffers that
// the blocks in flight pass through (small enough to stay in cache).
struct Blocks
{
    static constexpr size_t kDepth = 3;
    size_t count;
    size_t blocks;
    std::array<std::vector<uchar>, kDepth> buffers;

    Blocks(size_t items, size_t itemBytes)
        : count(items), blocks((items + kChunkItems - 1) / kChunkItems)
    {
        for (size_t i = 0; i < std::min(blocks, kDepth); ++i)
            buffers[i].resize(itemsOf(0) * itemBytes);
    }
    size_t itemsOf(size_t b) const
    {
        return std::min(count, (b + 1) * kChunkItems) - b * kChunkItems;
    }
};

// This thread reads block after block from the device while a second one hands the blocks
// already read to accept (which returns false to refuse the data).
bool readBlocks(QDataStream &in, size_t count, size_t itemBytes,
                const std::function<bool(uchar *bytes, size_t items)> &accept)
{
    Blocks s(count, itemBytes);
    bool refused = false;
    const bool complete = BlockPipeline::run(
        s.blocks, Blocks::kDepth, BlockPipeline::Helper::RunsSecond,
        [&](size_t b, size_t buffer) {
            return readBlock(in, reinterpret_cast<char *>(s.buffers[buffer].data()),
                             int(s.itemsOf(b) * itemBytes));
        },
        [&](size_t b, size_t buffer) {
            refused = !accept(s.buffers[buffer].data(), s.itemsOf(b));
            return !refused;
        });
    // The stream is touched on this thread only.
    if (refused)
        in.setStatus(QDataStream::ReadCorruptData);
    return complete;
}

// The other direction: a second thread fills the next blocks while this one writes the
// filled ones to the device, so the conversion hides behind the writes.
void writeBlocks(QDataStream &out, size_t count, size_t itemBytes,
                 const std::function<void(size_t first, size_t items, uchar *bytes)> &fill)
{
    Blocks s(count, itemBytes);
    BlockPipeline::run(
        s.blocks, Blocks::kDepth, BlockPipeline::Helper::RunsFirst,
        [&](size_t b, size_t buffer) {
            fill(b * kChunkItems, s.itemsOf(b), s.buffers[buffer].data());
            return true;
        },
        [&](size_t b, size_t buffer) {
            out.writeRawData(reinterpret_cast<const char *>(s.buffers[buffer].data()),
                             int(s.itemsOf(b) * itemBytes));
            return out.status() == QDataStream::Ok;
        });
}

// Single-precision vertices are stored exactly as they lie in memory, but for the byte order:
// each block is turned around and tested for NaN or infinity in its buffer, then appended (so
// the large array is written only once).
bool readPackedVertices(QDataStream &in, std::vector<Vertex> *out, size_t count, bool big)
{
    static_assert(sizeof(Vertex) == 6 * sizeof(quint32), "vertices are six packed words");
    out->clear();
    out->reserve(count);
    adviseHugePages(out->data(), count * sizeof(Vertex));
    return readBlocks(in, count, sizeof(Vertex), [out, big](uchar *bytes, size_t items) {
        if (!toHostFinite(bytes, items * 6, big))
            return false;
        const auto *first = reinterpret_cast<const Vertex *>(bytes);
        out->insert(out->end(), first, first + items);
        return true;
    });
}

} // namespace

qint64 bytesLeft(const QDataStream &in)
{
    const QIODevice *device = in.device();
    return device ? std::max<qint64>(0, device->bytesAvailable()) : 0;
}

bool fits(const QDataStream &in, qint64 count, qint64 bytesEach)
{
    return count >= 0 && bytesEach > 0 && count <= bytesLeft(in) / bytesEach;
}

int floatBytes(const QDataStream &s)
{
    return s.floatingPointPrecision() == QDataStream::DoublePrecision ? 8 : 4;
}

bool readFiniteFloat(QDataStream &in, float *value)
{
    float v = 0.0f;
    in >> v;
    if (in.status() != QDataStream::Ok)
        return false;
    if (!std::isfinite(v)) {
        in.setStatus(QDataStream::ReadCorruptData);
        return false;
    }
    *value = v;
    return true;
}

void writeVertices(QDataStream &out, const Vertex *vertices, size_t count,
                   const QMatrix4x4 &modelMatrix, const QMatrix4x4 &normalMatrix)
{
    const float *m = modelMatrix.constData();
    const float *n = normalMatrix.constData();
    if (out.byteOrder() == QDataStream::BigEndian && floatBytes(out) == 4) {
        writeBlocks(out, count, sizeof(Vertex), [=](size_t first, size_t items, uchar *bytes) {
            packWorldBig(vertices + first, items, m, n, reinterpret_cast<quint32 *>(bytes));
        });
        return;
    }
    const Codec codec = codecOf(out);
    const size_t vertexBytes = size_t(6 * floatBytes(out));
    std::vector<uchar> block(std::min(count, kChunkItems) * vertexBytes);
    for (size_t first = 0; first < count; first += kChunkItems) {
        const size_t end = std::min(count, first + kChunkItems);
        uchar *p = block.data();
        for (size_t i = first; i < end; ++i)
            for (float f : worldVertex(vertices[i], m, n))
                codec.putFloat(p, f);
        out.writeRawData(reinterpret_cast<const char *>(block.data()),
                         int((end - first) * vertexBytes));
    }
}

bool readVertices(QDataStream &in, qint64 count, std::vector<Vertex> *out)
{
    const Codec codec = codecOf(in);
    const qint64 vertexBytes = 6 * floatBytes(in);
    if (!fits(in, count, vertexBytes)) {
        in.setStatus(QDataStream::ReadCorruptData);
        return false;
    }
    if (!codec.wide)
        return readPackedVertices(in, out, size_t(count), codec.big);
    out->resize(size_t(count));
    std::vector<uchar> block(std::min(size_t(count), kChunkItems) * size_t(vertexBytes));
    for (size_t first = 0; first < size_t(count); first += kChunkItems) {
        const size_t end = std::min(size_t(count), first + kChunkItems);
        if (!readBlock(in, reinterpret_cast<char *>(block.data()),
                       int((end - first) * size_t(vertexBytes))))
            return false;
        const uchar *p = block.data();
        bool finite = true;
        for (size_t i = first; i < end; ++i) {
            Vertex &v = (*out)[i];
            v.px = codec.getFloat(p);
            v.py = codec.getFloat(p);
            v.pz = codec.getFloat(p);
            v.nx = codec.getFloat(p);
            v.ny = codec.getFloat(p);
            v.nz = codec.getFloat(p);
            finite &= std::isfinite(v.px) && std::isfinite(v.py) && std::isfinite(v.pz) &&
                      std::isfinite(v.nx) && std::isfinite(v.ny) && std::isfinite(v.nz);
        }
        if (!finite) {
            in.setStatus(QDataStream::ReadCorruptData);
            return false;
        }
    }
    return true;
}

void writeIndices(QDataStream &out, const std::vector<uint32_t> &indices)
{
    const bool big = out.byteOrder() == QDataStream::BigEndian;
    writeBlocks(out, indices.size(), 4, [&indices, big](size_t first, size_t items, uchar *bytes) {
        for (size_t i = 0; i < items; ++i) {
            const quint32 word = indices[first + i];
            big ? qToBigEndian(word, bytes + 4 * i) : qToLittleEndian(word, bytes + 4 * i);
        }
    });
}

bool readIndices(QDataStream &in, qint64 count, uint32_t vertexCount, std::vector<uint32_t> *out)
{
    if (!fits(in, count, 4)) {
        in.setStatus(QDataStream::ReadCorruptData);
        return false;
    }
    const bool big = in.byteOrder() == QDataStream::BigEndian;
    out->clear();
    out->reserve(size_t(count));
    adviseHugePages(out->data(), size_t(count) * 4);
    return readBlocks(in, size_t(count), 4, [out, big, vertexCount](uchar *bytes, size_t items) {
        auto *block = reinterpret_cast<uint32_t *>(bytes);
        uint32_t largest = 0;
        for (size_t i = 0; i < items; ++i) {
            block[i] = big ? qFromBigEndian(block[i]) : qFromLittleEndian(block[i]);
            largest = std::max(largest, block[i]);
        }
        // Negative stored values read as huge unsigned ones and fail here too.
        if (items > 0 && largest >= vertexCount)
            return false;
        out->insert(out->end(), block, block + items);
        return true;
    });
}

} // namespace RecordIo
