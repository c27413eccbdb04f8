#include "cws/IslandRegions.h"

#include "cws/IslandScan.h"
#include "cws/JobSnapshot.h"
#include "cws/LayerDrawing.h"
#include "cws/RunLabels.h"
#include "model/LayerMath.h"

#include <QImage>

#include <limits>
#include <map>
#include <utility>

namespace CWS {

using IslandAnalysis::PixelRun;

void IslandRegion::add(const PixelRun &run)
{
    m_runs.push_back(run);
    m_boundsPx |= QRect(QPoint(run.x0, run.row), QPoint(run.x1 - 1, run.row));
    m_pixelCount += run.x1 - run.x0;
}

namespace IslandRegions {

LabelledLayer labelLayer(const JobSnapshot &job, float zMm)
{
    LabelledLayer r;
    {
        // The last layer's run count, as a first guess of this one's.
        thread_local size_t expectedRuns = 0;
        r.runs.reserve(expectedRuns + expectedRuns / 8);
        LayerDrawing::appendSolidRuns(r.runs, job.objects(), job.settings(), zMm);
        expectedRuns = r.runs.size();
    }
    r.count = RunLabels::label(r.runs, r.component);
    return r;
}

int numberIslands(const LabelledLayer &current, const std::vector<PixelRun> &below,
                  std::vector<int> &islandOfRegion)
{
    std::vector<char> supported(size_t(current.count), 0);
    size_t cursor = 0;
    for (size_t k = 0; k < current.runs.size(); ++k) {
        char &s = supported[size_t(current.component[k])];
        if (!s && RunLabels::overlapsAny(current.runs[k], below, cursor))
            s = 1;
    }
    islandOfRegion.assign(size_t(current.count), -1);
    int islandCount = 0;
    for (int c = 0; c < current.count; ++c)
        if (!supported[size_t(c)])
            islandOfRegion[size_t(c)] = islandCount++;
    return islandCount;
}

float layerHeightMm(const JobSnapshot &job, int layer)
{
    // Heights are summed layer by layer; the same sum gives the same float.
    return LayerMath::layerHeights(layer + 1, job.settings().layerThicknessMm).back();
}

std::vector<IslandRegion> ofLayer(const JobSnapshot &job, int layer, const CancelToken &cancel)
{
    const int layerCount = IslandScan::layerCountOf(job);
    if (layer <= 0 || layer >= layerCount || !IslandScan::sceneProblem(job, layerCount).isEmpty())
        return {};
    const LabelledLayer below = labelLayer(job, layerHeightMm(job, layer - 1));
    if (cancel.isCancelled())
        return {};
    const LabelledLayer current = labelLayer(job, layerHeightMm(job, layer));
    std::vector<int> islandOf;
    const int count = numberIslands(current, below.runs, islandOf);
    std::vector<IslandRegion> regions(static_cast<size_t>(count));
    for (size_t k = 0; k < current.runs.size(); ++k) {
        const int island = islandOf[size_t(current.component[k])];
        if (island >= 0)
            regions[size_t(island)].add(current.runs[k]);
    }
    return regions;
}

double pixelLowEdge(int k)
{
    return k > 0 ? k : k - 1;
}

double pixelHighEdge(int k)
{
    return k >= 0 ? k + 1 : k;
}

QRectF plateRect(const JobSnapshot &job, const QRect &boundsPx)
{
    const SliceBuildConfig &s = job.settings();
    const int cx = s.imageWidthPx / 2, cy = s.imageHeightPx / 2;
    const double left = pixelLowEdge(boundsPx.left() - cx) / s.xPixelsPerMm;
    const double right = pixelHighEdge(boundsPx.right() - cx) / s.xPixelsPerMm;
    const double top = pixelLowEdge(boundsPx.top() - cy) / s.yPixelsPerMm;
    const double bottom = pixelHighEdge(boundsPx.bottom() - cy) / s.yPixelsPerMm;
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

std::vector<QRectF> plateRectangles(const JobSnapshot &job, const std::vector<PixelRun> &runs)
{
    // Open rectangles by their columns, each with its first and last row.
    std::map<std::pair<int, int>, std::pair<int, int>> open;
    std::vector<QRect> closed;
    int row = -1;
    auto closeBefore = [&](int nextRow) {
        for (auto it = open.begin(); it != open.end();) {
            if (it->second.second < nextRow - 1) {
                closed.emplace_back(QPoint(it->first.first, it->second.first),
                                    QPoint(it->first.second - 1, it->second.second));
                it = open.erase(it);
            } else {
                ++it;
            }
        }
    };
    for (const PixelRun &run : runs) {
        if (run.row != row) {
            closeBefore(run.row);
            row = run.row;
        }
        auto it = open.find({run.x0, run.x1});
        if (it != open.end())
            it->second.second = run.row;
        else
            open.emplace(std::make_pair(run.x0, run.x1), std::make_pair(run.row, run.row));
    }
    closeBefore(std::numeric_limits<int>::max());
    std::vector<QRectF> rects;
    rects.reserve(closed.size());
    for (const QRect &px : closed)
        rects.push_back(plateRect(job, px));
    return rects;
}

IslandRegionRects rectsOfLayer(const JobSnapshot &job, int layer, const CancelToken &cancel)
{
    const std::vector<IslandRegion> regions = ofLayer(job, layer, cancel);
    std::vector<QRectF> rects;
    for (const IslandRegion &region : regions) {
        const std::vector<QRectF> more = plateRectangles(job, region.runs());
        rects.insert(rects.end(), more.begin(), more.end());
    }
    if (cancel.isCancelled())
        return IslandRegionRects();
    return IslandRegionRects(layer, layerHeightMm(job, layer), std::move(rects));
}

} // namespace IslandRegions
} // namespace CWS
