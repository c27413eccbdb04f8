#pragma once

#include "model/MeshPrimitiveData.h"

#include <QVector3D>

#include <cstdint>

namespace CWS {

// The building blocks of every support-family mesh, appended to one vertex and index list.
// Rings have n vertices at angles 2*pi*k/n from +x; a ring "with centre" is followed by its
// centre vertex. Windings make every closed piece face outwards.
namespace SupportMesh {

// Returns the number of the ring's first vertex.
uint32_t ring(MeshPrimitiveData &mesh, int n, float radiusMm, float zMm, bool withCentre);
// A fan from the centre vertex (right after the ring) to the ring.
void cap(MeshPrimitiveData &mesh, int n, uint32_t ringStart, bool facingUp);
// A closed band between two rings; `upper` lies further along the local +z axis.
void side(MeshPrimitiveData &mesh, int n, uint32_t lowerRing, uint32_t upperRing);
// A base ring with centre (no cap), n/2 latitude rings and a pole, bulging towards sign*z.
// Returns the base ring's first vertex.
uint32_t dome(MeshPrimitiveData &mesh, int n, float radiusMm, int sign);
// Turns vertices [from, to) so that local +z points along the unit vector d, then moves them
// by anchor.
void orient(MeshPrimitiveData &mesh, uint32_t from, uint32_t to, const QVector3D &d,
            const QVector3D &anchor);

// A dome of domeRadius at domeAnchor joined to a capped ring of ringRadius at ringAnchor,
// the axis running from the ring to the dome. Returns the dome's base ring start.
uint32_t bodyPiece(MeshPrimitiveData &mesh, int n, const QVector3D &domeAnchor, float domeRadiusMm,
                   const QVector3D &ringAnchor, float ringRadiusMm);
// Two capped rings joined by a band, from bottom to top along their axis. Returns the
// bottom ring start.
uint32_t cylinderPiece(MeshPrimitiveData &mesh, int n, const QVector3D &bottom,
                       float bottomRadiusMm, const QVector3D &top, float topRadiusMm);

// The rotation direction from a to b, +z when they coincide.
QVector3D axisBetween(const QVector3D &from, const QVector3D &to);

} // namespace SupportMesh
} // namespace CWS
