#include "LayerImages.h"
#include "PngCheck.h"
#include "cws/ImageBufferPool.h"
#include "cws/LayerPng.h"
#include "cws/LayerPngCache.h"
#include "cws/ZipEntryData.h"

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtTest>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipfileinfo.h>
#include <quazip/quazipnewinfo.h>
#include <zlib.h>

#include <vector>

using namespace CWS;

class TestLayerPngCache : public QObject
{
    Q_OBJECT

private slots:
    void equalLayerBelowIsReused();
    void blankLayersShareOneEncoding();
    void comparisonIgnoresPaddingOnly();
    void concurrentLayersGetTheirOwnBytes();
    void abandonedLayerBelowIsNotWaitedFor();
    void deflatedEntriesReadBack_data();
    void deflatedEntriesReadBack();
    void recycledImagesBehaveAsFreshOnes();
};

void TestLayerPngCache::equalLayerBelowIsReused()
{
    const TestMesh cube = TestMesh::box(QVector3D(-5, -5, 0), QVector3D(5, 5, 10));
    const TestMesh ball = TestMesh::sphere(QVector3D(0, 0, 5), 5.0f, 20, 30);
    const QImage square = LayerImages::monoLayer(cube, 3.0f, QSize(400, 300));
    const QImage disc = LayerImages::monoLayer(ball, 3.0f, QSize(400, 300));
    LayerPngCache cache;
    // Layers 0-2 the same square, layer 3 a disc, layer 4 the square again: only 1 and 2 reuse
    // (layer 4 differs from the layer below it).
    const QVector<QImage> layers{square, square, square.copy(), disc, square};
    QVector<QByteArray> bytes;
    for (int i = 0; i < layers.size(); ++i) {
        cache.layerStarted(i);
        bytes << cache.encode(i, layers[i]);
        QCOMPARE(bytes.last(), LayerPng::encode(layers[i]));
    }
    QCOMPARE(cache.reusedLayers(), 2);
    // Reused means the same bytes, not encoded again.
    QCOMPARE(bytes[1].constData(), bytes[0].constData());
    QCOMPARE(bytes[2].constData(), bytes[0].constData());
    QVERIFY(bytes[4].constData() != bytes[0].constData());
}

void TestLayerPngCache::blankLayersShareOneEncoding()
{
    LayerPngCache cache;
    const QImage blank = LayerImages::blankImage(QSize(300, 200), QImage::Format_Mono);
    const QImage greyBlank = LayerImages::blankImage(QSize(300, 200), QImage::Format_Grayscale8);
    const QImage dot = [&] {
        QImage img = blank.copy();
        img.setPixel(150, 100, 1);
        return img;
    }();
    // Blank layers far apart reuse the first one's bytes; a blank grey layer is not a blank
    // 1-bit one.
    const QVector<QImage> layers{blank, dot, blank.copy(), dot, blank, greyBlank};
    QVector<QByteArray> bytes;
    for (int i = 0; i < layers.size(); ++i) {
        cache.layerStarted(i * 2);
        bytes << cache.encode(i * 2, layers[i]);
        QCOMPARE(bytes.last(), LayerPng::encode(layers[i]));
    }
    QCOMPARE(bytes[2].constData(), bytes[0].constData());
    QCOMPARE(bytes[4].constData(), bytes[0].constData());
    QVERIFY(bytes[5] != bytes[0]);
    QCOMPARE(cache.reusedLayers(), 2);
}

