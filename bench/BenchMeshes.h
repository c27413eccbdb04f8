#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <cstring>

// The benchmark model shared by the benchmarks: a binary STL of exactly 1,000,000 triangles.
namespace BenchMeshes {

inline constexpr int kTriangles = 1000000;

inline void putFloats(char *&out, float a, float b, float c)
{
    const float v[3] = {a, b, c};
    std::memcpy(out, v, sizeof v);
    out += sizeof v;
}

// 83,333 small cubes on a grid plus one tetrahedron: closed parts, exactly 1,000,000 faces.
inline QByteArray generateStl()
{
    QByteArray bytes(84 + 50 * kTriangles, '\0');
    char *out = bytes.data();
    const quint32 count = kTriangles;
    std::memcpy(out + 80, &count, sizeof count);
    out += 84;
    int written = 0;
    auto triangle = [&](const float *a, const float *b, const float *c) {
        const float ux = b[0] - a[0], uy = b[1] - a[1], uz = b[2] - a[2];
        const float vx = c[0] - a[0], vy = c[1] - a[1], vz = c[2] - a[2];
        putFloats(out, uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx);
        putFloats(out, a[0], a[1], a[2]);
        putFloats(out, b[0], b[1], b[2]);
        putFloats(out, c[0], c[1], c[2]);
        out += 2;
        ++written;
    };
    static const int faces[12][3] = {{0, 2, 3}, {0, 3, 1}, {4, 5, 7}, {4, 7, 6},
                                     {0, 1, 5}, {0, 5, 4}, {2, 6, 7}, {2, 7, 3},
                                     {0, 4, 6}, {0, 6, 2}, {1, 3, 7}, {1, 7, 5}};
    const int cubes = kTriangles / 12;
    const int side = 289;
    for (int i = 0; i < cubes; ++i) {
        const float x0 = float(i % side) * 0.2f, y0 = float(i / side) * 0.2f,
                    z0 = float(i % 7) * 0.1f;
        float corner[8][3];
        for (int k = 0; k < 8; ++k) {
            corner[k][0] = x0 + (k & 1 ? 0.15f : 0.0f);
            corner[k][1] = y0 + (k & 2 ? 0.15f : 0.0f);
            corner[k][2] = z0 + (k & 4 ? 0.15f : 0.0f);
        }
        for (const auto &f : faces)
            triangle(corner[f[0]], corner[f[1]], corner[f[2]]);
    }
    const float t[4][3] = {{0, 0, 2}, {1, 0, 2}, {0, 1, 2}, {0, 0, 3}};
    triangle(t[0], t[2], t[1]);
    triangle(t[0], t[1], t[3]);
    triangle(t[1], t[2], t[3]);
    triangle(t[0], t[3], t[2]);
    if (written != kTriangles)
        qFatal("generator wrote %d triangles", written);
    return bytes;
}

} // namespace BenchMeshes
