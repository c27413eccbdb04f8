#pragma once

#include <QByteArray>

namespace CWS {

// One archive entry deflated ahead of writing, so that the compression can run outside the
// archive's lock: the raw deflate stream QuaZip would produce for the data (level -1, window
// bits -15, memory level 8, default strategy), with its checksum and size.
struct ZipEntryData
{
    QByteArray deflated;
    quint32 crc = 0;
    qint64 size = 0;
    bool ok = false;
};

ZipEntryData deflateEntry(const QByteArray &data);

} // namespace CWS
