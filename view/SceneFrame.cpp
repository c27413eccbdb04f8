#include "view/SceneFrame.h"

#include "model/Model.h"
#include "view/IslandPainter.h"
#include "view/SceneCamera.h"
#include "workspace/IslandController.h"
#include "workspace/IslandRegionPreview.h"
#include "workspace/LayerPreview.h"
#include "workspace/SceneObjects.h"
#include "workspace/Workspace.h"

#include <algorithm>

namespace {

void takeIslands(SceneFrame &frame, const Workspace &workspace, bool copyPlaces)
{
    if (copyPlaces)
        frame.islandMarkers = std::make_shared<const IslandMarkers>(
            workspace.islands()->islands(), IslandPainter::kMarkerMm / 2.0f);
    frame.islandRegions = workspace.islandRegions()->regions();
}

} // namespace

SceneFrame takeSceneFrame(Workspace &workspace, const SceneCamera &camera,
                          const QSize &viewportDevicePx, const CameraMath::Volume &volume,
                          bool copyIslands)
{
    SceneObjects &scene = *workspace.scene();
    const LayerPreview &preview = *workspace.layers();
    SceneFrame frame;
    frame.camera = camera.state();
    frame.viewportPx = viewportDevicePx;
    frame.volume = volume;
    frame.released = scene.takeReleasedBuffers();
    frame.items.reserve(scene.objects().size());
    const int layer = preview.currentLayer();
    const float layerZ = preview.currentLayerZ();
    for (Model *object : scene.objects()) {
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
        if (layer >= 0 && layerZ <= object->bboxMax.z()) {
            item.preview = true;
            if (!object->layerCutCache.cutAt(layer))
                object->buildPreviewCut(layer, layerZ);
            item.cut = object->layerCutCache.cutAt(layer);
        }
        item.changed = !object->buffersUploaded;
        object->buffersUploaded = true;
        object->inView = true;
        frame.items.push_back(std::move(item));
    }
    frame.previewLayer = layer;
    takeIslands(frame, workspace, copyIslands);
    return frame;
}
