#pragma once

#include "SliceTestScene.h"
#include "cws/IslandScanResult.h"
#include "cws/JobSnapshot.h"

#include <memory>
#include <vector>

// Scenes of separate objects built from small meshes, and the jobs that read them.
namespace IslandScenes {

struct Part
{
    TestMesh mesh;
    int type = Model::TYPE_NORMAL;
};
using Parts = QVector<Part>;

inline TestMesh box(float x0, float y0, float z0, float x1, float y1, float z1)
{
    return TestMesh::box(QVector3D(x0, y0, z0), QVector3D(x1, y1, z1));
}

// A square pyramid hanging point down: apex at (x, y, apexZ), base of half side r at topZ.
inline TestMesh hangingPoint(float x, float y, float apexZ, float topZ, float r)
{
    TestMesh m;
    m.positions << QVector3D(x, y, apexZ) << QVector3D(x - r, y - r, topZ)
                << QVector3D(x + r, y - r, topZ) << QVector3D(x + r, y + r, topZ)
                << QVector3D(x - r, y + r, topZ);
    m.indices << 0 << 2 << 1 << 0 << 3 << 2 << 0 << 4 << 3 << 0 << 1 << 4;
    m.addQuad(1, 2, 3, 4);
    return m;
}

inline TestMesh turned(const TestMesh &mesh, float degrees)
{
    QMatrix4x4 m;
    m.rotate(degrees, 0, 0, 1);
    return mesh.transformed(m);
}

// The objects of one scene, owned here; supports may be added after them.
struct Scene
{
    std::vector<std::unique_ptr<Model>> objects;

    Model *add(Model *object)
    {
        object->name = QStringLiteral("object%1").arg(objects.size());
        objects.emplace_back(object);
        return object;
    }
    explicit Scene(const Parts &parts)
    {
        for (const Part &p : parts)
            add(modelFromMesh(p.mesh, p.type));
    }
    CWS::JobSnapshot job(const SliceBuildConfig &settings, const PrinterModelConfig &printer,
                         bool normalOnly = false) const
    {
        std::vector<ObjectSnapshot> snapshots;
        for (const auto &o : objects) {
            if (normalOnly && o->type != Model::TYPE_NORMAL)
                continue;
            o->updateGeometry(false);
            snapshots.push_back(o->snapshot());
        }
        return CWS::JobSnapshot(std::move(snapshots), settings, printer, false, 1.0);
    }
};

inline PrinterModelConfig printer(int widthPx, int heightPx, float pixelsPerMm, float heightMm)
{
    PrinterModelConfig p;
    p.name = QStringLiteral("test panel");
    p.x = widthPx;
    p.y = heightPx;
    p.xppmm = p.yppmm = pixelsPerMm;
    p.vx = float(int(float(widthPx) / pixelsPerMm) - 1);
    p.vy = float(int(float(heightPx) / pixelsPerMm) - 1);
    p.vz = heightMm;
    return p;
}

// The job settings of a printer, as the configuration derives them.
inline SliceBuildConfig settingsFor(const PrinterModelConfig &p, float thicknessMm)
{
    SliceBuildConfig s;
    s.layerThicknessMm = thicknessMm;
    s.xPixelsPerMm = double(p.xppmm);
    s.yPixelsPerMm = double(p.yppmm);
    s.imageWidthPx = int(float(int(p.vx)) * p.xppmm);
    s.imageHeightPx = int(float(int(p.vy)) * p.yppmm);
    return s;
}

// The result in words, for a failure message.
inline QString describe(const CWS::IslandScanResult &r)
{
    QStringList lines{
        QStringLiteral("status %1, %2 layers").arg(int(r.status())).arg(r.layerCount())};
    for (const CWS::SceneIsland &i : r.islands())
        lines << QStringLiteral("layer %1 z %2 at %3, %4 area %5 object %6")
                     .arg(i.layer())
                     .arg(double(i.zMm()))
                     .arg(i.xMm())
                     .arg(i.yMm())
                     .arg(i.areaMm2())
                     .arg(r.objectName(i));
    return lines.join('\n');
}

} // namespace IslandScenes

Q_DECLARE_METATYPE(IslandScenes::Parts)
