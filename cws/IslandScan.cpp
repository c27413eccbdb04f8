#include "cws/IslandScan.h"

#include "cws/IslandRegions.h"
#include "cws/LayerDrawing.h"
#include "cws/RunLabels.h"
#include "model/LayerMath.h"
#include "model/Model.h"

#include <QImage>
#include <QThread>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <thread>

namespace CWS::IslandScan {

namespace {

using IslandAnalysis::PixelRun;

using LayerRegions = LabelledLayer;

// Layers drawn and labelled ahead on worker threads, handed out strictly in layer order. At
// most four layers per thread wait beyond the one being analysed, so memory stays a few
// layers' worth; with one each, a worker that finished first sat waiting for the other's
// layer to be taken, and the cores were busy only about two thirds of the time.
class OrderedLayers
{
public:
    OrderedLayers(int layerCount, std::function<LayerRegions(int)> make, CancelToken cancel)
        : m_layerCount(layerCount), m_make(std::move(make)), m_cancel(std::move(cancel))
    {
        const int threads = std::max(1, std::min(QThread::idealThreadCount(), layerCount));
        m_ahead = 4 * threads;
        for (int i = 0; i < threads; ++i)
            m_threads.emplace_back([this] { work(); });
    }
    ~OrderedLayers()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        for (std::thread &t : m_threads)
            t.join();
    }

    // False when the job stopped first (cancelled, or a layer failed: failure() tells).
    bool take(int layer, LayerRegions &out)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [&] { return m_stop || m_ready.count(layer) != 0; });
        auto it = m_ready.find(layer);
        if (it == m_ready.end())
            return false;
        out = std::move(it->second);
        m_ready.erase(it);
        m_taken = layer + 1;
        m_changed.notify_all();
        return true;
    }
    std::exception_ptr failure() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_failure;
    }

private:
    void stopWith(std::exception_ptr failure)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (failure && !m_failure)
            m_failure = failure;
        m_stop = true;
        m_changed.notify_all();
    }
    void work()
    {
        for (;;) {
            int layer = 0;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_changed.wait(lock, [&] {
                    return m_stop || m_next >= m_layerCount || m_next < m_taken + m_ahead;
                });
                if (m_stop || m_next >= m_layerCount)
                    return;
                layer = m_next++;
            }
            if (m_cancel.isCancelled())
                return stopWith(nullptr);
            try {
                LayerRegions regions = m_make(layer);
                std::lock_guard<std::mutex> lock(m_mutex);
                m_ready.emplace(layer, std::move(regions));
                m_changed.notify_all();
            } catch (...) {
                return stopWith(std::current_exception());
            }
        }
    }

    const int m_layerCount;
    const std::function<LayerRegions(int)> m_make;
    const CancelToken m_cancel;
    int m_ahead = 2;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<int, LayerRegions> m_ready;
    int m_next = 0;
    int m_taken = 0;
    bool m_stop = false;
    std::exception_ptr m_failure;
    std::vector<std::thread> m_threads;
};

bool anySolid(const QImage &mono, const PixelRun &run)
{
    const uchar *line = mono.constScanLine(run.row);
    for (int x = run.x0; x < run.x1; ++x)
        if ((line[x >> 3] >> (7 - (x & 7))) & 1)
            return true;
    return false;
}

// Objects whose height range holds the layer: only they can draw anything in it.
std::vector<int> objectsAt(const JobSnapshot &job, float zMm)
{
    std::vector<int> found;
    const std::vector<ObjectSnapshot> &objects = job.objects();
    for (int i = 0; i < int(objects.size()); ++i) {
        const ObjectSnapshot &o = objects[size_t(i)];
        if (o.type() != Model::TYPE_PLATFORM_BOTTOM && o.boundsMinMm().z() <= zMm &&
            zMm <= o.boundsMaxMm().z())
            found.push_back(i);
    }
    return found;
}

// The first candidate whose own drawing covers one of the island's runs; when one object
// alone reaches the layer, nothing needs drawing.
int ownerOf(const JobSnapshot &job, float zMm, const std::vector<int> &candidates,
            const std::vector<const PixelRun *> &islandRuns, std::map<int, QImage> &drawnAlone)
{
    if (candidates.size() == 1)
        return candidates.front();
    for (int i : candidates) {
        auto it = drawnAlone.find(i);
        if (it == drawnAlone.end())
            it = drawnAlone
                     .emplace(i, LayerDrawing::drawLayer({job.objects()[size_t(i)]}, job.settings(),
                                                         zMm))
                     .first;
        for (const PixelRun *run : islandRuns)
            if (anySolid(it->second, *run))
                return i;
    }
    return -1;
}

