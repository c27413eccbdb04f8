#include "workspace/QuorModel.h"

#include "workspace/PanelState.h"
#include "workspace/ViewPicker.h"

#include <QDebug>
#include <QMutexLocker>
#include <QThread>

#include <algorithm>

QuorModel *QuorModel::s_instance = nullptr;
QMutex QuorModel::s_releaseMutex;

QuorModel::QuorModel(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<QuorModel::ModelStatus>("QuorModel::ModelStatus");
    qRegisterMetaType<Model *>("Model*");
    s_instance = this;
    m_panel = new PanelState(*this);
    // The camera as the view's first frame leaves it, set here so that the GUI thread is the
    // only writer of the camera.
    resetCamera(-70, -70, -0.4f, true);
}

QuorModel::~QuorModel()
{
    qDebug() << QThread::currentThreadId() << "QuorModel::~QuorModel()";
    stopSlicer();
    stopSupportGenerator();
    s_instance = nullptr;
    m_picker.reset();
    qDebug() << QThread::currentThreadId() << "QuorModel::~QuorModel() end";
    doList.clear();
    const std::vector<Model *> all = std::move(models);
    models.clear();
    for (Model *object : all)
        delete object;
}

int QuorModel::indexOf(const Model *object) const
{
    const auto it = std::find(models.begin(), models.end(), object);
    return it == models.end() ? -1 : int(it - models.begin());
}

// ---- status and selection ----

void QuorModel::setModelStatus(int status)
{
    setModelStatus(ModelStatus(status), false);
}

void QuorModel::setModelStatus(ModelStatus status)
{
    setModelStatus(status, false);
}

void QuorModel::setModelStatus(ModelStatus newStatus, bool force)
{
    // The plate alone is an empty workspace.
    if (modelSize() == 0)
        newStatus = MODEL_INIT;
    if (!force && newStatus == status)
        return;
    const ModelStatus old = status;
    status = newStatus;
    const Model *sel = getSelectedModel();
    const bool haveSupports = sel && (sel->supportBase || !sel->supports.empty());
    const bool isNormalType = sel && sel->type == Model::TYPE_NORMAL;
    emit modelStatusChanged(old, newStatus, haveSupports, isNormalType);
}

void QuorModel::selectModel(Model *object)
{
    if (!object)
        return;
    deselectAll(false);
    object->selected = true;
    object->justCreated = false;
    const int index = indexOf(object);
    if (index < 0)
        return;
    if (status == MODEL_INIT)
        status = MODEL_LOADED;
    // Forced, so the UI always hears about the new selection's supports and type.
    setModelStatus(status, true);
    emit modelSelectionChanged(index);
    emit quorModelDataChanged();
}

void QuorModel::deselectAll(bool notify)
{
    for (Model *object : models) {
        object->justCreated = false;
        object->selected = false;
    }
    if (notify) {
        setModelStatus(status, true);
        emit modelSelectionChanged(-1);
        emit quorModelDataChanged();
    }
}

Model *QuorModel::getSelectedModel() const
{
    for (Model *object : models)
        if (object->selected)
            return object;
    return nullptr;
}

int QuorModel::getSelectedModelIndex() const
{
    return indexOf(getSelectedModel());
}

bool QuorModel::isSelectedModel() const
{
    return getSelectedModel() != nullptr;
}

bool QuorModel::isSelectedModelTypeNormal() const
{
    const Model *sel = getSelectedModel();
    return sel && sel->type == Model::TYPE_NORMAL;
}

bool QuorModel::isSelectedModelHaveAnySupports() const
{
    const Model *sel = getSelectedModel();
    return sel && (sel->supportBase || !sel->supports.empty());
}

// ---- object list ----

void QuorModel::addModel(Model *object)
{
    if (!object)
        return;
    if (currentLayer >= 0)
        object->layerCutCache.resize(m_sliceNumber);
    models.push_back(object);
    doList.emplace_back(object, DoItem::DO_NEW);
}

