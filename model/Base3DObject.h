#pragma once

#include "model/MeshPrimitiveData.h"

#include <QColor>
#include <QMatrix4x4>

#include <cstdint>
#include <memory>

// Root of every drawable, sliceable scene object: a mesh, how to place and colour it, and what
// the 3D view needs to keep its GPU copy current. No OpenGL here: the view owns the buffers.
class Base3DObject
{
public:
    explicit Base3DObject(int type);
    // A copy gets its own view identity and no GPU copy; the derived class decides about the mesh.
    Base3DObject(const Base3DObject &other);
    Base3DObject &operator=(const Base3DObject &) = delete;
    virtual ~Base3DObject();

    virtual QMatrix4x4 modelMatrix() const;
    virtual QMatrix4x4 normalMatrix() const = 0;
    virtual QColor color() const;

    int type;
    std::shared_ptr<MeshPrimitiveData> mesh;
    QColor m_color;
    bool meshReady = false;
    // The GPU copy holds the current mesh and preview cut. Cleared (GUI thread) by every change
    // of either; set again when the view takes the object's data for a new upload.
    bool buffersUploaded = false;
    // Names the object's GPU copy in the view; unique for the process.
    const quint64 drawId;
    // Set by the view once it holds a GPU copy: whoever frees the object hands the copy back
    // to the view (the scene, which owns every object the view sees).
    bool inView = false;
};
