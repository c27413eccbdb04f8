// The slice settings dialog driven as a person does, in a real window under a virtual X
// server; and what the main window says about a project file it could read only in part.
#include "ProjectTestFiles.h"
#include "QuickItems.h"
#include "SceneMeshes.h"
#include "ScratchConfig.h"
#include "UiHarness.h"

#include <QMimeData>
#include <QtTest>

using namespace QuickItems;

namespace {

const char kDialogHost[] = "import QtQuick 2.9\n"
                           "import QtQuick.Window 2.3\n"
                           "import \"qrc:/qml_model\"\n"
                           "Window {\n"
                           "    visible: true\n"
                           "    width: 640\n"
                           "    height: 480\n"
                           "    SliceConfigDialog { objectName: \"dialogUnderTest\" }\n"
                           "}\n";

QString writeHost()
{
    const QString path = QDir::currentPath() + QStringLiteral("/dialog-host.qml");
    SceneMeshes::writeFile(path, kDialogHost);
    return path;
}

double value(const QString &field)
{
    QQuickItem *i = item(field);
    return i ? i->property("value").toDouble() : -1.0;
}

// Field ranges as the dialog must offer them.
struct Range
{
    const char *field;
    double minimum, maximum, step;
    int decimals;
};
const Range kRanges[] = {
    {"thicknessField", 0.01, 0.1, 0.005, 3}, {"bottomLayersField", 0, 10, 1, 0},
    {"bottomExposureField", 1, 180, 0.5, 1}, {"exposureField", 1, 180, 0.5, 1},
    {"antiAliasFactorField", 2, 5, 0.5, 1},  {"liftHeightField", 3, 12, 1, 1},
    {"liftUpSpeedField", 20, 200, 5, 0},     {"liftDownSpeedField", 20, 200, 5, 0},
    {"waitAfterStopField", 0, 3, 0.5, 1},
};

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void initialValuesAndRanges();
    void modelChangeResetsResin();
    void resinChangeReReads();
    void thicknessReReadInMicrometres();
    void restoreDefaults();
    void okSavesEveryValue();
    void cancelKeepsConfiguration();
    void advancedReset();
    void valuesOutsideRangeRefused_data();
    void valuesOutsideRangeRefused();

    void partlyLoadedProjectAlerts();

private:
    // Opens the dialog and waits for its window.
    QQuickWindow *openDialog();
    void openDrawer();
    // Reaches a list by keyboard, from the thickness field backwards, as a person would.
    void focusByTab(QQuickItem *target);
    QQuickItem *dialogButton(const QString &text);

    std::unique_ptr<UiHarness> m_ui;
    QObject *m_dialog = nullptr;
};

void TestDialogs::init()
{
    m_ui = std::make_unique<UiHarness>(QStringList{QStringLiteral("quorslice")},
                                       QUrl::fromLocalFile(writeHost()));
    QVERIFY(m_ui->window);
    m_dialog = m_ui->window->findChild<QObject *>(QStringLiteral("dialogUnderTest"));
    QVERIFY(m_dialog);
    QCOMPARE(m_dialog->property("title").toString(), QStringLiteral("Slice config"));
}

void TestDialogs::cleanup()
{
    // A modal dialog left open would take the clicks of the next test.
    if (m_dialog && m_dialog->property("visible").toBool())
        QMetaObject::invokeMethod(m_dialog, "close");
    m_dialog = nullptr;
    m_ui.reset();
}

QQuickWindow *TestDialogs::openDialog()
{
    QMetaObject::invokeMethod(m_dialog, "open");
    QQuickWindow *w = nullptr;
    if (!QTest::qWaitFor(
            [&] { return (w = window(QStringLiteral("Slice config"))) && w->isExposed(); }))
        return nullptr;
    if (!w->isActive()) {
        w->requestActivate();
        if (!QTest::qWaitForWindowActive(w, 2000))
            return nullptr;
    }
    return w;
}

