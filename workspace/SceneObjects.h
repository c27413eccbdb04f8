#pragma once

#include "model/Model.h"

#include <QAbstractListModel>
#include <QMutex>
#include <QUrl>
#include <QVector3D>

#include <vector>

class QuorConfig;
class UndoList;

// The scene: every mesh object (the build plate, the user's models and the support family) in
// insertion order, which of them is selected, and the status the window follows. A list model
// with one row per object; it owns the objects, and others read them through objects() or a
// job's snapshot.
class SceneObjects : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int status READ statusValue NOTIFY statusChanged)
    // Objects other than the plate.
    Q_PROPERTY(int modelCount READ modelSize NOTIFY countChanged)
    Q_PROPERTY(int selectedIndex READ getSelectedModelIndex NOTIFY selectionChanged)
    Q_PROPERTY(bool hasSelection READ isSelectedModel NOTIFY selectionChanged)
    Q_PROPERTY(bool selectedIsNormal READ isSelectedModelTypeNormal NOTIFY selectionChanged)
    Q_PROPERTY(bool selectedHasSupports READ isSelectedModelHaveAnySupports NOTIFY selectionChanged)
    // The selected object's bounding-box size and volume; zero without a selection.
    Q_PROPERTY(QVector3D selectedSizeMm READ selectedSizeMm NOTIFY quorModelDataChanged)
    Q_PROPERTY(double selectedVolumeMl READ selectedVolumeMl NOTIFY quorModelDataChanged)
    Q_PROPERTY(double totalVolumeMl READ totalVolumeMl NOTIFY quorModelDataChanged)
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

    enum Role
    {
        NameRole = Qt::UserRole + 1,
        TypeRole,
        SelectedRole
    };

    // New objects are recorded in undo; the plate is sized from the configuration's printer.
    SceneObjects(QuorConfig &config, UndoList &undo, QObject *parent = nullptr);
    ~SceneObjects() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    const std::vector<Model *> &objects() const { return m_objects; }
    bool contains(const Model *object) const { return indexOf(object) >= 0; }
    int indexOf(const Model *object) const;

    // ---- status ----
    ModelStatus status() const { return m_status; }
    int statusValue() const { return m_status; }
    // An empty scene is always MODEL_INIT; forced, the signal goes out even without a change.
    void setModelStatus(ModelStatus status, bool force = false);
    Q_INVOKABLE void setModelStatus(int status);

    // ---- selection ----
    Model *getSelectedModel() const;
    int getSelectedModelIndex() const;
    bool isSelectedModel() const;
    bool isSelectedModelTypeNormal() const;
    bool isSelectedModelHaveAnySupports() const;
    void selectModel(Model *object);
    void deselectAll(bool notify);
    QVector3D selectedSizeMm() const;
    // What a command for "the selection, or all" acts on: the selected object, or every object
    // without a selection, of these only the normal models.
    std::vector<Model *> selectedOrAllModels() const;
    double selectedVolumeMl() const;

    // ---- queries ----
    int modelSize() const;
    // Sums every object's volume, the geometry brought up to date first.
    float getTotalVolume();
    double totalVolumeMl() { return double(getTotalVolume()); }
    // Layers of the whole scene, and of one object, at the given thickness.
    int layerCount(float thicknessMm) const;
    static int layerCountOf(Model *object, float thicknessMm);

    // ---- editing ----
    // Appends an object and records its creation for undo.
    void addModel(Model *object);
    // Takes an object out of the list and frees it; one not in the list is left alone.
    void removeModel(Model *object);
    // The guarded deletion of an object with its support family.
    bool deleteModel(Model *object);
    Q_INVOKABLE void deleteSelectedModel();
    Q_INVOKABLE void copyModel(int n);
    bool loadModel(const QUrl &url);
    // The model file extensions import reads (.stl, .obj, in any case).
    static bool hasModelExtension(const QString &fileName);
    // Puts the build plate at position 0 unless it is there; the view's first frame does it in
    // the window, headless callers call it themselves so counts match the window's.
    void ensurePlatformBottom();
    // Any change of scene content that needs a repaint and new figures.
    void notifyDataChanged() { emit quorModelDataChanged(); }

    // While supports are placed by hand, the models they go on may not be deleted.
    void setModelsLocked(bool locked) { m_modelsLocked = locked; }

    // ---- background jobs ----
    // While a job runs, its threads read the meshes and transforms without locking.
    void setJobRunning(bool running) { m_jobRunning = running; }
    bool isJobRunning() const { return m_jobRunning; }
    // True (and a log line) while a job runs: scene edits wait for it.
    bool refuseWhileBusy(const char *command) const;

    // GPU copies of freed objects (by draw id), for the view to free on its render thread.
    std::vector<quint64> takeReleasedBuffers();

signals:
    void quorModelDataChanged();
    void modelStatusChanged(SceneObjects::ModelStatus statusPre,
                            SceneObjects::ModelStatus statusNew, bool haveSupports,
                            bool isNormalType);
    void statusChanged();
    // The newly selected object's index, or -1 after clearing.
    void modelSelectionChanged(int index);
    // Anything the selection's properties read may have changed.
    void selectionChanged();
    void countChanged();
    // A message for the person's alert dialog.
    void showAlert(QString msg);
    void objectAdded(Model *object);
    // Just before an object leaves the list and is freed.
    void objectRemoving(Model *object);

private:
    // A model that never entered the list: its load records go with it.
    void discardModel(Model *model);
    void selectionRowsChanged();

    QuorConfig &m_config;
    UndoList &m_undo;
    std::vector<Model *> m_objects;
    ModelStatus m_status = MODEL_INIT;
    bool m_jobRunning = false;
    bool m_modelsLocked = false;
    bool m_useSmoothNormals = false;
    std::vector<quint64> m_releasedBuffers;
    QMutex m_releaseMutex;
};
