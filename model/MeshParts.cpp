#include "model/MeshParts.h"

#include <QDebug>

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_set>

namespace MeshParts {

namespace {

// An undirected edge by the bits of its two end positions, the smaller end first.
struct EdgeKey
{
    std::array<uint32_t, 6> bits;
    bool operator==(const EdgeKey &o) const { return bits == o.bits; }
};

struct EdgeHash
{
    size_t operator()(const EdgeKey &k) const
    {
        uint64_t h = 1469598103934665603ull;
        for (uint32_t b : k.bits) {
            h ^= b;
            h *= 1099511628211ull;
        }
        return size_t(h ^ (h >> 29));
    }
};

uint32_t bitsOf(float f)
{
    f += 0.0f; // -0 and +0 are the same place
    uint32_t u;
    std::memcpy(&u, &f, sizeof(u));
    return u;
}

std::array<uint32_t, 3> positionBits(const Vertex &v)
{
    return {bitsOf(v.px), bitsOf(v.py), bitsOf(v.pz)};
}

// Toggles every edge of the ranges' triangles in `odd`: what stays is met an odd number of times.
bool rangesClosed(const MeshPrimitiveData &mesh, const std::vector<Piece> &ranges)
{
    const int size = int(mesh.indices.size());
    const uint32_t vertexCount = uint32_t(mesh.vertices.size());
    std::unordered_set<EdgeKey, EdgeHash> odd;
    for (const Piece &r : ranges) {
        const int end = std::min(r.end, size);
        for (int t = std::max(r.first, 0); t + 3 <= end; t += 3) {
            for (int e = 0; e < 3; ++e) {
                const uint32_t a = mesh.indices[size_t(t + e)];
                const uint32_t b = mesh.indices[size_t(t + (e + 1) % 3)];
                if (a >= vertexCount || b >= vertexCount)
                    continue;
                const auto pa = positionBits(mesh.vertices[a]);
                const auto pb = positionBits(mesh.vertices[b]);
                if (pa == pb)
                    continue;
                const bool aFirst = pa < pb;
                const auto &lo = aFirst ? pa : pb;
                const auto &hi = aFirst ? pb : pa;
                const EdgeKey key{{lo[0], lo[1], lo[2], hi[0], hi[1], hi[2]}};
                const auto found = odd.insert(key);
                if (!found.second)
                    odd.erase(found.first);
            }
        }
    }
    return odd.empty();
}

} // namespace

bool isClosed(const MeshPrimitiveData &mesh, int first, int end)
{
    return rangesClosed(mesh, {Piece{first, end, 0}});
}

void arrange(MeshPrimitiveData &mesh, const std::vector<Piece> &pieces)
{
    mesh.partStarts.clear();
    if (pieces.size() < 2)
        return;
    std::vector<std::vector<Piece>> parts;
    std::vector<Piece> rest;
    for (size_t i = 0; i < pieces.size();) {
        size_t next = i;
        std::vector<Piece> open;
        for (; next < pieces.size() && pieces[next].node == pieces[i].node; ++next) {
            if (isClosed(mesh, pieces[next].first, pieces[next].end))
                parts.push_back({pieces[next]});
            else
                open.push_back(pieces[next]);
        }
        // A node split by material into open pieces is usually one closed object.
        if (!open.empty() && rangesClosed(mesh, open))
            parts.push_back(open);
        else
            rest.insert(rest.end(), open.begin(), open.end());
        i = next;
    }
    if (!rest.empty())
        parts.push_back(rest);
    qDebug() << "mesh parts:" << parts.size() << "from" << pieces.size() << "meshes,"
             << (rest.empty() ? 0 : int(rest.size())) << "open ones cut together";
    if (parts.size() < 2)
        return;

    std::vector<uint32_t> arranged;
    arranged.reserve(mesh.indices.size());
    for (const std::vector<Piece> &part : parts) {
        mesh.partStarts.push_back(int(arranged.size()));
        for (const Piece &p : part)
            arranged.insert(arranged.end(), mesh.indices.begin() + p.first,
                            mesh.indices.begin() + p.end);
    }
    mesh.indices.swap(arranged);
}

} // namespace MeshParts
