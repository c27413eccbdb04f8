#include "workspace/LayerPreview.h"

#include "config/QuorConfig.h"
#include "model/Model.h"
#include "workspace/SceneObjects.h"

#include <QDebug>
#include <QThread>

#include <exception>

LayerPreview::LayerPreview(SceneObjects &scene, QuorConfig &config, QObject *parent)
    : QObject(parent), m_scene(scene), m_config(config)
{
    // An object that joins while a layer shows gets a cut cache of the preview's size.
    connect(&scene, &SceneObjects::objectAdded, this, [this](Model *object) {
        if (m_currentLayer >= 0)
            object->layerCutCache.resize(m_sliceNumber);
    });
    connect(&scene, &SceneObjects::quorModelDataChanged, this,
            &LayerPreview::sceneLayerCountChanged);
    connect(&config, &QuorConfig::jobSettingsChanged, this, &LayerPreview::sceneLayerCountChanged);
}

float LayerPreview::thicknessMm() const
{
    return m_config.jobSettings().layerThicknessMm;
}

int LayerPreview::calcNumSlices(Model *model) const
{
    return SceneObjects::layerCountOf(model, thicknessMm());
}

int LayerPreview::calcNumSlices() const
{
    return m_scene.layerCount(thicknessMm());
}

bool LayerPreview::setShowSliceEnable(bool enable)
{
    if (!enable) {
        const bool wasShowing = isShowing();
        m_currentLayer = -1;
        for (Model *object : m_scene.objects()) {
            object->layerCutCache.resize(0);
            object->buffersUploaded = false;
        }
        // A running job owns the status and hands it back when it ends.
        if (!m_scene.isJobRunning())
            m_scene.setModelStatus(m_scene.modelSize() == 0 ? SceneObjects::MODEL_INIT
                                                            : SceneObjects::MODEL_LOADED);
        m_scene.deselectAll(true);
        if (wasShowing) {
            emit currentLayerChanged();
            emit showingChanged();
        }
        return false;
    }
    if (m_scene.modelSize() == 0 || m_scene.status() == SceneObjects::MODEL_SLICING ||
        m_scene.isJobRunning())
        return false;
    m_sliceNumber = calcNumSlices();
    qDebug() << "total slice number:" << m_sliceNumber;
    emit layerChanged(m_sliceNumber);
    for (Model *object : m_scene.objects())
        object->layerCutCache.resize(m_sliceNumber);
    m_scene.setModelStatus(SceneObjects::MODEL_SHOW_SLICE);
    setCurrentLayer(0);
    return true;
}

void LayerPreview::setCurrentLayer(int layer)
{
    if (m_scene.status() != SceneObjects::MODEL_SHOW_SLICE || layer < 0 || layer >= m_sliceNumber)
        return;
    qDebug() << QThread::currentThreadId() << "show layer" << layer;
    const bool wasShowing = isShowing();
    m_currentLayer = layer;
    m_currentLayerZ = (float(layer) + 0.5f) * thicknessMm();
    try {
        for (Model *object : m_scene.objects()) {
            object->buildPreviewCut(layer, m_currentLayerZ);
            object->buffersUploaded = false;
        }
    } catch (const std::exception &e) {
        qCritical() << "show layer" << layer << "exception"
                    << (e.what() && *e.what() ? e.what() : "Unknown exception");
    } catch (...) {
        qCritical() << "show layer" << layer << "exception ...";
    }
    emit currentLayerChanged();
    if (!wasShowing)
        emit showingChanged();
    m_scene.notifyDataChanged();
}
