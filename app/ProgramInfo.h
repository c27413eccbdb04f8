#pragma once

#include <QString>

#include <cstdio>

// What both programs say about themselves. The name and version come from the build, so the
// programs, the package and the desktop files cannot disagree.
namespace ProgramInfo {

enum class Program
{
    Window,
    CommandLine
};

QString applicationName();
QString version();
// The desktop entry's name without ".desktop": the desktop matches windows to their entry by it.
QString desktopId();
// The answer to --version: "quorslice-cli (Quor Slice) 2.1.6".
QString versionLine(Program program);
// The answer to the window program's --help (the command-line slicer has its own).
QString windowHelpText();

// Writes the answer to --version (and to --help for the window program) when the arguments ask
// for it, before anything else starts: true then, and the program ends with status 0.
bool answerEarly(Program program, int argc, char *argv[], std::FILE *out);

} // namespace ProgramInfo
