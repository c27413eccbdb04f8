#include "ConfigTestEnv.h"
#include "LogCapture.h"
#include "config/QuorConfig.h"

#include <QElapsedTimer>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QRandomGenerator>
#include <QtTest>

#include <functional>

#include <sys/stat.h>

namespace {

QJsonObject fullSettings()
{
    return QJsonObject{{"modelIndex", 2},
                       {"resinIndex", 1},
                       {"thicknessUM", 35},
                       {"bottomLayerNum", 6},
                       {"bottomExpoMS", 45500},
                       {"normalExpoMS", 7500},
                       {"useAntialise", false},
                       {"antiAliseValue", 3.5},
                       {"liftHeight", 6.0},
                       {"liftUpSpeed", 80.0},
                       {"liftDownSpeed", 150.0},
                       {"waitSecAfterStop", 1.5},
                       {"printerIPList", "10.0.0.2,10.0.0.3"}};
}

using ConfigChange = std::function<void(QuorConfig &)>;

ino_t inodeOf(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

} // namespace

Q_DECLARE_METATYPE(ConfigChange)

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void firstStartUsesRecommendedValues();
    void setterRoundings();
    void settersClampToRanges_data();
    void settersClampToRanges();
    void getConfigMakesModelCurrent();
    void printerListAlwaysWritesFile();
    void printerListParsing();
    void missingBottomLayersTakesFirstLayers();
    void jsonTextIsRefused();
    void migrationFromWorkingDirectory();
    void savedFileHasThirteenKeys();
    void savedValuesRoundTrip();
    void motionPropertiesReachFileOnDestruction();
    void buildConfigPixels_data();
    void buildConfigPixels();
    void unusableValuesCountAsAbsent_data();
    void unusableValuesCountAsAbsent();
    void dialogRangeValuesAreKept();
    void damagedFilesStartOnDefaults_data();
    void damagedFilesStartOnDefaults();
    void saveReplacesFileAtomically();
    void saveIntoVanishedFolderFails();
    void supportParametersBelongToTheConfiguration();
    void changeSignals_data();
    void changeSignals();
    void qmlBindingsFollow_data();
    void qmlBindingsFollow();
};

void TestSettings::firstStartUsesRecommendedValues()
{
    ConfigTestEnv env;
    LogCapture log;
    {
        QuorConfig config;
        QVERIFY(log.contains(QStringLiteral("open fail failed")));
        QCOMPARE(config.modelIndex(), 0);
        QCOMPARE(config.getAllModelsModel().first(), QStringLiteral("H310"));
        QCOMPARE(config.resinIndex(), 0);
        QCOMPARE(config.thicknessUM(), 50);
        // From H310's only row [50 um, 30 s, 4 s, 3 layers].
        QCOMPARE(config.bottomLayerNum(), 3);
        QCOMPARE(config.bottomExpoMS(), 30000);
        QCOMPARE(config.normalExpoMS(), 4000);
        QCOMPARE(config.useAntialise(), true);
        QCOMPARE(config.antiAliseValue(), 2.0f);
        QVERIFY(!config.settingsLoaded());
        QVERIFY(QDir(env.home() + "/Makora").exists());
    }
    // Destruction saves.
    QVERIFY(QFile::exists(env.settingsPath()));
}

void TestSettings::setterRoundings()
{
    ConfigTestEnv env;
    QuorConfig config;
    config.setThicknessMM(0.05f);
    QCOMPARE(config.thicknessUM(), 50);
    config.setThicknessMM(0.035f);
    QCOMPARE(config.thicknessUM(), 35);
    config.setBottomExpoSec(12.34f);
    QCOMPARE(config.bottomExpoMS(), 12300); // whole tenths of a second
    config.setNormalExpoSec(7.25f);
    QCOMPARE(config.normalExpoMS(), 7300); // a half tenth rounds up
    config.antiAliseValue(2.25f);
    QCOMPARE(config.antiAliseValue(), 2.3f);
}

