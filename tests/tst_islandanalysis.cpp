// Island analysis on layer masks drawn in code: which regions start in mid-air and where
// their contact points go.
#include "cws/IslandAnalysis.h"

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

using namespace CWS::IslandAnalysis;

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 200;

// A grey layer image with the given rectangles white.
QImage layerImage(const QVector<QRect> &rects, int width = kWidth, int height = kHeight)
{
    QImage image(width, height, QImage::Format_Grayscale8);
    image.fill(0);
    QPainter painter(&image);
    for (const QRect &r : rects)
        painter.fillRect(r, Qt::white);
    return image;
}

std::vector<PixelRun> runsOf(const QVector<QRect> &rects)
{
    const QImage image = layerImage(rects);
    return solidRuns(image, image.rect());
}

// Feeds layers 0 .. n-1 bottom to top and collects every contact point.
struct Stack
{
    LayerMaps maps;
    int spacing;
    int clearance;
    std::vector<SupportPixel> points;

    explicit Stack(int spacingPx = 20, int clearanceLayers = 39)
        : spacing(spacingPx), clearance(clearanceLayers)
    {
        maps.allocate(kWidth, kHeight);
    }
    void layer(int index, const QVector<QRect> &rects)
    {
        const std::vector<SupportPixel> found =
            analyseLayer(maps, runsOf(rects), index, spacing, clearance);
        points.insert(points.end(), found.begin(), found.end());
    }
};

// Layer 1 rests on layer 0's runs; later layers on the layer recorded in the maps.
bool solidBelow(const LayerMaps &maps, int x, int y)
{
    const size_t p = size_t(y) * size_t(maps.width) + size_t(x);
    if (maps.currentLayer[p] != 1)
        return maps.lastSolidLayer[p] + 1 == maps.currentLayer[p];
    return std::any_of(maps.layerZeroRuns.begin(), maps.layerZeroRuns.end(),
                       [&](const PixelRun &r) { return r.row == y && r.x0 <= x && x < r.x1; });
}

// The plain pixel fill: column-major discovery, breadth-first over +x, +y, -x, -y.
std::vector<Island> pixelFillIslands(const LayerMaps &maps)
{
    const int w = maps.width, h = maps.height;
    std::vector<int> labels(size_t(w) * size_t(h), 0);
    std::vector<Island> islands;
    std::vector<int> frontier;
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y) {
            const size_t start = size_t(y) * size_t(w) + size_t(x);
            if (maps.currentLayer[start] == 0 || labels[start] != 0)
                continue;
            Island island;
            island.number = int(islands.size()) + 1;
            labels[start] = island.number;
            frontier.assign(1, int(start));
            for (size_t i = 0; i < frontier.size(); ++i) {
                const int p = frontier[i];
                const int px = p % w, py = p / w;
                island.minX = std::min(island.minX, px);
                island.maxX = std::max(island.maxX, px);
                island.minY = std::min(island.minY, py);
                island.maxY = std::max(island.maxY, py);
                ++island.area;
                if (solidBelow(maps, px, py))
                    ++island.overlap;
                const int nx[4] = {px + 1, px, px - 1, px};
                const int ny[4] = {py, py + 1, py, py - 1};
                for (int k = 0; k < 4; ++k) {
                    if (nx[k] < 0 || ny[k] < 0 || nx[k] >= w || ny[k] >= h)
                        continue;
                    const size_t q = size_t(ny[k]) * size_t(w) + size_t(nx[k]);
                    if (maps.currentLayer[q] != 0 && labels[q] == 0) {
                        labels[q] = island.number;
                        frontier.push_back(int(q));
                    }
                }
            }
            islands.push_back(island);
        }
    }
    return islands;
}

} // namespace

