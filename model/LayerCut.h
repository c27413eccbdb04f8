#pragma once

#include "model/MeshPrimitiveData.h"

#include <memory>
#include <vector>

// The cut mesh of one layer for the layer preview. Indices below the model's base vertex
// count refer to its own vertices; higher ones to `vertices` here, in order. Never changed once
// built: the view may still be uploading a cut that the preview has already replaced.
struct LayerCut
{
    std::vector<Vertex> vertices;
    std::vector<uint32_t> indices;
};

// Per-model preview cache: one entry per layer (null until built) plus the layers that hold data.
struct LayerCutCache
{
    std::vector<std::shared_ptr<const LayerCut>> layers;
    std::vector<int> filledLayers;

    void resize(int layerCount)
    {
        layers.clear();
        layers.resize(layerCount > 0 ? size_t(layerCount) : 0);
        filledLayers.clear();
    }
    // The built cut of a layer, or null.
    std::shared_ptr<const LayerCut> cutAt(int layer) const
    {
        if (layer < 0 || size_t(layer) >= layers.size())
            return nullptr;
        return layers[size_t(layer)];
    }
};
