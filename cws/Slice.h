#pragma once

#include "cws/LayerSegment.h"
#include "cws/SliceBuildConfig.h"

#include <QImage>
#include <QRunnable>

#include <memory>

class Model;

namespace CWS {

class Slicer;

// One layer: cuts every object at the layer's plane and fills the contours into an image.
class Slice : public QRunnable
{
public:
    // The settings are copied, so later changes of the shared ones never reach this layer.
    Slice(Slicer *slicer, const SliceBuildConfig &settings, int layerIndex, float z);
    ~Slice() override;

    // 1-bit unless anti-aliasing is on or grey is asked for; with a model only that one.
    // plain: the reference drawing (QPainter lines, a grey supersampled image reduced by
    // QImage::scaled) that the fast one must match pixel for pixel.
    QImage *buildLayerImage(bool grey, Model *only = nullptr, bool plain = false);

    void run() override;

    int layerIndex() const { return m_layerIndex; }
    float z() const { return m_z; }
    QImage *image() const { return m_image.get(); }

private:
    // Job-resolution images carry the panel's pixel pitch as their resolution.
    void stampPanelResolution(QImage &image) const;
    SegmentListSet cutObjects(bool (*wanted)(int type), Model *only);
    void drawObjects(QImage &target, bool (*wanted)(int type), Model *only, bool plain);

    Slicer *m_slicer;
    SliceBuildConfig m_settings;
    int m_layerIndex;
    float m_z;
    std::unique_ptr<QImage> m_image;
    std::unique_ptr<QImage> m_superImage;
};

} // namespace CWS
