#include "LayerImages.h"
#include "SliceTestScene.h"
#include "cws/LayerDrawing.h"
#include "cws/LayerRaster.h"
#include "cws/SmoothDownscale.h"

#include <QImage>
#include <QRandomGenerator>
#include <QtTest>

#include <cstring>
#include <vector>

using namespace CWS;

namespace {

QString firstDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.format() != b.format())
        return QStringLiteral("size or format");
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return QStringLiteral("(%1, %2): %3 vs %4")
                    .arg(x)
                    .arg(y)
                    .arg(qGray(a.pixel(x, y)))
                    .arg(qGray(b.pixel(x, y)));
    return QString();
}

// The 1-bit image in grey 0 and 255 (QImage's own conversion takes seconds at these sizes).
QImage expandMono(const QImage &mono)
{
    quint64 spread[256];
    for (int v = 0; v < 256; ++v) {
        uchar bytes[8];
        for (int bit = 0; bit < 8; ++bit)
            bytes[bit] = (v >> (7 - bit)) & 1 ? 255 : 0;
        std::memcpy(&spread[v], bytes, 8);
    }
    QImage grey(mono.size(), QImage::Format_Grayscale8);
    std::vector<uchar> row(size_t(mono.bytesPerLine()) * 8);
    for (int y = 0; y < mono.height(); ++y) {
        const uchar *src = mono.constScanLine(y);
        for (int i = 0; i < mono.bytesPerLine(); ++i)
            std::memcpy(&row[size_t(i) * 8], &spread[src[i]], 8);
        std::memcpy(grey.scanLine(y), row.data(), size_t(mono.width()));
    }
    return grey;
}

QSize superSize(QSize job, double f)
{
    return QSize(int(job.width() * f), int(job.height() * f));
}

} // namespace

class TestDownscale : public QObject
{
    Q_OBJECT

private slots:
    void greyMatchesQtScaling_data();
    void greyMatchesQtScaling();
    void monoLayersMatchQtScaling_data();
    void monoLayersMatchQtScaling();
    void smallImagesFallBackToQt();
    void drawnReductionMatchesPlain_data();
    void drawnReductionMatchesPlain();
    void bitsMatchGrey_data();
    void bitsMatchGrey();
    void layerImagesMatchPlainDrawing_data();
    void layerImagesMatchPlainDrawing();
};

void TestDownscale::greyMatchesQtScaling_data()
{
    QTest::addColumn<QSize>("jobSize");
    QTest::addColumn<double>("factor");
    QVector<QSize> sizes = LayerImages::jobSizes();
    sizes << QSize(1001, 1023) << QSize(613, 1777); // odd sizes: weights that do not repeat
    for (const QSize &size : sizes)
        for (double f : LayerImages::factors()) {
            const bool jobSize = LayerImages::jobSizes().contains(size);
            if (!jobSize && f != 2.5 && f != 3.5 && f != 5.0)
                continue;
            if (LayerImages::quickRun() && (jobSize || f == 3.5))
                continue;
            QTest::newRow(
                qPrintable(QStringLiteral("%1x%2 x%3").arg(size.width()).arg(size.height()).arg(f)))
                << size << f;
        }
}

void TestDownscale::greyMatchesQtScaling()
{
    QFETCH(QSize, jobSize);
    QFETCH(double, factor);
    // Noise with a third of the pixels white: every weight and the 32-bit sums' top end count.
    QImage super(superSize(jobSize, factor), QImage::Format_Grayscale8);
    QRandomGenerator rng(uint(factor * 10) + uint(jobSize.width()));
    for (int y = 0; y < super.height(); ++y) {
        uchar *row = super.scanLine(y);
        rng.fillRange(reinterpret_cast<quint32 *>(row), super.bytesPerLine() / 4);
        for (int x = 0; x < super.width(); ++x)
            if (row[x] % 3 == 0)
                row[x] = 255;
    }
    const SmoothDownscale plan(super.size(), jobSize);
    QVERIFY(plan.exact());
    const QImage ours = plan.fromGrey(super);
    const QImage qt = LayerRaster::downscalePlain(super, jobSize);
    QCOMPARE(ours.format(), QImage::Format_Grayscale8);
    QVERIFY2(ours == qt, qPrintable(firstDifference(ours, qt)));
    QCOMPARE(LayerRaster::downscale(super, jobSize), qt);
}

void TestDownscale::monoLayersMatchQtScaling_data()
{
    QTest::addColumn<QSize>("jobSize");
    QTest::addColumn<double>("factor");
    for (const QSize &size : LayerImages::jobSizes())
        for (double f : LayerImages::factors()) {
            if (LayerImages::quickRun() && f != 2.0 && f != 3.5)
                continue;
            QTest::newRow(
                qPrintable(QStringLiteral("%1x%2 x%3").arg(size.width()).arg(size.height()).arg(f)))
                << size << f;
        }
}

