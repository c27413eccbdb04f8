#include "cws/RowDeflate.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace CWS::RowDeflate {

namespace {

constexpr int kLitLenSymbols = 286;
constexpr int kDistSymbols = 30;
constexpr int kCodeLenSymbols = 19;
constexpr int kEndOfBlock = 256;
constexpr size_t kMinMatch = 3;
constexpr size_t kMaxMatch = 258;
constexpr size_t kWindowBytes = 32768;
// New codes every so many tokens, so that they follow the image as it changes down the rows.
constexpr size_t kBlockTokens = size_t(1) << 14;
// A copy from the row above pays a long distance that a run does not.
constexpr size_t kMinUpMatch = 4;

const uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint16_t kDistBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
const uint8_t kCodeLenOrder[kCodeLenSymbols] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                11, 4,  12, 3, 13, 2, 14, 1, 15};

struct LengthCode
{
    uint16_t symbol;
    uint8_t extraBits;
    uint8_t extra;
};

struct LengthTable
{
    LengthCode codes[kMaxMatch + 1];
    LengthTable()
    {
        // Later symbols overwrite earlier ones: 258 gets its own symbol, not 284's last extra.
        for (int s = 0; s < 29; ++s)
            for (int e = 0; e < (1 << kLengthExtra[s]); ++e) {
                const int length = kLengthBase[s] + e;
                if (length <= int(kMaxMatch))
                    codes[length] = {uint16_t(257 + s), kLengthExtra[s], uint8_t(e)};
            }
    }
};

const LengthTable &lengthTable()
{
    static const LengthTable table;
    return table;
}

int distanceSymbol(size_t distance)
{
    int s = 0;
    while (s + 1 < kDistSymbols && kDistBase[s + 1] <= distance)
        ++s;
    return s;
}

// A literal (bits 0-7), or a match: length symbol in bits 0-8, its extra bits' value in bits
// 9-13, kMatch set, kFar set for a copy from the row above (else a run, distance 1).
constexpr uint32_t kMatch = 1u << 14;
constexpr uint32_t kFar = 1u << 15;

size_t matchLength(const unsigned char *a, const unsigned char *b, size_t limit)
{
    size_t n = 0;
    while (n + 8 <= limit) {
        uint64_t x, y;
        std::memcpy(&x, a + n, 8);
        std::memcpy(&y, b + n, 8);
        if (x != y)
            return n + size_t(__builtin_ctzll(x ^ y) >> 3);
        n += 8;
    }
    while (n < limit && a[n] == b[n])
        ++n;
    return n;
}

// Huffman code lengths for the frequencies, none longer than maxBits; unused symbols get 0.
// Too deep a tree is built again from flattened frequencies, which always ends.
void buildLengths(const uint32_t *frequencies, int count, int maxBits, uint8_t *lengths)
{
    std::vector<uint32_t> freq(frequencies, frequencies + count);
    std::vector<int> symbols;
    for (int i = 0; i < count; ++i)
        if (freq[size_t(i)] > 0)
            symbols.push_back(i);
    std::fill(lengths, lengths + count, uint8_t(0));
    if (symbols.size() == 1) {
        lengths[symbols.front()] = 1;
        return;
    }
    if (symbols.empty())
        return;
    const size_t leaves = symbols.size();
    std::vector<uint64_t> weight(2 * leaves);
    std::vector<int> parent(2 * leaves, -1);
    for (;;) {
        std::sort(symbols.begin(), symbols.end(), [&](int a, int b) {
            return freq[size_t(a)] != freq[size_t(b)] ? freq[size_t(a)] < freq[size_t(b)] : a < b;
        });
        for (size_t i = 0; i < leaves; ++i)
            weight[i] = freq[size_t(symbols[i])];
        // Two queues: the sorted leaves, and the inner nodes in the order they are made (which
        // is also by weight).
        size_t nextLeaf = 0, nextInner = leaves, made = leaves;
        auto takeLightest = [&] {
            if (nextLeaf < leaves && (nextInner >= made || weight[nextLeaf] <= weight[nextInner]))
                return nextLeaf++;
            return nextInner++;
        };
        while (made < 2 * leaves - 1) {
            const size_t a = takeLightest();
            const size_t b = takeLightest();
            weight[made] = weight[a] + weight[b];
            parent[a] = parent[b] = int(made);
            ++made;
        }
        // Depths from the root down: every node is made after its children.
        std::vector<int> depth(made, 0);
        int deepest = 0;
        for (size_t n = made - 1; n-- > 0;) {
            depth[n] = depth[size_t(parent[n])] + 1;
            if (n < leaves)
                deepest = std::max(deepest, depth[n]);
        }
        if (deepest <= maxBits) {
            for (size_t i = 0; i < leaves; ++i)
                lengths[symbols[i]] = uint8_t(depth[i]);
            return;
        }
        for (int s : symbols)
            freq[size_t(s)] = (freq[size_t(s)] + 1) / 2;
    }
}

