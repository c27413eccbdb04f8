#pragma once

#include "model/PickHit.h"
#include "view/CameraMath.h"
#include "view/PickMath.h"

#include <QMatrix4x4>
#include <QMutex>
#include <QObject>

#include <memory>
#include <unordered_map>
#include <vector>

class Model;
class MeshPickIndex;
class SceneCamera;
class SceneObjects;

// Picking in the 3D view: the ray under the cursor tested against the triangles of the
// scene. Large meshes get an index, built in the background, that narrows the triangles
// tested; until it is ready, and for small meshes, every triangle is tested. Either way the
// hits are exactly those of testing every triangle (pickPlain), in the same order.
class ScenePicker : public QObject
{
    Q_OBJECT
public:
    // Meshes with at least this many triangles get an index.
    static constexpr size_t kIndexedTriangles = 4096;

    ScenePicker(SceneObjects &scene, const SceneCamera &camera, QObject *parent = nullptr);
    ~ScenePicker() override;

    // Hits of the ray under view position (x, y) (item pixels) on objects of the given types,
    // nearest first.
    std::vector<PickHit> pickObjects(int x, int y, const QSet<int> &types);
    // The plate-plane motion, in mm, that takes the scene point under `from` to the one under
    // `to`; false when the view cannot tell (no size yet).
    bool dragDeltaMm(const QPoint &from, const QPoint &to, QVector3D *deltaMm);

    // The plain algorithm: every triangle of every object of the given types, in list order,
    // sorted nearest first (ties keep object, then triangle order).
    static std::vector<PickHit> pickPlain(const std::vector<Model *> &objects,
                                          const PickMath::Ray &ray, const QSet<int> &types,
                                          const QMatrix4x4 &modelScale, float sceneScaleMm);
    // The same hits through the world boxes and the mesh indexes that are ready.
    std::vector<PickHit> pickFast(const std::vector<Model *> &objects, const PickMath::Ray &ray,
                                  const QSet<int> &types, const QMatrix4x4 &modelScale,
                                  float sceneScaleMm);

    // The ray under a view position with the camera; false without a view size.
    bool rayAt(int x, int y, PickMath::Ray *ray) const;

    // Starts index builds for the large meshes of the scene that have none.
    void prepareIndexes();
    // Waits until every started build is done (tests and benchmarks).
    void waitForIndexes();
    // How many meshes have a finished index.
    int readyIndexCount() const;

private:
    struct Cache;
    std::shared_ptr<const MeshPickIndex> indexFor(const Model *object);

    SceneObjects &m_scene;
    const SceneCamera &m_camera;
    std::shared_ptr<Cache> m_cache;
};
