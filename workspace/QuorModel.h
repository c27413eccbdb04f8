#pragma once

#include "model/DoItem.h"
#include "model/Model.h"
#include "model/PickHit.h"

#include <QElapsedTimer>
#include <QMatrix4x4>
#include <QMutex>
#include <QObject>
#include <QOpenGLFunctions>
#include <QStringList>
#include <QUrl>

#include <atomic>
#include <vector>

class QDataStream;
class QOpenGLShaderProgram;
namespace CWS {
class Slicer;
class SupportGenerator;
} // namespace CWS

// The workspace: every mesh object of the scene, the selection, the status machine the UI
// follows and the undo list. One instance, created by the main UI document.
class QuorModel : public QObject, public QOpenGLFunctions
{
    Q_OBJECT
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

    // The objects block of a project file (workspace/QuorModelProject.cpp). Loading adds to
    // what is there; on failure the objects read so far stay.
    bool saveObjects(QDataStream &out) const;
    bool loadObjects(QDataStream &in, int major, int minor);

    // Undo machinery.
    void addDo(Model *model, int type);
    void dropNoOpRecords();
    void removeRecordsOf(const Model *model);

    // Buffer names of destroyed objects, deleted later on the render thread.
    void releaseBuffer(GLuint name);
    std::vector<GLuint> takeReleasedBuffers();

    // 3D view state read by every object's draw.
    QOpenGLShaderProgram *shaderProgram() const { return m_program; }
    QMatrix4x4 modelScaleMatrix() const { return m_modelScale; }
    float cameraPitchDeg() const { return m_cameraPitchDeg; }

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
    void sliceCompletedProgress(float ratio, bool canceld);
    void showAlert(QString msg);

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

    // Ends a running job before the workspace goes away.
    void stopSlicer();
    void stopSupportGenerator();

    static QuorModel *s_instance;

    CWS::Slicer *m_slicer = nullptr;
    CWS::SupportGenerator *m_supportGenerator = nullptr;
    bool m_lastSliceCompleted = false;
    QString m_lastSliceError;

    QOpenGLShaderProgram *m_program = nullptr;
    QMatrix4x4 m_modelScale;
    float m_cameraPitchDeg = 0.0f;
    std::vector<GLuint> m_releasedBuffers;
    static QMutex s_releaseMutex;
};
