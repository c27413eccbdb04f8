#pragma once

#include "TestMeshes.h"

#include <cmath>
#include <unordered_map>

// A sheet gyroid filling a box: the solid where |sin x cos y + sin y cos z + sin z cos x| stays
// below a thickness, cut off by the box, as a closed triangle mesh (marching tetrahedra on a
// regular grid, shared edge vertices). The box runs from (-sx/2, -sy/2, 0) to (sx/2, sy/2, sz).
inline TestMesh sheetGyroid(float sxMm, float syMm, float szMm, float cellMm, float gridMm,
                            float thickness = 0.35f)
{
    const int nx = int(std::ceil(sxMm / gridMm)) + 2;
    const int ny = int(std::ceil(syMm / gridMm)) + 2;
    const int nz = int(std::ceil(szMm / gridMm)) + 2;
    const double k = 2.0 * M_PI / cellMm;
    auto pos = [&](int i, int j, int l) {
        return QVector3D(float(-sxMm / 2 + (i - 1) * double(sxMm) / (nx - 3)),
                         float(-syMm / 2 + (j - 1) * double(syMm) / (ny - 3)),
                         float((l - 1) * double(szMm) / (nz - 3)));
    };
    auto index = [&](int i, int j, int l) { return (size_t(l) * ny + j) * nx + i; };
    std::vector<float> field(size_t(nx) * ny * nz);
    for (int l = 0; l < nz; ++l)
        for (int j = 0; j < ny; ++j)
            for (int i = 0; i < nx; ++i) {
                const QVector3D p = pos(i, j, l);
                const double x = k * p.x(), y = k * p.y(), z = k * p.z();
                const double g = std::sin(x) * std::cos(y) + std::sin(y) * std::cos(z) +
                                 std::sin(z) * std::cos(x);
                const double inBox =
                    std::min({p.x() + sxMm / 2.0, sxMm / 2.0 - p.x(), p.y() + syMm / 2.0,
                              syMm / 2.0 - p.y(), double(p.z()), szMm - double(p.z())});
                double f = std::min(thickness - std::abs(g), inBox * k);
                if (std::abs(f) < 1e-6)
                    f = 1e-6; // no vertex exactly on the surface
                field[index(i, j, l)] = float(f);
            }

    TestMesh mesh;
    std::unordered_map<quint64, quint32> edgeVertex;
    auto vertexOn = [&](size_t a, size_t b, const QVector3D &pa, const QVector3D &pb) {
        if (a > b)
            return quint32(0); // never: callers order the ends
        const quint64 key = quint64(a) * quint64(field.size()) + b;
        auto it = edgeVertex.find(key);
        if (it != edgeVertex.end())
            return it->second;
        const float fa = field[a], fb = field[b];
        const float t = fa / (fa - fb);
        mesh.positions << pa + (pb - pa) * t;
        const quint32 v = quint32(mesh.positions.size() - 1);
        edgeVertex.emplace(key, v);
        return v;
    };
    // Six tetrahedra around the cube diagonal 0-7 (corner bits: x 1, y 2, z 4).
    static const int tets[6][4] = {{0, 1, 3, 7}, {0, 3, 2, 7}, {0, 2, 6, 7},
                                   {0, 6, 4, 7}, {0, 4, 5, 7}, {0, 5, 1, 7}};
    for (int l = 0; l + 1 < nz; ++l)
        for (int j = 0; j + 1 < ny; ++j)
            for (int i = 0; i + 1 < nx; ++i) {
                size_t id[8];
                QVector3D p[8];
                for (int c = 0; c < 8; ++c) {
                    id[c] = index(i + (c & 1), j + ((c >> 1) & 1), l + ((c >> 2) & 1));
                    p[c] = pos(i + (c & 1), j + ((c >> 1) & 1), l + ((c >> 2) & 1));
                }
                for (const auto &tet : tets) {
                    int in[4], out[4], nin = 0, nout = 0;
                    for (int c : tet)
                        (field[id[c]] > 0 ? in[nin++] : out[nout++]) = c;
                    if (nin == 0 || nout == 0)
                        continue;
                    auto v = [&](int a, int b) {
                        return id[a] < id[b] ? vertexOn(id[a], id[b], p[a], p[b])
                                             : vertexOn(id[b], id[a], p[b], p[a]);
                    };
                    if (nin == 1) {
                        mesh.indices << v(in[0], out[0]) << v(in[0], out[1]) << v(in[0], out[2]);
                    } else if (nin == 3) {
                        mesh.indices << v(out[0], in[0]) << v(out[0], in[1]) << v(out[0], in[2]);
                    } else {
                        const quint32 a = v(in[0], out[0]), b = v(in[0], out[1]);
                        const quint32 c = v(in[1], out[1]), d = v(in[1], out[0]);
                        mesh.indices << a << b << c << a << c << d;
                    }
                }
            }
    return mesh;
}