void TestDialogs::focusByTab(QQuickItem *target)
{
    click(item(QStringLiteral("thicknessField")));
    for (int i = 0; i < 4 && !target->hasActiveFocus(); ++i)
        key(target, Qt::Key_Backtab, Qt::ShiftModifier);
    QVERIFY(target->hasActiveFocus());
}

void TestDialogs::openDrawer()
{
    QQuickItem *drawer = item(QStringLiteral("advancedDrawer"));
    QVERIFY(drawer);
    if (!item(QStringLiteral("liftHeightField"))->isVisible())
        click(drawer);
    QTRY_VERIFY(item(QStringLiteral("liftHeightField"))->isVisible());
}

QQuickItem *TestDialogs::dialogButton(const QString &text)
{
    return withText(text, window(QStringLiteral("Slice config")));
}

void TestDialogs::initialValuesAndRanges()
{
    QuorConfig *config = m_ui->config();
    // Values a person chose earlier, all different from the recommended ones.
    config->getConfig(1, 2); // K200, its third resin current
    config->setThicknessMM(0.035f);
    config->setBottomLayerNum(6);
    config->setBottomExpoSec(45.5f);
    config->setNormalExpoSec(7.5f);
    config->useAntialise(false);
    config->antiAliseValue(3.5f);
    config->setLiftHeight(6.0f);
    config->setLiftUpSpeed(80.0f);
    config->setLiftDownSpeed(150.0f);
    config->setWaitSecAfterStop(1.5f);

    QQuickWindow *w = openDialog();
    QVERIFY(w);
    QQuickItem *models = item(QStringLiteral("printerModelBox"));
    QCOMPARE(models->property("currentIndex").toInt(), 1);
    QCOMPARE(models->property("currentText").toString(), QStringLiteral("K200"));
    QCOMPARE(models->property("count").toInt(), config->getAllModelsModel().size());
    QQuickItem *resins = item(QStringLiteral("resinTypeBox"));
    QCOMPARE(resins->property("currentIndex").toInt(), 2);
    QCOMPARE(resins->property("count").toInt(), 4); // K200 knows four resins
    QCOMPARE(value(QStringLiteral("thicknessField")), 0.035);
    QCOMPARE(value(QStringLiteral("bottomLayersField")), 6.0);
    QCOMPARE(value(QStringLiteral("bottomExposureField")), 45.5);
    QCOMPARE(value(QStringLiteral("exposureField")), 7.5);
    QCOMPARE(item(QStringLiteral("antiAliasCheck"))->property("checked").toBool(), false);
    QCOMPARE(value(QStringLiteral("antiAliasFactorField")), 3.5);
    // The drawer starts closed, and holds the lift values.
    QVERIFY(!item(QStringLiteral("liftHeightField"))->isVisible());
    screenshot(w, QStringLiteral("slice-config"));
    openDrawer();
    QCOMPARE(value(QStringLiteral("liftHeightField")), 6.0);
    QCOMPARE(value(QStringLiteral("liftUpSpeedField")), 80.0);
    QCOMPARE(value(QStringLiteral("liftDownSpeedField")), 150.0);
    QCOMPARE(value(QStringLiteral("waitAfterStopField")), 1.5);
    // The window grows to show the drawer: first and last fields both inside it.
    const auto inside = [&](const char *name) {
        QQuickItem *i = item(QLatin1String(name));
        const QPointF top = i->mapToScene(QPointF(0, 0));
        return top.y() >= 0 && top.y() + i->height() <= w->height();
    };
    QTRY_VERIFY(inside("printerModelBox") && inside("advancedResetButton"));
    // And the window system has given it that size.
    QTRY_COMPARE(w->grabWindow().height(), w->height());
    screenshot(w, QStringLiteral("slice-config-advanced"));

    for (const Range &r : kRanges) {
        QQuickItem *f = item(QLatin1String(r.field));
        QVERIFY2(f, r.field);
        QCOMPARE(f->property("minimumValue").toDouble(), r.minimum);
        QCOMPARE(f->property("maximumValue").toDouble(), r.maximum);
        QCOMPARE(f->property("stepSize").toDouble(), r.step);
        QCOMPARE(f->property("decimals").toInt(), r.decimals);
    }
    QVERIFY(item(QStringLiteral("antiAliasNotice"))
                ->property("text")
                .toString()
                .contains(QStringLiteral("The larger the value the smoother")));
}

