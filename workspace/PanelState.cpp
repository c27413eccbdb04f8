#include "workspace/PanelState.h"

PanelState::PanelState(QuorModel &workspace) : QObject(&workspace), m_workspace(workspace)
{
    connect(&workspace, &QuorModel::modelStatusChanged, this, &PanelState::onStatusChanged);
    connect(&workspace, &QuorModel::manualAddingSupportChanged, this, &PanelState::reevaluate);
    // Progress comes from the jobs' threads; the bar follows on the GUI thread.
    connect(&workspace, &QuorModel::sliceCompletedProgress, this, &PanelState::updateProgress,
            Qt::QueuedConnection);
    m_rules = PanelRules::evaluate(m_status, -1, false, false, false);
}

void PanelState::onStatusChanged(QuorModel::ModelStatus, QuorModel::ModelStatus statusNew,
                                 bool haveSupports, bool isNormalType)
{
    m_status = statusNew;
    m_haveSupports = haveSupports;
    m_isNormalType = isNormalType;
    reevaluate();
}

void PanelState::reevaluate()
{
    m_rules = PanelRules::evaluate(m_status, m_workspace.getSelectedModelIndex(), m_haveSupports,
                                   m_isNormalType, m_workspace.isManualAddingSupport());
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
            emit sliceCompleted(m_workspace.sliceNumber(), m_workspace.getSliceCostTime());
        return;
    }
    emit progressChanged();
}
