#pragma once

#include "view/SceneCamera.h"
#include "view/SceneMouse.h"
#include "view/ScenePicker.h"
#include "workspace/SceneObjects.h"
#include "workspace/Workspace.h"

// What the 3D view's item owns, over a workspace, without a window: the camera, the picker and
// the rules of the mouse.
struct ViewParts
{
    explicit ViewParts(Workspace &workspace)
        : picker(*workspace.scene(), camera), mouse(workspace, camera, picker)
    {
        camera.followPrinter(workspace.config()); // as the view does
    }
    SceneCamera camera;
    ScenePicker picker;
    SceneMouse mouse;
};