void TestLayerPngCache::comparisonIgnoresPaddingOnly()
{
    // 1-bit rows end in bits that are no pixels: they never make two layers differ, while any
    // pixel, the resolution or the colour table does.
    QImage a = LayerImages::blankImage(QSize(13, 5), QImage::Format_Mono);
    a.setPixel(12, 4, 1);
    QImage b = a.copy();
    b.scanLine(2)[1] |= 0x01; // bit 15: beyond the 13 pixels
    QVERIFY(LayerPngCache::sameImage(a, b));
    QVERIFY(LayerPngCache::isBlank(LayerImages::blankImage(QSize(13, 5), QImage::Format_Mono)));
    QImage padded = LayerImages::blankImage(QSize(13, 5), QImage::Format_Mono);
    padded.scanLine(0)[1] |= 0x07;
    QVERIFY(LayerPngCache::isBlank(padded));
    padded.setPixel(0, 0, 1);
    QVERIFY(!LayerPngCache::isBlank(padded));
    QImage c = a.copy();
    c.setPixel(12, 4, 0);
    QVERIFY(!LayerPngCache::sameImage(a, c));
    QImage d = a.copy();
    d.setDotsPerMeterX(a.dotsPerMeterX() + 1);
    QVERIFY(!LayerPngCache::sameImage(a, d));
    QImage e = a.copy();
    e.setColorTable({qRgb(0, 0, 0), qRgb(255, 0, 0)});
    QVERIFY(!LayerPngCache::sameImage(a, e));
}

void TestLayerPngCache::concurrentLayersGetTheirOwnBytes()
{
    // A job's pattern on two threads: runs of equal layers (prisms), blank layers and changing
    // ones, started in order and finishing in any order. Every layer must get exactly its own
    // image's bytes, and the runs must be reused.
    const TestMesh ball = TestMesh::sphere(QVector3D(0, 0, 10), 10.0f, 24, 36);
    const TestMesh block = TestMesh::box(QVector3D(-6, -3, 0), QVector3D(6, 3, 20));
    const QSize size(500, 400);
    std::vector<QImage> layers;
    for (int i = 0; i < 240; ++i) {
        const int phase = (i / 30) % 4;
        if (phase == 0)
            layers.push_back(LayerImages::monoLayer(block, 5.0f, size));
        else if (phase == 1)
            layers.push_back(LayerImages::monoLayer(ball, 0.3f + float(i % 30) * 0.6f, size));
        else if (phase == 2)
            layers.push_back(LayerImages::blankImage(size, QImage::Format_Mono));
        else
            layers.push_back(LayerImages::greyLayer(block, 5.0f, size, 2.5));
    }
    LayerPngCache cache;
    std::vector<QByteArray> bytes(layers.size());
    QThreadPool pool;
    pool.setMaxThreadCount(2);
    for (int i = 0; i < int(layers.size()); ++i) {
        pool.start([&, i] {
            cache.layerStarted(i);
            bytes[size_t(i)] = cache.encode(i, layers[size_t(i)]);
        });
    }
    pool.waitForDone();
    for (size_t i = 0; i < layers.size(); ++i)
        QVERIFY2(bytes[i] == LayerPng::encode(layers[i]), qPrintable(QString::number(i)));
    // Three runs of 30 equal layers and one of 30 blank ones: nearly all reused.
    QVERIFY2(cache.reusedLayers() > 100, qPrintable(QString::number(cache.reusedLayers())));
}

void TestLayerPngCache::abandonedLayerBelowIsNotWaitedFor()
{
    // A cancelled layer never draws: the layer above must not wait for it.
    LayerPngCache cache;
    const QImage img = LayerImages::monoLayer(
        TestMesh::box(QVector3D(-5, -5, 0), QVector3D(5, 5, 10)), 3.0f, QSize(200, 200));
    cache.layerStarted(0);
    cache.layerStarted(1);
    cache.layerAbandoned(0);
    QCOMPARE(cache.encode(1, img), LayerPng::encode(img));
    QCOMPARE(cache.reusedLayers(), 0);
}

void TestLayerPngCache::deflatedEntriesReadBack_data()
{
    QTest::addColumn<int>("level");
    QTest::newRow("stored blocks") << 0;
    QTest::newRow("fastest") << 1;
    QTest::newRow("default") << 6;
}

