#pragma once

#include "config/SliceBuildConfig.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

// The job's G-code text and the archive's entry names, as plain functions of the settings.
namespace CWS::GcodeWriter {

// The number of decimal digits of the layer count, as text.
QString padLength(int layerCount);

// base + index zero-padded to padLength digits + ".png".
QString layerEntryName(const QString &baseName, int index, const QString &padLength);

// Lift, return and the wait for both moves and the settle time (three lines).
QStringList liftBlock(float liftHeightMm, float upSpeedMmPerMin, float downSpeedMmPerMin,
                      float layerThicknessMm, float waitSec);

// The whole text, every line ended by LF. printerZSizeMm decides the final raise.
QString gcodeText(const SliceBuildConfig &settings, int layerCount, float printerZSizeMm,
                  const QDateTime &writtenAt);

} // namespace CWS::GcodeWriter
