#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

namespace CWS {

// The job settings that the slicing job and the archive writer read. QuorConfig owns the
// shared instance; every layer works on its own copy.
class SliceBuildConfig
{
public:
    SliceBuildConfig();

    // Supersampling for anti-aliased layers: scales the pixel density and the image size by
    // the factor and remembers the values to restore.
    void setAntiAlias(bool on, double factor);
    void antiAliasOff();

    // Also derives the entry base name: the last path component up to its last ".".
    void setOutputArchive(const QString &path);

    float layerThicknessMm = 0.05f;
    int bottomLayerCount = 3;
    int bottomExpoMs = 30000;
    int normalExpoMs = 6000;
    double xPixelsPerMm = 21.164;
    double yPixelsPerMm = 21.164;
    int imageWidthPx = 1440;
    int imageHeightPx = 2560;
    float liftHeightMm = 4.0f;
    float liftUpSpeedMmPerMin = 100.0f;
    float liftDownSpeedMmPerMin = 100.0f;
    float waitSecAfterStop = 2.0f;

    bool antiAliasActive = false;
    double antiAliasFactor = 1.0;
    QSize targetSizePx;
    double savedXPixelsPerMm = 0.0;
    double savedYPixelsPerMm = 0.0;
    int savedImageWidthPx = 0;
    int savedImageHeightPx = 0;

    QString outputArchivePath;
    QString entryBaseName;

    // Template blocks kept for reference; the G-code writer builds its own text.
    QStringList headerTemplate;
    QStringList layerTemplate;
    QStringList footerTemplate;
    QStringList preSliceTemplate;
    QStringList liftTemplate;
};

} // namespace CWS

using CWS::SliceBuildConfig;
