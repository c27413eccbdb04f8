#pragma once

#include "cws/CancelToken.h"
#include "cws/IslandRegions.h"

#include <QObject>
#include <QThreadPool>

#include <memory>

class IslandController;
class LayerPreview;

// The red regions of the layer preview: the islands of the layer shown, as plate rectangles.
// Drawing two layers of a large scene takes tens of milliseconds, so they are found on a worker
// thread from the snapshot the islands came from; an answer for a layer or an island list that
// is no longer shown is dropped. While the answer is on its way nothing is shown, never the
// regions of another layer.
class IslandRegionPreview : public QObject
{
    Q_OBJECT
public:
    IslandRegionPreview(IslandController &islands, LayerPreview &preview,
                        QObject *parent = nullptr);
    // Cancels the running search and waits for it.
    ~IslandRegionPreview() override;

    // What the preview shows now; null when nothing.
    std::shared_ptr<const CWS::IslandRegionRects> regions() const { return m_regions; }
    // Whether a search is under way for what the preview shows.
    bool isSearching() const { return m_searching; }

signals:
    void regionsChanged();

private:
    void refresh();
    void accept(quint64 request, std::shared_ptr<const CWS::IslandRegionRects> regions);

    IslandController &m_islands;
    LayerPreview &m_preview;
    QThreadPool m_pool;
    CWS::CancelToken m_cancel;
    quint64 m_request = 0;
    bool m_searching = false;
    std::shared_ptr<const CWS::IslandRegionRects> m_regions;
};
