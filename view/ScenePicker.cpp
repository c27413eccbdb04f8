#include "view/ScenePicker.h"

#include "model/Model.h"
#include "view/MeshPickIndex.h"
#include "view/SceneCamera.h"
#include "view/SceneFrame.h"
#include "workspace/SceneObjects.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QThreadPool>
#include <QWaitCondition>

#include <algorithm>
#include <cmath>

namespace {

// One hit as both paths report it.
PickHit hitOn(Model *object, const Vertex &v0, const Vertex &v1, const Vertex &v2,
              const QVector3D &point, const PickMath::Ray &ray, const QMatrix4x4 &normalMatrix,
              float sceneScaleMm)
{
    PickHit hit;
    hit.object = object;
    hit.distance = double((point - ray.origin).length());
    hit.point = point * sceneScaleMm;
    const QVector3D mean = (QVector3D(v0.nx, v0.ny, v0.nz) + QVector3D(v1.nx, v1.ny, v1.nz) +
                            QVector3D(v2.nx, v2.ny, v2.nz)) /
                           3.0f;
    hit.normal = normalMatrix.mapVector(mean).normalized();
    return hit;
}

// The exact test of one triangle, as the plain loop does it.
bool testTriangle(Model *object, const MeshPrimitiveData &mesh, size_t triangle,
                  const QMatrix4x4 &m, const QMatrix4x4 &normalMatrix, const PickMath::Ray &ray,
                  float sceneScaleMm, std::vector<PickHit> &hits)
{
    const uint32_t *tri = mesh.indices.data() + 3 * triangle;
    const size_t n = mesh.vertices.size();
    if (tri[0] >= n || tri[1] >= n || tri[2] >= n)
        return false;
    const Vertex &v0 = mesh.vertices[tri[0]];
    const Vertex &v1 = mesh.vertices[tri[1]];
    const Vertex &v2 = mesh.vertices[tri[2]];
    const QVector3D a = m.map(QVector3D(v0.px, v0.py, v0.pz));
    const QVector3D b = m.map(QVector3D(v1.px, v1.py, v1.pz));
    const QVector3D c = m.map(QVector3D(v2.px, v2.py, v2.pz));
    float t;
    QVector3D point;
    if (!PickMath::rayTriangle(ray, a, b, c, &t, &point))
        return false;
    hits.push_back(hitOn(object, v0, v1, v2, point, ray, normalMatrix, sceneScaleMm));
    return true;
}

void sortHits(std::vector<PickHit> &hits)
{
    std::stable_sort(hits.begin(), hits.end(),
                     [](const PickHit &a, const PickHit &b) { return a.distance < b.distance; });
}

void logMatch(int position, int type)
{
    qDebug() << "match a model" << position << type;
}

// The largest factor by which a 3 x 3 matrix can stretch a vector (its Frobenius norm).
float stretchBound(const QMatrix4x4 &m)
{
    float sum = 0.0f;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            sum += m(r, c) * m(r, c);
    return std::sqrt(sum);
}

bool isAffine(const QMatrix4x4 &m)
{
    return m(3, 0) == 0.0f && m(3, 1) == 0.0f && m(3, 2) == 0.0f && m(3, 3) == 1.0f;
}

} // namespace

// Indexes by mesh, shared with the background builds so that they can outlive the picker.
struct ScenePicker::Cache
{
    struct Entry
    {
        std::weak_ptr<const MeshPrimitiveData> mesh;
        std::shared_ptr<const MeshPickIndex> index; // null while building
    };
    mutable QMutex mutex;
    QWaitCondition idle;
    int building = 0;
    std::unordered_map<const MeshPrimitiveData *, Entry> entries;
};

ScenePicker::ScenePicker(SceneObjects &scene, const SceneCamera &camera, QObject *parent)
    : QObject(parent), m_scene(scene), m_camera(camera), m_cache(std::make_shared<Cache>())
{
    // Indexes start building as soon as a large mesh appears, so the first pick is fast too.
    connect(&scene, &SceneObjects::quorModelDataChanged, this, &ScenePicker::prepareIndexes);
}

ScenePicker::~ScenePicker() = default;

