#include "view/SceneRenderer.h"

#include "model/Model.h"
#include "view/SceneCamera.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QOpenGLContext>
#include <QOpenGLShaderProgram>
#include <QQuickWindow>
#include <QThread>

#include <exception>

std::atomic<SceneRenderer::DrawHook> SceneRenderer::s_drawHook{nullptr};

namespace {

void setAttributePointers(QOpenGLFunctions *gl)
{
    gl->glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex), nullptr);
    gl->glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                              reinterpret_cast<const void *>(3 * sizeof(float)));
}

} // namespace

SceneRenderer::SceneRenderer() = default;

SceneRenderer::~SceneRenderer() = default;

SceneRenderer::Counters &SceneRenderer::counters()
{
    static Counters c;
    return c;
}

void SceneRenderer::setDrawHook(DrawHook hook)
{
    s_drawHook = hook;
}

void SceneRenderer::synchronize(Workspace &workspace, const SceneCamera &camera,
                                const QSize &viewportDevicePx, QQuickWindow *window,
                                quint64 islandsGeneration)
{
    m_window = window;
    m_frame = takeSceneFrame(workspace, camera, viewportDevicePx, camera.volume(),
                             islandsGeneration != m_islandsGeneration);
    m_islandsGeneration = islandsGeneration;
    if (m_frame.islandMarkers)
        counters().islandCopies++;
    m_islands.synchronize(m_frame);
    // The frame's copy is the painter's now.
    m_frame.islandMarkers.reset();
    m_released.insert(m_released.end(), m_frame.released.begin(), m_frame.released.end());
    for (const DrawItem &item : m_frame.items) {
        GpuMesh &gpu = m_gpu[item.drawId];
        if (item.changed || gpu.uploadedPreview != item.preview || gpu.uploadedCut != item.cut)
            gpu.stale = true;
    }
}

void SceneRenderer::initialize()
{
    qDebug() << QThread::currentThreadId() << "QuorSceneRenderer::init()";
    initializeOpenGLFunctions();
    m_program = std::make_unique<QOpenGLShaderProgram>();
    m_program->addCacheableShaderFromSourceFile(QOpenGLShader::Vertex,
                                                QStringLiteral(":/shaders/quor3d_es2.vsh"));
    m_program->addCacheableShaderFromSourceFile(QOpenGLShader::Fragment,
                                                QStringLiteral(":/shaders/quor3d_es2.fsh"));
    m_program->bindAttributeLocation("vertex", 0);
    m_program->bindAttributeLocation("aNormal", 1);
    m_program->link();
    GLint maxAttributes = 0;
    glGetIntegerv(GL_MAX_VERTEX_ATTRIBS, &maxAttributes);
    qDebug() << "Maximum nr of vertex attributes supported: " << maxAttributes;

    m_frameVolume = m_frame.volume;
    const std::vector<CameraMath::FrameVertex> frame = CameraMath::frameVertices(m_frameVolume);
    m_gridLineCount = CameraMath::gridLineCount(m_frameVolume);
    glGenBuffers(1, &m_frameBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, m_frameBuffer);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(frame.size() * sizeof(CameraMath::FrameVertex)),
                 frame.data(), GL_STATIC_DRAW);
    qDebug() << "Frame right top: " << frame[0].x << frame[0].y << frame[0].z;
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void SceneRenderer::paint()
{
    // A minimised or collapsed view has nothing to draw into; its matrices would divide by 0.
    if (m_frame.viewportPx.width() <= 0 || m_frame.viewportPx.height() <= 0)
        return;
    QElapsedTimer timer;
    timer.start();
    if (!m_program)
        initialize();
    counters().frames++;

    const QMatrix4x4 modelScale = CameraMath::modelScaleMatrix(m_frameVolume);
    const QMatrix4x4 view = CameraMath::viewMatrix(m_frame.camera);
    const QMatrix4x4 projection =
        CameraMath::projectionMatrix(m_frame.viewportPx, m_frame.camera.panX, m_frame.camera.panY);

    // Qt Quick resets the GL state after every frame, so it is set again every frame.
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glDepthMask(GL_TRUE);
    glEnable(GL_MULTISAMPLE);
    glClearColor(0.9f, 0.9f, 0.9f, 1.0f);
    glViewport(0, 0, m_frame.viewportPx.width(), m_frame.viewportPx.height());
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    m_program->bind();
    m_program->setUniformValue("model", modelScale);
    m_program->setUniformValue("view", view);
    m_program->setUniformValue("projection", projection);
    m_program->setUniformValue("lightPos", CameraMath::lightPosition(view));
    const float s = CameraMath::sceneScaleMm(m_frameVolume);
    m_program->setUniformValue(
        "volume", QVector3D(m_frameVolume.xMm / s, m_frameVolume.yMm / s, m_frameVolume.zMm / s));
    drawFrameLines(modelScale);
    m_program->release();

    try {
        drawObjects(modelScale);
    } catch (const std::exception &e) {
        const char *what = e.what();
        qCritical() << "draw all model exception" << (what && *what ? what : "Unknown exception");
    } catch (...) {
        qCritical() << "draw all model exception"
                    << "...";
    }
    glDisableVertexAttribArray(0);
    glDisableVertexAttribArray(1);
    m_program->release();
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    m_islands.paint(projection * view * modelScale,
                    CameraMath::pixelsPerMm(m_frame.camera, m_frame.viewportPx, m_frameVolume));

    deleteReleased();
    if (m_window)
        m_window->resetOpenGLState();
    counters().paintNs += timer.nsecsElapsed();
}

