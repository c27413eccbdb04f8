#include "model/Model.h"

#include "model/DoItem.h"
#include "model/MeshGeometry.h"
#include "model/MeshImport.h"
#include "model/SplitWork.h"
#include "model/UndoList.h"

#include <QDebug>
#include <QFileInfo>

#include <algorithm>

namespace {

template <typename T> void eraseValue(std::vector<T *> &list, const T *value)
{
    list.erase(std::remove(list.begin(), list.end(), value), list.end());
}

void applyGeometry(Model &m, const MeshGeometry &g)
{
    m.bboxMin = g.bboxMin;
    m.bboxMax = g.bboxMax;
    m.center = g.center;
    m.volume = g.volumeCm3;
    m.radius = g.radius;
    if (g.centerRepaired)
        qDebug() << "repair center to"
                 << QString::asprintf("(%.8f, %.8f, %.8f)", double(m.center.x()),
                                      double(m.center.y()), double(m.center.z()));
    m.geometryDirty = false;
}

} // namespace

Model::Model(int type)
    : Base3DObject(type), transforms(std::make_shared<std::vector<TransformItem>>())
{
    qInfo() << "create new model" << this << "type" << type;
}

Model::Model(const Model &other)
    : Base3DObject(other), bboxMin(0.0f, 0.0f, 0.0f), bboxMax(0.0f, 0.0f, 0.0f),
      name(other.name + QStringLiteral("_copy")),
      transforms(std::make_shared<std::vector<TransformItem>>(*other.transforms))
{
    if (type == TYPE_NORMAL) {
        mesh = other.mesh;
    } else {
        mesh->vertices = other.mesh->vertices;
        mesh->indices = other.mesh->indices;
        mesh->baseVertexCount = other.mesh->baseVertexCount;
        mesh->partStarts = other.mesh->partStarts;
    }
    meshReady = true;
    qInfo() << "copy create new model" << this << "from" << &other << "type" << type;
    updateGeometry(false);
}

Model::~Model()
{
    qDebug() << "destroy model" << this;
    if (parent) {
        eraseValue(parent->supports, this);
        eraseValue(parent->linkers, this);
        if (parent->supportBase == this)
            parent->supportBase = nullptr;
    }
    // Children may outlive their owner in the workspace list; they must not reach back.
    for (Model *child : supports)
        if (child->parent == this)
            child->parent = nullptr;
    for (Model *child : linkers)
        if (child->parent == this)
            child->parent = nullptr;
    if (supportBase && supportBase->parent == this)
        supportBase->parent = nullptr;
}

QMatrix4x4 Model::modelMatrix() const
{
    if (type == TYPE_PLATFORM_BOTTOM)
        return QMatrix4x4();
    QMatrix4x4 m;
    for (const TransformItem &item : *transforms)
        m = item.postMatrix * item.matrix * item.preMatrix * m;
    return m;
}

QMatrix4x4 Model::normalMatrix() const
{
    QMatrix4x4 n;
    for (const TransformItem &item : *transforms)
        if (item.type != DoItem::DO_T_TRANSLATE)
            n = item.matrix * n;
    return n;
}

QColor Model::color() const
{
    if (type == TYPE_PLATFORM_BOTTOM)
        return QColor(254, 254, 254, 255);
    QColor c = selected ? QColor(128, 128, 240, 255) : QColor(128, 128, 128, 255);
    if (type == TYPE_NORMAL)
        return c;
    if (selected)
        c = QColor(230, 230, 5, 255);
    // A support that was just generated stays red until the selection changes.
    if (justCreated)
        c = QColor(Qt::red);
    return c;
}

void Model::shiftBottom(float) {}

void Model::updateGeometry(bool force)
{
    if (!geometryDirty && !force && !(parent && parent->geometryDirty))
        return;
    applyGeometry(*this, computeMeshGeometry(*mesh, modelMatrix()));
}

void Model::attachChild(Model *child)
{
    if (!child || child == this)
        return;
    if (child->type == TYPE_SUPPORT_BASE)
        supportBase = child;
    else if (child->type == TYPE_SUPPORT_LINKER) {
        if (std::find(linkers.begin(), linkers.end(), child) == linkers.end())
            linkers.push_back(child);
    } else if (std::find(supports.begin(), supports.end(), child) == supports.end()) {
        supports.push_back(child);
    }
    child->parent = this;
    child->transforms = transforms;
    child->geometryDirty = true;
}

