#include "cws/SmoothDownscale.h"

#include "cws/ImageBufferPool.h"

#include <QMutex>

#include <emmintrin.h>

#include <algorithm>
#include <cstring>

namespace CWS {

namespace {

// The 1-bit path looks up a block row's sum by the bits under it, two source bytes at most.
constexpr int kMaxMonoTaps = 8;
// ...and keeps the block's rows at hand.
constexpr int kMaxRowTaps = 16;

quint64 load64(const uchar *p)
{
    quint64 v;
    std::memcpy(&v, p, 8);
    return v;
}

// What a source row adds for a column whose taps are all white: 255 times weights that add up
// to 1 << 14, shifted down by 4.
constexpr quint32 kWhiteRowSum = (255u << 14) >> 4;

void addToEach(quint32 *p, int n, quint32 value)
{
    const __m128i v = _mm_set1_epi32(int(value));
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        auto *q = reinterpret_cast<__m128i *>(p + i);
        _mm_storeu_si128(q, _mm_add_epi32(_mm_loadu_si128(q), v));
    }
    for (; i < n; ++i)
        p[i] += value;
}

// out = total >> 24 for n columns, and the totals back to zero for the next output row.
void storeTotals(quint32 *total, uchar *out, int n)
{
    const __m128i zero = _mm_setzero_si128();
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        auto *t = reinterpret_cast<__m128i *>(total + i);
        const __m128i a = _mm_srli_epi32(_mm_loadu_si128(t), 24);
        const __m128i b = _mm_srli_epi32(_mm_loadu_si128(t + 1), 24);
        const __m128i c = _mm_srli_epi32(_mm_loadu_si128(t + 2), 24);
        const __m128i d = _mm_srli_epi32(_mm_loadu_si128(t + 3), 24);
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), bytes);
        for (int k = 0; k < 4; ++k)
            _mm_storeu_si128(t + k, zero);
    }
    for (; i < n; ++i) {
        out[i] = uchar(total[i] >> 24);
        total[i] = 0;
    }
}

// count bits of a 1-bit row from column first on, the first one in the highest bit.
inline unsigned bitsAt(const uchar *row, int rowBytes, int first, int count)
{
    const int at = first >> 3;
    const unsigned next = at + 1 < rowBytes ? row[at + 1] : 0u;
    const unsigned v = (unsigned(row[at]) << 8) | next;
    return (v >> (16 - (first & 7) - count)) & ((1u << count) - 1u);
}

} // namespace

void SmoothDownscale::buildTaps(int sourceLength, int targetLength, std::vector<Taps> &taps,
                                std::vector<int> &weights)
{
    // Qt's reduction: the block of output pixel i starts at source pixel (i * inc) >> 16; its
    // first pixel weighs what is left of it, the next ones Cp each, the last the remainder,
    // all adding up to 1 << 14.
    const qint64 inc = (qint64(sourceLength) << 16) / targetLength;
    const int cp = int(((qint64(targetLength) << 14) + sourceLength - 1) / sourceLength);
    qint64 val = 0;
    taps.resize(size_t(targetLength));
    for (int i = 0; i < targetLength; ++i) {
        Taps &t = taps[size_t(i)];
        t.first = int(std::max<qint64>(0, val >> 16));
        t.weightOffset = int(weights.size());
        const int ap = int(((0x10000 - (val & 0xffff)) * cp) >> 16);
        weights.push_back(ap);
        int j = (1 << 14) - ap;
        for (; j > cp; j -= cp)
            weights.push_back(cp);
        weights.push_back(j);
        t.count = int(weights.size()) - t.weightOffset;
        val += inc;
    }
}