class TestIslandAnalysis : public QObject
{
    Q_OBJECT

private slots:
    void spacingPixels_data();
    void spacingPixels();
    void clearanceLayers_data();
    void clearanceLayers();
    void solidRunsThresholds();
    void solidRunsMonoAndWindow();
    void solidRunsMatchEveryPixel();
    void islandsNumberedColumnMajorWithOverlap();
    void runLabellingMatchesPixelFill();
    void shrinkingStackGetsNone();
    void floatingTabGetsItsCentre();
    void armsOfATGetNone();
    void stripGetsRowAtSpacingPlusOne();
    void clearanceBelow_data();
    void clearanceBelow();
    void hollowCentreFallsThroughToScan();
    void layerOneRestsOnlyOnLayerZero();
    void mapsClearedBetweenModels();
};

void TestIslandAnalysis::spacingPixels_data()
{
    QTest::addColumn<float>("spacingMm");
    QTest::addColumn<double>("pixelsPerMm");
    QTest::addColumn<int>("expected");
    QTest::newRow("20 px/mm") << 5.0f << 20.0 << 100;
    // 105.82 truncates to 105, then down to even.
    QTest::newRow("21.164 px/mm") << 5.0f << 21.164 << 104;
    // 3 x 10.5 = 31.5 -> 31 -> 30.
    QTest::newRow("odd truncation") << 3.0f << 10.5 << 30;
    QTest::newRow("zero") << 0.0f << 20.0 << 0;
}

void TestIslandAnalysis::spacingPixels()
{
    QFETCH(float, spacingMm);
    QFETCH(double, pixelsPerMm);
    QFETCH(int, expected);
    QCOMPARE(CWS::IslandAnalysis::spacingPixels(spacingMm, pixelsPerMm), expected);
}

void TestIslandAnalysis::clearanceLayers_data()
{
    QTest::addColumn<float>("thicknessMm");
    QTest::addColumn<int>("expected");
    // 0.05f is slightly above 0.05, so 2 / it is just under 40.
    QTest::newRow("0.05") << 0.05f << 39;
    QTest::newRow("0.1") << 0.1f << 19;
    QTest::newRow("0.01") << 0.01f << 200;
    QTest::newRow("zero thickness") << 0.0f << 0;
}

void TestIslandAnalysis::clearanceLayers()
{
    QFETCH(float, thicknessMm);
    QFETCH(int, expected);
    QCOMPARE(CWS::IslandAnalysis::clearanceLayers(thicknessMm), expected);
}

void TestIslandAnalysis::solidRunsThresholds()
{
    QImage image(8, 2, QImage::Format_Grayscale8);
    image.fill(0);
    uchar *row = image.scanLine(0);
    row[1] = 249; // anti-aliased edge: not solid
    row[2] = 250;
    row[3] = 255;
    row[7] = 255; // run reaching the right edge
    image.scanLine(1)[0] = 255;
    const std::vector<PixelRun> runs = solidRuns(image, image.rect());
    QCOMPARE(int(runs.size()), 3);
    QCOMPARE(runs[0].row, 0);
    QCOMPARE(runs[0].x0, 2);
    QCOMPARE(runs[0].x1, 4);
    QCOMPARE(runs[1].x0, 7);
    QCOMPARE(runs[1].x1, 8);
    QCOMPARE(runs[2].row, 1);
    QCOMPARE(runs[2].x0, 0);
    QCOMPARE(runs[2].x1, 1);
}