void QuorModel::removeModel(Model *object)
{
    qDebug() << "set remove model" << object;
    const auto it = std::find(models.begin(), models.end(), object);
    if (it == models.end())
        return;
    models.erase(it);
    // No record may name an object that is gone.
    removeRecordsOf(object);
    forgetMouseStateOf(object);
    m_toTurn.erase(std::remove(m_toTurn.begin(), m_toTurn.end(), object), m_toTurn.end());
    delete object;
}

void QuorModel::discardModel(Model *model)
{
    removeRecordsOf(model);
    delete model;
}

bool QuorModel::refuseWhileBusy(const char *command) const
{
    if (!hasBackgroundJob())
        return false;
    qWarning() << command << "refused while a background job runs";
    return true;
}

bool QuorModel::deleteModel(Model *object)
{
    if (!object || refuseWhileBusy("deleteModel"))
        return false;
    const bool normal = object->type == Model::TYPE_NORMAL;
    if (manualAddingSupport && normal) {
        qDebug() << "forbid del model when add support manully";
        return false;
    }
    if (status == MODEL_SHOW_SLICE && normal) {
        qDebug() << "forbid del normal model when show 3d slice";
        return false;
    }
    object->removeAllSupports();
    removeModel(object);
    emit quorModelDataChanged();
    if (modelSize() == 0)
        setModelStatus(MODEL_INIT, false);
    return true;
}

void QuorModel::deleteSelectedModel()
{
    qDebug() << "delete the selected Model";
    if (status != MODEL_LOADED && status != MODEL_SHOW_SLICE) {
        qDebug() << "not in status MODEL_LOADED, do nothing";
        return;
    }
    Model *sel = getSelectedModel();
    deleteModel(sel);
    // Dropped even when the delete is refused.
    if (sel)
        removeRecordsOf(sel);
}

void QuorModel::removeAllSupportsOfSelectedModel()
{
    if (refuseWhileBusy("removeAllSupportsOfSelectedModel"))
        return;
    Model *sel = getSelectedModel();
    if (!sel)
        return;
    sel->removeAllSupports();
    selectModel(sel);
}

void QuorModel::copyModel(int n)
{
    if (refuseWhileBusy("copyModel"))
        return;
    if (n < 0 || n >= int(models.size())) {
        qWarning() << "QuorModel::copyModel input out of range:" << n;
        return;
    }
    Model *source = models[size_t(n)];
    if (source->type != Model::TYPE_NORMAL) {
        qWarning() << "only normal model can be copyed";
        return;
    }
    for (Model *object : source->duplicateWithSupports()) {
        if (currentLayer >= 0)
            object->layerCutCache.resize(m_sliceNumber);
        models.push_back(object);
        doList.emplace_back(object, DoItem::DO_NEW);
    }
}

// ---- queries ----

int QuorModel::modelSize() const
{
    // The platform bottom does not count.
    return int(std::count_if(models.begin(), models.end(), [](const Model *m) {
        return m->type != Model::TYPE_PLATFORM_BOTTOM;
    }));
}

float QuorModel::getTotalVolume()
{
    float total = 0.0f;
    for (Model *object : models) {
        object->updateGeometry(false);
        total += object->volume;
    }
    return total;
}

QStringList QuorModel::getSelectedModelInfo() const
{
    float sx = 0.0f, sy = 0.0f, sz = 0.0f, vol = 0.0f;
    if (const Model *sel = getSelectedModel()) {
        sx = sel->bboxMax.x() - sel->bboxMin.x();
        sy = sel->bboxMax.y() - sel->bboxMin.y();
        sz = sel->bboxMax.z() - sel->bboxMin.z();
        vol = sel->volume;
    }
    return {QString::number(double(sx), 'f', 2), QString::number(double(sy), 'f', 2),
            QString::number(double(sz), 'f', 2), QString::number(double(vol), 'f', 2)};
}

// ---- loading ----

bool QuorModel::hasModelExtension(const QString &fileName)
{
    const QString name = fileName.toLower();
    return name.endsWith(QLatin1String(".stl")) || name.endsWith(QLatin1String(".obj"));
}

