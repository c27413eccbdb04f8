#include "view/MeshPickIndex.h"

#include "view/PickMath.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr uint32_t kLeafSize = 4;

} // namespace

MeshPickIndex::MeshPickIndex(const MeshPrimitiveData &mesh)
    : m_vertexCount(mesh.vertices.size()), m_indexCount(mesh.indices.size())
{
    const size_t triangles = m_indexCount / 3;
    std::vector<float> centroids;
    centroids.reserve(triangles * 3);
    m_triBoxes.reserve(triangles * 6);
    m_triEdges.reserve(triangles);
    m_order.reserve(triangles);
    for (size_t t = 0; t < triangles; ++t) {
        const uint32_t *tri = mesh.indices.data() + 3 * t;
        // The exact test skips triangles that name missing vertices; so does the index.
        if (tri[0] >= m_vertexCount || tri[1] >= m_vertexCount || tri[2] >= m_vertexCount)
            continue;
        const Vertex *v[3] = {&mesh.vertices[tri[0]], &mesh.vertices[tri[1]],
                              &mesh.vertices[tri[2]]};
        float lo[3], hi[3];
        for (int k = 0; k < 3; ++k) {
            const float p[3] = {v[0]->px, v[0]->py, v[0]->pz};
            lo[k] = hi[k] = p[k];
        }
        float longest = 0.0f;
        for (int i = 0; i < 3; ++i) {
            const Vertex &a = *v[i];
            const Vertex &b = *v[(i + 1) % 3];
            const float p[3] = {a.px, a.py, a.pz};
            for (int k = 0; k < 3; ++k) {
                lo[k] = std::min(lo[k], p[k]);
                hi[k] = std::max(hi[k], p[k]);
            }
            const float dx = a.px - b.px, dy = a.py - b.py, dz = a.pz - b.pz;
            longest = std::max(longest, std::sqrt(dx * dx + dy * dy + dz * dz));
        }
        if (!std::isfinite(longest)) {
            // Unusable bounds: such a triangle would make every box useless, so the index
            // refuses to narrow anything (see candidates()).
            longest = INFINITY;
        }
        m_order.push_back(uint32_t(t));
        m_triBoxes.insert(m_triBoxes.end(), {lo[0], lo[1], lo[2], hi[0], hi[1], hi[2]});
        m_triEdges.push_back(longest);
        for (int k = 0; k < 3; ++k)
            centroids.push_back(0.5f * (lo[k] + hi[k]));
    }
    // Boxes and edges are kept by triangle number; the order list is what the build permutes.
    std::vector<float> boxes(triangles * 6, 0.0f), edges(triangles, 0.0f),
        cents(triangles * 3, 0.0f);
    for (size_t i = 0; i < m_order.size(); ++i) {
        const uint32_t t = m_order[i];
        std::copy_n(&m_triBoxes[i * 6], 6, &boxes[size_t(t) * 6]);
        edges[t] = m_triEdges[i];
        std::copy_n(&centroids[i * 3], 3, &cents[size_t(t) * 3]);
    }
    m_triBoxes.swap(boxes);
    m_triEdges.swap(edges);
    if (!m_order.empty()) {
        m_nodes.reserve(2 * (m_order.size() / kLeafSize + 1));
        build(0, uint32_t(m_order.size()), cents);
    }
}

uint32_t MeshPickIndex::build(uint32_t first, uint32_t count, std::vector<float> &centroids)
{
    const uint32_t at = uint32_t(m_nodes.size());
    m_nodes.push_back(Node{});
    Node node{};
    for (int k = 0; k < 3; ++k) {
        node.lo[k] = INFINITY;
        node.hi[k] = -INFINITY;
    }
    float cLo[3] = {INFINITY, INFINITY, INFINITY}, cHi[3] = {-INFINITY, -INFINITY, -INFINITY};
    node.longestEdge = 0.0f;
    for (uint32_t i = first; i < first + count; ++i) {
        const uint32_t t = m_order[i];
        const float *box = &m_triBoxes[size_t(t) * 6];
        for (int k = 0; k < 3; ++k) {
            node.lo[k] = std::min(node.lo[k], box[k]);
            node.hi[k] = std::max(node.hi[k], box[3 + k]);
            cLo[k] = std::min(cLo[k], centroids[size_t(t) * 3 + k]);
            cHi[k] = std::max(cHi[k], centroids[size_t(t) * 3 + k]);
        }
        node.longestEdge = std::max(node.longestEdge, m_triEdges[t]);
    }
    if (count <= kLeafSize) {
        node.first = first;
        node.count = count;
        m_nodes[at] = node;
        return at;
    }
    int axis = 0;
    for (int k = 1; k < 3; ++k)
        if (cHi[k] - cLo[k] > cHi[axis] - cLo[axis])
            axis = k;
    const uint32_t half = count / 2;
    std::nth_element(m_order.begin() + first, m_order.begin() + first + half,
                     m_order.begin() + first + count, [&](uint32_t a, uint32_t b) {
                         return centroids[size_t(a) * 3 + axis] < centroids[size_t(b) * 3 + axis];
                     });
    build(first, half, centroids);
    node.first = build(first + half, count - half, centroids);
    node.count = 0;
    m_nodes[at] = node;
    return at;
}

float MeshPickIndex::marginLocal(float edgeLocal, float worldScale, float localScale, float reach)
{
    const float edgeWorld = worldScale * edgeLocal;
    return (8.0f * reach * edgeWorld * edgeWorld + 1e-5f * (1.0f + reach)) * localScale;
}

void MeshPickIndex::candidates(const QVector3D &origin, const QVector3D &direction,
                               float worldScale, float localScale, float reach,
                               std::vector<uint32_t> &out) const
{
    out.clear();
    if (m_nodes.empty())
        return;
    const float o[3] = {origin.x(), origin.y(), origin.z()};
    const float inv[3] = {1.0f / direction.x(), 1.0f / direction.y(), 1.0f / direction.z()};
    std::vector<uint32_t> stack;
    stack.reserve(64);
    stack.push_back(0);
    while (!stack.empty()) {
        const Node &node = m_nodes[stack.back()];
        stack.pop_back();
        const float margin = marginLocal(node.longestEdge, worldScale, localScale, reach);
        if (!std::isfinite(margin) || !PickMath::rayNearBox(o, inv, node.lo, node.hi, margin)) {
            if (std::isfinite(margin))
                continue;
            // Non-finite bounds narrow nothing: every triangle below is a candidate.
        }
        if (node.count > 0) {
            for (uint32_t i = node.first; i < node.first + node.count; ++i)
                out.push_back(m_order[i]);
            continue;
        }
        stack.push_back(node.first);
        stack.push_back(uint32_t(&node - m_nodes.data()) + 1);
    }
    std::sort(out.begin(), out.end());
}
