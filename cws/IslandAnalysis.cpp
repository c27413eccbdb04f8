#include "cws/IslandAnalysis.h"

#include "cws/RunLabels.h"

#include <QDebug>
#include <QImage>

#include <algorithm>
#include <cstring>
#include <numeric>

namespace CWS::IslandAnalysis {

namespace {

constexpr int kSolidGrey = 250;

void appendRun(std::vector<PixelRun> &out, int row, int x0, int x1)
{
    if (x1 > x0)
        out.push_back(PixelRun{row, x0, x1});
}

bool eligible(const LayerMaps &maps, size_t p, int layer, int clearance)
{
    const int below = maps.lastSolidLayer[p];
    return below == 0 || layer - below >= clearance;
}

// Clears the island's pixels reachable from (x, y) inside the square of half side c, so the
// rest of the scan leaves that patch alone.
void erasePatch(LayerMaps &maps, int number, int x, int y, int c, std::vector<int> &frontier)
{
    const int w = maps.width;
    const int h = maps.height;
    const int left = std::max(0, x - c), right = std::min(w - 1, x + c);
    const int top = std::max(0, y - c), bottom = std::min(h - 1, y + c);
    frontier.clear();
    maps.islandMap[size_t(y) * size_t(w) + size_t(x)] = 0;
    frontier.push_back(y * w + x);
    for (size_t i = 0; i < frontier.size(); ++i) {
        const int p = frontier[i];
        const int px = p % w, py = p / w;
        const int nx[4] = {px + 1, px, px - 1, px};
        const int ny[4] = {py, py + 1, py, py - 1};
        for (int k = 0; k < 4; ++k) {
            if (nx[k] < left || nx[k] > right || ny[k] < top || ny[k] > bottom)
                continue;
            const size_t q = size_t(ny[k]) * size_t(w) + size_t(nx[k]);
            if (maps.islandMap[q] != number)
                continue;
            maps.islandMap[q] = 0;
            frontier.push_back(int(q));
        }
    }
}

// Pixels [64 i, 64 i + 64) of a 1-bit row, the first in the highest bit, those outside
// [left, right) cleared.
uint64_t monoWord(const uchar *line, int i, int left, int right)
{
    const int firstByte = i * 8;
    const int bytes = std::min(8, (right + 7) / 8 - firstByte);
    uint64_t word = 0;
    if (bytes == 8) {
        std::memcpy(&word, line + firstByte, sizeof word);
        word = __builtin_bswap64(word);
    } else {
        for (int b = 0; b < bytes; ++b)
            word |= uint64_t(line[firstByte + b]) << (56 - 8 * b);
    }
    const int from = std::max(left - i * 64, 0), to = std::min(right - i * 64, 64);
    const uint64_t keepFrom = from >= 64 ? 0 : ~uint64_t(0) >> from;
    const uint64_t dropFrom = to >= 64 ? 0 : ~uint64_t(0) >> to;
    return word & keepFrom & ~dropFrom;
}

// The runs of one 1-bit row inside [left, right), found 64 pixels at a time: each step finds
// the next change from dark to solid or back by counting leading bits.
void appendMonoRuns(std::vector<PixelRun> &out, const uchar *line, int row, int left, int right)
{
    int start = -1;
    for (int i = left / 64; i * 64 < right; ++i) {
        const uint64_t word = monoWord(line, i, left, right);
        if (word == (start < 0 ? 0 : ~uint64_t(0)))
            continue;
        int p = 0;
        while (p < 64) {
            const uint64_t unread = ~uint64_t(0) >> p;
            const uint64_t change = (start < 0 ? word : ~word) & unread;
            if (change == 0)
                break;
            p = __builtin_clzll(change);
            if (start < 0) {
                start = i * 64 + p;
            } else {
                appendRun(out, row, start, i * 64 + p);
                start = -1;
            }
        }
    }
    if (start >= 0)
        appendRun(out, row, start, right);
}

int overlapWithLayer(const LayerMaps &maps, const PixelRun &run, int layer)
{
    const uint16_t *last = maps.lastSolidLayer.data() + ptrdiff_t(run.row) * maps.width;
    int overlap = 0;
    for (int x = run.x0; x < run.x1; ++x)
        overlap += int(last[x]) == layer;
    return overlap;
}

// Pixels of run inside below (ordered by row and column); cursor as in RunLabels::overlapsAny.
int overlapWithRuns(const PixelRun &run, const std::vector<PixelRun> &below, size_t &cursor)
{
    int overlap = 0;
    size_t k = cursor;
    if (!RunLabels::overlapsAny(run, below, k))
        return 0;
    cursor = k;
    for (; k < below.size() && below[k].row == run.row && below[k].x0 < run.x1; ++k)
        overlap += std::min(run.x1, below[k].x1) - std::max(run.x0, below[k].x0);
    return overlap;
}

// The island pixel nearest its bounding box centre, eligible ones first; -1 when it has none.
ptrdiff_t fallbackPixel(const LayerMaps &maps, const Island &island,
                        const std::vector<PixelRun> &islandRuns, int clearance)
{
    const int cx = (island.maxX + island.minX) / 2, cy = (island.maxY + island.minY) / 2;
    ptrdiff_t best = -1;
    std::pair<bool, long long> bestKey{true, 0};
    for (const PixelRun &run : islandRuns) {
        for (int x = run.x0; x < run.x1; ++x) {
            const size_t p = size_t(run.row) * size_t(maps.width) + size_t(x);
            const long long dx = x - cx, dy = run.row - cy;
            const std::pair<bool, long long> key{!eligible(maps, p, island.layer, clearance),
                                                 dx * dx + dy * dy};
            if (best < 0 || key < bestKey) {
                best = ptrdiff_t(p);
                bestKey = key;
            }
        }
    }
    return best;
}

} // namespace

void LayerMaps::allocate(int widthPx, int heightPx)
{
    width = std::max(widthPx, 0);
    height = std::max(heightPx, 0);
    const size_t n = size_t(width) * size_t(height);
    currentLayer.assign(n, 0);
    lastSolidLayer.assign(n, 0);
    islandMap.assign(n, 0);
    markedRuns.clear();
}

void LayerMaps::resetModel()
{
    for (const PixelRun &run : markedRuns)
        std::fill_n(currentLayer.begin() + ptrdiff_t(run.row) * width + run.x0, run.x1 - run.x0,
                    uint16_t(0));
    markedRuns.clear();
    layerZeroRuns.clear();
    std::fill(lastSolidLayer.begin(), lastSolidLayer.end(), uint16_t(0));
}

int spacingPixels(float spacingMm, double xPixelsPerMm)
{
    const int px = int(double(spacingMm) * xPixelsPerMm);
    return px - px % 2;
}

int clearanceLayers(float layerThicknessMm)
{
    if (!(layerThicknessMm > 0.0f))
        return 0;
    return int(2.0 / double(layerThicknessMm));
}

std::vector<PixelRun> solidRuns(const QImage &image, const QRect &window)
{
    std::vector<PixelRun> runs;
    appendSolidRuns(runs, image, window);
    return runs;
}

void appendSolidRuns(std::vector<PixelRun> &runs, const QImage &image, const QRect &window)
{
    const QRect area = window.intersected(image.rect());
    if (area.isEmpty())
        return;
    QImage converted;
    const QImage *src = &image;
    if (image.format() != QImage::Format_Grayscale8 && image.format() != QImage::Format_Mono) {
        converted = image.convertToFormat(QImage::Format_Grayscale8);
        src = &converted;
    }
    const bool mono = src->format() == QImage::Format_Mono;
    const int left = area.left(), right = area.right() + 1;
    if (mono) {
        for (int y = area.top(); y <= area.bottom(); ++y)
            appendMonoRuns(runs, src->constScanLine(y), y, left, right);
        return;
    }
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const uchar *line = src->constScanLine(y);
        int start = -1;
        int x = left;
        while (x < right) {
            // Grey layers are mostly black or fully white: skip eight such pixels at a time.
            if (!mono && x + 8 <= right) {
                uint64_t word;
                std::memcpy(&word, line + x, sizeof word);
                if ((start < 0 && word == 0) || (start >= 0 && word == ~uint64_t(0))) {
                    x += 8;
                    continue;
                }
            }
            const bool solid = line[x] >= kSolidGrey;
            if (solid && start < 0) {
                start = x;
            } else if (!solid && start >= 0) {
                appendRun(runs, y, start, x);
                start = -1;
            }
            ++x;
        }
        if (start >= 0)
            appendRun(runs, y, start, right);
    }
}

