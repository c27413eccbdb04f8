#include "workspace/PanelRules.h"

#include "workspace/SceneObjects.h"

PanelRules PanelRules::evaluate(int status, int selectedIndex, bool haveSupports, bool isNormalType,
                                bool manualAdding)
{
    const bool loaded = status == SceneObjects::MODEL_LOADED;
    const bool showingSlice = status == SceneObjects::MODEL_SHOW_SLICE;
    PanelRules r;
    const bool editable = loaded && selectedIndex >= 0 && isNormalType;
    r.info = r.move = r.copy = r.flip = r.rotate = editable;
    r.scale = editable && !haveSupports;
    r.support = loaded || showingSlice || status == SceneObjects::MODEL_AUTO_GEN_SUPPORT;
    r.layout = r.slice = loaded;
    // A model standing on supports may only turn about z and move across the plate.
    r.rotateXY = !haveSupports;
    r.rotateToLowest = !haveSupports;
    r.moveZ = !haveSupports;
    r.flipZ = !haveSupports;
    r.supportBase = r.autoSupport = loaded;
    r.manualSupport = loaded || showingSlice;
    r.removeSupports = loaded && haveSupports && !manualAdding;
    r.showSlice = loaded || showingSlice;
    r.hint = status == SceneObjects::MODEL_INIT;
    return r;
}

bool PanelRules::rotateZ(bool haveSupports, double x, double y)
{
    return !haveSupports || (x == 0.0 && y == 0.0);
}
