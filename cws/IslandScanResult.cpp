#include "cws/IslandScanResult.h"

namespace CWS {

IslandScanResult IslandScanResult::completed(int layerCount, float layerThicknessMm,
                                             std::vector<SceneIsland> islands)
{
    IslandScanResult r;
    r.m_status = Status::Completed;
    r.m_layerCount = layerCount;
    r.m_layerThicknessMm = layerThicknessMm;
    r.m_islands = std::move(islands);
    return r;
}

IslandScanResult IslandScanResult::cancelled()
{
    return IslandScanResult();
}

IslandScanResult IslandScanResult::failed(const QString &reason)
{
    IslandScanResult r;
    r.m_status = Status::Failed;
    r.m_error = reason;
    return r;
}

} // namespace CWS
