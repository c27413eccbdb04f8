#include "workspace/IslandController.h"

IslandController::IslandController(QObject *parent) : QObject(parent) {}

IslandController::~IslandController() = default;

void IslandController::showResult(const CWS::IslandScanResult &result,
                                  std::shared_ptr<const CWS::JobSnapshot> job)
{
    if (result.status() != CWS::IslandScanResult::Status::Completed)
        return;
    m_islands = result.islands();
    m_job = std::move(job);
    emit islandsChanged();
}
