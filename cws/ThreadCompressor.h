#pragma once

struct libdeflate_compressor;

namespace CWS {

// libdeflate's compressor for the level (0 to 12), one per thread and level, kept for the
// thread's life: allocating one costs more than deflating a sparse layer. Null for a level
// out of range or when memory runs out.
libdeflate_compressor *threadCompressor(int level);

} // namespace CWS
