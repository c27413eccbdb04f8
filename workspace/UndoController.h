#pragma once

#include <QObject>

class SceneObjects;
class UndoList;

// Undo: takes back the newest step (a transform, or an added support), never a loaded model.
class UndoController : public QObject
{
    Q_OBJECT
    // A step was opened since the start, or records remain after the last undo.
    Q_PROPERTY(bool hasAnyNewDo READ hasAnyNewDo NOTIFY hasAnyNewDoChanged)
public:
    UndoController(SceneObjects &scene, UndoList &undo, QObject *parent = nullptr);

    Q_INVOKABLE void undo();
    bool hasAnyNewDo() const;

signals:
    void hasAnyNewDoChanged();

private:
    void checkHasAnyNewDo();

    SceneObjects &m_scene;
    UndoList &m_undo;
    bool m_hasAnyNewDo = false;
};
