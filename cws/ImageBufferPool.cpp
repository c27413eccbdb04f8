#include "cws/ImageBufferPool.h"

#include <QMutex>

#include <cstdlib>
#include <vector>

namespace CWS::ImageBufferPool {

namespace {

// Spares for the two pool threads' next layer and supersampled image. Any more only raise the
// job's peak: at factor 5 each supersampled image is 10 MB.
constexpr size_t kKeptBuffers = 4;

struct Buffer
{
    size_t bytes;
    void *data;
};

struct Pool
{
    QMutex mutex;
    std::vector<Buffer> free;

    ~Pool()
    {
        for (const Buffer &b : free)
            std::free(b.data);
    }
};

Pool &pool()
{
    static Pool p;
    return p;
}

struct Held
{
    size_t bytes;
    void *data;
};

void release(void *info)
{
    Held *held = static_cast<Held *>(info);
    Pool &p = pool();
    void *evicted = nullptr;
    {
        // The newest memory stays: a job of another size must not find the pool full of
        // the sizes of the job before.
        QMutexLocker lock(&p.mutex);
        if (p.free.size() >= kKeptBuffers) {
            evicted = p.free.front().data;
            p.free.erase(p.free.begin());
        }
        p.free.push_back({held->bytes, held->data});
    }
    std::free(evicted);
    delete held;
}

} // namespace

QImage acquire(int widthPx, int heightPx, QImage::Format format)
{
    if (widthPx <= 0 || heightPx <= 0)
        return QImage();
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    const qint64 bytesPerLine = (qint64(widthPx) * depth + 31) / 32 * 4;
    const size_t bytes = size_t(bytesPerLine) * size_t(heightPx);
    if (bytesPerLine > std::numeric_limits<int>::max())
        return QImage();
    void *data = nullptr;
    {
        Pool &p = pool();
        QMutexLocker lock(&p.mutex);
        for (auto it = p.free.begin(); it != p.free.end(); ++it) {
            if (it->bytes == bytes) {
                data = it->data;
                p.free.erase(it);
                break;
            }
        }
    }
    if (!data)
        data = std::malloc(bytes);
    if (!data)
        return QImage();
    QImage image(static_cast<uchar *>(data), widthPx, heightPx, int(bytesPerLine), format, release,
                 new Held{bytes, data});
    return image;
}

} // namespace CWS::ImageBufferPool
