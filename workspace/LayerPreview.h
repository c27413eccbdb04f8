#pragma once

#include <QObject>

class Model;
class QuorConfig;
class SceneObjects;

// The layer preview: the scene cut at one layer, everything above it hidden, stepped through
// with the slider. Also the scene's layer count at the job's thickness, which the bottom bar
// shows.
class LayerPreview : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool showing READ isShowing NOTIFY showingChanged)
    // The layer shown, -1 without a preview.
    Q_PROPERTY(int currentLayer READ currentLayer NOTIFY currentLayerChanged)
    // Layers of the preview, counted when it was entered.
    Q_PROPERTY(int layerCount READ sliceNumber NOTIFY layerChanged)
    // Layers the scene has now at the job's thickness.
    Q_PROPERTY(int sceneLayerCount READ sceneLayerCount NOTIFY sceneLayerCountChanged)
public:
    LayerPreview(SceneObjects &scene, QuorConfig &config, QObject *parent = nullptr);

    // Enters or leaves the preview; whether it is on now.
    Q_INVOKABLE bool setShowSliceEnable(bool enable);
    Q_INVOKABLE void setCurrentLayer(int layer);

    bool isShowing() const { return m_currentLayer >= 0; }
    int currentLayer() const { return m_currentLayer; }
    // The height of the layer shown.
    float currentLayerZ() const { return m_currentLayerZ; }
    int sliceNumber() const { return m_sliceNumber; }
    // The layer count of one object, or of the whole scene, at the job's thickness.
    int calcNumSlices(Model *model) const;
    int calcNumSlices() const;
    int sceneLayerCount() const { return calcNumSlices(); }

signals:
    // The layer count, when the preview is entered.
    void layerChanged(int layer);
    void showingChanged();
    void currentLayerChanged();
    void sceneLayerCountChanged();

private:
    float thicknessMm() const;

    SceneObjects &m_scene;
    QuorConfig &m_config;
    int m_sliceNumber = 0;
    int m_currentLayer = -1;
    float m_currentLayerZ = 0.0f;
};
