#include "LayerImages.h"
#include "cws/LayerPng.h"

#include <QColorSpace>
#include <QImage>
#include <QRandomGenerator>
#include <QtTest>

#include <vector>

using namespace CWS;

namespace {

struct Chunk
{
    QByteArray type;
    QByteArray data;
};

QVector<Chunk> chunksOf(const QByteArray &png)
{
    QVector<Chunk> out;
    int at = 8;
    while (at + 12 <= png.size()) {
        const auto *p = reinterpret_cast<const uchar *>(png.constData() + at);
        const int length = int((quint32(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]);
        out.append({png.mid(at + 4, 4), png.mid(at + 8, length)});
        at += 12 + length;
    }
    return out;
}

// Pixel content of various kinds: noise, blank, smooth ramps, sparse dots, grey edges.
QImage greyImage(QRandomGenerator &rng, int w, int h, int kind)
{
    QImage img(w, h, QImage::Format_Grayscale8);
    for (int y = 0; y < h; ++y) {
        uchar *row = img.scanLine(y);
        for (int x = 0; x < w; ++x) {
            switch (kind) {
            case 0:
                row[x] = uchar(rng.bounded(256));
                break;
            case 1:
                row[x] = 0;
                break;
            case 2:
                row[x] = uchar((x * 7 + y * 3) & 255);
                break;
            case 3:
                row[x] = rng.bounded(9) == 0 ? uchar(rng.bounded(256)) : 0;
                break;
            default:
                row[x] = x * 3 > w + y ? 255 : (x * 3 == w + y ? uchar(rng.bounded(256)) : 0);
                break;
            }
        }
    }
    return img;
}

QString describe(const QImage &img)
{
    return QStringLiteral("%1x%2").arg(img.width()).arg(img.height());
}

} // namespace

class TestLayerPng : public QObject
{
    Q_OBJECT

private slots:
    void filterChoiceMatchesPlain();
    void greyBytesEqualQtOnSmallImages();
    void greyBytesEqualQtAroundWindowSizes();
    void greyBytesEqualQtOnLayers_data();
    void greyBytesEqualQtOnLayers();
    void monoKeepsHeaderAndPixels();
    void otherImagesAreSavedByQt();
};

void TestLayerPng::filterChoiceMatchesPlain()
{
    // Rows of every width up to a few vector blocks, and whole layer rows; every filter must
    // win somewhere for the comparison to mean something.
    QRandomGenerator rng(1);
    int wins[5] = {0, 0, 0, 0, 0};
    for (int round = 0; round < 3000; ++round) {
        const int w = round < 2000 ? 1 + round % 70 : 1 + int(rng.bounded(2800));
        std::vector<uchar> row(static_cast<size_t>(w)), prior(static_cast<size_t>(w));
        const int kind = round % 5;
        for (int x = 0; x < w; ++x) {
            prior[size_t(x)] = kind == 4 ? 0 : uchar(rng.bounded(256));
            switch (kind) {
            case 0:
                row[size_t(x)] = uchar(rng.bounded(256));
                break;
            case 1:
                row[size_t(x)] = uchar(prior[size_t(x)] + rng.bounded(3));
                break;
            case 2:
                row[size_t(x)] = uchar(x * 5 + rng.bounded(2));
                break;
            default:
                row[size_t(x)] =
                    uchar((prior[size_t(x)] + (x ? row[size_t(x) - 1] : 0)) / 2 + rng.bounded(2));
                break;
            }
        }
        const unsigned allowed = round % 7 == 0 ? 0x3u : LayerPng::kAllFilters;
        std::vector<uchar> fast(size_t(w) + 1), plain(size_t(w) + 1);
        const int f = LayerPng::filterRow(row.data(), prior.data(), w, fast.data(), allowed);
        const int p = LayerPng::filterRowPlain(row.data(), prior.data(), w, plain.data(), allowed);
        QVERIFY2(
            f == p && fast == plain,
            qPrintable(
                QStringLiteral("round %1 width %2: %3 vs %4").arg(round).arg(w).arg(f).arg(p)));
        ++wins[f];
    }
    for (int f = 0; f < 5; ++f)
        QVERIFY2(wins[f] > 0, qPrintable(QStringLiteral("filter %1 never chosen").arg(f)));
}

void TestLayerPng::greyBytesEqualQtOnSmallImages()
{
    // Thousands of small images: single rows and columns (libpng narrows its filters there),
    // odd widths, blank, noise, ramps, sparse dots, edges.
    QRandomGenerator rng(2);
    const int count = LayerImages::quickRun() ? 400 : 3000;
    for (int i = 0; i < count; ++i) {
        int w = 1 + int(rng.bounded(i % 3 == 0 ? 5 : 90));
        int h = 1 + int(rng.bounded(i % 4 == 0 ? 4 : 70));
        if (i % 10 == 1)
            w = 1;
        if (i % 10 == 2)
            h = 1;
        const QImage img = greyImage(rng, w, h, i % 5);
        QVERIFY(LayerPng::hasFastPath(img));
        const QByteArray ours = LayerPng::encode(img);
        QVERIFY2(ours == LayerPng::encodePlain(img),
                 qPrintable(
                     QStringLiteral("image %1, %2, kind %3").arg(i).arg(describe(img)).arg(i % 5)));
    }
}

void TestLayerPng::greyBytesEqualQtAroundWindowSizes()
{
    // libpng sizes zlib's window to the image below 16 KiB of rows, in steps of powers of two;
    // each step and its neighbours, and the multi-chunk sizes above.
    QRandomGenerator rng(3);
    for (int dataBytes : {100,  250,  251,  260,  262,  263,   300,   512,   775,   1024, 1800,
                          2049, 4096, 4400, 8192, 8193, 16383, 16384, 16385, 20000, 70000}) {
        for (int w : {1, 7, 63, 200}) {
            const int h = std::max(1, dataBytes / (w + 1));
            for (int kind : {0, 3}) {
                const QImage img = greyImage(rng, w, h, kind);
                QVERIFY2(LayerPng::encode(img) == LayerPng::encodePlain(img),
                         qPrintable(describe(img)));
            }
        }
    }
}

void TestLayerPng::greyBytesEqualQtOnLayers_data()
{
    QTest::addColumn<QSize>("jobSize");
    QTest::addColumn<double>("factor");
    for (const QSize &size : LayerImages::jobSizes()) {
        for (double f : LayerImages::factors()) {
            if (LayerImages::quickRun() && f != 2.5)
                continue;
            QTest::newRow(
                qPrintable(QStringLiteral("%1x%2 x%3").arg(size.width()).arg(size.height()).arg(f)))
                << size << f;
        }
    }
}

void TestLayerPng::greyBytesEqualQtOnLayers()
{
    QFETCH(QSize, jobSize);
    QFETCH(double, factor);
    // A layer of each model at a height that varies with the factor, so the runs together
    // cover many sections.
    const QVector<TestMesh> models = LayerImages::models();
    for (int m = 0; m < models.size(); ++m) {
        const float z = 1.025f + float(factor * 3.1 + m * 1.7);
        const QImage img = LayerImages::greyLayer(models[m], z, jobSize, factor);
        QVERIFY2(LayerPng::encode(img) == LayerPng::encodePlain(img),
                 qPrintable(QStringLiteral("model %1 at z %2").arg(m).arg(z)));
    }
}

void TestLayerPng::monoKeepsHeaderAndPixels()
{
    // What a printer's decoder meets: the same chunks before the data (size, bit depth,
    // colour type, palette, resolution) and the same pixels; only the deflate stream differs.
    QRandomGenerator rng(4);
    QVector<QImage> images;
    for (const QSize &size : LayerImages::jobSizes())
        for (const TestMesh &mesh : LayerImages::models())
            images << LayerImages::monoLayer(mesh, 3.025f + float(images.size()), size);
    images << LayerImages::blankImage(QSize(1375, 2455), QImage::Format_Mono);
    for (int i = 0; i < 300; ++i) {
        QImage img = LayerImages::blankImage(
            QSize(1 + int(rng.bounded(i % 2 ? 9 : 300)), 1 + int(rng.bounded(i % 3 ? 9 : 200))),
            QImage::Format_Mono);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                img.setPixel(x, y, rng.bounded(i % 4 == 0 ? 2 : 17) == 0 ? 1 : 0);
        images << img;
    }
    for (const QImage &img : qAsConst(images)) {
        QVERIFY(LayerPng::hasFastPath(img));
        const QByteArray ours = LayerPng::encode(img);
        const QByteArray qt = LayerPng::encodePlain(img);
        const QVector<Chunk> a = chunksOf(ours), b = chunksOf(qt);
        QVERIFY(a.size() >= 5);
        QCOMPARE(a.first().type, QByteArray("IHDR"));
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(a[i].type, b[i].type);
            QCOMPARE(a[i].data, b[i].data);
        }
        QCOMPARE(a[1].type, QByteArray("PLTE"));
        QCOMPARE(a.last().type, QByteArray("IEND"));
        QImage decoded = QImage::fromData(ours, "PNG");
        QCOMPARE(decoded.format(), QImage::Format_Mono);
        QVERIFY2(decoded == QImage::fromData(qt, "PNG"), qPrintable(describe(img)));
        QVERIFY(decoded == img);
    }
}