void TestSettings::settersClampToRanges_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("stored");
    // Outside its range a value becomes the nearest end; inside it is kept.
    QTest::newRow("thickness too thin") << "thickness" << 0.001 << 0.01;
    QTest::newRow("thickness too thick") << "thickness" << 0.5 << 0.1;
    QTest::newRow("bottom layers negative") << "bottom-layers" << -3.0 << 0.0;
    QTest::newRow("bottom exposure too long") << "bottom-exposure" << 500.0 << 180.0;
    QTest::newRow("exposure under a second") << "exposure" << 0.2 << 1.0;
    QTest::newRow("factor too small") << "aa-factor" << 1.0 << 2.0;
    QTest::newRow("lift too high") << "lift-height" << 40.0 << 12.0;
    QTest::newRow("lift-up too slow") << "lift-up-speed" << 5.0 << 20.0;
    QTest::newRow("lift-down too fast") << "lift-down-speed" << 900.0 << 200.0;
    QTest::newRow("wait negative") << "wait" << -1.0 << 0.0;
    QTest::newRow("wait inside") << "wait" << 1.5 << 1.5;
}

// The dialog and the command line refuse such values; anything else that calls a setter (the
// documents' bindings, a script) cannot store them either.
void TestSettings::settersClampToRanges()
{
    QFETCH(QString, setting);
    QFETCH(double, value);
    QFETCH(double, stored);
    ConfigTestEnv env;
    QuorConfig config;
    using Access = std::pair<std::function<void(float)>, std::function<double()>>;
    const QHash<QString, Access> settings{
        {"thickness",
         {[&](float v) { config.setThicknessMM(v); }, [&] { return config.thicknessUM() / 1e3; }}},
        {"bottom-layers",
         {[&](float v) { config.setBottomLayerNum(int(v)); },
          [&] { return double(config.bottomLayerNum()); }}},
        {"bottom-exposure",
         {[&](float v) { config.setBottomExpoSec(v); },
          [&] { return config.bottomExpoMS() / 1e3; }}},
        {"exposure",
         {[&](float v) { config.setNormalExpoSec(v); },
          [&] { return config.normalExpoMS() / 1e3; }}},
        {"aa-factor",
         {[&](float v) { config.antiAliseValue(v); },
          [&] { return double(config.antiAliseValue()); }}},
        {"lift-height",
         {[&](float v) { config.setLiftHeight(v); }, [&] { return double(config.liftHeight()); }}},
        {"lift-up-speed",
         {[&](float v) { config.setLiftUpSpeed(v); },
          [&] { return double(config.liftUpSpeed()); }}},
        {"lift-down-speed",
         {[&](float v) { config.setLiftDownSpeed(v); },
          [&] { return double(config.liftDownSpeed()); }}},
        {"wait",
         {[&](float v) { config.setWaitSecAfterStop(v); },
          [&] { return double(config.waitSecAfterStop()); }}},
    };
    QVERIFY(settings.contains(setting));
    settings[setting].first(float(value));
    QCOMPARE(qRound(settings[setting].second() * 1000), qRound(stored * 1000));
}

void TestSettings::getConfigMakesModelCurrent()
{
    ConfigTestEnv env;
    QuorConfig config;
    // K200's first gang row is [50, 30, 10, 3].
    QCOMPARE(config.getConfig(1), QStringList({"0", "50", "3", "30000", "10000"}));
    QCOMPARE(config.modelIndex(), 1);
    QCOMPARE(config.resinIndex(), 0);
}

void TestSettings::printerListAlwaysWritesFile()
{
    ConfigTestEnv env;
    QuorConfig config;
    config.addPrinterInstance("192.168.1.5");
    config.addPrinterInstance("192.168.1.6");
    QFile::remove(env.settingsPath());
    config.addPrinterInstance("192.168.1.5"); // already there
    QCOMPARE(config.getPrinterInstanceList(), QStringList({"192.168.1.5", "192.168.1.6"}));
    QVERIFY(QFile::exists(env.settingsPath()));
    QFile::remove(env.settingsPath());
    config.delPrinterInstance("192.168.1.99"); // not in the list
    QVERIFY(QFile::exists(env.settingsPath()));
    config.delPrinterInstance("192.168.1.5");
    QCOMPARE(env.readSettings().value("printerIPList").toString(), QStringLiteral("192.168.1.6"));
}

