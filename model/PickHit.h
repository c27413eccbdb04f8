#pragma once

#include <QVector3D>

class Model;

// One ray hit on a mesh object: where, on which face orientation, how far along the ray.
struct PickHit
{
    Model *object = nullptr; // not owned
    QVector3D point;         // mm, workspace coordinates
    QVector3D normal;        // unit normal of the hit triangle
    double distance = 0.0;   // from the ray origin, scene units
};
