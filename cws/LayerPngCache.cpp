#include "cws/LayerPngCache.h"

#include "cws/LayerPng.h"

#include <cstring>

namespace CWS {

namespace {

// The bytes of a row that hold pixels, and the bits of the last one that do.
struct RowSpan
{
    int wholeBytes;
    uchar lastMask;
};

RowSpan rowSpan(const QImage &image)
{
    const qint64 bits = qint64(image.width()) * image.depth();
    const int rest = int(bits % 8);
    return {int(bits / 8), rest ? uchar(0xff << (8 - rest)) : uchar(0)};
}

bool layerFormat(const QImage &image)
{
    return image.format() == QImage::Format_Mono || image.format() == QImage::Format_Grayscale8;
}

// Key by key: the image below is read on two threads at once, and QImage::text() without a
// key detaches the image's shared text map, which two threads must not do together.
bool sameText(const QImage &a, const QImage &b)
{
    const QStringList keys = a.textKeys();
    if (keys != b.textKeys())
        return false;
    for (const QString &key : keys)
        if (a.text(key) != b.text(key))
            return false;
    return true;
}

} // namespace

bool LayerPngCache::sameImage(const QImage &a, const QImage &b)
{
    // The PNG carries size, format, colour table and resolution besides the pixels.
    if (a.size() != b.size() || a.format() != b.format() || a.colorTable() != b.colorTable() ||
        a.dotsPerMeterX() != b.dotsPerMeterX() || a.dotsPerMeterY() != b.dotsPerMeterY() ||
        a.offset() != b.offset() || !sameText(a, b))
        return false;
    if (!layerFormat(a))
        return a == b;
    // Row by row, leaving out the padding bits QImage's own comparison reads pixel by pixel.
    const RowSpan span = rowSpan(a);
    for (int y = 0; y < a.height(); ++y) {
        const uchar *ra = a.constScanLine(y);
        const uchar *rb = b.constScanLine(y);
        if (std::memcmp(ra, rb, size_t(span.wholeBytes)) != 0)
            return false;
        if (span.lastMask && ((ra[span.wholeBytes] ^ rb[span.wholeBytes]) & span.lastMask) != 0)
            return false;
    }
    return true;
}

bool LayerPngCache::isBlank(const QImage &image)
{
    if (!layerFormat(image) || (image.format() == QImage::Format_Mono && image.colorCount() < 1))
        return false;
    const RowSpan span = rowSpan(image);
    for (int y = 0; y < image.height(); ++y) {
        const uchar *row = image.constScanLine(y);
        for (int i = 0; i < span.wholeBytes; ++i)
            if (row[i] != 0)
                return false;
        if (span.lastMask && (row[span.wholeBytes] & span.lastMask) != 0)
            return false;
    }
    return true;
}

void LayerPngCache::layerStarted(int layer)
{
    QMutexLocker lock(&m_mutex);
    m_layers[layer] = Entry();
}

void LayerPngCache::publish(int layer, State state, const QImage &image, const QByteArray &png)
{
    QMutexLocker lock(&m_mutex);
    Entry &e = m_layers[layer];
    e.state = state;
    e.image = image;
    e.png = png;
    if (e.consumed && (state == State::Encoded || state == State::Abandoned))
        m_layers.erase(layer);
    m_changed.wakeAll();
}

void LayerPngCache::releaseBelow(int layer)
{
    // Only this layer looks at the one below: it goes once it is done.
    auto it = m_layers.find(layer - 1);
    if (it == m_layers.end())
        return;
    it->second.consumed = true;
    if (it->second.state == State::Encoded || it->second.state == State::Abandoned)
        m_layers.erase(it);
}

void LayerPngCache::layerAbandoned(int layer)
{
    publish(layer, State::Abandoned, QImage(), QByteArray());
    QMutexLocker lock(&m_mutex);
    releaseBelow(layer);
}

QByteArray LayerPngCache::encode(int layer, const QImage &image)
{
    if (isBlank(image)) {
        QByteArray png;
        {
            QMutexLocker lock(&m_mutex);
            if (!m_blankPng.isEmpty() && sameImage(m_blankImage, image))
                png = m_blankPng;
            releaseBelow(layer);
        }
        if (png.isEmpty()) {
            png = LayerPng::encode(image);
            QMutexLocker lock(&m_mutex);
            if (m_blankPng.isEmpty()) {
                m_blankImage = image;
                m_blankPng = png;
            }
        } else {
            ++m_reused;
        }
        publish(layer, State::Encoded, image, png);
        return png;
    }

    publish(layer, State::Drawn, image, QByteArray());
    // The layer below is drawing or encoding on the other thread: its image, and then its
    // bytes, come soon.
    QImage below;
    {
        QMutexLocker lock(&m_mutex);
        auto it = m_layers.find(layer - 1);
        while (it != m_layers.end() && it->second.state == State::Drawing) {
            m_changed.wait(&m_mutex);
            it = m_layers.find(layer - 1);
        }
        if (it != m_layers.end() && it->second.state != State::Abandoned)
            below = it->second.image;
    }
    const bool same = !below.isNull() && sameImage(below, image);
    QByteArray png;
    {
        QMutexLocker lock(&m_mutex);
        auto it = m_layers.find(layer - 1);
        while (same && it != m_layers.end() && it->second.state == State::Drawn) {
            m_changed.wait(&m_mutex);
            it = m_layers.find(layer - 1);
        }
        if (same && it != m_layers.end() && it->second.state == State::Encoded)
            png = it->second.png;
        releaseBelow(layer);
    }
    if (png.isEmpty())
        png = LayerPng::encode(image);
    else
        ++m_reused;
    publish(layer, State::Encoded, image, png);
    return png;
}

} // namespace CWS
