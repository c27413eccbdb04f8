#pragma once

#include <QtGlobal>

#include <vector>

class Model;
class QDataStream;

// The parts of models made of several meshes (MeshPrimitiveData::partStarts), stored in a block
// behind a project's end marks. Readers that know no such block stop at the marks and cut those
// models as one surface, as they always did; a project without such a model gets no block, so
// its bytes stay as they were.
namespace ProjectPartsBlock {

constexpr qint32 kMark = 0x50415254; // "PART"
constexpr qint16 kVersion = 1;

// sequence: the objects in their stored order; only normal models with parts are written.
void write(QDataStream &out, const std::vector<const Model *> &sequence);

// Reads the block if one follows, onto the objects of the project just read, in their stored
// order. True at the end of the file and for a later kind of block, which is left alone; false
// for a block that does not fit the objects (the file is damaged).
bool read(QDataStream &in, const std::vector<Model *> &sequence);

} // namespace ProjectPartsBlock
