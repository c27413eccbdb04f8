#pragma once

#include <QString>
#include <QtGlobal>

// One LCD panel of the catalogue.
struct LcdInfo
{
    qint32 xPx = 0;
    qint32 yPx = 0;
    float xppmm = 0.0f; // pixels per mm
    float yppmm = 0.0f;

    QString toLogString() const
    {
        return QString::asprintf("lcdinfo %d %d %.3f %.3f", xPx, yPx, double(xppmm), double(yppmm));
    }
};
