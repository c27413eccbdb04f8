#include "app/StartupRules.h"

#include <QtTest>

Q_DECLARE_METATYPE(StartupRules::EarlyAnswer)

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void uiScale_data();
    void uiScale();
    void translationFile_data();
    void translationFile();
    void earlyAnswer_data();
    void earlyAnswer();
    void fileArguments_data();
    void fileArguments();
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

void TestStartup::earlyAnswer_data()
{
    using Answer = StartupRules::EarlyAnswer;
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Answer>("answer");
    QTest::newRow("files only") << QStringList({"quorslice", "a.stl"}) << Answer::None;
    QTest::newRow("version among files")
        << QStringList({"quorslice", "a.stl", "--version"}) << Answer::Version;
    QTest::newRow("help, short") << QStringList({"quorslice", "-h"}) << Answer::Help;
    QTest::newRow("the first asked wins")
        << QStringList({"quorslice", "--help", "--version"}) << Answer::Help;
    // A file may be called that: after "--" it is one.
    QTest::newRow("after the end of options")
        << QStringList({"quorslice", "--", "--version"}) << Answer::None;
    QTest::newRow("the program's own name is no option")
        << QStringList({"--version"}) << Answer::None;
}

void TestStartup::earlyAnswer()
{
    QFETCH(QStringList, arguments);
    QFETCH(StartupRules::EarlyAnswer, answer);
    QCOMPARE(StartupRules::earlyAnswer(arguments), answer);
}

void TestStartup::fileArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("files");
    // What a file manager passes: absolute paths or file URLs, never options.
    QTest::newRow("paths and URLs") << QStringList({"quorslice", "/w/a.stl", "file:///w/b%20c.qsp"})
                                    << QStringList({"/w/a.stl", "file:///w/b%20c.qsp"});
    QTest::newRow("options are not files")
        << QStringList({"quorslice", "--version", "a.stl", "-x", "--fullscreen"})
        << QStringList({"a.stl"});
    QTest::newRow("a lone dash is a name") << QStringList({"quorslice", "-"}) << QStringList({"-"});
    QTest::newRow("everything after -- is a file")
        << QStringList({"quorslice", "-x", "--", "-odd.stl", "--"})
        << QStringList({"-odd.stl", "--"});
    QTest::newRow("nothing") << QStringList({"quorslice"}) << QStringList();
}

void TestStartup::fileArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, files);
    QCOMPARE(StartupRules::fileArguments(arguments), files);
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
