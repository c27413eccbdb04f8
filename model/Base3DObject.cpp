#include "model/Base3DObject.h"

#include "workspace/QuorModel.h"

#include <QDebug>
#include <QMutexLocker>
#include <QOpenGLShaderProgram>
#include <QVector3D>

Base3DObject::Base3DObject(int type)
    : type(type), mesh(std::make_shared<MeshPrimitiveData>()), gl(QuorModel::instance())
{
}

Base3DObject::Base3DObject(const Base3DObject &other)
    : type(other.type), mesh(std::make_shared<MeshPrimitiveData>()), gl(other.gl)
{
    qDebug() << "Base3DObject copyed";
}

Base3DObject::~Base3DObject()
{
    // GL names may only be deleted on the render thread, which owns the context.
    if (QuorModel *workspace = QuorModel::instance()) {
        if (vertexBuffer != 0)
            workspace->releaseBuffer(vertexBuffer);
        if (indexBuffer != 0)
            workspace->releaseBuffer(indexBuffer);
    }
}

QMatrix4x4 Base3DObject::modelMatrix() const
{
    return QMatrix4x4();
}

QColor Base3DObject::color() const
{
    return m_color;
}

void Base3DObject::draw()
{
    QMutexLocker lock(&mutex);
    QuorModel *workspace = QuorModel::instance();
    if (!gl || !workspace)
        return;
    if (vertexBuffer == 0) {
        gl->glGenBuffers(1, &vertexBuffer);
        gl->glGenBuffers(1, &indexBuffer);
    }
    uploadBuffers();
    buffersUploaded = true;
    if (!meshReady || indexCount == 0)
        return;

    QOpenGLShaderProgram *program = workspace->shaderProgram();
    if (!program)
        return;
    program->bind();
    program->setUniformValue("mType", type);
    program->setUniformValue("model", workspace->modelScaleMatrix() * modelMatrix());
    program->setUniformValue("modelNormal", normalMatrix());
    program->setUniformValue("isLookingUp", workspace->cameraPitchDeg() < -90.0f ? 1 : 0);
    const QColor c = color();
    program->setUniformValue("objectColor",
                             QVector3D(float(c.redF()), float(c.greenF()), float(c.blueF())));
    gl->glEnableVertexAttribArray(0);
    gl->glEnableVertexAttribArray(1);
    gl->glDrawElements(GL_TRIANGLES, indexCount, GL_UNSIGNED_INT, nullptr);
    gl->glDisableVertexAttribArray(0);
    gl->glDisableVertexAttribArray(1);
    program->release();
}
