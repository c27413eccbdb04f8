#include "model/Base3DObject.h"

#include <QDebug>

#include <atomic>

namespace {

quint64 nextDrawId()
{
    static std::atomic<quint64> counter{0};
    return ++counter;
}

} // namespace

Base3DObject::Base3DObject(int type)
    : type(type), mesh(std::make_shared<MeshPrimitiveData>()), drawId(nextDrawId())
{
}

Base3DObject::Base3DObject(const Base3DObject &other)
    : type(other.type), mesh(std::make_shared<MeshPrimitiveData>()), drawId(nextDrawId())
{
    qDebug() << "Base3DObject copyed";
}

Base3DObject::~Base3DObject() = default;

QMatrix4x4 Base3DObject::modelMatrix() const
{
    return QMatrix4x4();
}

QColor Base3DObject::color() const
{
    return m_color;
}
