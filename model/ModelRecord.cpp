// The model record of a project file: name, world-space vertices and the index list.
#include "model/Model.h"
#include "model/RecordIo.h"

#include <QDataStream>
#include <QDebug>

#include <algorithm>
#include <limits>

namespace {

constexpr int kNameBytes = 64;
constexpr qint32 kEndTag = 2017;

bool readTag(QDataStream &in, qint32 expected)
{
    qint32 tag = 0;
    in >> tag;
    if (in.status() != QDataStream::Ok || tag != expected) {
        qWarning() << "bad record tag" << tag << "expected" << expected;
        return false;
    }
    return true;
}

} // namespace

void Model::writeRecord(QDataStream &out) const
{
    qDebug() << "save model" << this << name;
    out << qint32(1) << qint32(0);
    // Cut to the field, padded with zeros; no terminator when the name fills it.
    QByteArray nameBytes = name.toUtf8().left(kNameBytes);
    nameBytes.append(kNameBytes - nameBytes.size(), '\0');
    out.writeRawData(nameBytes.constData(), kNameBytes);

    const MeshPrimitiveData &m = *mesh;
    const size_t vertexCount = m.baseVertexCount != 0
                                   ? std::min<size_t>(m.baseVertexCount, m.vertices.size())
                                   : m.vertices.size();
    qDebug() << "write vertices" << vertexCount;
    out << qint32(2) << qint64(vertexCount);
    RecordIo::writeVertices(out, m.vertices.data(), vertexCount, modelMatrix(), normalMatrix());

    qDebug() << "write indices" << m.indices.size();
    out << qint32(3) << qint64(m.indices.size());
    RecordIo::writeIndices(out, m.indices);
    out << kEndTag;
}

bool Model::readRecord(QDataStream &in, int major, int minor)
{
    Q_UNUSED(major)
    Q_UNUSED(minor)
    if (!readTag(in, 1))
        return false;
    qint32 reserved = 0;
    in >> reserved;
    char nameBytes[kNameBytes];
    if (in.readRawData(nameBytes, kNameBytes) != kNameBytes) {
        qWarning() << "record name cut short";
        return false;
    }
    const int nameLength = int(std::find(nameBytes, nameBytes + kNameBytes, '\0') - nameBytes);
    name = QString::fromUtf8(nameBytes, nameLength);

    if (!readTag(in, 2))
        return false;
    qint64 vertexCount = -1;
    in >> vertexCount;
    // baseVertexCount is 32 bits wide; the bytes left bound the count before anything is sized.
    if (in.status() != QDataStream::Ok || vertexCount < 0 ||
        vertexCount > qint64(std::numeric_limits<uint32_t>::max())) {
        qWarning() << "bad vertex count" << vertexCount;
        return false;
    }
    MeshPrimitiveData &m = *mesh;
    if (!RecordIo::readVertices(in, vertexCount, &m.vertices)) {
        qWarning() << "vertices damaged or cut short, count" << vertexCount;
        return false;
    }
    qDebug() << "read vertices" << vertexCount << m.vertices.size() << "capacity"
             << m.vertices.capacity();

    if (!readTag(in, 3))
        return false;
    qint64 indexCount = -1;
    in >> indexCount;
    // Whole triangles only: every consumer walks the list in groups of three.
    if (in.status() != QDataStream::Ok || indexCount < 0 || indexCount % 3 != 0) {
        qWarning() << "bad index count" << indexCount;
        return false;
    }
    if (!RecordIo::readIndices(in, indexCount, uint32_t(vertexCount), &m.indices)) {
        qWarning() << "indices damaged, cut short or beyond" << vertexCount << "vertices";
        return false;
    }
    if (!readTag(in, kEndTag))
        return false;

    m.baseVertexCount = uint32_t(vertexCount);
    meshReady = true;
    updateGeometry(true);
    return true;
}
