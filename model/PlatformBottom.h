#pragma once

#include "model/Model.h"

// The build plate as a mesh object: a rectangle of the plate's size at z = 0. It can be
// picked but is never sliced.
class PlatformBottom : public Model
{
public:
    // The plate of the given size in mm, centred on the origin.
    PlatformBottom(float widthMm, float depthMm);
};
