#include "app/StartupRules.h"

namespace StartupRules {

double uiScaleFactor(double logicalDpi)
{
    const double ratio = logicalDpi / 96.0;
    return ratio < 1.0 ? 1.0 : ratio;
}

QString translationFileName(const QStringList &uiLanguages)
{
    if (uiLanguages.isEmpty())
        return QString();
    QString tag = uiLanguages.first();
    tag.replace(QLatin1Char('-'), QLatin1Char('_'));
    return QStringLiteral("quor3d_") + tag;
}

} // namespace StartupRules
