#include "workspace/IslandRegionPreview.h"

#include "workspace/IslandController.h"
#include "workspace/LayerPreview.h"

#include <QDebug>

#include <algorithm>
#include <exception>

IslandRegionPreview::IslandRegionPreview(IslandController &islands, LayerPreview &preview,
                                         QObject *parent)
    : QObject(parent), m_islands(islands), m_preview(preview)
{
    // One search at a time: a newer one cancels the older, which then ends at once.
    m_pool.setMaxThreadCount(1);
    connect(&islands, &IslandController::islandsChanged, this, &IslandRegionPreview::refresh);
    connect(&preview, &LayerPreview::currentLayerChanged, this, &IslandRegionPreview::refresh);
    connect(&preview, &LayerPreview::showingChanged, this, &IslandRegionPreview::refresh);
}

IslandRegionPreview::~IslandRegionPreview()
{
    m_cancel.cancel();
    m_pool.clear();
    m_pool.waitForDone();
}

void IslandRegionPreview::refresh()
{
    m_cancel.cancel();
    m_cancel = CWS::CancelToken();
    const quint64 request = ++m_request;
    const bool wasShown = m_regions != nullptr;
    m_regions.reset();
    m_searching = false;

    const int layer = m_preview.currentLayer();
    const std::deque<CWS::SceneIsland> &islands = m_islands.islands();
    // In layer order: one look tells whether the layer holds an island.
    const auto at =
        std::lower_bound(islands.begin(), islands.end(), layer,
                         [](const CWS::SceneIsland &island, int l) { return island.layer() < l; });
    const std::shared_ptr<const CWS::JobSnapshot> job = m_islands.job();
    if (layer > 0 && job && at != islands.end() && at->layer() == layer) {
        m_searching = true;
        const CWS::CancelToken cancel = m_cancel;
        m_pool.start([this, job, layer, cancel, request] {
            if (cancel.isCancelled())
                return;
            std::shared_ptr<const CWS::IslandRegionRects> found;
            try {
                found = std::make_shared<const CWS::IslandRegionRects>(
                    CWS::IslandRegions::rectsOfLayer(*job, layer, cancel));
            } catch (const std::exception &e) {
                qWarning() << "island regions of layer" << layer << "failed:" << e.what();
            } catch (...) {
                qWarning() << "island regions of layer" << layer << "failed";
            }
            if (cancel.isCancelled())
                return;
            // Queued to this object's thread; the destructor waits for this task first.
            QMetaObject::invokeMethod(
                this, [this, request, found] { accept(request, found); }, Qt::QueuedConnection);
        });
    }
    if (wasShown)
        emit regionsChanged();
}

void IslandRegionPreview::accept(quint64 request,
                                 std::shared_ptr<const CWS::IslandRegionRects> regions)
{
    if (request != m_request)
        return;
    m_searching = false;
    m_regions = std::move(regions);
    emit regionsChanged();
}
