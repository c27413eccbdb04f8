#include "app/ProgramInfo.h"

#include "app/StartupRules.h"

#include <QStringList>

namespace ProgramInfo {

QString applicationName()
{
    return QStringLiteral(QUOR_APP_NAME);
}

QString version()
{
    return QStringLiteral(QUOR_VERSION);
}

QString desktopId()
{
    return QStringLiteral(QUOR_APP_ID);
}

QString versionLine(Program program)
{
    const QString name =
        program == Program::Window ? QStringLiteral("quorslice") : QStringLiteral("quorslice-cli");
    return QStringLiteral("%1 (%2) %3\n").arg(name, applicationName(), version());
}

QString windowHelpText()
{
    return QStringLiteral(
               "Usage: quorslice [FILE...]\n"
               "Opens the %1 window with the model (.stl, .obj) and project (.qsp) files given,\n"
               "as paths or file:// URLs. Each start opens a window of its own.\n"
               "\n"
               "Options:\n"
               "  -h, --help  Shows this help.\n"
               "  --version   Shows the name and version.\n"
               "  --          Every argument after it is a file, even one that starts with \"-\".\n"
               "\n"
               "quorslice-cli slices files without a window.\n")
        .arg(applicationName());
}

bool answerEarly(Program program, int argc, char *argv[], std::FILE *out)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QString answer;
    switch (StartupRules::earlyAnswer(arguments)) {
    case StartupRules::EarlyAnswer::Version:
        answer = versionLine(program);
        break;
    case StartupRules::EarlyAnswer::Help:
        if (program == Program::Window)
            answer = windowHelpText();
        break;
    case StartupRules::EarlyAnswer::None:
        break;
    }
    if (answer.isEmpty())
        return false;
    std::fputs(answer.toLocal8Bit().constData(), out);
    return true;
}

} // namespace ProgramInfo