SmoothDownscale::SmoothDownscale(QSize source, QSize target) : m_source(source), m_target(target)
{
    const int sw = source.width(), sh = source.height();
    const int dw = target.width(), dh = target.height();
    if (dw <= 0 || dh <= 0 || dw >= sw || dh >= sh)
        return;
    // Below a million source pixels Qt paints reductions of up to one half bilinearly.
    if (qint64(sw) * sh < (1 << 20) && dw * 2 >= sw && dh * 2 >= sh)
        return;
    buildTaps(sw, dw, m_columns, m_weights);
    buildTaps(sh, dh, m_rows, m_rowWeights);
    for (const Taps &t : m_columns) {
        if (t.first + t.count > sw)
            return;
        m_maxColumnTaps = std::max(m_maxColumnTaps, t.count);
    }
    int maxRowTaps = 0;
    for (const Taps &t : m_rows) {
        if (t.first + t.count > sh)
            return;
        maxRowTaps = std::max(maxRowTaps, t.count);
    }
    m_exact = true;
    buildRunTables();
    buildBitValues();
    if (m_maxColumnTaps > kMaxMonoTaps || maxRowTaps > kMaxRowTaps)
        return;

    const int stride = 1 << m_maxColumnTaps;
    m_patternSums.assign(size_t(dw) * size_t(stride), 0);
    for (int x = 0; x < dw; ++x) {
        const Taps &t = m_columns[size_t(x)];
        quint32 *sums = &m_patternSums[size_t(x) * size_t(stride)];
        for (unsigned pattern = 0; pattern < (1u << t.count); ++pattern) {
            quint32 sum = 0;
            for (int i = 0; i < t.count; ++i)
                if (pattern & (1u << (t.count - 1 - i)))
                    sum += 255u * quint32(m_weights[size_t(t.weightOffset + i)]);
            sums[pattern] = sum >> 4;
        }
    }
    m_firstColumnEndingAfter.assign(size_t(sw) + 65, dw);
    int x = 0, maxEnd = 0;
    for (int c = 0; c <= sw + 64; ++c) {
        while (x < dw &&
               std::max(maxEnd, m_columns[size_t(x)].first + m_columns[size_t(x)].count) <= c) {
            maxEnd = std::max(maxEnd, m_columns[size_t(x)].first + m_columns[size_t(x)].count);
            ++x;
        }
        m_firstColumnEndingAfter[size_t(c)] = x;
    }
}

void SmoothDownscale::buildRunTables()
{
    const int sw = m_source.width(), dw = m_target.width();
    // Runs give the output columns they reach by a look-up, which needs the taps to move on
    // from column to column, neighbours sharing one source column at most; every column all
    // white must add the same.
    m_columnPrefix.assign(m_weights.size() + size_t(dw), 0);
    for (int x = 0; x < dw; ++x) {
        const Taps &t = m_columns[size_t(x)];
        if (t.count == 0)
            return;
        if (x > 0) {
            const Taps &before = m_columns[size_t(x - 1)];
            if (t.first < before.first + before.count - 1 ||
                t.first + t.count < before.first + before.count)
                return;
        }
        quint32 *prefix = &m_columnPrefix[size_t(t.weightOffset + x)];
        for (int i = 0; i < t.count; ++i)
            prefix[i + 1] = prefix[i] + 255u * quint32(m_weights[size_t(t.weightOffset + i)]);
        if (prefix[t.count] >> 4 != kWhiteRowSum)
            return;
    }
    // Rows are read from the top down, each at most twice in a row.
    for (size_t y = 1; y < m_rows.size(); ++y)
        if (m_rows[y].first < m_rows[y - 1].first + m_rows[y - 1].count - 1)
            return;
    auto last = [this](int x) {
        return m_columns[size_t(x)].first + m_columns[size_t(x)].count - 1;
    };
    auto first = [this](int x) { return m_columns[size_t(x)].first; };
    m_firstReaching.resize(size_t(sw));
    m_lastStartingBy.resize(size_t(sw));
    m_firstStartingFrom.resize(size_t(sw));
    m_lastEndingBy.resize(size_t(sw));
    int reaching = 0, startingBy = -1, startingFrom = 0, endingBy = -1;
    for (int c = 0; c < sw; ++c) {
        while (reaching < dw && last(reaching) < c)
            ++reaching;
        while (startingBy + 1 < dw && first(startingBy + 1) <= c)
            ++startingBy;
        while (startingFrom < dw && first(startingFrom) < c)
            ++startingFrom;
        while (endingBy + 1 < dw && last(endingBy + 1) <= c)
            ++endingBy;
        m_firstReaching[size_t(c)] = reaching;
        m_lastStartingBy[size_t(c)] = startingBy;
        m_firstStartingFrom[size_t(c)] = startingFrom;
        m_lastEndingBy[size_t(c)] = endingBy;
    }
    m_readsRuns = true;
}

