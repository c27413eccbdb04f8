#pragma once

#include "model/MeshPrimitiveData.h"

#include <QColor>
#include <QMatrix4x4>
#include <QMutex>
#include <QOpenGLFunctions>

#include <memory>

// Root of every drawable, sliceable scene object: a mesh and its GPU buffers.
class Base3DObject
{
public:
    explicit Base3DObject(int type);
    // A copy gets its own mutex and no GPU buffers; the derived class decides about the mesh.
    Base3DObject(const Base3DObject &other);
    Base3DObject &operator=(const Base3DObject &) = delete;
    virtual ~Base3DObject();

    virtual void uploadBuffers() = 0;
    virtual QMatrix4x4 modelMatrix() const;
    virtual QMatrix4x4 normalMatrix() const = 0;
    virtual QColor color() const;

    // Render thread only: uploads when the buffers are stale, then draws.
    void draw();

    int type;
    std::shared_ptr<MeshPrimitiveData> mesh;
    int indexCount = 0;
    QMutex mutex;
    QOpenGLFunctions *gl = nullptr;
    GLuint vertexBuffer = 0;
    GLuint indexBuffer = 0;
    QColor m_color;
    bool meshReady = false;
    bool buffersUploaded = false;
};
