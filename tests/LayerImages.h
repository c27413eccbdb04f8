#pragma once

#include "TestMeshes.h"
#include "cws/LayerRaster.h"
#include "model/LayerMath.h"

#include <QImage>
#include <QRandomGenerator>
#include <QSize>
#include <QVector>

// Layer images as jobs draw them, for the encoder and reduction tests.
namespace LayerImages {

// Under the sanitizers every pixel costs many times more: the exhaustive loops shrink there.
inline bool quickRun()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#else
    return qEnvironmentVariableIsSet("QUOR_QUICK_TESTS");
#endif
}

// The job sizes the catalogue's panels give (usable area and whole panel).
inline QVector<QSize> jobSizes()
{
    return {QSize(1375, 2455), QSize(1440, 2560)};
}

// Every factor the slice settings offer.
inline QVector<double> factors()
{
    return {2.0, 2.5, 3.0, 3.5, 4.0, 4.5, 5.0};
}

inline const double kPixelsPerMm = 21.164;

// Models of different character: round, hollow, many small islands, walls thinner than a
// pixel, tilted, and larger than the plate.
inline QVector<TestMesh> models()
{
    QVector<TestMesh> out;
    out << TestMesh::sphere(QVector3D(1.3f, -2.1f, 20), 20.0f, 60, 90);
    out << TestMesh::tube(25.0f, 21.5f, 0.0f, 40.0f, 120);
    TestMesh parts;
    QRandomGenerator rng(11);
    for (int i = 0; i < 80; ++i) {
        const QVector3D lo(float(rng.bounded(-300, 300)) / 10, float(rng.bounded(-550, 550)) / 10,
                           float(rng.bounded(0, 200)) / 10);
        parts.append(TestMesh::box(lo, lo + QVector3D(0.2f + float(rng.bounded(60)) / 10,
                                                      0.2f + float(rng.bounded(60)) / 10,
                                                      1.0f + float(rng.bounded(200)) / 10)));
    }
    out << parts;
    TestMesh walls;
    for (int i = 0; i < 12; ++i)
        walls.append(TestMesh::box(QVector3D(-28 + i * 4.7f, -50, 0),
                                   QVector3D(-28 + i * 4.7f + 0.01f * (i + 1), 50, 40)));
    out << walls;
    QMatrix4x4 t;
    t.translate(2, 1, 20);
    t.rotate(33, QVector3D(1, 0.4f, 0.2f));
    t.scale(2.7f, 1.6f, 2.2f);
    out << TestMesh::box(QVector3D(-8, -8, -8), QVector3D(8, 8, 8)).transformed(t);
    out << TestMesh::sphere(QVector3D(10, -20, 20), 60.0f, 40, 60);
    return out;
}

inline CWS::SegmentList sectionOf(const TestMesh &mesh, float z)
{
    CWS::SegmentList out;
    CWS::LayerMath::cutTriangles(mesh.positions, mesh.indices.constData(), 0, mesh.indices.size(),
                                 z, out);
    return out;
}

// A random section: closed rings (some crossing themselves) with horizontal, upright and
// diagonal edges, plus stray open segments, within spreadMm of the centre. Diagonal and upright
// edges cross rows on whole pixels; strays leave rows with an odd number of crossings.
inline CWS::SegmentList segmentSoup(QRandomGenerator &rng, double spreadMm)
{
    auto any = [&](double range) { return float(rng.bounded(2 * range) - range); };
    CWS::SegmentList out;
    const int rings = 1 + int(rng.bounded(5));
    for (int r = 0; r < rings; ++r) {
        const QVector3D centre(any(spreadMm * 0.7), any(spreadMm * 0.7), 0);
        const double radius = spreadMm * 0.3 * (0.02 + rng.bounded(1.0));
        const int corners = 3 + int(rng.bounded(10));
        QVector<QVector3D> ring{centre + QVector3D(any(radius), any(radius), 0)};
        for (int i = 1; i < corners; ++i) {
            QVector3D p = centre + QVector3D(any(radius), any(radius), 0);
            const QVector3D &last = ring.last();
            switch (rng.bounded(5)) {
            case 0:
                p.setY(last.y());
                break;
            case 1:
                p.setX(last.x());
                break;
            case 2:
                p.setY(last.y() + (p.x() - last.x()));
                break;
            default:
                break;
            }
            ring.append(p);
        }
        for (int i = 0; i < ring.size(); ++i)
            out.append(CWS::LayerSegment{ring[i], ring[(i + 1) % ring.size()]});
    }
    for (int stray = int(rng.bounded(3)); stray > 0; --stray)
        out.append(CWS::LayerSegment{QVector3D(any(spreadMm), any(spreadMm), 0),
                                     QVector3D(any(spreadMm), any(spreadMm), 0)});
    return out;
}

inline QImage blankImage(QSize size, QImage::Format format)
{
    QImage img(size, format);
    if (format == QImage::Format_Mono)
        img.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    img.fill(0);
    return img;
}

// The model's section at z drawn as a 1-bit job layer, or supersampled by factor in 1 bit.
inline QImage monoLayer(const TestMesh &mesh, float z, QSize jobSize, double factor = 1.0)
{
    QImage img = blankImage(QSize(int(jobSize.width() * factor), int(jobSize.height() * factor)),
                            QImage::Format_Mono);
    CWS::LayerRaster::drawSegmentList(img, sectionOf(mesh, z), kPixelsPerMm * factor,
                                      kPixelsPerMm * factor);
    return img;
}

// The anti-aliased job layer: supersampled, then reduced.
inline QImage greyLayer(const TestMesh &mesh, float z, QSize jobSize, double factor)
{
    return CWS::LayerRaster::downscale(monoLayer(mesh, z, jobSize, factor), jobSize);
}

} // namespace LayerImages