void SmoothDownscale::buildBitValues()
{
    const int dw = m_target.width(), dh = m_target.height();
    const int f = m_source.width() / dw;
    if (f < 2 || f > kMaxBitFactor || m_source.width() != f * dw || m_source.height() != f * dh)
        return;
    // Every output pixel must take its own f columns and rows, with the same weights.
    const auto aligned = [f](const std::vector<Taps> &taps, const std::vector<int> &weights) {
        for (size_t i = 0; i < taps.size(); ++i) {
            const Taps &t = taps[i];
            if (t.first != int(f * i) || t.count != f)
                return false;
            for (int k = 0; k < f; ++k)
                if (weights[size_t(t.weightOffset + k)] !=
                    weights[size_t(taps[0].weightOffset + k)])
                    return false;
        }
        return true;
    };
    if (!aligned(m_columns, m_weights) || !aligned(m_rows, m_rowWeights))
        return;
    const int *w = &m_weights[size_t(m_columns[0].weightOffset)];
    const int *r = &m_rowWeights[size_t(m_rows[0].weightOffset)];
    // One source row's sum over an output pixel's columns, first column in the lowest bit.
    const auto rowSum = [w](unsigned bits, int count) {
        quint32 sum = 0;
        for (int i = 0; i < count; ++i)
            if (bits & (1u << i))
                sum += 255u * quint32(w[i]);
        return sum >> 4;
    };
    if (f == 2) {
        const auto value = [&](unsigned upper, unsigned lower) {
            return uchar((rowSum(upper, 2) * quint32(r[0]) + rowSum(lower, 2) * quint32(r[1])) >>
                         24);
        };
        m_pairValues.resize(256);
        for (unsigned key = 0; key < 256; ++key) {
            const unsigned upper = key & 15u, lower = key >> 4;
            m_pairValues[key] = {value(upper & 3u, lower & 3u), value(upper >> 2, lower >> 2)};
        }
        m_bitFactor = 2;
        return;
    }
    if (f != 4) {
        for (unsigned bits = 0; bits < (1u << f); ++bits)
            m_blockRowSums[bits] = rowSum(bits, f);
        for (int k = 0; k < f; ++k)
            m_blockRowWeights[size_t(k)] = quint32(r[k]);
        for (int bit = 0; bit < 64; ++bit)
            m_bitPixel[size_t(bit)] = uchar(bit / f);
        m_bitFactor = f;
        return;
    }
    // By 4 a pixel goes by its count alone only where all weights are alike and a row's sum
    // loses nothing to the shift.
    for (int k = 1; k < 4; ++k)
        if (w[k] != w[0] || r[k] != r[0])
            return;
    if ((255u * quint32(w[0])) % 16u != 0)
        return;
    for (int count = 0; count <= 16; ++count) {
        quint32 total = 0;
        for (int k = 0; k < 4; ++k) {
            const int inRow = std::clamp(count - 4 * k, 0, 4);
            total += rowSum((1u << inRow) - 1u, 4) * quint32(r[k]);
        }
        m_countValues[size_t(count)] = uchar(total >> 24);
    }
    m_bitFactor = 4;
}

std::shared_ptr<const SmoothDownscale> SmoothDownscale::forSizes(QSize source, QSize target)
{
    static QMutex mutex;
    static std::shared_ptr<const SmoothDownscale> last;
    QMutexLocker lock(&mutex);
    if (!last || last->source() != source || last->target() != target)
        last = std::make_shared<const SmoothDownscale>(source, target);
    return last;
}

QImage SmoothDownscale::fromGrey(const QImage &grey) const
{
    if (!m_exact || grey.format() != QImage::Format_Grayscale8 || grey.size() != m_source)
        return QImage();
    QImage out(m_target, QImage::Format_Grayscale8);
    out.setDotsPerMeterX(grey.dotsPerMeterX());
    out.setDotsPerMeterY(grey.dotsPerMeterY());
    for (int y = 0; y < m_target.height(); ++y) {
        const Taps &ty = m_rows[size_t(y)];
        uchar *dst = out.scanLine(y);
        for (int x = 0; x < m_target.width(); ++x) {
            const Taps &tx = m_columns[size_t(x)];
            quint32 total = 0;
            for (int k = 0; k < ty.count; ++k) {
                const uchar *src = grey.constScanLine(ty.first + k) + tx.first;
                quint32 rowSum = 0;
                for (int i = 0; i < tx.count; ++i)
                    rowSum += quint32(src[i]) * quint32(m_weights[size_t(tx.weightOffset + i)]);
                total += (rowSum >> 4) * quint32(m_rowWeights[size_t(ty.weightOffset + k)]);
            }
            dst[x] = uchar(total >> 24);
        }
    }
    return out;
}

