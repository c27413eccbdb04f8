#include "workspace/UndoController.h"

#include "model/Model.h"
#include "model/UndoList.h"
#include "workspace/SceneObjects.h"

#include <QDebug>

UndoController::UndoController(SceneObjects &scene, UndoList &undo, QObject *parent)
    : QObject(parent), m_scene(scene), m_undo(undo)
{
    // Steps are opened by every part of the workspace; each shows in the scene's data.
    connect(&scene, &SceneObjects::quorModelDataChanged, this, &UndoController::checkHasAnyNewDo);
}

bool UndoController::hasAnyNewDo() const
{
    return m_undo.hasNewDo();
}

void UndoController::checkHasAnyNewDo()
{
    if (m_hasAnyNewDo == m_undo.hasNewDo())
        return;
    m_hasAnyNewDo = m_undo.hasNewDo();
    emit hasAnyNewDoChanged();
}

void UndoController::undo()
{
    qDebug() << "undo";
    if (m_scene.refuseWhileBusy("undo"))
        return;
    if (m_undo.isEmpty()) {
        qDebug() << "do list empty";
        return;
    }
    m_undo.dropNoOpRecords();
    if (!m_undo.isEmpty()) {
        DoItem newest = m_undo.records().back();
        bool done = false;
        if (newest.type == DoItem::DO_NEW) {
            if (newest.model && newest.model->type == Model::TYPE_NORMAL) {
                qDebug() << "undo skip new model";
            } else if (m_scene.deleteModel(newest.model)) {
                // Every record of the deleted object goes, not only this one.
                m_undo.removeRecordsOf(newest.model);
                done = true;
            }
        } else if (DoItem::isTransformType(newest.type)) {
            if (newest.undoTransform()) {
                m_undo.removeNewest();
                done = true;
            }
        }
        if (done)
            m_scene.notifyDataChanged();
    }
    m_undo.setHasNewDo(!m_undo.isEmpty());
    checkHasAnyNewDo();
}