// A new printer model starts on its first resin, with that model's values.
void TestDialogs::modelChangeResetsResin()
{
    QuorConfig *config = m_ui->config();
    config->getConfig(1, 2); // K200, resin 2
    config->setLiftHeight(9.0f);
    QVERIFY(openDialog());
    QQuickItem *models = item(QStringLiteral("printerModelBox"));
    QQuickItem *resins = item(QStringLiteral("resinTypeBox"));
    QCOMPARE(resins->property("currentIndex").toInt(), 2);
    focusByTab(models);
    key(models, Qt::Key_Down);
    QTRY_COMPARE(models->property("currentIndex").toInt(), 2);
    // K200A: K200's resin group, whose gang row is [50, 30, 10, 3].
    QCOMPARE(models->property("currentText").toString(), QStringLiteral("K200A"));
    QCOMPARE(resins->property("currentIndex").toInt(), 0);
    QCOMPARE(resins->property("currentText").toString(), QStringLiteral("Rigid resin"));
    QCOMPARE(value(QStringLiteral("thicknessField")), 0.05);
    QCOMPARE(value(QStringLiteral("bottomLayersField")), 3.0);
    QCOMPARE(value(QStringLiteral("bottomExposureField")), 30.0);
    QCOMPARE(value(QStringLiteral("exposureField")), 10.0);
    openDrawer();
    QCOMPARE(value(QStringLiteral("liftHeightField")), 4.0); // re-read: the standard motion
    // Up to H310, which has one resin only.
    key(models, Qt::Key_Up);
    key(models, Qt::Key_Up);
    QTRY_COMPARE(models->property("currentIndex").toInt(), 0);
    QCOMPARE(resins->property("count").toInt(), 1);
    QCOMPARE(resins->property("currentText").toString(), QStringLiteral("Foundry Resin"));
    QCOMPARE(value(QStringLiteral("exposureField")), 4.0); // H310's zhu row [50, 30, 4]
}

void TestDialogs::resinChangeReReads()
{
    m_ui->config()->getConfig(1, 0); // K200, Rigid resin
    QVERIFY(openDialog());
    QQuickItem *resins = item(QStringLiteral("resinTypeBox"));
    focusByTab(resins);
    for (int i = 0; i < 3; ++i)
        key(resins, Qt::Key_Down);
    QTRY_COMPARE(resins->property("currentIndex").toInt(), 3);
    // K200's Foundry Resin row: 20 um, 150 s bottom, 30 s, and the catalogue's 3 layers.
    QCOMPARE(resins->property("currentText").toString(), QStringLiteral("Foundry Resin"));
    QCOMPARE(value(QStringLiteral("thicknessField")), 0.02);
    QCOMPARE(value(QStringLiteral("bottomExposureField")), 150.0);
    QCOMPARE(value(QStringLiteral("exposureField")), 30.0);
    QCOMPARE(value(QStringLiteral("bottomLayersField")), 3.0);
}

void TestDialogs::thicknessReReadInMicrometres()
{
    m_ui->config()->getConfig(1, 0); // K200, Rigid resin: [50, 30, 10, 3]
    QVERIFY(openDialog());
    replaceText(item(QStringLiteral("thicknessField")), QStringLiteral("0.07"));
    QTRY_COMPARE(value(QStringLiteral("thicknessField")), 0.07);
    // No row for 70 um: the 50 um row scaled by 70 / 50.
    QCOMPARE(value(QStringLiteral("bottomExposureField")), 42.0);
    QCOMPARE(value(QStringLiteral("exposureField")), 14.0);
    // One step down with the arrow key: 65 um.
    click(item(QStringLiteral("thicknessField")));
    key(item(QStringLiteral("thicknessField")), Qt::Key_Down);
    QTRY_COMPARE(value(QStringLiteral("thicknessField")), 0.065);
    QCOMPARE(value(QStringLiteral("exposureField")), 13.0);
}