bool QuorModel::loadModel(const QUrl &url)
{
    qDebug() << QThread::currentThreadId() << "QuorModel::loadModel " << url;
    if (status > MODEL_LOADED) {
        qDebug() << "invalid status for load" << status;
        return false;
    }
    if (!hasModelExtension(url.fileName())) {
        qWarning() << "unsupported file type";
        return false;
    }

    Model *model = new Model(Model::TYPE_NORMAL);
    try {
        if (!model->load(url, useSmoothNormals, false)) {
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
            if (!model->load(url, useSmoothNormals, true)) {
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

// ---- transforms and undo ----

Model *QuorModel::selectedOrWarn() const
{
    Model *sel = getSelectedModel();
    if (!sel)
        qWarning() << "no model selected";
    return sel;
}

void QuorModel::setSelectedModelTranslate(float x, float y, float z)
{
    if (refuseWhileBusy("setSelectedModelTranslate"))
        return;
    Model *sel = selectedOrWarn();
    if (!sel)
        return;
    sel->setTranslate(x, y, z);
    emit quorModelDataChanged();
}

void QuorModel::setSelectedModelScale(float x, float y, float z)
{
    if (refuseWhileBusy("setSelectedModelScale"))
        return;
    Model *sel = selectedOrWarn();
    if (!sel)
        return;
    sel->setScale(x, y, z);
    emit quorModelDataChanged();
}

void QuorModel::setSelectedModelRotate(float x, float y, float z)
{
    if (refuseWhileBusy("setSelectedModelRotate"))
        return;
    Model *sel = selectedOrWarn();
    if (!sel)
        return;
    sel->updateGeometry(false);
    sel->setRotate(x, y, z, sel->center);
    emit quorModelDataChanged();
}

void QuorModel::flip(int flag)
{
    if (refuseWhileBusy("flip"))
        return;
    Model *sel = getSelectedModel();
    if (!sel)
        return;
    sel->flip(flag);
    emit quorModelDataChanged();
}

void QuorModel::dropNoOpRecords()
{
    while (!doList.empty() && doList.back().dropIfNoOp())
        doList.pop_back();
}

void QuorModel::removeRecordsOf(const Model *model)
{
    doList.erase(std::remove_if(doList.begin(), doList.end(),
                                [model](const DoItem &r) { return r.model == model; }),
                 doList.end());
}

void QuorModel::addDo(Model *model, int type)
{
    dropNoOpRecords();
    model->pushTransform(type);
    doList.emplace_back(model, DoItem::DoType(type));
    hasNewDo = true;
}

void QuorModel::startNewTransform(int t)
{
    if (refuseWhileBusy("startNewTransform"))
        return;
    Model *sel = getSelectedModel();
    if (!sel)
        return;
    // A creation or unknown type here would plant a false record in the undo list.
    if (!DoItem::isTransformType(t)) {
        qWarning() << "startNewTransform: not a transform type" << t;
        return;
    }
    dropNoOpRecords();
    sel->pushTransform(t);
    doList.emplace_back(sel, DoItem::DoType(t));
    hasNewDo = true;
}

void QuorModel::undo()
{
    qDebug() << "undo";
    if (refuseWhileBusy("undo"))
        return;
    if (doList.empty()) {
        qDebug() << "do list empty";
        return;
    }
    dropNoOpRecords();
    if (!doList.empty()) {
        const DoItem newest = doList.back();
        bool done = false;
        if (newest.type == DoItem::DO_NEW) {
            if (newest.model && newest.model->type == Model::TYPE_NORMAL) {
                qDebug() << "undo skip new model";
            } else if (deleteModel(newest.model)) {
                // Every record of the deleted object goes, not only this one.
                removeRecordsOf(newest.model);
                done = true;
            }
        } else if (DoItem::isTransformType(newest.type)) {
            if (doList.back().undoTransform()) {
                doList.pop_back();
                done = true;
            }
        }
        if (done)
            emit quorModelDataChanged();
    }
    hasNewDo = !doList.empty();
}

// ---- GPU buffer release ----

void QuorModel::releaseBuffer(quint64 drawId)
{
    QMutexLocker lock(&s_releaseMutex);
    m_releasedBuffers.push_back(drawId);
}

std::vector<quint64> QuorModel::takeReleasedBuffers()
{
    QMutexLocker lock(&s_releaseMutex);
    std::vector<quint64> ids;
    ids.swap(m_releasedBuffers);
    return ids;
}
