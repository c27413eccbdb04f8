#pragma once

#include "model/MeshPrimitiveData.h"

#include <QString>

namespace MeshImport {

// Remove-component values: keep meshes and normals, or keep only meshes so that Assimp
// computes the normals itself.
constexpr int kKeepNormalsComponents = 0xFBFD;
constexpr int kDropNormalsComponents = 0xFBFF;
// Triangulate | RemoveComponent | GenNormals, or GenSmoothNormals instead of GenNormals.
constexpr unsigned kFlatNormalsFlags = 0x38;
constexpr unsigned kSmoothNormalsFlags = 0x58;

// Reads the first mesh with faces of an STL or OBJ file into `mesh` (vertices and indices
// appended in file order). False, with `mesh` emptied, when Assimp fails, no mesh has
// triangles, or the data it hands back is unusable.
bool readFirstMesh(const QString &path, bool smoothNormals, bool generateNormals,
                   MeshPrimitiveData &mesh);

} // namespace MeshImport
