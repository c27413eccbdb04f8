// QuorModel's automatic supports: starting the generator thread and turning each point it
// finds into a pillar on the GUI thread.
#include "config/QuorConfig.h"
#include "cws/JobSnapshot.h"
#include "cws/SupportGenerator.h"
#include "model/Support.h"
#include "model/SupportLinker.h"
#include "workspace/QuorModel.h"

#include <QDebug>
#include <QThread>
#include <QVector3D>

#include <algorithm>

void QuorModel::addSupportAuto(float thickness)
{
    Q_UNUSED(thickness)
    qDebug() << "QuorModel::addSupportAuto";
    if (status != MODEL_LOADED || hasBackgroundJob())
        return;
    setModelStatus(MODEL_AUTO_GEN_SUPPORT);

    jobTimer.start();
    m_cancel = CWS::CancelToken();
    // Also brings every object's cached bounds up to date before the snapshot reads them.
    m_sliceNumber = calcNumSlices();
    // The job gets its own list, of models only: supports are appended while it runs.
    std::vector<Model *> targets;
    if (Model *selected = getSelectedModel())
        targets.push_back(selected);
    else
        targets = models;
    targets.erase(std::remove_if(targets.begin(), targets.end(),
                                 [](const Model *m) { return m->type != Model::TYPE_NORMAL; }),
                  targets.end());
    m_supportTargets = targets;
    const float spacingMm = m_config.supportConfig()->supportSpacing();
    auto *generator = new CWS::SupportGenerator(jobSnapshot(targets, QString()), spacingMm,
                                                m_sliceNumber, m_cancel);
    m_supportGenerator = generator;
    connect(generator, &CWS::SupportGenerator::objectStarted, this,
            [this](int index) { selectModel(supportTarget(index)); });
    connect(generator, &CWS::SupportGenerator::genNewSupport, this, &QuorModel::onAddAutoSupport);
    connect(generator, &CWS::SupportGenerator::progressed, this, [this](float ratio) {
        emit sliceCompletedProgress(ratio, m_cancel.isCancelled(), QStringLiteral("autoSupport"));
    });
    connect(generator, &QThread::finished, this, &QuorModel::onAutoGenSupportFinished);
    generator->start(QThread::InheritPriority);
    emit quorModelDataChanged();
}

Model *QuorModel::supportTarget(int index) const
{
    if (index < 0 || size_t(index) >= m_supportTargets.size())
        return nullptr;
    Model *model = m_supportTargets[size_t(index)];
    // Gone since the job started: nothing may be added to it.
    return std::find(models.begin(), models.end(), model) != models.end() ? model : nullptr;
}

void QuorModel::onAddAutoSupport(float x, float y, float z, float zbase, int objectIndex)
{
    Q_UNUSED(zbase) // the pillar always reaches the platform
    addAutoSupportPoint(supportTarget(objectIndex), QVector3D(x, y, z));
}

void QuorModel::addAutoSupportPoint(Model *model, const QVector3D &topMm)
{
    if (!model) {
        qWarning() << "auto support for a model that is gone";
        return;
    }
    auto *support = new CWS::Support(m_config.supportConfig());
    if (!support->build(model, topMm, QVector3D(0.0f, 0.0f, 1.0f))) {
        delete support;
        return;
    }
    if (SupportLinker *linker = support->linkToNearest())
        addModel(linker);
    // addModel sizes the layer cut cache when a preview is active and records DO_NEW.
    addModel(support);
    emit quorModelDataChanged();
}

void QuorModel::onAutoGenSupportFinished()
{
    qDebug() << QThread::currentThreadId() << "SupportGenerator thread finished";
    if (m_supportGenerator) {
        CWS::SupportGenerator *generator = m_supportGenerator;
        m_supportGenerator = nullptr;
        disconnect(generator, nullptr, this, nullptr);
        generator->wait();
        delete generator;
    }
    m_supportTargets.clear();
    jobCostMs = jobTimer.isValid() ? int(jobTimer.elapsed()) : 0;
    setModelStatus(modelSize() == 0 ? MODEL_INIT : MODEL_LOADED);
    emit sliceCompletedProgress(1.1f, m_cancel.isCancelled(), QStringLiteral("autoSupport"));
}

void QuorModel::stopSupportGenerator()
{
    if (!m_supportGenerator)
        return;
    m_cancel.cancel();
    disconnect(m_supportGenerator, nullptr, this, nullptr);
    m_supportGenerator->wait();
    delete m_supportGenerator;
    m_supportGenerator = nullptr;
}
