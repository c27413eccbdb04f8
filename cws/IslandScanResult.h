#pragma once

#include "cws/SceneIsland.h"

#include <QStringList>

#include <deque>

namespace CWS {

class JobSnapshot;

// What an island analysis hands back: every island in layer order, or why there is none to
// show. A cancelled or failed analysis carries no islands at all, never a part of them.
class IslandScanResult
{
public:
    enum class Status
    {
        Completed,
        Cancelled,
        Failed
    };

    // Names the job's objects and takes its layer thickness.
    static IslandScanResult completed(const JobSnapshot &job, int layerCount,
                                      std::deque<SceneIsland> islands);
    static IslandScanResult cancelled();
    static IslandScanResult failed(const QString &reason);

    Status status() const { return m_status; }
    // Why it failed, in words for the user; empty otherwise.
    const QString &error() const { return m_error; }
    int layerCount() const { return m_layerCount; }
    float layerThicknessMm() const { return m_layerThicknessMm; }
    // In chunks, not one block: a lattice has tens of thousands, and a growing vector would
    // briefly hold them twice.
    const std::deque<SceneIsland> &islands() const { return m_islands; }
    // The name of the object an island belongs to; empty when none does.
    QString objectName(const SceneIsland &island) const
    {
        return m_objectNames.value(island.objectIndex());
    }

private:
    IslandScanResult() = default;

    Status m_status = Status::Cancelled;
    QString m_error;
    int m_layerCount = 0;
    float m_layerThicknessMm = 0.0f;
    std::deque<SceneIsland> m_islands;
    QStringList m_objectNames;
};

} // namespace CWS
