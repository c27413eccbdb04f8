#include "ConfigTestEnv.h"
#include "LogCapture.h"
#include "config/QuorConfig.h"

#include <QtTest>

Q_DECLARE_METATYPE(ResinConfig)

namespace {

// A minimal valid model body on a 1000 x 1000 px panel at 10 px/mm (100 x 100 mm).
QByteArray
catalogueWith(const QByteArray &models,
              const QByteArray &groups = R"({"g": {"_comment_": "x", "r": [[50, 30, 10]]}})")
{
    return QByteArray(R"({"defaultConfs": {"firstLayers": 5}, "resinGroups": )") + groups +
           QByteArray(R"(, "lcds": {"p": {"x": 1000, "y": 1000, "xppmm": 10, "yppmm": 10}},)") +
           QByteArray(R"("models": {)") + models + QByteArray("}}");
}

QByteArray modelBody(const QByteArray &overrides = QByteArray())
{
    QJsonObject body{{"lcd", "p"}, {"vx", 90}, {"vy", 90}, {"vz", 150}, {"resinGroup", "g"}};
    const QJsonObject extra = QJsonDocument::fromJson("{" + overrides + "}").object();
    for (auto it = extra.begin(); it != extra.end(); ++it)
        body.insert(it.key(), it.value());
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void defaultCatalogueModels();
    void defaultCatalogueResolvedValues_data();
    void defaultCatalogueResolvedValues();
    void h310HasOnlyItsOwnResin();
    void basedChainsResolveInAnyKeyOrder();
    void missingOrCircularBasesAreDropped();
    void validationLimits_data();
    void validationLimits();
    void threeColumnRowsTakeFirstLayers();
    void emptyLcdUsesFallbacks();
    void badRowsAreSkippedWithWarnings();
    void getResinConfigRows_data();
    void getResinConfigRows();
    void resinListsInKeyOrder();
    void hugeNumbersAreLimited();
};

void TestCatalogue::defaultCatalogueModels()
{
    ConfigTestEnv env;
    QuorConfig config;
    QCOMPARE(config.getAllModelsModel(), QStringList({"H310", "K200", "K200A", "K200C", "K200D",
                                                      "K200DX", "K310", "K311", "K320"}));
    QCOMPARE(config.loadDefaultConf(), 1);
}

void TestCatalogue::defaultCatalogueResolvedValues_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<float>("vz");
    QTest::addColumn<int>("gangExpoMs"); // tells the two resin groups apart
    QTest::newRow("K200") << "K200" << 130.0f << 10000;
    QTest::newRow("K200A inherits K200") << "K200A" << 130.0f << 10000;
    QTest::newRow("K200C own height and group") << "K200C" << 150.0f << 8000;
    QTest::newRow("K200D from K200C") << "K200D" << 150.0f << 8000;
    QTest::newRow("K200DX two levels down") << "K200DX" << 150.0f << 8000;
    QTest::newRow("K310") << "K310" << 150.0f << 8000;
    QTest::newRow("K311") << "K311" << 150.0f << 8000;
    QTest::newRow("K320") << "K320" << 150.0f << 8000;
}

void TestCatalogue::defaultCatalogueResolvedValues()
{
    QFETCH(QString, name);
    QFETCH(float, vz);
    QFETCH(int, gangExpoMs);
    ConfigTestEnv env;
    QuorConfig config;
    const PrinterModelConfig m = config.catalogue().models.value(name);
    QCOMPARE(m.name, name);
    QCOMPARE(m.x, 1440);
    QCOMPARE(m.y, 2560);
    QCOMPARE(m.xppmm, 21.164f);
    QCOMPARE(m.yppmm, 21.164f);
    QCOMPARE(m.vx, 65.02f);
    QCOMPARE(m.vy, 116.0f);
    QCOMPARE(m.vz, vz);
    QCOMPARE(m.liftHeight, 4.0f);
    QCOMPARE(m.liftUpSpeed, 100.0f);
    QCOMPARE(m.liftDownSpeed, 100.0f);
    QCOMPARE(m.resins.keys(), QStringList({"gang", "ren", "tan", "zhu"}));
    QCOMPARE(m.resins.value("gang").first().normalExpoMS, gangExpoMs);
}

