#pragma once

#include <cstddef>
#include <vector>

// A zlib stream for image rows that are mostly runs and mostly repeat the row above: a layer's
// black and white areas with a few grey pixels at each edge. Every byte is either a literal,
// a copy of the byte to its left (a run), or a copy of the row above; the parse picks among
// them by their cost in bits, and each block gets its own Huffman codes.
//
// On such rows this is smaller than a general compressor at its fast levels, whose matches
// reach the row above at the price of a long distance where a run would be nearly free, and
// faster than one at its slow levels. Other data comes out valid but large.
namespace CWS::RowDeflate {

// The zlib stream (header, deflate blocks, Adler-32) of bytes [data, data + length), which
// are rows of rowBytes bytes each (the last may be shorter). Replaces out's contents. Rows
// wider than a deflate window (32768 bytes) are coded without copies from above.
void compress(const unsigned char *data, size_t length, size_t rowBytes,
              std::vector<unsigned char> &out);

} // namespace CWS::RowDeflate
