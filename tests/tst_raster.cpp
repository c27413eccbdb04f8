#include "LayerImages.h"
#include "LogCapture.h"
#include "TestMeshes.h"
#include "cws/LayerRaster.h"
#include "cws/SectionRows.h"
#include "model/LayerMath.h"

#include <QImage>
#include <QRandomGenerator>
#include <QtTest>

using namespace CWS;

namespace {

const double kPpmm = 21.164;

SegmentList sectionOf(const TestMesh &mesh, float z)
{
    SegmentList out;
    LayerMath::cutTriangles(mesh.positions, mesh.indices.constData(), 0, mesh.indices.size(), z,
                            out);
    return out;
}

QImage blank(int w, int h, QImage::Format format)
{
    QImage img(w, h, format);
    img.fill(0);
    return img;
}

int whiteCount(const QImage &img)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += qGray(img.pixel(x, y)) > 127;
    return n;
}

// The first pixel where two images differ, for a readable failure.
QString firstDifference(const QImage &a, const QImage &b)
{
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return QStringLiteral("(%1, %2)").arg(x).arg(y);
    return QString();
}

// Where the fast drawing of lists differs from the plain one, in 1 bit and in grey, or the
// white runs taken without an image from the plain 1-bit image's; empty if nowhere.
QString twinDifference(const SegmentListSet &lists, QSize size, double ppmm)
{
    for (QImage::Format f : {QImage::Format_Mono, QImage::Format_Grayscale8}) {
        QImage plain = blank(size.width(), size.height(), f);
        QImage fast = plain.copy();
        for (const SegmentList &s : lists) {
            LayerRaster::drawSegmentListPlain(plain, s, ppmm, ppmm);
            LayerRaster::drawSegmentList(fast, s, ppmm, ppmm);
        }
        if (fast != plain)
            return QString("format %1, first difference at %2")
                .arg(f)
                .arg(firstDifference(fast, plain));
        if (f != QImage::Format_Mono)
            continue;
        std::vector<IslandAnalysis::PixelRun> runs;
        LayerRaster::appendWhiteRuns(runs, lists, ppmm, ppmm, size);
        const std::vector<IslandAnalysis::PixelRun> drawn =
            IslandAnalysis::solidRuns(plain, plain.rect());
        const auto same = [](const IslandAnalysis::PixelRun &a, const IslandAnalysis::PixelRun &b) {
            return a.row == b.row && a.x0 == b.x0 && a.x1 == b.x1;
        };
        if (!std::equal(runs.begin(), runs.end(), drawn.begin(), drawn.end(), same))
            return QString("runs: %1 taken, %2 in the image").arg(runs.size()).arg(drawn.size());
    }
    return QString();
}

} // namespace

class TestRaster : public QObject
{
    Q_OBJECT

private slots:
    void squareCoversExpectedPixels();
    void emptyListDrawsNothing();
    void holeSkipsRowsWithMessage();
    void overlappingListsGiveUnion();
    void twoShellsInOneListLeaveOverlapBlack();
    void fastPathMatchesPlain_data();
    void fastPathMatchesPlain();
    void fastPathMatchesPlainOnSegmentSoup();
    void fastPathMatchesPlainOnRandomSections_data();
    void fastPathMatchesPlainOnRandomSections();
    void downscaleMatchesSmoothScaling_data();
    void downscaleMatchesSmoothScaling();
    void rowBitsMatchRuns_data();
    void rowBitsMatchRuns();
};

void TestRaster::squareCoversExpectedPixels()
{
    const TestMesh cube = TestMesh::box(QVector3D(-5, -5, 0), QVector3D(5, 5, 10));
    for (bool fast : {false, true}) {
        QImage img = blank(1440, 2560, QImage::Format_Mono);
        const SegmentList s = sectionOf(cube, 5.025f);
        if (fast)
            LayerRaster::drawSegmentList(img, s, kPpmm, kPpmm);
        else
            LayerRaster::drawSegmentListPlain(img, s, kPpmm, kPpmm);
        // +-5 mm is +-105.82 px, truncated to +-105 around the centre (720, 1280); the fill
        // reaches row 1384 and the outline closes row 1385.
        QCOMPARE(whiteCount(img), 211 * 211);
        QCOMPARE(img.pixel(615, 1175), qRgb(255, 255, 255));
        QCOMPARE(img.pixel(825, 1385), qRgb(255, 255, 255));
        QCOMPARE(img.pixel(614, 1280), qRgb(0, 0, 0));
        QCOMPARE(img.pixel(826, 1280), qRgb(0, 0, 0));
        QCOMPARE(img.pixel(720, 1174), qRgb(0, 0, 0));
        QCOMPARE(img.pixel(720, 1386), qRgb(0, 0, 0));
    }
}

