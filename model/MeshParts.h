#pragma once

#include "model/MeshPrimitiveData.h"

#include <vector>

// The parts of a model made of several meshes. The slicer fills each part's cross-section on
// its own and unites them, so parts that overlap (a leg reaching into a body) print solid; that
// is only sound for a part whose surface is closed, as the fill counts crossings.
namespace MeshParts {

// One mesh of a file: its triangles' range [first, end) in the index list, and which node of
// the file (numbered in reading order) holds it.
struct Piece
{
    int first = 0;
    int end = 0;
    int node = 0;
};

// Whether every edge of the triangles in [first, end) is met an even number of times (edges
// matched by their end positions; zero-length edges do not count): then every cut through them
// is a set of closed loops.
bool isClosed(const MeshPrimitiveData &mesh, int first, int end);

// Groups the pieces (in index order, covering the whole list) into parts and sets
// mesh.partStarts: a closed piece is a part of its own; the open pieces of one node that close
// together are one part; every other open piece goes into one last part, moved to the end of
// the index list, so that they are cut together as a single surface. One part leaves
// partStarts empty and the mesh untouched.
void arrange(MeshPrimitiveData &mesh, const std::vector<Piece> &pieces);

} // namespace MeshParts
