#include "cws/PlatformBottom.h"

#include "workspace/QuorApp.h"

namespace {

float plateWidth()
{
    const QuorApp *app = QuorApp::instance();
    return app ? app->machine().volumeXMm : 65.02f;
}

float plateDepth()
{
    const QuorApp *app = QuorApp::instance();
    return app ? app->machine().volumeYMm : 116.0f;
}

} // namespace

PlatformBottom::PlatformBottom() : PlatformBottom(plateWidth(), plateDepth()) {}

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