void TestSettings::printerListParsing()
{
    ConfigTestEnv env;
    env.writeSettings(ConfigTestEnv::binary(QJsonObject{{"printerIPList", "a,,b"}}));
    QuorConfig config;
    QCOMPARE(config.getPrinterInstanceList(), QStringList({"a", "", "b"}));
    // An empty stored string leaves the list as it is.
    env.writeSettings(ConfigTestEnv::binary(QJsonObject{{"printerIPList", ""}}));
    QVERIFY(config.loadCustomConf());
    QCOMPARE(config.getPrinterInstanceList(), QStringList({"a", "", "b"}));
}

void TestSettings::missingBottomLayersTakesFirstLayers()
{
    ConfigTestEnv env;
    const QString catalogue = env.writeCatalogue(R"({"defaultConfs": {"firstLayers": 7},
        "resinGroups": {}, "lcds": {"p": {}},
        "models": {"M": {"lcd": "p", "vx": 60, "vy": 100, "vz": 150,
                         "resins": {"r": [[50, 30, 10, 2]]}}}})");
    QJsonObject settings = fullSettings();
    settings.remove("bottomLayerNum");
    settings.insert("modelIndex", 0);
    settings.insert("resinIndex", 0);
    env.writeSettings(ConfigTestEnv::binary(settings));
    QuorConfig config(catalogue);
    // Neither the row's 2 nor the current 3: the catalogue's firstLayers.
    QCOMPARE(config.bottomLayerNum(), 7);
}

void TestSettings::jsonTextIsRefused()
{
    ConfigTestEnv env;
    env.writeSettings(QJsonDocument(fullSettings()).toJson());
    LogCapture log;
    QuorConfig config;
    QVERIFY(log.contains(QStringLiteral("no object found")));
    QVERIFY(!log.contains(QStringLiteral("load json obj:")));
    QCOMPARE(config.thicknessUM(), 50);
    QCOMPARE(config.normalExpoMS(), 4000);
}

void TestSettings::migrationFromWorkingDirectory()
{
    {
        ConfigTestEnv env;
        QFile old(env.cwd() + "/slice.custom.conf");
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(ConfigTestEnv::binary(QJsonObject{{"thicknessUM", 35}}));
        old.close();
        LogCapture log;
        QuorConfig config;
        QVERIFY(log.contains(QStringLiteral("mv succeed")));
        QCOMPARE(config.thicknessUM(), 35);
        QVERIFY(!QFile::exists(env.cwd() + "/slice.custom.conf"));
    }
    {
        ConfigTestEnv env;
        env.writeSettings(ConfigTestEnv::binary(QJsonObject{{"thicknessUM", 25}}));
        QFile old(env.cwd() + "/slice.custom.conf");
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(ConfigTestEnv::binary(QJsonObject{{"thicknessUM", 35}}));
        old.close();
        LogCapture log;
        QuorConfig config;
        // By line start: the scratch paths in other log lines hold random letters.
        const QStringList lines = log.lines();
        QVERIFY(std::none_of(lines.begin(), lines.end(),
                             [](const QString &line) { return line.startsWith("mv "); }));
        QCOMPARE(config.thicknessUM(), 25); // the home file wins, the old one stays
        QVERIFY(QFile::exists(env.cwd() + "/slice.custom.conf"));
    }
}