void SceneRenderer::drawFrameLines(const QMatrix4x4 &modelScale)
{
    Q_UNUSED(modelScale)
    m_program->setUniformValue("mType", int(Model::TYPE_FRAME));
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
    glBindBuffer(GL_ARRAY_BUFFER, m_frameBuffer);
    setAttributePointers(this);
    glLineWidth(0.3f);
    const QVector3D frameColor(0.73f, 0.73f, 0.73f);
    const QVector3D white(1.0f, 1.0f, 1.0f);
    auto draw = [&](GLenum mode, GLint first, GLsizei count) {
        m_program->setUniformValue("objectColor", frameColor);
        m_program->setUniformValue("lightColor", white);
        glDrawArrays(mode, first, count);
    };
    draw(GL_LINE_LOOP, 0, 4);
    draw(GL_LINE_LOOP, 4, 4);
    draw(GL_LINES, 8, 8);
    draw(GL_LINES, 16, 2 * m_gridLineCount);
    glDisableVertexAttribArray(0);
    glDisableVertexAttribArray(1);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void SceneRenderer::drawObjects(const QMatrix4x4 &modelScale)
{
    const int lookingUp = CameraMath::drawnPitchDeg(m_frame.camera.pitchDeg) < -90 ? 1 : 0;
    // Only the faint sides of a base seen from below are not opaque.
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (const DrawItem &item : m_frame.items) {
        if (const DrawHook hook = s_drawHook.load())
            hook(item.type);
        GpuMesh &gpu = m_gpu[item.drawId];
        if (gpu.vertexBuffer == 0) {
            glGenBuffers(1, &gpu.vertexBuffer);
            glGenBuffers(1, &gpu.indexBuffer);
        }
        glBindBuffer(GL_ARRAY_BUFFER, gpu.vertexBuffer);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, gpu.indexBuffer);
        if (gpu.stale)
            upload(item, gpu);
        if (!item.meshReady || gpu.indexCount == 0)
            continue;
        m_program->bind();
        m_program->setUniformValue("mType", item.type);
        m_program->setUniformValue("model", modelScale * item.modelMatrix);
        m_program->setUniformValue("modelNormal", item.normalMatrix);
        m_program->setUniformValue("isLookingUp", lookingUp);
        m_program->setUniformValue("objectColor", item.color);
        setAttributePointers(this);
        glEnableVertexAttribArray(0);
        glEnableVertexAttribArray(1);
        // The plate lies in the grid's plane: pushed back a little, the grid stays whole.
        const bool plate = item.type == Model::TYPE_PLATFORM_BOTTOM;
        if (plate) {
            glEnable(GL_POLYGON_OFFSET_FILL);
            glPolygonOffset(1.0f, 1.0f);
        }
        glDrawElements(GL_TRIANGLES, gpu.indexCount, GL_UNSIGNED_INT, nullptr);
        if (plate)
            glDisable(GL_POLYGON_OFFSET_FILL);
        glDisableVertexAttribArray(0);
        glDisableVertexAttribArray(1);
        m_program->release();
    }
    glDisable(GL_BLEND);
}

