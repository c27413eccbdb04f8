#include "app/Logger.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

class TestLogger : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void levelTexts_data();
    void levelTexts();
    void lineFormatInDatedFile();
    void oneOpenPerMessage();
    void filePerLocalDate();
    void forwardsTimestampedMessageWithoutLevel();
    void unwritableDirectoryKeepsRunning();
    void cleanupDeletesOnlyOldDatedLogs();

private:
    QStringList readLog() const;
    QTemporaryDir *m_dir = nullptr;
    QString m_oldCwd;
};

void TestLogger::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    m_oldCwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void TestLogger::cleanup()
{
    QDir::setCurrent(m_oldCwd);
    delete m_dir;
    m_dir = nullptr;
}

QStringList TestLogger::readLog() const
{
    QFile f(LogFormat::fileName(QDate::currentDate()));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void TestLogger::levelTexts_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("expected");
    QTest::newRow("debug") << int(QtDebugMsg) << "Debug: msg";
    QTest::newRow("warning") << int(QtWarningMsg) << "Warning: msg";
    QTest::newRow("critical") << int(QtCriticalMsg) << "Critical: msg";
    QTest::newRow("fatal") << int(QtFatalMsg) << "Fatal: msg";
    QTest::newRow("info") << int(QtInfoMsg) << "Info: msg";
    QTest::newRow("above range") << 5 << "Default: msg";
    QTest::newRow("negative") << -1 << "Default: msg";
}

void TestLogger::levelTexts()
{
    QFETCH(int, type);
    QFETCH(QString, expected);
    QCOMPARE(LogFormat::levelText(static_cast<QtMsgType>(type), QStringLiteral("msg")), expected);
}

void TestLogger::lineFormatInDatedFile()
{
    QMessageLogContext ctx;
    quorMessageHandler(QtWarningMsg, ctx, QStringLiteral("slicer exception"));
    quorMessageHandler(static_cast<QtMsgType>(7), ctx, QStringLiteral("odd type"));
    const QStringList lines = readLog();
    QCOMPARE(lines.size(), 2);
    // Twenty characters of time stamp, ending in one blank, then the level text.
    const QRegularExpression stamp(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d $"));
    QVERIFY(stamp.match(lines.at(0).left(20)).hasMatch());
    QCOMPARE(lines.at(0).mid(20), QStringLiteral("Warning: slicer exception"));
    QCOMPARE(lines.at(1).mid(20), QStringLiteral("Default: odd type"));
    QVERIFY(QFile::exists(QStringLiteral("quor3d.%1.log")
                              .arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd")))));
}

void TestLogger::oneOpenPerMessage()
{
    QMessageLogContext ctx;
    quorMessageHandler(QtDebugMsg, ctx, QStringLiteral("first"));
    // Removing the file between messages must not lose the next line: nothing stays open.
    QVERIFY(QFile::remove(LogFormat::fileName(QDate::currentDate())));
    quorMessageHandler(QtInfoMsg, ctx, QStringLiteral("second"));
    const QStringList lines = readLog();
    QCOMPARE(lines.size(), 1);
    QVERIFY(lines.at(0).endsWith(QStringLiteral("Info: second")));
}

void TestLogger::filePerLocalDate()
{
    const QDateTime beforeMidnight(QDate(2018, 3, 19), QTime(23, 59, 59));
    const QDateTime afterMidnight = beforeMidnight.addSecs(1);
    QCOMPARE(LogFormat::fileName(beforeMidnight.date()), QStringLiteral("quor3d.20180319.log"));
    QCOMPARE(LogFormat::fileName(afterMidnight.date()), QStringLiteral("quor3d.20180320.log"));
    QCOMPARE(LogFormat::timestamp(beforeMidnight), QStringLiteral("2018-03-19 23:59:59 "));
}

// Captures what the default handler writes to stderr.
static QByteArray captureStderr(const std::function<void()> &fn)
{
    QTemporaryFile sink;
    if (!sink.open())
        return {};
    fflush(stderr);
    const int saved = dup(2);
    dup2(sink.handle(), 2);
    fn();
    fflush(stderr);
    dup2(saved, 2);
    close(saved);
    sink.seek(0);
    return sink.readAll();
}

void TestLogger::forwardsTimestampedMessageWithoutLevel()
{
    QMessageLogContext ctx;
    const QByteArray out = captureStderr(
        [&] { quorMessageHandler(QtWarningMsg, ctx, QStringLiteral("forwarded text")); });
    const QRegularExpression re(
        QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d forwarded text"));
    QVERIFY2(re.match(QString::fromUtf8(out)).hasMatch(), out.constData());
    QVERIFY(!out.contains("Warning: forwarded"));
}

void TestLogger::unwritableDirectoryKeepsRunning()
{
    // /proc refuses new files even for root.
    QVERIFY(QDir::setCurrent(QStringLiteral("/proc")));
    QMessageLogContext ctx;
    const QByteArray out = captureStderr(
        [&] { quorMessageHandler(QtCriticalMsg, ctx, QStringLiteral("still here")); });
    QVERIFY(out.contains("still here"));
    QVERIFY(!QFile::exists(LogFormat::fileName(QDate::currentDate())));
    Logger cleaner;
    cleaner.start();
    QVERIFY(cleaner.wait(10000));
}

void TestLogger::cleanupDeletesOnlyOldDatedLogs()
{
    const QDate today = QDate::currentDate();
    auto dated = [](const QDate &d) {
        return QStringLiteral("quor3d.%1.log").arg(d.toString(QStringLiteral("yyyyMMdd")));
    };
    struct Case
    {
        QString name;
        bool survives;
    };
    const QList<Case> cases = {
        {QStringLiteral("quor3d.20180301.log"), false}, // years old
        {dated(today.addDays(-8)), false},              // one day past the limit
        {dated(today.addDays(-7)), true},               // exactly seven days: kept
        {dated(today.addDays(-1)), true},
        {dated(today), true},
        {QStringLiteral("quor3d.2018031.log"), true},      // seven-character date
        {QStringLiteral("quor3d.20180301.old.log"), true}, // four parts
        {QStringLiteral("other.20180301.log"), true},      // other base name
    };
    for (const Case &c : cases) {
        QFile f(c.name);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }

    Logger cleaner; // installs the sink for every message from here on
    cleaner.start(QThread::InheritPriority);
    QVERIFY(cleaner.wait(10000));

    for (const Case &c : cases)
        QVERIFY2(QFile::exists(c.name) == c.survives, qPrintable(c.name));
    const QStringList log = readLog();
    QVERIFY(log.join(QLatin1Char('\n')).contains(QStringLiteral("del old log")));
    QVERIFY(log.join(QLatin1Char('\n')).contains(LogFormat::cutoffDay(today)));
}

QTEST_GUILESS_MAIN(TestLogger)
#include "tst_logger.moc"
