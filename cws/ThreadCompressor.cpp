#include "cws/ThreadCompressor.h"

#include <libdeflate.h>

#include <memory>

namespace CWS {

namespace {

struct CompressorDeleter
{
    void operator()(libdeflate_compressor *c) const { libdeflate_free_compressor(c); }
};

constexpr int kLevels = 13;

} // namespace

libdeflate_compressor *threadCompressor(int level)
{
    thread_local std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressors[kLevels];
    if (level < 0 || level >= kLevels)
        return nullptr;
    auto &c = compressors[level];
    if (!c)
        c.reset(libdeflate_alloc_compressor(level));
    return c.get();
}

} // namespace CWS