bool ScenePicker::rayAt(int x, int y, PickMath::Ray *ray) const
{
    const QSize viewport = m_camera.viewSize();
    // Without a size every position would divide by zero.
    if (viewport.width() <= 0 || viewport.height() <= 0)
        return false;
    const CameraState &camera = m_camera.state();
    *ray = PickMath::pickRay(x, y, viewport,
                             CameraMath::projectionMatrix(viewport, camera.panX, camera.panY),
                             CameraMath::viewMatrix(camera));
    return true;
}

std::vector<PickHit> ScenePicker::pickObjects(int x, int y, const QSet<int> &types)
{
    QElapsedTimer timer;
    timer.start();
    PickMath::Ray ray;
    if (!rayAt(x, y, &ray))
        return {};
    const CameraMath::Volume &v = m_camera.volume();
    std::vector<PickHit> hits =
        pickFast(m_scene.objects(), ray, types, CameraMath::modelScaleMatrix(v),
                 CameraMath::sceneScaleMm(v));
    qDebug() << "ray picking use time: " << timer.elapsed();
    return hits;
}

bool ScenePicker::dragDeltaMm(const QPoint &from, const QPoint &to, QVector3D *deltaMm)
{
    const QSize viewport = m_camera.viewSize();
    if (viewport.width() <= 0 || viewport.height() <= 0)
        return false;
    const CameraState &camera = m_camera.state();
    const QMatrix4x4 projection = CameraMath::projectionMatrix(viewport, camera.panX, camera.panY);
    const QMatrix4x4 view = CameraMath::viewMatrix(camera);
    const QMatrix4x4 modelScale = CameraMath::modelScaleMatrix(m_camera.volume());
    const float depth = PickMath::originDepthNdc(projection, view, modelScale);
    const QVector3D a = PickMath::unprojectMm(from, viewport, depth, projection, view, modelScale);
    const QVector3D b = PickMath::unprojectMm(to, viewport, depth, projection, view, modelScale);
    *deltaMm = QVector3D(b.x() - a.x(), b.y() - a.y(), 0.0f);
    return std::isfinite(deltaMm->x()) && std::isfinite(deltaMm->y());
}

std::vector<PickHit> ScenePicker::pickPlain(const std::vector<Model *> &objects,
                                            const PickMath::Ray &ray, const QSet<int> &types,
                                            const QMatrix4x4 &modelScale, float sceneScaleMm)
{
    std::vector<PickHit> hits;
    for (size_t i = 0; i < objects.size(); ++i) {
        Model *object = objects[i];
        if (!types.contains(object->type))
            continue;
        const QMatrix4x4 m = modelScale * object->modelMatrix();
        const QMatrix4x4 normalMatrix = object->normalMatrix();
        const MeshPrimitiveData &mesh = *object->mesh;
        bool any = false;
        for (size_t t = 0; t < mesh.indices.size() / 3; ++t)
            any |= testTriangle(object, mesh, t, m, normalMatrix, ray, sceneScaleMm, hits);
        if (any)
            logMatch(int(i), object->type);
    }
    sortHits(hits);
    return hits;
}

std::vector<PickHit> ScenePicker::pickFast(const std::vector<Model *> &objects,
                                           const PickMath::Ray &ray, const QSet<int> &types,
                                           const QMatrix4x4 &modelScale, float sceneScaleMm)
{
    std::vector<PickHit> hits;
    std::vector<uint32_t> candidates;
    for (size_t i = 0; i < objects.size(); ++i) {
        Model *object = objects[i];
        if (!types.contains(object->type))
            continue;
        const QMatrix4x4 m = modelScale * object->modelMatrix();
        const MeshPrimitiveData &mesh = *object->mesh;
        const size_t triangles = mesh.indices.size() / 3;
        if (triangles == 0)
            continue;

        bool invertible = false;
        const QMatrix4x4 inverse = m.inverted(&invertible);
        std::shared_ptr<const MeshPickIndex> index;
        if (triangles >= kIndexedTriangles && invertible && isAffine(m))
            index = indexFor(object);

        // A ray that misses the world box, widened by the rounding margin of the exact test,
        // cannot hit anything inside. Without an index the box's diagonal bounds the edges.
        object->updateGeometry(false);
        const QVector3D lo = object->bboxMin / sceneScaleMm;
        const QVector3D hi = object->bboxMax / sceneScaleMm;
        const float reach =
            std::max((lo - ray.origin).length(), (hi - ray.origin).length()) + (hi - lo).length();
        const float longestEdge =
            index ? stretchBound(m) * index->longestEdge() : (hi - lo).length();
        const float o[3] = {ray.origin.x(), ray.origin.y(), ray.origin.z()};
        const float inv[3] = {1.0f / ray.direction.x(), 1.0f / ray.direction.y(),
                              1.0f / ray.direction.z()};
        const float l[3] = {lo.x(), lo.y(), lo.z()}, h[3] = {hi.x(), hi.y(), hi.z()};
        if (std::isfinite(reach) && std::isfinite(longestEdge) && lo.x() <= hi.x() &&
            !PickMath::rayNearBox(o, inv, l, h,
                                  MeshPickIndex::marginLocal(longestEdge, 1.0f, 1.0f, reach)))
            continue;

        const QMatrix4x4 normalMatrix = object->normalMatrix();
        const size_t before = hits.size();
        if (index) {
            index->candidates(inverse.map(ray.origin), inverse.mapVector(ray.direction),
                              stretchBound(m), stretchBound(inverse), reach, candidates);
            for (uint32_t t : candidates)
                testTriangle(object, mesh, t, m, normalMatrix, ray, sceneScaleMm, hits);
        } else {
            for (size_t t = 0; t < triangles; ++t)
                testTriangle(object, mesh, t, m, normalMatrix, ray, sceneScaleMm, hits);
        }
        if (hits.size() > before)
            logMatch(int(i), object->type);
    }
    sortHits(hits);
    return hits;
}

