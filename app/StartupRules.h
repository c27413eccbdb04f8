#pragma once

#include <QString>
#include <QStringList>

namespace StartupRules {

// UI scale from the primary screen's logical dpi: 96 dpi is 1.0 and it never goes below 1.
double uiScaleFactor(double logicalDpi);

// The translation file to try: only the most preferred UI language; empty when there is none.
QString translationFileName(const QStringList &uiLanguages);

} // namespace StartupRules
