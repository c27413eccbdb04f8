#pragma once

#include "TestMeshes.h"

#include "model/Model.h"

// A scene object made straight from a generated mesh, without a file in between.
inline Model *modelFrom(const TestMesh &m)
{
    Model *model = new Model(Model::TYPE_NORMAL);
    auto &v = model->mesh->vertices;
    auto &idx = model->mesh->indices;
    v.reserve(size_t(m.positions.size()));
    for (const QVector3D &p : m.positions)
        v.push_back({p.x(), p.y(), p.z(), 0, 0, 1});
    idx.assign(m.indices.begin(), m.indices.end());
    model->mesh->baseVertexCount = uint32_t(v.size());
    model->meshReady = true;
    model->pushTransform(0);
    model->updateGeometry(true);
    return model;
}
