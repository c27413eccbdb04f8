// QuorModel's background jobs and placement: slicing, the layer preview, orientation, docking
// and layout.
#include "config/QuorConfig.h"
#include "cws/JobCheck.h"
#include "cws/LayerMath.h"
#include "cws/PlatformBottom.h"
#include "cws/Slice.h"
#include "cws/Slicer.h"
#include "model/DoItem.h"
#include "model/SkylineLayout.h"
#include "workspace/QuorApp.h"
#include "workspace/QuorModel.h"

#include <QDebug>
#include <QThread>
#include <QTime>
#include <QTimer>

#include <algorithm>
#include <exception>

namespace {

// Plate pixel grid of the current printer, the scene origin at the plate centre.
struct PlateGrid
{
    float vx, vy, xppmm, yppmm;
    int widthPx, depthPx;

    explicit PlateGrid(const PrinterModelConfig &p)
        : vx(p.vx), vy(p.vy), xppmm(p.xppmm), yppmm(p.yppmm), widthPx(int(p.vx * p.xppmm) + 1),
          depthPx(int(p.vy * p.yppmm) + 1)
    {
    }
    int column(float x) const { return int((vx * 0.5f + x) * xppmm); }
    int row(float y) const { return int((vy * 0.5f + y) * yppmm); }
};

QString twoDecimals(float v)
{
    return QString::number(double(v), 'f', 2);
}

} // namespace

void QuorModel::ensurePlatformBottom()
{
    for (const Model *object : models)
        if (object->type == Model::TYPE_PLATFORM_BOTTOM)
            return;
    Model *plate = new PlatformBottom();
    models.insert(models.begin(), plate);
    doList.emplace_back(plate, DoItem::DO_NEW);
}

// ---- layer count ----

int QuorModel::calcNumSlices(Model *model)
{
    const float t = QuorConfig::instance()->buildConfig()->layerThicknessMm;
    layerThickness = t;
    if (!model)
        return 0;
    model->updateGeometry(false);
    return CWS::LayerMath::layerCount(model->bboxMax.z(), t);
}

int QuorModel::calcNumSlices()
{
    const float t = QuorConfig::instance()->buildConfig()->layerThicknessMm;
    layerThickness = t;
    float top = 0.0f;
    bool any = false;
    for (Model *object : models) {
        object->updateGeometry(false);
        top = any ? std::max(top, object->bboxMax.z()) : object->bboxMax.z();
        any = true;
    }
    return CWS::LayerMath::layerCount(top, t);
}

// ---- slicing job ----

void QuorModel::startSlice()
{
    qDebug() << QThread::currentThreadId() << "QuorModel::startSlice ";
    // One background job at a time: the generator reads the meshes the slicer would move.
    if (m_slicer) {
        qWarning() << "a slicing job is already running";
        return;
    }
    if (isGeneratingSupports()) {
        qWarning() << "supports are still being generated";
        // Whoever waits for this job hears that it ended without an archive.
        m_lastSliceCompleted = false;
        m_lastSliceError = tr("Supports are still being generated.");
        emit sliceCompletedProgress(1.1f, true, QStringLiteral("slice"));
        return;
    }
    setModelStatus(modelSize() == 0 ? MODEL_INIT : MODEL_SLICING);
    for (Model *object : std::vector<Model *>(models)) {
        if (object->type == Model::TYPE_NORMAL && object->supports.empty())
            object->moveToBottom(true, true);
    }
    deselectAll(true);
    m_cancelSlice = false;
    m_lastSliceCompleted = false;
    m_lastSliceError.clear();
    m_sliceNumber = calcNumSlices();
    if (m_sliceNumber == 0) {
        // An archive of no layers would send the printer through a job that prints nothing.
        m_lastSliceError = CWS::nothingToSliceText(layerThickness);
        qWarning() << m_lastSliceError;
        setModelStatus(modelSize() == 0 ? MODEL_INIT : MODEL_LOADED);
        emit showAlert(m_lastSliceError);
        emit sliceCompletedProgress(1.1f, true, QStringLiteral("slice"));
        return;
    }

    SliceBuildConfig *settings = QuorConfig::instance()->buildConfig();
    const QuorApp *app = QuorApp::instance();
    settings->setOutputArchive(app ? app->cwsFile().toLocalFile() : QString());
    // The job takes its own copy: nothing the window reads changes while it runs.
    m_slicer = new CWS::Slicer(*settings, m_sliceNumber);
    connect(m_slicer, &QThread::finished, this, &QuorModel::sliceFinished);
    jobTimer.start();
    m_slicer->start(QThread::InheritPriority);
}

