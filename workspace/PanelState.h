#pragma once

#include "workspace/PanelRules.h"
#include "workspace/SceneObjects.h"

#include <QObject>
#include <QString>

class JobController;
class SupportController;

// What the window shows of the workspace's state: the enabling rules of its controls,
// re-evaluated on every status change, and the progress bar of long jobs. The documents bind
// to these properties instead of working the rules out themselves.
class PanelState : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool infoEnabled READ infoEnabled NOTIFY rulesChanged)
    Q_PROPERTY(bool moveEnabled READ moveEnabled NOTIFY rulesChanged)
    Q_PROPERTY(bool scaleEnabled READ scaleEnabled NOTIFY rulesChanged)
    Q_PROPERTY(bool rotateEnabled READ rotateEnabled NOTIFY rulesChanged)
    Q_PROPERTY(bool flipEnabled READ flipEnabled NOTIFY rulesChanged)
    Q_PROPERTY(bool copyEnabled READ copyEnabled NOTIFY rulesChanged)
    Q_PROPERTY(bool supportEnabled READ supportEnabled NOTIFY rulesChanged)
    Q_PROPERTY(bool layoutEnabled READ layoutEnabled NOTIFY rulesChanged)
    Q_PROPERTY(bool sliceEnabled READ sliceEnabled NOTIFY rulesChanged)
    Q_PROPERTY(bool rotateXYEnabled READ rotateXYEnabled NOTIFY rulesChanged)
    Q_PROPERTY(bool rotateToLowestEnabled READ rotateToLowestEnabled NOTIFY rulesChanged)
    Q_PROPERTY(bool moveZEnabled READ moveZEnabled NOTIFY rulesChanged)
    Q_PROPERTY(bool flipZEnabled READ flipZEnabled NOTIFY rulesChanged)
    Q_PROPERTY(bool supportBaseEnabled READ supportBaseEnabled NOTIFY rulesChanged)
    Q_PROPERTY(bool autoSupportEnabled READ autoSupportEnabled NOTIFY rulesChanged)
    Q_PROPERTY(bool manualSupportEnabled READ manualSupportEnabled NOTIFY rulesChanged)
    Q_PROPERTY(bool removeSupportsEnabled READ removeSupportsEnabled NOTIFY rulesChanged)
    Q_PROPERTY(bool showSliceEnabled READ showSliceEnabled NOTIFY rulesChanged)
    Q_PROPERTY(bool hintVisible READ hintVisible NOTIFY rulesChanged)
    Q_PROPERTY(bool haveSupports READ haveSupports NOTIFY rulesChanged)
    Q_PROPERTY(bool progressVisible READ progressVisible NOTIFY progressChanged)
    Q_PROPERTY(double progressValue READ progressValue NOTIFY progressChanged)
    Q_PROPERTY(QString progressPrompt READ progressPrompt NOTIFY progressChanged)
public:
    PanelState(SceneObjects &scene, SupportController &supports, JobController &jobs,
               QObject *parent = nullptr);

    bool infoEnabled() const { return m_rules.info; }
    bool moveEnabled() const { return m_rules.move; }
    bool scaleEnabled() const { return m_rules.scale; }
    bool rotateEnabled() const { return m_rules.rotate; }
    bool flipEnabled() const { return m_rules.flip; }
    bool copyEnabled() const { return m_rules.copy; }
    bool supportEnabled() const { return m_rules.support; }
    bool layoutEnabled() const { return m_rules.layout; }
    bool sliceEnabled() const { return m_rules.slice; }
    bool rotateXYEnabled() const { return m_rules.rotateXY; }
    bool rotateToLowestEnabled() const { return m_rules.rotateToLowest; }
    bool moveZEnabled() const { return m_rules.moveZ; }
    bool flipZEnabled() const { return m_rules.flipZ; }
    bool supportBaseEnabled() const { return m_rules.supportBase; }
    bool autoSupportEnabled() const { return m_rules.autoSupport; }
    bool manualSupportEnabled() const { return m_rules.manualSupport; }
    bool removeSupportsEnabled() const { return m_rules.removeSupports; }
    bool showSliceEnabled() const { return m_rules.showSlice; }
    bool hintVisible() const { return m_rules.hint; }
    bool haveSupports() const { return m_haveSupports; }

    Q_INVOKABLE bool rotateZEnabled(double x, double y) const
    {
        return PanelRules::rotateZ(m_haveSupports, x, y);
    }

    bool progressVisible() const { return m_progressVisible; }
    double progressValue() const { return m_progressValue; }
    QString progressPrompt() const { return m_progressPrompt; }
    // Shows the bar at 0 before a job of the given kind ("slice", "autoSupport") starts.
    Q_INVOKABLE void showProgress(const QString &event);

signals:
    void rulesChanged();
    void progressChanged();
    // A slicing job finished: the completion dialog's figures.
    void sliceCompleted(int layers, const QString &costTime);

private:
    void onStatusChanged(SceneObjects::ModelStatus statusPre, SceneObjects::ModelStatus statusNew,
                         bool haveSupports, bool isNormalType);
    void reevaluate();
    void updateProgress(float ratio, bool canceld, const QString &event);
    static QString promptFor(const QString &event);

    SceneObjects &m_scene;
    SupportController &m_supports;
    JobController &m_jobs;
    PanelRules m_rules;
    int m_status = SceneObjects::MODEL_INIT;
    bool m_haveSupports = false;
    bool m_isNormalType = false;
    bool m_progressVisible = false;
    double m_progressValue = 0.0;
    QString m_progressPrompt;
};
