// The streamed mesh arrays of project records: the two-thread block pipeline, the fast
// big-endian writer against the plain per-float one, and the readers on data of many blocks.
#include "BrokenBuffer.h"
#include "model/BlockPipeline.h"
#include "model/RecordIo.h"

#include <QBuffer>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <random>
#include <stdexcept>

Q_DECLARE_METATYPE(QMatrix4x4)

namespace {

constexpr size_t kBlockItems = 16384; // the streams' block size: counts around it matter

std::vector<Vertex> randomVertices(size_t count, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> pos(-200.0f, 200.0f), dir(-1.0f, 1.0f);
    std::vector<Vertex> v(count);
    for (size_t i = 0; i < count; ++i) {
        v[i] = {pos(rng), pos(rng), pos(rng), dir(rng), dir(rng), dir(rng)};
        switch (i % 7) {
        case 0: // no normal at all: stays zero
            v[i].nx = v[i].ny = v[i].nz = 0.0f;
            break;
        case 1: // long enough that the squared length overflows
            v[i].nx *= 1e25f;
            break;
        case 2: // so short that the squares vanish
            v[i].ny = 1e-30f;
            v[i].nx = v[i].nz = 0.0f;
            break;
        default:
            break;
        }
    }
    return v;
}

QByteArray written(const std::vector<Vertex> &v, const QMatrix4x4 &m, const QMatrix4x4 &n,
                   QDataStream::ByteOrder order)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QDataStream out(&buffer);
    out.setByteOrder(order);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    RecordIo::writeVertices(out, v.data(), v.size(), m, n);
    return bytes;
}

std::vector<quint32> words(const QByteArray &bytes, bool big)
{
    std::vector<quint32> w(size_t(bytes.size()) / 4);
    for (size_t i = 0; i < w.size(); ++i) {
        const auto *p = reinterpret_cast<const uchar *>(bytes.constData()) + 4 * i;
        w[i] = big ? qFromBigEndian<quint32>(p) : qFromLittleEndian<quint32>(p);
    }
    return w;
}

// Vertices and indices in the file's layout, for the readers.
QByteArray storedWords(const std::vector<quint32> &w)
{
    QByteArray bytes(int(w.size() * 4), Qt::Uninitialized);
    for (size_t i = 0; i < w.size(); ++i)
        qToBigEndian(w[i], reinterpret_cast<uchar *>(bytes.data()) + 4 * i);
    return bytes;
}

std::vector<quint32> vertexWords(const std::vector<Vertex> &v)
{
    std::vector<quint32> w(v.size() * 6);
    if (!v.empty())
        std::memcpy(w.data(), v.data(), w.size() * 4);
    return w;
}

struct Reader
{
    QByteArray bytes;
    QBuffer buffer;
    QDataStream in;
    explicit Reader(const QByteArray &b) : bytes(b), buffer(&bytes)
    {
        buffer.open(QIODevice::ReadOnly);
        in.setDevice(&buffer);
        in.setFloatingPointPrecision(QDataStream::SinglePrecision);
    }
};

} // namespace

class TestRecordIo : public QObject
{
    Q_OBJECT

private slots:
    void pipelineOrderAndDepth_data();
    void pipelineOrderAndDepth();
    void pipelineStops_data();
    void pipelineStops();
    void pipelinePassesExceptionsOn();

    void fastWriterMatchesPlain_data();
    void fastWriterMatchesPlain();
    void readersAcrossBlocks();
    void readersRefuseLateDamage_data();
    void readersRefuseLateDamage();
    void indicesRoundTrip();
};

void TestRecordIo::pipelineOrderAndDepth_data()
{
    QTest::addColumn<int>("blocks");
    QTest::addColumn<bool>("helperFirst");
    QTest::newRow("none") << 0 << true;
    QTest::newRow("one block: no thread needed") << 1 << true;
    QTest::newRow("many, helper runs the first stage") << 200 << true;
    QTest::newRow("many, helper runs the second stage") << 200 << false;
}

