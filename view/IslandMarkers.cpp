#include "view/IslandMarkers.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

IslandMarkers::IslandMarkers(const std::deque<CWS::SceneIsland> &islands, float markerRadiusMm)
{
    const double cellMm = double(markerRadiusMm) / std::sqrt(3.0);
    // 21 bits a coordinate: cells of a fraction of a millimetre across any printer's volume.
    auto cellOf = [cellMm](float mm) {
        return quint64(qint64(std::floor(double(mm) / cellMm)) + (1 << 20)) & 0x1fffff;
    };
    std::unordered_set<quint64> taken;
    for (const CWS::SceneIsland &island : islands) {
        const quint64 key =
            cellOf(island.xMm()) | cellOf(island.yMm()) << 21 | cellOf(island.zMm()) << 42;
        if (!taken.insert(key).second)
            continue;
        m_placesMm.emplace_back(island.xMm(), island.yMm(), island.zMm());
        m_layers.push_back(island.layer());
    }
}

int IslandMarkers::countUpToLayer(int layer) const
{
    return int(std::upper_bound(m_layers.begin(), m_layers.end(), layer) - m_layers.begin());
}
