#include "model/PlatformBottom.h"

PlatformBottom::PlatformBottom(float widthMm, float depthMm) : Model(TYPE_PLATFORM_BOTTOM)
{
    const float w = widthMm / 2.0f;
    const float d = depthMm / 2.0f;
    mesh->vertices = {Vertex{-w, -d, 0, 0, 0, 1}, Vertex{w, -d, 0, 0, 0, 1},
                      Vertex{w, d, 0, 0, 0, 1}, Vertex{-w, d, 0, 0, 0, 1}};
    mesh->indices = {0, 1, 2, 2, 3, 0};
    name = QStringLiteral("PlatformBottom");
    geometryDirty = true;
    updateGeometry(true);
    meshReady = true;
}
