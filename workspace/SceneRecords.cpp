// The objects block of a project file: every normal model, then the support family, then
// the pairs that hang each support on its owner.
#include "workspace/SceneRecords.h"

#include "config/SupportConfig.h"
#include "model/MultiPointSupport.h"
#include "model/RecordIo.h"
#include "model/Support.h"
#include "model/SupportBase.h"
#include "model/SupportLinker.h"
#include "workspace/SceneObjects.h"

#include <QDataStream>
#include <QDebug>
#include <QMutexLocker>

#include <unordered_map>

namespace {

// Sequence number, type and the smallest model record: no object takes fewer bytes.
constexpr qint64 kSmallestObjectBytes = 8 + 4 + (4 + 4 + 64 + 4 + 8 + 4 + 8 + 4);

bool isStoredSupportType(int type)
{
    return type == Model::TYPE_SUPPORT || type == Model::TYPE_SUPPORT_BASE ||
           type == Model::TYPE_MULTI_POINT_SUPPORT;
}

// An empty object of a stored type, or null for any other code.
Model *createStoredObject(int type, const CWS::SupportConfig *supportConfig)
{
    switch (type) {
    case Model::TYPE_NORMAL:
        return new Model(Model::TYPE_NORMAL);
    case Model::TYPE_SUPPORT:
        return new CWS::Support(supportConfig);
    case Model::TYPE_SUPPORT_BASE:
        return new SupportBase();
    case Model::TYPE_MULTI_POINT_SUPPORT:
        return new MultiPointSupport(supportConfig);
    default:
        return nullptr;
    }
}

// A support hangs on one normal model, and only once: a second owner or a second base would
// leave a list pointing at an object that is freed later.
bool canAttach(const Model *support, const Model *owner)
{
    if (!isStoredSupportType(support->type) || owner->type != Model::TYPE_NORMAL)
        return false;
    if (support->parent)
        return support->parent == owner;
    return support->type != Model::TYPE_SUPPORT_BASE || !owner->supportBase;
}

// Ends a failed load with what was read so far editable.
bool failLoad(SceneObjects &scene)
{
    if (scene.modelSize() > 0 && scene.status() == SceneObjects::MODEL_INIT) {
        scene.setModelStatus(SceneObjects::MODEL_LOADED);
        scene.deselectAll(false);
        scene.notifyDataChanged();
    }
    return false;
}

bool readObjects(QDataStream &in, int major, int minor, SceneObjects &scene,
                 const CWS::SupportConfig *supportConfig);

} // namespace

namespace SceneRecords {

bool write(QDataStream &out, const SceneObjects &scene)
{
    const std::vector<Model *> &models = scene.objects();
    std::vector<Model *> sequence;
    for (Model *object : models)
        if (object->type == Model::TYPE_NORMAL)
            sequence.push_back(object);
    const size_t normalCount = sequence.size();
    qDebug() << "normal model" << normalCount;
    for (Model *object : models)
        if (isStoredSupportType(object->type))
            sequence.push_back(object);
    qDebug() << "save model size" << sequence.size();

    std::unordered_map<const Model *, qint32> firstPosition;
    out << qint64(sequence.size());
    for (size_t i = 0; i < sequence.size(); ++i) {
        firstPosition.emplace(sequence[i], qint32(i));
        out << qint64(i) << qint32(sequence[i]->type);
        std::shared_lock<std::shared_mutex> lock(sequence[i]->mesh->lock);
        sequence[i]->writeRecord(out);
    }
    out << qint64(sequence.size() - normalCount);
    for (size_t i = normalCount; i < sequence.size(); ++i) {
        const auto owner = firstPosition.find(sequence[i]->parent);
        out << qint32(i) << (owner == firstPosition.end() ? qint32(0) : owner->second);
    }
    return out.status() == QDataStream::Ok;
}

bool read(QDataStream &in, int major, int minor, SceneObjects &scene,
          const CWS::SupportConfig *supportConfig)
{
    const SceneObjects::ModelStatus status = scene.status();
    if (status != SceneObjects::MODEL_INIT && status != SceneObjects::MODEL_LOADED) {
        qDebug() << "invalid status for load" << status;
        return false;
    }
    try {
        return readObjects(in, major, minor, scene, supportConfig);
    } catch (...) {
        // What was read so far stays, as after a refused record, and the view hears of it.
        failLoad(scene);
        throw;
    }
}

} // namespace SceneRecords

