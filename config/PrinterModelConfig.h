#pragma once

#include "config/ResinConfig.h"

#include <QString>

// A resolved printer model of the catalogue.
struct PrinterModelConfig
{
    QString name;
    qint32 x = 0; // panel pixels
    qint32 y = 0;
    float xppmm = 0.0f;
    float yppmm = 0.0f;
    float vx = 0.0f; // usable build volume, mm
    float vy = 0.0f;
    float vz = 0.0f;
    ResinTable resins;
    float liftHeight = 4.0f;      // mm
    float liftUpSpeed = 100.0f;   // mm/min
    float liftDownSpeed = 100.0f; // mm/min

    // The volume lies strictly inside the panel; the comparisons are single precision.
    bool isValid() const
    {
        return x > 0 && y > 0 && xppmm > 0.0f && yppmm > 0.0f && float(x) / xppmm > vx &&
               float(y) / yppmm > vy && vz > 100.0f && liftHeight >= 1.0f && liftHeight < 20.0f &&
               liftUpSpeed >= 20.0f && liftUpSpeed <= 500.0f && liftDownSpeed >= 20.0f &&
               liftDownSpeed <= 500.0f && !resins.isEmpty();
    }
};