void TestRecordIo::pipelineOrderAndDepth()
{
    QFETCH(int, blocks);
    QFETCH(bool, helperFirst);
    constexpr size_t kDepth = 3;
    std::mutex lock;
    std::vector<size_t> firstSeen, secondSeen;
    std::atomic<long> inFlight{0}, mostInFlight{0};
    std::vector<int> buffers(kDepth, -1); // which block each buffer holds
    bool bufferReused = false;
    const bool complete = BlockPipeline::run(
        size_t(blocks), kDepth,
        helperFirst ? BlockPipeline::Helper::RunsFirst : BlockPipeline::Helper::RunsSecond,
        [&](size_t b, size_t buffer) {
            std::lock_guard<std::mutex> hold(lock);
            firstSeen.push_back(b);
            // A buffer is handed to the first stage again only once the second is done with it.
            bufferReused |= buffers[buffer] != -1;
            buffers[buffer] = int(b);
            mostInFlight = std::max(mostInFlight.load(), ++inFlight);
            return true;
        },
        [&](size_t b, size_t buffer) {
            std::lock_guard<std::mutex> hold(lock);
            secondSeen.push_back(b);
            if (buffers[buffer] != int(b))
                bufferReused = true;
            buffers[buffer] = -1;
            --inFlight;
            return true;
        });
    QVERIFY(complete);
    std::vector<size_t> expected(static_cast<size_t>(blocks));
    for (size_t i = 0; i < expected.size(); ++i)
        expected[i] = i;
    QCOMPARE(firstSeen, expected);
    QCOMPARE(secondSeen, expected);
    QVERIFY(!bufferReused);
    QVERIFY(mostInFlight <= long(kDepth));
}

void TestRecordIo::pipelineStops_data()
{
    QTest::addColumn<bool>("helperFirst");
    QTest::addColumn<bool>("firstFails"); // otherwise the second stage refuses
    QTest::newRow("helper's first stage fails") << true << true;
    QTest::newRow("caller's second stage fails") << true << false;
    QTest::newRow("caller's first stage fails") << false << true;
    QTest::newRow("helper's second stage fails") << false << false;
}

void TestRecordIo::pipelineStops()
{
    QFETCH(bool, helperFirst);
    QFETCH(bool, firstFails);
    constexpr size_t kFailAt = 37;
    std::atomic<size_t> firstHighest{0}, secondHighest{0}, secondCalls{0};
    const bool complete = BlockPipeline::run(
        100, 3, helperFirst ? BlockPipeline::Helper::RunsFirst : BlockPipeline::Helper::RunsSecond,
        [&](size_t b, size_t) {
            firstHighest = b;
            return !(firstFails && b == kFailAt);
        },
        [&](size_t b, size_t) {
            secondHighest = b;
            ++secondCalls;
            return !(!firstFails && b == kFailAt);
        });
    QVERIFY(!complete);
    // No block after the refused one enters either stage; the first may have run ahead by
    // at most the depth.
    if (firstFails) {
        QCOMPARE(firstHighest.load(), kFailAt);
        QVERIFY(secondCalls.load() <= kFailAt);
    } else {
        QCOMPARE(secondHighest.load(), kFailAt);
        QVERIFY(firstHighest.load() <= kFailAt + 3);
    }
}

void TestRecordIo::pipelinePassesExceptionsOn()
{
    for (const bool helperFirst : {true, false}) {
        bool thrown = false;
        try {
            BlockPipeline::run(
                50, 3,
                helperFirst ? BlockPipeline::Helper::RunsFirst : BlockPipeline::Helper::RunsSecond,
                [](size_t b, size_t) {
                    if (b == 20)
                        throw std::runtime_error("out of memory, say");
                    return true;
                },
                [](size_t, size_t) { return true; });
        } catch (const std::runtime_error &) {
            thrown = true; // on the calling thread, whichever thread the stage ran on
        }
        QVERIFY(thrown);
    }
}

void TestRecordIo::fastWriterMatchesPlain_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QMatrix4x4>("model");
    QTest::addColumn<QMatrix4x4>("normal");

    QMatrix4x4 moved;
    moved.translate(5, -3, 2);
    QMatrix4x4 turned;
    turned.translate(10, 20, 1);
    turned.rotate(33, 0.2f, 1, 0.4f);
    turned.scale(1.5f, 0.7f, 2.5f);
    QMatrix4x4 mirrored;
    mirrored.scale(-1, 1, 1);
    QMatrix4x4 projective;
    projective.perspective(45, 1.3f, 1, 500);
    QMatrix4x4 normalOfTurned = turned;
    normalOfTurned.rotate(12, 1, 0, 0);

    const int counts[] = {1,
                          3,
                          5,
                          int(kBlockItems) - 1,
                          int(kBlockItems),
                          int(kBlockItems) + 1,
                          int(3 * kBlockItems + 7)};
    for (int count : counts) {
        QTest::addRow("identity, %d", count) << count << QMatrix4x4() << QMatrix4x4();
        QTest::addRow("moved, %d", count) << count << moved << QMatrix4x4();
        QTest::addRow("turned and scaled, %d", count) << count << turned << normalOfTurned;
        QTest::addRow("mirrored, %d", count) << count << mirrored << mirrored;
        QTest::addRow("projective, %d", count) << count << projective << turned;
    }
    QTest::newRow("nothing") << 0 << turned << turned;
}

