#include "app/StartupRules.h"

#include <QtTest>

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void uiScale_data();
    void uiScale();
    void translationFile_data();
    void translationFile();
};

void TestStartup::uiScale_data()
{
    QTest::addColumn<double>("dpi");
    QTest::addColumn<double>("ratio");
    QTest::newRow("72 dpi never shrinks the UI") << 72.0 << 1.0;
    QTest::newRow("96 dpi is the reference") << 96.0 << 1.0;
    QTest::newRow("144 dpi") << 144.0 << 1.5;
    QTest::newRow("192 dpi") << 192.0 << 2.0;
}

void TestStartup::uiScale()
{
    QFETCH(double, dpi);
    QFETCH(double, ratio);
    QCOMPARE(StartupRules::uiScaleFactor(dpi), ratio);
}

void TestStartup::translationFile_data()
{
    QTest::addColumn<QStringList>("languages");
    QTest::addColumn<QString>("file");
    QTest::newRow("only the first language is tried")
        << QStringList({"de-DE", "en-US"}) << "quor3d_de_DE";
    QTest::newRow("Chinese") << QStringList({"zh-CN"}) << "quor3d_zh_CN";
    QTest::newRow("no languages, no translation") << QStringList() << QString();
}

void TestStartup::translationFile()
{
    QFETCH(QStringList, languages);
    QFETCH(QString, file);
    QCOMPARE(StartupRules::translationFileName(languages), file);
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
