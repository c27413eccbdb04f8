#include "LayerImages.h"
#include "PngCheck.h"
#include "cws/LayerPng.h"
#include "cws/RowDeflate.h"

#include <QColorSpace>
#include <QImage>
#include <QRandomGenerator>
#include <QtTest>

#include <vector>

#include <zlib.h>

using namespace CWS;

namespace {

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

// What a printer meets: the same header chunks as Qt writes (size, bit depth, colour type,
// palette, resolution) and nothing else before or after the data, and the image's pixels
// through Qt's reader and through libpng.
QString checkAgainstQt(const QByteArray &ours, const QImage &img)
{
    const QByteArray qt = LayerPng::encodePlain(img);
    const QVector<PngCheck::Chunk> a = PngCheck::chunksOf(ours), b = PngCheck::chunksOf(qt);
    if (a.size() < 4 || b.size() < 4)
        return QStringLiteral("not a whole PNG");
    for (int i = 0; i < b.size() && b[i].type != "IDAT"; ++i)
        if (a[i].type != b[i].type || a[i].data != b[i].data)
            return QStringLiteral("header chunk %1 (%2) differs").arg(i).arg(QString(b[i].type));
    QString problem = PngCheck::unexpectedChunks(ours);
    if (problem.isEmpty())
        problem = PngCheck::checkPixels(ours, PngCheck::greyLevels(img));
    return problem;
}

// Rows for the filters: every width up to a few vector blocks, and whole layer rows.
void fillRows(QRandomGenerator &rng, int kind, std::vector<uchar> &row, std::vector<uchar> &prior)
{
    const int w = int(row.size());
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
}

} // namespace

class TestLayerPng : public QObject
{
    Q_OBJECT

private slots:
    void filtersMatchPlain_data();
    void filtersMatchPlain();
    void smallImagesDecodeAsQtWrites_data();
    void smallImagesDecodeAsQtWrites();
    void everyEncodingDecodesTheSame_data();
    void everyEncodingDecodesTheSame();
    void greyLayersDecodeAsQtWrites_data();
    void greyLayersDecodeAsQtWrites();
    void rowCoderRoundTrips_data();
    void rowCoderRoundTrips();
    void monoKeepsHeaderAndPixels();
    void otherImagesAreSavedByQt();
};

void TestLayerPng::filtersMatchPlain_data()
{
    QTest::addColumn<int>("filter");
    QTest::newRow("none") << int(LayerPng::RowFilter::None);
    QTest::newRow("sub") << int(LayerPng::RowFilter::Sub);
    QTest::newRow("up") << int(LayerPng::RowFilter::Up);
    QTest::newRow("average") << int(LayerPng::RowFilter::Average);
    QTest::newRow("paeth") << int(LayerPng::RowFilter::Paeth);
    QTest::newRow("adaptive") << int(LayerPng::RowFilter::Adaptive);
}

void TestLayerPng::filtersMatchPlain()
{
    QFETCH(int, filter);
    const auto rowFilter = LayerPng::RowFilter(filter);
    // The vector code against the byte-at-a-time one; the adaptive choice must pick every
    // filter somewhere for the comparison to mean something.
    QRandomGenerator rng(1 + uint(filter));
    int wins[5] = {0, 0, 0, 0, 0};
    for (int round = 0; round < 3000; ++round) {
        const int w = round < 2000 ? 1 + round % 70 : 1 + int(rng.bounded(2800));
        std::vector<uchar> row(static_cast<size_t>(w)), prior(static_cast<size_t>(w));
        fillRows(rng, round % 5, row, prior);
        const unsigned allowed = round % 7 == 0 ? 0x3u : LayerPng::kAllFilters;
        std::vector<uchar> fast(size_t(w) + 1), plain(size_t(w) + 1);
        const int f =
            LayerPng::filterRow(rowFilter, row.data(), prior.data(), w, fast.data(), allowed);
        const int p =
            LayerPng::filterRowPlain(rowFilter, row.data(), prior.data(), w, plain.data(), allowed);
        QVERIFY2(
            f == p && fast == plain,
            qPrintable(
                QStringLiteral("round %1 width %2: %3 vs %4").arg(round).arg(w).arg(f).arg(p)));
        ++wins[f];
    }
    for (int f = 0; f < 5; ++f)
        QVERIFY2(rowFilter != LayerPng::RowFilter::Adaptive ? wins[f] == (f == filter ? 3000 : 0)
                                                            : wins[f] > 0,
                 qPrintable(QStringLiteral("filter %1 chosen %2 times").arg(f).arg(wins[f])));
}

