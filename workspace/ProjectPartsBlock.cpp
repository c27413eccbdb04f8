#include "workspace/ProjectPartsBlock.h"

#include "model/Model.h"
#include "model/RecordIo.h"

#include <QDataStream>
#include <QDebug>

#include <mutex>
#include <shared_mutex>

namespace ProjectPartsBlock {

namespace {

// Position, part count and at least two starts.
constexpr qint64 kSmallestEntryBytes = 4 + 4 + 2 * 8;

// Parts as arrange() makes them: the first at 0, each holding whole triangles.
bool readStarts(QDataStream &in, qint64 indexCount, std::vector<int> *starts)
{
    qint32 count = -1;
    in >> count;
    if (in.status() != QDataStream::Ok || count < 2 || !RecordIo::fits(in, count, 8))
        return false;
    starts->clear();
    for (qint32 k = 0; k < count; ++k) {
        qint64 start = -1;
        in >> start;
        const bool ascending = k == 0 ? start == 0 : start > starts->back();
        if (in.status() != QDataStream::Ok || !ascending || start >= indexCount || start % 3 != 0)
            return false;
        starts->push_back(int(start));
    }
    return true;
}

} // namespace

void write(QDataStream &out, const std::vector<const Model *> &sequence)
{
    std::vector<qint32> positions;
    for (size_t i = 0; i < sequence.size(); ++i)
        if (sequence[i]->type == Model::TYPE_NORMAL && sequence[i]->mesh->partStarts.size() > 1)
            positions.push_back(qint32(i));
    if (positions.empty())
        return;
    out << kMark << kVersion << qint64(positions.size());
    for (qint32 position : positions) {
        const std::vector<int> &starts = sequence[size_t(position)]->mesh->partStarts;
        out << position << qint32(starts.size());
        for (int start : starts)
            out << qint64(start);
    }
}

bool read(QDataStream &in, const std::vector<Model *> &sequence)
{
    if (in.atEnd())
        return true;
    qint32 mark = 0;
    qint16 version = 0;
    in >> mark >> version;
    if (in.status() != QDataStream::Ok || mark != kMark || version != kVersion) {
        qDebug() << "block after the end marks left alone:" << mark << version;
        return true;
    }
    qint64 count = -1;
    in >> count;
    if (in.status() != QDataStream::Ok || !RecordIo::fits(in, count, kSmallestEntryBytes)) {
        qWarning() << "bad part block size" << count;
        return false;
    }
    for (qint64 e = 0; e < count; ++e) {
        qint32 position = -1;
        in >> position;
        if (in.status() != QDataStream::Ok || position < 0 || size_t(position) >= sequence.size() ||
            sequence[size_t(position)]->type != Model::TYPE_NORMAL) {
            qWarning() << "part block names no model:" << position;
            return false;
        }
        Model *model = sequence[size_t(position)];
        std::vector<int> starts;
        if (!readStarts(in, qint64(model->mesh->indices.size()), &starts)) {
            qWarning() << "part block does not fit model" << position;
            return false;
        }
        std::unique_lock<std::shared_mutex> lock(model->mesh->lock);
        model->mesh->partStarts = std::move(starts);
    }
    return true;
}

} // namespace ProjectPartsBlock
