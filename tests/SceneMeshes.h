#pragma once

#include "model/MeshPrimitiveData.h"
#include "model/Model.h"
#include "workspace/JobController.h"
#include "workspace/LayerPreview.h"
#include "workspace/SceneObjects.h"
#include "workspace/SupportController.h"
#include "workspace/TransformController.h"
#include "workspace/UndoController.h"
#include "workspace/Workspace.h"

#include <QDir>
#include <QUrl>

#include <algorithm>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QVector3D>

#include <array>
#include <cstring>
#include <vector>

// Small meshes and model files written from code for the scene tests.
namespace SceneMeshes {

using Triangle = std::array<QVector3D, 3>;

// The twelve outward-facing triangles of an axis-aligned box.
inline std::vector<Triangle> boxTriangles(const QVector3D &lo, const QVector3D &hi)
{
    auto corner = [&](int i) {
        return QVector3D(i & 1 ? hi.x() : lo.x(), i & 2 ? hi.y() : lo.y(), i & 4 ? hi.z() : lo.z());
    };
    static const int faces[12][3] = {{0, 2, 3}, {0, 3, 1}, {4, 5, 7}, {4, 7, 6},
                                     {0, 1, 5}, {0, 5, 4}, {2, 6, 7}, {2, 7, 3},
                                     {0, 4, 6}, {0, 6, 2}, {1, 3, 7}, {1, 7, 5}};
    std::vector<Triangle> out;
    for (const auto &f : faces)
        out.push_back({corner(f[0]), corner(f[1]), corner(f[2])});
    return out;
}

inline QVector3D faceNormal(const Triangle &t)
{
    return QVector3D::normal(t[0], t[1], t[2]);
}

// Unshared vertices, three per triangle, with face normals: the layout Assimp hands back.
inline void fillMesh(MeshPrimitiveData &mesh, const std::vector<Triangle> &tris)
{
    mesh.vertices.clear();
    mesh.indices.clear();
    for (const Triangle &t : tris) {
        const QVector3D n = faceNormal(t);
        for (const QVector3D &p : t) {
            mesh.indices.push_back(uint32_t(mesh.vertices.size()));
            mesh.vertices.push_back({p.x(), p.y(), p.z(), n.x(), n.y(), n.z()});
        }
    }
    mesh.baseVertexCount = uint32_t(mesh.vertices.size());
}

inline Model *makeModel(const std::vector<Triangle> &tris, int type = Model::TYPE_NORMAL)
{
    Model *m = new Model(type);
    fillMesh(*m->mesh, tris);
    m->meshReady = true;
    m->updateGeometry(true);
    return m;
}

inline Model *makeBox(const QVector3D &lo, const QVector3D &hi, int type = Model::TYPE_NORMAL)
{
    return makeModel(boxTriangles(lo, hi), type);
}

inline void putFloat(QByteArray &out, float f)
{
    char b[4];
    std::memcpy(b, &f, 4);
    out.append(b, 4);
}

inline void putUint32(QByteArray &out, quint32 v)
{
    const char b[4] = {char(v & 0xff), char((v >> 8) & 0xff), char((v >> 16) & 0xff),
                       char((v >> 24) & 0xff)};
    out.append(b, 4);
}

// Binary STL bytes; `count` overrides the triangle count in the header when not negative.
inline QByteArray binaryStl(const std::vector<Triangle> &tris, bool zeroNormals = false,
                            qint64 count = -1)
{
    QByteArray out(80, '\0');
    putUint32(out, quint32(count < 0 ? qint64(tris.size()) : count));
    for (const Triangle &t : tris) {
        const QVector3D n = zeroNormals ? QVector3D() : faceNormal(t);
        putFloat(out, n.x());
        putFloat(out, n.y());
        putFloat(out, n.z());
        for (const QVector3D &p : t) {
            putFloat(out, p.x());
            putFloat(out, p.y());
            putFloat(out, p.z());
        }
        out.append(2, '\0');
    }
    return out;
}

inline QByteArray asciiVector(const char *keyword, const QVector3D &v)
{
    return QByteArray(keyword) + ' ' + QByteArray::number(double(v.x())) + ' ' +
           QByteArray::number(double(v.y())) + ' ' + QByteArray::number(double(v.z())) + '\n';
}

inline QByteArray asciiStl(const std::vector<Triangle> &tris, bool zeroNormals = false)
{
    QByteArray out("solid test\n");
    for (const Triangle &t : tris) {
        out += asciiVector("facet normal", zeroNormals ? QVector3D() : faceNormal(t));
        out += "outer loop\n";
        for (const QVector3D &p : t)
            out += asciiVector("vertex", p);
        out += "endloop\nendfacet\n";
    }
    out += "endsolid test\n";
    return out;
}

// One OBJ object per triangle list, each with its own vertices.
inline QByteArray objFile(const std::vector<std::vector<Triangle>> &objects)
{
    QByteArray out;
    int next = 1;
    int n = 0;
    for (const auto &tris : objects) {
        out += "o part" + QByteArray::number(n++) + "\n";
        for (const Triangle &t : tris) {
            for (const QVector3D &p : t)
                out += asciiVector("v", p);
            out += "f " + QByteArray::number(next) + ' ' + QByteArray::number(next + 1) + ' ' +
                   QByteArray::number(next + 2) + '\n';
            next += 3;
        }
    }
    return out;
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

// A box as a binary STL file in the working folder, for opening as a user does.
inline QUrl writeBoxFile(const QString &name, const QVector3D &lo, const QVector3D &hi)
{
    const QString path = QDir::currentPath() + QLatin1Char('/') + name;
    writeFile(path, binaryStl(boxTriangles(lo, hi)));
    return QUrl::fromLocalFile(path);
}

// How many objects of a type the workspace holds.
inline int countType(const Workspace &ws, int type)
{
    return int(std::count_if(ws.scene()->objects().begin(), ws.scene()->objects().end(),
                             [type](const Model *m) { return m->type == type; }));
}

} // namespace SceneMeshes