std::vector<Island> findIslands(const LayerMaps &maps, const std::vector<PixelRun> &runs, int layer,
                                int spacingPixels, std::vector<int> *runIsland)
{
    const int n = int(runs.size());
    std::vector<int> component;
    const int count = RunLabels::label(runs, component);

    // One record per region; its first pixel in column-major order decides the number.
    std::vector<Island> islands(static_cast<size_t>(count));
    std::vector<std::pair<int, int>> firstPixel(size_t(count), {INT_MAX, INT_MAX}); // (column, row)
    const int below = layer - 1; // solid in layer L - 1 when lastSolidLayer + 1 == L
    size_t zeroCursor = 0;
    for (Island &island : islands) {
        island.spacingPixels = spacingPixels;
        island.layer = layer;
        island.width = maps.width;
        island.height = maps.height;
    }
    for (int k = 0; k < n; ++k) {
        const int index = component[size_t(k)];
        const PixelRun &run = runs[size_t(k)];
        Island &island = islands[size_t(index)];
        island.minX = std::min(island.minX, run.x0);
        island.maxX = std::max(island.maxX, run.x1 - 1);
        island.minY = std::min(island.minY, run.row);
        island.maxY = std::max(island.maxY, run.row);
        island.area += run.x1 - run.x0;
        island.overlap += layer == 1 ? overlapWithRuns(run, maps.layerZeroRuns, zeroCursor)
                                     : overlapWithLayer(maps, run, below);
        firstPixel[size_t(index)] = std::min(firstPixel[size_t(index)], {run.x0, run.row});
    }

    std::vector<int> order(islands.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&](int a, int b) { return firstPixel[size_t(a)] < firstPixel[size_t(b)]; });
    std::vector<int> rank(islands.size());
    std::vector<Island> sorted;
    sorted.reserve(islands.size());
    for (size_t i = 0; i < order.size(); ++i) {
        rank[size_t(order[i])] = int(i);
        sorted.push_back(islands[size_t(order[i])]);
        sorted.back().number = int(i) + 1;
    }
    if (runIsland) {
        runIsland->resize(size_t(n));
        for (int k = 0; k < n; ++k)
            (*runIsland)[size_t(k)] = rank[size_t(component[size_t(k)])];
    }
    return sorted;
}

