#pragma once

#include "config/BuildVolume.h"

#include <QString>
#include <QVector3D>

#include <vector>

class Model;
struct PrinterModelConfig;

namespace CWS {

using ::BuildVolume;
using ::buildVolumeOf;

// One printing object's world box as the job will cut it, under the name the user knows it by.
struct PrintedBox
{
    QString name;
    QVector3D minMm;
    QVector3D maxMm;
};

// How far the objects of one name reach past one side of the volume.
struct Excess
{
    enum Side
    {
        MinusX,
        PlusX,
        MinusY,
        PlusY,
        Top
    };
    QString name;
    Side side = Top;
    float mm = 0.0f;
};

// Every side of the volume that boxes reach past by more than 0.005 mm (less shows as 0.00),
// boxes of one name taken together with their largest excess; names in the order they first
// come, sides in the order of Side. Below the plate is not outside: the plate cuts it off.
std::vector<Excess> excessesOf(const std::vector<PrintedBox> &boxes, const BuildVolume &volume);

// "no object reaches the first layer (0.025 mm above the plate)"
QString nothingToSliceReason(float thicknessMm);
// The same as a sentence for an alert: "Nothing to slice: ...".
QString nothingToSliceText(float thicknessMm);

// What stands between a scene and a job that prints it: no layer at all, or objects that
// reach outside the printer's volume. The window and the command-line slicer show its text.
class JobCheck
{
public:
    JobCheck(const QString &printerName, const BuildVolume &volume, float thicknessMm,
             int layerCount, std::vector<Excess> outside);

    int layerCount() const { return m_layerCount; }
    bool nothingToSlice() const { return m_layerCount <= 0; }
    bool outsideVolume() const { return !m_outside.empty(); }
    const std::vector<Excess> &outside() const { return m_outside; }

    QString nothingToSliceReason() const;
    // "Outside the build volume of K200 (65.02 x 116.00 x 130.00 mm):", then a line an excess.
    QString outsideText() const;
    // For an alert: nothing to slice, else outside the volume; empty when the job is sound.
    QString text() const;

private:
    QString m_printerName;
    BuildVolume m_volume;
    float m_thicknessMm;
    int m_layerCount;
    std::vector<Excess> m_outside;
};

// Checks the scene as the job will cut it: a normal model without supports comes down onto the
// plate (or its base) first, as the job moves it; the plate itself does not print.
JobCheck checkJob(const std::vector<Model *> &objects, const PrinterModelConfig &printer,
                  float layerThicknessMm);

} // namespace CWS