void TestRaster::emptyListDrawsNothing()
{
    QImage img = blank(200, 300, QImage::Format_Mono);
    LayerRaster::drawSegmentList(img, SegmentList(), kPpmm, kPpmm);
    LayerRaster::drawSegmentListPlain(img, SegmentList(), kPpmm, kPpmm);
    QCOMPARE(whiteCount(img), 0);
}

void TestRaster::holeSkipsRowsWithMessage()
{
    TestMesh cube = TestMesh::box(QVector3D(-5, -5, 0), QVector3D(5, 5, 10));
    cube.indices.remove(24, 3); // half of the x = -5 side is missing: the section is open
    const SegmentList s = sectionOf(cube, 5.025f);
    QImage plain = blank(600, 600, QImage::Format_Mono);
    QImage fast = blank(600, 600, QImage::Format_Mono);
    LogCapture log;
    LayerRaster::drawSegmentListPlain(plain, s, kPpmm, kPpmm);
    LayerRaster::drawSegmentList(fast, s, kPpmm, kPpmm);
    QVERIFY(log.contains(QStringLiteral(" odd # of points = 1 - Model may have holes")));
    QVERIFY(log.lines().first().startsWith(QStringLiteral("Row y=")));
    QCOMPARE(fast, plain);
    // The open half's rows keep only their outline pixels.
    const int white = whiteCount(plain);
    QVERIFY(white < 211 * 211 * 3 / 4);
    QVERIFY(white > 211 * 211 / 4);
}

void TestRaster::overlappingListsGiveUnion()
{
    const TestMesh a = TestMesh::box(QVector3D(-5, -5, 0), QVector3D(5, 5, 10));
    const TestMesh b = TestMesh::box(QVector3D(0, 0, 0), QVector3D(8, 8, 10));
    QImage img = blank(800, 800, QImage::Format_Mono);
    LayerRaster::drawSegmentList(img, sectionOf(a, 1.0f), kPpmm, kPpmm);
    LayerRaster::drawSegmentList(img, sectionOf(b, 1.0f), kPpmm, kPpmm);
    // Inside both, inside only one of each, outside both.
    QCOMPARE(img.pixel(400 + 50, 400 + 50), qRgb(255, 255, 255));
    QCOMPARE(img.pixel(400 - 80, 400 - 80), qRgb(255, 255, 255));
    QCOMPARE(img.pixel(400 + 150, 400 + 150), qRgb(255, 255, 255));
    QCOMPARE(img.pixel(400 + 150, 400 - 80), qRgb(0, 0, 0));
}

void TestRaster::twoShellsInOneListLeaveOverlapBlack()
{
    TestMesh m = TestMesh::box(QVector3D(-5, -5, 0), QVector3D(5, 5, 10));
    m.append(TestMesh::box(QVector3D(0, 0, 0), QVector3D(8, 8, 10)));
    QImage img = blank(800, 800, QImage::Format_Mono);
    LayerRaster::drawSegmentList(img, sectionOf(m, 1.0f), kPpmm, kPpmm);
    QCOMPARE(img.pixel(400 + 50, 400 + 50), qRgb(0, 0, 0)); // even-odd: inside twice
    QCOMPARE(img.pixel(400 - 80, 400 - 80), qRgb(255, 255, 255));
    QCOMPARE(img.pixel(400 + 150, 400 + 150), qRgb(255, 255, 255));
}

void TestRaster::fastPathMatchesPlain_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("format");
    QTest::addColumn<double>("ppmm");
    const QList<QPair<const char *, int>> kinds = {{"sphere", 0},
                                                   {"tube", 1},
                                                   {"many small parts", 2},
                                                   {"thin walls", 3},
                                                   {"rotated and scaled", 4},
                                                   {"off the image edge", 5}};
    for (const auto &k : kinds) {
        QTest::newRow(qPrintable(QString("%1 mono").arg(k.first)))
            << k.second << int(QImage::Format_Mono) << kPpmm;
        QTest::newRow(qPrintable(QString("%1 grey x2").arg(k.first)))
            << k.second << int(QImage::Format_Grayscale8) << kPpmm * 2;
    }
}

