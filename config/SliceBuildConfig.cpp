#include "config/SliceBuildConfig.h"

#include <QFileInfo>

namespace CWS {

SliceBuildConfig::SliceBuildConfig()
{
    headerTemplate = QStringList{QStringLiteral(";(****Build and Slicing Parameters****)"),
                                 QStringLiteral("G21 ;Set units to be mm"),
                                 QStringLiteral("G91 ;Relative Positioning"),
                                 QStringLiteral("M17 ;Enable motors")};
    layerTemplate = QStringList{QStringLiteral(";<Slice> $LAYER"), QStringLiteral("M106 S255"),
                                QStringLiteral(";<Delay> $EXPOSURE"), QStringLiteral("M106 S0"),
                                QStringLiteral(";<Slice> Blank")};
    footerTemplate =
        QStringList{QStringLiteral("M18 ;Disable Motors"), QStringLiteral(";<Completed>")};
    preSliceTemplate = QStringList{QStringLiteral(";<Takes> $TOTAL")};
    liftTemplate = QStringList{QStringLiteral("G1 Z$LIFT F$UPSPEED"),
                               QStringLiteral("G1 Z-$DROP F$DOWNSPEED")};
}

void SliceBuildConfig::setAntiAlias(bool on, double factor)
{
    if (!on) {
        antiAliasActive = false;
        antiAliasFactor = 1.0;
        return;
    }
    savedXPixelsPerMm = xPixelsPerMm;
    savedYPixelsPerMm = yPixelsPerMm;
    savedImageWidthPx = imageWidthPx;
    savedImageHeightPx = imageHeightPx;
    targetSizePx = QSize(imageWidthPx, imageHeightPx);
    antiAliasActive = true;
    antiAliasFactor = factor;
    xPixelsPerMm *= factor;
    yPixelsPerMm *= factor;
    // Truncate toward zero, as the image size always is.
    imageWidthPx = static_cast<int>(imageWidthPx * factor);
    imageHeightPx = static_cast<int>(imageHeightPx * factor);
}

void SliceBuildConfig::antiAliasOff()
{
    if (!antiAliasActive)
        return;
    xPixelsPerMm = savedXPixelsPerMm;
    yPixelsPerMm = savedYPixelsPerMm;
    imageWidthPx = savedImageWidthPx;
    imageHeightPx = savedImageHeightPx;
    antiAliasActive = false;
    antiAliasFactor = 1.0;
}

void SliceBuildConfig::setOutputArchive(const QString &path)
{
    outputArchivePath = path;
    const QString name = QFileInfo(path).fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    entryBaseName = dot < 0 ? name : name.left(dot);
}

} // namespace CWS