void TestLayerPngCache::deflatedEntriesReadBack()
{
    QFETCH(int, level);
    // Entries deflated ahead and added raw: each must be a deflate entry whose checksum, sizes
    // and bytes unzip and QuaZip accept, at every level, for layers and for odd payloads (one
    // byte, none, more than one stored block).
    QTemporaryDir dir;
    const QString path = dir.filePath("raw.zip");
    QVector<QByteArray> payloads;
    payloads << LayerPng::encode(LayerImages::greyLayer(LayerImages::models().first(), 20.0f,
                                                        QSize(1375, 2455), 2.0))
             << LayerPng::encode(
                    LayerImages::monoLayer(LayerImages::models()[2], 5.0f, QSize(1375, 2455)))
             << QByteArray(200000, 'a') << QByteArray("x") << QByteArray();
    {
        QuaZip zip(path);
        QVERIFY(zip.open(QuaZip::mdCreate));
        for (int i = 0; i < payloads.size(); ++i) {
            const ZipEntryData entry = deflateEntry(payloads[i], level);
            QVERIFY(entry.ok);
            QVERIFY(writeDeflatedEntry(zip, QStringLiteral("e%1.png").arg(i), entry));
        }
        zip.close();
        QCOMPARE(zip.getZipError(), ZIP_OK);
    }
    QCOMPARE(PngCheck::testArchive(path), QString());
    QuaZip zip(path);
    QVERIFY(zip.open(QuaZip::mdUnzip));
    int count = 0;
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile(), ++count) {
        QuaZipFileInfo64 info;
        QVERIFY(zip.getCurrentFileInfo(&info));
        QCOMPARE(info.name, QStringLiteral("e%1.png").arg(count));
        QCOMPARE(info.method, quint16(Z_DEFLATED));
        QCOMPARE(info.uncompressedSize, quint64(payloads[count].size()));
        QuaZipFile content(&zip);
        QVERIFY(content.open(QIODevice::ReadOnly));
        QCOMPARE(content.readAll(), payloads[count]);
    }
    QCOMPARE(count, payloads.size());
}

void TestLayerPngCache::recycledImagesBehaveAsFreshOnes()
{
    // Pool images must be what QImage's own constructor gives (layout, resolution: the PNG
    // carries it), and memory is reused only once no copy of the image is left. A size no
    // other test uses, so the pool holds only this test's memory of it.
    const int w = 1379, h = 2447;
    for (QImage::Format format : {QImage::Format_Mono, QImage::Format_Grayscale8}) {
        const QImage fresh(w, h, format);
        QImage a = ImageBufferPool::acquire(w, h, format);
        QCOMPARE(a.size(), fresh.size());
        QCOMPARE(a.format(), format);
        QCOMPARE(a.bytesPerLine(), fresh.bytesPerLine());
        QCOMPARE(a.dotsPerMeterX(), fresh.dotsPerMeterX());
        QCOMPARE(a.dotsPerMeterY(), fresh.dotsPerMeterY());
        a.fill(0);
        const uchar *memory = a.constBits();
        QImage copy = a;
        a = QImage();
        QImage b = ImageBufferPool::acquire(w, h, format);
        QVERIFY(b.constBits() != memory); // the copy still holds it
        QCOMPARE(copy.constBits(), memory);
        QCOMPARE(copy.constScanLine(h - 1)[0], uchar(0));
        // Released on another thread, taken again on this one.
        QThreadPool pool;
        pool.start([image = std::move(copy)]() mutable { image = QImage(); });
        pool.waitForDone();
        QImage c = ImageBufferPool::acquire(w, h, format);
        QCOMPARE(c.constBits(), memory);
        c.scanLine(10)[3] = 7; // writable in place, no copy
        QCOMPARE(c.constBits(), memory);
    }
    QVERIFY(ImageBufferPool::acquire(0, 10, QImage::Format_Mono).isNull());
}

QTEST_GUILESS_MAIN(TestLayerPngCache)
#include "tst_layerpngcache.moc"