static TestMesh meshOfKind(int kind)
{
    switch (kind) {
    case 0:
        return TestMesh::sphere(QVector3D(1.3f, -2.1f, 6), 6.0f, 30, 48);
    case 1:
        return TestMesh::tube(7.0f, 5.5f, 0.0f, 12.0f, 60);
    case 2: {
        TestMesh m;
        QRandomGenerator rng(7);
        for (int i = 0; i < 60; ++i) {
            const QVector3D lo(float(rng.bounded(-120, 120)) / 10,
                               float(rng.bounded(-120, 120)) / 10, float(rng.bounded(0, 60)) / 10);
            m.append(TestMesh::box(lo, lo + QVector3D(0.3f + float(rng.bounded(20)) / 10,
                                                      0.2f + float(rng.bounded(20)) / 10,
                                                      1.0f + float(rng.bounded(40)) / 10)));
        }
        return m;
    }
    case 3: {
        TestMesh m;
        for (int i = 0; i < 8; ++i)
            m.append(TestMesh::box(QVector3D(-9 + i * 2.3f, -8, 0),
                                   QVector3D(-9 + i * 2.3f + 0.03f * (i + 1), 8, 10)));
        return m;
    }
    case 4: {
        QMatrix4x4 t;
        t.translate(2, 1, 6);
        t.rotate(33, QVector3D(1, 0.4f, 0.2f));
        t.scale(1.7f, 0.6f, 1.2f);
        TestMesh m = TestMesh::box(QVector3D(-4, -4, -4), QVector3D(4, 4, 4)).transformed(t);
        m.append(TestMesh::sphere(QVector3D(-3, 3, 0), 3.0f, 16, 24).transformed(t));
        return m;
    }
    default:
        return TestMesh::sphere(QVector3D(10, -12, 6), 9.0f, 24, 40);
    }
}

void TestRaster::fastPathMatchesPlain()
{
    QFETCH(int, kind);
    QFETCH(int, format);
    QFETCH(double, ppmm);
    const TestMesh mesh = meshOfKind(kind);
    const int scale = format == QImage::Format_Grayscale8 ? 2 : 1;
    for (float z = 0.025f; z < 13.0f; z += 0.61f) {
        const SegmentList s = sectionOf(mesh, z);
        QImage plain = blank(420 * scale, 500 * scale, QImage::Format(format));
        QImage fast = plain.copy();
        LayerRaster::drawSegmentListPlain(plain, s, ppmm, ppmm);
        LayerRaster::drawSegmentList(fast, s, ppmm, ppmm);
        QVERIFY2(
            fast == plain,
            qPrintable(
                QString("z=%1 first difference at %2").arg(z).arg(firstDifference(fast, plain))));
    }
}

void TestRaster::fastPathMatchesPlainOnSegmentSoup()
{
    // Arbitrary segments: odd rows, horizontal and vertical edges, points off the image.
    QRandomGenerator rng(42);
    for (int round = 0; round < 40; ++round) {
        SegmentList s;
        const int n = 2 + int(rng.bounded(40));
        for (int i = 0; i < n; ++i) {
            auto coord = [&] { return float(rng.bounded(-160, 160)) / 8.0f; };
            QVector3D a(coord(), coord(), 0);
            QVector3D b =
                rng.bounded(4) == 0 ? QVector3D(coord(), a.y(), 0) : QVector3D(coord(), coord(), 0);
            s.append(LayerSegment{a, b});
        }
        const QString difference = twinDifference({s}, QSize(301, 257), kPpmm);
        QVERIFY2(difference.isEmpty(),
                 qPrintable(QString("round %1: %2").arg(round).arg(difference)));
    }
}

void TestRaster::fastPathMatchesPlainOnRandomSections_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<double>("ppmm");
    QTest::addColumn<double>("spreadMm");
    QTest::addColumn<uint>("seed");
    // Our outline lines must set QPainter's pixels for every slope and length.
    QTest::newRow("inside, job density") << QSize(411, 389) << kPpmm << 8.0 << 1u;
    QTest::newRow("inside, five times") << QSize(2055, 1945) << kPpmm * 5 << 8.0 << 2u;
    QTest::newRow("past the edges") << QSize(411, 389) << kPpmm << 16.0 << 3u;
    QTest::newRow("past the edges, five times") << QSize(2055, 1945) << kPpmm * 5 << 16.0 << 7u;
    QTest::newRow("one row") << QSize(411, 1) << kPpmm << 8.0 << 4u;
    QTest::newRow("one column") << QSize(1, 389) << kPpmm << 8.0 << 5u;
    QTest::newRow("odd width, 2.5 times") << QSize(1027, 973) << kPpmm * 2.5 << 8.0 << 6u;
    // Rows are kept as bits with a mask of the 64-column words in use: past 4,096 columns
    // that mask takes more than one word.
    QTest::newRow("wider than 4096, ten times") << QSize(4501, 301) << kPpmm * 10 << 12.0 << 8u;
}

