#pragma once

#include <QString>
#include <QVariantMap>

#include <vector>

// The range one slice setting may take: the settings dialog offers it, the command-line options
// refuse what lies outside and the configuration's setters clamp to it.
struct SettingRange
{
    // The command-line option's name, and the dialog's key for the range.
    const char *key;
    double min;
    double max;
    bool wholeNumber;

    bool contains(double value) const;
    // The nearest allowed value; a value that is not a number becomes the minimum.
    double clamped(double value) const;
};

namespace SettingRanges {

extern const SettingRange thicknessMm;
extern const SettingRange bottomLayers;
extern const SettingRange bottomExposureSec;
extern const SettingRange exposureSec;
extern const SettingRange antiAliasFactor;
extern const SettingRange liftHeightMm;
extern const SettingRange liftUpSpeedMmPerMin;
extern const SettingRange liftDownSpeedMmPerMin;
extern const SettingRange waitSec;
extern const SettingRange baseThicknessMm;

// Every range, in the order the command-line help lists them.
const std::vector<const SettingRange *> &all();
// For the documents: each key mapped to {"min": ..., "max": ...}.
QVariantMap forDocuments();

} // namespace SettingRanges
