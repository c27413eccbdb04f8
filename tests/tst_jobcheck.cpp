#include "SceneMeshes.h"

#include "config/PrinterModelConfig.h"
#include "cws/JobCheck.h"

#include <QtTest>

#include <memory>

using namespace CWS;

Q_DECLARE_METATYPE(std::vector<PrintedBox>)

class TestJobCheck : public QObject
{
    Q_OBJECT
private slots:
    void excesses_data();
    void excesses();
    void scene_data();
    void scene();
};

void TestJobCheck::excesses_data()
{
    QTest::addColumn<std::vector<PrintedBox>>("boxes");
    QTest::addColumn<QStringList>("expected"); // name, side and mm of each excess
    auto box = [](float x0, float y0, float z0, float x1, float y1, float z1) {
        return PrintedBox{QStringLiteral("a.stl"), QVector3D(x0, y0, z0), QVector3D(x1, y1, z1)};
    };
    // The volume is 60 x 100 x 130 mm: x within ±30, y within ±50.
    QTest::newRow("touching every side")
        << std::vector<PrintedBox>{box(-30, -50, 0, 30, 50, 130)} << QStringList();
    QTest::newRow("too tall") << std::vector<PrintedBox>{box(-5, -5, 0, 5, 5, 180)}
                              << QStringList{"a.stl 4 50.00"};
    QTest::newRow("too wide") << std::vector<PrintedBox>{box(-50, -5, 0, 50, 5, 10)}
                              << QStringList{"a.stl 0 20.00", "a.stl 1 20.00"};
    QTest::newRow("too deep") << std::vector<PrintedBox>{box(-5, -51, 0, 5, 60, 10)}
                              << QStringList{"a.stl 2 1.00", "a.stl 3 10.00"};
    QTest::newRow("less than shows")
        << std::vector<PrintedBox>{box(-30.004f, -5, 0, 5, 5, 130.004f)} << QStringList();
    QTest::newRow("below the plate")
        << std::vector<PrintedBox>{box(-5, -5, -20, 5, 5, 10)} << QStringList();
    // Objects of one name (a model's supports) count by the one that reaches furthest.
    QTest::newRow("one name, two boxes")
        << std::vector<PrintedBox>{box(-5, -5, 0, 5, 5, 133), box(-5, -5, 0, 5, 5, 137)}
        << QStringList{"a.stl 4 7.00"};
}

void TestJobCheck::excesses()
{
    QFETCH(std::vector<PrintedBox>, boxes);
    QFETCH(QStringList, expected);
    QStringList found;
    for (const Excess &e : excessesOf(boxes, BuildVolume{60, 100, 130}))
        found << QStringLiteral("%1 %2 %3").arg(e.name).arg(int(e.side)).arg(e.mm, 0, 'f', 2);
    QCOMPARE(found, expected);
}

void TestJobCheck::scene_data()
{
    QTest::addColumn<QVector3D>("modelLo");
    QTest::addColumn<QVector3D>("modelHi");
    QTest::addColumn<QVector3D>("supportLo"); // a support under the model unless empty
    QTest::addColumn<QVector3D>("supportHi");
    QTest::addColumn<int>("layers");
    QTest::addColumn<QString>("text");
    const QVector3D none;
    // Without supports the job sets it on the plate: 10 mm, 200 layers, inside.
    QTest::newRow("floating model")
        << QVector3D(0, 0, 150) << QVector3D(10, 10, 160) << none << none << 200 << QString();
    QTest::newRow("flat model") << QVector3D(0, 0, 0) << QVector3D(10, 10, 0) << none << none << 0
                                << "Nothing to slice: no object reaches the first layer (0.025 mm "
                                   "above the plate).";
    // Held up by a support it stays where it is.
    QTest::newRow("held above the height")
        << QVector3D(0, 0, 100) << QVector3D(10, 10, 140) << QVector3D(2, 2, 0)
        << QVector3D(4, 4, 100) << 2800
        << "Outside the build volume of P1 (60.00 x 100.00 x 130.00 mm):\n"
           "m.stl: 10.00 mm above the build height";
    QTest::newRow("support past the plate")
        << QVector3D(-5, -5, 5) << QVector3D(5, 5, 10) << QVector3D(25, -1, 0)
        << QVector3D(35, 1, 5) << 200
        << "Outside the build volume of P1 (60.00 x 100.00 x 130.00 mm):\n"
           "the supports of m.stl: 5.00 mm past the plate on the +x side";
}

void TestJobCheck::scene()
{
    QFETCH(QVector3D, modelLo);
    QFETCH(QVector3D, modelHi);
    QFETCH(QVector3D, supportLo);
    QFETCH(QVector3D, supportHi);
    QFETCH(int, layers);
    QFETCH(QString, text);
    std::unique_ptr<Model> model(SceneMeshes::makeBox(modelLo, modelHi));
    model->name = QStringLiteral("/models/m.stl");
    std::vector<Model *> objects{model.get()};
    std::unique_ptr<Model> support;
    if (supportLo != supportHi) {
        support.reset(SceneMeshes::makeBox(supportLo, supportHi, Model::TYPE_SUPPORT));
        model->attachChild(support.get());
        objects.push_back(support.get());
    }
    PrinterModelConfig printer;
    printer.name = QStringLiteral("P1");
    printer.vx = 60;
    printer.vy = 100;
    printer.vz = 130;
    const JobCheck check = checkJob(objects, printer, 0.05f);
    QCOMPARE(check.layerCount(), layers);
    QCOMPARE(check.text(), text);
    QVERIFY(model->transforms->empty()); // the check moves nothing
}

QTEST_GUILESS_MAIN(TestJobCheck)
#include "tst_jobcheck.moc"
