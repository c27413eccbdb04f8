#pragma once

#include <QByteArray>
#include <QImage>
#include <QMutex>
#include <QWaitCondition>

#include <atomic>
#include <map>

namespace CWS {

// The PNG bytes of one job's layers, shared between its workers so that a layer whose image
// equals the layer below it, and every empty layer, reuses bytes already encoded.
//
// A worker calls layerStarted before drawing, then encode with its image, or layerAbandoned
// when it writes nothing. A layer waits for the layer below only once that one has started,
// so a chain of waits always ends at a layer that is drawing or encoding.
class LayerPngCache
{
public:
    void layerStarted(int layer);
    void layerAbandoned(int layer);

    // The layer's PNG (LayerPng::encode); empty when encoding failed.
    QByteArray encode(int layer, const QImage &image);

    // Layers that took bytes from another layer instead of encoding their own.
    int reusedLayers() const { return m_reused.load(); }

    // Whether two layer images would be written as the same PNG.
    static bool sameImage(const QImage &a, const QImage &b);
    // No pixel set: all index 0 or grey 0.
    static bool isBlank(const QImage &image);

private:
    enum class State
    {
        Drawing,
        Drawn,
        Encoded,
        Abandoned
    };
    struct Entry
    {
        State state = State::Drawing;
        QImage image;
        QByteArray png;
        bool consumed = false; // the layer above has looked at it
    };

    void publish(int layer, State state, const QImage &image, const QByteArray &png);
    // Called with the mutex held.
    void releaseBelow(int layer);

    QMutex m_mutex;
    QWaitCondition m_changed;
    std::map<int, Entry> m_layers;
    QImage m_blankImage;
    QByteArray m_blankPng;
    std::atomic_int m_reused{0};
};

} // namespace CWS