void TestRaster::fastPathMatchesPlainOnRandomSections()
{
    QFETCH(QSize, size);
    QFETCH(double, ppmm);
    QFETCH(double, spreadMm);
    QFETCH(uint, seed);
    QRandomGenerator rng(seed);
    for (int round = 0; round < 30; ++round) {
        // Every third round draws overlapping lists, as several objects of a layer are.
        SegmentListSet lists;
        for (int list = 0; list < (round % 3 == 0 ? 3 : 1); ++list)
            lists.append(LayerImages::segmentSoup(rng, spreadMm));
        const QString difference = twinDifference(lists, size, ppmm);
        QVERIFY2(difference.isEmpty(),
                 qPrintable(QString("round %1: %2").arg(round).arg(difference)));
    }
}

void TestRaster::downscaleMatchesSmoothScaling_data()
{
    QTest::addColumn<int>("factorTimesTwo");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<bool>("layerLike");
    for (int f2 : {4, 5, 6, 8, 10}) {
        for (const QSize &size : {QSize(1375, 2455), QSize(37, 19)}) {
            for (bool layerLike : {false, true})
                QTest::newRow(qPrintable(QString("factor %1, %2x%3%4")
                                             .arg(f2 / 2.0)
                                             .arg(size.width())
                                             .arg(size.height())
                                             .arg(layerLike ? ", layer" : ", noise")))
                    << f2 << size << layerLike;
        }
    }
}

void TestRaster::downscaleMatchesSmoothScaling()
{
    QFETCH(int, factorTimesTwo);
    QFETCH(QSize, target);
    QFETCH(bool, layerLike);
    const double f = factorTimesTwo / 2.0;
    QImage super(int(target.width() * f), int(target.height() * f), QImage::Format_Grayscale8);
    super.fill(0);
    if (layerLike) {
        const TestMesh sphere =
            TestMesh::sphere(QVector3D(1, 2, 0), 0.4f * target.width() / 21.0f, 30, 50);
        LayerRaster::drawSegmentList(super, sectionOf(sphere, 0.3f), kPpmm * f, kPpmm * f);
    } else {
        QRandomGenerator rng(uint(factorTimesTwo * 1000 + target.width()));
        for (int y = 0; y < super.height(); ++y) {
            uchar *row = super.scanLine(y);
            for (int x = 0; x < super.width(); ++x)
                row[x] = rng.bounded(3) == 0 ? 255 : uchar(rng.bounded(256));
        }
    }
    const QImage fast = LayerRaster::downscale(super, target);
    const QImage plain = LayerRaster::downscalePlain(super, target);
    QCOMPARE(fast.format(), QImage::Format_Grayscale8);
    QCOMPARE(fast.size(), target);
    QVERIFY2(fast == plain, qPrintable(firstDifference(fast, plain)));
}

void TestRaster::rowBitsMatchRuns_data()
{
    QTest::addColumn<int>("blockRows");
    // 1: bands of 32 rows; 3 and 5 do not divide 32, so their bands are 30 rows high.
    for (int block : {1, 2, 3, 4, 5})
        QTest::newRow(qPrintable(QStringLiteral("blocks of %1").arg(block))) << block;
}

void TestRaster::rowBitsMatchRuns()
{
    QFETCH(int, blockRows);
    const QSize size(1301, 977);
    QRandomGenerator rng(quint32(40 + blockRows));
    for (int round = 0; round < 5; ++round) {
        SectionRows bits(size, blockRows), runs(size);
        for (int list = 0; list < 3; ++list) {
            const QVector<LayerRaster::PixelEdge> edges =
                LayerRaster::toPixelEdges(LayerImages::segmentSoup(rng, 20.0), kPpmm, kPpmm);
            bits.addList(edges);
            runs.addList(edges);
        }
        const int words = (size.width() + 63) / 64;
        for (int first = 0; first < size.height(); first += blockRows) {
            // A block's rows are all asked for before any is read: each must still hold.
            const quint64 *row[5] = {};
            const quint64 *used[5] = {};
            const int count = std::min(blockRows, size.height() - first);
            for (int k = 0; k < count; ++k)
                row[k] = bits.rowBits(first + k, used[k]);
            for (int k = 0; k < count; ++k) {
                std::vector<quint64> expected(size_t(words), 0);
                for (const LayerRaster::PixelRun &r : runs.row(first + k))
                    for (int x = r.from; x <= r.to; ++x)
                        expected[size_t(x / 64)] |= quint64(1) << (x % 64);
                for (int w = 0; w < words; ++w) {
                    const quint64 got = row[k] ? row[k][w] : 0;
                    const bool marked = row[k] && (used[k][w / 64] >> (w % 64)) & 1;
                    QVERIFY2(got == expected[size_t(w)] && (marked || got == 0),
                             qPrintable(QStringLiteral("round %1, row %2, word %3")
                                            .arg(round)
                                            .arg(first + k)
                                            .arg(w)));
                }
            }
        }
    }
}

QTEST_GUILESS_MAIN(TestRaster)
#include "tst_raster.moc"