void TestLayerPng::smallImagesDecodeAsQtWrites_data()
{
    QTest::addColumn<QSize>("size");
    // One pixel; one row and one column (no row above, no pixel to the left); odd widths
    // that end inside a 1-bit byte and inside a vector block; a file of many data chunks.
    for (const QSize &s :
         {QSize(1, 1), QSize(1, 57), QSize(57, 1), QSize(2, 3), QSize(7, 9), QSize(13, 40),
          QSize(17, 17), QSize(33, 5), QSize(1375, 3), QSize(301, 611)})
        QTest::newRow(qPrintable(QStringLiteral("%1x%2").arg(s.width()).arg(s.height()))) << s;
}

void TestLayerPng::smallImagesDecodeAsQtWrites()
{
    QFETCH(QSize, size);
    // Blank, noise, ramps, sparse dots and grey edges in grey; blank, noise and sparse dots in
    // 1 bit, with the padding bits after the last pixel set (they are no pixels).
    QRandomGenerator rng(uint(size.width() * 31 + size.height()));
    for (int kind = 0; kind < 5; ++kind) {
        const QImage grey = greyImage(rng, size.width(), size.height(), kind);
        QVERIFY(LayerPng::hasFastPath(grey));
        const QString problem = checkAgainstQt(LayerPng::encode(grey), grey);
        QVERIFY2(problem.isEmpty(),
                 qPrintable(QStringLiteral("grey kind %1: %2").arg(kind).arg(problem)));
    }
    for (int kind = 0; kind < 3; ++kind) {
        QImage mono = LayerImages::blankImage(size, QImage::Format_Mono);
        for (int y = 0; y < mono.height(); ++y) {
            for (int x = 0; x < mono.width(); ++x)
                if (kind == 1 ? rng.bounded(2) == 0 : kind == 2 && rng.bounded(13) == 0)
                    mono.setPixel(x, y, 1);
            const int lastBits = mono.width() % 8;
            if (lastBits)
                mono.scanLine(y)[mono.width() / 8] |= uchar(0xff >> lastBits);
        }
        QVERIFY(LayerPng::hasFastPath(mono));
        const QString problem = checkAgainstQt(LayerPng::encode(mono), mono);
        QVERIFY2(problem.isEmpty(),
                 qPrintable(QStringLiteral("1-bit kind %1: %2").arg(kind).arg(problem)));
    }
}

void TestLayerPng::everyEncodingDecodesTheSame_data()
{
    QTest::addColumn<int>("filter");
    QTest::addColumn<int>("level");
    // Every filter with our coder of runs (-1), libdeflate's stored blocks, its fastest level
    // and a slow one.
    for (int f = 0; f <= int(LayerPng::RowFilter::Adaptive); ++f)
        for (int level : {-1, 0, 1, 2, 6, 12})
            QTest::newRow(qPrintable(QStringLiteral("filter %1 level %2").arg(f).arg(level)))
                << f << level;
}

void TestLayerPng::everyEncodingDecodesTheSame()
{
    QFETCH(int, filter);
    QFETCH(int, level);
    const LayerPng::Encoding encoding{
        LayerPng::RowFilter(filter),
        level < 0 ? LayerPng::Compressor::Rows : LayerPng::Compressor::Libdeflate, qMax(level, 0)};
    // A grey and a 1-bit layer of a round model at an odd size, and a blank one.
    const QSize size(613, 777);
    const TestMesh ball = LayerImages::models().first();
    for (const QImage &img :
         {LayerImages::greyLayer(ball, 21.0f, size, 2.5), LayerImages::monoLayer(ball, 21.0f, size),
          LayerImages::blankImage(size, QImage::Format_Grayscale8)}) {
        const QString problem = checkAgainstQt(LayerPng::encode(img, encoding), img);
        QVERIFY2(problem.isEmpty(),
                 qPrintable(QStringLiteral("%1 bit: %2").arg(img.depth()).arg(problem)));
    }
}