void TestIslandAnalysis::solidRunsMonoAndWindow()
{
    QImage mono(20, 3, QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    mono.fill(0);
    for (int x = 3; x < 12; ++x)
        mono.setPixel(x, 1, 1);
    std::vector<PixelRun> runs = solidRuns(mono, mono.rect());
    QCOMPARE(int(runs.size()), 1);
    QCOMPARE(runs[0].row, 1);
    QCOMPARE(runs[0].x0, 3);
    QCOMPARE(runs[0].x1, 12);
    // A window cuts the run to its columns; one outside the image gives nothing.
    runs = solidRuns(mono, QRect(5, 0, 4, 3));
    QCOMPARE(int(runs.size()), 1);
    QCOMPARE(runs[0].x0, 5);
    QCOMPARE(runs[0].x1, 9);
    QVERIFY(solidRuns(mono, QRect(100, 100, 5, 5)).empty());
}

void TestIslandAnalysis::solidRunsMatchEveryPixel()
{
    // Long black and white stretches with edge values between them, at odd offsets, so runs
    // start and end inside, at and across eight-pixel blocks.
    QRandomGenerator random(11);
    QImage image(203, 40, QImage::Format_Grayscale8);
    const uchar values[] = {0, 249, 250, 255};
    for (int y = 0; y < image.height(); ++y) {
        uchar *line = image.scanLine(y);
        for (int x = 0; x < image.width();) {
            const int length = 1 + int(random.bounded(20));
            const uchar v = values[random.bounded(4)];
            for (int k = 0; k < length && x < image.width(); ++k)
                line[x++] = v;
        }
    }
    const QRect window(3, 1, 197, 37);
    std::vector<PixelRun> expected;
    for (int y = window.top(); y <= window.bottom(); ++y) {
        int start = -1;
        for (int x = window.left(); x <= window.right() + 1; ++x) {
            const bool solid = x <= window.right() && image.constScanLine(y)[x] >= 250;
            if (solid && start < 0)
                start = x;
            if (!solid && start >= 0) {
                expected.push_back(PixelRun{y, start, x});
                start = -1;
            }
        }
    }
    const std::vector<PixelRun> runs = solidRuns(image, window);
    QCOMPARE(runs.size(), expected.size());
    for (size_t i = 0; i < runs.size(); ++i) {
        QCOMPARE(runs[i].row, expected[i].row);
        QCOMPARE(runs[i].x0, expected[i].x0);
        QCOMPARE(runs[i].x1, expected[i].x1);
    }
}

void TestIslandAnalysis::islandsNumberedColumnMajorWithOverlap()
{
    LayerMaps maps;
    maps.allocate(kWidth, kHeight);
    // Layer 1: one block; it becomes the material below layer 2.
    analyseLayer(maps, runsOf({QRect(100, 10, 10, 10)}), 1, 20, 39);
    // Layer 2: A low on the image but further left, B higher up and to the right and half
    // over the layer-1 block, C a single pixel.
    const std::vector<PixelRun> runs =
        runsOf({QRect(40, 150, 5, 4), QRect(105, 10, 10, 10), QRect(200, 100, 1, 1)});
    std::vector<Island> islands;
    analyseLayer(maps, runs, 2, 20, 39, &islands);
    QCOMPARE(int(islands.size()), 3);
    // Column-major discovery: x = 40 comes before x = 105 whatever the rows.
    QCOMPARE(islands[0].number, 1);
    QCOMPARE(islands[0].minX, 40);
    QCOMPARE(islands[0].maxX, 44);
    QCOMPARE(islands[0].minY, 150);
    QCOMPARE(islands[0].maxY, 153);
    QCOMPARE(islands[0].area, 20);
    QCOMPARE(islands[0].overlap, 0);
    QCOMPARE(islands[0].layer, 2);
    QCOMPARE(islands[0].width, kWidth);
    // Columns 105..109 of ten rows lay over the layer-1 block.
    QCOMPARE(islands[1].number, 2);
    QCOMPARE(islands[1].area, 100);
    QCOMPARE(islands[1].overlap, 50);
    QCOMPARE(islands[2].number, 3);
    QCOMPARE(islands[2].area, 1);
    QCOMPARE(islands[2].minX, islands[2].maxX);
}

void TestIslandAnalysis::runLabellingMatchesPixelFill()
{
    // Random speckle: diagonal-only contacts, U shapes, islands inside holes.
    QRandomGenerator random(7);
    LayerMaps maps;
    maps.allocate(kWidth, kHeight);
    for (int layer = 1; layer < 6; ++layer) {
        QImage image(kWidth, kHeight, QImage::Format_Grayscale8);
        for (int y = 0; y < kHeight; ++y) {
            uchar *line = image.scanLine(y);
            for (int x = 0; x < kWidth; ++x)
                line[x] = random.bounded(100) < 45 ? 255 : 0;
        }
        const std::vector<uint16_t> below = maps.lastSolidLayer;
        std::vector<Island> fast;
        analyseLayer(maps, solidRuns(image, image.rect()), layer, 20, 39, &fast);
        // The reference sees the maps as they were during the analysis.
        LayerMaps reference = maps;
        reference.lastSolidLayer = below;
        const std::vector<Island> slow = pixelFillIslands(reference);
        QVERIFY(slow.size() > 100);
        QCOMPARE(fast.size(), slow.size());
        for (size_t i = 0; i < fast.size(); ++i) {
            QCOMPARE(fast[i].number, slow[i].number);
            QCOMPARE(fast[i].minX, slow[i].minX);
            QCOMPARE(fast[i].maxX, slow[i].maxX);
            QCOMPARE(fast[i].minY, slow[i].minY);
            QCOMPARE(fast[i].maxY, slow[i].maxY);
            QCOMPARE(fast[i].area, slow[i].area);
            QCOMPARE(fast[i].overlap, slow[i].overlap);
        }
    }
}

void TestIslandAnalysis::shrinkingStackGetsNone()
{
    // A pyramid standing on the platform: every section lies inside the one below.
    Stack stack;
    for (int layer = 0; layer < 40; ++layer) {
        const int inset = layer * 2;
        stack.layer(layer, {QRect(60 + inset, 20 + inset, 160 - 2 * inset, 160 - 2 * inset)});
    }
    QVERIFY(stack.points.empty());
}

void TestIslandAnalysis::floatingTabGetsItsCentre()
{
    Stack stack;
    for (int layer = 0; layer < 30; ++layer) {
        QVector<QRect> rects{QRect(10, 10, 20, 20)}; // a column from the platform
        if (layer >= 12)
            rects << QRect(100, 50, 15, 11); // a tab first seen at layer 12
        stack.layer(layer, rects);
    }
    QCOMPARE(int(stack.points.size()), 1);
    const SupportPixel p = stack.points.front();
    // Columns 100..114 and rows 50..60: the centre (114 + 100) / 2, (60 + 50) / 2.
    QCOMPARE(p.column, 107);
    QCOMPARE(p.row, 55);
    QCOMPARE(p.layer, 12);
    QCOMPARE(p.baseLayer, 0);
}

void TestIslandAnalysis::armsOfATGetNone()
{
    Stack stack;
    for (int layer = 0; layer < 30; ++layer) {
        QVector<QRect> rects{QRect(150, 90, 10, 10)}; // the stem
        if (layer >= 20)
            rects << QRect(60, 90, 90, 10) << QRect(160, 90, 90, 10); // arms touching it
        stack.layer(layer, rects);
    }
    QVERIFY(stack.points.empty());
}

void TestIslandAnalysis::stripGetsRowAtSpacingPlusOne()
{
    Stack stack(20, 39);
    for (int layer = 0; layer < 8; ++layer)
        stack.layer(layer, layer >= 5 ? QVector<QRect>{QRect(50, 80, 201, 9)} : QVector<QRect>{});
    // minX 50, W 200, c 20: x0 = 50 + 10 - ((220 - 220 % 21) - 200) / 2 = 55; H 8: y0 = 84.
    // The first pass steps c + 1 = 21 columns from x0 up to maxX 250: 55, 76, ... 244.
    QCOMPARE(int(stack.points.size()), 10);
    for (size_t i = 0; i < stack.points.size(); ++i) {
        QCOMPARE(stack.points[i].column, 55 + 21 * int(i));
        QCOMPARE(stack.points[i].row, 84);
        QCOMPARE(stack.points[i].layer, 5);
    }
}

void TestIslandAnalysis::clearanceBelow_data()
{
    QTest::addColumn<int>("gapLayers");
    QTest::addColumn<int>("expectedPoints");
    // 0.05 mm layers: 1 mm is 20 layers, under the 39 of clearance; 3 mm is 60. Too close
    // for the clearance, the tab still gets the one point that keeps it off thin air.
    QTest::newRow("1 mm below") << 20 << 1;
    QTest::newRow("38 layers below") << 38 << 1;
    QTest::newRow("39 layers below") << 39 << 1;
    QTest::newRow("3 mm below") << 60 << 1;
}

void TestIslandAnalysis::clearanceBelow()
{
    QFETCH(int, gapLayers);
    QFETCH(int, expectedPoints);
    Stack stack(20, 39);
    const int plateTop = 10;
    const int tabLayer = plateTop + gapLayers;
    for (int layer = 0; layer <= tabLayer + 2; ++layer) {
        QVector<QRect> rects;
        if (layer <= plateTop)
            rects << QRect(20, 20, 200, 150); // a plate on the platform
        if (layer >= tabLayer)
            rects << QRect(100, 80, 12, 12); // a tab above the plate
        stack.layer(layer, rects);
    }
    QCOMPARE(int(stack.points.size()), expectedPoints);
    if (expectedPoints) {
        QCOMPARE(stack.points[0].layer, tabLayer);
        QCOMPARE(stack.points[0].baseLayer, plateTop); // the plate is what lies below
    }
}

void TestIslandAnalysis::hollowCentreFallsThroughToScan()
{
    // A small square ring: its bounding-box centre is empty, so the scan finds a pixel on it.
    Stack stack(20, 39);
    for (int layer = 0; layer < 6; ++layer) {
        if (layer < 4) {
            stack.layer(layer, {});
            continue;
        }
        stack.layer(layer, {QRect(100, 100, 15, 3), QRect(100, 112, 15, 3), QRect(100, 100, 3, 15),
                            QRect(112, 100, 3, 15)});
    }
    QCOMPARE(int(stack.points.size()), 1);
    const SupportPixel p = stack.points.front();
    QCOMPARE(p.layer, 4);
    // The first pass starts at x0 = 100 + 10 - ((34 - 34 % 21) - 14) / 2 = 107 and row y0 = 107
    // and reaches the ring at its lower edge in that column.
    QCOMPARE(p.column, 107);
    QCOMPARE(p.row, 112);
}

void TestIslandAnalysis::layerOneRestsOnlyOnLayerZero()
{
    // Over an empty layer 0 the tab of layer 1 is in mid-air.
    Stack stack;
    stack.layer(0, {});
    stack.layer(1, {QRect(10, 10, 5, 5)});
    QCOMPARE(int(stack.points.size()), 1);
    // Over a solid layer 0 it rests.
    Stack resting;
    resting.layer(0, {QRect(8, 8, 9, 9)});
    resting.layer(1, {QRect(10, 10, 5, 5)});
    QVERIFY(resting.points.empty());
}

void TestIslandAnalysis::mapsClearedBetweenModels()
{
    Stack stack;
    for (int layer = 0; layer < 5; ++layer)
        stack.layer(layer, {QRect(10, 10, 50, 50)});
    // A second model: its tab over the first model's footprint has nothing below it.
    stack.maps.resetModel();
    QVERIFY(std::all_of(stack.maps.lastSolidLayer.begin(), stack.maps.lastSolidLayer.end(),
                        [](uint16_t v) { return v == 0; }));
    QVERIFY(std::all_of(stack.maps.currentLayer.begin(), stack.maps.currentLayer.end(),
                        [](uint16_t v) { return v == 0; }));
    stack.layer(0, {});
    stack.layer(1, {});
    stack.layer(2, {QRect(20, 20, 6, 6)});
    QCOMPARE(int(stack.points.size()), 1);
    QCOMPARE(stack.points[0].baseLayer, 0);
    // The island map is left empty after every layer.
    QVERIFY(std::all_of(stack.maps.islandMap.begin(), stack.maps.islandMap.end(),
                        [](int32_t v) { return v == 0; }));
}

QTEST_GUILESS_MAIN(TestIslandAnalysis)
#include "tst_islandanalysis.moc"