void TestSettings::savedFileHasThirteenKeys()
{
    ConfigTestEnv env;
    QuorConfig config;
    config.addPrinterInstance("10.1.1.1");
    config.addPrinterInstance("10.1.1.2");
    config.antiAliseValue(2.5f);
    QVERIFY(config.save());
    const QJsonObject obj = env.readSettings();
    QCOMPARE(obj.keys(), QStringList({"antiAliseValue", "bottomExpoMS", "bottomLayerNum",
                                      "liftDownSpeed", "liftHeight", "liftUpSpeed", "modelIndex",
                                      "normalExpoMS", "printerIPList", "resinIndex", "thicknessUM",
                                      "useAntialise", "waitSecAfterStop"}));
    QCOMPARE(obj.value("thicknessUM").toInt(), 50);
    QCOMPARE(obj.value("normalExpoMS").toInt(), 4000);
    QCOMPARE(obj.value("antiAliseValue").toDouble(), 2.5);
    QCOMPARE(obj.value("useAntialise").toBool(), true);
    QCOMPARE(obj.value("liftHeight").toDouble(), 4.0);
    QCOMPARE(obj.value("waitSecAfterStop").toDouble(), 2.0);
    QCOMPARE(obj.value("printerIPList").toString(), QStringLiteral("10.1.1.1,10.1.1.2"));
    QVERIFY(config.settingsLoaded());
}

void TestSettings::savedValuesRoundTrip()
{
    ConfigTestEnv env;
    env.writeSettings(ConfigTestEnv::binary(fullSettings()));
    QuorConfig config;
    QVERIFY(config.settingsLoaded());
    QCOMPARE(config.modelIndex(), 2);
    QCOMPARE(config.resinIndex(), 1);
    QCOMPARE(config.thicknessUM(), 35);
    // A loaded file keeps its own bottom layers and exposures over the recommendations.
    QCOMPARE(config.bottomLayerNum(), 6);
    QCOMPARE(config.bottomExpoMS(), 45500);
    QCOMPARE(config.normalExpoMS(), 7500);
    QCOMPARE(config.useAntialise(), false);
    QCOMPARE(config.antiAliseValue(), 3.5f);
    QCOMPARE(config.liftHeight(), 6.0f);
    QCOMPARE(config.liftUpSpeed(), 80.0f);
    QCOMPARE(config.liftDownSpeed(), 150.0f);
    QCOMPARE(config.waitSecAfterStop(), 1.5f);
    QCOMPARE(config.getPrinterInstanceList(), QStringList({"10.0.0.2", "10.0.0.3"}));
    const SliceBuildConfig *b = config.buildConfig();
    QCOMPARE(b->layerThicknessMm, 0.035f);
    QCOMPARE(b->bottomLayerCount, 6);
    QCOMPARE(b->bottomExpoMs, 45500);
    QCOMPARE(b->normalExpoMs, 7500);
    QCOMPARE(b->liftUpSpeedMmPerMin, 80.0f);
}

void TestSettings::motionPropertiesReachFileOnDestruction()
{
    ConfigTestEnv env;
    {
        QuorConfig config;
        QVERIFY(config.save());
        QSignalSpy spy(&config, &QuorConfig::liftAdvCfgChanged);
        QVERIFY(config.setProperty("liftHeight", 8.0f));
        QVERIFY(config.setProperty("waitSecAfterStop", 0.5f));
        QCOMPARE(config.buildConfig()->liftHeightMm, 8.0f); // written straight through
        QCOMPARE(spy.count(), 2);
        QCOMPARE(env.readSettings().value("liftHeight").toDouble(), 4.0);
    }
    QCOMPARE(env.readSettings().value("liftHeight").toDouble(), 8.0);
    QCOMPARE(env.readSettings().value("waitSecAfterStop").toDouble(), 0.5);
}

void TestSettings::buildConfigPixels_data()
{
    QTest::addColumn<int>("model");
    for (int i = 0; i < 9; ++i)
        QTest::newRow(qPrintable(QString::number(i))) << i;
}

