#include "config/SettingRanges.h"

#include <algorithm>
#include <cmath>

bool SettingRange::contains(double value) const
{
    return std::isfinite(value) && value >= min && value <= max &&
           (!wholeNumber || value == std::floor(value));
}

double SettingRange::clamped(double value) const
{
    if (std::isnan(value))
        return min;
    const double inside = std::clamp(value, min, max);
    return wholeNumber ? std::round(inside) : inside;
}

namespace SettingRanges {

const SettingRange thicknessMm{"thickness", 0.01, 0.1, false};
const SettingRange bottomLayers{"bottom-layers", 0, 10, true};
const SettingRange bottomExposureSec{"bottom-exposure", 1, 180, false};
const SettingRange exposureSec{"exposure", 1, 180, false};
const SettingRange antiAliasFactor{"aa-factor", 2, 5, false};
const SettingRange liftHeightMm{"lift-height", 3, 12, false};
const SettingRange liftUpSpeedMmPerMin{"lift-up-speed", 20, 200, false};
const SettingRange liftDownSpeedMmPerMin{"lift-down-speed", 20, 200, false};
const SettingRange waitSec{"wait", 0, 3, false};
const SettingRange baseThicknessMm{"base", 0.1, 3, false};

const std::vector<const SettingRange *> &all()
{
    static const std::vector<const SettingRange *> ranges{
        &thicknessMm,     &bottomLayers,   &bottomExposureSec,   &exposureSec,
        &antiAliasFactor, &liftHeightMm,   &liftUpSpeedMmPerMin, &liftDownSpeedMmPerMin,
        &waitSec,         &baseThicknessMm};
    return ranges;
}

QVariantMap forDocuments()
{
    QVariantMap map;
    for (const SettingRange *r : all())
        map.insert(QString::fromLatin1(r->key),
                   QVariantMap{{QStringLiteral("min"), r->min}, {QStringLiteral("max"), r->max}});
    return map;
}

} // namespace SettingRanges