void TestLayerPng::otherImagesAreSavedByQt()
{
    // Metadata the layer encoder does not write, and formats it does not handle, go through
    // Qt unchanged.
    QRandomGenerator rng(5);
    QImage withText = greyImage(rng, 40, 30, 0);
    withText.setText(QStringLiteral("Comment"), QStringLiteral("x"));
    QImage withSpace = greyImage(rng, 40, 30, 0);
    withSpace.setColorSpace(QColorSpace::SRgb);
    QImage withOffset = greyImage(rng, 40, 30, 0);
    withOffset.setOffset(QPoint(3, 4));
    QImage inverted = LayerImages::blankImage(QSize(30, 20), QImage::Format_Mono);
    inverted.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    const QImage rgb = greyImage(rng, 20, 10, 0).convertToFormat(QImage::Format_RGB32);
    // libpng's own complaint about an RGB profile on a grey image, once per save.
    for (int i = 0; i < 2; ++i)
        QTest::ignoreMessage(QtWarningMsg, "libpng warning: profile 'sRGB': 'RGB ': RGB color "
                                           "space not permitted on grayscale PNG");
    for (const QImage &img : {withText, withSpace, withOffset, inverted, rgb}) {
        QVERIFY(!LayerPng::hasFastPath(img));
        QCOMPARE(LayerPng::encode(img), LayerPng::encodePlain(img));
    }
    QVERIFY(LayerPng::encode(QImage()).isEmpty());
}

QTEST_GUILESS_MAIN(TestLayerPng)
#include "tst_layerpng.moc"