void SceneRenderer::upload(const DrawItem &item, GpuMesh &gpu)
{
    QElapsedTimer timer;
    timer.start();
    const MeshPrimitiveData &mesh = *item.mesh;
    std::shared_lock<std::shared_mutex> lock(mesh.lock);
    const size_t base = mesh.baseVertexCount != 0
                            ? std::min<size_t>(mesh.baseVertexCount, mesh.vertices.size())
                            : mesh.vertices.size();
    if (!item.preview) {
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(base * sizeof(Vertex)), mesh.vertices.data(),
                     GL_STATIC_DRAW);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(mesh.indices.size() * sizeof(uint32_t)),
                     mesh.indices.data(), GL_STATIC_DRAW);
        gpu.indexCount = int(mesh.indices.size());
    } else {
        // The cut's own vertices follow the mesh's in the buffer, as its indices expect.
        const size_t extra = item.cut ? item.cut->vertices.size() : 0;
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr((base + extra) * sizeof(Vertex)), nullptr,
                     GL_STATIC_DRAW);
        glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(base * sizeof(Vertex)),
                        mesh.vertices.data());
        if (extra > 0)
            glBufferSubData(GL_ARRAY_BUFFER, GLintptr(base * sizeof(Vertex)),
                            GLsizeiptr(extra * sizeof(Vertex)), item.cut->vertices.data());
        const std::vector<uint32_t> none;
        const std::vector<uint32_t> &indices = item.cut ? item.cut->indices : none;
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(indices.size() * sizeof(uint32_t)),
                     indices.data(), GL_STATIC_DRAW);
        gpu.indexCount = int(indices.size());
    }
    gpu.stale = false;
    gpu.uploadedPreview = item.preview;
    gpu.uploadedCut = item.cut;
    counters().uploads++;
    counters().uploadNs += timer.nsecsElapsed();
}

void SceneRenderer::deleteReleased()
{
    if (m_released.empty())
        return;
    std::vector<GLuint> names;
    for (quint64 id : m_released) {
        const auto it = m_gpu.find(id);
        if (it == m_gpu.end())
            continue;
        if (it->second.vertexBuffer != 0) {
            names.push_back(it->second.vertexBuffer);
            names.push_back(it->second.indexBuffer);
        }
        m_gpu.erase(it);
    }
    m_released.clear();
    if (names.empty())
        return;
    for (size_t i = 0; i < names.size(); i += 2)
        qDebug() << "delete buffer datas";
    glDeleteBuffers(GLsizei(names.size()), names.data());
    counters().buffersDeleted += int(names.size());
    counters().deletingThread = QThread::currentThread();
}

void SceneRenderer::releaseGl()
{
    if (!m_program)
        return;
    std::vector<GLuint> names;
    for (const auto &entry : m_gpu) {
        if (entry.second.vertexBuffer != 0) {
            names.push_back(entry.second.vertexBuffer);
            names.push_back(entry.second.indexBuffer);
        }
    }
    if (m_frameBuffer != 0)
        names.push_back(m_frameBuffer);
    if (!names.empty())
        glDeleteBuffers(GLsizei(names.size()), names.data());
    m_gpu.clear();
    m_frameBuffer = 0;
    m_program.reset();
    m_frame = SceneFrame();
    m_islands.releaseGl();
    m_islandsGeneration = ~quint64(0);
}