void Model::finishMesh()
{
    mesh->baseVertexCount = uint32_t(mesh->vertices.size());
    meshReady = true;
    updateGeometry(true);
    if (!parent)
        return;
    transforms = parent->transforms;
    bool invertible = false;
    QMatrix4x4 inverse = modelMatrix().inverted(&invertible);
    if (!invertible)
        inverse = QMatrix4x4();
    const float *m = inverse.constData();
    std::unique_lock<std::shared_mutex> lock(mesh->lock);
    for (uint32_t i = 0; i < mesh->baseVertexCount; ++i) {
        Vertex &v = mesh->vertices[i];
        float out[3];
        mapPointProjective(m, v.px, v.py, v.pz, out);
        v.px = out[0];
        v.py = out[1];
        v.pz = out[2];
    }
    lock.unlock();
    geometryDirty = true;
    updateGeometry(true);
    buffersUploaded = false;
}

Model *Model::duplicate(bool offset, UndoList *undo)
{
    Model *copy = new Model(*this);
    if (!offset)
        return copy;
    ++copyCount;
    copy->pushTransformWithUndo(undo, DoItem::DO_T_TRANSLATE);
    const float depthMm = bboxMax.y() - bboxMin.y();
    QMatrix4x4 shift;
    shift.translate(0.0f, float(copyCount) * (depthMm + 3.0f), 0.0f);
    copy->transforms->back().matrix = shift;
    copy->geometryDirty = true;
    copy->shiftSupports(0.0f);
    copy->updateGeometry(true);
    return copy;
}

void Model::markTransformChanged()
{
    geometryDirty = true;
    // The support family shares the stack: their cached bounds are stale too, even when this
    // model's own bounds are brought up to date first.
    for (Model *child : supports)
        child->geometryDirty = true;
    for (Model *child : linkers)
        child->geometryDirty = true;
    if (supportBase)
        supportBase->geometryDirty = true;
}

void Model::pushTransform(int type)
{
    TransformItem item;
    item.type = type;
    transforms->push_back(item);
    markTransformChanged();
}

void Model::pushTransformWithUndo(UndoList *undo, int type)
{
    if (undo)
        undo->addDo(this, type);
    else
        pushTransform(type);
}

TransformItem *Model::topItem()
{
    if (transforms->empty()) {
        qWarning() << "no transform item to edit on" << this;
        return nullptr;
    }
    return &transforms->back();
}

bool Model::popTransform()
{
    if (transforms->empty())
        return false;
    const TransformItem &top = transforms->back();
    if (top.type == DoItem::DO_T_TRANSLATE) {
        const QVector3D moved = top.matrix.map(QVector3D());
        qDebug() << "undo doTranslate" << moved << moved.z();
        shiftSupports(-moved.z());
    }
    transforms->pop_back();
    markTransformChanged();
    return true;
}

void Model::setTranslate(float x, float y, float z)
{
    TransformItem *item = topItem();
    if (!item)
        return;
    const QMatrix4x4 old = item->matrix;
    item->matrix.setToIdentity();
    item->matrix.translate(x, y, z);
    const QVector3D d = item->matrix.map(QVector3D()) - old.map(QVector3D());
    qDebug() << "doTranslate" << z << d << d.z();
    markTransformChanged();
    // Supports keep their feet on the platform while the model moves up or down.
    shiftSupports(d.z());
}

void Model::translateBy(float dx, float dy, float dz)
{
    TransformItem *item = topItem();
    if (!item)
        return;
    item->matrix.translate(dx, dy, dz);
    markTransformChanged();
    shiftSupports(dz);
}

void Model::setScale(float x, float y, float z)
{
    TransformItem *item = topItem();
    if (!item)
        return;
    qDebug() << "set model" << this << "new scale" << x << y << z;
    item->matrix.setToIdentity();
    item->matrix.scale(x, y, z);
    markTransformChanged();
}

void Model::setRotate(float ax, float ay, float az, const QVector3D &centre)
{
    updateGeometry(false);
    TransformItem *item = topItem();
    if (!item)
        return;
    item->preMatrix.setToIdentity();
    item->preMatrix.translate(-centre);
    item->matrix.setToIdentity();
    item->matrix.rotate(ax, 1.0f, 0.0f, 0.0f);
    item->matrix.rotate(ay, 0.0f, 1.0f, 0.0f);
    item->matrix.rotate(az, 0.0f, 0.0f, 1.0f);
    item->postMatrix.setToIdentity();
    item->postMatrix.translate(centre);
    markTransformChanged();
}

