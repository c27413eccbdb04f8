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

// Layer entries are PNG files, deflated already: deflating them again costs time and gains
// next to nothing, so their entries hold the bytes in stored deflate blocks (level 0). Still
// a deflate entry (method 8), as the printer's reader expects.
constexpr int kLayerEntryLevel = 0;

// A raw deflate stream of data at libdeflate's level (0 to 12).
ZipEntryData deflateEntry(const QByteArray &data, int level = kLayerEntryLevel);

// Adds the entry to the open archive as it is: QuaZip writes the bytes and records the
// checksum and sizes given. False when the archive refused it.
bool writeDeflatedEntry(QuaZip &zip, const QString &name, const ZipEntryData &entry);

} // namespace CWS
