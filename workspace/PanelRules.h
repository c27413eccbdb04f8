#pragma once

// Which controls of the window are enabled, from the workspace's status and selection: one
// plain function, so that the rules are tested without a window.
struct PanelRules
{
    // Tool panel buttons.
    bool info = false;
    bool move = false;
    bool scale = false;
    bool rotate = false;
    bool flip = false;
    bool copy = false;
    bool support = false;
    bool layout = false;
    bool slice = false;
    // Fields and buttons on the pages.
    bool rotateXY = false;       // Rotate X and Y
    bool rotateToLowest = false; // "Rotate current/all to lowest"
    bool moveZ = false;          // Move Z and "Dock to bottom"
    bool flipZ = false;
    bool supportBase = false;    // "Add+Update Support"
    bool autoSupport = false;    // "Add support auto smart"
    bool manualSupport = false;  // "Add support manually"
    bool removeSupports = false; // "Remove all supports"
    bool showSlice = false;      // the "show 3D slice" box
    bool hint = false;           // the centred hint over an empty view

    // status: the workspace's ModelStatus; selectedIndex: -1 without a selection.
    static PanelRules evaluate(int status, int selectedIndex, bool haveSupports, bool isNormalType,
                               bool manualAdding);
    // The Rotate Z field of a model with supports stays usable only while X and Y are 0.
    static bool rotateZ(bool haveSupports, double x, double y);
};
