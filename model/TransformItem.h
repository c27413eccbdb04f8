#pragma once

#include <QMatrix4x4>

// One entry of a model's transform stack; contributes postMatrix * matrix * preMatrix.
struct TransformItem
{
    int type = 0; // DoType of the operation that pushed it
    QMatrix4x4 matrix;
    QMatrix4x4 preMatrix;
    QMatrix4x4 postMatrix;
};
