#pragma once

#include <QMatrix4x4>
#include <QVector3D>
#include <QVector>
#include <QtMath>

// Small closed meshes built in code, positions already in world space (mm).
struct TestMesh
{
    QVector<QVector3D> positions;
    QVector<quint32> indices;

    void addQuad(quint32 a, quint32 b, quint32 c, quint32 d)
    {
        indices << a << b << c << a << c << d;
    }
    void append(const TestMesh &other)
    {
        const quint32 base = quint32(positions.size());
        positions += other.positions;
        for (quint32 i : other.indices)
            indices << base + i;
    }
    TestMesh transformed(const QMatrix4x4 &m) const
    {
        TestMesh out = *this;
        for (QVector3D &p : out.positions)
            p = m.map(p);
        return out;
    }

    // An axis-aligned box from min to max, outward winding.
    static TestMesh box(const QVector3D &lo, const QVector3D &hi)
    {
        TestMesh m;
        for (int i = 0; i < 8; ++i)
            m.positions << QVector3D(i & 1 ? hi.x() : lo.x(), i & 2 ? hi.y() : lo.y(),
                                     i & 4 ? hi.z() : lo.z());
        m.addQuad(0, 2, 3, 1); // bottom
        m.addQuad(4, 5, 7, 6); // top
        m.addQuad(0, 1, 5, 4);
        m.addQuad(2, 6, 7, 3);
        m.addQuad(0, 4, 6, 2);
        m.addQuad(1, 3, 7, 5);
        return m;
    }

    // A UV sphere.
    static TestMesh sphere(const QVector3D &centre, float radius, int rings, int segments)
    {
        TestMesh m;
        for (int r = 0; r <= rings; ++r) {
            const double phi = M_PI * r / rings;
            for (int s = 0; s < segments; ++s) {
                const double theta = 2 * M_PI * s / segments;
                m.positions << centre + radius * QVector3D(float(std::sin(phi) * std::cos(theta)),
                                                           float(std::sin(phi) * std::sin(theta)),
                                                           float(std::cos(phi)));
            }
        }
        for (int r = 0; r < rings; ++r) {
            for (int s = 0; s < segments; ++s) {
                const quint32 a = quint32(r * segments + s);
                const quint32 b = quint32(r * segments + (s + 1) % segments);
                const quint32 c = b + quint32(segments);
                const quint32 d = a + quint32(segments);
                m.addQuad(a, d, c, b);
            }
        }
        return m;
    }

    // A tube: outer and inner cylinder walls joined by rings at both ends.
    static TestMesh tube(float outerR, float innerR, float z0, float z1, int segments)
    {
        TestMesh m;
        for (int ring = 0; ring < 4; ++ring) {
            const float r = ring < 2 ? outerR : innerR;
            const float z = ring % 2 == 0 ? z0 : z1;
            for (int s = 0; s < segments; ++s) {
                const double t = 2 * M_PI * s / segments;
                m.positions << QVector3D(float(r * std::cos(t)), float(r * std::sin(t)), z);
            }
        }
        auto at = [segments](int ring, int s) { return quint32(ring * segments + s % segments); };
        for (int s = 0; s < segments; ++s) {
            m.addQuad(at(0, s), at(0, s + 1), at(1, s + 1), at(1, s)); // outer wall
            m.addQuad(at(2, s), at(3, s), at(3, s + 1), at(2, s + 1)); // inner wall
            m.addQuad(at(1, s), at(1, s + 1), at(3, s + 1), at(3, s)); // top ring
            m.addQuad(at(0, s), at(2, s), at(2, s + 1), at(0, s + 1)); // bottom ring
        }
        return m;
    }
};