void TestDialogs::restoreDefaults()
{
    QuorConfig *config = m_ui->config();
    config->getConfig(1, 0);
    config->setBottomLayerNum(9);
    config->useAntialise(true);
    config->antiAliseValue(4.5f);
    QQuickWindow *w = openDialog();
    QVERIFY(w);
    replaceText(item(QStringLiteral("thicknessField")), QStringLiteral("0.08"));
    QQuickItem *restore = dialogButton(QStringLiteral("Restore Defaults"));
    QVERIFY(restore);
    click(restore);
    QTRY_COMPARE(item(QStringLiteral("antiAliasCheck"))->property("checked").toBool(), false);
    QCOMPARE(value(QStringLiteral("antiAliasFactorField")), 2.0);
    // The model's first row, at its own thickness.
    QCOMPARE(value(QStringLiteral("thicknessField")), 0.05);
    QCOMPARE(value(QStringLiteral("bottomLayersField")), 3.0);
    QCOMPARE(value(QStringLiteral("bottomExposureField")), 30.0);
    QCOMPARE(value(QStringLiteral("exposureField")), 10.0);
    // It stays open, and nothing is stored yet.
    QVERIFY(w->isVisible());
    QCOMPARE(config->bottomLayerNum(), 9);
    QCOMPARE(config->useAntialise(), true);
}

