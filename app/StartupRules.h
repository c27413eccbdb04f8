#pragma once

#include <QString>
#include <QStringList>

namespace StartupRules {

// UI scale from the primary screen's logical dpi: 96 dpi is 1.0 and it never goes below 1.
double uiScaleFactor(double logicalDpi);

// The translation file to try: only the most preferred UI language; empty when there is none.
QString translationFileName(const QStringList &uiLanguages);

// Options answered before anything starts (no log file, no settings, no window). The arguments
// begin with the program name; nothing after "--" is an option.
enum class EarlyAnswer
{
    None,
    Version,
    Help
};
EarlyAnswer earlyAnswer(const QStringList &arguments);

// The files among the arguments (program name first): options are left out, so that none is
// opened as a file, except after "--".
QStringList fileArguments(const QStringList &arguments);

} // namespace StartupRules
