// Printer addresses as typed, and the status request of the adding wizard against a printer
// the test runs itself on 127.0.0.1.
#include "ConfigTestEnv.h"
#include "TestHttpServer.h"

#include "workspace/PrinterAddress.h"
#include "workspace/PrinterStatusCheck.h"
#include "workspace/QuorApp.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

class TestPrinterCheck : public QObject
{
    Q_OBJECT

private slots:
    void addressesAccepted_data();
    void addressesAccepted();
    void addressesRefused_data();
    void addressesRefused();

    void lanCheckSendsContentType();
    void directCableCheckSendsBothHeaders();
    void otherStatusFails_data();
    void otherStatusFails();
    void silentPrinterTimesOut();
    void closedPortFails();
    void endlessBodyIsNotRead();
    void newCheckDropsTheRunningOne();
    void refusedAddressSendsNothing_data();
    void refusedAddressSendsNothing();
};

void TestPrinterCheck::addressesAccepted_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("plain") << "192.168.1.20";
    QTest::newRow("with a port") << "10.0.0.2:8080";
    QTest::newRow("loopback, largest port") << "127.0.0.1:65535";
    QTest::newRow("zeros inside") << "172.16.0.0";
    QTest::newRow("largest numbers") << "223.255.255.255:1";
    QTest::newRow("the longest text") << "223.255.255.255:65535";
}

void TestPrinterCheck::addressesAccepted()
{
    QFETCH(QString, typed);
    QCOMPARE(PrinterAddress::problem(typed), QString());
}

void TestPrinterCheck::addressesRefused_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("says");
    const QString notAnAddress = QStringLiteral("This is not an IPv4 address.");
    const QString numbers = QStringLiteral("from 0 to 255");
    QTest::newRow("empty") << ""
                           << "Please enter the printer's IP address";
    QTest::newRow("word") << "abc" << notAnAddress;
    QTest::newRow("three numbers") << "1.2.3" << notAnAddress;
    QTest::newRow("five numbers") << "1.2.3.4.5" << notAnAddress;
    QTest::newRow("URL") << "http://x/y" << notAnAddress;
    QTest::newRow("URL of an address") << "http://192.168.1.20" << notAnAddress;
    QTest::newRow("300 characters") << QString(300, QLatin1Char('1')) << notAnAddress;
    QTest::newRow("300 characters of address")
        << QStringLiteral("1.1.1.1").repeated(43) << notAnAddress;
    QTest::newRow("comma") << "192.168.1.20,192.168.1.21" << notAnAddress;
    QTest::newRow("space inside") << "192.168. 1.20"
                                  << "must not contain spaces";
    QTest::newRow("trailing space") << "192.168.1.20 "
                                    << "must not contain spaces";
    QTest::newRow("tab") << "192.168.1.20\t"
                         << "must not contain spaces";
    QTest::newRow("port above 65535") << "192.168.1.20:65536"
                                      << "port must be a number";
    QTest::newRow("port 0") << "192.168.1.20:0"
                            << "port must be a number";
    QTest::newRow("huge port") << "192.168.1.20:99999"
                               << "port must be a number";
    QTest::newRow("empty port") << "192.168.1.20:" << notAnAddress;
    QTest::newRow("number above 255") << "192.168.1.256" << numbers;
    QTest::newRow("leading zero, read as octal elsewhere") << "192.168.01.20" << numbers;
    QTest::newRow("unspecified") << "0.0.0.0"
                                 << "first number must be from 1 to 223";
    QTest::newRow("broadcast") << "255.255.255.255"
                               << "first number must be from 1 to 223";
    QTest::newRow("multicast") << "224.0.0.1"
                               << "first number must be from 1 to 223";
    QTest::newRow("host name") << "printer.local" << notAnAddress;
    QTest::newRow("path after it") << "192.168.1.20/x" << notAnAddress;
    QTest::newRow("credentials") << "user@192.168.1.20" << notAnAddress;
    QTest::newRow("Arabic-Indic digits")
        << QStringLiteral("\u0661.\u0662.\u0663.\u0664") << notAnAddress;
}

void TestPrinterCheck::addressesRefused()
{
    QFETCH(QString, typed);
    QFETCH(QString, says);
    const QString problem = PrinterAddress::problem(typed);
    QVERIFY2(problem.contains(says), qPrintable(problem));
}

