#pragma once

#include "model/MeshPrimitiveData.h"

#include <vector>

// The cut mesh of one layer for the layer preview. Indices below the model's base vertex
// count refer to its own vertices; higher ones to `vertices` here, in order.
struct LayerCut
{
    std::vector<Vertex> vertices;
    std::vector<uint32_t> indices;
};

// Per-model preview cache: one entry per layer plus the layers that currently hold data.
struct LayerCutCache
{
    std::vector<LayerCut> layers;
    std::vector<int> filledLayers;

    void resize(int layerCount)
    {
        layers.clear();
        layers.resize(layerCount > 0 ? size_t(layerCount) : 0);
        filledLayers.clear();
    }
};
