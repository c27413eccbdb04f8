#include "cws/Slice.h"

#include "cws/ImageBufferPool.h"
#include "cws/LayerRaster.h"
#include "cws/Slicer.h"
#include "model/Model.h"
#include "workspace/QuorModel.h"

#include <QDebug>

#include <exception>

namespace CWS {

namespace {

bool anyButPlate(int type)
{
    return type != Model::TYPE_PLATFORM_BOTTOM;
}
bool normalOnly(int type)
{
    return type == Model::TYPE_NORMAL;
}
bool supportFamily(int type)
{
    return type != Model::TYPE_NORMAL && type != Model::TYPE_PLATFORM_BOTTOM;
}

} // namespace

Slice::Slice(Slicer *slicer, const SliceBuildConfig &settings, int layerIndex, float z)
    : m_slicer(slicer), m_settings(settings), m_layerIndex(layerIndex), m_z(z)
{
}

Slice::~Slice() = default;

SegmentListSet Slice::cutObjects(bool (*wanted)(int type), Model *only)
{
    std::vector<Model *> objects;
    if (only) {
        objects.push_back(only);
    } else if (QuorModel *workspace = QuorModel::instance()) {
        objects = workspace->models;
    }
    SegmentListSet all;
    for (Model *object : objects) {
        if (!wanted(object->type))
            continue;
        SegmentListSet lists;
        object->sliceLayer(m_layerIndex, m_z, lists);
        all += lists;
    }
    return all;
}

void Slice::drawObjects(QImage &target, bool (*wanted)(int type), Model *only, bool plain)
{
    const SegmentListSet lists = cutObjects(wanted, only);
    for (const SegmentList &list : lists) {
        if (plain)
            LayerRaster::drawSegmentListPlain(target, list, m_settings.xPixelsPerMm,
                                              m_settings.yPixelsPerMm);
        else
            LayerRaster::drawSegmentList(target, list, m_settings.xPixelsPerMm,
                                         m_settings.yPixelsPerMm);
    }
}

void Slice::stampPanelResolution(QImage &image) const
{
    // The PNG's resolution is the panel's own pixel pitch. Left alone it would be the screen's,
    // and the window and the command-line slicer would write different archives.
    image.setDotsPerMeterX(qRound(m_settings.xPixelsPerMm * 1000.0));
    image.setDotsPerMeterY(qRound(m_settings.yPixelsPerMm * 1000.0));
}

QImage *Slice::buildLayerImage(bool grey, Model *only, bool plain)
{
    const bool antiAlias = m_settings.antiAliasActive;
    if (!antiAlias || plain) {
        // Drawing only ever sets pixels white, so a job-sized image needs one bit a pixel;
        // the plain path keeps a grey supersampled one it reduces with QImage::scaled.
        QImage::Format format = QImage::Format_Mono;
        if (grey || (antiAlias && plain))
            format = QImage::Format_Grayscale8;
        auto image = std::make_unique<QImage>(
            ImageBufferPool::acquire(m_settings.imageWidthPx, m_settings.imageHeightPx, format));
        if (format == QImage::Format_Mono)
            image->setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        image->fill(0);
        if (!antiAlias) {
            drawObjects(*image, anyButPlate, only, plain);
            m_image = std::move(image);
            stampPanelResolution(*m_image);
            return m_image.get();
        }
        drawObjects(*image, normalOnly, only, plain);
        m_superImage = std::move(image);
    }

    // Models supersampled and scaled down smoothly; supports hard-edged at job resolution.
    m_image = std::make_unique<QImage>(
        plain ? LayerRaster::downscalePlain(*m_superImage, m_settings.targetSizePx)
              : LayerRaster::drawDownscaled(
                    cutObjects(normalOnly, only), m_settings.xPixelsPerMm, m_settings.yPixelsPerMm,
                    QSize(m_settings.imageWidthPx, m_settings.imageHeightPx),
                    m_settings.targetSizePx));
    const double factor = m_settings.antiAliasFactor;
    m_settings.antiAliasOff();
    stampPanelResolution(*m_image);
    drawObjects(*m_image, supportFamily, only, plain);
    m_settings.setAntiAlias(true, factor);
    return m_image.get();
}

void Slice::run()
{
    if (!m_slicer) {
        buildLayerImage(false, nullptr);
        return;
    }
    m_slicer->layerStarted(m_layerIndex);
    try {
        buildLayerImage(false, nullptr);
    } catch (const std::exception &e) {
        qWarning() << "slicer exception" << e.what();
        m_slicer->layerAbandoned(m_layerIndex, true);
        return;
    }
    if (m_slicer->cancelled())
        m_slicer->layerAbandoned(m_layerIndex, false);
    else
        m_slicer->writeLayer(m_layerIndex, *m_image);
}

} // namespace CWS
