#include "model/RecordIo.h"

#include <QIODevice>
#include <QtEndian>

#include <cmath>
#include <cstring>

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

// Single-precision vertices are stored exactly as they lie in memory, but for the byte order:
// each block is read into a small buffer that stays in cache, turned around word by word and
// tested for NaN or infinity there, then appended (so the large array is written only once).
bool readPackedVertices(QDataStream &in, std::vector<Vertex> *out, size_t count, bool big)
{
    static_assert(sizeof(Vertex) == 6 * sizeof(quint32), "vertices are six packed words");
    out->clear();
    out->reserve(count);
    std::vector<Vertex> block(std::min(count, kChunkItems));
    for (size_t first = 0; first < count; first += kChunkItems) {
        const size_t n = std::min(count, first + kChunkItems) - first;
        char *bytes = reinterpret_cast<char *>(block.data());
        if (!readBlock(in, bytes, int(n * sizeof(Vertex))))
            return false;
        quint32 nonFinite = 0;
        for (size_t k = 0; k < n * 6; ++k) {
            quint32 word;
            std::memcpy(&word, bytes + 4 * k, 4);
            word = big ? qFromBigEndian(word) : qFromLittleEndian(word);
            std::memcpy(bytes + 4 * k, &word, 4);
            // All exponent bits set: NaN or infinity.
            nonFinite |= quint32((word & 0x7f800000u) == 0x7f800000u);
        }
        if (nonFinite) {
            in.setStatus(QDataStream::ReadCorruptData);
            return false;
        }
        out->insert(out->end(), block.begin(), block.begin() + std::ptrdiff_t(n));
    }
    return true;
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
    const Codec codec = codecOf(out);
    const size_t vertexBytes = size_t(6 * floatBytes(out));
    const float *m = modelMatrix.constData();
    const float *n = normalMatrix.constData();
    const bool plainPositions = modelMatrix.isIdentity();
    std::vector<uchar> block(std::min(count, kChunkItems) * vertexBytes);
    for (size_t first = 0; first < count; first += kChunkItems) {
        const size_t end = std::min(count, first + kChunkItems);
        uchar *p = block.data();
        for (size_t i = first; i < end; ++i) {
            const Vertex &v = vertices[i];
            float x = v.px, y = v.py, z = v.pz;
            if (!plainPositions) {
                // Full projective product, as the geometry pass maps points.
                x = m[0] * v.px + m[4] * v.py + m[8] * v.pz + m[12];
                y = m[1] * v.px + m[5] * v.py + m[9] * v.pz + m[13];
                z = m[2] * v.px + m[6] * v.py + m[10] * v.pz + m[14];
                const float w = m[3] * v.px + m[7] * v.py + m[11] * v.pz + m[15];
                if (w != 1.0f) {
                    x /= w;
                    y /= w;
                    z /= w;
                }
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
            for (float f : {x, y, z, nx, ny, nz})
                codec.putFloat(p, f);
        }
        out.writeRawData(reinterpret_cast<const char *>(block.data()), int(p - block.data()));
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
    std::vector<quint32> block(std::min(indices.size(), kChunkItems));
    for (size_t first = 0; first < indices.size(); first += kChunkItems) {
        const size_t end = std::min(indices.size(), first + kChunkItems);
        for (size_t i = first; i < end; ++i)
            block[i - first] = big ? qToBigEndian(indices[i]) : qToLittleEndian(indices[i]);
        out.writeRawData(reinterpret_cast<const char *>(block.data()), int((end - first) * 4));
    }
}

bool readIndices(QDataStream &in, qint64 count, uint32_t vertexCount, std::vector<uint32_t> *out)
{
    if (!fits(in, count, 4)) {
        in.setStatus(QDataStream::ReadCorruptData);
        return false;
    }
    const bool big = in.byteOrder() == QDataStream::BigEndian;
    // Read block by block into a buffer that stays in cache, then appended.
    out->clear();
    out->reserve(size_t(count));
    std::vector<uint32_t> block(std::min(size_t(count), kChunkItems));
    for (size_t first = 0; first < size_t(count); first += kChunkItems) {
        const size_t n = std::min(size_t(count), first + kChunkItems) - first;
        if (!readBlock(in, reinterpret_cast<char *>(block.data()), int(n * 4)))
            return false;
        uint32_t largest = 0;
        for (size_t i = 0; i < n; ++i) {
            block[i] = big ? qFromBigEndian(block[i]) : qFromLittleEndian(block[i]);
            largest = std::max(largest, block[i]);
        }
        // Negative stored values read as huge unsigned ones and fail here too.
        if (n > 0 && largest >= vertexCount) {
            in.setStatus(QDataStream::ReadCorruptData);
            return false;
        }
        out->insert(out->end(), block.begin(), block.begin() + std::ptrdiff_t(n));
    }
    return true;
}

} // namespace RecordIo
