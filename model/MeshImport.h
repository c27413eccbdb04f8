#pragma once

#include "model/MeshPrimitiveData.h"

#include <QString>

#include <cstddef>

namespace MeshImport {

// Remove-component values: keep meshes and normals, or keep only meshes so that Assimp
// computes the normals itself.
constexpr int kKeepNormalsComponents = 0xFBFD;
constexpr int kDropNormalsComponents = 0xFBFF;
// Triangulate | RemoveComponent | GenNormals, or GenSmoothNormals instead of GenNormals.
constexpr unsigned kFlatNormalsFlags = 0x38;
constexpr unsigned kSmoothNormalsFlags = 0x58;

// What one model may hold, summed over every mesh of its file: the slicer and the layer
// preview address vertices and index positions with int.
constexpr size_t kMaxVertices = 0x7fffffff;
constexpr size_t kMaxIndices = 0x7fffffff;

// Reads every mesh with triangles of an STL or OBJ file into `mesh`, depth first through the
// file's nodes, each placed by its node's accumulated transformation and appended behind the
// ones before it (meshes without triangles are skipped). A file of several closed meshes gets
// its parts (MeshParts::arrange); a file of one mesh reads exactly as that mesh is. False, with
// `mesh` emptied, when Assimp fails, no mesh has triangles, the sum is beyond the limits, or
// the data it hands back is unusable.
bool readMeshes(const QString &path, bool smoothNormals, bool generateNormals,
                MeshPrimitiveData &mesh);

} // namespace MeshImport