std::vector<SupportPixel> placeSupports(LayerMaps &maps, const Island &island,
                                        const std::vector<PixelRun> &islandRuns,
                                        int clearanceLayers)
{
    std::vector<SupportPixel> out;
    if (!maps.isAllocated() || island.area <= 0)
        return out;
    const int w = maps.width, h = maps.height;
    const int layer = island.layer;
    const int c = island.spacingPixels;
    const int W = island.maxX - island.minX;
    const int H = island.maxY - island.minY;
    auto add = [&](int x, int y) {
        out.push_back(
            SupportPixel{x, y, layer, int(maps.lastSolidLayer[size_t(y) * size_t(w) + size_t(x)])});
    };

    if (W < c && H < c) {
        const int cx = (island.maxX + island.minX) / 2;
        const int cy = (island.maxY + island.minY) / 2;
        const size_t p = size_t(cy) * size_t(w) + size_t(cx);
        if (maps.currentLayer[p] != 0 && eligible(maps, p, layer, clearanceLayers)) {
            add(cx, cy);
            return out;
        }
    }

    for (const PixelRun &run : islandRuns)
        std::fill_n(maps.islandMap.begin() + ptrdiff_t(run.row) * w + run.x0, run.x1 - run.x0,
                    island.number);

    // Start offsets that centre a grid of c + 1 pixel steps on the bounding box.
    const int x0 = island.minX + c / 2 - ((W + c) - ((W + c) % (c + 1)) - W) / 2;
    const int y0 = island.minY + c / 2 - ((H + c) - ((H + c) % (c + 1)) - H) / 2;
    std::vector<int> frontier;
    auto visit = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= w || y >= h)
            return;
        const size_t p = size_t(y) * size_t(w) + size_t(x);
        if (maps.islandMap[p] != island.number || !eligible(maps, p, layer, clearanceLayers))
            return;
        add(x, y);
        erasePatch(maps, island.number, x, y, c, frontier);
    };
    for (int x = x0; x <= island.maxX; ++x)
        for (int y = y0; y < island.maxY; ++y)
            visit(x, y);
    for (int x = x0 - 1; x >= island.minX; --x)
        for (int y = y0 - 1; y >= island.minY; --y)
            visit(x, y);

    for (const PixelRun &run : islandRuns)
        std::fill_n(maps.islandMap.begin() + ptrdiff_t(run.row) * w + run.x0, run.x1 - run.x0, 0);
    // An island the scan missed (one row tall, or all of it close over material) would be
    // left to cure onto nothing.
    if (out.empty()) {
        const ptrdiff_t p = fallbackPixel(maps, island, islandRuns, clearanceLayers);
        if (p >= 0)
            add(int(p % w), int(p / w));
    }
    return out;
}

