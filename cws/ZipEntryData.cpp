#include "cws/ZipEntryData.h"

#include "cws/ThreadCompressor.h"

#include <QString>

#include <libdeflate.h>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>
#include <zlib.h>

namespace CWS {

ZipEntryData deflateEntry(const QByteArray &data, int level)
{
    ZipEntryData entry;
    entry.size = data.size();
    entry.crc = libdeflate_crc32(0, data.constData(), size_t(data.size()));
    libdeflate_compressor *compressor = threadCompressor(level);
    if (!compressor)
        return entry;
    // The bound also covers stored blocks, and an empty input still needs one final block.
    entry.deflated.resize(int(libdeflate_deflate_compress_bound(compressor, size_t(data.size()))));
    const size_t length =
        libdeflate_deflate_compress(compressor, data.constData(), size_t(data.size()),
                                    entry.deflated.data(), size_t(entry.deflated.size()));
    entry.deflated.resize(int(length));
    entry.ok = length > 0;
    return entry;
}

bool writeDeflatedEntry(QuaZip &zip, const QString &name, const ZipEntryData &entry)
{
    QuaZipNewInfo info(name);
    info.uncompressedSize = ulong(entry.size);
    QuaZipFile file(&zip);
    bool ok = file.open(QIODevice::WriteOnly, info, nullptr, entry.crc, Z_DEFLATED,
                        Z_DEFAULT_COMPRESSION, true, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) &&
              file.write(entry.deflated) == entry.deflated.size();
    file.close();
    return ok && file.getZipError() == ZIP_OK;
}

} // namespace CWS
