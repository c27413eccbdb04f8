#include "view/SceneFrame.h"

#include "model/Model.h"
#include "workspace/QuorModel.h"

SceneFrame takeSceneFrame(QuorModel &workspace, const CameraMath::Volume &volume)
{
    SceneFrame frame;
    frame.camera = workspace.camera();
    frame.viewportPx = workspace.viewportSize();
    frame.volume = volume;
    frame.released = workspace.takeReleasedBuffers();
    frame.items.reserve(workspace.models.size());
    const int layer = workspace.currentLayer;
    for (Model *object : workspace.models) {
        object->updateGeometry(false);
        DrawItem item;
        item.drawId = object->drawId;
        item.type = object->type;
        item.modelMatrix = object->modelMatrix();
        item.normalMatrix = object->normalMatrix();
        const QColor c = object->color();
        item.color = QVector3D(float(c.redF()), float(c.greenF()), float(c.blueF()));
        item.meshReady = object->meshReady;
        item.mesh = object->mesh;
        // The layer preview shows what lies below the layer of every object it reaches.
        if (layer >= 0 && workspace.currentLayerZ <= object->bboxMax.z()) {
            item.preview = true;
            if (!object->layerCutCache.cutAt(layer))
                object->buildPreviewCut(layer, workspace.currentLayerZ);
            item.cut = object->layerCutCache.cutAt(layer);
        }
        item.changed = !object->buffersUploaded;
        object->buffersUploaded = true;
        object->inView = true;
        frame.items.push_back(std::move(item));
    }
    return frame;
}
