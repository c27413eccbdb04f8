#pragma once

#include "model/Model.h"

#include <QMap>
#include <QString>
#include <QVector3D>

#include <cstring>
#include <map>
#include <tuple>
#include <utility>

// Whether a triangle range of an object encloses a volume the right way round: vertices are
// welded by their exact world position, every directed edge must occur once and its reverse
// once (each edge shared by exactly two consistently wound triangles), and the signed volume
// must be positive (normals outward).
struct MeshClosure
{
    bool closed = false;
    double volumeMm3 = 0.0;
    QString problem;

    static MeshClosure of(const Model &object, int first, int end)
    {
        MeshClosure r;
        const MeshPrimitiveData &m = *object.mesh;
        const QMatrix4x4 matrix = object.modelMatrix();
        using Key = std::tuple<float, float, float>;
        std::map<Key, int> ids;
        auto idOf = [&](uint32_t index, QVector3D *world) {
            const Vertex &v = m.vertices[index];
            *world = matrix.map(QVector3D(v.px, v.py, v.pz));
            const Key key{world->x(), world->y(), world->z()};
            const auto it = ids.find(key);
            if (it != ids.end())
                return it->second;
            const int id = int(ids.size());
            ids.emplace(key, id);
            return id;
        };
        std::map<std::pair<int, int>, int> directed;
        if (end <= first) {
            r.problem = QStringLiteral("empty range");
            return r;
        }
        for (int i = first; i + 2 < end; i += 3) {
            QVector3D p[3];
            int id[3];
            for (int k = 0; k < 3; ++k) {
                const uint32_t index = m.indices[size_t(i + k)];
                if (index >= m.vertices.size()) {
                    r.problem = QStringLiteral("index out of range");
                    return r;
                }
                id[k] = idOf(index, &p[k]);
            }
            if (id[0] == id[1] || id[1] == id[2] || id[0] == id[2]) {
                r.problem = QStringLiteral("degenerate triangle at %1").arg(i);
                return r;
            }
            for (int k = 0; k < 3; ++k)
                ++directed[{id[k], id[(k + 1) % 3]}];
            r.volumeMm3 +=
                double(QVector3D::dotProduct(p[0], QVector3D::crossProduct(p[1], p[2]))) / 6.0;
        }
        for (const auto &e : directed) {
            if (e.second != 1) {
                r.problem = QStringLiteral("edge used %1 times the same way").arg(e.second);
                return r;
            }
            const auto reverse = directed.find({e.first.second, e.first.first});
            if (reverse == directed.end()) {
                r.problem = QStringLiteral("open edge");
                return r;
            }
        }
        if (!(r.volumeMm3 > 0.0)) {
            r.problem = QStringLiteral("signed volume %1 is not positive").arg(r.volumeMm3);
            return r;
        }
        r.closed = true;
        return r;
    }

    static MeshClosure of(const Model &object)
    {
        return of(object, 0, int(object.mesh->indices.size()));
    }
};