void TestDialogs::okSavesEveryValue()
{
    QuorConfig *config = m_ui->config();
    QSignalSpy changed(config, &QuorConfig::sliceSettingsChanged);
    QSignalSpy settingsSaved(m_dialog, SIGNAL(settingsSaved()));
    QVERIFY(openDialog());
    QQuickItem *models = item(QStringLiteral("printerModelBox"));
    focusByTab(models);
    key(models, Qt::Key_Down); // K200
    QTRY_COMPARE(models->property("currentIndex").toInt(), 1);
    QQuickItem *resins = item(QStringLiteral("resinTypeBox"));
    focusByTab(resins);
    key(resins, Qt::Key_Down); // Toughness resin, [50, 30, 12]
    QTRY_COMPARE(resins->property("currentIndex").toInt(), 1);
    replaceText(item(QStringLiteral("thicknessField")), QStringLiteral("0.025"));
    replaceText(item(QStringLiteral("bottomLayersField")), QStringLiteral("7"));
    replaceText(item(QStringLiteral("bottomExposureField")), QStringLiteral("33.5"));
    replaceText(item(QStringLiteral("exposureField")), QStringLiteral("6.5"));
    QQuickItem *antiAlias = item(QStringLiteral("antiAliasCheck"));
    if (!antiAlias->property("checked").toBool())
        click(antiAlias);
    QTRY_VERIFY(antiAlias->property("checked").toBool());
    replaceText(item(QStringLiteral("antiAliasFactorField")), QStringLiteral("3.5"));
    openDrawer();
    replaceText(item(QStringLiteral("liftHeightField")), QStringLiteral("7"));
    replaceText(item(QStringLiteral("liftUpSpeedField")), QStringLiteral("60"));
    replaceText(item(QStringLiteral("liftDownSpeedField")), QStringLiteral("140"));
    replaceText(item(QStringLiteral("waitAfterStopField")), QStringLiteral("2.5"));
    QCOMPARE(value(QStringLiteral("bottomExposureField")), 33.5);

    QQuickItem *ok = dialogButton(QStringLiteral("OK"));
    QVERIFY(ok);
    click(ok);
    QTRY_VERIFY(!m_dialog->property("visible").toBool());
    QCOMPARE(config->modelIndex(), 1);
    QCOMPARE(config->resinIndex(), 1);
    QCOMPARE(config->thicknessUM(), 25);
    QCOMPARE(config->bottomLayerNum(), 7);
    QCOMPARE(config->bottomExpoMS(), 33500);
    QCOMPARE(config->normalExpoMS(), 6500);
    QCOMPARE(config->useAntialise(), true);
    QCOMPARE(config->antiAliseValue(), 3.5f);
    QCOMPARE(config->liftHeight(), 7.0f);
    QCOMPARE(config->sliceDescription(), QStringLiteral("K200, 0.025mm"));
    QVERIFY(changed.count() >= 1);
    // Once, and with the job settings already holding the new thickness.
    QCOMPARE(settingsSaved.count(), 1);
    QCOMPARE(config->buildConfig()->layerThicknessMm, 0.025f);

    // The file holds every value typed, lift motion included, before the program ends.
    QFile file(config->settingsPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    const QJsonObject saved = QJsonDocument::fromBinaryData(file.readAll()).object();
    QT_WARNING_POP
    QCOMPARE(saved.value("modelIndex").toInt(), 1);
    QCOMPARE(saved.value("resinIndex").toInt(), 1);
    QCOMPARE(saved.value("thicknessUM").toInt(), 25);
    QCOMPARE(saved.value("bottomLayerNum").toInt(), 7);
    QCOMPARE(saved.value("bottomExpoMS").toInt(), 33500);
    QCOMPARE(saved.value("normalExpoMS").toInt(), 6500);
    QCOMPARE(saved.value("useAntialise").toBool(), true);
    QCOMPARE(saved.value("antiAliseValue").toDouble(), 3.5);
    QCOMPARE(saved.value("liftHeight").toDouble(), 7.0);
    QCOMPARE(saved.value("liftUpSpeed").toDouble(), 60.0);
    QCOMPARE(saved.value("liftDownSpeed").toDouble(), 140.0);
    QCOMPARE(saved.value("waitSecAfterStop").toDouble(), 2.5);
    // And the job reads them.
    QCOMPARE(config->buildConfig()->normalExpoMs, 6500);
    QCOMPARE(config->buildConfig()->liftUpSpeedMmPerMin, 60.0f);
}

// Cancel stores nothing: the advanced values return to the configuration's, and the printer
// model re-read while choosing is not left current.
void TestDialogs::cancelKeepsConfiguration()
{
    QuorConfig *config = m_ui->config();
    config->getConfig(1, 2);
    const int bottom = config->bottomLayerNum();
    QSignalSpy modelChanged(config, &QuorConfig::modelIndexChanged);
    QVERIFY(openDialog());
    QQuickItem *models = item(QStringLiteral("printerModelBox"));
    focusByTab(models);
    key(models, Qt::Key_Down);
    QTRY_COMPARE(models->property("currentIndex").toInt(), 2);
    replaceText(item(QStringLiteral("bottomLayersField")), QStringLiteral("8"));
    openDrawer();
    replaceText(item(QStringLiteral("liftHeightField")), QStringLiteral("11"));
    QQuickItem *cancel = dialogButton(QStringLiteral("Cancel"));
    QVERIFY(cancel);
    click(cancel);
    QTRY_VERIFY(!m_dialog->property("visible").toBool());
    QCOMPARE(config->modelIndex(), 1);
    QCOMPARE(config->resinIndex(), 2);
    QCOMPARE(config->bottomLayerNum(), bottom);
    QCOMPARE(config->liftHeight(), 4.0f);
    QCOMPARE(config->getAllResinTypesModel().size(), 4);
    QCOMPARE(itemAnywhere(QStringLiteral("liftHeightField"))->property("value").toDouble(),
             4.0); // reloaded at once
    // Opened again, it shows the configuration.
    QVERIFY(openDialog());
    QCOMPARE(item(QStringLiteral("printerModelBox"))->property("currentIndex").toInt(), 1);
    QCOMPARE(item(QStringLiteral("resinTypeBox"))->property("currentIndex").toInt(), 2);
    QCOMPARE(value(QStringLiteral("bottomLayersField")), double(bottom));
    // Escape is Cancel too.
    key(item(QStringLiteral("bottomLayersField")), Qt::Key_Escape);
    QTRY_VERIFY(!m_dialog->property("visible").toBool());
    QCOMPARE(config->modelIndex(), 1);
}

void TestDialogs::advancedReset()
{
    QuorConfig *config = m_ui->config();
    config->setLiftUpSpeed(75.0f);
    QVERIFY(openDialog());
    const int heightClosed = window(QStringLiteral("Slice config"))->height();
    openDrawer();
    replaceText(item(QStringLiteral("liftUpSpeedField")), QStringLiteral("195"));
    replaceText(item(QStringLiteral("waitAfterStopField")), QStringLiteral("0.5"));
    QCOMPARE(value(QStringLiteral("liftUpSpeedField")), 195.0);
    click(item(QStringLiteral("advancedResetButton")));
    QTRY_COMPARE(value(QStringLiteral("liftUpSpeedField")), 75.0);
    QCOMPARE(value(QStringLiteral("waitAfterStopField")), double(config->waitSecAfterStop()));
    // The drawer closes and opens again, keeping its values.
    QQuickWindow *w = window(QStringLiteral("Slice config"));
    QTRY_VERIFY(w->height() > heightClosed);
    const int heightOpen = w->height();
    QVERIFY(heightOpen > heightClosed);
    click(item(QStringLiteral("advancedDrawer")));
    QTRY_VERIFY(!item(QStringLiteral("liftHeightField"))->isVisible());
    // The window gives the room back.
    QTRY_COMPARE(w->height(), heightClosed);
    QTRY_COMPARE(w->grabWindow().height(), w->height());
    screenshot(w, QStringLiteral("slice-config-drawer-closed"));
    openDrawer();
    QCOMPARE(value(QStringLiteral("liftUpSpeedField")), 75.0);
}

void TestDialogs::valuesOutsideRangeRefused_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("expected");
    // A key that would leave the range is refused; what is left is raised to the minimum
    // when the field is left. The configuration holds H310's first-start values with K200
    // current: 3 layers, 30 s, 4 s, factor 2, and the standard lift motion.
    QTest::newRow("thickness above") << "thicknessField"
                                     << "0.5" << 0.01; // "0." raised
    QTest::newRow("thickness below") << "thicknessField"
                                     << "0.001" << 0.01;
    QTest::newRow("bottom layers above") << "bottomLayersField"
                                         << "25" << 2.0;
    QTest::newRow("bottom layers negative") << "bottomLayersField"
                                            << "-3" << 3.0;
    QTest::newRow("bottom exposure above") << "bottomExposureField"
                                           << "900" << 90.0;
    QTest::newRow("bottom exposure below") << "bottomExposureField"
                                           << "0.2" << 1.0;
    QTest::newRow("exposure above") << "exposureField"
                                    << "181" << 18.0;
    QTest::newRow("exposure letters") << "exposureField"
                                      << "abc" << 4.0; // unchanged
    QTest::newRow("factor above") << "antiAliasFactorField"
                                  << "9" << 2.0;
    QTest::newRow("factor below") << "antiAliasFactorField"
                                  << "1" << 2.0;
    QTest::newRow("lift height above") << "liftHeightField"
                                       << "40" << 4.0;
    QTest::newRow("lift height below") << "liftHeightField"
                                       << "1" << 3.0;
    QTest::newRow("lift up above") << "liftUpSpeedField"
                                   << "900" << 90.0;
    QTest::newRow("lift up below") << "liftUpSpeedField"
                                   << "5" << 20.0;
    QTest::newRow("lift down above") << "liftDownSpeedField"
                                     << "201" << 20.0;
    QTest::newRow("wait above") << "waitAfterStopField"
                                << "7" << 2.0;
    QTest::newRow("wait negative") << "waitAfterStopField"
                                   << "-1" << 1.0;
}

