#pragma once

#include "model/MeshPrimitiveData.h"

#include <QVector3D>

#include <cstdint>
#include <vector>

// A bounding-volume hierarchy over one mesh's triangles in the mesh's own frame, so that a pick
// tests only the triangles near the ray. It only narrows the search: the picker runs the same
// exact ray-triangle test on what it returns as the plain loop runs on every triangle, so the
// hits are the same. Boxes are widened at query time by a margin that grows with the size of
// the triangles under them, to cover the rounding of that test on grazing rays.
class MeshPickIndex
{
public:
    explicit MeshPickIndex(const MeshPrimitiveData &mesh);

    // What the index was built from: a mesh of other sizes needs a new one.
    size_t vertexCount() const { return m_vertexCount; }
    size_t indexCount() const { return m_indexCount; }

    // Triangles (index-list position / 3), ascending, whose boxes the local ray passes within
    // marginLocal() of, D being the longest edge under each box.
    void candidates(const QVector3D &origin, const QVector3D &direction, float worldScale,
                    float localScale, float reach, std::vector<uint32_t> &out) const;

    // How far outside a triangle of longest edge D the exact test may still report a hit, in
    // the local frame: its error grows with D squared and with the distance from the ray's
    // origin (reach, scene units), and is bounded by (8 reach D^2 + 1e-5 (1 + reach)) in the
    // world. worldScale bounds how much the model matrix stretches, localScale its inverse.
    static float marginLocal(float edgeLocal, float worldScale, float localScale, float reach);
    // The longest edge of the whole mesh.
    float longestEdge() const { return m_nodes.empty() ? 0.0f : m_nodes.front().longestEdge; }

private:
    struct Node
    {
        float lo[3];
        float hi[3];
        float longestEdge;
        uint32_t first; // leaf: first entry of m_order; inner: the right child
        uint32_t count; // leaf: triangle count; inner: 0
    };

    uint32_t build(uint32_t first, uint32_t count, std::vector<float> &centroids);

    std::vector<Node> m_nodes;
    std::vector<uint32_t> m_order; // triangles, leaf by leaf
    std::vector<float> m_triBoxes; // six floats a triangle: lo, hi
    std::vector<float> m_triEdges; // longest edge a triangle
    size_t m_vertexCount = 0;
    size_t m_indexCount = 0;
};
