#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QuorConfig;

// What the command-line slicer was asked to do.
struct CliOptions
{
    QStringList inputs;
    QString output;
    std::optional<int> printerIndex;
    std::optional<int> resinIndex;
    std::optional<float> thicknessMm;
    std::optional<int> bottomLayers;
    std::optional<float> bottomExposureSec;
    std::optional<float> exposureSec;
    std::optional<bool> antiAlias;
    std::optional<float> antiAliasFactor;
    std::optional<float> liftHeightMm;
    std::optional<float> liftUpSpeedMmPerMin;
    std::optional<float> liftDownSpeedMmPerMin;
    std::optional<float> waitSec;
    // Before slicing: automatic supports first, then a base of this thickness.
    bool autoSupports = false;
    std::optional<float> baseMm;
    // Slice even when objects reach outside the printer's volume (with a warning).
    bool allowOutside = false;
    // The islands of the scene as it would be sliced: listed on the output, written as JSON.
    // Either one makes the archive optional.
    bool islands = false;
    QString islandsJsonPath;
};

struct CliParseResult
{
    enum Status
    {
        Run,
        ShowHelp,
        Error
    };
    Status status = Error;
    CliOptions options;
    QString text; // the help text, or the error message
};

// Reads the arguments (without the program name). Printer and resin names are checked
// against the catalogue, values against the ranges the slice settings dialog offers.
CliParseResult parseCliArguments(const QStringList &arguments, QuorConfig &config);

// Makes the options the job's settings, for this job only.
void applyCliOptions(const CliOptions &options, QuorConfig &config);