namespace {

bool readObjects(QDataStream &in, int major, int minor, SceneObjects &scene,
                 const CWS::SupportConfig *supportConfig)
{
    qint64 count = -1;
    in >> count;
    qDebug() << "total model size" << count;
    if (in.status() != QDataStream::Ok || !RecordIo::fits(in, count, kSmallestObjectBytes)) {
        qWarning() << "object count does not fit the file" << count;
        return failLoad(scene);
    }

    std::vector<Model *> read;
    read.reserve(size_t(count));
    for (qint64 s = 0; s < count; ++s) {
        qDebug() << "load" << s;
        qint64 sequence = -1;
        qint32 type = -1;
        in >> sequence;
        if (in.status() != QDataStream::Ok || sequence != s) {
            qWarning() << "bad sequence number" << sequence << "at" << s;
            return failLoad(scene);
        }
        in >> type;
        qDebug() << "type" << type;
        Model *object =
            in.status() == QDataStream::Ok ? createStoredObject(type, supportConfig) : nullptr;
        if (!object) {
            qWarning() << QStringLiteral("unknown type: ") + QString::number(type);
            return failLoad(scene);
        }
        bool ok = false;
        try {
            ok = object->readRecord(in, major, minor);
        } catch (...) {
            delete object;
            throw;
        }
        if (!ok) {
            delete object;
            return failLoad(scene);
        }
        // The thickness is not stored; the slab rises from the platform to it.
        if (object->type == Model::TYPE_SUPPORT_BASE && !object->mesh->indices.empty())
            static_cast<SupportBase *>(object)->thickness =
                object->bboxMax.z() - object->bboxMin.z();
        scene.addModel(object);
        read.push_back(object);
    }
    qDebug() << "success read models" << read.size();

    qint64 relationCount = -1;
    in >> relationCount;
    qDebug() << "support" << relationCount;
    if (in.status() != QDataStream::Ok || !RecordIo::fits(in, relationCount, 8)) {
        qWarning() << "relation count does not fit the file" << relationCount;
        return failLoad(scene);
    }
    for (qint64 r = 0; r < relationCount; ++r) {
        qint32 supportIndex = -1, ownerIndex = -1;
        in >> supportIndex >> ownerIndex;
        if (in.status() != QDataStream::Ok || supportIndex < 0 || supportIndex >= count ||
            ownerIndex < 0 || ownerIndex >= count) {
            qWarning() << "bad relation" << supportIndex << ownerIndex << "of" << count;
            return failLoad(scene);
        }
        Model *support = read[size_t(supportIndex)];
        Model *owner = read[size_t(ownerIndex)];
        if (!canAttach(support, owner)) {
            qWarning() << "relation does not fit its objects" << supportIndex << ownerIndex;
            return failLoad(scene);
        }
        const bool repeated = support->parent == owner;
        owner->attachChild(support);
        // Linkers are not stored; version 1.0 files never had them.
        if (!repeated && minor != 0 && support->type == Model::TYPE_SUPPORT)
            if (SupportLinker *linker = static_cast<CWS::Support *>(support)->linkToNearest())
                scene.addModel(linker);
    }
    qDebug() << "make support relationship size" << relationCount;
    scene.setModelStatus(scene.modelSize() == 0 ? SceneObjects::MODEL_INIT
                                                : SceneObjects::MODEL_LOADED);
    scene.deselectAll(false);
    scene.notifyDataChanged();
    return true;
}

} // namespace
