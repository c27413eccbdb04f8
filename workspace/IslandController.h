#pragma once

#include "cws/IslandScanResult.h"
#include "cws/JobSnapshot.h"

#include <QObject>

#include <deque>
#include <memory>

// The scene's unsupported islands as the last finished analysis found them, for the bottom
// bar, the 3D view's markers, the layer slider's ticks and the layer preview. A cancelled or
// failed analysis leaves the last complete answer in place; nothing half done is shown.
class IslandController : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY islandsChanged)
public:
    explicit IslandController(QObject *parent = nullptr);
    ~IslandController() override;

    int count() const { return int(m_islands.size()); }
    // In layer order.
    const std::deque<CWS::SceneIsland> &islands() const { return m_islands; }
    // The snapshot the shown islands were found in; null before the first analysis.
    std::shared_ptr<const CWS::JobSnapshot> job() const { return m_job; }

    // A finished analysis of job: a completed result replaces the islands shown, anything
    // else leaves them.
    void showResult(const CWS::IslandScanResult &result,
                    std::shared_ptr<const CWS::JobSnapshot> job);

signals:
    void islandsChanged();

private:
    std::deque<CWS::SceneIsland> m_islands;
    std::shared_ptr<const CWS::JobSnapshot> m_job;
};
