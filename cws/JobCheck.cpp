#include "cws/JobCheck.h"

#include "config/PrinterModelConfig.h"
#include "model/LayerMath.h"
#include "model/Model.h"

#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <array>
#include <utility>

namespace CWS {

namespace {

// Below what two decimals can show.
constexpr float kToleranceMm = 0.005f;

QString mm(float value)
{
    return QString::number(double(value), 'f', 2);
}

QString sidePhrase(Excess::Side side)
{
    switch (side) {
    case Excess::MinusX:
        return QStringLiteral("past the plate on the -x side");
    case Excess::PlusX:
        return QStringLiteral("past the plate on the +x side");
    case Excess::MinusY:
        return QStringLiteral("past the plate on the -y side");
    case Excess::PlusY:
        return QStringLiteral("past the plate on the +y side");
    case Excess::Top:
        break;
    }
    return QStringLiteral("above the build height");
}

QString fileNameOf(const Model *model)
{
    const QString name = QFileInfo(model->name).fileName();
    return name.isEmpty() ? QStringLiteral("a model") : name;
}

// Supports and bases are named after the model they hold up.
QString userNameOf(const Model *object)
{
    if (object->type == Model::TYPE_NORMAL)
        return fileNameOf(object);
    const bool base = object->type == Model::TYPE_SUPPORT_BASE;
    if (!object->parent)
        return base ? QStringLiteral("a support base") : QStringLiteral("supports");
    return (base ? QStringLiteral("the base of %1") : QStringLiteral("the supports of %1"))
        .arg(fileNameOf(object->parent));
}

} // namespace

std::vector<Excess> excessesOf(const std::vector<PrintedBox> &boxes, const BuildVolume &volume)
{
    const float halfWidth = volume.widthMm * 0.5f;
    const float halfDepth = volume.depthMm * 0.5f;
    // Per name, the largest reach past each side.
    std::vector<std::pair<QString, std::array<float, 5>>> byName;
    for (const PrintedBox &box : boxes) {
        auto it = std::find_if(byName.begin(), byName.end(),
                               [&](const auto &entry) { return entry.first == box.name; });
        if (it == byName.end()) {
            byName.push_back({box.name, {0.0f, 0.0f, 0.0f, 0.0f, 0.0f}});
            it = byName.end() - 1;
        }
        const float reach[5] = {-halfWidth - box.minMm.x(), box.maxMm.x() - halfWidth,
                                -halfDepth - box.minMm.y(), box.maxMm.y() - halfDepth,
                                box.maxMm.z() - volume.heightMm};
        for (int side = 0; side < 5; ++side)
            it->second[size_t(side)] = std::max(it->second[size_t(side)], reach[side]);
    }
    std::vector<Excess> out;
    for (const auto &entry : byName)
        for (int side = 0; side < 5; ++side)
            if (entry.second[size_t(side)] > kToleranceMm)
                out.push_back({entry.first, Excess::Side(side), entry.second[size_t(side)]});
    return out;
}

QString nothingToSliceReason(float thicknessMm)
{
    return QStringLiteral("no object reaches the first layer (%1 mm above the plate)")
        .arg(QString::number(double(thicknessMm) * 0.5, 'f', 3));
}

QString nothingToSliceText(float thicknessMm)
{
    return QStringLiteral("Nothing to slice: %1.").arg(nothingToSliceReason(thicknessMm));
}

JobCheck::JobCheck(const QString &printerName, const BuildVolume &volume, float thicknessMm,
                   int layerCount, std::vector<Excess> outside)
    : m_printerName(printerName), m_volume(volume), m_thicknessMm(thicknessMm),
      m_layerCount(layerCount), m_outside(std::move(outside))
{
}

QString JobCheck::nothingToSliceReason() const
{
    return CWS::nothingToSliceReason(m_thicknessMm);
}

QString JobCheck::outsideText() const
{
    if (m_outside.empty())
        return QString();
    QStringList lines;
    lines << QStringLiteral("Outside the build volume of %1 (%2 x %3 x %4 mm):")
                 .arg(m_printerName, mm(m_volume.widthMm), mm(m_volume.depthMm),
                      mm(m_volume.heightMm));
    for (const Excess &e : m_outside)
        lines << QStringLiteral("%1: %2 mm %3").arg(e.name, mm(e.mm), sidePhrase(e.side));
    return lines.join(QLatin1Char('\n'));
}

QString JobCheck::text() const
{
    if (nothingToSlice())
        return nothingToSliceText(m_thicknessMm);
    return outsideText();
}

JobCheck checkJob(const std::vector<Model *> &objects, const PrinterModelConfig &printer,
                  float layerThicknessMm)
{
    std::vector<PrintedBox> boxes;
    float top = 0.0f;
    bool any = false;
    for (Model *object : objects) {
        object->updateGeometry(false);
        QVector3D lo = object->bboxMin;
        QVector3D hi = object->bboxMax;
        if (object->type == Model::TYPE_NORMAL && object->supports.empty()) {
            float floor = 0.0f;
            if (object->supportBase) {
                object->supportBase->updateGeometry(false);
                floor = object->supportBase->bboxMax.z();
            }
            const float dz = floor - lo.z();
            if (dz < 0.0f) {
                lo.setZ(lo.z() + dz);
                hi.setZ(hi.z() + dz);
            }
        }
        // The layer count covers every object, as the job counts it.
        top = any ? std::max(top, hi.z()) : hi.z();
        any = true;
        if (object->type != Model::TYPE_PLATFORM_BOTTOM && !object->mesh->indices.empty())
            boxes.push_back({userNameOf(object), lo, hi});
    }
    const BuildVolume volume = buildVolumeOf(printer);
    return JobCheck(printer.name, volume, layerThicknessMm,
                    LayerMath::layerCount(top, layerThicknessMm), excessesOf(boxes, volume));
}

} // namespace CWS