void TestCatalogue::h310HasOnlyItsOwnResin()
{
    ConfigTestEnv env;
    QuorConfig config;
    const PrinterModelConfig m = config.catalogue().models.value("H310");
    QCOMPARE(m.vz, 150.0f);
    QCOMPARE(m.resins.keys(), QStringList({"zhu"}));
    // [50 um, 30 s, 4 s] with firstLayers 3
    QCOMPARE(m.resins.value("zhu"), QVector<ResinConfig>({ResinConfig{0, 50, 3, 30000, 4000}}));
}

void TestCatalogue::basedChainsResolveInAnyKeyOrder()
{
    ConfigTestEnv env;
    // "A" needs "B" needs "C": each base comes later in key order than its child.
    const QString path = env.writeCatalogue(
        catalogueWith(R"("A": {"based": "B"}, "B": {"based": "C", "liftHeight": 6}, "C": )" +
                      modelBody(R"("vz": 120)")));
    QuorConfig config(path);
    QCOMPARE(config.getAllModelsModel(), QStringList({"A", "B", "C"}));
    const auto &models = config.catalogue().models;
    QCOMPARE(models.value("A").vz, 120.0f);       // from C through B
    QCOMPARE(models.value("A").liftHeight, 6.0f); // from B
    QCOMPARE(models.value("C").liftHeight, 4.0f);
    QCOMPARE(models.value("A").name, QStringLiteral("A"));
}

void TestCatalogue::missingOrCircularBasesAreDropped()
{
    ConfigTestEnv env;
    const QString path = env.writeCatalogue(catalogueWith(
        R"("Lost": {"based": "Nowhere"}, "P": {"based": "Q"}, "Q": {"based": "P"}, "Real": )" +
        modelBody()));
    QuorConfig config(path);
    QCOMPARE(config.getAllModelsModel(), QStringList({"Real"}));
}

void TestCatalogue::validationLimits_data()
{
    QTest::addColumn<QByteArray>("overrides");
    QTest::addColumn<bool>("valid");
    QTest::newRow("inside the panel") << QByteArray() << true;
    QTest::newRow("vx equal to the panel") << QByteArray(R"("vx": 100)") << false;
    QTest::newRow("vy equal to the panel") << QByteArray(R"("vy": 100)") << false;
    QTest::newRow("vz 100") << QByteArray(R"("vz": 100)") << false;
    QTest::newRow("vz just above 100") << QByteArray(R"("vz": 100.5)") << true;
    QTest::newRow("liftHeight 20") << QByteArray(R"("liftHeight": 20)") << false;
    QTest::newRow("liftHeight 1") << QByteArray(R"("liftHeight": 1)") << true;
    QTest::newRow("liftHeight 0.9") << QByteArray(R"("liftHeight": 0.9)") << false;
    QTest::newRow("speeds 20") << QByteArray(R"("liftUpSpeed": 20, "liftDownSpeed": 20)") << true;
    QTest::newRow("speeds 500") << QByteArray(R"("liftUpSpeed": 500, "liftDownSpeed": 500)")
                                << true;
    QTest::newRow("up speed 501") << QByteArray(R"("liftUpSpeed": 501)") << false;
    QTest::newRow("down speed 19") << QByteArray(R"("liftDownSpeed": 19)") << false;
    QTest::newRow("unknown group, no resins") << QByteArray(R"("resinGroup": "none")") << false;
    QTest::newRow("unknown lcd keeps zero panel") << QByteArray(R"("lcd": "none")") << false;
}

void TestCatalogue::validationLimits()
{
    QFETCH(QByteArray, overrides);
    QFETCH(bool, valid);
    ConfigTestEnv env;
    const QString path = env.writeCatalogue(catalogueWith("\"M\": " + modelBody(overrides)));
    LogCapture log;
    QuorConfig config(path);
    QCOMPARE(config.catalogue().models.contains("M"), valid);
    QCOMPARE(log.contains(QStringLiteral("invalide printer")), !valid);
}

void TestCatalogue::threeColumnRowsTakeFirstLayers()
{
    ConfigTestEnv env;
    const QString path = env.writeCatalogue(catalogueWith("\"M\": " + modelBody()));
    QuorConfig config(path);
    // The group row [50, 30, 10] has no fourth column; firstLayers is 5 in this catalogue.
    QCOMPARE(config.catalogue().models.value("M").resins.value("r"),
             QVector<ResinConfig>({ResinConfig{0, 50, 5, 30000, 10000}}));
}