void TestDownscale::monoLayersMatchQtScaling()
{
    QFETCH(QSize, jobSize);
    QFETCH(double, factor);
    // Real sections drawn in 1 bit: blocks that are all black, all white and mixed. All of them
    // against the grey form of the arithmetic, which greyMatchesQtScaling holds to Qt at every
    // size; one model per factor at the default job size against Qt itself (slow here).
    const QVector<TestMesh> models = LayerImages::models();
    // Half the models per row, the other half in the next one.
    const int firstModel = int(factor * 2) % 2;
    const int viaQt = firstModel + 2 * (int(factor) % 3);
    for (int m = firstModel; m < models.size(); m += 2) {
        const float z = 2.025f + float(factor * 2.3 + m * 1.9);
        const QImage super = LayerImages::monoLayer(models[m], z, jobSize, factor);
        const QImage ours = LayerRaster::downscale(super, jobSize);
        const QImage grey = SmoothDownscale(super.size(), jobSize).fromGrey(expandMono(super));
        QVERIFY2(
            ours == grey,
            qPrintable(QStringLiteral("model %1: %2").arg(m).arg(firstDifference(ours, grey))));
        if (m == viaQt && jobSize == LayerImages::jobSizes().first()) {
            const QImage qt = LayerRaster::downscalePlain(super, jobSize);
            QVERIFY2(
                ours == qt,
                qPrintable(QStringLiteral("model %1: %2").arg(m).arg(firstDifference(ours, qt))));
        }
    }
}

void TestDownscale::smallImagesFallBackToQt()
{
    // Below a million pixels Qt paints reductions of up to one half bilinearly: our weights
    // do not apply, and the reduction goes through Qt itself.
    const QImage super =
        LayerImages::monoLayer(LayerImages::models().first(), 20.0f, QSize(300, 400), 2.0);
    QVERIFY(!SmoothDownscale(super.size(), QSize(300, 400)).exact());
    QCOMPARE(LayerRaster::downscale(super, QSize(300, 400)),
             LayerRaster::downscalePlain(super, QSize(300, 400)));
    // A stronger reduction uses the weights even on a small image.
    const QImage small =
        LayerImages::monoLayer(LayerImages::models().first(), 20.0f, QSize(100, 130), 3.0);
    QVERIFY(SmoothDownscale(small.size(), QSize(100, 130)).exact());
    QCOMPARE(LayerRaster::downscale(small, QSize(100, 130)),
             LayerRaster::downscalePlain(small, QSize(100, 130)));
    // No reduction at all.
    QVERIFY(!SmoothDownscale(QSize(100, 100), QSize(100, 100)).exact());
}

void TestDownscale::drawnReductionMatchesPlain_data()
{
    QTest::addColumn<double>("factor");
    QTest::addColumn<double>("spreadMm");
    // Every factor the settings offer and two they do not; sections inside the image are
    // reduced from their rows alone, sections past its edges through a drawn image.
    for (double f : LayerImages::factors() + QVector<double>{2.7, 3.3})
        for (double spread : {12.0, 20.0})
            QTest::newRow(qPrintable(QStringLiteral("x%1 %2").arg(f).arg(
                spread < 15 ? QStringLiteral("inside") : QStringLiteral("past the edges"))))
                << f << spread;
}

void TestDownscale::drawnReductionMatchesPlain()
{
    QFETCH(double, factor);
    QFETCH(double, spreadMm);
    // Odd sizes; a million source pixels or more even at factor 2, so Qt uses its weights.
    const QSize job(613, 871);
    const QSize super = superSize(job, factor);
    const double ppmm = LayerImages::kPixelsPerMm * factor;
    QVERIFY(SmoothDownscale(super, job).readsRuns()); // else the row-run reduction goes untested
    QRandomGenerator rng(uint(factor * 10 + spreadMm));
    for (int round = 0; round < 3; ++round) {
        // Several lists: their fills unite, each list's own even-odd.
        SegmentListSet lists;
        for (int n = 1 + int(rng.bounded(3)); n > 0; --n)
            lists.append(LayerImages::segmentSoup(rng, spreadMm));
        QImage grey = LayerImages::blankImage(super, QImage::Format_Grayscale8);
        for (const SegmentList &list : qAsConst(lists))
            LayerRaster::drawSegmentListPlain(grey, list, ppmm, ppmm);
        const QImage plain = LayerRaster::downscalePlain(grey, job);
        const QImage fast = LayerRaster::drawDownscaled(lists, ppmm, ppmm, super, job);
        QVERIFY2(fast == plain,
                 qPrintable(
                     QStringLiteral("round %1: %2").arg(round).arg(firstDifference(fast, plain))));
    }
}

