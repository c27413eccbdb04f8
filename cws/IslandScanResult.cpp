#include "cws/IslandScanResult.h"

#include "cws/JobSnapshot.h"

namespace CWS {

IslandScanResult IslandScanResult::completed(const JobSnapshot &job, int layerCount,
                                             std::deque<SceneIsland> islands)
{
    IslandScanResult r;
    r.m_status = Status::Completed;
    r.m_layerCount = layerCount;
    r.m_layerThicknessMm = job.settings().layerThicknessMm;
    r.m_islands = std::move(islands);
    for (const ObjectSnapshot &object : job.objects())
        r.m_objectNames << object.name();
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