// The islands of one layer: its regions that overlap nothing of the layer below.
void collectIslands(const JobSnapshot &job, int layer, float zMm, const LayerRegions &current,
                    const std::vector<PixelRun> &below, std::deque<SceneIsland> &out)
{
    // Each island gets a slot, in region order; only islands are measured.
    std::vector<int> slotOf;
    const int islandCount = IslandRegions::numberIslands(current, below, slotOf);
    if (islandCount == 0)
        return;
    const std::vector<int> candidates = objectsAt(job, zMm);
    std::vector<QRect> bounds(static_cast<size_t>(islandCount));
    std::vector<int> pixels(size_t(islandCount), 0);
    std::vector<std::vector<const PixelRun *>> runsOf(candidates.size() > 1 ? size_t(islandCount)
                                                                            : 0);
    for (size_t k = 0; k < current.runs.size(); ++k) {
        const int slot = slotOf[size_t(current.component[k])];
        if (slot < 0)
            continue;
        const PixelRun &run = current.runs[k];
        bounds[size_t(slot)] |= QRect(QPoint(run.x0, run.row), QPoint(run.x1 - 1, run.row));
        pixels[size_t(slot)] += run.x1 - run.x0;
        if (!runsOf.empty())
            runsOf[size_t(slot)].push_back(&run);
    }
    std::map<int, QImage> drawnAlone;
    for (int slot = 0; slot < islandCount; ++slot) {
        const int owner = ownerOf(
            job, zMm, candidates,
            runsOf.empty() ? std::vector<const PixelRun *>() : runsOf[size_t(slot)], drawnAlone);
        out.push_back(
            islandFromPixels(job, layer, zMm, bounds[size_t(slot)], pixels[size_t(slot)], owner));
    }
}

} // namespace

int layerCountOf(const JobSnapshot &job)
{
    float top = 0.0f;
    for (const ObjectSnapshot &o : job.objects())
        if (o.type() != Model::TYPE_PLATFORM_BOTTOM)
            top = std::max(top, o.boundsMaxMm().z());
    return LayerMath::layerCount(top, job.settings().layerThicknessMm);
}

QString sceneProblem(const JobSnapshot &job, int layerCount)
{
    const SliceBuildConfig &s = job.settings();
    if (!(s.layerThicknessMm > 0.0f) || !(s.xPixelsPerMm > 0.0) || !(s.yPixelsPerMm > 0.0))
        return QStringLiteral("The job has no layer thickness or pixel pitch.");
    if (layerCount > kMaxLayers)
        return QStringLiteral("The scene has %1 layers; islands are found in at most %2.")
            .arg(layerCount)
            .arg(kMaxLayers);
    const PrinterModelConfig &p = job.printer();
    if (s.imageWidthPx <= 0 || s.imageHeightPx <= 0 || s.imageWidthPx > p.x ||
        s.imageHeightPx > p.y)
        return QStringLiteral("The layer image (%1 x %2 pixels) does not fit the printer's panel "
                              "(%3 x %4 pixels).")
            .arg(s.imageWidthPx)
            .arg(s.imageHeightPx)
            .arg(p.x)
            .arg(p.y);
    return QString();
}

SceneIsland islandFromPixels(const JobSnapshot &job, int layer, float zMm, const QRect &boundsPx,
                             int pixelCount, int objectIndex)
{
    const SliceBuildConfig &s = job.settings();
    const int cx = s.imageWidthPx / 2, cy = s.imageHeightPx / 2;
    using IslandRegions::pixelHighEdge;
    using IslandRegions::pixelLowEdge;
    const double x =
        (pixelLowEdge(boundsPx.left() - cx) + pixelHighEdge(boundsPx.right() - cx)) / 2.0;
    const double y =
        (pixelLowEdge(boundsPx.top() - cy) + pixelHighEdge(boundsPx.bottom() - cy)) / 2.0;
    return SceneIsland(layer, zMm, float(x / s.xPixelsPerMm), float(y / s.yPixelsPerMm),
                       float(double(pixelCount) / (s.xPixelsPerMm * s.yPixelsPerMm)), objectIndex);
}

IslandScanResult scan(const JobSnapshot &snapshot, const CancelToken &cancel,
                      const Progress &progress)
{
    const int layerCount = layerCountOf(snapshot);
    const QString problem = sceneProblem(snapshot, layerCount);
    if (!problem.isEmpty())
        return IslandScanResult::failed(problem);
    if (cancel.isCancelled())
        return IslandScanResult::cancelled();

    // A copy of our own to bucket: the caller's snapshot stays as it was.
    JobSnapshot job = snapshot;
    job.prepareCuts(4);
    const SliceBuildConfig &settings = job.settings();
    const std::vector<float> heights =
        LayerMath::layerHeights(layerCount, settings.layerThicknessMm);
    auto make = [&](int layer) { return IslandRegions::labelLayer(job, heights[size_t(layer)]); };

    std::deque<SceneIsland> islands;
    std::vector<PixelRun> below;
    try {
        OrderedLayers layers(layerCount, make, cancel);
        for (int layer = 0; layer < layerCount; ++layer) {
            LayerRegions current;
            if (cancel.isCancelled() || !layers.take(layer, current)) {
                if (const std::exception_ptr failure = layers.failure())
                    std::rethrow_exception(failure);
                return IslandScanResult::cancelled();
            }
            if (layer > 0)
                collectIslands(job, layer, heights[size_t(layer)], current, below, islands);
            below = std::move(current.runs);
            if (progress)
                progress(layer + 1, layerCount);
        }
    } catch (const std::bad_alloc &) {
        return IslandScanResult::failed(QStringLiteral("Not enough memory to find islands."));
    } catch (const std::exception &e) {
        return IslandScanResult::failed(
            QStringLiteral("Finding islands failed: %1").arg(QString::fromLocal8Bit(e.what())));
    } catch (...) {
        return IslandScanResult::failed(QStringLiteral("Finding islands failed."));
    }
    return IslandScanResult::completed(job, layerCount, std::move(islands));
}

} // namespace CWS::IslandScan
