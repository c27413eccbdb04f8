#pragma once

// The 3D view's renderer as the workspace sees it: drawn into on the render thread, before
// Qt Quick draws its own items.
class ViewRenderer
{
public:
    virtual ~ViewRenderer() = default;
    virtual void paint() = 0;
};
