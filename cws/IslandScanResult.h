#pragma once

#include "cws/SceneIsland.h"

#include <QString>

#include <vector>

namespace CWS {

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

    static IslandScanResult completed(int layerCount, float layerThicknessMm,
                                      std::vector<SceneIsland> islands);
    static IslandScanResult cancelled();
    static IslandScanResult failed(const QString &reason);

    Status status() const { return m_status; }
    // Why it failed, in words for the user; empty otherwise.
    const QString &error() const { return m_error; }
    int layerCount() const { return m_layerCount; }
    float layerThicknessMm() const { return m_layerThicknessMm; }
    const std::vector<SceneIsland> &islands() const { return m_islands; }

private:
    IslandScanResult() = default;

    Status m_status = Status::Cancelled;
    QString m_error;
    int m_layerCount = 0;
    float m_layerThicknessMm = 0.0f;
    std::vector<SceneIsland> m_islands;
};

} // namespace CWS