void QuorModel::sliceFinished()
{
    if (!m_slicer)
        return;
    CWS::Slicer *slicer = m_slicer;
    m_slicer = nullptr;
    disconnect(slicer, nullptr, this, nullptr);
    slicer->wait();
    const CWS::Slicer::Outcome outcome = slicer->outcome();
    const QString reason = slicer->failureReason();
    delete slicer;
    qDebug() << QThread::currentThreadId() << "slice thread finished";
    jobCostMs = jobTimer.isValid() ? int(jobTimer.elapsed()) : 0;
    setModelStatus(modelSize() == 0 ? MODEL_INIT : MODEL_LOADED);

    m_lastSliceCompleted = outcome == CWS::Slicer::Outcome::Completed;
    if (outcome == CWS::Slicer::Outcome::Failed) {
        // A job that did not produce a complete archive is never reported as done.
        m_lastSliceError = reason;
        qWarning() << "slicing failed:" << reason;
        emit showAlert(tr("Slicing failed: %1").arg(reason));
        emit sliceCompletedProgress(1.1f, true, QStringLiteral("slice"));
        return;
    }
    emit sliceCompletedProgress(1.1f, m_cancelSlice.load(), QStringLiteral("slice"));
}

void QuorModel::stopSlicer()
{
    if (!m_slicer)
        return;
    m_cancelSlice = true;
    m_slicer->wait();
    delete m_slicer;
    m_slicer = nullptr;
}

void QuorModel::cancelSlice()
{
    qDebug() << "call cancel slice";
    m_cancelSlice = true;
}

QString QuorModel::getSliceCostTime() const
{
    return QTime(0, 0).addMSecs(std::max(jobCostMs, 0)).toString(Qt::TextDate);
}

void QuorModel::updateSliceProgress(int layers, QString event)
{
    if (layers < m_sliceNumber && m_sliceNumber > 0)
        emit sliceCompletedProgress(float(layers) / float(m_sliceNumber), m_cancelSlice.load(),
                                    event);
}

void QuorModel::updateSliceProgress(int layers)
{
    updateSliceProgress(layers, QStringLiteral("slice"));
}

// ---- layer preview ----

bool QuorModel::setShowSliceEnable(bool enable)
{
    if (!enable) {
        currentLayer = -1;
        for (Model *object : models) {
            object->layerCutCache.resize(0);
            object->buffersUploaded = false;
        }
        // A running job owns the status and hands it back when it ends.
        if (!hasBackgroundJob())
            setModelStatus(modelSize() == 0 ? MODEL_INIT : MODEL_LOADED);
        deselectAll(true);
        return false;
    }
    if (modelSize() == 0 || status == MODEL_SLICING || isGeneratingSupports())
        return false;
    m_sliceNumber = calcNumSlices();
    qDebug() << "total slice number:" << m_sliceNumber;
    emit layerChanged(m_sliceNumber);
    for (Model *object : models)
        object->layerCutCache.resize(m_sliceNumber);
    setModelStatus(MODEL_SHOW_SLICE);
    setCurrentLayer(0);
    return true;
}

void QuorModel::setCurrentLayer(int layer)
{
    if (status != MODEL_SHOW_SLICE || layer < 0 || layer >= m_sliceNumber)
        return;
    qDebug() << QThread::currentThreadId() << "show layer" << layer;
    const SliceBuildConfig *settings = QuorConfig::instance()->buildConfig();
    currentLayer = layer;
    currentLayerZ = (float(layer) + 0.5f) * settings->layerThicknessMm;
    try {
        for (Model *object : models) {
            object->buildPreviewCut(layer, currentLayerZ);
            object->buffersUploaded = false;
        }
    } catch (const std::exception &e) {
        qCritical() << "show layer" << layer << "exception"
                    << (e.what() && *e.what() ? e.what() : "Unknown exception");
    } catch (...) {
        qCritical() << "show layer" << layer << "exception ...";
    }
    emit quorModelDataChanged();
}

// ---- orientation and docking ----

QStringList QuorModel::rotateSelectedToLowest()
{
    if (refuseWhileBusy("rotateSelectedToLowest"))
        return {twoDecimals(0.0f), twoDecimals(0.0f)};
    Model *sel = getSelectedModel();
    if (!sel)
        return {twoDecimals(0.0f), twoDecimals(0.0f)};
    float ax = 0.0f, ay = 0.0f;
    sel->autoRotate(&ax, &ay);
    emit quorModelDataChanged();
    return {twoDecimals(ax), twoDecimals(ay)};
}

