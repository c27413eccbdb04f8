#pragma once

#include "cws/IslandRegions.h"
#include "model/LayerCut.h"
#include "model/MeshPrimitiveData.h"
#include "view/CameraMath.h"
#include "view/CameraState.h"
#include "view/IslandMarkers.h"

#include <QMatrix4x4>
#include <QSize>
#include <QVector3D>

#include <memory>
#include <vector>

class SceneCamera;
class Workspace;

// One object as the view saw it when it last synchronised with the workspace.
struct DrawItem
{
    quint64 drawId = 0;
    int type = 0;
    QMatrix4x4 modelMatrix;
    QMatrix4x4 normalMatrix;
    QVector3D color; // 0 ... 1
    bool meshReady = false;
    std::shared_ptr<const MeshPrimitiveData> mesh;
    // With preview set the view draws the cut (nothing when it is null) instead of the mesh.
    bool preview = false;
    std::shared_ptr<const LayerCut> cut;
    // The mesh or the cut changed since the view last took the object's data.
    bool changed = false;
};

// Everything a frame draws, copied from the workspace while the GUI thread waits, so that the
// render thread never reads the workspace while it changes and a frame never mixes two states.
struct SceneFrame
{
    CameraState camera;
    // The GL viewport: the view's size in device pixels.
    QSize viewportPx;
    CameraMath::Volume volume;
    std::vector<DrawItem> items;
    // GPU copies of objects destroyed since the last frame.
    std::vector<quint64> released;
    // The layer the preview shows, -1 without a preview.
    int previewLayer = -1;
    // Where the island markers stand: set only in the frame after the islands changed, so
    // that tens of thousands are not copied every frame.
    std::shared_ptr<const IslandMarkers> islandMarkers;
    // The islands' regions of the preview's layer, null when none are known.
    std::shared_ptr<const CWS::IslandRegionRects> islandRegions;
};

// Takes the frame and marks what the view now holds (buffersUploaded, inView). Builds the
// preview cut of an object that has none at the shown layer. Copies the islands' places only
// when copyIslands is set. GUI data: call it only while the GUI thread waits (sync) or on it.
SceneFrame takeSceneFrame(Workspace &workspace, const SceneCamera &camera,
                          const QSize &viewportDevicePx, const CameraMath::Volume &volume,
                          bool copyIslands = false);
