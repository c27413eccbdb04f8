#pragma once

#include "config/PrinterModelConfig.h"

// The space a printer builds in: its plate centred on x = y = 0, from z = 0 up to its height.
// The view draws it, the layout fills it and a job is checked against it, all from the chosen
// printer's catalogue entry.
struct BuildVolume
{
    float widthMm = 0.0f;  // along x
    float depthMm = 0.0f;  // along y
    float heightMm = 0.0f; // along z
};

inline BuildVolume buildVolumeOf(const PrinterModelConfig &printer)
{
    return BuildVolume{printer.vx, printer.vy, printer.vz};
}
