#pragma once

#include "model/MeshPrimitiveData.h"

#include <QDataStream>
#include <QMatrix4x4>

#include <cstdint>
#include <vector>

// Bulk reading and writing of the mesh arrays of a project record. Project files are user
// data: every reader here refuses rather than trusts what it finds.
namespace RecordIo {

// Bytes the stream's device can still deliver.
qint64 bytesLeft(const QDataStream &in);

// Whether count items of bytesEach bytes can still be in the stream (so may be reserved).
bool fits(const QDataStream &in, qint64 count, qint64 bytesEach);

// Bytes one float takes in the stream: 4, or 8 when the stream is in double precision.
int floatBytes(const QDataStream &s);

// A float that must be finite; false (and a failed stream) otherwise.
bool readFiniteFloat(QDataStream &in, float *value);

// The first count vertices, positions through modelMatrix (projective), normals through the
// upper 3x3 of normalMatrix and normalised; in the stream's float precision.
void writeVertices(QDataStream &out, const Vertex *vertices, size_t count,
                   const QMatrix4x4 &modelMatrix, const QMatrix4x4 &normalMatrix);

// count stored vertices; refuses a count the stream cannot hold and non-finite values.
bool readVertices(QDataStream &in, qint64 count, std::vector<Vertex> *out);

void writeIndices(QDataStream &out, const std::vector<uint32_t> &indices);

// count stored indices, each below vertexCount; refuses a count the stream cannot hold.
bool readIndices(QDataStream &in, qint64 count, uint32_t vertexCount, std::vector<uint32_t> *out);

} // namespace RecordIo