void SmoothDownscale::monoRow(const QImage &mono, int y, uchar *out, std::vector<uchar> &anyRow,
                              std::vector<uchar> &allRow) const
{
    const Taps &ty = m_rows[size_t(y)];
    const int rowBytes = (m_source.width() + 7) / 8;
    const uchar *const bits = mono.constBits();
    const qsizetype bytesPerLine = mono.bytesPerLine();
    const uchar *rows[kMaxRowTaps];
    const int rowCount = std::min(ty.count, kMaxRowTaps);
    for (int k = 0; k < rowCount; ++k)
        rows[k] = bits + bytesPerLine * (ty.first + k);
    // Which source columns are white in any, and in all, of the block's rows.
    uchar *any = anyRow.data();
    uchar *all = allRow.data();
    std::memcpy(any, rows[0], size_t(rowBytes));
    std::memcpy(all, rows[0], size_t(rowBytes));
    for (int k = 1; k < rowCount; ++k) {
        const uchar *src = rows[k];
        int i = 0;
        for (; i + 16 <= rowBytes; i += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i));
            auto *a = reinterpret_cast<__m128i *>(any + i);
            auto *b = reinterpret_cast<__m128i *>(all + i);
            _mm_storeu_si128(a, _mm_or_si128(_mm_loadu_si128(a), v));
            _mm_storeu_si128(b, _mm_and_si128(_mm_loadu_si128(b), v));
        }
        for (; i < rowBytes; ++i) {
            any[i] |= src[i];
            all[i] &= src[i];
        }
    }

    const int dw = m_target.width();
    const int sumsPerColumn = 1 << m_maxColumnTaps;
    int x = 0;
    while (x < dw) {
        const Taps &tx = m_columns[size_t(x)];
        // Whole words of black or white: every column inside them is 0 or 255.
        const int at = tx.first >> 3;
        const int end =
            m_firstColumnEndingAfter[size_t(std::min(at * 8 + 64, m_source.width() + 64))];
        if (end > x) {
            if (load64(any + at) == 0) {
                std::memset(out + x, 0, size_t(end - x));
                x = end;
                continue;
            }
            if (load64(all + at) == ~quint64(0)) {
                std::memset(out + x, 255, size_t(end - x));
                x = end;
                continue;
            }
        }
        if (bitsAt(any, rowBytes, tx.first, tx.count) == 0) {
            out[x++] = 0;
            continue;
        }
        const unsigned full = (1u << tx.count) - 1u;
        if (bitsAt(all, rowBytes, tx.first, tx.count) == full) {
            out[x++] = 255;
            continue;
        }
        const quint32 *sums = &m_patternSums[size_t(x) * size_t(sumsPerColumn)];
        quint32 total = 0;
        const int *rowWeights = &m_rowWeights[size_t(ty.weightOffset)];
        for (int k = 0; k < rowCount; ++k)
            total += sums[bitsAt(rows[k], rowBytes, tx.first, tx.count)] * quint32(rowWeights[k]);
        out[x++] = uchar(total >> 24);
    }
}

QImage SmoothDownscale::fromMono(const QImage &mono) const
{
    if (!m_exact || mono.format() != QImage::Format_Mono || mono.size() != m_source)
        return QImage();
    if (m_patternSums.empty()) {
        QImage grey = mono.convertToFormat(QImage::Format_Grayscale8);
        return fromGrey(grey);
    }
    QImage out =
        ImageBufferPool::acquire(m_target.width(), m_target.height(), QImage::Format_Grayscale8);
    out.setDotsPerMeterX(mono.dotsPerMeterX());
    out.setDotsPerMeterY(mono.dotsPerMeterY());
    // Eight bytes of slack so whole words can be read at any column.
    std::vector<uchar> anyRow(size_t((m_source.width() + 7) / 8) + 8, 0);
    std::vector<uchar> allRow(anyRow.size(), 0);
    for (int y = 0; y < m_target.height(); ++y)
        monoRow(mono, y, out.scanLine(y), anyRow, allRow);
    return out;
}

// One output row's sums while its source rows come in.
struct SmoothDownscale::RunSums
{
    std::vector<quint32> total; // per output column
    // The stretches of columns all white in this source row, and in the rows before it that
    // have the same ones, with those rows' weights added up.
    std::vector<LayerRaster::PixelRun> whole;
    std::vector<LayerRaster::PixelRun> pendingWhole;
    quint32 pendingWeight = 0;
    int from = 0; // the columns reached so far
    int to = -1;

