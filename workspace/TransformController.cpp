#include "workspace/TransformController.h"

#include "config/QuorConfig.h"
#include "model/DoItem.h"
#include "model/Model.h"
#include "model/SkylineLayout.h"
#include "model/UndoList.h"
#include "workspace/SceneObjects.h"

#include <QDebug>
#include <QTimer>

#include <algorithm>
#include <cmath>

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

// An angle as the rotate page shows it: rounded to hundredths.
double hundredths(float degrees)
{
    return QString::number(double(degrees), 'f', 2).toDouble();
}

double identityValue(int type)
{
    return type == DoItem::DO_T_SCALE ? 1.0 : 0.0;
}

} // namespace

TransformController::TransformController(SceneObjects &scene, UndoList &undo, QuorConfig &config,
                                         QObject *parent)
    : QObject(parent), m_scene(scene), m_undo(undo), m_config(config)
{
    // A page keeps editing whatever is selected next, each selection in a step of its own.
    connect(&scene, &SceneObjects::modelSelectionChanged, this, [this] {
        if (m_mode >= 0)
            begin(m_mode);
    });
    connect(&scene, &SceneObjects::objectRemoving, this, [this](Model *object) {
        m_toTurn.erase(std::remove(m_toTurn.begin(), m_toTurn.end(), object), m_toTurn.end());
    });
}

TransformController::~TransformController() = default;

// ---- the open step ----

void TransformController::begin(int type)
{
    if (type != DoItem::DO_T_TRANSLATE && type != DoItem::DO_T_SCALE &&
        type != DoItem::DO_T_ROTATE) {
        qWarning() << "begin: not a page's transform type" << type;
        return;
    }
    const bool modeChange = m_mode != type;
    m_mode = type;
    startNewTransform(type);
    const double v = identityValue(type);
    setShownValues(v, v, v);
    if (modeChange)
        emit modeChanged();
    emit begun(type);
}

void TransformController::end(int type)
{
    if (m_mode < 0 || m_mode != type)
        return;
    m_mode = -1;
    emit modeChanged();
}

void TransformController::setValues(double x, double y, double z)
{
    if (x == m_values[0] && y == m_values[1] && z == m_values[2])
        return;
    m_values[0] = x;
    m_values[1] = y;
    m_values[2] = z;
    applyValues();
    emit valuesChanged();
}

void TransformController::reset()
{
    if (m_mode < 0)
        return;
    const double v = identityValue(m_mode);
    m_values[0] = m_values[1] = m_values[2] = v;
    applyValues();
    emit valuesChanged();
}

void TransformController::setShownValues(double x, double y, double z)
{
    m_values[0] = x;
    m_values[1] = y;
    m_values[2] = z;
    emit valuesChanged();
}

void TransformController::applyValues()
{
    const float x = float(m_values[0]), y = float(m_values[1]), z = float(m_values[2]);
    if (m_mode == DoItem::DO_T_TRANSLATE)
        setSelectedModelTranslate(x, y, z);
    else if (m_mode == DoItem::DO_T_SCALE)
        setSelectedModelScale(x, y, z);
    else if (m_mode == DoItem::DO_T_ROTATE)
        setSelectedModelRotate(x, y, z);
}

// ---- steps on the selection ----

Model *TransformController::selectedToEdit(const char *command) const
{
    if (m_scene.refuseWhileBusy(command))
        return nullptr;
    Model *sel = m_scene.getSelectedModel();
    if (!sel)
        qWarning() << "no model selected";
    return sel;
}

void TransformController::startNewTransform(int t)
{
    if (m_scene.refuseWhileBusy("startNewTransform"))
        return;
    Model *sel = m_scene.getSelectedModel();
    if (!sel)
        return;
    // A creation or unknown type here would plant a false record in the undo list.
    if (!DoItem::isTransformType(t)) {
        qWarning() << "startNewTransform: not a transform type" << t;
        return;
    }
    m_undo.addDo(sel, t);
}

void TransformController::setSelectedModelTranslate(float x, float y, float z)
{
    Model *sel = selectedToEdit("setSelectedModelTranslate");
    if (!sel)
        return;
    sel->setTranslate(x, y, z);
    m_scene.notifyDataChanged();
}

void TransformController::setSelectedModelScale(float x, float y, float z)
{
    Model *sel = selectedToEdit("setSelectedModelScale");
    if (!sel)
        return;
    sel->setScale(x, y, z);
    m_scene.notifyDataChanged();
}

void TransformController::setSelectedModelRotate(float x, float y, float z)
{
    Model *sel = selectedToEdit("setSelectedModelRotate");
    if (!sel)
        return;
    sel->updateGeometry(false);
    sel->setRotate(x, y, z, sel->center);
    m_scene.notifyDataChanged();
}

