#pragma once

class QDataStream;
class SceneObjects;
namespace CWS {
class SupportConfig;
}

// The objects block of a project file: every normal model, then the support family, then the
// pairs that hang each support on its owner.
namespace SceneRecords {

// False when the stream reported an error.
bool write(QDataStream &out, const SceneObjects &scene);
// Adds what it reads to the scene (which takes objects only in MODEL_INIT and MODEL_LOADED);
// on a refused record the objects read so far stay. Supports are built with the given
// parameters.
bool read(QDataStream &in, int major, int minor, SceneObjects &scene,
          const CWS::SupportConfig *supportConfig);

} // namespace SceneRecords