void TestSettings::buildConfigPixels()
{
    QFETCH(int, model);
    ConfigTestEnv env;
    QuorConfig config;
    config.setModelIndex(model);
    config.syncBuildConfig();
    const SliceBuildConfig *b = config.buildConfig();
    // trunc(trunc(65.02) x 21.164) and trunc(116 x 21.164).
    QCOMPARE(b->imageWidthPx, 1375);
    QCOMPARE(b->imageHeightPx, 2455);
    QCOMPARE(b->xPixelsPerMm, double(21.164f));
    QCOMPARE(b->yPixelsPerMm, double(21.164f));
}

void TestSettings::unusableValuesCountAsAbsent_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QJsonValue>("value");
    QTest::newRow("zero thickness") << "thicknessUM" << QJsonValue(0);
    QTest::newRow("negative thickness") << "thicknessUM" << QJsonValue(-50);
    QTest::newRow("negative bottom exposure") << "bottomExpoMS" << QJsonValue(-1000);
    QTest::newRow("negative exposure") << "normalExpoMS" << QJsonValue(-1);
    QTest::newRow("negative bottom layers") << "bottomLayerNum" << QJsonValue(-3);
    QTest::newRow("zero up speed") << "liftUpSpeed" << QJsonValue(0.0);
    QTest::newRow("zero down speed") << "liftDownSpeed" << QJsonValue(0.0);
    QTest::newRow("negative lift height") << "liftHeight" << QJsonValue(-4.0);
    QTest::newRow("negative wait") << "waitSecAfterStop" << QJsonValue(-1.0);
    QTest::newRow("zero anti-alias") << "antiAliseValue" << QJsonValue(0.0);
    QTest::newRow("anti-alias rounding to zero") << "antiAliseValue" << QJsonValue(0.04);
    QTest::newRow("huge thickness") << "thicknessUM" << QJsonValue(1e30);
    QTest::newRow("text thickness") << "thicknessUM" << QJsonValue("50");
}

void TestSettings::unusableValuesCountAsAbsent()
{
    QFETCH(QString, key);
    QFETCH(QJsonValue, value);
    ConfigTestEnv env;
    QJsonObject stored = fullSettings();
    stored.remove(key);
    env.writeSettings(ConfigTestEnv::binary(stored));
    QJsonObject reference;
    {
        QuorConfig config;
        reference = QJsonObject{{"t", config.thicknessUM()},   {"b", config.bottomExpoMS()},
                                {"n", config.normalExpoMS()},  {"l", config.bottomLayerNum()},
                                {"u", config.liftUpSpeed()},   {"d", config.liftDownSpeed()},
                                {"h", config.liftHeight()},    {"w", config.waitSecAfterStop()},
                                {"a", config.antiAliseValue()}};
    }
    stored.insert(key, value);
    env.writeSettings(ConfigTestEnv::binary(stored));
    QuorConfig config;
    QVERIFY(config.settingsLoaded());
    const QJsonObject got{{"t", config.thicknessUM()},   {"b", config.bottomExpoMS()},
                          {"n", config.normalExpoMS()},  {"l", config.bottomLayerNum()},
                          {"u", config.liftUpSpeed()},   {"d", config.liftDownSpeed()},
                          {"h", config.liftHeight()},    {"w", config.waitSecAfterStop()},
                          {"a", config.antiAliseValue()}};
    QCOMPARE(got, reference);
}

