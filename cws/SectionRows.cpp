#include "cws/SectionRows.h"

#include "cws/EvenOddScan.h"
#include "cws/ImageBufferPool.h"
#include "cws/RowOrder.h"

#include <QPainter>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <new>

namespace CWS {

namespace {

// The raster engine steps lines in 16.16 fixed point in an int: further out, QPainter draws them.
constexpr int kLineLimit = 32768;

constexpr quint64 kAllBits = ~quint64(0);

inline int lowerY(const LayerRaster::PixelEdge &e)
{
    return std::min(e.y0, e.y1);
}

// Bit i set where an odd number of bits 0 to i are.
inline quint64 prefixParity(quint64 v)
{
    v ^= v << 1;
    v ^= v << 2;
    v ^= v << 4;
    v ^= v << 8;
    v ^= v << 16;
    v ^= v << 32;
    return v;
}

// A byte's bits in the other order: QImage keeps the first column in the highest bit.
constexpr std::array<uchar, 256> kReversed = [] {
    std::array<uchar, 256> table{};
    for (int v = 0; v < 256; ++v)
        for (int bit = 0; bit < 8; ++bit)
            if (v & (1 << bit))
                table[size_t(v)] |= uchar(0x80 >> bit);
    return table;
}();

} // namespace

SectionRows::SectionRows(QSize imageSize, int blockRows)
    : m_size(imageSize), m_bandRows(blockRows >= 2 && blockRows <= kMaxBandRows
                                        ? kMaxBandRows - kMaxBandRows % blockRows
                                        : kMaxBandRows),
      m_halfWidth(imageSize.width() / 2), m_halfHeight(imageSize.height() / 2),
      m_wordsPerRow((std::max(imageSize.width(), 0) + 63) / 64),
      m_maskWordsPerRow((m_wordsPerRow + 63) / 64), m_firstRow(INT_MAX), m_endRow(INT_MIN),
      m_builtRow(INT_MIN), m_bandStart(INT_MIN)
{
}

void SectionRows::addList(const QVector<LayerRaster::PixelEdge> &edges)
{
    if (edges.isEmpty())
        return;
    const int w = m_size.width(), h = m_size.height();
    const int right = std::min(w, kLineLimit), bottom = std::min(h, kLineLimit);
    int minX = edges.first().x0, maxX = minX;
    int minY = lowerY(edges.first()), maxY = minY;
    for (const LayerRaster::PixelEdge &e : edges) {
        minX = std::min({minX, e.x0, e.x1});
        maxX = std::max({maxX, e.x0, e.x1});
        minY = std::min(minY, lowerY(e));
        maxY = std::max({maxY, e.y0, e.y1});
        const QLine line(e.x0 + m_halfWidth, e.y0 + m_halfHeight, e.x1 + m_halfWidth,
                         e.y1 + m_halfHeight);
        const bool inside =
            std::min(line.x1(), line.x2()) >= 0 && std::max(line.x1(), line.x2()) < right &&
            std::min(line.y1(), line.y2()) >= 0 && std::max(line.y1(), line.y2()) < bottom;
        if (!inside) {
            m_outsideLines.append(line);
            continue;
        }
        m_lines.emplace_back(line.x1(), line.y1(), line.x2(), line.y2());
        m_firstRow = std::min(m_firstRow, m_lines.back().firstRow());
        m_endRow = std::max(m_endRow, m_lines.back().lastRow() + 1);
    }
    // The fill scans the rows from the topmost edge end up to, not including, the lowest; rows
    // outside the image fill nothing.
    ListFill list;
    list.firstRow = std::max(minY, -m_halfHeight);
    list.endRow = std::min(maxY, h - m_halfHeight);
    if (list.firstRow >= list.endRow)
        return;
    const qint64 left = qint64(minX) + m_halfWidth, rightmost = qint64(maxX) + m_halfWidth;
    if (rightmost >= 0 && left < w) {
        list.firstWord = int(std::max<qint64>(left, 0) >> 6);
        list.lastWord = int(std::min<qint64>(rightmost, w - 1) >> 6);
    }
    list.edges = edges;
    sortByRow(list.edges, [](const LayerRaster::PixelEdge &e) { return lowerY(e); });
    m_firstRow = std::min(m_firstRow, list.firstRow + m_halfHeight);
    m_endRow = std::max(m_endRow, list.endRow + m_halfHeight);
    m_lists.push_back(std::move(list));
}

void SectionRows::drawOutsideLines(const QPen &pen)
{
    if (m_outsideLines.isEmpty())
        return;
    const int w = m_size.width(), h = m_size.height();
    m_outsideFirstByte.assign(size_t(std::max(h, 0)), INT_MAX);
    m_outsideLastByte.assign(size_t(std::max(h, 0)), -1);
    for (const QLine &line : qAsConst(m_outsideLines)) {
        // An aliased one-pixel line sets pixels only inside its bounding box.
        const int top = std::max(std::min(line.y1(), line.y2()), 0);
        const int bottom = std::min(std::max(line.y1(), line.y2()), h - 1);
        const int left = std::max(std::min(line.x1(), line.x2()), 0);
        const int right = std::min(std::max(line.x1(), line.x2()), w - 1);
        if (top > bottom || left > right)
            continue;
        for (int y = top; y <= bottom; ++y) {
            m_outsideFirstByte[size_t(y)] = std::min(m_outsideFirstByte[size_t(y)], left >> 3);
            m_outsideLastByte[size_t(y)] = std::max(m_outsideLastByte[size_t(y)], right >> 3);
        }
        m_firstRow = std::min(m_firstRow, top);
        m_endRow = std::max(m_endRow, bottom + 1);
    }
    m_outsidePixels = ImageBufferPool::acquire(w, h, QImage::Format_Mono);
    if (m_outsidePixels.isNull())
        throw std::bad_alloc();
    m_outsidePixels.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    // Only the bytes the lines can reach are cleared, and only they are read back.
    for (int y = 0; y < h; ++y)
        if (m_outsideFirstByte[size_t(y)] <= m_outsideLastByte[size_t(y)])
            std::memset(m_outsidePixels.scanLine(y) + m_outsideFirstByte[size_t(y)], 0,
                        size_t(m_outsideLastByte[size_t(y)] - m_outsideFirstByte[size_t(y)] + 1));
    QPainter painter(&m_outsidePixels);
    painter.setPen(pen);
    painter.drawLines(m_outsideLines.constData(), m_outsideLines.size());
}

void SectionRows::start()
{
    m_started = true;
    std::sort(m_lists.begin(), m_lists.end(),
              [](const ListFill &l, const ListFill &r) { return l.firstRow < r.firstRow; });
    sortByRow(m_lines, [](const CosmeticLine &l) { return l.firstRow(); });
    m_band.assign(size_t(m_bandRows) * size_t(m_wordsPerRow), 0);
    m_bandMask.assign(size_t(m_bandRows) * size_t(m_maskWordsPerRow), 0);
}

template <typename Take> void SectionRows::forEachRun(int y, Take take)
{
    if (!m_started)
        start();
    if (y < m_firstRow || y >= m_endRow)
        return;
    buildBandsTo(y);

    const int r = y - m_bandStart;
    const quint64 *bits = &m_band[size_t(r) * size_t(m_wordsPerRow)];
    const quint64 *mask = &m_bandMask[size_t(r) * size_t(m_maskWordsPerRow)];
    bool inRun = false;
    int runFrom = 0, last = -2;
    for (int m = 0; m < m_maskWordsPerRow; ++m) {
        for (quint64 used = mask[m]; used; used &= used - 1) {
            const int i = m * 64 + __builtin_ctzll(used);
            if (inRun && i != last + 1) {
                take(runFrom, last * 64 + 63); // the words between are black
                inRun = false;
            }
            last = i;
            const quint64 word = bits[i];
            quint64 ahead = kAllBits;
            for (;;) {
                // The next column that ends a run, or starts one.
                const quint64 change = (inRun ? ~word : word) & ahead;
                if (!change)
                    break;
                const int bit = __builtin_ctzll(change);
                if (inRun)
                    take(runFrom, i * 64 + bit - 1);
                else
                    runFrom = i * 64 + bit;
                inRun = !inRun;
                if (bit == 63)
                    break;
                ahead = kAllBits << (bit + 1);
            }
        }
    }
    if (inRun)
        take(runFrom, last * 64 + 63);
}

void SectionRows::buildBandsTo(int y)
{
    // Every band from the first row on is built: edges and lines step through them in turn.
    // Bands start at multiples of their height, so a block never straddles two.
    if (m_bandStart == INT_MIN)
        buildBand(m_firstRow - ((m_firstRow % m_bandRows) + m_bandRows) % m_bandRows);
    while (y >= m_bandStart + m_bandRows)
        buildBand(m_bandStart + m_bandRows);
}

const quint64 *SectionRows::rowBits(int y, const quint64 *&usedWords)
{
    if (!m_started)
        start();
    if (y < m_firstRow || y >= m_endRow)
        return nullptr;
    buildBandsTo(y);
    const int r = y - m_bandStart;
    usedWords = &m_bandMask[size_t(r) * size_t(m_maskWordsPerRow)];
    return &m_band[size_t(r) * size_t(m_wordsPerRow)];
}

const std::vector<LayerRaster::PixelRun> &SectionRows::row(int y)
{
    if (y == m_builtRow)
        return m_runs;
    m_builtRow = y;
    m_runs.clear();
    forEachRun(y, [this](int from, int to) { m_runs.push_back({from, to}); });
    return m_runs;
}

void SectionRows::appendRuns(int y, std::vector<IslandAnalysis::PixelRun> &runs)
{
    forEachRun(y, [y, &runs](int from, int to) { runs.push_back({y, from, to + 1}); });
}

inline void SectionRows::setRun(int bandRow, int from, int to)
{
    quint64 *bits = &m_band[size_t(bandRow) * size_t(m_wordsPerRow)];
    const int first = from >> 6, last = to >> 6;
    const quint64 head = kAllBits << (from & 63);
    const quint64 tail = kAllBits >> (63 - (to & 63));
    if (first == last) {
        bits[first] |= head & tail;
    } else {
        bits[first] |= head;
        std::fill(bits + first + 1, bits + last, kAllBits);
        bits[last] |= tail;
    }
    markWords(bandRow, first, last);
}

inline void SectionRows::markWords(int bandRow, int first, int last)
{
    quint64 *mask = &m_bandMask[size_t(bandRow) * size_t(m_maskWordsPerRow)];
    if (first == last) {
        mask[first >> 6] |= quint64(1) << (first & 63);
        return;
    }
    for (int m = first >> 6; m <= last >> 6; ++m) {
        const int from = m == first >> 6 ? first & 63 : 0;
        const int to = m == last >> 6 ? last & 63 : 63;
        mask[m] |= (kAllBits << from) & (kAllBits >> (63 - to));
    }
}

void SectionRows::buildBand(int firstRow)
{
    if (m_bandStart != INT_MIN) {
        for (int r = 0; r < m_bandRows; ++r) {
            quint64 *bits = &m_band[size_t(r) * size_t(m_wordsPerRow)];
            quint64 *mask = &m_bandMask[size_t(r) * size_t(m_maskWordsPerRow)];
            for (int m = 0; m < m_maskWordsPerRow; ++m) {
                for (quint64 used = mask[m]; used; used &= used - 1)
                    bits[m * 64 + __builtin_ctzll(used)] = 0;
                mask[m] = 0;
            }
        }
    }
    m_bandStart = firstRow;
    const int endRow = std::min(firstRow + m_bandRows, m_endRow);

    while (m_nextList < m_lists.size() && m_lists[m_nextList].firstRow + m_halfHeight < endRow)
        m_activeLists.push_back(&m_lists[m_nextList++]);
    size_t kept = 0;
    for (ListFill *list : m_activeLists) {
        const int from = std::max(firstRow, list->firstRow + m_halfHeight);
        const int to = std::min(endRow, list->endRow + m_halfHeight);
        if (from < to)
            fillList(*list, from, to);
        if (list->endRow + m_halfHeight > endRow)
            m_activeLists[kept++] = list;
    }
    m_activeLists.resize(kept);

    while (m_nextLine < m_lines.size() && m_lines[m_nextLine].firstRow() < endRow)
        m_activeLines.push_back(quint32(m_nextLine++));
    kept = 0;
    for (const quint32 index : m_activeLines) {
        CosmeticLine &line = m_lines[index];
        const int end = std::min(endRow, line.lastRow() + 1);
        int from = 0, to = -1;
        for (int row = line.nextRowIndex(); row < end; ++row) {
            line.nextRow(from, to);
            setRun(row - firstRow, from, to);
        }
        if (end <= line.lastRow())
            m_activeLines[kept++] = index;
    }
    m_activeLines.resize(kept);
    if (!m_outsidePixels.isNull())
        addOutsidePixels(firstRow, endRow);
}

void SectionRows::addOutsidePixels(int firstRow, int endRow)
{
    for (int y = std::max(firstRow, 0); y < std::min(endRow, m_size.height()); ++y) {
        const int last = m_outsideLastByte[size_t(y)];
        const uchar *line = m_outsidePixels.constScanLine(y);
        quint64 *bits = &m_band[size_t(y - firstRow) * size_t(m_wordsPerRow)];
        for (int byte = m_outsideFirstByte[size_t(y)]; byte <= last; ++byte) {
            if (!line[byte])
                continue;
            const int word = byte >> 3;
            bits[word] |= quint64(kReversed[line[byte]]) << ((byte & 7) * 8);
            markWords(y - firstRow, word, word);
        }
    }
}

void SectionRows::fillList(ListFill &list, int fromRow, int toRow)
{
    const int rows = toRow - fromRow;
    const int words = std::max(list.lastWord - list.firstWord + 1, 0);
    const int maskWords = (words + 63) / 64;
    // The scratch is left all zero after use: only the words a row touched are cleared.
    const size_t scratch = size_t(rows) * size_t(words);
    if (m_toggled.size() < scratch) {
        m_toggled.resize(scratch, 0);
        m_crossed.resize(scratch, 0);
    }
    if (m_touched.size() < size_t(rows) * size_t(maskWords))
        m_touched.resize(size_t(rows) * size_t(maskWords), 0);
    std::fill(m_crossings, m_crossings + rows, 0);
    std::fill(m_leftParity, m_leftParity + rows, false);
    // The edges' rows are uncentred.
    const int fromU = fromRow - m_halfHeight, toU = toRow - m_halfHeight;
    const qint64 lastColumn = m_size.width() - 1;
    const int firstWord = list.firstWord;
    quint64 *const toggled = m_toggled.data();
    quint64 *const crossed = m_crossed.data();
    quint64 *const touched = m_touched.data();
    const auto cross = [&](int y, int x) {
        const int r = y - fromU;
        ++m_crossings[r];
        const qint64 column = qint64(x) + m_halfWidth;
        if (column < 0) {
            m_leftParity[r] = !m_leftParity[r];
            return;
        }
        if (column > lastColumn)
            return;
        const int word = int(column >> 6) - firstWord;
        const size_t at = size_t(r) * size_t(words) + size_t(word);
        const quint64 bit = quint64(1) << (column & 63);
        toggled[at] ^= bit;
        crossed[at] |= bit;
        touched[size_t(r) * size_t(maskWords) + size_t(word >> 6)] |= quint64(1) << (word & 63);
    };

    const LayerRaster::PixelEdge *edges = list.edges.constData();
    while (list.next < list.edges.size() && lowerY(edges[list.next]) < toU) {
        const LayerRaster::PixelEdge &e = edges[list.next++];
        if (e.y0 == e.y1) {
            if (e.y0 >= fromU) {
                cross(e.y0, e.x0);
                cross(e.y0, e.x1);
            }
            continue;
        }
        // An edge crosses the rows from its lower end up to, not including, its upper end.
        const int low = lowerY(e), top = std::max(e.y0, e.y1);
        if (top == low + 1 && low >= fromU)
            cross(low, e.y0 < e.y1 ? e.x0 : e.x1); // one row: its lower end
        else if (top > fromU)
            list.active.emplace_back(e, std::max(low, fromU));
    }
    size_t kept = 0;
    for (EdgeStepper &edge : list.active) {
        const int end = std::min(edge.top(), toU);
        for (int y = edge.row();;) {
            cross(y, edge.x());
            if (++y >= end)
                break;
            edge.moveTo(y);
        }
        if (edge.top() > toU) {
            edge.moveTo(toU);
            list.active[kept++] = edge;
        }
    }
    list.active.resize(kept);

    const int w = m_size.width();
    const quint64 lastMask = list.lastWord == m_wordsPerRow - 1 && (w & 63) != 0
                                 ? kAllBits >> (64 - (w & 63))
                                 : kAllBits;
    for (int r = 0; r < rows; ++r) {
        const int count = m_crossings[r];
        if (count == 0)
            continue;
        const bool odd = count % 2 != 0;
        if (odd)
            EvenOddScan::logOddRow(fromU + r, count);
        const int bandRow = fromRow + r - m_bandStart;
        quint64 *out = &m_band[size_t(bandRow) * size_t(m_wordsPerRow) + size_t(firstWord)];
        quint64 *rowToggled = toggled + size_t(r) * size_t(words);
        quint64 *rowCrossed = crossed + size_t(r) * size_t(words);
        quint64 *rowTouched = touched + size_t(r) * size_t(maskWords);
        // A pixel is white where a crossing lies on it, or past an odd number of them. Words
        // without a crossing are all the parity before them.
        quint64 parity = m_leftParity[r] ? kAllBits : 0;
        int next = 0;
        for (int m = 0; m < maskWords; ++m) {
            for (quint64 bits = rowTouched[m]; bits; bits &= bits - 1) {
                const int i = m * 64 + __builtin_ctzll(bits);
                const quint64 t = rowToggled[i];
                const quint64 c = rowCrossed[i];
                rowToggled[i] = 0;
                rowCrossed[i] = 0;
                if (odd)
                    continue;
                if (parity && next < i) {
                    std::fill(out + next, out + i, kAllBits);
                    markWords(bandRow, firstWord + next, firstWord + i - 1);
                }
                const quint64 through = prefixParity(t) ^ parity;
                quint64 white = c | (through ^ t);
                if (i == words - 1)
                    white &= lastMask;
                out[i] |= white;
                parity = through >> 63 ? kAllBits : 0;
                markWords(bandRow, firstWord + i, firstWord + i);
                next = i + 1;
            }
            rowTouched[m] = 0;
        }
        if (odd)
            continue;
        if (parity && next < words) {
            // Crossings past the image's right edge leave the rest of the row filled.
            std::fill(out + next, out + words, kAllBits);
            out[words - 1] &= lastMask;
            markWords(bandRow, firstWord + next, firstWord + words - 1);
        }
    }
}

} // namespace CWS
