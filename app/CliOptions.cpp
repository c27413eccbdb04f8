#include "app/CliOptions.h"

#include "config/QuorConfig.h"
#include "config/SettingRanges.h"

#include <QCommandLineParser>

#include <cmath>

namespace {

// An option for one of the settings' ranges.
struct Range
{
    const SettingRange &range;
    const char *valueName;
    const char *help;
};

const Range kThickness{SettingRanges::thicknessMm, "mm", "layer thickness in mm"};
const Range kBottomLayers{SettingRanges::bottomLayers, "n", "number of bottom layers"};
const Range kBottomExposure{SettingRanges::bottomExposureSec, "s",
                            "exposure of each bottom layer in seconds"};
const Range kExposure{SettingRanges::exposureSec, "s", "exposure of every other layer in seconds"};
const Range kAntiAliasFactor{SettingRanges::antiAliasFactor, "f", "anti-aliasing factor"};
const Range kLiftHeight{SettingRanges::liftHeightMm, "mm", "total lift height in mm"};
const Range kLiftUp{SettingRanges::liftUpSpeedMmPerMin, "mm/min", "lift-up speed in mm/min"};
const Range kLiftDown{SettingRanges::liftDownSpeedMmPerMin, "mm/min", "lift-down speed in mm/min"};
const Range kWait{SettingRanges::waitSec, "s", "wait after each lift in seconds"};
const Range kBase{SettingRanges::baseThicknessMm, "mm",
                  "adds a support base of this thickness under every model, which rises to 3 mm"};
const Range *const kRanges[] = {
    &kThickness,  &kBottomLayers, &kBottomExposure, &kExposure, &kAntiAliasFactor,
    &kLiftHeight, &kLiftUp,       &kLiftDown,       &kWait,     &kBase};

QString rangeText(const Range &r)
{
    return QStringLiteral("%1 to %2").arg(r.range.min).arg(r.range.max);
}

QCommandLineOption rangeOption(const Range &r)
{
    return QCommandLineOption(QString::fromLatin1(r.range.key),
                              QStringLiteral("%1 (%2).").arg(QLatin1String(r.help), rangeText(r)),
                              QString::fromLatin1(r.valueName));
}

// A number inside the range, or an error message naming the allowed values.
bool readNumber(const QCommandLineParser &parser, const Range &r, bool wholeNumber, double *out,
                QString *error)
{
    const QString text = parser.value(QString::fromLatin1(r.range.key));
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !r.range.contains(v) || (wholeNumber && v != std::floor(v))) {
        *error =
            QStringLiteral("--%1 %2: the value must be %3%4.")
                .arg(QLatin1String(r.range.key), text,
                     wholeNumber ? QStringLiteral("a whole number ") : QString(), rangeText(r));
        return false;
    }
    *out = v;
    return true;
}

QString helpText(const QCommandLineParser &parser, const QuorConfig &config)
{
    QString text = parser.helpText();
    text += QStringLiteral("\nPrinters: %1\n")
                .arg(config.getAllModelsModel().join(QStringLiteral(", ")));
    // Paragraphs apart: the manual page is made from this text.
    text += QStringLiteral("\nResins: the resin keys of the chosen printer, for example %1\n")
                .arg(config.resinKeys().join(QStringLiteral(", ")));
    text +=
        QStringLiteral("\nWithout an option the saved slice settings apply; options change this "
                       "job only and are not saved.\n");
    text += QStringLiteral(
        "\nAn island is listed as\n"
        "  island layer L z Z mm at X, Y mm area A mm2 object NAME\n"
        "with the layer counted from 0, its slicing height, the centre of the island's extent "
        "from the plate centre and its area (heights and areas to 0.001, X and Y to 0.01).\n");
    return text;
}

} // namespace