    void addPendingWhole()
    {
        const quint32 white = kWhiteRowSum * pendingWeight;
        for (const LayerRaster::PixelRun &r : pendingWhole)
            addToEach(total.data() + r.from, r.to - r.from + 1, white);
        pendingWhole.clear();
        pendingWeight = 0;
    }
};

void SmoothDownscale::addRuns(const std::vector<LayerRaster::PixelRun> &runs, quint32 rowWeight,
                              RunSums &sums) const
{
    quint32 *total = sums.total.data();
    // A column's white taps in this row are summed before the shift, as Qt does. Runs come in
    // order and neighbouring columns share one source column at most, so the columns at the
    // runs' ends come in order too, and a column's sum is whole once the next one comes.
    int column = -1;
    quint32 columnSum = 0;
    const auto addPartial = [&](int x, int a, int b) {
        const Taps &t = m_columns[size_t(x)];
        const quint32 *prefix = &m_columnPrefix[size_t(t.weightOffset + x)];
        const quint32 sum =
            prefix[std::min(b - t.first, t.count - 1) + 1] - prefix[std::max(a - t.first, 0)];
        if (x == column) {
            columnSum += sum;
            return;
        }
        if (column >= 0)
            total[column] += (columnSum >> 4) * rowWeight;
        column = x;
        columnSum = sum;
    };
    const int lastSourceColumn = m_source.width() - 1;
    sums.whole.clear();
    for (const LayerRaster::PixelRun &run : runs) {
        const int a = std::max(run.from, 0);
        const int b = std::min(run.to, lastSourceColumn);
        if (a > b)
            continue;
        const int reachFrom = m_firstReaching[size_t(a)];
        const int reachTo = m_lastStartingBy[size_t(b)];
        if (reachFrom > reachTo)
            continue;
        sums.from = std::min(sums.from, reachFrom);
        sums.to = std::max(sums.to, reachTo);
        const int wholeFrom = m_firstStartingFrom[size_t(a)];
        const int wholeTo = m_lastEndingBy[size_t(b)];
        if (wholeFrom > wholeTo) {
            for (int x = reachFrom; x <= reachTo; ++x)
                addPartial(x, a, b);
            continue;
        }
        for (int x = reachFrom; x < wholeFrom; ++x)
            addPartial(x, a, b);
        sums.whole.push_back({wholeFrom, wholeTo});
        for (int x = wholeTo + 1; x <= reachTo; ++x)
            addPartial(x, a, b);
    }
    if (column >= 0)
        total[column] += (columnSum >> 4) * rowWeight;
    // Walls that run down the block give its rows the same white stretches: one pass for all.
    const auto same = [](const LayerRaster::PixelRun &l, const LayerRaster::PixelRun &r) {
        return l.from == r.from && l.to == r.to;
    };
    if (!std::equal(sums.whole.begin(), sums.whole.end(), sums.pendingWhole.begin(),
                    sums.pendingWhole.end(), same)) {
        sums.addPendingWhole();
        sums.pendingWhole.swap(sums.whole);
    }
    sums.pendingWeight += rowWeight;
}

QImage SmoothDownscale::fromRuns(const RowRuns &rowRuns) const
{
    if (!m_readsRuns)
        return QImage();
    const int dw = m_target.width();
    QImage out = ImageBufferPool::acquire(dw, m_target.height(), QImage::Format_Grayscale8);
    if (out.isNull())
        return out;
    RunSums sums;
    sums.total.assign(size_t(dw), 0);
    uchar *const bits = out.bits();
    const qsizetype bytesPerLine = out.bytesPerLine();
    for (int y = 0; y < m_target.height(); ++y) {
        const Taps &ty = m_rows[size_t(y)];
        sums.from = dw;
        sums.to = -1;
        for (int k = 0; k < ty.count; ++k)
            addRuns(rowRuns(ty.first + k), quint32(m_rowWeights[size_t(ty.weightOffset + k)]),
                    sums);
        sums.addPendingWhole();
        uchar *dst = bits + bytesPerLine * y;
        if (sums.from > sums.to) {
            std::memset(dst, 0, size_t(dw));
            continue;
        }
        std::memset(dst, 0, size_t(sums.from));
        storeTotals(sums.total.data() + sums.from, dst + sums.from, sums.to - sums.from + 1);
        std::memset(dst + sums.to + 1, 0, size_t(dw - sums.to - 1));
    }
    return out;
}

