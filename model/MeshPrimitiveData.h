#pragma once

#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <vector>

// One vertex exactly as it is uploaded: position then normal, six floats, 24 bytes.
struct Vertex
{
    float px = 0.0f;
    float py = 0.0f;
    float pz = 0.0f;
    float nx = 0.0f;
    float ny = 0.0f;
    float nz = 0.0f;
};
static_assert(sizeof(Vertex) == 24, "the GPU layout expects six packed floats");

// Triangle mesh in the object's own frame. Copies of a normal model share one instance.
struct MeshPrimitiveData
{
    std::vector<Vertex> vertices;
    std::vector<uint32_t> indices; // three per triangle
    // Leading vertices that belong to the mesh; 0 = all.
    uint32_t baseVertexCount = 0;
    // Where each part of a model made of several closed meshes begins in `indices`; empty when
    // the whole list is one surface. Each part is cut and filled on its own (MeshParts).
    std::vector<int> partStarts;
    // `vertices` was sized ahead of an import and is filled from its start.
    bool preparedVertices = false;
    // The mesh's own guard. The GUI thread writes under the write lock once other threads can
    // see the mesh (the render thread uploading it, a job or a save reading it); those take the
    // read lock. Copies of a model share the mesh, so they share this lock too.
    mutable std::shared_mutex lock;
};