void TestSettings::dialogRangeValuesAreKept()
{
    // The ends of every range the slice settings dialog offers.
    const QList<QJsonObject> variants = {
        {{"thicknessUM", 10},
         {"bottomLayerNum", 0},
         {"bottomExpoMS", 1000},
         {"normalExpoMS", 1000},
         {"antiAliseValue", 2.0},
         {"liftHeight", 3.0},
         {"liftUpSpeed", 20.0},
         {"liftDownSpeed", 20.0},
         {"waitSecAfterStop", 0.0}},
        {{"thicknessUM", 100},
         {"bottomLayerNum", 10},
         {"bottomExpoMS", 180000},
         {"normalExpoMS", 180000},
         {"antiAliseValue", 5.0},
         {"liftHeight", 12.0},
         {"liftUpSpeed", 200.0},
         {"liftDownSpeed", 200.0},
         {"waitSecAfterStop", 3.0}},
    };
    for (const QJsonObject &v : variants) {
        ConfigTestEnv env;
        env.writeSettings(ConfigTestEnv::binary(v));
        QuorConfig config;
        QCOMPARE(config.thicknessUM(), v.value("thicknessUM").toInt());
        QCOMPARE(config.bottomLayerNum(), v.value("bottomLayerNum").toInt());
        QCOMPARE(config.bottomExpoMS(), v.value("bottomExpoMS").toInt());
        QCOMPARE(config.normalExpoMS(), v.value("normalExpoMS").toInt());
        QCOMPARE(double(config.antiAliseValue()), v.value("antiAliseValue").toDouble());
        QCOMPARE(double(config.liftHeight()), v.value("liftHeight").toDouble());
        QCOMPARE(double(config.liftUpSpeed()), v.value("liftUpSpeed").toDouble());
        QCOMPARE(double(config.liftDownSpeed()), v.value("liftDownSpeed").toDouble());
        QCOMPARE(double(config.waitSecAfterStop()), v.value("waitSecAfterStop").toDouble());
    }
}

void TestSettings::damagedFilesStartOnDefaults_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("truncatedBinary");
    QTest::newRow("empty") << qint64(0) << false;
    QTest::newRow("random bytes") << qint64(4096) << false;
    QTest::newRow("truncated binary json") << qint64(0) << true;
    QTest::newRow("200 MB of random bytes") << qint64(200) * 1024 * 1024 << false;
}

void TestSettings::damagedFilesStartOnDefaults()
{
    QFETCH(qint64, size);
    QFETCH(bool, truncatedBinary);
    ConfigTestEnv env;
    QByteArray bytes;
    if (truncatedBinary) {
        bytes = ConfigTestEnv::binary(fullSettings());
        bytes.chop(bytes.size() / 2);
        env.writeSettings(bytes);
    } else {
        QDir().mkpath(env.home() + "/Makora");
        QFile f(env.settingsPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray chunk(1 << 20, Qt::Uninitialized);
        for (qint64 left = size; left > 0; left -= chunk.size()) {
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(chunk.data()),
                                                  chunk.size() / 4);
            f.write(chunk.constData(), qMin<qint64>(left, chunk.size()));
        }
    }
    LogCapture log;
    QElapsedTimer timer;
    timer.start();
    QuorConfig config;
    qInfo() << "start-up on a damaged file of" << size << "bytes took" << timer.elapsed() << "ms";
    QVERIFY(log.contains(QStringLiteral("no object found")));
    QVERIFY(!config.settingsLoaded());
    QCOMPARE(config.thicknessUM(), 50);
    QCOMPARE(config.normalExpoMS(), 4000);
    QCOMPARE(config.getAllModelsModel().size(), 9);
}

void TestSettings::saveReplacesFileAtomically()
{
    ConfigTestEnv env;
    QuorConfig config;
    QVERIFY(config.save());
    const ino_t before = inodeOf(env.settingsPath());
    QVERIFY(before != 0);
    config.setThicknessMM(0.03f);
    QVERIFY(config.save());
    // A new file was renamed over the old one instead of truncating it in place.
    QVERIFY(inodeOf(env.settingsPath()) != before);
    QCOMPARE(env.readSettings().value("thicknessUM").toInt(), 30);
    QCOMPARE(QDir(env.home() + "/Makora").entryList(QDir::Files),
             QStringList({"slice.custom.conf"}));
}

void TestSettings::saveIntoVanishedFolderFails()
{
    ConfigTestEnv env;
    QuorConfig config;
    QVERIFY(config.save());
    QVERIFY(QDir(env.home() + "/Makora").removeRecursively());
    LogCapture log;
    QVERIFY(!config.save());
    QVERIFY(log.contains(QStringLiteral("for write fail")));
}