void TestPrinterCheck::lanCheckSendsContentType()
{
    ConfigTestEnv env;
    QuorApp app;
    TestHttpServer printer;
    QVERIFY(printer.isListening());
    QSignalSpy checked(&app, &QuorApp::printerChecked);
    app.checkLanPrinter(printer.address());
    QTRY_COMPARE(checked.count(), 1);
    QCOMPARE(checked.at(0).at(0).toString(), printer.address());
    QCOMPARE(checked.at(0).at(1).toBool(), true);
    QCOMPARE(checked.at(0).at(2).toString(), QString());
    QCOMPARE(printer.requests().size(), 1);
    const TestHttpServer::Request &r = printer.requests().first();
    QCOMPARE(r.method, QByteArray("GET"));
    QCOMPARE(r.path, QByteArray(TestHttpServer::kStatusPath));
    QCOMPARE(r.header("Content-type"), QByteArray("application/x-www-form-urlencoded"));
    QVERIFY(!r.hasHeader("Proxy-Connection"));
}

void TestPrinterCheck::directCableCheckSendsBothHeaders()
{
    ConfigTestEnv env;
    QuorApp app;
    QCOMPARE(app.directCablePrinterAddress(), QStringLiteral("169.254.10.10"));
    // The fixed address is one a person could type too.
    QVERIFY(PrinterAddress::isValid(app.directCablePrinterAddress()));
    TestHttpServer printer;
    app.setDirectCablePrinterAddress(printer.address());
    QSignalSpy checked(&app, &QuorApp::printerChecked);
    app.checkDirectCablePrinter();
    QTRY_COMPARE(checked.count(), 1);
    QCOMPARE(checked.at(0).at(0).toString(), printer.address());
    QCOMPARE(checked.at(0).at(1).toBool(), true);
    const TestHttpServer::Request &r = printer.requests().first();
    QCOMPARE(r.path, QByteArray(TestHttpServer::kStatusPath));
    QCOMPARE(r.header("Content-type"), QByteArray("application/x-www-form-urlencoded"));
    QCOMPARE(r.header("Proxy-Connection"), QByteArray("keep-alive"));
    // Sent under exactly these names.
    QStringList names;
    for (const auto &h : r.rawHeaders)
        names << QString::fromLatin1(h.first);
    QVERIFY2(names.contains(QStringLiteral("Content-type")), qPrintable(names.join(',')));
    QVERIFY2(names.contains(QStringLiteral("Proxy-Connection")), qPrintable(names.join(',')));
}

void TestPrinterCheck::otherStatusFails_data()
{
    QTest::addColumn<int>("status");
    QTest::newRow("not found") << 404;
    QTest::newRow("server error") << 500;
    QTest::newRow("no content") << 204;
    // A redirect is not followed anywhere: the printer did not say it is there.
    QTest::newRow("moved") << 301;
}

void TestPrinterCheck::otherStatusFails()
{
    QFETCH(int, status);
    ConfigTestEnv env;
    QuorApp app;
    TestHttpServer printer;
    printer.setAnswer(TestHttpServer::kStatusPath, status, "no");
    QSignalSpy checked(&app, &QuorApp::printerChecked);
    app.checkLanPrinter(printer.address());
    QTRY_COMPARE(checked.count(), 1);
    QCOMPARE(checked.at(0).at(1).toBool(), false);
    QCOMPARE(checked.at(0).at(2).toString(),
             QStringLiteral("The printer answered with HTTP status %1.").arg(status));
    QCOMPARE(printer.requests().size(), 1);
}

// A printer that takes the connection and never answers: a clear failure after the time-out,
// and the event loop runs meanwhile.
void TestPrinterCheck::silentPrinterTimesOut()
{
    ConfigTestEnv env;
    QuorApp app;
    TestHttpServer printer;
    printer.setSilent(true);
    QSignalSpy checked(&app, &QuorApp::printerChecked);
    QElapsedTimer timer;
    timer.start();
    app.checkLanPrinter(printer.address());
    QCOMPARE(checked.count(), 0); // nothing blocks: the answer comes later
    QTRY_COMPARE_WITH_TIMEOUT(checked.count(), 1, PrinterStatusCheck::kDefaultTimeoutMs + 5000);
    QVERIFY(timer.elapsed() >= PrinterStatusCheck::kDefaultTimeoutMs - 100);
    QCOMPARE(checked.at(0).at(1).toBool(), false);
    QCOMPARE(checked.at(0).at(2).toString(),
             QStringLiteral("No answer from %1 within 5 seconds.").arg(printer.address()));
    QCOMPARE(printer.requests().size(), 1);
    QVERIFY(!app.printerStatusCheck()->isRunning());
}

