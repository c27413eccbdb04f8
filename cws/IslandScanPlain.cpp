// The plain twin of the island analysis: whole images, flood fill, one layer at a time.
#include "cws/IslandScan.h"

#include "cws/LayerDrawing.h"
#include "model/LayerMath.h"
#include "model/Model.h"

#include <QImage>
#include <QPoint>

#include <deque>
#include <vector>

namespace CWS::IslandScan {

namespace {

QImage greyLayer(const std::vector<ObjectSnapshot> &objects, const SliceBuildConfig &settings,
                 float zMm)
{
    return LayerDrawing::drawLayer(objects, settings, zMm)
        .convertToFormat(QImage::Format_Grayscale8);
}

bool solid(const QImage &grey, const QPoint &p)
{
    return grey.constScanLine(p.y())[p.x()] != 0;
}

// The four-connected region around seed, every pixel marked in seen.
std::vector<QPoint> floodFill(const QImage &grey, const QPoint &seed, std::vector<char> &seen)
{
    const int w = grey.width(), h = grey.height();
    std::vector<QPoint> region{seed};
    seen[size_t(seed.y()) * size_t(w) + size_t(seed.x())] = 1;
    for (size_t i = 0; i < region.size(); ++i) {
        const QPoint p = region[i];
        for (const QPoint &n :
             {p + QPoint(1, 0), p + QPoint(-1, 0), p + QPoint(0, 1), p + QPoint(0, -1)}) {
            if (n.x() < 0 || n.y() < 0 || n.x() >= w || n.y() >= h)
                continue;
            char &s = seen[size_t(n.y()) * size_t(w) + size_t(n.x())];
            if (!s && solid(grey, n)) {
                s = 1;
                region.push_back(n);
            }
        }
    }
    return region;
}

int plainOwner(const JobSnapshot &job, float zMm, const std::vector<QPoint> &region)
{
    const std::vector<ObjectSnapshot> &objects = job.objects();
    for (int i = 0; i < int(objects.size()); ++i) {
        if (objects[size_t(i)].type() == Model::TYPE_PLATFORM_BOTTOM)
            continue;
        const QImage alone = greyLayer({objects[size_t(i)]}, job.settings(), zMm);
        for (const QPoint &p : region)
            if (solid(alone, p))
                return i;
    }
    return -1;
}

} // namespace

IslandScanResult scanPlain(const JobSnapshot &job, const CancelToken &cancel)
{
    const int layerCount = layerCountOf(job);
    const QString problem = sceneProblem(job, layerCount);
    if (!problem.isEmpty())
        return IslandScanResult::failed(problem);
    const SliceBuildConfig &settings = job.settings();
    const std::vector<float> heights =
        LayerMath::layerHeights(layerCount, settings.layerThicknessMm);
    std::deque<SceneIsland> islands;
    QImage below;
    for (int layer = 0; layer < layerCount; ++layer) {
        if (cancel.isCancelled())
            return IslandScanResult::cancelled();
        const float z = heights[size_t(layer)];
        const QImage image = greyLayer(job.objects(), settings, z);
        std::vector<char> seen(size_t(image.width()) * size_t(image.height()), 0);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (seen[size_t(y) * size_t(image.width()) + size_t(x)] ||
                    !solid(image, QPoint(x, y)))
                    continue;
                const std::vector<QPoint> region = floodFill(image, QPoint(x, y), seen);
                bool resting = layer == 0;
                QRect bounds;
                for (const QPoint &p : region) {
                    resting = resting || solid(below, p);
                    bounds |= QRect(p, p);
                }
                if (!resting)
                    islands.push_back(islandFromPixels(job, layer, z, bounds, int(region.size()),
                                                       plainOwner(job, z, region)));
            }
        }
        below = image;
    }
    return IslandScanResult::completed(job, layerCount, std::move(islands));
}

} // namespace CWS::IslandScan