QStringList QuorModel::rotateAllToLowest()
{
    if (refuseWhileBusy("rotateAllToLowest"))
        return {twoDecimals(0.0f), twoDecimals(0.0f)};
    const QStringList result = rotateSelectedToLowest();
    const Model *sel = getSelectedModel();
    // The others turn one at a time from the event loop, so that the view shows each step and
    // the window keeps answering meanwhile.
    m_toTurn.clear();
    for (Model *object : models) {
        if (object == sel || object->type != Model::TYPE_NORMAL || !object->supports.empty() ||
            object->supportBase)
            continue;
        m_toTurn.push_back(object);
    }
    if (!m_toTurn.empty()) {
        if (!m_turnTimer) {
            m_turnTimer = new QTimer(this);
            m_turnTimer->setInterval(300);
            connect(m_turnTimer, &QTimer::timeout, this, &QuorModel::turnNextToLowest);
        }
        m_turnTimer->start();
    }
    return result;
}

void QuorModel::turnNextToLowest()
{
    if (m_toTurn.empty() || hasBackgroundJob()) {
        m_toTurn.clear();
        m_turnTimer->stop();
        return;
    }
    Model *object = m_toTurn.front();
    m_toTurn.erase(m_toTurn.begin());
    // Supports added since the command was given keep this model as it is.
    if (object->supports.empty() && !object->supportBase) {
        object->pushTransformWithUndo(DoItem::DO_T_ROTATE);
        float ax, ay;
        object->autoRotate(&ax, &ay);
        emit quorModelDataChanged();
    }
    if (m_toTurn.empty())
        m_turnTimer->stop();
}

float QuorModel::moveToBottom()
{
    if (refuseWhileBusy("moveToBottom"))
        return 0.0f;
    qDebug() << "QuorModel::moveToBottom";
    Model *sel = getSelectedModel();
    if (!sel) {
        qCritical() << "no model selected";
        return 0.0f;
    }
    const float z = sel->moveToBottom(false, false);
    emit quorModelDataChanged();
    return z;
}

// ---- layout ----

void QuorModel::autoLayoutModel()
{
    autoLayoutModel(-1);
}

void QuorModel::autoLayoutModel(int sel)
{
    if (refuseWhileBusy("autoLayoutModel"))
        return;
    qDebug() << "autoLayoutModel" << sel;
    const PlateGrid grid(QuorConfig::instance()->currentPrinterModel());
    qDebug() << "max pixel" << grid.widthPx << grid.depthPx;

    std::vector<Model *> toPlace;
    for (Model *object : models)
        if (object->type == Model::TYPE_NORMAL)
            toPlace.push_back(object);
    qDebug() << "model to sort size" << int(toPlace.size());
    auto longerSide = [](Model *m) {
        m->updateGeometry(false);
        return std::max(m->bboxMax.x() - m->bboxMin.x(), m->bboxMax.y() - m->bboxMin.y());
    };
    std::stable_sort(toPlace.begin(), toPlace.end(),
                     [&](Model *a, Model *b) { return longerSide(a) > longerSide(b); });
    qDebug() << "sort end";

    QVector<SkylineLayout::Footprint> footprints;
    for (Model *m : toPlace) {
        qDebug() << "layout model" << m;
        m->updateGeometry(false);
        footprints.append({grid.column(m->bboxMax.x()) - grid.column(m->bboxMin.x()) + 1,
                           grid.row(m->bboxMax.y()) - grid.row(m->bboxMin.y()) + 1});
    }
    const SkylineLayout::Result layout =
        SkylineLayout::pack(footprints, grid.widthPx, grid.depthPx);
    if (layout.placements.size() != footprints.size()) {
        qDebug() << "layout failed" << footprints.size() << layout.placements.size();
        return;
    }
    qDebug() << "layout cal succeed, apply them" << layout.usedWidthPx << layout.usedDepthPx
             << grid.widthPx << grid.depthPx;
    const int offX =
        layout.usedWidthPx < grid.widthPx ? (grid.widthPx - layout.usedWidthPx) / 2 : 0;
    const int offY =
        layout.usedDepthPx < grid.depthPx ? (grid.depthPx - layout.usedDepthPx) / 2 : 0;
    for (size_t i = 0; i < toPlace.size(); ++i) {
        Model *m = toPlace[i];
        const SkylineLayout::Placement &p = layout.placements[int(i)];
        if (p.rotated) {
            m->pushTransformWithUndo(DoItem::DO_T_ROTATE);
            m->updateGeometry(false);
            m->setRotate(0.0f, 0.0f, 90.0f, m->center);
            m->updateGeometry(false);
        }
        const float dx = float(p.xPx + offX - grid.column(m->bboxMin.x())) / grid.xppmm;
        const float dy = float(offY + p.yPx - grid.row(m->bboxMin.y())) / grid.yppmm;
        qDebug() << "move" << m << dx << dy;
        m->pushTransformWithUndo(DoItem::DO_T_TRANSLATE);
        m->translateBy(dx, dy, 0.0f);
        m->updateGeometry(false);
    }
    if (Model *selected = getSelectedModel())
        selectModel(selected);
    else
        emit quorModelDataChanged();
    qDebug() << "auto layout end";
}
