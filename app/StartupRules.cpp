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

namespace {

bool isOption(const QString &argument)
{
    return argument.size() > 1 && argument.startsWith(QLatin1Char('-'));
}

const QString kEndOfOptions = QStringLiteral("--");

} // namespace

EarlyAnswer earlyAnswer(const QStringList &arguments)
{
    for (const QString &argument : arguments.mid(1)) {
        if (argument == kEndOfOptions)
            break;
        if (argument == QLatin1String("--version"))
            return EarlyAnswer::Version;
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            return EarlyAnswer::Help;
    }
    return EarlyAnswer::None;
}

QStringList fileArguments(const QStringList &arguments)
{
    QStringList files;
    bool optionsEnded = false;
    for (const QString &argument : arguments.mid(1)) {
        if (!optionsEnded && argument == kEndOfOptions)
            optionsEnded = true;
        else if (optionsEnded || !isOption(argument))
            files << argument;
    }
    return files;
}

} // namespace StartupRules