// Canonical codes for the lengths, bit-reversed as deflate sends them.
void canonicalCodes(const uint8_t *lengths, int count, uint16_t *codes)
{
    int perLength[16] = {0};
    for (int i = 0; i < count; ++i)
        ++perLength[lengths[i]];
    perLength[0] = 0;
    int next[16] = {0};
    int code = 0;
    for (int bits = 1; bits < 16; ++bits) {
        code = (code + perLength[bits - 1]) << 1;
        next[bits] = code;
    }
    for (int i = 0; i < count; ++i) {
        const int bits = lengths[i];
        if (bits == 0) {
            codes[i] = 0;
            continue;
        }
        const unsigned value = unsigned(next[bits]++);
        unsigned reversed = 0;
        for (int b = 0; b < bits; ++b)
            reversed |= ((value >> b) & 1u) << (bits - 1 - b);
        codes[i] = uint16_t(reversed);
    }
}

// Gives at least two symbols a frequency: every code is then complete, which some decoders
// insist on even where the format allows less.
void atLeastTwo(uint32_t *freq, int count)
{
    int used = 0;
    for (int i = 0; i < count; ++i)
        used += freq[i] > 0;
    for (int i = 0; i < count && used < 2; ++i)
        if (freq[i] == 0) {
            freq[i] = 1;
            ++used;
        }
}

class BitWriter
{
public:
    explicit BitWriter(unsigned char *out) : m_out(out), m_start(out) {}
    void put(uint32_t bits, int count)
    {
        m_buffer |= uint64_t(bits) << m_count;
        m_count += count;
        if (m_count >= 32) {
            const uint32_t word = uint32_t(m_buffer);
            std::memcpy(m_out, &word, 4);
            m_out += 4;
            m_buffer >>= 32;
            m_count -= 32;
        }
    }
    void alignToByte()
    {
        while (m_count > 0) {
            *m_out++ = uint8_t(m_buffer);
            m_buffer >>= 8;
            m_count -= 8;
        }
        m_buffer = 0;
        m_count = 0;
    }
    size_t written() const { return size_t(m_out - m_start); }

private:
    unsigned char *m_out;
    unsigned char *m_start;
    uint64_t m_buffer = 0;
    int m_count = 0;
};

struct FarCode
{
    int symbol = 0;
    int extraBits = 0;
    uint32_t extra = 0;
};

void writeBlock(BitWriter &bits, const uint32_t *tokens, size_t count, const FarCode &far,
                bool final)
{
    uint32_t litFreq[kLitLenSymbols] = {0};
    uint32_t distFreq[kDistSymbols] = {0};
    for (size_t i = 0; i < count; ++i) {
        const uint32_t t = tokens[i];
        if (t & kMatch) {
            ++litFreq[t & 0x1ff];
            ++distFreq[(t & kFar) ? far.symbol : 0];
        } else {
            ++litFreq[t];
        }
    }
    litFreq[kEndOfBlock] = 1;
    atLeastTwo(litFreq, kLitLenSymbols);
    atLeastTwo(distFreq, kDistSymbols);
    uint8_t litLengths[kLitLenSymbols], distLengths[kDistSymbols];
    buildLengths(litFreq, kLitLenSymbols, 15, litLengths);
    buildLengths(distFreq, kDistSymbols, 15, distLengths);
    uint16_t litCodes[kLitLenSymbols], distCodes[kDistSymbols];
    canonicalCodes(litLengths, kLitLenSymbols, litCodes);
    canonicalCodes(distLengths, kDistSymbols, distCodes);

    int litCount = kLitLenSymbols;
    while (litCount > 257 && litLengths[litCount - 1] == 0)
        --litCount;
    int distCount = kDistSymbols;
    while (distCount > 1 && distLengths[distCount - 1] == 0)
        --distCount;

    // Both length lists run-length coded with the code-length alphabet (16 repeats the last
    // length 3-6 times, 17 and 18 give 3-10 and 11-138 zeros).
    uint8_t all[kLitLenSymbols + kDistSymbols];
    std::memcpy(all, litLengths, size_t(litCount));
    std::memcpy(all + litCount, distLengths, size_t(distCount));
    const int total = litCount + distCount;
    struct CodeLen
    {
        uint8_t symbol, extra;
    };
    std::vector<CodeLen> rle;
    for (int i = 0; i < total;) {
        const uint8_t v = all[i];
        int run = 1;
        while (i + run < total && all[i + run] == v)
            ++run;
        i += run;
        if (v == 0) {
            while (run >= 11) {
                const int r = std::min(run, 138);
                rle.push_back({18, uint8_t(r - 11)});
                run -= r;
            }
            if (run >= 3) {
                rle.push_back({17, uint8_t(run - 3)});
                run = 0;
            }
        } else {
            rle.push_back({v, 0});
            --run;
            while (run >= 3) {
                const int r = std::min(run, 6);
                rle.push_back({16, uint8_t(r - 3)});
                run -= r;
            }
        }
        for (; run > 0; --run)
            rle.push_back({v, 0});
    }
    uint32_t clFreq[kCodeLenSymbols] = {0};
    for (const CodeLen &c : rle)
        ++clFreq[c.symbol];
    atLeastTwo(clFreq, kCodeLenSymbols);
    uint8_t clLengths[kCodeLenSymbols];
    buildLengths(clFreq, kCodeLenSymbols, 7, clLengths);
    uint16_t clCodes[kCodeLenSymbols];
    canonicalCodes(clLengths, kCodeLenSymbols, clCodes);
    int clCount = kCodeLenSymbols;
    while (clCount > 4 && clLengths[kCodeLenOrder[clCount - 1]] == 0)
        --clCount;

    bits.put(final ? 1 : 0, 1);
    bits.put(2, 2); // dynamic Huffman codes
    bits.put(uint32_t(litCount - 257), 5);
    bits.put(uint32_t(distCount - 1), 5);
    bits.put(uint32_t(clCount - 4), 4);
    for (int i = 0; i < clCount; ++i)
        bits.put(clLengths[kCodeLenOrder[i]], 3);
    for (const CodeLen &c : rle) {
        bits.put(clCodes[c.symbol], clLengths[c.symbol]);
        if (c.symbol == 16)
            bits.put(c.extra, 2);
        else if (c.symbol == 17)
            bits.put(c.extra, 3);
        else if (c.symbol == 18)
            bits.put(c.extra, 7);
    }

    for (size_t i = 0; i < count; ++i) {
        const uint32_t t = tokens[i];
        if (!(t & kMatch)) {
            bits.put(litCodes[t], litLengths[t]);
            continue;
        }
        const int symbol = int(t & 0x1ff);
        bits.put(litCodes[symbol], litLengths[symbol]);
        const int extraBits = kLengthExtra[symbol - 257];
        if (extraBits)
            bits.put((t >> 9) & 0x1f, extraBits);
        if (t & kFar) {
            bits.put(distCodes[far.symbol], distLengths[far.symbol]);
            if (far.extraBits)
                bits.put(far.extra, far.extraBits);
        } else {
            bits.put(distCodes[0], distLengths[0]);
        }
    }
    bits.put(litCodes[kEndOfBlock], litLengths[kEndOfBlock]);
}

