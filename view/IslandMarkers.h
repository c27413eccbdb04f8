#pragma once

#include "cws/SceneIsland.h"

#include <QVector3D>

#include <deque>
#include <vector>

// Where the view puts its island markers. Islands that one marker already covers share it: a
// lattice has tens of thousands of islands, packed so close that their markers would be drawn
// over each other many times, and a software renderer pays for every one of them.
class IslandMarkers
{
public:
    IslandMarkers() = default;
    // One marker per cube of side markerRadiusMm / sqrt(3), at the first island (in layer
    // order) found in it, so that every island lies within markerRadiusMm of its marker.
    IslandMarkers(const std::deque<CWS::SceneIsland> &islands, float markerRadiusMm);

    // In layer order of the island each stands at.
    const std::vector<QVector3D> &placesMm() const { return m_placesMm; }
    // How many markers, from the first, stand at islands of this layer or below.
    int countUpToLayer(int layer) const;

private:
    std::vector<QVector3D> m_placesMm;
    std::vector<int> m_layers;
};
