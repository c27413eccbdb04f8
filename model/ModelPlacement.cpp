// Model's orientation and docking: the smallest height search and resting on the plate.
#include "model/DoItem.h"
#include "model/Model.h"

#include <QDebug>

#include <algorithm>

namespace {

float heightOf(Model &m)
{
    m.updateGeometry(false);
    return m.bboxMax.z() - m.bboxMin.z();
}

float heightRotated(Model &m, float ax, float ay, const QVector3D &centre)
{
    m.setRotate(ax, ay, 0.0f, centre);
    return heightOf(m);
}

} // namespace

bool Model::autoRotate(float *axDeg, float *ayDeg)
{
    qDebug() << "Auto rotate model" << this;
    float ax = 0.0f;
    float ay = 0.0f;
    updateGeometry(false);
    float best = bboxMax.z() - bboxMin.z();
    QVector3D c = center;

    // Which way each axis lowers the model.
    const float sx = heightRotated(*this, 0.1f, 0, c) < heightRotated(*this, -0.1f, 0, c) ? 1 : -1;
    const float sy = heightRotated(*this, 0, 0.1f, c) < heightRotated(*this, 0, -0.1f, c) ? 1 : -1;

    float step = 1.0f;
    while (ay < 30.0f) {
        const float tx = ax + sx * step;
        const float hx = heightRotated(*this, tx, ay, c);
        const QVector3D cx = center;
        const float ty = ay + sy * step;
        const float hy = heightRotated(*this, ax, ty, c);
        const QVector3D cy = center;
        if (hx < best || hy < best) {
            if (best - std::min(hx, hy) < 0.001f)
                break;
            if (hx < best && hx <= hy) {
                ax = tx;
                best = hx;
                c = cx;
            } else if (hy < best && hy <= hx) {
                ay = ty;
                best = hy;
                c = cy;
            }
        } else if (step > 0.999f) {
            step = 0.1f;
        } else if (step > 0.099f) {
            step = 0.01f;
        } else {
            break;
        }
        if (!(ax < 30.0f))
            break;
    }
    setRotate(ax, ay, 0.0f, c);
    updateGeometry(false);
    *axDeg = ax;
    *ayDeg = ay;
    return ax != 0.0f || ay != 0.0f;
}

float Model::floorGapMm()
{
    updateGeometry(false);
    float floor = 0.0f;
    if (supportBase) {
        supportBase->updateGeometry(false);
        floor = supportBase->bboxMax.z();
    }
    return floor - bboxMin.z();
}

float Model::moveToBottom(bool onlyIfBelow, bool newStep, UndoList *undo)
{
    const float dz = floorGapMm();
    auto stepOffsetZ = [this] {
        return transforms->empty() ? 0.0f : transforms->back().matrix.map(QVector3D()).z();
    };
    if (onlyIfBelow && dz >= 0.0f)
        return stepOffsetZ();
    if (newStep)
        pushTransformWithUndo(undo, DoItem::DO_T_TRANSLATE);
    qDebug() << "translate z:" << dz;
    if (dz == 0.0f)
        return 0.0f;
    translateBy(0.0f, 0.0f, dz);
    updateGeometry(false);
    return stepOffsetZ();
}
