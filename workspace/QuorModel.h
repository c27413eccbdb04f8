#pragma once

#include "model/DoItem.h"
#include "model/Model.h"
#include "model/PickHit.h"
#include "workspace/CameraState.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <QPoint>
#include <QSet>
#include <QSize>
#include <QStringList>
#include <QUrl>

#include <atomic>
#include <memory>
#include <vector>

class QDataStream;
class PanelState;
class QTimer;
class ViewPicker;
class ViewRenderer;
namespace CWS {
class Slicer;
class SupportGenerator;
} // namespace CWS

// The workspace: every mesh object of the scene, the selection, the status machine the UI
// follows and the undo list; also the state of the 3D view's camera and the rules of its mouse.
// One instance, created by the main UI document. The view (view/) draws it and answers picks.
class QuorModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool manualAddingSupport READ isManualAddingSupport NOTIFY
                   manualAddingSupportChanged)
    Q_PROPERTY(PanelState *panel READ panel CONSTANT)
public:
    enum ModelStatus
    {
        MODEL_INIT = 0,
        MODEL_LOADED = 1,
        MODEL_SLICING = 2,
        MODEL_SHOW_SLICE = 3,
        MODEL_AUTO_GEN_SUPPORT = 4
    };
    Q_ENUM(ModelStatus)

    explicit QuorModel(QObject *parent = nullptr);
    ~QuorModel() override;

    static QuorModel *instance() { return s_instance; }
    // What the window's controls follow.
    PanelState *panel() const { return m_panel; }

    Q_INVOKABLE void deleteSelectedModel();
    Q_INVOKABLE int modelSize() const;
    Q_INVOKABLE void copyModel(int n);
    Q_INVOKABLE float getTotalVolume();
    Q_INVOKABLE QStringList getSelectedModelInfo() const;
    Q_INVOKABLE bool isSelectedModel() const;
    Q_INVOKABLE bool isSelectedModelTypeNormal() const;
    Q_INVOKABLE bool isSelectedModelHaveAnySupports() const;
    Q_INVOKABLE void setModelStatus(int status);
    Q_INVOKABLE void setModelStatus(QuorModel::ModelStatus status, bool force);
    Q_INVOKABLE void setModelStatus(QuorModel::ModelStatus status);
    Q_INVOKABLE void setSelectedModelTranslate(float x, float y, float z);
    Q_INVOKABLE void setSelectedModelScale(float x, float y, float z);
    Q_INVOKABLE void setSelectedModelRotate(float x, float y, float z);
    Q_INVOKABLE void flip(int flag);
    Q_INVOKABLE Model *getSelectedModel() const;
    Q_INVOKABLE int getSelectedModelIndex() const;
    Q_INVOKABLE void removeAllSupportsOfSelectedModel();
    Q_INVOKABLE void undo();
    Q_INVOKABLE void startNewTransform(int t);
    Q_INVOKABLE bool hasAnyNewDo() const { return hasNewDo; }

    // Support family edits (workspace/QuorModelSupports.cpp).
    Q_INVOKABLE void addSupportBase(float thickness);
    Q_INVOKABLE void setManualAddingSupport(bool checked);
    bool isManualAddingSupport() const { return manualAddingSupport; }
    // The creations a manual click leads to; false when nothing was added.
    bool addSupportFromHit(const PickHit &hit);
    bool addMultiPointSupport(const std::vector<PickHit> &hits);

    // Slicing and the layer preview.
    Q_INVOKABLE void cancelSlice();
    Q_INVOKABLE bool getCancelSlice() const { return m_cancelSlice.load(); }
    Q_INVOKABLE int sliceNumber() const { return m_sliceNumber; }
    Q_INVOKABLE int calcNumSlices(Model *model);
    Q_INVOKABLE int calcNumSlices();
    Q_INVOKABLE QString getSliceCostTime() const;
    Q_INVOKABLE bool setShowSliceEnable(bool enable);
    Q_INVOKABLE void setCurrentLayer(int layer);
    // How the last slicing job ended: complete, or why not.
    bool lastSliceCompleted() const { return m_lastSliceCompleted; }
    QString lastSliceError() const { return m_lastSliceError; }
    bool isSlicing() const { return m_slicer != nullptr; }
    // Puts the build plate at position 0 unless it is there; the renderer's first frame does
    // it in the GUI, headless callers call it themselves so counts match the GUI's.
    void ensurePlatformBottom();

    // Automatic supports (workspace/QuorModelAutoSupport.cpp); the thickness is not used.
    Q_INVOKABLE void addSupportAuto(float thickness);
    bool isGeneratingSupports() const { return m_supportGenerator != nullptr; }
    bool hasBackgroundJob() const { return isSlicing() || isGeneratingSupports(); }

    // Orientation and placement.
    Q_INVOKABLE QStringList rotateSelectedToLowest();
    Q_INVOKABLE QStringList rotateAllToLowest();
    Q_INVOKABLE float moveToBottom();
    Q_INVOKABLE void autoLayoutModel(int sel);
    Q_INVOKABLE void autoLayoutModel();

    void addModel(Model *object);
    void removeModel(Model *object);
    bool deleteModel(Model *object);
    void selectModel(Model *object);
    void deselectAll(bool notify);
    bool loadModel(const QUrl &url);
    // The model file extensions import reads (.stl, .obj, in any case).
    static bool hasModelExtension(const QString &fileName);

    // The objects block of a project file (workspace/QuorModelProject.cpp). Loading adds to
    // what is there; on failure the objects read so far stay.
    bool saveObjects(QDataStream &out) const;
    bool loadObjects(QDataStream &in, int major, int minor);

    // Undo machinery.
    void addDo(Model *model, int type);
    void dropNoOpRecords();
    void removeRecordsOf(const Model *model);

    // GPU copies of destroyed objects (by draw id), freed later on the render thread.
    void releaseBuffer(quint64 drawId);
    std::vector<quint64> takeReleasedBuffers();

    // ---- 3D view: camera (workspace/QuorModelView.cpp) ----
    Q_INVOKABLE void resetViewPrj();
    Q_INVOKABLE void resetViewTop();
    Q_INVOKABLE void resetViewFront();
    Q_INVOKABLE void resetViewLeft();
    Q_INVOKABLE void resetViewRight();
    Q_INVOKABLE void zoomOut();
    Q_INVOKABLE void zoomIn();
    const CameraState &camera() const { return m_camera; }
    // The view's size in device pixels; written by the view while the GUI thread waits for it.
    void setViewportSize(const QSize &sizePx) { m_viewportPx = sizePx; }
    QSize viewportSize() const { return m_viewportPx; }

    // ---- 3D view: mouse (workspace/QuorModelMouse.cpp) ----
    Q_INVOKABLE void onMousePressed(uint button, uint x, uint y);
    Q_INVOKABLE void onMousePressedMove(uint button, QPoint from, QPoint pre, QPoint to);
    Q_INVOKABLE void onMouseReleased(uint button, uint x, uint y);
    Q_INVOKABLE void onMouseClicked(uint button, uint x, uint y, bool holdingShift);
    Q_INVOKABLE void onWheel(QPoint angleDelta);
    int dragState() const { return m_dragState; }
    // Hits under a view pixel on objects of the given types, nearest first.
    std::vector<PickHit> pickObjects(int x, int y, const QSet<int> &types);
    std::vector<PickHit> pickObjects(int x, int y, int type);
    // The view installs its picker; the workspace owns it.
    void setPicker(std::unique_ptr<ViewPicker> picker);
    ViewPicker *picker() const { return m_picker.get(); }
    // Render thread only: the renderer that paint() draws with, or null.
    void setRenderer(ViewRenderer *renderer) { m_renderer = renderer; }

    ModelStatus status = MODEL_INIT;
    QElapsedTimer jobTimer;
    int jobCostMs = -1;
    float layerThickness = 0.0f;
    int currentLayer = -1;
    float currentLayerZ = 0.0f;
    std::vector<Model *> models;
    bool useSmoothNormals = false;
    int m_sliceNumber = 0;
    std::atomic_bool m_cancelSlice{false};
    bool manualAddingSupport = false;
    std::vector<DoItem> doList;
    bool hasNewDo = false;

