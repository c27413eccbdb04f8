#include "workspace/SceneObjects.h"

#include "config/QuorConfig.h"
#include "model/LayerMath.h"
#include "model/PlatformBottom.h"
#include "model/UndoList.h"

#include <QDebug>
#include <QMutexLocker>
#include <QThread>

#include <algorithm>

SceneObjects::SceneObjects(QuorConfig &config, UndoList &undo, QObject *parent)
    : QAbstractListModel(parent), m_config(config), m_undo(undo)
{
    qRegisterMetaType<SceneObjects::ModelStatus>("SceneObjects::ModelStatus");
    qRegisterMetaType<Model *>("Model*");
}

SceneObjects::~SceneObjects()
{
    const std::vector<Model *> all = std::move(m_objects);
    m_objects.clear();
    for (Model *object : all)
        delete object;
}

// ---- list model ----

int SceneObjects::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_objects.size());
}

QVariant SceneObjects::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= int(m_objects.size()))
        return QVariant();
    const Model *object = m_objects[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case NameRole:
        return object->name;
    case TypeRole:
        return object->type;
    case SelectedRole:
        return object->selected;
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> SceneObjects::roleNames() const
{
    return {{NameRole, "name"}, {TypeRole, "type"}, {SelectedRole, "selected"}};
}

int SceneObjects::indexOf(const Model *object) const
{
    const auto it = std::find(m_objects.begin(), m_objects.end(), object);
    return it == m_objects.end() ? -1 : int(it - m_objects.begin());
}

void SceneObjects::selectionRowsChanged()
{
    if (!m_objects.empty())
        emit dataChanged(index(0), index(int(m_objects.size()) - 1), {SelectedRole});
    emit selectionChanged();
}

// ---- status ----

void SceneObjects::setModelStatus(int status)
{
    setModelStatus(ModelStatus(status), false);
}

void SceneObjects::setModelStatus(ModelStatus newStatus, bool force)
{
    // The plate alone is an empty workspace.
    if (modelSize() == 0)
        newStatus = MODEL_INIT;
    if (!force && newStatus == m_status)
        return;
    const ModelStatus old = m_status;
    m_status = newStatus;
    if (old != newStatus)
        emit statusChanged();
    emit selectionChanged();
    emit modelStatusChanged(old, newStatus, isSelectedModelHaveAnySupports(),
                            isSelectedModelTypeNormal());
}

// ---- selection ----

void SceneObjects::selectModel(Model *object)
{
    if (!object)
        return;
    deselectAll(false);
    object->selected = true;
    object->justCreated = false;
    const int index = indexOf(object);
    if (index < 0)
        return;
    if (m_status == MODEL_INIT) {
        m_status = MODEL_LOADED;
        emit statusChanged();
    }
    selectionRowsChanged();
    // Forced, so the UI always hears about the new selection's supports and type.
    setModelStatus(m_status, true);
    emit modelSelectionChanged(index);
    emit quorModelDataChanged();
}

void SceneObjects::deselectAll(bool notify)
{
    for (Model *object : m_objects) {
        object->justCreated = false;
        object->selected = false;
    }
    if (notify) {
        selectionRowsChanged();
        setModelStatus(m_status, true);
        emit modelSelectionChanged(-1);
        emit quorModelDataChanged();
    }
}

Model *SceneObjects::getSelectedModel() const
{
    for (Model *object : m_objects)
        if (object->selected)
            return object;
    return nullptr;
}

int SceneObjects::getSelectedModelIndex() const
{
    return indexOf(getSelectedModel());
}

bool SceneObjects::isSelectedModel() const
{
    return getSelectedModel() != nullptr;
}

bool SceneObjects::isSelectedModelTypeNormal() const
{
    const Model *sel = getSelectedModel();
    return sel && sel->type == Model::TYPE_NORMAL;
}

bool SceneObjects::isSelectedModelHaveAnySupports() const
{
    const Model *sel = getSelectedModel();
    return sel && (sel->supportBase || !sel->supports.empty());
}

std::vector<Model *> SceneObjects::selectedOrAllModels() const
{
    std::vector<Model *> targets;
    if (Model *selected = getSelectedModel())
        targets.push_back(selected);
    else
        targets = m_objects;
    targets.erase(std::remove_if(targets.begin(), targets.end(),
                                 [](const Model *m) { return m->type != Model::TYPE_NORMAL; }),
                  targets.end());
    return targets;
}

QVector3D SceneObjects::selectedSizeMm() const
{
    // The cached values as they are: the selection's geometry is current after every edit.
    const Model *sel = getSelectedModel();
    return sel ? sel->bboxMax - sel->bboxMin : QVector3D();
}

double SceneObjects::selectedVolumeMl() const
{
    const Model *sel = getSelectedModel();
    return sel ? double(sel->volume) : 0.0;
}

// ---- queries ----

int SceneObjects::modelSize() const
{
    // The platform bottom does not count.
    return int(std::count_if(m_objects.begin(), m_objects.end(), [](const Model *m) {
        return m->type != Model::TYPE_PLATFORM_BOTTOM;
    }));
}

float SceneObjects::getTotalVolume()
{
    float total = 0.0f;
    for (Model *object : m_objects) {
        object->updateGeometry(false);
        total += object->volume;
    }
    return total;
}

int SceneObjects::layerCountOf(Model *object, float thicknessMm)
{
    if (!object)
        return 0;
    object->updateGeometry(false);
    return CWS::LayerMath::layerCount(object->bboxMax.z(), thicknessMm);
}

int SceneObjects::layerCount(float thicknessMm) const
{
    float top = 0.0f;
    bool any = false;
    for (Model *object : m_objects) {
        object->updateGeometry(false);
        top = any ? std::max(top, object->bboxMax.z()) : object->bboxMax.z();
        any = true;
    }
    return CWS::LayerMath::layerCount(top, thicknessMm);
}

// ---- editing ----

void SceneObjects::addModel(Model *object)
{
    if (!object)
        return;
    const int row = int(m_objects.size());
    beginInsertRows(QModelIndex(), row, row);
    m_objects.push_back(object);
    endInsertRows();
    m_undo.recordNew(object);
    emit objectAdded(object);
    emit countChanged();
}

void SceneObjects::removeModel(Model *object)
{
    qDebug() << "set remove model" << object;
    const int row = indexOf(object);
    if (row < 0)
        return;
    emit objectRemoving(object);
    beginRemoveRows(QModelIndex(), row, row);
    m_objects.erase(m_objects.begin() + row);
    endRemoveRows();
    // No record may name an object that is gone.
    m_undo.removeRecordsOf(object);
    // The view frees its GPU copy with its next frame, on the render thread.
    if (object->inView) {
        QMutexLocker lock(&m_releaseMutex);
        m_releasedBuffers.push_back(object->drawId);
    }
    delete object;
    emit countChanged();
    emit selectionChanged();
}

void SceneObjects::discardModel(Model *model)
{
    m_undo.removeRecordsOf(model);
    delete model;
}

bool SceneObjects::refuseWhileBusy(const char *command) const
{
    if (!m_jobRunning)
        return false;
    qWarning() << command << "refused while a background job runs";
    return true;
}

bool SceneObjects::deleteModel(Model *object)
{
    if (!object || refuseWhileBusy("deleteModel"))
        return false;
    const bool normal = object->type == Model::TYPE_NORMAL;
    if (m_modelsLocked && normal) {
        qDebug() << "forbid del model when add support manully";
        return false;
    }
    if (m_status == MODEL_SHOW_SLICE && normal) {
        qDebug() << "forbid del normal model when show 3d slice";
        return false;
    }
    for (Model *child : object->takeAllSupports())
        removeModel(child);
    removeModel(object);
    emit quorModelDataChanged();
    if (modelSize() == 0)
        setModelStatus(MODEL_INIT, false);
    return true;
}

void SceneObjects::deleteSelectedModel()
{
    qDebug() << "delete the selected Model";
    if (m_status != MODEL_LOADED && m_status != MODEL_SHOW_SLICE) {
        qDebug() << "not in status MODEL_LOADED, do nothing";
        return;
    }
    Model *sel = getSelectedModel();
    deleteModel(sel);
    // Dropped even when the delete is refused.
    if (sel)
        m_undo.removeRecordsOf(sel);
}

void SceneObjects::copyModel(int n)
{
    if (refuseWhileBusy("copyModel"))
        return;
    if (n < 0 || n >= int(m_objects.size())) {
        qWarning() << "QuorModel::copyModel input out of range:" << n;
        return;
    }
    Model *source = m_objects[size_t(n)];
    if (source->type != Model::TYPE_NORMAL) {
        qWarning() << "only normal model can be copyed";
        return;
    }
    const Model::Duplicates copies = source->duplicateWithSupports(&m_undo);
    // The braces join first, as each copied pillar makes its own.
    for (Model *linker : copies.linkers)
        addModel(linker);
    for (Model *object : copies.objects)
        addModel(object);
}

bool SceneObjects::hasModelExtension(const QString &fileName)
{
    const QString name = fileName.toLower();
    return name.endsWith(QLatin1String(".stl")) || name.endsWith(QLatin1String(".obj"));
}

bool SceneObjects::loadModel(const QUrl &url)
{
    qDebug() << QThread::currentThreadId() << "QuorModel::loadModel " << url;
    if (m_status > MODEL_LOADED) {
        qDebug() << "invalid status for load" << m_status;
        return false;
    }
    if (!hasModelExtension(url.fileName())) {
        qWarning() << "unsupported file type";
        return false;
    }

    Model *model = new Model(Model::TYPE_NORMAL);
    try {
        if (!model->load(url, m_useSmoothNormals, false, &m_undo)) {
            qDebug() << "load failed";
            discardModel(model);
            return false;
        }
        qDebug() << "load succeed 1";
        if (model->normalsInvalid()) {
            qDebug() << "normal is invalid, reload and generate normal";
            discardModel(model);
            model = nullptr;
            model = new Model(Model::TYPE_NORMAL);
            if (!model->load(url, m_useSmoothNormals, true, &m_undo)) {
                qDebug() << "load failed";
                discardModel(model);
                return false;
            }
        }
    } catch (...) {
        // The caller logs it; the half-filled model and its records must not stay behind.
        if (model)
            discardModel(model);
        throw;
    }
    addModel(model);
    selectModel(model);
    return true;
}

void SceneObjects::ensurePlatformBottom()
{
    for (const Model *object : m_objects)
        if (object->type == Model::TYPE_PLATFORM_BOTTOM)
            return;
    const PrinterModelConfig printer = m_config.currentPrinterModel();
    Model *plate = new PlatformBottom(printer.vx, printer.vy);
    beginInsertRows(QModelIndex(), 0, 0);
    m_objects.insert(m_objects.begin(), plate);
    endInsertRows();
    m_undo.recordNew(plate);
    emit selectionChanged(); // the selection's index moved on by one
}

std::vector<quint64> SceneObjects::takeReleasedBuffers()
{
    QMutexLocker lock(&m_releaseMutex);
    std::vector<quint64> ids;
    ids.swap(m_releasedBuffers);
    return ids;
}