void TestPrinterCheck::closedPortFails()
{
    ConfigTestEnv env;
    QuorApp app;
    QString address;
    {
        TestHttpServer gone;
        address = gone.address();
    }
    QSignalSpy checked(&app, &QuorApp::printerChecked);
    app.checkLanPrinter(address);
    QTRY_COMPARE(checked.count(), 1);
    QCOMPARE(checked.at(0).at(1).toBool(), false);
    QVERIFY2(checked.at(0).at(2).toString().startsWith(
                 QStringLiteral("No connection to %1: ").arg(address)),
             qPrintable(checked.at(0).at(2).toString()));
}

// The status line is the answer: a body that never ends changes nothing, and is not kept.
void TestPrinterCheck::endlessBodyIsNotRead()
{
    ConfigTestEnv env;
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    QTcpSocket *peer = nullptr;
    connect(&server, &QTcpServer::newConnection, this, [&] {
        peer = server.nextPendingConnection();
        peer->write("HTTP/1.1 200 OK\r\nContent-Length: 100000000000\r\n\r\n");
        peer->write(QByteArray(1 << 20, 'x'));
    });
    QuorApp app;
    QSignalSpy checked(&app, &QuorApp::printerChecked);
    app.checkLanPrinter(QStringLiteral("127.0.0.1:%1").arg(server.serverPort()));
    QTRY_COMPARE(checked.count(), 1);
    QCOMPARE(checked.at(0).at(1).toBool(), true);
    // The connection is dropped from our side.
    QVERIFY(peer);
    QTRY_COMPARE(peer->state(), QAbstractSocket::UnconnectedState);
}

void TestPrinterCheck::newCheckDropsTheRunningOne()
{
    ConfigTestEnv env;
    QuorApp app;
    TestHttpServer silent, answering;
    silent.setSilent(true);
    QSignalSpy checked(&app, &QuorApp::printerChecked);
    app.checkLanPrinter(silent.address());
    QTRY_COMPARE(silent.requests().size(), 1);
    app.checkLanPrinter(answering.address());
    QTRY_COMPARE(checked.count(), 1);
    QCOMPARE(checked.at(0).at(0).toString(), answering.address());
    // Cancelled: no answer ever comes for a dropped check.
    app.checkLanPrinter(silent.address());
    app.cancelPrinterCheck();
    QTest::qWait(200);
    QCOMPARE(checked.count(), 1);
}

void TestPrinterCheck::refusedAddressSendsNothing_data()
{
    QTest::addColumn<QString>("suffix");
    // Text typed after a real server's address.
    QTest::newRow("comma") << ",127.0.0.1";
    QTest::newRow("space") << " ";
    QTest::newRow("path") << "/services";
    QTest::newRow("port digit too many") << "9";
}

void TestPrinterCheck::refusedAddressSendsNothing()
{
    QFETCH(QString, suffix);
    ConfigTestEnv env;
    QuorApp app;
    TestHttpServer printer;
    QSignalSpy checked(&app, &QuorApp::printerChecked);
    // Ports of five digits stay five digits: the extra one makes it six.
    const QString typed = printer.address() + suffix;
    app.checkLanPrinter(typed);
    QCOMPARE(checked.count(), 1); // at once, without the network
    QCOMPARE(checked.at(0).at(1).toBool(), false);
    QCOMPARE(checked.at(0).at(2).toString(), PrinterAddress::problem(typed));
    QVERIFY(!checked.at(0).at(2).toString().isEmpty());
    QTest::qWait(200);
    QCOMPARE(printer.connections(), 0);
}

QTEST_GUILESS_MAIN(TestPrinterCheck)
#include "tst_printercheck.moc"