public slots:
    // Render thread, before Qt Quick draws: the whole 3D picture.
    void paint();
    void startSlice();
    void sliceFinished();
    void updateSliceProgress(int layers, QString event);
    void updateSliceProgress(int layers);
    void onAddAutoSupport(float x, float y, float z, float zbase, Model *model);
    void onAutoGenSupportFinished();

signals:
    void quorModelDataChanged();
    void modelStatusChanged(QuorModel::ModelStatus statusPre, QuorModel::ModelStatus statusNew,
                            bool haveSupports, bool isNormalType);
    void modelSelectionChanged(int index);
    void layerChanged(int layer);
    void sliceCompletedProgress(float ratio, bool canceld, QString event);
    void showAlert(QString msg);
    void manualAddingSupportChanged();

private:
    // A model that never entered the list: its load records go with it.
    void discardModel(Model *model);
    // Ends a failed project load with what was read so far editable.
    bool failProjectLoad();
    bool readObjects(QDataStream &in, int major, int minor);
    // Scene edits wait for the background jobs, whose threads read the meshes and transforms
    // without locking: true (and a log line) while one runs.
    bool refuseWhileBusy(const char *command) const;
    int indexOf(const Model *object) const;
    Model *selectedOrWarn() const;
    // A manual-mode click: a pillar, a point for a multi-point support, or a selection.
    void manualSupportClick(uint x, uint y, bool holdingShift);
    void resetCamera(int yawDeg, int pitchDeg, float baseY, bool resetZoom);
    // Forgets every mouse state that names the object.
    void forgetMouseStateOf(const Model *object);

    // Ends a running job before the workspace goes away.
    void stopSlicer();
    void stopSupportGenerator();

    static QuorModel *s_instance;

    CWS::Slicer *m_slicer = nullptr;
    CWS::SupportGenerator *m_supportGenerator = nullptr;
    bool m_lastSliceCompleted = false;
    QString m_lastSliceError;

    PanelState *m_panel = nullptr;
    // Models still to turn by "Rotate all to lowest", one per timer tick.
    std::vector<Model *> m_toTurn;
    QTimer *m_turnTimer = nullptr;
    void turnNextToLowest();

    CameraState m_camera;
    QSize m_viewportPx;
    std::unique_ptr<ViewPicker> m_picker;
    ViewRenderer *m_renderer = nullptr;
    int m_dragState = 0;
    Model *m_dragged = nullptr;
    // Clicks collected with Shift for a multi-point support; -1 marks the finishing click.
    int m_multiPointCount = 0;
    std::vector<PickHit> m_collectedPoints;

    std::vector<quint64> m_releasedBuffers;
    static QMutex s_releaseMutex;
};