void TestSettings::supportParametersBelongToTheConfiguration()
{
    ConfigTestEnv env;
    QuorConfig config;
    QCOMPARE(config.supportConfig()->headBottomRadius(), 0.8f);
    config.supportConfig()->setHeadBottomRadius(0.5f);
    QCOMPARE(config.supportConfig()->footTopRadius(), 0.6f);
    QCOMPARE(config.supportConfig()->footBottomRadius(), 0.7f);
}

// Every job setting announces its change, once, and only when the value changes; the model
// index also has a signal of its own, and the lift values theirs.
void TestSettings::changeSignals_data()
{
    QTest::addColumn<ConfigChange>("change");
    QTest::addColumn<int>("jobSignals");
    QTest::addColumn<int>("modelSignals");
    QTest::addColumn<int>("liftSignals");
    const auto row = [](const char *name, ConfigChange change, int job, int model, int lift) {
        QTest::newRow(name) << change << job << model << lift;
    };
    // The fresh configuration: H310, resin 0, 50 um, 3 layers, 30 s, 4 s, anti-aliasing 2.0.
    row(
        "model", [](QuorConfig &c) { c.setModelIndex(1); }, 1, 1, 0);
    row(
        "same model", [](QuorConfig &c) { c.setModelIndex(0); }, 0, 0, 0);
    row(
        "resin", [](QuorConfig &c) { c.setResinIndex(2); }, 1, 0, 0);
    row(
        "thickness", [](QuorConfig &c) { c.setThicknessMM(0.035f); }, 1, 0, 0);
    row(
        "same thickness", [](QuorConfig &c) { c.setThicknessMM(0.0502f); }, 0, 0, 0);
    row(
        "bottom layers", [](QuorConfig &c) { c.setBottomLayerNum(7); }, 1, 0, 0);
    row(
        "bottom exposure", [](QuorConfig &c) { c.setBottomExpoSec(12.5f); }, 1, 0, 0);
    row(
        "exposure", [](QuorConfig &c) { c.setNormalExpoSec(6.0f); }, 1, 0, 0);
    row(
        "anti-aliasing", [](QuorConfig &c) { c.useAntialise(false); }, 1, 0, 0);
    row(
        "anti-alias factor", [](QuorConfig &c) { c.antiAliseValue(3.5f); }, 1, 0, 0);
    row(
        "same factor after rounding", [](QuorConfig &c) { c.antiAliseValue(2.04f); }, 0, 0, 0);
    // getConfig makes the model current: one announcement for the whole re-read.
    row(
        "getConfig of another model", [](QuorConfig &c) { c.getConfig(1); }, 1, 1, 0);
    row(
        "lift height", [](QuorConfig &c) { c.setProperty("liftHeight", 9.0f); }, 0, 0, 1);
    row(
        "lift up speed", [](QuorConfig &c) { c.setProperty("liftUpSpeed", 50.0f); }, 0, 0, 1);
    row(
        "lift down", [](QuorConfig &c) { c.setProperty("liftDownSpeed", 55.0f); }, 0, 0, 1);
    row(
        "wait", [](QuorConfig &c) { c.setProperty("waitSecAfterStop", 0.5f); }, 0, 0, 1);
    row(
        "same lift", [](QuorConfig &c) { c.setProperty("liftHeight", 4.0f); }, 0, 0, 0);
    row(
        "save", [](QuorConfig &c) { c.save(); }, 0, 0, 0);
}

void TestSettings::changeSignals()
{
    QFETCH(ConfigChange, change);
    QFETCH(int, jobSignals);
    QFETCH(int, modelSignals);
    QFETCH(int, liftSignals);
    ConfigTestEnv env;
    QuorConfig config;
    QSignalSpy job(&config, &QuorConfig::sliceSettingsChanged);
    QSignalSpy model(&config, &QuorConfig::modelIndexChanged);
    QSignalSpy lift(&config, &QuorConfig::liftAdvCfgChanged);
    change(config);
    QCOMPARE(job.count(), jobSignals);
    QCOMPARE(model.count(), modelSignals);
    QCOMPARE(lift.count(), liftSignals);
}