std::shared_ptr<const MeshPickIndex> ScenePicker::indexFor(const Model *object)
{
    const MeshPrimitiveData *key = object->mesh.get();
    QMutexLocker lock(&m_cache->mutex);
    const auto it = m_cache->entries.find(key);
    if (it == m_cache->entries.end() || it->second.mesh.lock() != object->mesh)
        return nullptr;
    const std::shared_ptr<const MeshPickIndex> &index = it->second.index;
    // A mesh rebuilt in place with other sizes needs a new index; until then, the plain loop.
    if (!index || index->vertexCount() != object->mesh->vertices.size() ||
        index->indexCount() != object->mesh->indices.size())
        return nullptr;
    return index;
}

void ScenePicker::prepareIndexes()
{
    std::vector<std::shared_ptr<const MeshPrimitiveData>> wanted;
    {
        QMutexLocker lock(&m_cache->mutex);
        // Entries of meshes that are gone.
        for (auto it = m_cache->entries.begin(); it != m_cache->entries.end();) {
            if (it->second.mesh.expired() && it->second.index)
                it = m_cache->entries.erase(it);
            else
                ++it;
        }
        for (const Model *object : m_scene.objects()) {
            // Normal models only: their meshes never change once loaded.
            if (object->type != Model::TYPE_NORMAL || !object->meshReady ||
                object->mesh->indices.size() / 3 < kIndexedTriangles)
                continue;
            const auto it = m_cache->entries.find(object->mesh.get());
            if (it != m_cache->entries.end() && it->second.mesh.lock() == object->mesh)
                continue;
            m_cache->entries[object->mesh.get()] = Cache::Entry{object->mesh, nullptr};
            wanted.push_back(object->mesh);
        }
        m_cache->building += int(wanted.size());
    }
    for (const std::shared_ptr<const MeshPrimitiveData> &mesh : wanted) {
        std::shared_ptr<Cache> cache = m_cache;
        QThreadPool::globalInstance()->start([cache, mesh]() {
            std::shared_ptr<const MeshPickIndex> index;
            try {
                std::shared_lock<std::shared_mutex> read(mesh->lock);
                index = std::make_shared<const MeshPickIndex>(*mesh);
            } catch (const std::exception &e) {
                qWarning() << "pick index not built:" << e.what();
            }
            QMutexLocker lock(&cache->mutex);
            const auto it = cache->entries.find(mesh.get());
            if (it != cache->entries.end() && it->second.mesh.lock() == mesh)
                it->second.index = index;
            if (--cache->building == 0)
                cache->idle.wakeAll();
        });
    }
}

void ScenePicker::waitForIndexes()
{
    QMutexLocker lock(&m_cache->mutex);
    while (m_cache->building > 0)
        m_cache->idle.wait(&m_cache->mutex);
}

int ScenePicker::readyIndexCount() const
{
    QMutexLocker lock(&m_cache->mutex);
    int n = 0;
    for (const auto &entry : m_cache->entries)
        n += entry.second.index && !entry.second.mesh.expired() ? 1 : 0;
    return n;
}