// Whatever is typed, a field holds a value of its range, and OK stores only such values.
void TestDialogs::valuesOutsideRangeRefused()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(double, expected);
    QuorConfig *config = m_ui->config();
    config->getConfig(1, 0); // K200, Rigid resin: 10 s exposure
    config->useAntialise(true);
    QVERIFY(openDialog());
    openDrawer();
    QQuickItem *f = item(field);
    replaceText(f, typed);
    QTRY_COMPARE(f->property("value").toDouble(), expected);
    QVERIFY(f->property("value").toDouble() >= f->property("minimumValue").toDouble());
    QVERIFY(f->property("value").toDouble() <= f->property("maximumValue").toDouble());
    click(dialogButton(QStringLiteral("OK")));
    QTRY_VERIFY(!m_dialog->property("visible").toBool());
    QVERIFY(config->thicknessUM() >= 10 && config->thicknessUM() <= 100);
    QVERIFY(config->bottomLayerNum() >= 0 && config->bottomLayerNum() <= 10);
    QVERIFY(config->bottomExpoMS() >= 1000 && config->bottomExpoMS() <= 180000);
    QVERIFY(config->normalExpoMS() >= 1000 && config->normalExpoMS() <= 180000);
    QVERIFY(config->antiAliseValue() >= 2.0f && config->antiAliseValue() <= 5.0f);
    QVERIFY(config->liftHeight() >= 3.0f && config->liftHeight() <= 12.0f);
    QVERIFY(config->liftUpSpeed() >= 20.0f && config->liftUpSpeed() <= 200.0f);
    QVERIFY(config->liftDownSpeed() >= 20.0f && config->liftDownSpeed() <= 200.0f);
    QVERIFY(config->waitSecAfterStop() >= 0.0f && config->waitSecAfterStop() <= 3.0f);
}

