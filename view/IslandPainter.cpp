#include "view/IslandPainter.h"

#include <QFile>
#include <QOpenGLContext>
#include <QOpenGLShaderProgram>

#include <algorithm>

namespace {

// Desktop OpenGL draws points at the shader's size, and fills gl_PointCoord, only when asked;
// OpenGL ES always does and knows neither name.
constexpr GLenum kProgramPointSize = 0x8642;
constexpr GLenum kPointSprite = 0x8861;

const QVector3D kRed(0.93f, 0.0f, 0.0f);

} // namespace

IslandPainter::IslandPainter() = default;

IslandPainter::~IslandPainter() = default;

void IslandPainter::synchronize(const SceneFrame &frame)
{
    if (frame.islandMarkers) {
        m_markers = frame.islandMarkers;
        m_markersStale = true;
    }
    m_previewLayer = frame.previewLayer;
    // In the preview only what is printed up to its layer: markers above it would hang over
    // nothing.
    m_markersShown = !m_markers            ? 0
                     : m_previewLayer >= 0 ? m_markers->countUpToLayer(m_previewLayer)
                                           : int(m_markers->placesMm().size());
    m_regions = frame.islandRegions;
}

void IslandPainter::initialize()
{
    initializeOpenGLFunctions();
    m_program = std::make_unique<QOpenGLShaderProgram>();
    // gl_PointCoord came with GLSL 1.20 on the desktop; OpenGL ES 2 has it in its only version.
    const QByteArray version = QOpenGLContext::currentContext()->isOpenGLES()
                                   ? QByteArray()
                                   : QByteArrayLiteral("#version 120\n");
    auto source = [&](const QString &path) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return version + file.readAll();
    };
    m_program->addCacheableShaderFromSourceCode(QOpenGLShader::Vertex,
                                                source(QStringLiteral(":/shaders/islands.vsh")));
    m_program->addCacheableShaderFromSourceCode(QOpenGLShader::Fragment,
                                                source(QStringLiteral(":/shaders/islands.fsh")));
    m_program->bindAttributeLocation("vertex", 0);
    m_program->link();
    GLfloat range[2] = {1.0f, 64.0f};
    glGetFloatv(GL_ALIASED_POINT_SIZE_RANGE, range);
    m_maxPointSizePx = std::max(range[1], 1.0f);
    glGenBuffers(1, &m_markerBuffer);
    glGenBuffers(1, &m_regionBuffer);
}

void IslandPainter::paint(const QMatrix4x4 &sceneToClip, float pixelsPerMm)
{
    const bool regionsShown = m_regions && m_regions->layer() == m_previewLayer &&
                              m_previewLayer >= 0 && !m_regions->rectsMm().empty();
    if (!m_program && m_markersShown == 0 && !regionsShown)
        return;
    if (!m_program)
        initialize();
    if (m_markersStale)
        uploadMarkers();
    if (m_regionsUploaded != m_regions)
        uploadRegions();
    m_program->bind();
    m_program->setUniformValue("mvp", sceneToClip);
    glEnableVertexAttribArray(0);
    if (regionsShown)
        drawRegions();
    if (std::min(m_markersShown, m_markersUploaded) > 0)
        drawMarkers(pixelsPerMm);
    glDisableVertexAttribArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    m_program->release();
}

void IslandPainter::uploadMarkers()
{
    const std::vector<QVector3D> none;
    const std::vector<QVector3D> &places = m_markers ? m_markers->placesMm() : none;
    glBindBuffer(GL_ARRAY_BUFFER, m_markerBuffer);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(places.size() * sizeof(QVector3D)), places.data(),
                 GL_STATIC_DRAW);
    m_markersUploaded = int(places.size());
    m_markersStale = false;
}

void IslandPainter::uploadRegions()
{
    std::vector<QVector3D> triangles;
    if (m_regions) {
        const float z = m_regions->zMm() + kRegionLiftMm;
        triangles.reserve(m_regions->rectsMm().size() * 6);
        for (const QRectF &r : m_regions->rectsMm()) {
            const QVector3D a(float(r.left()), float(r.top()), z);
            const QVector3D b(float(r.right()), float(r.top()), z);
            const QVector3D c(float(r.right()), float(r.bottom()), z);
            const QVector3D d(float(r.left()), float(r.bottom()), z);
            triangles.insert(triangles.end(), {a, b, c, a, c, d});
        }
    }
    glBindBuffer(GL_ARRAY_BUFFER, m_regionBuffer);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(triangles.size() * sizeof(QVector3D)),
                 triangles.data(), GL_STATIC_DRAW);
    m_regionVertices = int(triangles.size());
    m_regionsUploaded = m_regions;
}

void IslandPainter::drawRegions()
{
    glBindBuffer(GL_ARRAY_BUFFER, m_regionBuffer);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(QVector3D), nullptr);
    m_program->setUniformValue("points", 0);
    m_program->setUniformValue("color", kRed);
    glEnable(GL_DEPTH_TEST);
    glDrawArrays(GL_TRIANGLES, 0, m_regionVertices);
}

void IslandPainter::drawMarkers(float pixelsPerMm)
{
    const bool desktop = !QOpenGLContext::currentContext()->isOpenGLES();
    if (desktop) {
        glEnable(kProgramPointSize);
        glEnable(kPointSprite);
    }
    glBindBuffer(GL_ARRAY_BUFFER, m_markerBuffer);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(QVector3D), nullptr);
    m_program->setUniformValue("points", 1);
    m_program->setUniformValue("color", kRed);
    // Never smaller than a few pixels, however far the view is zoomed out.
    m_program->setUniformValue("pointSizePx",
                               std::clamp(kMarkerMm * pixelsPerMm, 5.0f, m_maxPointSizePx));
    // Over the model: seen where it hides them.
    glDisable(GL_DEPTH_TEST);
    glDrawArrays(GL_POINTS, 0, std::min(m_markersShown, m_markersUploaded));
    glEnable(GL_DEPTH_TEST);
    if (desktop) {
        glDisable(kProgramPointSize);
        glDisable(kPointSprite);
    }
}

void IslandPainter::releaseGl()
{
    if (!m_program)
        return;
    const GLuint names[] = {m_markerBuffer, m_regionBuffer};
    glDeleteBuffers(2, names);
    m_markerBuffer = m_regionBuffer = 0;
    m_program.reset();
    // Everything is uploaded again into the next context.
    m_markersUploaded = 0;
    m_markersStale = m_markers != nullptr;
    m_regionsUploaded.reset();
}