void Model::flip(int flag, UndoList *undo)
{
    pushTransformWithUndo(undo, DoItem::DO_T_FLIP);
    // Any other flag leaves an identity item that the next pruning removes.
    if (flag == 1)
        setScale(-1.0f, 1.0f, 1.0f);
    else if (flag == 2)
        setScale(1.0f, -1.0f, 1.0f);
    else if (flag == 3)
        setScale(1.0f, 1.0f, -1.0f);
}

void Model::rotate90(UndoList *undo)
{
    pushTransformWithUndo(undo, DoItem::DO_T_ROTATE);
    setRotate(0.0f, 0.0f, 90.0f, center);
}

void Model::shiftSupports(float dzMm)
{
    for (Model *support : supports)
        support->shiftBottom(dzMm);
    if (supportBase) {
        // The base shares our transforms; moving its vertices back keeps it on the platform.
        MeshPrimitiveData &m = *supportBase->mesh;
        std::unique_lock<std::shared_mutex> lock(m.lock);
        for (Vertex &v : m.vertices)
            v.pz -= dzMm;
        supportBase->geometryDirty = true;
        supportBase->buffersUploaded = false;
    }
    for (Model *linker : linkers)
        linker->geometryDirty = true;
}

bool Model::isTopIdentity() const
{
    return !transforms->empty() && transforms->back().matrix.isIdentity();
}

bool Model::load(const QUrl &url, bool smoothNormals, bool generateNormals, UndoList *undo)
{
    fileUrl = url;
    name = url.toLocalFile();
    const QFileInfo info(name);
    if (!info.exists() || !info.isFile()) {
        qWarning() << name << "is not file";
        return false;
    }
    if (!MeshImport::readMeshes(name, smoothNormals, generateNormals, *mesh))
        return false;
    mesh->baseVertexCount = uint32_t(mesh->vertices.size());

    // The stack is still empty, so this is the geometry of the raw vertices.
    const MeshGeometry raw = computeMeshGeometry(*mesh, modelMatrix());
    applyGeometry(*this, raw);
    const QVector3D offset = placementOffset(raw);
    qDebug() << "translate when loaded: " << offset.x() << offset.y() << offset.z();
    splitInTwo(mesh->baseVertexCount, [this, offset](size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i) {
            Vertex &v = mesh->vertices[i];
            v.px += offset.x();
            v.py += offset.y();
            v.pz += offset.z();
        }
    });
    updateGeometry(true);

    const float heightMm = bboxMax.z();
    if (heightMm > 200.0f) {
        pushTransformWithUndo(undo, DoItem::DO_T_SCALE);
        const float factor = 130.0f / heightMm;
        setScale(factor, factor, factor);
    }
    meshReady = true;
    return true;
}

bool Model::normalsInvalid() const
{
    if (!mesh)
        return false;
    size_t count = std::min<size_t>(3, mesh->vertices.size());
    if (mesh->baseVertexCount != 0)
        count = std::min<size_t>(count, mesh->baseVertexCount);
    auto zero = [this](size_t i) {
        const Vertex &v = mesh->vertices[i];
        return v.nx == 0.0f && v.ny == 0.0f && v.nz == 0.0f;
    };
    for (size_t i = 0; i < count; ++i)
        if (!zero(i))
            return mesh->partStarts.size() > 1 && anyPartWithoutNormals();
    return true;
}

bool Model::anyPartWithoutNormals() const
{
    // The meshes of one file may come from different exporters: each part is looked at by
    // the corners of its first triangle.
    for (int start : mesh->partStarts) {
        if (start < 0 || size_t(start) + 3 > mesh->indices.size())
            continue;
        bool allZero = true;
        for (int k = 0; k < 3; ++k) {
            const uint32_t i = mesh->indices[size_t(start + k)];
            if (i >= mesh->vertices.size())
                continue;
            const Vertex &v = mesh->vertices[i];
            allZero &= v.nx == 0.0f && v.ny == 0.0f && v.nz == 0.0f;
        }
        if (allZero)
            return true;
    }
    return false;
}