QImage SmoothDownscale::fromBits(const RowBits &rowBits) const
{
    if (m_bitFactor == 0)
        return QImage();
    const int dw = m_target.width(), dh = m_target.height();
    QImage out = ImageBufferPool::acquire(dw, dh, QImage::Format_Grayscale8);
    if (out.isNull())
        return out;
    uchar *const bits = out.bits();
    const qsizetype bytesPerLine = out.bytesPerLine();
    const quint64 *rows[kMaxBitFactor];
    const quint64 *used[kMaxBitFactor];
    for (int y = 0; y < dh; ++y) {
        for (int k = 0; k < m_bitFactor; ++k)
            rows[k] = rowBits(m_bitFactor * y + k, used[k]);
        uchar *dst = bits + bytesPerLine * y;
        std::memset(dst, 0, size_t(dw));
        if (m_bitFactor == 2)
            halveRow(rows, used, dst);
        else if (m_bitFactor == 4)
            quarterRow(rows, used, dst);
        else
            blockRow(rows, used, dst);
    }
    return out;
}

void SmoothDownscale::halveRow(const quint64 *const *rows, const quint64 *const *used,
                               uchar *dst) const
{
    const int dw = m_target.width();
    const int maskWords = ((m_source.width() + 63) / 64 + 63) / 64;
    const quint64 *upper = rows[0], *lower = rows[1];
    const std::array<uchar, 2> white = m_pairValues[255];
    for (int m = 0; m < maskWords; ++m) {
        quint64 words = (upper ? used[0][m] : 0) | (lower ? used[1][m] : 0);
        for (; words; words &= words - 1) {
            const int i = m * 64 + __builtin_ctzll(words);
            const quint64 u = upper ? upper[i] : 0, l = lower ? lower[i] : 0;
            if ((u | l) == 0)
                continue;
            // A word's 64 source columns make 32 output pixels; the last may reach past the row.
            const int x = i * 32;
            const int count = std::min(32, dw - x);
            if ((u & l) == ~quint64(0) && white[0] == white[1]) {
                std::memset(dst + x, white[0], size_t(count));
                continue;
            }
            uchar last[32];
            uchar *const o = count == 32 ? dst + x : last;
            for (int k = 0; k < 16; ++k) {
                const unsigned key =
                    unsigned((u >> (4 * k)) & 15u) | unsigned(((l >> (4 * k)) & 15u) << 4);
                std::memcpy(o + 2 * k, m_pairValues[key].data(), 2);
            }
            if (o == last)
                std::memcpy(dst + x, last, size_t(count));
        }
    }
}

void SmoothDownscale::quarterRow(const quint64 *const *rows, const quint64 *const *used,
                                 uchar *dst) const
{
    constexpr quint64 kPairs = 0x5555555555555555ull, kNibbles = 0x3333333333333333ull,
                      kBytes = 0x0f0f0f0f0f0f0f0full;
    // The white pixels of each four-column group of a word, a count (0 to 4) per nibble.
    const auto nibbleCounts = [](quint64 v) {
        v -= (v >> 1) & kPairs;
        return (v & kNibbles) + ((v >> 2) & kNibbles);
    };
    const int dw = m_target.width();
    const int maskWords = ((m_source.width() + 63) / 64 + 63) / 64;
    for (int m = 0; m < maskWords; ++m) {
        quint64 words = 0;
        for (int k = 0; k < 4; ++k)
            words |= rows[k] ? used[k][m] : 0;
        for (; words; words &= words - 1) {
            const int i = m * 64 + __builtin_ctzll(words);
            quint64 v[4];
            for (int k = 0; k < 4; ++k)
                v[k] = rows[k] ? rows[k][i] : 0;
            if ((v[0] | v[1] | v[2] | v[3]) == 0)
                continue;
            // A word's 64 source columns make 16 output pixels; the last may reach past the row.
            const int x = i * 16;
            const int count = std::min(16, dw - x);
            if ((v[0] & v[1] & v[2] & v[3]) == ~quint64(0)) {
                std::memset(dst + x, m_countValues[16], size_t(count));
                continue;
            }
            // Two rows' counts fit a nibble (up to 8), four a byte (up to 16): even groups in
            // one word's bytes, odd groups in another's.
            const quint64 top = nibbleCounts(v[0]) + nibbleCounts(v[1]);
            const quint64 bottom = nibbleCounts(v[2]) + nibbleCounts(v[3]);
            const quint64 even = (top & kBytes) + (bottom & kBytes);
            const quint64 odd = ((top >> 4) & kBytes) + ((bottom >> 4) & kBytes);
            uchar pixels[16];
            for (int b = 0; b < 8; ++b) {
                pixels[2 * b] = m_countValues[size_t((even >> (8 * b)) & 0xff)];
                pixels[2 * b + 1] = m_countValues[size_t((odd >> (8 * b)) & 0xff)];
            }
            std::memcpy(dst + x, pixels, size_t(count));
        }
    }
}

