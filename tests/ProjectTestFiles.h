#pragma once

#include "model/Model.h"
#include "workspace/JobController.h"
#include "workspace/LayerPreview.h"
#include "workspace/ProjectFile.h"
#include "workspace/SceneObjects.h"
#include "workspace/SupportController.h"
#include "workspace/TransformController.h"
#include "workspace/UndoController.h"
#include "workspace/Workspace.h"

#include <QBuffer>
#include <QDataStream>
#include <QVector3D>
#include <QtEndian>

#include <cstring>
#include <vector>

// Project bytes in memory, and the places of the fields of a one-model project.
namespace ProjectTestFiles {

inline QByteArray save(const Workspace &workspace)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    ProjectFile::write(buffer, workspace);
    return bytes;
}

inline bool load(const QByteArray &bytes, Workspace &workspace)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return ProjectFile::read(buffer, workspace);
}

// Frees every object, leaving an empty workspace in MODEL_INIT.
inline void clear(Workspace &workspace)
{
    while (!workspace.scene()->objects().empty())
        workspace.scene()->removeModel(workspace.scene()->objects().back());
    workspace.undoList().clear();
    workspace.scene()->setModelStatus(SceneObjects::MODEL_INIT);
}

inline std::vector<QVector3D> worldPositions(const Model &m)
{
    std::vector<QVector3D> out;
    const QMatrix4x4 matrix = m.modelMatrix();
    const size_t count =
        m.mesh->baseVertexCount ? m.mesh->baseVertexCount : m.mesh->vertices.size();
    for (size_t i = 0; i < count; ++i) {
        const Vertex &v = m.mesh->vertices[i];
        out.push_back(matrix.map(QVector3D(v.px, v.py, v.pz)));
    }
    return out;
}

// The start of a version 1.0 file: doubles throughout, the marks, the logo, the version and
// the object count.
inline void beginVersionOneZero(QDataStream &out, qint64 objectCount)
{
    out.setFloatingPointPrecision(QDataStream::DoublePrecision);
    out << qint32(-1) << qint32(1);
    out.writeRawData("QUOR3D\0\0", 8);
    out << qint16(1) << qint16(0) << objectCount;
}

template <typename T> void put(QByteArray &bytes, qint64 offset, T value)
{
    qToBigEndian(value, reinterpret_cast<uchar *>(bytes.data() + offset));
}

template <typename T> T get(const QByteArray &bytes, qint64 offset)
{
    return qFromBigEndian<T>(reinterpret_cast<const uchar *>(bytes.constData() + offset));
}

inline void putFloat(QByteArray &bytes, qint64 offset, float f)
{
    quint32 bits;
    std::memcpy(&bits, &f, 4);
    put(bytes, offset, bits);
}

// Field offsets of a version 1.1 file holding exactly one normal model.
struct OneModelLayout
{
    explicit OneModelLayout(qint64 vertexCount, qint64 indexCount) : v(vertexCount), i(indexCount)
    {
    }
    qint64 v, i;
    static constexpr qint64 major = 16; // after the marks and the logo
    static constexpr qint64 minor = 18;
    static constexpr qint64 objectCount = 20;
    static constexpr qint64 sequence = 28;
    static constexpr qint64 type = 36;
    static constexpr qint64 tag1 = 40;
    static constexpr qint64 name = 48;
    static constexpr qint64 tag2 = 112;
    static constexpr qint64 vertexCount = 116;
    static constexpr qint64 vertices = 124;
    qint64 tag3() const { return vertices + v * 24; }
    qint64 indexCount() const { return tag3() + 4; }
    qint64 indices() const { return indexCount() + 8; }
    qint64 endTag() const { return indices() + i * 4; }
    qint64 relationCount() const { return endTag() + 4; }
    qint64 endMark1() const { return relationCount() + 8; }
    qint64 size() const { return endMark1() + 8; }
};

// Where the objects of a version 1.1 file lie, found by walking the bytes independently of
// the reader.
struct ObjectOutline
{
    qint32 type = -1;
    qint64 record = 0; // first tag
    qint64 v = 0, i = 0;
    qint64 supportFields = -1; // headHeightUsed, for types 1 and 4
    qint64 parts = -1;         // the part count
    qint64 points = -1;        // the point count, for type 4
};

struct Outline
{
    std::vector<ObjectOutline> objects;
    std::vector<std::pair<qint32, qint32>> pairs;
    qint64 relations = -1; // offset of the relation count
};

inline Outline outline(const QByteArray &bytes)
{
    Outline out;
    qint64 at = OneModelLayout::objectCount;
    const qint64 count = get<qint64>(bytes, at);
    at += 8;
    for (qint64 k = 0; k < count; ++k) {
        ObjectOutline o;
        o.type = get<qint32>(bytes, at + 8);
        o.record = at + 12;
        at = o.record + 4 + 4 + 64 + 4;
        o.v = get<qint64>(bytes, at);
        at += 8 + o.v * 24 + 4;
        o.i = get<qint64>(bytes, at);
        at += 8 + o.i * 4 + 4;
        if (o.type == 1 || o.type == 4) {
            o.supportFields = at;
            o.parts = at + 8 + 9 * 4;
            at = o.parts + 4 + qint64(get<qint32>(bytes, o.parts)) * 8;
        }
        if (o.type == 4) {
            o.points = at;
            at += 4 + qint64(get<qint32>(bytes, at)) * 24 + 1;
        }
        out.objects.push_back(o);
    }
    out.relations = at;
    const qint64 relations = get<qint64>(bytes, at);
    at += 8;
    for (qint64 r = 0; r < relations; ++r, at += 8)
        out.pairs.emplace_back(get<qint32>(bytes, at), get<qint32>(bytes, at + 4));
    return out;
}

} // namespace ProjectTestFiles
