#pragma once

#include "view/IslandPainter.h"
#include "view/SceneFrame.h"

#include <QOpenGLFunctions>

#include <atomic>
#include <memory>
#include <unordered_map>

class QOpenGLShaderProgram;
class QQuickWindow;
class SceneCamera;
class Workspace;

// Draws the workspace with OpenGL under Qt Quick's items, on the render thread. It reads only
// the frame copied in synchronize(), never the workspace itself.
class SceneRenderer : protected QOpenGLFunctions
{
public:
    SceneRenderer();
    ~SceneRenderer();

    // Render thread, while the GUI thread waits: copies the next frame. The islands' places are
    // copied only when islandsGeneration differs from the last one copied.
    void synchronize(Workspace &workspace, const SceneCamera &camera, const QSize &viewportDevicePx,
                     QQuickWindow *window, quint64 islandsGeneration = 0);
    // Render thread, context current, before Qt Quick draws its own items: the whole picture.
    void paint();
    // Render thread, context current: frees every GL object; the renderer can start again.
    void releaseGl();

    // What tests and benchmarks count, over every renderer of the process.
    struct Counters
    {
        std::atomic<int> frames{0};
        std::atomic<int> uploads{0};
        std::atomic<int> buffersDeleted{0};
        std::atomic<int> islandCopies{0};            // island lists copied into a frame
        std::atomic<qint64> paintNs{0};              // inside paint(), uploads included
        std::atomic<qint64> uploadNs{0};             // inside uploads
        std::atomic<void *> deletingThread{nullptr}; // QThread that last deleted buffers
    };
    static Counters &counters();
    // Called before each object is drawn; a test makes it throw.
    using DrawHook = void (*)(int type);
    static void setDrawHook(DrawHook hook);

private:
    struct GpuMesh
    {
        GLuint vertexBuffer = 0;
        GLuint indexBuffer = 0;
        int indexCount = 0;
        bool stale = true;
        bool uploadedPreview = false;
        std::shared_ptr<const LayerCut> uploadedCut;
    };

    void initialize();
    void drawFrameLines(const QMatrix4x4 &modelScale);
    void drawObjects(const QMatrix4x4 &modelScale);
    void upload(const DrawItem &item, GpuMesh &gpu);
    void deleteReleased();

    std::unique_ptr<QOpenGLShaderProgram> m_program;
    GLuint m_frameBuffer = 0;
    int m_gridLineCount = 0;
    CameraMath::Volume m_frameVolume;
    QQuickWindow *m_window = nullptr;
    SceneFrame m_frame;
    std::vector<quint64> m_released;
    std::unordered_map<quint64, GpuMesh> m_gpu;
    IslandPainter m_islands;
    // No generation yet: the first frame copies the islands.
    quint64 m_islandsGeneration = ~quint64(0);
    static std::atomic<DrawHook> s_drawHook;
};