std::vector<SupportPixel> analyseLayer(LayerMaps &maps, const std::vector<PixelRun> &runs,
                                       int layer, int spacingPixels, int clearanceLayers,
                                       std::vector<Island> *islandsOut)
{
    std::vector<SupportPixel> out;
    if (!maps.isAllocated())
        return out;
    const int w = maps.width;
    // Only the previous layer's pixels can be non-zero, so only they need clearing.
    for (const PixelRun &run : maps.markedRuns)
        std::fill_n(maps.currentLayer.begin() + ptrdiff_t(run.row) * w + run.x0, run.x1 - run.x0,
                    uint16_t(0));
    maps.markedRuns.clear();
    std::vector<PixelRun> valid;
    valid.reserve(runs.size());
    for (const PixelRun &run : runs) {
        const int x0 = std::max(run.x0, 0), x1 = std::min(run.x1, w);
        if (run.row >= 0 && run.row < maps.height && x1 > x0)
            valid.push_back(PixelRun{run.row, x0, x1});
    }
    // Layer 0 marks nothing: a pixel only solid there never counts as material below for the
    // clearance. Its runs still tell what rests on it at layer 1.
    if (layer == 0)
        maps.layerZeroRuns = valid;
    if (layer > 0) {
        for (const PixelRun &run : valid)
            std::fill_n(maps.currentLayer.begin() + ptrdiff_t(run.row) * w + run.x0,
                        run.x1 - run.x0, uint16_t(layer));
        maps.markedRuns = valid;

        std::vector<int> runIsland;
        const std::vector<Island> islands =
            findIslands(maps, valid, layer, spacingPixels, &runIsland);
        qDebug() << "island count" << islands.size();
        std::vector<std::vector<PixelRun>> islandRuns;
        for (size_t i = 0; i < islands.size(); ++i) {
            const Island &island = islands[i];
            if (island.overlap != 0)
                continue;
            if (islandRuns.empty()) {
                islandRuns.resize(islands.size());
                for (size_t k = 0; k < valid.size(); ++k)
                    islandRuns[size_t(runIsland[k])].push_back(valid[k]);
            }
            qDebug() << "add support for island that have no support at all" << island.number
                     << island.area;
            const std::vector<SupportPixel> points =
                placeSupports(maps, island, islandRuns[i], clearanceLayers);
            out.insert(out.end(), points.begin(), points.end());
        }
        if (islandsOut)
            *islandsOut = islands;

        for (const PixelRun &run : valid)
            std::fill_n(maps.lastSolidLayer.begin() + ptrdiff_t(run.row) * w + run.x0,
                        run.x1 - run.x0, uint16_t(layer));
    } else if (islandsOut) {
        islandsOut->clear();
    }
    return out;
}

} // namespace CWS::IslandAnalysis