uint32_t matchToken(size_t length, bool far)
{
    const LengthCode &c = lengthTable().codes[length];
    return c.symbol | (uint32_t(c.extra) << 9) | kMatch | (far ? kFar : 0u);
}

} // namespace

void compress(const unsigned char *data, size_t length, size_t rowBytes,
              std::vector<unsigned char> &out)
{
    const bool copiesFromAbove = rowBytes >= 1 && rowBytes <= kWindowBytes;
    FarCode far;
    if (copiesFromAbove) {
        far.symbol = distanceSymbol(rowBytes);
        far.extraBits = kDistExtra[far.symbol];
        far.extra = uint32_t(rowBytes - kDistBase[far.symbol]);
    }

    // Greedy: a copy from above where it reaches past the run at hand, that is over at least
    // one change of value (an edge that stayed where it was in the row above); else the run;
    // else a literal.
    thread_local std::vector<uint32_t> tokens;
    tokens.clear();
    for (size_t i = 0; i < length;) {
        const size_t limit = std::min(kMaxMatch, length - i);
        // Most bytes start no match at all, or a run to the limit that a copy from above
        // cannot beat: neither needs the other comparison.
        const size_t run =
            i >= 1 && data[i] == data[i - 1] ? matchLength(data + i, data + i - 1, limit) : 0;
        const size_t up =
            copiesFromAbove && i >= rowBytes && run < limit && data[i] == data[i - rowBytes]
                ? matchLength(data + i, data + i - rowBytes, limit)
                : 0;
        // With a run, the byte after it is a change; without one, look for a change inside.
        if (up >= kMinUpMatch && up > run &&
            (run > 0 || matchLength(data + i + 1, data + i, up - 1) < up - 1)) {
            tokens.push_back(matchToken(up, true));
            i += up;
        } else if (run >= kMinMatch) {
            tokens.push_back(matchToken(run, false));
            i += run;
        } else {
            tokens.push_back(data[i]);
            ++i;
        }
    }

    const size_t blocks = std::max<size_t>(1, (tokens.size() + kBlockTokens - 1) / kBlockTokens);
    // Every token takes at most 48 bits and covers at least one byte; each block's codes fit
    // in well under a kilobyte.
    out.resize(2 + std::min(tokens.size() * 6, length * 2 + 8) + blocks * 1024 + 16);
    out[0] = 0x78; // deflate, 32 KiB window
    out[1] = 0x01; // check bits for the above, fastest level
    BitWriter bits(out.data() + 2);
    for (size_t b = 0; b < blocks; ++b) {
        const size_t from = b * kBlockTokens;
        const size_t to = std::min(tokens.size(), from + kBlockTokens);
        writeBlock(bits, tokens.data() + from, to - from, far, b + 1 == blocks);
    }
    bits.alignToByte();
    size_t at = 2 + bits.written();
    const uint32_t adler = libdeflate_adler32(1, data, length);
    out[at++] = uint8_t(adler >> 24);
    out[at++] = uint8_t(adler >> 16);
    out[at++] = uint8_t(adler >> 8);
    out[at++] = uint8_t(adler);
    out.resize(at);
}

} // namespace CWS::RowDeflate
