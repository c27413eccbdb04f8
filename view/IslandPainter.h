#pragma once

#include "view/SceneFrame.h"

#include <QOpenGLFunctions>

#include <memory>
#include <vector>

class QOpenGLShaderProgram;

// The islands over the 3D picture: a red dot at each island's place, over everything so that
// the model does not hide it, and in the layer preview the islands' regions of its layer, red
// on the cut. Render thread only; it reads what synchronize() copied.
class IslandPainter : protected QOpenGLFunctions
{
public:
    IslandPainter();
    ~IslandPainter();

    // A marker's diameter in the scene, the same from every distance.
    static constexpr float kMarkerMm = 3.0f;
    // The regions lie this far above the cut, so that depth never mixes them with it.
    static constexpr float kRegionLiftMm = 0.02f;

    // Render thread, while the GUI thread waits.
    void synchronize(const SceneFrame &frame);
    // Render thread, context current: after the scene, before Qt Quick's items.
    void paint(const QMatrix4x4 &sceneToClip, float pixelsPerMm);
    // Render thread, context current: frees the GL objects; paint() makes them again.
    void releaseGl();

private:
    void initialize();
    void uploadMarkers();
    void uploadRegions();
    void drawRegions();
    void drawMarkers(float pixelsPerMm);

    std::unique_ptr<QOpenGLShaderProgram> m_program;
    float m_maxPointSizePx = 64.0f;
    GLuint m_markerBuffer = 0;
    GLuint m_regionBuffer = 0;
    // The last markers copied and whether the buffer holds them yet.
    std::shared_ptr<const IslandMarkers> m_markers;
    bool m_markersStale = false;
    int m_markersUploaded = 0;
    int m_markersShown = 0;
    int m_previewLayer = -1;
    std::shared_ptr<const CWS::IslandRegionRects> m_regions;
    std::shared_ptr<const CWS::IslandRegionRects> m_regionsUploaded;
    int m_regionVertices = 0;
};
