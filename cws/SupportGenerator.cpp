#include "cws/SupportGenerator.h"

#include "cws/LayerDrawing.h"
#include "model/LayerMath.h"
#include "model/Model.h"

#include <QDebug>
#include <QImage>
#include <QThreadPool>

#include <algorithm>
#include <deque>
#include <exception>
#include <future>
#include <limits>
#include <memory>

namespace CWS {

namespace {

using IslandAnalysis::PixelRun;
using RunsFuture = std::future<std::vector<PixelRun>>;

// Drops the layers still queued and waits for the running ones, whatever ends the loop.
struct PoolDrain
{
    QThreadPool &pool;
    ~PoolDrain()
    {
        pool.clear();
        pool.waitForDone();
    }
};

} // namespace

SupportGenerator::SupportGenerator(JobSnapshot job, float supportSpacingMm, int sceneLayerCount,
                                   CancelToken cancel)
    : QThread(nullptr), m_job(std::move(job)), m_supportSpacingMm(supportSpacingMm),
      m_sceneLayerCount(sceneLayerCount), m_cancel(std::move(cancel))
{
}

SupportGenerator::~SupportGenerator()
{
    wait();
}

void SupportGenerator::run()
{
    const std::vector<ObjectSnapshot> &objects = m_job.objects();
    for (int i = 0; i < int(objects.size()); ++i) {
        if (cancelled())
            break;
        if (objects[size_t(i)].type() != Model::TYPE_NORMAL)
            continue;
        emit objectStarted(i);
        try {
            processObject(i);
        } catch (const std::exception &e) {
            qCritical() << "Start generating exception" << e.what();
        } catch (...) {
            qCritical() << "Start generating exception ...";
        }
    }
    m_maps = IslandAnalysis::LayerMaps();
}

QRect SupportGenerator::pixelWindow(const ObjectSnapshot &object) const
{
    const SliceBuildConfig &settings = m_job.settings();
    const int hw = settings.imageWidthPx / 2;
    const int hh = settings.imageHeightPx / 2;
    // Wide enough for the truncation toward zero and the one-pixel outline.
    const int margin = 2;
    auto clampPx = [](double v) { return int(std::clamp(v, -1.0e9, 1.0e9)); };
    const QVector3D &lo = object.boundsMinMm();
    const QVector3D &hi = object.boundsMaxMm();
    const int left = clampPx(double(lo.x()) * settings.xPixelsPerMm) + hw - margin;
    const int right = clampPx(double(hi.x()) * settings.xPixelsPerMm) + hw + margin;
    const int top = clampPx(double(lo.y()) * settings.yPixelsPerMm) + hh - margin;
    const int bottom = clampPx(double(hi.y()) * settings.yPixelsPerMm) + hh + margin;
    return QRect(QPoint(left, top), QPoint(right, bottom))
        .intersected(QRect(0, 0, settings.imageWidthPx, settings.imageHeightPx));
}

void SupportGenerator::processObject(int objectIndex)
{
    qDebug() << "Support Generation Started";
    const SliceBuildConfig &settings = m_job.settings();
    const float t = settings.layerThicknessMm;
    std::vector<ObjectSnapshot> alone{m_job.objects()[size_t(objectIndex)]};
    const int layerCount = t > 0.0f ? LayerMath::layerCount(alone[0].boundsMaxMm().z(), t) : 0;
    m_spacingPixels = IslandAnalysis::spacingPixels(m_supportSpacingMm, settings.xPixelsPerMm);
    m_clearanceLayers = IslandAnalysis::clearanceLayers(t);
    // Layer numbers live in 16-bit maps; a taller stack would wrap and misplace supports.
    if (layerCount > std::numeric_limits<uint16_t>::max()) {
        qWarning() << "too many layers for automatic supports:" << layerCount;
        qDebug() << "Support Generation ended";
        return;
    }
    if (!m_maps.isAllocated())
        m_maps.allocate(settings.imageWidthPx, settings.imageHeightPx);
    m_maps.resetModel();

    // The same height-bucketed world copy the slicing job cuts.
    alone[0].prepareCuts(t);
    try {
        runLayers(objectIndex, alone, layerCount, pixelWindow(alone[0]));
    } catch (const std::exception &e) {
        qCritical() << "exception" << e.what();
    }
    qDebug() << "Support Generation ended";
}

void SupportGenerator::runLayers(int objectIndex, const std::vector<ObjectSnapshot> &alone,
                                 int layerCount, const QRect &window)
{
    const SliceBuildConfig &settings = m_job.settings();
    QThreadPool pool;
    std::deque<RunsFuture> queue;
    PoolDrain drain{pool};
    // Layers are rendered ahead on the pool; the analysis itself must go bottom to top.
    const int ahead = std::max(2, pool.maxThreadCount() * 2);
    const std::vector<float> heights =
        LayerMath::layerHeights(layerCount, settings.layerThicknessMm);
    int submitted = 0;
    auto submit = [&] {
        const float z = heights[size_t(submitted++)];
        auto promise = std::make_shared<std::promise<std::vector<PixelRun>>>();
        queue.push_back(promise->get_future());
        pool.start(QRunnable::create([promise, &settings, &alone, z, window] {
            try {
                LayerDrawing::Options grey;
                grey.grey = true;
                const QImage image = LayerDrawing::drawLayer(alone, settings, z, grey);
                promise->set_value(IslandAnalysis::solidRuns(image, window));
            } catch (...) {
                promise->set_exception(std::current_exception());
            }
        }));
    };

    for (int layer = 0; layer < layerCount; ++layer) {
        if (cancelled()) {
            qDebug() << "Support Generation Cancelled";
            return;
        }
        qDebug() << "Support deal slice " << layer << "/" << layerCount;
        while (submitted < layerCount && submitted < layer + ahead)
            submit();
        const std::vector<PixelRun> runs = queue.front().get();
        queue.pop_front();
        const std::vector<IslandAnalysis::SupportPixel> points =
            IslandAnalysis::analyseLayer(m_maps, runs, layer, m_spacingPixels, m_clearanceLayers);
        for (const IslandAnalysis::SupportPixel &point : points)
            emitSupport(objectIndex, point);
        if (layer + 1 < m_sceneLayerCount)
            emit progressed(float(layer + 1) / float(m_sceneLayerCount));
    }
    qDebug() << "Support Generation Completed";
}

void SupportGenerator::emitSupport(int objectIndex, const IslandAnalysis::SupportPixel &point)
{
    const SliceBuildConfig &settings = m_job.settings();
    const float t = settings.layerThicknessMm;
    qDebug() << "  add support "
             << QString::asprintf("SupportLocation %llx %d -> (%d, %d, %d)",
                                  static_cast<unsigned long long>(objectIndex), point.baseLayer,
                                  point.column, point.row, point.layer);
    const float x = float(point.column - settings.imageWidthPx / 2) / float(settings.xPixelsPerMm);
    const float y = float(point.row - settings.imageHeightPx / 2) / float(settings.yPixelsPerMm);
    // 0.01 layer above the middle of the layer where the island starts.
    const float z = float((point.layer + 0.5 + 0.01) * double(t));
    const float zbase = float(point.baseLayer) * t;
    ++m_pointsEmitted;
    emit genNewSupport(x, y, z, zbase, objectIndex);
}

} // namespace CWS
