#pragma once

#include <QObject>
#include <QPointF>

#include <vector>

class Model;
class QTimer;
class QuorConfig;
class SceneObjects;
class UndoList;

// The selected object's transform: the step the Move, Scale and Rotate pages edit (its kind and
// its x, y, z), mirroring, docking, turning to the lowest height and the automatic layout.
// A page opens a step with begin() while it shows; every new selection opens the next one.
class TransformController : public QObject
{
    Q_OBJECT
    // The DoItem type of the open step (translate, scale or rotate), or -1 when no page edits.
    Q_PROPERTY(int mode READ mode NOTIFY modeChanged)
    // The open step's values: mm, factors or degrees. Writing one applies all three.
    Q_PROPERTY(double x READ x WRITE setX NOTIFY valuesChanged)
    Q_PROPERTY(double y READ y WRITE setY NOTIFY valuesChanged)
    Q_PROPERTY(double z READ z WRITE setZ NOTIFY valuesChanged)
public:
    TransformController(SceneObjects &scene, UndoList &undo, QuorConfig &config,
                        QObject *parent = nullptr);
    ~TransformController() override;

    int mode() const { return m_mode; }
    double x() const { return m_values[0]; }
    double y() const { return m_values[1]; }
    double z() const { return m_values[2]; }
    void setX(double v) { setValues(v, m_values[1], m_values[2]); }
    void setY(double v) { setValues(m_values[0], v, m_values[2]); }
    void setZ(double v) { setValues(m_values[0], m_values[1], v); }

    // A page opens a step of its kind on the selection, its values at identity (0, or 1 for a
    // scale), and keeps it open across selections until end().
    Q_INVOKABLE void begin(int type);
    // The page of this kind is done; a step another page opened meanwhile stays open.
    Q_INVOKABLE void end(int type);
    // Applies the three values to the open step; nothing when they are the ones it has.
    Q_INVOKABLE void setValues(double x, double y, double z);
    // Puts the open step back at identity.
    Q_INVOKABLE void reset();
    Q_INVOKABLE void flip(int flag);
    // Rests the selection on the plate (or its base); a move page shows the step's new z.
    Q_INVOKABLE void dockToBottom();
    // The selection, or also every other free model one after the other, tilted to the smallest
    // height; a rotate page shows the selection's two angles.
    Q_INVOKABLE void rotateSelectedToLowest();
    Q_INVOKABLE void rotateAllToLowest();
    Q_INVOKABLE void autoLayoutModel();

    // The operations behind them, for the mouse, the jobs and the command-line slicer.
    void startNewTransform(int t);
    void setSelectedModelTranslate(float x, float y, float z);
    void setSelectedModelScale(float x, float y, float z);
    void setSelectedModelRotate(float x, float y, float z);
    // The new z offset of the selection's newest step, 0 without a selection.
    float moveToBottom();
    // The two angles (degrees) the selection was tilted by, rounded to hundredths.
    QPointF turnSelectedToLowest();
    // Places every normal model on the plate; sel is not used.
    void autoLayoutModel(int sel);

signals:
    void modeChanged();
    void valuesChanged();
    // A step of this kind was opened (a page shows its identity values).
    void begun(int type);

private:
    // The selection, unless a job runs or nothing is selected (then null and a log line).
    Model *selectedToEdit(const char *command) const;
    void applyValues();
    void setShownValues(double x, double y, double z);
    void turnNextToLowest();

    SceneObjects &m_scene;
    UndoList &m_undo;
    QuorConfig &m_config;
    int m_mode = -1;
    double m_values[3] = {0.0, 0.0, 0.0};
    // Models still to turn by "Rotate all to lowest", one per timer tick.
    std::vector<Model *> m_toTurn;
    QTimer *m_turnTimer = nullptr;
};
