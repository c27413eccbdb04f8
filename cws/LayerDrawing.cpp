#include "cws/LayerDrawing.h"

#include "cws/ImageBufferPool.h"
#include "cws/JobSnapshot.h"
#include "cws/LayerRaster.h"
#include "model/Model.h"

namespace CWS::LayerDrawing {

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

SegmentListSet cutObjects(const std::vector<ObjectSnapshot> &objects, bool (*wanted)(int),
                          float zMm)
{
    SegmentListSet all;
    for (const ObjectSnapshot &object : objects) {
        if (!wanted(object.type()))
            continue;
        SegmentListSet lists;
        object.cut(zMm, lists);
        all += lists;
    }
    return all;
}

void drawObjects(QImage &target, const std::vector<ObjectSnapshot> &objects, bool (*wanted)(int),
                 const SliceBuildConfig &settings, float zMm, bool plain)
{
    const SegmentListSet lists = cutObjects(objects, wanted, zMm);
    for (const SegmentList &list : lists) {
        if (plain)
            LayerRaster::drawSegmentListPlain(target, list, settings.xPixelsPerMm,
                                              settings.yPixelsPerMm);
        else
            LayerRaster::drawSegmentList(target, list, settings.xPixelsPerMm,
                                         settings.yPixelsPerMm);
    }
}

// The PNG's resolution is the panel's own pixel pitch. Left alone it would be the screen's, and
// the window and the command-line slicer would write different archives.
void stampPanelResolution(QImage &image, const SliceBuildConfig &settings)
{
    image.setDotsPerMeterX(qRound(settings.xPixelsPerMm * 1000.0));
    image.setDotsPerMeterY(qRound(settings.yPixelsPerMm * 1000.0));
}

} // namespace

QImage drawLayer(const std::vector<ObjectSnapshot> &objects, const SliceBuildConfig &settings,
                 float zMm, const Options &options)
{
    const bool antiAlias = settings.antiAliasActive;
    QImage reduced;
    if (!antiAlias || options.plain) {
        // Drawing only ever sets pixels white, so a job-sized image needs one bit a pixel;
        // the plain path keeps a grey supersampled one it reduces with QImage::scaled.
        QImage::Format format = QImage::Format_Mono;
        if (options.grey || (antiAlias && options.plain))
            format = QImage::Format_Grayscale8;
        QImage image =
            ImageBufferPool::acquire(settings.imageWidthPx, settings.imageHeightPx, format);
        if (format == QImage::Format_Mono)
            image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        image.fill(0);
        if (!antiAlias) {
            drawObjects(image, objects, anyButPlate, settings, zMm, options.plain);
            stampPanelResolution(image, settings);
            return image;
        }
        // Models supersampled and scaled down smoothly; supports hard-edged at job resolution.
        drawObjects(image, objects, normalOnly, settings, zMm, true);
        reduced = LayerRaster::downscalePlain(image, settings.targetSizePx);
        image = QImage(); // back to the pool before the next layer asks for one
    } else {
        // The same reduction from the section's white runs, without the supersampled image.
        reduced = LayerRaster::drawDownscaled(
            cutObjects(objects, normalOnly, zMm), settings.xPixelsPerMm, settings.yPixelsPerMm,
            QSize(settings.imageWidthPx, settings.imageHeightPx), settings.targetSizePx);
    }
    SliceBuildConfig jobResolution = settings;
    jobResolution.antiAliasOff();
    stampPanelResolution(reduced, jobResolution);
    drawObjects(reduced, objects, supportFamily, jobResolution, zMm, options.plain);
    return reduced;
}

void appendSolidRuns(std::vector<IslandAnalysis::PixelRun> &runs,
                     const std::vector<ObjectSnapshot> &objects, const SliceBuildConfig &settings,
                     float zMm)
{
    SliceBuildConfig oneBit = settings;
    oneBit.antiAliasOff();
    LayerRaster::appendWhiteRuns(runs, cutObjects(objects, anyButPlate, zMm), oneBit.xPixelsPerMm,
                                 oneBit.yPixelsPerMm,
                                 QSize(oneBit.imageWidthPx, oneBit.imageHeightPx));
}

QImage drawLayer(const JobSnapshot &job, float zMm)
{
    return drawLayer(job.objects(), job.layerSettings(), zMm);
}

} // namespace CWS::LayerDrawing