// The big-endian single-precision stream takes the fast path (vectors, two threads); the
// little-endian one converts float by float. Both must give the same numbers, bit for bit.
void TestRecordIo::fastWriterMatchesPlain()
{
    QFETCH(int, count);
    QFETCH(QMatrix4x4, model);
    QFETCH(QMatrix4x4, normal);
    const std::vector<Vertex> v = randomVertices(size_t(count), unsigned(count));
    const QByteArray fast = written(v, model, normal, QDataStream::BigEndian);
    const QByteArray plain = written(v, model, normal, QDataStream::LittleEndian);
    QCOMPARE(fast.size(), int(v.size() * sizeof(Vertex)));
    const std::vector<quint32> a = words(fast, true), b = words(plain, false);
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            QFAIL(qPrintable(QStringLiteral("vertex %1, float %2: %3 against %4")
                                 .arg(i / 6)
                                 .arg(i % 6)
                                 .arg(a[i], 8, 16, QLatin1Char('0'))
                                 .arg(b[i], 8, 16, QLatin1Char('0'))));
}

void TestRecordIo::readersAcrossBlocks()
{
    for (size_t count : {size_t(0), size_t(1), kBlockItems, 2 * kBlockItems + 5}) {
        const std::vector<Vertex> v = randomVertices(count, 7);
        Reader r(storedWords(vertexWords(v)));
        std::vector<Vertex> back;
        QVERIFY(RecordIo::readVertices(r.in, qint64(count), &back));
        QCOMPARE(r.in.status(), QDataStream::Ok);
        QCOMPARE(back.size(), count);
        QVERIFY(count == 0 || std::memcmp(back.data(), v.data(), count * sizeof(Vertex)) == 0);
    }
}

void TestRecordIo::readersRefuseLateDamage_data()
{
    QTest::addColumn<int>("damage"); // 0 NaN, 1 infinity, 2 the device fails
    QTest::addColumn<int>("at");     // the float it happens at
    QTest::newRow("NaN in the last block") << 0 << int(6 * (2 * kBlockItems + 100));
    QTest::newRow("infinity in the middle block") << 1 << int(6 * (kBlockItems + 3) + 4);
    QTest::newRow("NaN in the last float") << 0 << int(6 * (3 * kBlockItems) - 1);
    QTest::newRow("device fails in the middle block") << 2 << int(6 * (kBlockItems + 10));
}

void TestRecordIo::readersRefuseLateDamage()
{
    QFETCH(int, damage);
    QFETCH(int, at);
    const size_t count = 3 * kBlockItems;
    std::vector<quint32> w = vertexWords(randomVertices(count, 3));
    if (damage == 0)
        w[size_t(at)] = 0x7fc00000u;
    else if (damage == 1)
        w[size_t(at)] = 0xff800000u;
    QByteArray bytes = storedWords(w);
    BrokenBuffer device(&bytes, damage == 2 ? qint64(at) * 4 : bytes.size(),
                        BrokenBuffer::Breaks::Fails);
    device.open(QIODevice::ReadOnly);
    QDataStream in(&device);
    in.setFloatingPointPrecision(QDataStream::SinglePrecision);
    std::vector<Vertex> back;
    QVERIFY(!RecordIo::readVertices(in, qint64(count), &back));
    QCOMPARE(in.status(), damage == 2 ? QDataStream::ReadPastEnd : QDataStream::ReadCorruptData);
}

void TestRecordIo::indicesRoundTrip()
{
    const size_t count = 2 * kBlockItems + 11;
    std::vector<uint32_t> indices(count);
    for (size_t i = 0; i < count; ++i)
        indices[i] = uint32_t((i * 2654435761u) % 50000u);
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QDataStream out(&buffer);
        RecordIo::writeIndices(out, indices);
    }
    QCOMPARE(bytes, storedWords(std::vector<quint32>(indices.begin(), indices.end())));
    {
        Reader r(bytes);
        std::vector<uint32_t> back;
        QVERIFY(RecordIo::readIndices(r.in, qint64(count), 50000, &back));
        QCOMPARE(back, indices);
    }
    {
        // One index in the last block reaches past the vertices.
        std::vector<uint32_t> bad = indices;
        bad[count - 3] = 50000;
        Reader r(storedWords(std::vector<quint32>(bad.begin(), bad.end())));
        std::vector<uint32_t> back;
        QVERIFY(!RecordIo::readIndices(r.in, qint64(count), 50000, &back));
        QCOMPARE(r.in.status(), QDataStream::ReadCorruptData);
    }
}

QTEST_GUILESS_MAIN(TestRecordIo)
#include "tst_recordio.moc"
