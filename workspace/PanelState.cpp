#include "workspace/PanelState.h"

#include "workspace/JobController.h"
#include "workspace/SupportController.h"

PanelState::PanelState(SceneObjects &scene, SupportController &supports, JobController &jobs,
                       QObject *parent)
    : QObject(parent), m_scene(scene), m_supports(supports), m_jobs(jobs)
{
    connect(&scene, &SceneObjects::modelStatusChanged, this, &PanelState::onStatusChanged);
    connect(&supports, &SupportController::manualAddingSupportChanged, this,
            &PanelState::reevaluate);
    // The bar follows after the job's own listeners, as it did when progress came from the
    // jobs' threads.
    connect(&jobs, &JobController::sliceCompletedProgress, this, &PanelState::updateProgress,
            Qt::QueuedConnection);
    m_rules = PanelRules::evaluate(m_status, -1, false, false, false);
}

void PanelState::onStatusChanged(SceneObjects::ModelStatus, SceneObjects::ModelStatus statusNew,
                                 bool haveSupports, bool isNormalType)
{
    m_status = statusNew;
    m_haveSupports = haveSupports;
    m_isNormalType = isNormalType;
    reevaluate();
}

void PanelState::reevaluate()
{
    m_rules = PanelRules::evaluate(m_status, m_scene.getSelectedModelIndex(), m_haveSupports,
                                   m_isNormalType, m_supports.isManualAddingSupport());
    emit rulesChanged();
}

QString PanelState::promptFor(const QString &event)
{
    return event == QLatin1String("autoSupport")
               ? tr("Press Ctrl+C or Escape to cancel auto generating supports")
               : tr("Press Ctrl+C or Escape to cancel slice");
}

void PanelState::showProgress(const QString &event)
{
    m_progressVisible = true;
    m_progressValue = 0.0;
    m_progressPrompt = promptFor(event);
    emit progressChanged();
}

void PanelState::updateProgress(float ratio, bool canceld, const QString &event)
{
    if (canceld) {
        m_progressVisible = false;
        emit progressChanged();
        return;
    }
    if (!m_progressVisible) {
        m_progressPrompt = promptFor(event);
        m_progressVisible = true;
    }
    m_progressValue = double(ratio);
    if (ratio >= 1.0f) {
        m_progressVisible = false;
        m_progressValue = 0.0;
        emit progressChanged();
        if (event == QLatin1String("slice"))
            emit sliceCompleted(m_jobs.sliceNumber(), m_jobs.getSliceCostTime());
        return;
    }
    emit progressChanged();
}
