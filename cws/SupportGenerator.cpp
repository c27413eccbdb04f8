#include "cws/SupportGenerator.h"

#include "cws/LayerMath.h"
#include "cws/Slice.h"
#include "cws/SliceMesh.h"
#include "cws/SupportConfig.h"
#include "model/Model.h"
#include "workspace/QuorModel.h"

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

SupportGenerator::SupportGenerator(SupportConfig *config)
    : QThread(nullptr), m_config(config), m_workspace(QuorModel::instance()),
      m_cancel(m_workspace ? &m_workspace->m_cancelSlice : &m_noCancel)
{
}

SupportGenerator::~SupportGenerator()
{
    wait();
}

void SupportGenerator::setJob(const std::vector<Model *> &models, const SliceBuildConfig &settings,
                              int sceneLayerCount)
{
    m_models = models;
    m_settings = settings;
    // Contact points are found at the job's own resolution, never supersampled.
    if (m_settings.antiAliasActive)
        m_settings.antiAliasOff();
    m_sceneLayerCount = sceneLayerCount;
}

bool SupportGenerator::cancelled() const
{
    return m_cancel->load();
}

void SupportGenerator::run()
{
    for (Model *model : m_models) {
        if (cancelled())
            break;
        if (!model || model->type != Model::TYPE_NORMAL)
            continue;
        selectInWorkspace(model);
        try {
            processModel(model);
        } catch (const std::exception &e) {
            qCritical() << "Start generating exception" << e.what();
        } catch (...) {
            qCritical() << "Start generating exception ...";
        }
    }
    m_maps = IslandAnalysis::LayerMaps();
}

void SupportGenerator::selectInWorkspace(Model *model)
{
    if (!m_workspace)
        return;
    // Selection flags belong to the GUI thread; the queue also keeps this ahead of the
    // model's supports.
    QuorModel *workspace = m_workspace;
    QMetaObject::invokeMethod(
        workspace,
        [workspace, model] {
            const auto &list = workspace->models;
            if (std::find(list.begin(), list.end(), model) != list.end())
                workspace->selectModel(model);
        },
        Qt::QueuedConnection);
}

void SupportGenerator::reportProgress(int layersDone)
{
    if (!m_workspace || m_sceneLayerCount <= 0)
        return;
    QuorModel *workspace = m_workspace;
    const float ratio = float(layersDone) / float(m_sceneLayerCount);
    const bool canceld = cancelled();
    QMetaObject::invokeMethod(
        workspace,
        [workspace, ratio, canceld] {
            emit workspace->sliceCompletedProgress(ratio, canceld, QStringLiteral("autoSupport"));
        },
        Qt::QueuedConnection);
}

QRect SupportGenerator::pixelWindow(const Model *model) const
{
    const int hw = m_settings.imageWidthPx / 2;
    const int hh = m_settings.imageHeightPx / 2;
    // Wide enough for the truncation toward zero and the one-pixel outline.
    const int margin = 2;
    auto clampPx = [](double v) { return int(std::clamp(v, -1.0e9, 1.0e9)); };
    const int left = clampPx(double(model->bboxMin.x()) * m_settings.xPixelsPerMm) + hw - margin;
    const int right = clampPx(double(model->bboxMax.x()) * m_settings.xPixelsPerMm) + hw + margin;
    const int top = clampPx(double(model->bboxMin.y()) * m_settings.yPixelsPerMm) + hh - margin;
    const int bottom = clampPx(double(model->bboxMax.y()) * m_settings.yPixelsPerMm) + hh + margin;
    return QRect(QPoint(left, top), QPoint(right, bottom))
        .intersected(QRect(0, 0, m_settings.imageWidthPx, m_settings.imageHeightPx));
}

void SupportGenerator::processModel(Model *model)
{
    qDebug() << "Support Generation Started";
    const float t = m_settings.layerThicknessMm;
    const int layerCount = t > 0.0f ? LayerMath::layerCount(model->bboxMax.z(), t) : 0;
    m_spacingPixels = IslandAnalysis::spacingPixels(m_config ? m_config->supportSpacing() : 5.0f,
                                                    m_settings.xPixelsPerMm);
    m_clearanceLayers = IslandAnalysis::clearanceLayers(t);
    // Layer numbers live in 16-bit maps; a taller stack would wrap and misplace supports.
    if (layerCount > std::numeric_limits<uint16_t>::max()) {
        qWarning() << "too many layers for automatic supports:" << layerCount;
        qDebug() << "Support Generation ended";
        return;
    }
    if (!m_maps.isAllocated())
        m_maps.allocate(m_settings.imageWidthPx, m_settings.imageHeightPx);
    m_maps.resetModel();

    // The same height-bucketed world copy the slicing job cuts, unless one is already there.
    const bool ownMesh = !model->sliceMesh && model->mesh;
    if (ownMesh)
        model->sliceMesh = std::make_shared<const SliceMesh>(*model->mesh, model->modelMatrix(), t);
    try {
        runLayers(model, layerCount, pixelWindow(model));
    } catch (const std::exception &e) {
        qCritical() << "exception" << e.what();
    }
    if (ownMesh)
        model->sliceMesh.reset();
    qDebug() << "Support Generation ended";
}

void SupportGenerator::runLayers(Model *model, int layerCount, const QRect &window)
{
    const float t = m_settings.layerThicknessMm;
    QThreadPool pool;
    std::deque<RunsFuture> queue;
    PoolDrain drain{pool};
    // Layers are rendered ahead on the pool; the analysis itself must go bottom to top.
    const int ahead = std::max(2, pool.maxThreadCount() * 2);
    const SliceBuildConfig &settings = m_settings;
    float zNext = t * 0.5f;
    int submitted = 0;
    auto submit = [&] {
        const int layer = submitted++;
        const float z = zNext;
        zNext += t;
        auto promise = std::make_shared<std::promise<std::vector<PixelRun>>>();
        queue.push_back(promise->get_future());
        pool.start(QRunnable::create([promise, &settings, model, layer, z, window] {
            try {
                Slice slice(nullptr, settings, layer, z);
                const QImage *image = slice.buildLayerImage(true, model);
                promise->set_value(IslandAnalysis::solidRuns(*image, window));
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
            emitSupport(model, point);
        if (layer + 1 < m_sceneLayerCount)
            reportProgress(layer + 1);
    }
    qDebug() << "Support Generation Completed";
}

void SupportGenerator::emitSupport(Model *model, const IslandAnalysis::SupportPixel &point)
{
    const float t = m_settings.layerThicknessMm;
    qDebug() << "  add support "
             << QString::asprintf("SupportLocation %llx %d -> (%d, %d, %d)",
                                  static_cast<unsigned long long>(quintptr(model)), point.baseLayer,
                                  point.column, point.row, point.layer);
    const float x =
        float(point.column - m_settings.imageWidthPx / 2) / float(m_settings.xPixelsPerMm);
    const float y =
        float(point.row - m_settings.imageHeightPx / 2) / float(m_settings.yPixelsPerMm);
    // 0.01 layer above the middle of the layer where the island starts.
    const float z = float((point.layer + 0.5 + 0.01) * double(t));
    const float zbase = float(point.baseLayer) * t;
    ++m_pointsEmitted;
    emit genNewSupport(x, y, z, zbase, model);
}

} // namespace CWS
