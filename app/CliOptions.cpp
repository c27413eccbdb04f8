#include "app/CliOptions.h"

#include "config/QuorConfig.h"

#include <QCommandLineParser>

#include <cmath>

namespace {

struct Range
{
    const char *name;
    const char *valueName;
    const char *help;
    double min, max;
};

// The ranges of the slice settings dialog.
const Range kThickness{"thickness", "mm", "layer thickness in mm", 0.01, 0.1};
const Range kBottomLayers{"bottom-layers", "n", "number of bottom layers", 0, 10};
const Range kBottomExposure{"bottom-exposure", "s", "exposure of each bottom layer in seconds", 1,
                            180};
const Range kExposure{"exposure", "s", "exposure of every other layer in seconds", 1, 180};
const Range kAntiAliasFactor{"aa-factor", "f", "anti-aliasing factor", 2, 5};
const Range kLiftHeight{"lift-height", "mm", "total lift height in mm", 3, 12};
const Range kLiftUp{"lift-up-speed", "mm/min", "lift-up speed in mm/min", 20, 200};
const Range kLiftDown{"lift-down-speed", "mm/min", "lift-down speed in mm/min", 20, 200};
const Range kWait{"wait", "s", "wait after each lift in seconds", 0, 3};
// The support page's base thickness range.
const Range kBase{"base", "mm",
                  "adds a support base of this thickness under every model, which rises to 3 mm",
                  0.1, 3};
const Range *const kRanges[] = {
    &kThickness,  &kBottomLayers, &kBottomExposure, &kExposure, &kAntiAliasFactor,
    &kLiftHeight, &kLiftUp,       &kLiftDown,       &kWait,     &kBase};

QString rangeText(const Range &r)
{
    return QStringLiteral("%1 to %2").arg(r.min).arg(r.max);
}

QCommandLineOption rangeOption(const Range &r)
{
    return QCommandLineOption(QString::fromLatin1(r.name),
                              QStringLiteral("%1 (%2).").arg(QLatin1String(r.help), rangeText(r)),
                              QString::fromLatin1(r.valueName));
}

// A number inside the range, or an error message naming the allowed values.
bool readNumber(const QCommandLineParser &parser, const Range &r, bool wholeNumber, double *out,
                QString *error)
{
    const QString text = parser.value(QString::fromLatin1(r.name));
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < r.min || v > r.max || (wholeNumber && v != std::floor(v))) {
        *error =
            QStringLiteral("--%1 %2: the value must be %3%4.")
                .arg(QLatin1String(r.name), text,
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
    text += QStringLiteral("Resins: the resin keys of the chosen printer, for example %1\n")
                .arg(config.resinKeys().join(QStringLiteral(", ")));
    text += QStringLiteral("Without an option the saved slice settings apply; options change this "
                           "job only and are not saved.\n");
    text += QStringLiteral(
        "\nAn island is listed as\n"
        "  island layer L z Z mm at X, Y mm area A mm2 object NAME\n"
        "with the layer counted from 0, its slicing height, the centre of the island's extent "
        "from the plate centre and its area (heights and areas to 0.001, X and Y to 0.01).\n"
        "\nExit status: 0 the job is done; 1 a file could not be loaded or written, or the "
        "islands could not be found; 2 bad options; 3 everything was done and islands were "
        "found; 130 interrupted.\n");
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
    parser.addOption(help);
    parser.addOption(output);
    parser.addOption(printer);
    parser.addOption(resin);
    parser.addOption(antiAlias);
    const QCommandLineOption autoSupports(
        QStringLiteral("auto-supports"),
        QStringLiteral("Adds automatic supports to every model before slicing."));
    parser.addOption(autoSupports);
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
        if (!parser.isSet(QString::fromLatin1(t.range->name)))
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