// A project refused part way, on the command line of the window or dropped on it: the alert
// names the file and says it was loaded only in part; what was read stays.
void TestDialogs::partlyLoadedProjectAlerts()
{
    m_dialog = nullptr;
    m_ui.reset();
    QDir().mkpath(QDir::currentPath());
    QByteArray bytes;
    {
        ScratchConfig scratch;
        Workspace workspace(scratch.config);
        workspace.scene()->addModel(SceneMeshes::makeBox(QVector3D(0, 0, 0), QVector3D(10, 10, 5)));
        workspace.scene()->addModel(
            SceneMeshes::makeBox(QVector3D(20, 0, 0), QVector3D(30, 10, 5)));
        bytes = ProjectTestFiles::save(workspace);
    }
    const QString path = QDir::currentPath() + QStringLiteral("/half.qsp");
    SceneMeshes::writeFile(path, bytes.left(bytes.size() - 100)); // the second model cut

    for (const bool dropped : {false, true}) {
        const QStringList arguments = dropped ? QStringList{QStringLiteral("quorslice")}
                                              : QStringList{QStringLiteral("quorslice"), path};
        UiHarness ui(arguments);
        QCOMPARE(ui.result, 0);
        QVERIFY(ui.waitForFrames());
        if (dropped) {
            QMimeData mime;
            mime.setUrls({QUrl::fromLocalFile(path)});
            const QPoint at(ui.window->width() / 2, ui.window->height() / 2);
            QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(ui.window, &enter);
            QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(ui.window, &drop);
        }
        auto *alert = ui.window->findChild<QObject *>(QStringLiteral("alertDialog"));
        QVERIFY(alert);
        QTRY_VERIFY(alert->property("visible").toBool());
        QCOMPARE(alert->property("text").toString(),
                 QStringLiteral("The project half.qsp is damaged: it was loaded only in part."));
        if (!dropped) {
            // A message box under a QApplication.
            QWidget *shown = nullptr;
            QTRY_VERIFY((shown = QApplication::activeModalWidget()) &&
                        shown->windowTitle() == QLatin1String("Makora") && shown->isVisible());
            screenshot(shown, QStringLiteral("project-loaded-in-part"));
        }
        QMetaObject::invokeMethod(alert, "close");
        QCOMPARE(ui.workspace()->scene()->modelSize(), 1);
        QVERIFY(ui.app()->prjFile().isEmpty());
    }
}

QUOR_WINDOW_TEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
