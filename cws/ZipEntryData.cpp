#include "cws/ZipEntryData.h"

#include <zlib.h>

#include <cstring>

namespace CWS {

ZipEntryData deflateEntry(const QByteArray &data)
{
    ZipEntryData entry;
    entry.size = data.size();
    entry.crc =
        quint32(crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef *>(data.constData()),
                      uInt(data.size())));
    z_stream zs;
    std::memset(&zs, 0, sizeof zs);
    if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK)
        return entry;
    entry.deflated.resize(int(deflateBound(&zs, uLong(data.size()))));
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    zs.avail_in = uInt(data.size());
    zs.next_out = reinterpret_cast<Bytef *>(entry.deflated.data());
    zs.avail_out = uInt(entry.deflated.size());
    // As the archive writer does: all the data, then the finish.
    int ret = deflate(&zs, Z_NO_FLUSH);
    if (ret == Z_OK || ret == Z_BUF_ERROR)
        ret = deflate(&zs, Z_FINISH);
    entry.ok = ret == Z_STREAM_END;
    entry.deflated.resize(int(zs.total_out));
    deflateEnd(&zs);
    return entry;
}

} // namespace CWS
