#pragma once

#include "model/PickHit.h"

#include <QPoint>
#include <QSet>
#include <QVector3D>

#include <vector>

// What the workspace asks of the 3D view to turn view positions into scene positions. The view
// implements it; without one, nothing is ever hit.
class ViewPicker
{
public:
    virtual ~ViewPicker() = default;
    // Hits of the ray under view pixel (x, y) on objects of the given types, nearest first.
    virtual std::vector<PickHit> pickObjects(int x, int y, const QSet<int> &types) = 0;
    // The plate-plane motion, in mm, that takes the scene point under `from` to the one under
    // `to`; false when the view cannot tell (no size yet).
    virtual bool dragDeltaMm(const QPoint &from, const QPoint &to, QVector3D *deltaMm) = 0;
};