void SmoothDownscale::blockRow(const quint64 *const *rows, const quint64 *const *used,
                               uchar *dst) const
{
    const int f = m_bitFactor;
    const int dw = m_target.width();
    const int maskWords = ((m_source.width() + 63) / 64 + 63) / 64;
    const unsigned full = (1u << f) - 1u;
    quint32 rowWeights = 0;
    for (int k = 0; k < f; ++k)
        rowWeights += m_blockRowWeights[size_t(k)];
    const uchar whiteValue = uchar((m_blockRowSums[full] * rowWeights) >> 24);
    // The f bits of row from column c on, the first in the lowest bit. A block never reaches
    // past the row's last word, so the next word is there whenever it is read.
    const auto field = [f, full](const quint64 *row, int c) {
        if (!row)
            return 0u;
        const int i = c >> 6, shift = c & 63;
        quint64 v = row[i] >> shift;
        if (shift > 64 - f)
            v |= row[i + 1] << (64 - shift);
        return unsigned(v) & full;
    };
    const auto blockValue = [&](int x) {
        quint32 total = 0;
        for (int k = 0; k < f; ++k)
            total += m_blockRowSums[field(rows[k], f * x)] * m_blockRowWeights[size_t(k)];
        return uchar(total >> 24);
    };
    int next = 0; // output pixels before it are done
    for (int m = 0; m < maskWords; ++m) {
        quint64 words = 0;
        for (int k = 0; k < f; ++k)
            words |= rows[k] ? used[k][m] : 0;
        for (; words; words &= words - 1) {
            const int i = m * 64 + __builtin_ctzll(words);
            quint64 v[kMaxBitFactor];
            quint64 any = 0, all = ~quint64(0);
            for (int k = 0; k < f; ++k) {
                v[k] = rows[k] ? rows[k][i] : 0;
                any |= v[k];
                all &= v[k];
            }
            // The output pixels whose blocks meet this word, and those that lie wholly in it.
            const int meetLast = std::min(dw - 1, (64 * i + 63) / f);
            const int insideFirst = (64 * i + f - 1) / f, insideLast = (64 * i + 64 - f) / f;
            int x = std::max(next, 64 * i / f);
            for (; x <= meetLast && x < insideFirst; ++x)
                dst[x] = blockValue(x); // shared with the word before
            const int lastInside = std::min(insideLast, meetLast);
            if (all == ~quint64(0) && x <= lastInside)
                std::memset(dst + x, whiteValue, size_t(lastInside - x + 1));
            // Inside the word: black blocks are skipped (the row is black already), stretches of
            // blocks white in every row filled, and only the blocks between summed.
            while (any != 0 && all != ~quint64(0) && x <= lastInside) {
                const quint64 white = any >> (f * x - 64 * i);
                if (white == 0)
                    break;
                x += m_bitPixel[size_t(__builtin_ctzll(white))];
                if (x > lastInside)
                    break;
                const int at = f * x - 64 * i;
                const quint64 notWhite = ~all >> at;
                const int end = notWhite == 0
                                    ? lastInside + 1
                                    : std::min(x + m_bitPixel[size_t(__builtin_ctzll(notWhite))],
                                               lastInside + 1);
                if (end > x) {
                    for (; x < end; ++x)
                        dst[x] = whiteValue;
                    continue;
                }
                quint32 total = 0;
                for (int k = 0; k < f; ++k)
                    total +=
                        m_blockRowSums[unsigned(v[k] >> at) & full] * m_blockRowWeights[size_t(k)];
                dst[x++] = uchar(total >> 24);
            }
            for (x = std::max(x, lastInside + 1); x <= meetLast; ++x)
                dst[x] = blockValue(x); // shared with the word after
            next = meetLast + 1;
        }
    }
}

} // namespace CWS
