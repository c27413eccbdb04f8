// QuorModel's automatic supports: starting the generator thread and turning each point it
// finds into a pillar on the GUI thread.
#include "config/QuorConfig.h"
#include "cws/Support.h"
#include "cws/SupportGenerator.h"
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

    QuorConfig *config = QuorConfig::instance();
    qRegisterMetaType<Model *>("Model*");
    auto *generator = new CWS::SupportGenerator(config->supportConfig());
    m_supportGenerator = generator;
    connect(generator, &CWS::SupportGenerator::genNewSupport, this, &QuorModel::onAddAutoSupport);
    connect(generator, &QThread::finished, this, &QuorModel::onAutoGenSupportFinished);

    jobTimer.start();
    m_cancelSlice = false;
    // Also brings every object's cached bounds up to date before the worker reads them.
    m_sliceNumber = calcNumSlices();
    // The worker gets its own list, of models only: supports are appended here while it runs,
    // and no other object may be read there after it is gone.
    std::vector<Model *> targets;
    if (Model *selected = getSelectedModel())
        targets.push_back(selected);
    else
        targets = models;
    targets.erase(std::remove_if(targets.begin(), targets.end(),
                                 [](const Model *m) { return m->type != Model::TYPE_NORMAL; }),
                  targets.end());
    generator->setJob(targets, *config->buildConfig(), m_sliceNumber);
    generator->start(QThread::InheritPriority);
    emit quorModelDataChanged();
}

void QuorModel::onAddAutoSupport(float x, float y, float z, float zbase, Model *model)
{
    Q_UNUSED(zbase) // the pillar always reaches the platform
    if (std::find(models.begin(), models.end(), model) == models.end()) {
        qWarning() << "auto support for a model that is gone";
        return;
    }
    auto *support = new CWS::Support();
    if (!support->build(model, QVector3D(x, y, z), QVector3D(0.0f, 0.0f, 1.0f))) {
        delete support;
        return;
    }
    support->linkToNearest();
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
    jobCostMs = jobTimer.isValid() ? int(jobTimer.elapsed()) : 0;
    setModelStatus(modelSize() == 0 ? MODEL_INIT : MODEL_LOADED);
    emit sliceCompletedProgress(1.1f, m_cancelSlice.load(), QStringLiteral("autoSupport"));
}

void QuorModel::stopSupportGenerator()
{
    if (!m_supportGenerator)
        return;
    m_cancelSlice = true;
    disconnect(m_supportGenerator, nullptr, this, nullptr);
    m_supportGenerator->wait();
    delete m_supportGenerator;
    m_supportGenerator = nullptr;
}