void TransformController::flip(int flag)
{
    if (m_scene.refuseWhileBusy("flip"))
        return;
    Model *sel = m_scene.getSelectedModel();
    if (!sel)
        return;
    sel->flip(flag, &m_undo);
    m_scene.notifyDataChanged();
}

// ---- docking and orientation ----

float TransformController::moveToBottom()
{
    if (m_scene.refuseWhileBusy("moveToBottom"))
        return 0.0f;
    qDebug() << "QuorModel::moveToBottom";
    Model *sel = m_scene.getSelectedModel();
    if (!sel) {
        qCritical() << "no model selected";
        return 0.0f;
    }
    const float z = sel->moveToBottom(false, false, &m_undo);
    m_scene.notifyDataChanged();
    return z;
}

void TransformController::dockToBottom()
{
    const float z = moveToBottom();
    if (m_mode == DoItem::DO_T_TRANSLATE)
        setZ(double(z));
}

QPointF TransformController::turnSelectedToLowest()
{
    if (m_scene.refuseWhileBusy("rotateSelectedToLowest"))
        return QPointF();
    Model *sel = m_scene.getSelectedModel();
    if (!sel)
        return QPointF();
    float ax = 0.0f, ay = 0.0f;
    sel->autoRotate(&ax, &ay);
    m_scene.notifyDataChanged();
    return QPointF(hundredths(ax), hundredths(ay));
}

void TransformController::rotateSelectedToLowest()
{
    if (!m_scene.isSelectedModel())
        return;
    const QPointF angles = turnSelectedToLowest();
    // The model already lies as the search left it: the page only shows the angles.
    if (m_mode == DoItem::DO_T_ROTATE)
        setShownValues(angles.x(), angles.y(), m_values[2]);
}

void TransformController::rotateAllToLowest()
{
    if (m_scene.refuseWhileBusy("rotateAllToLowest"))
        return;
    const QPointF angles = turnSelectedToLowest();
    const Model *sel = m_scene.getSelectedModel();
    // The others turn one at a time from the event loop, so that the view shows each step and
    // the window keeps answering meanwhile.
    m_toTurn.clear();
    for (Model *object : m_scene.objects()) {
        if (object == sel || object->type != Model::TYPE_NORMAL || !object->supports.empty() ||
            object->supportBase)
            continue;
        m_toTurn.push_back(object);
    }
    if (!m_toTurn.empty()) {
        if (!m_turnTimer) {
            m_turnTimer = new QTimer(this);
            m_turnTimer->setInterval(300);
            connect(m_turnTimer, &QTimer::timeout, this, &TransformController::turnNextToLowest);
        }
        m_turnTimer->start();
    }
    if (m_mode == DoItem::DO_T_ROTATE)
        setShownValues(angles.x(), angles.y(), m_values[2]);
}

void TransformController::turnNextToLowest()
{
    if (m_toTurn.empty() || m_scene.isJobRunning()) {
        m_toTurn.clear();
        m_turnTimer->stop();
        return;
    }
    Model *object = m_toTurn.front();
    m_toTurn.erase(m_toTurn.begin());
    // Supports added since the command was given keep this model as it is.
    if (object->supports.empty() && !object->supportBase) {
        object->pushTransformWithUndo(&m_undo, DoItem::DO_T_ROTATE);
        float ax, ay;
        object->autoRotate(&ax, &ay);
        m_scene.notifyDataChanged();
    }
    if (m_toTurn.empty())
        m_turnTimer->stop();
}

// ---- layout ----

void TransformController::autoLayoutModel()
{
    autoLayoutModel(-1);
}

void TransformController::autoLayoutModel(int sel)
{
    if (m_scene.refuseWhileBusy("autoLayoutModel"))
        return;
    qDebug() << "autoLayoutModel" << sel;
    const PlateGrid grid(m_config.currentPrinterModel());
    qDebug() << "max pixel" << grid.widthPx << grid.depthPx;

    std::vector<Model *> toPlace;
    for (Model *object : m_scene.objects())
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
            m->pushTransformWithUndo(&m_undo, DoItem::DO_T_ROTATE);
            m->updateGeometry(false);
            m->setRotate(0.0f, 0.0f, 90.0f, m->center);
            m->updateGeometry(false);
        }
        const float dx = float(p.xPx + offX - grid.column(m->bboxMin.x())) / grid.xppmm;
        const float dy = float(offY + p.yPx - grid.row(m->bboxMin.y())) / grid.yppmm;
        qDebug() << "move" << m << dx << dy;
        m->pushTransformWithUndo(&m_undo, DoItem::DO_T_TRANSLATE);
        m->translateBy(dx, dy, 0.0f);
        m->updateGeometry(false);
    }
    if (Model *selected = m_scene.getSelectedModel())
        m_scene.selectModel(selected);
    else
        m_scene.notifyDataChanged();
    qDebug() << "auto layout end";
}
