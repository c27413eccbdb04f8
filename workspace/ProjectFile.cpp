#include "workspace/ProjectFile.h"

#include "config/QuorConfig.h"
#include "model/Model.h"
#include "workspace/ProjectPartsBlock.h"
#include "workspace/SceneObjects.h"
#include "workspace/SceneRecords.h"
#include "workspace/Workspace.h"

#include <QDataStream>
#include <QDebug>
#include <QIODevice>

namespace {

constexpr qint32 kStartMark = -1;
constexpr qint32 kFormatMark = 1;
constexpr qint32 kEndMark1 = 2;
constexpr qint32 kEndMark2 = -1;
const char kLogo[8] = {'Q', 'U', 'O', 'R', '3', 'D', '\0', '\0'};

void prepare(QDataStream &s)
{
    s.setVersion(QDataStream::Qt_5_15);
    s.setByteOrder(QDataStream::BigEndian);
    s.setFloatingPointPrecision(QDataStream::SinglePrecision);
}

void writeHeader(QDataStream &out)
{
    out << kStartMark << kFormatMark;
    out.writeRawData(kLogo, sizeof(kLogo));
}

} // namespace

bool ProjectFile::hasProjectHeader(QIODevice &device)
{
    QByteArray expected;
    QDataStream out(&expected, QIODevice::WriteOnly);
    prepare(out);
    writeHeader(out);
    return device.peek(expected.size()) == expected;
}

bool ProjectFile::write(QIODevice &device, const Workspace &workspace)
{
    QDataStream out(&device);
    prepare(out);
    writeHeader(out);
    out << kMajorVersion << kMinorVersion;
    if (!SceneRecords::write(out, *workspace.scene()))
        return false;
    out << kEndMark1 << kEndMark2;
    // The stored sequence begins with every normal model in workspace order.
    std::vector<const Model *> normalModels;
    for (const Model *object : workspace.scene()->objects())
        if (object->type == Model::TYPE_NORMAL)
            normalModels.push_back(object);
    ProjectPartsBlock::write(out, normalModels);
    return out.status() == QDataStream::Ok;
}

ProjectFile::ReadOutcome ProjectFile::readProject(QIODevice &device, Workspace &workspace)
{
    QDataStream in(&device);
    prepare(in);
    qint32 start = 0, format = 0;
    in >> start;
    if (in.status() != QDataStream::Ok || start != kStartMark) {
        qDebug() << "start mark" << start;
        return ReadOutcome::NotAProject;
    }
    in >> format;
    if (in.status() != QDataStream::Ok || format != kFormatMark) {
        qDebug() << "format mark" << format;
        return ReadOutcome::NotAProject;
    }
    char logo[sizeof(kLogo)];
    if (in.readRawData(logo, sizeof(logo)) != int(sizeof(logo)))
        return ReadOutcome::NotAProject;
    qDebug() << "logo:" << QByteArray(logo, sizeof(logo));
    qint16 major = 0, minor = 0;
    in >> major >> minor;
    qDebug() << "job file version:" << major << minor;
    if (in.status() != QDataStream::Ok || major != 1 || (minor != 0 && minor != 1)) {
        qDebug() << "Reject this version";
        return ReadOutcome::NotAProject;
    }
    // Version 1.0 files hold every float in double precision.
    if (minor == 0)
        in.setFloatingPointPrecision(QDataStream::DoublePrecision);
    const SceneObjects &scene = *workspace.scene();
    const bool busy =
        scene.status() != SceneObjects::MODEL_INIT && scene.status() != SceneObjects::MODEL_LOADED;
    // The objects read are appended in their stored order (linkers made for them come after).
    const size_t before = scene.objects().size();
    if (!SceneRecords::read(in, major, minor, *workspace.scene(),
                            workspace.config().supportConfig()))
        return busy ? ReadOutcome::Busy : ReadOutcome::Damaged;
    qint32 end1 = 0, end2 = 0;
    in >> end1;
    if (in.status() != QDataStream::Ok || end1 != kEndMark1)
        return ReadOutcome::Damaged;
    in >> end2;
    if (in.status() != QDataStream::Ok || end2 != kEndMark2)
        return ReadOutcome::Damaged;
    const std::vector<Model *> &objects = scene.objects();
    const std::vector<Model *> sequence(objects.begin() + qMin(before, objects.size()),
                                        objects.end());
    if (!ProjectPartsBlock::read(in, sequence))
        return ReadOutcome::Damaged;
    return ReadOutcome::Complete;
}