CliParseResult parseCliArguments(const QStringList &arguments, QuorConfig &config)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Slices model (.stl, .obj) and project files into a job archive, and "
                       "finds where the print would start in mid-air."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help."));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("The job archive to write (optional with "
                                                   "--islands or --islands-json)."),
                                    QStringLiteral("file"));
    const QCommandLineOption printer(QStringLiteral("printer"),
                                     QStringLiteral("Printer model (see the list below)."),
                                     QStringLiteral("name"));
    const QCommandLineOption resin(QStringLiteral("resin"),
                                   QStringLiteral("Resin of the printer, by key or by name."),
                                   QStringLiteral("resin"));
    const QCommandLineOption antiAlias(QStringLiteral("antialias"),
                                       QStringLiteral("Anti-aliasing on or off."),
                                       QStringLiteral("on|off"));
    // Answered before the arguments reach this parser (app/ProgramInfo); listed for --help.
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Shows the name and version."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(output);
    parser.addOption(printer);
    parser.addOption(resin);
    parser.addOption(antiAlias);
    const QCommandLineOption autoSupports(
        QStringLiteral("auto-supports"),
        QStringLiteral("Adds automatic supports to every model before slicing."));
    parser.addOption(autoSupports);
    const QCommandLineOption allowOutside(
        QStringLiteral("allow-outside"),
        QStringLiteral("Slices even when a model or its supports reach outside the printer's "
                       "build volume (a warning is printed); without it such a job is refused."));
    parser.addOption(allowOutside);
    const QCommandLineOption islands(
        QStringLiteral("islands"),
        QStringLiteral("Lists every island of the scene as it would be sliced (a region that "
                       "starts in mid-air, with nothing under it in the layer below), one line "
                       "each, then their count; the exit status is 3 when there is one. "
                       "Without -o nothing is sliced."));
    const QCommandLineOption islandsJson(
        QStringLiteral("islands-json"),
        QStringLiteral("Writes the islands to this file as JSON, as --islands lists them."),
        QStringLiteral("file"));
    parser.addOption(islands);
    parser.addOption(islandsJson);
    for (const Range *r : kRanges)
        parser.addOption(rangeOption(*r));
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Model and project files."),
                                 QStringLiteral("files..."));

    CliParseResult result;
    if (!parser.parse(QStringList{QStringLiteral("quorslice-cli")} + arguments)) {
        result.text = parser.errorText() + QStringLiteral(" (see --help)");
        return result;
    }
    if (parser.isSet(help)) {
        result.status = CliParseResult::ShowHelp;
        result.text = helpText(parser, config);
        return result;
    }
    CliOptions &o = result.options;
    o.inputs = parser.positionalArguments();
    o.output = parser.value(output);
    o.autoSupports = parser.isSet(autoSupports);
    o.allowOutside = parser.isSet(allowOutside);
    o.islands = parser.isSet(islands);
    o.islandsJsonPath = parser.value(islandsJson);
    if (parser.isSet(islandsJson) && o.islandsJsonPath.isEmpty()) {
        result.text = QStringLiteral("--islands-json needs a file name.");
        return result;
    }
    if (o.inputs.isEmpty()) {
        result.text = QStringLiteral("No model or project file given (see --help).");
        return result;
    }
    if (o.output.isEmpty() && !o.islands && o.islandsJsonPath.isEmpty()) {
        result.text = QStringLiteral("No job archive given: use -o FILE (see --help).");
        return result;
    }

    if (parser.isSet(printer)) {
        const QStringList models = config.getAllModelsModel();
        const int index = models.indexOf(parser.value(printer));
        if (index < 0) {
            result.text = QStringLiteral("--printer %1: unknown printer; the printers are %2.")
                              .arg(parser.value(printer), models.join(QStringLiteral(", ")));
            return result;
        }
        o.printerIndex = index;
    }
    if (parser.isSet(resin)) {
        // Resins belong to a printer: the chosen one, or the saved one.
        const int savedModel = config.modelIndex();
        const int savedResin = config.resinIndex();
        config.setModelIndex(o.printerIndex.value_or(savedModel));
        config.refreshResinList();
        const QStringList keys = config.resinKeys();
        const QStringList names = config.getAllResinTypesModel();
        int index = keys.indexOf(parser.value(resin));
        if (index < 0)
            index = names.indexOf(parser.value(resin));
        config.setModelIndex(savedModel);
        config.setResinIndex(savedResin);
        config.refreshResinList();
        if (index < 0) {
            result.text =
                QStringLiteral("--resin %1: unknown resin for this printer; the resins are %2.")
                    .arg(parser.value(resin), keys.join(QStringLiteral(", ")));
            return result;
        }
        o.resinIndex = index;
    }
    if (parser.isSet(antiAlias)) {
        const QString v = parser.value(antiAlias).toLower();
        if (v != QLatin1String("on") && v != QLatin1String("off")) {
            result.text = QStringLiteral("--antialias %1: the value must be on or off.")
                              .arg(parser.value(antiAlias));
            return result;
        }
        o.antiAlias = v == QLatin1String("on");
    }

    struct Target
    {
        const Range *range;
        bool whole;
        std::optional<float> *floatValue;
        std::optional<int> *intValue;
    };
    const Target targets[] = {
        {&kThickness, false, &o.thicknessMm, nullptr},
        {&kBottomLayers, true, nullptr, &o.bottomLayers},
        {&kBottomExposure, false, &o.bottomExposureSec, nullptr},
        {&kExposure, false, &o.exposureSec, nullptr},
        {&kAntiAliasFactor, false, &o.antiAliasFactor, nullptr},
        {&kLiftHeight, false, &o.liftHeightMm, nullptr},
        {&kLiftUp, false, &o.liftUpSpeedMmPerMin, nullptr},
        {&kLiftDown, false, &o.liftDownSpeedMmPerMin, nullptr},
        {&kWait, false, &o.waitSec, nullptr},
        {&kBase, false, &o.baseMm, nullptr},
    };
    for (const Target &t : targets) {
        if (!parser.isSet(QString::fromLatin1(t.range->range.key)))
            continue;
        double v;
        if (!readNumber(parser, *t.range, t.whole, &v, &result.text))
            return result;
        if (t.floatValue)
            *t.floatValue = float(v);
        else
            *t.intValue = int(v);
    }
    result.status = CliParseResult::Run;
    return result;
}

void applyCliOptions(const CliOptions &o, QuorConfig &config)
{
    config.setSaveOnExit(false);
    if (o.printerIndex) {
        config.setModelIndex(*o.printerIndex);
        config.setResinIndex(0);
    }
    if (o.resinIndex)
        config.setResinIndex(*o.resinIndex);
    config.updateQmlModel(false);
    if (o.thicknessMm)
        config.setThicknessMM(*o.thicknessMm);
    if (o.bottomLayers)
        config.setBottomLayerNum(*o.bottomLayers);
    if (o.bottomExposureSec)
        config.setBottomExpoSec(*o.bottomExposureSec);
    if (o.exposureSec)
        config.setNormalExpoSec(*o.exposureSec);
    if (o.antiAlias)
        config.useAntialise(*o.antiAlias);
    if (o.antiAliasFactor)
        config.antiAliseValue(*o.antiAliasFactor);
    if (o.liftHeightMm)
        config.setLiftHeight(*o.liftHeightMm);
    if (o.liftUpSpeedMmPerMin)
        config.setLiftUpSpeed(*o.liftUpSpeedMmPerMin);
    if (o.liftDownSpeedMmPerMin)
        config.setLiftDownSpeed(*o.liftDownSpeedMmPerMin);
    if (o.waitSec)
        config.setWaitSecAfterStop(*o.waitSec);
    config.syncBuildConfig();
}