void TestLayerPng::greyLayersDecodeAsQtWrites_data()
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

void TestLayerPng::greyLayersDecodeAsQtWrites()
{
    QFETCH(QSize, jobSize);
    QFETCH(double, factor);
    // A layer of each model at a height that varies with the factor, so the runs together
    // cover many sections.
    const QVector<TestMesh> models = LayerImages::models();
    for (int m = 0; m < models.size(); ++m) {
        const float z = 1.025f + float(factor * 3.1 + m * 1.7);
        const QImage img = LayerImages::greyLayer(models[m], z, jobSize, factor);
        const QString problem = checkAgainstQt(LayerPng::encode(img), img);
        QVERIFY2(problem.isEmpty(),
                 qPrintable(QStringLiteral("model %1 at z %2: %3").arg(m).arg(z).arg(problem)));
    }
}

void TestLayerPng::rowCoderRoundTrips_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("rowBytes");
    QRandomGenerator rng(6);
    QByteArray noise(100000, 0);
    rng.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    // Rows of black and white runs whose edges wander, with grey at the edges.
    QByteArray layer;
    for (int y = 0, edge = 300; y < 400; ++y, edge += int(rng.bounded(5)) - 2) {
        QByteArray row(1001, char(0));
        row[0] = 0;
        for (int x = edge; x < edge + 200; ++x)
            row[x] = char(255);
        row[edge - 1] = char(rng.bounded(256));
        row[edge + 200] = char(rng.bounded(256));
        layer += row;
    }
    // Symbols as frequent as Fibonacci numbers, scattered: the plain Huffman tree is deeper
    // than deflate's 15 bits and must be flattened.
    QByteArray skewed;
    for (int k = 0, a = 1, b = 1; k < 26; ++k, std::swap(a, b), b += a)
        skewed += QByteArray(a, char(k * 7 + 1));
    for (int i = skewed.size() - 1; i > 0; --i)
        std::swap(skewed.data()[i], skewed.data()[rng.bounded(i + 1)]);
    QByteArray wide(3 * 40000, char(0));
    for (int i = 0; i < wide.size(); i += 97)
        wide[i] = char(i);
    QTest::newRow("nothing") << QByteArray() << 10;
    QTest::newRow("one byte") << QByteArray(1, 'x') << 10;
    QTest::newRow("one value") << QByteArray(1000000, char(0)) << 1376;
    QTest::newRow("one-byte rows") << layer.left(5000) << 1;
    QTest::newRow("layer rows") << layer << 1001;
    QTest::newRow("noise") << noise << 1376;
    QTest::newRow("skewed symbols") << skewed << 1376;
    QTest::newRow("rows wider than the window") << wide << 40000;
}

void TestLayerPng::rowCoderRoundTrips()
{
    QFETCH(QByteArray, data);
    QFETCH(int, rowBytes);
    // zlib's own inflate gives the bytes back, checksum included.
    std::vector<uchar> stream;
    RowDeflate::compress(reinterpret_cast<const uchar *>(data.constData()), size_t(data.size()),
                         size_t(rowBytes), stream);
    QByteArray back(data.size() + 1, char(0));
    uLongf length = uLongf(back.size());
    QCOMPARE(uncompress(reinterpret_cast<Bytef *>(back.data()), &length, stream.data(),
                        uLong(stream.size())),
             Z_OK);
    QCOMPARE(back.left(int(length)), data);
}

void TestLayerPng::monoKeepsHeaderAndPixels()
{
    // 1-bit layers of every model at both job sizes, a blank one, and random dots.
    QRandomGenerator rng(4);
    QVector<QImage> images;
    for (const QSize &size : LayerImages::jobSizes())
        for (const TestMesh &mesh : LayerImages::models())
            images << LayerImages::monoLayer(mesh, 3.025f + float(images.size()), size);
    images << LayerImages::blankImage(QSize(1375, 2455), QImage::Format_Mono);
    for (int i = 0; i < 100; ++i) {
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
        QCOMPARE(QImage::fromData(ours, "PNG").format(), QImage::Format_Mono);
        const QString problem = checkAgainstQt(ours, img);
        QVERIFY2(problem.isEmpty(), qPrintable(describe(img) + QStringLiteral(": ") + problem));
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