// A document bound to the configuration follows every change made from C++: the bottom bar's
// description, and anything read beside it, re-evaluates on the notification.
void TestSettings::qmlBindingsFollow_data()
{
    QTest::addColumn<ConfigChange>("change");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QVariant>("expected");
    const auto row = [](const char *name, ConfigChange change, const char *property,
                        const QVariant &expected) {
        QTest::newRow(name) << change << QString::fromLatin1(property) << expected;
    };
    row(
        "model", [](QuorConfig &c) { c.setModelIndex(1); }, "description", "K200, 0.05mm");
    row(
        "thickness", [](QuorConfig &c) { c.setThicknessMM(0.035f); }, "description",
        "H310, 0.035mm");
    row(
        "resin", [](QuorConfig &c) { c.setResinIndex(3); }, "resin", 3);
    row(
        "bottom layers", [](QuorConfig &c) { c.setBottomLayerNum(8); }, "bottomLayers", 8);
    row(
        "bottom exposure", [](QuorConfig &c) { c.setBottomExpoSec(12.5f); }, "bottomExpo", 12500);
    row(
        "exposure", [](QuorConfig &c) { c.setNormalExpoSec(6.5f); }, "expo", 6500);
    row(
        "anti-aliasing", [](QuorConfig &c) { c.useAntialise(false); }, "antiAlias", false);
    row(
        "factor", [](QuorConfig &c) { c.antiAliseValue(4.5f); }, "factor", 4.5);
    row(
        "lift height", [](QuorConfig &c) { c.setLiftHeight(11.0f); }, "liftHeight", 11.0);
    row(
        "lift up", [](QuorConfig &c) { c.setLiftUpSpeed(45.0f); }, "liftUp", 45.0);
    row(
        "lift down", [](QuorConfig &c) { c.setLiftDownSpeed(65.0f); }, "liftDown", 65.0);
    row(
        "wait", [](QuorConfig &c) { c.setWaitSecAfterStop(2.5f); }, "wait", 2.5);
}

void TestSettings::qmlBindingsFollow()
{
    QFETCH(ConfigChange, change);
    QFETCH(QString, property);
    QFETCH(QVariant, expected);
    ConfigTestEnv env;
    QuorConfig config;
    QQmlEngine engine;
    engine.rootContext()->setContextProperty(QStringLiteral("quor3dConfig"), &config);
    QQmlComponent component(&engine);
    // The invokable getters carry no notification: read beside the description, they follow it.
    component.setData(
        "import QtQml 2.2\n"
        "QtObject {\n"
        "  property string description: quor3dConfig.sliceDescription\n"
        "  property int resin: quor3dConfig.sliceDescription, quor3dConfig.resinIndex()\n"
        "  property int bottomLayers: quor3dConfig.sliceDescription,"
        "    quor3dConfig.bottomLayerNum()\n"
        "  property int bottomExpo: quor3dConfig.sliceDescription,"
        "    quor3dConfig.bottomExpoMS()\n"
        "  property int expo: quor3dConfig.sliceDescription, quor3dConfig.normalExpoMS()\n"
        "  property bool antiAlias: quor3dConfig.sliceDescription,"
        "    quor3dConfig.useAntialise()\n"
        "  property real factor: quor3dConfig.sliceDescription,"
        "    quor3dConfig.antiAliseValue()\n"
        "  property real liftHeight: quor3dConfig.liftHeight\n"
        "  property real liftUp: quor3dConfig.liftUpSpeed\n"
        "  property real liftDown: quor3dConfig.liftDownSpeed\n"
        "  property real wait: quor3dConfig.waitSecAfterStop\n"
        "}\n",
        QUrl());
    std::unique_ptr<QObject> object(component.create());
    QVERIFY2(object, qPrintable(component.errorString()));
    QCOMPARE(object->property("description").toString(), QStringLiteral("H310, 0.05mm"));
    const QVariant before = object->property(qPrintable(property));
    QVERIFY(before != expected);
    change(config);
    QCOMPARE(object->property(qPrintable(property)), expected);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