void TestCatalogue::emptyLcdUsesFallbacks()
{
    ConfigTestEnv env;
    QuorConfig config;
    const LcdInfo lcd = config.catalogue().lcds.value("lcdB");
    QCOMPARE(lcd.xPx, 1440);
    QCOMPARE(lcd.yPx, 2560);
    QCOMPARE(lcd.xppmm, 21.164f);
    QCOMPARE(lcd.yppmm, 21.164f);
    QCOMPARE(lcd.toLogString(), QStringLiteral("lcdinfo 1440 2560 21.164 21.164"));
}

void TestCatalogue::badRowsAreSkippedWithWarnings()
{
    ConfigTestEnv env;
    const QString path = env.writeCatalogue(catalogueWith(
        "\"M\": " + modelBody(R"("resins": {"r": [[10, 1]], "s": [[20, 1.5, 2.25, 4], [30]]})"),
        R"({"g": {"r": [[50, 30, 10]]}, "e": {"x": [[1]]}})"));
    LogCapture log;
    QuorConfig config(path);
    const ResinTable resins = config.catalogue().models.value("M").resins;
    // "r" had no valid row of its own, so the group's row stays; "s" keeps its one good row.
    QCOMPARE(resins.value("r").size(), 1);
    QCOMPARE(resins.value("r").first().thicknessUM, 50);
    QCOMPARE(resins.value("s"), QVector<ResinConfig>({ResinConfig{0, 20, 4, 1500, 2250}}));
    QVERIFY(log.contains(QStringLiteral("invalid resin config")));
    QVERIFY(log.contains(QStringLiteral("no value for resin")));
    QVERIFY(log.contains(QStringLiteral("overwite repeated resin type")));
    QVERIFY(log.contains(QStringLiteral("empty group")));
    QVERIFY(!config.catalogue().resinGroups.contains("e"));
}

void TestCatalogue::getResinConfigRows_data()
{
    QTest::addColumn<uint>("printer");
    QTest::addColumn<uint>("resin");
    QTest::addColumn<uint>("thick");
    QTest::addColumn<ResinConfig>("expected");
    QTest::newRow("thickness 0 gives the first row")
        << 1u << 0u << 0u << ResinConfig{0, 50, 3, 30000, 10000};
    QTest::newRow("exact 50 um row unchanged")
        << 1u << 0u << 50u << ResinConfig{0, 50, 3, 30000, 10000};
    QTest::newRow("25 um halves both exposures")
        << 1u << 0u << 25u << ResinConfig{0, 25, 3, 15000, 5000};
    // zhu of group 1 is [20 um, 150 s, 30 s]: five times longer, bottom limited to 3 minutes.
    QTest::newRow("100 um zhu limited")
        << 1u << 3u << 100u << ResinConfig{0, 100, 3, 180000, 150000};
}

void TestCatalogue::getResinConfigRows()
{
    QFETCH(uint, printer);
    QFETCH(uint, resin);
    QFETCH(uint, thick);
    QFETCH(ResinConfig, expected);
    ConfigTestEnv env;
    QuorConfig config;
    const ResinConfig rc = config.getResinConfig(printer, resin, thick);
    QCOMPARE(rc, expected);
    QCOMPARE(config.modelIndex(), int(printer));
    QCOMPARE(config.resinIndex(), int(resin));
}

void TestCatalogue::resinListsInKeyOrder()
{
    ConfigTestEnv env;
    QuorConfig config;
    config.setModelIndex(1); // K200
    QCOMPARE(config.getAllResinTypesModel(1),
             QStringList({"Rigid resin", "Toughness resin", "Elastic resin", "Foundry Resin"}));
    QCOMPARE(config.resinKeys(), QStringList({"gang", "ren", "tan", "zhu"}));
    // Out-of-range positions are reset, never read past the lists.
    config.getResinConfig(99, 99, 0);
    QCOMPARE(config.modelIndex(), 0);
    QCOMPARE(config.resinIndex(), 0);
    QCOMPARE(config.getAllResinTypesModel(), QStringList({"Foundry Resin"}));
}

void TestCatalogue::hugeNumbersAreLimited()
{
    ConfigTestEnv env;
    const QString path = env.writeCatalogue(
        catalogueWith("\"M\": " + modelBody(R"("resins": {"r": [[1e12, -1e12, 3e9, 1e300]]})")));
    QuorConfig config(path);
    // Limited to the 32-bit range instead of overflowing the conversion.
    QCOMPARE(
        config.catalogue().models.value("M").resins.value("r"),
        QVector<ResinConfig>({ResinConfig{0, 2147483647, 2147483647, -2147483648, 2147483647}}));
}

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
