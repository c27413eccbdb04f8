#pragma once

#include <QByteArray>

class QuaZip;
class QString;

namespace CWS {

// One archive entry deflated ahead of writing, so that the compression runs outside the
// archive's lock, with its checksum and size.
struct ZipEntryData
{
    QByteArray deflated;
    quint32 crc = 0;
    qint64 size = 0;
    bool ok = false;
};

// Layer entries are PNG files, deflated already, and stay deflate entries (method 8) as the
// printer's reader expects. Measured on the benchmark gyroid: a grey layer's stream still
// shrinks by about 6% at libdeflate's fastest level, for a tenth of its encoding time; a 1-bit
// layer's by half a percent, for a fifth: those go in stored blocks (level 0).
constexpr int kGreyLayerEntryLevel = 1;
constexpr int kMonoLayerEntryLevel = 0;

// A raw deflate stream of data at libdeflate's level (0 to 12).
ZipEntryData deflateEntry(const QByteArray &data, int level);

// Adds the entry to the open archive as it is: QuaZip writes the bytes and records the
// checksum and sizes given. False when the archive refused it.
bool writeDeflatedEntry(QuaZip &zip, const QString &name, const ZipEntryData &entry);

} // namespace CWS