void TestDownscale::bitsMatchGrey_data()
{
    QTest::addColumn<QSize>("jobSize");
    QTest::addColumn<int>("factor");
    // Odd widths end on a part word; past 4096 source columns a row's word mask takes two words.
    for (int f : {2, 3, 4, 5}) {
        QTest::newRow(qPrintable(QStringLiteral("613x871 x%1").arg(f))) << QSize(613, 871) << f;
        QTest::newRow(qPrintable(QStringLiteral("2100x600 x%1").arg(f))) << QSize(2100, 600) << f;
    }
}

void TestDownscale::bitsMatchGrey()
{
    QFETCH(QSize, jobSize);
    QFETCH(int, factor);
    const QSize super(jobSize.width() * factor, jobSize.height() * factor);
    const SmoothDownscale plan(super, jobSize);
    QVERIFY(plan.readsBits());
    QVERIFY(!SmoothDownscale(superSize(jobSize, factor + 0.5), jobSize).readsBits());
    const int words = (super.width() + 63) / 64, maskWords = (words + 63) / 64;
    std::vector<quint64> bits(size_t(words) * size_t(super.height()), 0);
    std::vector<quint64> masks(size_t(maskWords) * size_t(super.height()), 0);
    std::vector<bool> empty(size_t(super.height()), false);
    QImage grey = LayerImages::blankImage(super, QImage::Format_Grayscale8);
    QRandomGenerator rng(uint(jobSize.width()));
    for (int y = 0; y < super.height(); ++y) {
        // Rows with nothing, sparse noise, or words all white and noise.
        const int kind = int(rng.bounded(4));
        empty[size_t(y)] = kind == 0;
        quint64 *row = &bits[size_t(y) * size_t(words)];
        quint64 *mask = &masks[size_t(y) * size_t(maskWords)];
        for (int i = 0; i < words && kind != 0; ++i) {
            quint64 v = kind == 1 ? rng.generate64() & rng.generate64() : 0;
            if (kind >= 2 && rng.bounded(3) != 0)
                v = rng.bounded(2) ? ~quint64(0) : rng.generate64();
            if (i == words - 1 && super.width() % 64)
                v &= ~quint64(0) >> (64 - super.width() % 64); // nothing past the row
            row[i] = v;
            if (v || rng.bounded(8) == 0) // a used word may still be all black
                mask[i / 64] |= quint64(1) << (i % 64);
        }
        for (int x = 0; x < super.width(); ++x)
            grey.scanLine(y)[x] = (row[x / 64] >> (x % 64)) & 1 ? 255 : 0;
    }
    const QImage fast = plan.fromBits([&](int y, const quint64 *&used) -> const quint64 * {
        if (empty[size_t(y)])
            return nullptr;
        used = &masks[size_t(y) * size_t(maskWords)];
        return &bits[size_t(y) * size_t(words)];
    });
    const QImage plain = plan.fromGrey(grey);
    QVERIFY2(fast == plain, qPrintable(firstDifference(fast, plain)));
}

void TestDownscale::layerImagesMatchPlainDrawing_data()
{
    QTest::addColumn<double>("factor");
    QTest::newRow("off") << 0.0;
    for (double f : LayerImages::factors())
        if (!LayerImages::quickRun() || f == 2.0 || f == 4.5)
            QTest::newRow(qPrintable(QStringLiteral("x%1").arg(f))) << f;
}

void TestDownscale::layerImagesMatchPlainDrawing()
{
    QFETCH(double, factor);
    // Whole layers as a job builds them (models supersampled, supports hard on top) against
    // the reference drawing: QPainter lines, a grey supersampled image, QImage::scaled.
    SliceTestScene scene;
    scene.add(modelFromMesh(TestMesh::sphere(QVector3D(-12, 5, 12), 12.0f, 30, 48)));
    scene.add(modelFromMesh(TestMesh::tube(9.0f, 7.5f, 0.0f, 20.0f, 60)));
    scene.add(modelFromMesh(TestMesh::box(QVector3D(15, -30, 0), QVector3D(18, 30, 20)),
                            Model::TYPE_SUPPORT));
    SliceBuildConfig settings = *scene.config->buildConfig();
    settings.setAntiAlias(factor > 0, factor);
    for (int layer : {37, 230}) {
        const float z = (float(layer) + 0.5f) * settings.layerThicknessMm;
        LayerDrawing::Options plain;
        plain.plain = true;
        const QImage a = LayerDrawing::drawLayer(scene.snapshotObjects(), settings, z);
        const QImage b = LayerDrawing::drawLayer(scene.snapshotObjects(), settings, z, plain);
        QCOMPARE(a.format(), factor > 0 ? QImage::Format_Grayscale8 : QImage::Format_Mono);
        QVERIFY2(a == b,
                 qPrintable(QStringLiteral("layer %1: %2").arg(layer).arg(firstDifference(a, b))));
    }
}

QTEST_GUILESS_MAIN(TestDownscale)
#include "tst_downscale.moc"
