// The printer page and its adding wizard in a real window under a virtual X server, against
// printers the test runs itself on 127.0.0.1: nothing is sent anywhere else.
#include "QuickItems.h"
#include "TestHttpServer.h"
#include "UiHarness.h"

#include "workspace/PrinterAddress.h"
#include "workspace/PrinterStatusCheck.h"

#include <QGuiApplication>
#include <QQmlProperty>
#include <QtTest>

using namespace QuickItems;

namespace {

// The page stack of the main window, with a first page to push the printer page on.
const char kHost[] = "import QtQuick 2.9\n"
                     "import QtQuick.Controls 1.4\n"
                     "import QtQuick.Window 2.3\n"
                     "Window {\n"
                     "    visible: true\n"
                     "    width: 1100\n"
                     "    height: 720\n"
                     "    color: \"white\"\n"
                     "    StackView {\n"
                     "        objectName: \"pageStack\"\n"
                     "        anchors.fill: parent\n"
                     "        initialItem: Item {}\n"
                     "    }\n"
                     "}\n";

const QString kWizardTitle = QStringLiteral("Printers add guidelines");

QString writeHost()
{
    const QString path = QDir::currentPath() + QStringLiteral("/printer-host.qml");
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(kHost);
    return path;
}

// The address list as the settings file holds it.
QString storedInFile(const QString &settingsPath)
{
    QFile f(settingsPath);
    f.open(QIODevice::ReadOnly);
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    const QJsonObject o = QJsonDocument::fromBinaryData(f.readAll()).object();
    QT_WARNING_POP
    return o.value(QStringLiteral("printerIPList")).toString();
}

QString buttonName(const QString &address)
{
    return QStringLiteral("printerButton_") + address;
}

} // namespace

class TestPrinterPage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void lanRoadAddsPrinter();
    void lanRoadFailures();
    void silentPrinterEndsInFailure();
    void badAddressesRefused_data();
    void badAddressesRefused();
    void directCableRoad();
    void closingReturnsToFirstScreen();
    void storedPrintersAtStart();
    void switchingPrinters();
    void newWindowOpensInSameView();
    void pageReachesNothingOfTheProgram();
    void deleteRemovesButtonAndAddress();
    void tenStoredShowTenStoreNoMore();

private:
    QQuickItem *pushPage();
    QQuickWindow *openWizard();
    QQuickItem *webView() const { return item(QStringLiteral("printerWebView")); }
    QString webUrl() const { return webView()->property("url").toUrl().toString(); }
    QString screen() const
    {
        return m_wizard ? m_wizard->property("screen").toString() : QString();
    }
    void wizardClick(const char *objectName);
    void lanRoadTo(const QString &typed);
    // Opens the wizard and takes the LAN road with the address up to its check screen.
    void openAtLanCheck(const QString &address);

    std::unique_ptr<UiHarness> m_ui;
    QQuickItem *m_page = nullptr;
    QQuickWindow *m_wizard = nullptr;
};

void TestPrinterPage::init()
{
    m_ui = std::make_unique<UiHarness>(QStringList{QStringLiteral("quorslice")},
                                       QUrl::fromLocalFile(writeHost()));
    QVERIFY(m_ui->window);
    QVERIFY(QTest::qWaitForWindowExposed(m_ui->window));
    m_page = nullptr;
    m_wizard = nullptr;
}

void TestPrinterPage::cleanup()
{
    if (m_wizard && m_wizard->isVisible())
        m_wizard->close();
    m_wizard = nullptr;
    m_page = nullptr;
    m_ui.reset();
}

QQuickItem *TestPrinterPage::pushPage()
{
    QObject *stack = m_ui->window->findChild<QObject *>(QStringLiteral("pageStack"));
    if (!stack)
        return nullptr;
    QMetaObject::invokeMethod(stack, "push", Q_ARG(QVariant, QStringLiteral("qrc:/print.qml")));
    m_page = item(QStringLiteral("printPage"));
    // The stack gives the page its whole size, once it has slid in.
    if (!m_page || !QTest::qWaitFor([&] {
            return m_page->width() == m_ui->window->width() &&
                   m_page->mapToScene(QPointF(0, 0)) == QPointF(0, 0);
        }))
        return nullptr;
    return m_page;
}

QQuickWindow *TestPrinterPage::openWizard()
{
    click(item(QStringLiteral("addPrinterButton")));
    QQuickWindow *w = nullptr;
    if (!QTest::qWaitFor([&] { return (w = window(kWizardTitle)) && w->isExposed(); }))
        return nullptr;
    m_wizard = w;
    return w;
}

void TestPrinterPage::wizardClick(const char *objectName)
{
    QQuickItem *button = findIn(m_wizard->contentItem(), [&](QQuickItem *i) {
        return i->objectName() == QLatin1String(objectName);
    });
    QVERIFY2(button && button->isVisible(), objectName);
    QVERIFY2(button->isEnabled(), objectName);
    click(button);
}

// Through the first two LAN screens with this text typed.
void TestPrinterPage::lanRoadTo(const QString &typed)
{
    click(item(QStringLiteral("lanChoice")));
    QTRY_VERIFY(item(QStringLiteral("lanChoice"))->property("checked").toBool());
    wizardClick("wizardNextButton");
    QTRY_COMPARE(screen(), QStringLiteral("lanAddress"));
    QQuickItem *field = item(QStringLiteral("lanAddressField"));
    QCOMPARE(field->property("placeholderText").toString(), QStringLiteral("LAN IP"));
    replaceText(field, typed, false);
    QTRY_COMPARE(field->property("text").toString(), typed);
    wizardClick("wizardNextButton");
}

void TestPrinterPage::openAtLanCheck(const QString &address)
{
    QVERIFY(openWizard());
    QCOMPARE(screen(), QStringLiteral("choice"));
    lanRoadTo(address);
    QTRY_COMPARE(screen(), QStringLiteral("lanCheck"));
}

void TestPrinterPage::lanRoadAddsPrinter()
{
    TestHttpServer printer;
    QVERIFY(pushPage());
    // Hidden until a printer is chosen.
    QVERIFY(!webView()->isVisible());
    QVERIFY(item(QStringLiteral("noPrinterHint"))->isVisible());
    m_ui->saveScreenshot(QStringLiteral("printer-page-empty"));

    QQuickWindow *w = openWizard();
    QVERIFY(w);
    QCOMPARE(screen(), QStringLiteral("choice"));
    QCOMPARE(w->title(), kWizardTitle);
    screenshot(w, QStringLiteral("wizard-1-choice"));
    lanRoadTo(printer.address());
    QTRY_COMPARE(screen(), QStringLiteral("lanCheck"));
    screenshot(w, QStringLiteral("wizard-lan-2-check"));
    QCOMPARE(printer.connections(), 0); // nothing before the person says next
    wizardClick("wizardNextButton");
    QTRY_COMPARE(screen(), QStringLiteral("succeeded"));
    screenshot(w, QStringLiteral("wizard-succeeded"));
    const TestHttpServer::Request *status = printer.last(TestHttpServer::kStatusPath);
    QVERIFY(status);
    QCOMPARE(status->method, QByteArray("GET"));
    QCOMPARE(status->header("Content-type"), QByteArray("application/x-www-form-urlencoded"));
    QVERIFY(!status->hasHeader("Proxy-Connection")); // the LAN road sends only the first
    QVERIFY(!item(buttonName(printer.address())));   // not before Complete

    wizardClick("wizardCompleteButton");
    QTRY_VERIFY(!w->isVisible());
    QCOMPARE(screen(), QStringLiteral("choice"));
    QQuickItem *button = item(buttonName(printer.address()));
    QVERIFY(button);
    QCOMPARE(button->width(), 140.0);
    QCOMPARE(button->height(), 50.0);
    QCOMPARE(button->property("color").value<QColor>(), QColor(QStringLiteral("#00A0EA")));
    QCOMPARE(m_ui->config()->getPrinterInstanceList(), QStringList{printer.address()});
    // Its web interface loads in the view.
    QTRY_VERIFY(webView()->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(printer.count("/"), 1, 10000);
    QCOMPARE(webUrl(), QStringLiteral("http://%1/").arg(printer.address()));
    QTRY_COMPARE_WITH_TIMEOUT(webView()->property("loading").toBool(), false, 10000);
    m_ui->saveScreenshot(QStringLiteral("printer-page-one-printer"));
}

void TestPrinterPage::lanRoadFailures()
{
    TestHttpServer printer;
    printer.setAnswer(TestHttpServer::kStatusPath, 404, "gone");
    QVERIFY(pushPage());
    openAtLanCheck(printer.address());
    QVERIFY(!QTest::currentTestFailed());
    QQuickWindow *w = m_wizard;
    wizardClick("wizardNextButton");
    QTRY_COMPARE(screen(), QStringLiteral("lanFailed"));
    QVERIFY(item(QStringLiteral("wizardScreen_lanFailed"))->property("text").toString() ==
            QStringLiteral("Failed to add LAN printer"));
    QCOMPARE(item(QStringLiteral("wizardDetail"))->property("text").toString(),
             QStringLiteral("The printer answered with HTTP status 404."));
    screenshot(w, QStringLiteral("wizard-lan-failed"));
    QVERIFY(m_ui->config()->getPrinterInstanceList().isEmpty());
    QVERIFY(!item(buttonName(printer.address())));
    // Back to the address, fixed printer, and again.
    wizardClick("wizardPreviousButton");
    QTRY_COMPARE(screen(), QStringLiteral("lanAddress"));
    printer.setAnswer(TestHttpServer::kStatusPath, 200, "2.1.6");
    wizardClick("wizardNextButton");
    QTRY_COMPARE(screen(), QStringLiteral("lanCheck"));
    wizardClick("wizardNextButton");
    QTRY_COMPARE(screen(), QStringLiteral("succeeded"));
    // Cancel on the last screen adds nothing.
    wizardClick("wizardCancelButton");
    QTRY_VERIFY(!w->isVisible());
    QVERIFY(m_ui->config()->getPrinterInstanceList().isEmpty());
    QVERIFY(!item(buttonName(printer.address())));
}

// A printer that never answers: the wizard does not hang; it fails clearly after the time-out.
void TestPrinterPage::silentPrinterEndsInFailure()
{
    TestHttpServer printer;
    printer.setSilent(true);
    QVERIFY(pushPage());
    openAtLanCheck(printer.address());
    QVERIFY(!QTest::currentTestFailed());
    QQuickWindow *w = m_wizard;
    wizardClick("wizardNextButton");
    QTRY_VERIFY(m_wizard->property("checking").toBool());
    QTRY_COMPARE(printer.requests().size(), 1);
    // Meanwhile the wizard shows it is waiting, and next cannot be pressed twice.
    QVERIFY(!item(QStringLiteral("wizardNextButton"))->isEnabled());
    screenshot(w, QStringLiteral("wizard-lan-checking"));
    QTRY_COMPARE_WITH_TIMEOUT(screen(), QStringLiteral("lanFailed"),
                              PrinterStatusCheck::kDefaultTimeoutMs + 5000);
    QCOMPARE(item(QStringLiteral("wizardDetail"))->property("text").toString(),
             QStringLiteral("No answer from %1 within 5 seconds.").arg(printer.address()));
    screenshot(w, QStringLiteral("wizard-lan-no-answer"));
    QVERIFY(m_ui->config()->getPrinterInstanceList().isEmpty());
}

void TestPrinterPage::badAddressesRefused_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("empty") << QString();
    QTest::newRow("abc") << "abc";
    QTest::newRow("1.2.3") << "1.2.3";
    QTest::newRow("http://x/y") << "http://x/y";
    QTest::newRow("300 characters") << QString(300, QLatin1Char('7'));
    QTest::newRow("comma") << "127.0.0.1,127.0.0.2";
    QTest::newRow("space") << "127.0.0.1 :80";
    QTest::newRow("port above 65535") << "127.0.0.1:70000";
}

// A clear message on the screen, nothing sent, nothing stored.
void TestPrinterPage::badAddressesRefused()
{
    QFETCH(QString, typed);
    TestHttpServer printer;
    QVERIFY(pushPage());
    QQuickWindow *w = openWizard();
    QVERIFY(w);
    QCOMPARE(screen(), QStringLiteral("choice"));
    click(item(QStringLiteral("lanChoice")));
    wizardClick("wizardNextButton");
    QTRY_COMPARE(screen(), QStringLiteral("lanAddress"));
    QQuickItem *field = item(QStringLiteral("lanAddressField"));
    if (!typed.isEmpty())
        replaceText(field, typed, false);
    // A field takes a little more than any address, enough to tell it is none.
    const QString held = field->property("text").toString();
    QCOMPARE(held, typed.left(held.size()));
    wizardClick("wizardNextButton");
    QCOMPARE(screen(), QStringLiteral("lanAddress"));
    const QString shownText =
        item(QStringLiteral("lanAddressProblem"))->property("text").toString();
    QCOMPARE(shownText, PrinterAddress::problem(held));
    QVERIFY(!shownText.isEmpty());
    QVERIFY(item(QStringLiteral("lanAddressProblem"))->isVisible());
    if (QTest::currentDataTag() == QLatin1String("comma"))
        screenshot(w, QStringLiteral("wizard-lan-bad-address"));
    // Enter in the field is next too: still refused.
    key(field, Qt::Key_Return);
    QCOMPARE(screen(), QStringLiteral("lanAddress"));
    QTest::qWait(100);
    QCOMPARE(printer.connections(), 0);
    QVERIFY(m_ui->config()->getPrinterInstanceList().isEmpty());
    QVERIFY(!QFile::exists(m_ui->config()->settingsPath()) ||
            m_ui->config()->getPrinterInstanceList().isEmpty());
    // Typing again clears the message.
    replaceText(field, QStringLiteral("1"), false);
    QTRY_COMPARE(item(QStringLiteral("lanAddressProblem"))->property("text").toString(), QString());
}

void TestPrinterPage::directCableRoad()
{
    TestHttpServer printer;
    m_ui->app()->setDirectCablePrinterAddress(printer.address());
    QVERIFY(pushPage());
    QQuickWindow *w = openWizard();
    QVERIFY(w);
    QCOMPARE(screen(), QStringLiteral("choice"));
    // The direct cable is the default road.
    QVERIFY(item(QStringLiteral("directCableChoice"))->property("checked").toBool());
    QCOMPARE(item(QStringLiteral("directCableChoice"))->property("text").toString(),
             QStringLiteral("Add new machine"));
    QCOMPARE(item(QStringLiteral("lanChoice"))->property("text").toString(),
             QStringLiteral("Add a LAN machine"));
    wizardClick("wizardNextButton");
    QTRY_COMPARE(screen(), QStringLiteral("directConnect"));
    QVERIFY(item(QStringLiteral("wizardScreen_directConnect"))
                ->property("text")
                .toString()
                .startsWith(QStringLiteral("Please turn on the printer")));
    screenshot(w, QStringLiteral("wizard-direct-1-connect"));
    wizardClick("wizardNextButton");
    QTRY_COMPARE(screen(), QStringLiteral("directCheck"));
    QCOMPARE(item(QStringLiteral("wizardScreen_directCheck"))->property("text").toString(),
             QStringLiteral("Checking printer status, please click next"));
    screenshot(w, QStringLiteral("wizard-direct-2-check"));

    // First the printer is not ready: failure, and continue goes back to the check.
    printer.setAnswer(TestHttpServer::kStatusPath, 503, "busy");
    wizardClick("wizardNextButton");
    QTRY_COMPARE(screen(), QStringLiteral("directFailed"));
    QCOMPARE(item(QStringLiteral("wizardScreen_directFailed"))->property("text").toString(),
             QStringLiteral("Connection failed, please check printer and Computer Configuration"));
    screenshot(w, QStringLiteral("wizard-direct-failed"));
    wizardClick("wizardContinueButton");
    QTRY_COMPARE(screen(), QStringLiteral("directCheck"));
    printer.setAnswer(TestHttpServer::kStatusPath, 200, "2.1.6");
    wizardClick("wizardNextButton");
    QTRY_COMPARE(screen(), QStringLiteral("succeeded"));
    for (const TestHttpServer::Request &r : printer.requests()) {
        QCOMPARE(r.path, QByteArray(TestHttpServer::kStatusPath));
        QCOMPARE(r.header("Content-type"), QByteArray("application/x-www-form-urlencoded"));
        QCOMPARE(r.header("Proxy-Connection"), QByteArray("keep-alive"));
    }
    QCOMPARE(printer.requests().size(), 2);
    wizardClick("wizardCompleteButton");
    QTRY_VERIFY(!w->isVisible());
    QVERIFY(item(buttonName(printer.address())));
    QCOMPARE(m_ui->config()->getPrinterInstanceList(), QStringList{printer.address()});
    QTRY_COMPARE_WITH_TIMEOUT(printer.count("/"), 1, 10000);
}

// However it is closed, the wizard opens again on its first screen, with nothing typed.
void TestPrinterPage::closingReturnsToFirstScreen()
{
    QVERIFY(pushPage());
    QQuickWindow *w = openWizard();
    QVERIFY(w);
    QCOMPARE(screen(), QStringLiteral("choice"));
    lanRoadTo(QStringLiteral("abc"));
    QCOMPARE(screen(), QStringLiteral("lanAddress")); // refused
    w->close();                                       // the window's own close button
    QTRY_VERIFY(!w->isVisible());
    QVERIFY(openWizard());
    QCOMPARE(screen(), QStringLiteral("choice"));
    QVERIFY(item(QStringLiteral("directCableChoice"))->property("checked").toBool());
    click(item(QStringLiteral("lanChoice")));
    wizardClick("wizardNextButton");
    QTRY_COMPARE(screen(), QStringLiteral("lanAddress"));
    QCOMPARE(item(QStringLiteral("lanAddressField"))->property("text").toString(), QString());
    QCOMPARE(item(QStringLiteral("lanAddressProblem"))->property("text").toString(), QString());
    screenshot(m_wizard, QStringLiteral("wizard-lan-1-address"));
    wizardClick("wizardCancelButton");
    QTRY_VERIFY(!m_wizard->isVisible());
    QVERIFY(openWizard());
    QCOMPARE(screen(), QStringLiteral("choice"));
}

// Every stored address gets a button, in order; the last one is shown.
void TestPrinterPage::storedPrintersAtStart()
{
    TestHttpServer first, second;
    QuorConfig *config = m_ui->config();
    config->addPrinterInstance(first.address());
    config->addPrinterInstance(second.address());
    QVERIFY(pushPage());
    QQuickItem *a = item(buttonName(first.address()));
    QQuickItem *b = item(buttonName(second.address()));
    QVERIFY(a && b);
    QTRY_VERIFY(a->mapToScene(QPointF(0, 0)).x() < b->mapToScene(QPointF(0, 0)).x());
    QCOMPARE(b->property("color").value<QColor>(), QColor(QStringLiteral("#00A0EA")));
    QCOMPARE(a->property("color").value<QColor>(), QColor(Qt::white));
    QVERIFY(webView()->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(second.count("/"), 1, 10000);
    QCOMPARE(first.count("/"), 0);
    QCOMPARE(config->getPrinterInstanceList(), (QStringList{first.address(), second.address()}));
}

void TestPrinterPage::switchingPrinters()
{
    TestHttpServer first, second;
    first.setAnswer("/", 200, "<html><body style='background:#ffe0e0'><h1>One</h1></body></html>");
    second.setAnswer("/", 200, "<html><body style='background:#e0e0ff'><h1>Two</h1></body></html>");
    m_ui->config()->addPrinterInstance(first.address());
    m_ui->config()->addPrinterInstance(second.address());
    QVERIFY(pushPage());
    QTRY_COMPARE_WITH_TIMEOUT(second.count("/"), 1, 10000);
    click(item(buttonName(first.address())));
    QTRY_COMPARE_WITH_TIMEOUT(first.count("/"), 1, 10000);
    QTRY_COMPARE(webUrl(), QStringLiteral("http://%1/").arg(first.address()));
    QCOMPARE(item(buttonName(first.address()))->property("color").value<QColor>(),
             QColor(QStringLiteral("#00A0EA")));
    QCOMPARE(item(buttonName(second.address()))->property("color").value<QColor>(),
             QColor(Qt::white));
    QTRY_COMPARE_WITH_TIMEOUT(webView()->property("loading").toBool(), false, 10000);
    m_ui->saveScreenshot(QStringLiteral("printer-page-two-printers"));
    click(item(buttonName(second.address())));
    QTRY_COMPARE_WITH_TIMEOUT(second.count("/"), 2, 10000);
    QCOMPARE(item(buttonName(first.address()))->property("color").value<QColor>(),
             QColor(Qt::white));
}

// A link that asks for a new window opens in the same view.
void TestPrinterPage::newWindowOpensInSameView()
{
    TestHttpServer printer;
    printer.setAnswer("/", 200,
                      "<html><body style='margin:0'><a href='/other' target='_blank' "
                      "style='display:block;width:100vw;height:100vh;background:#cde'>"
                      "settings</a></body></html>");
    printer.setAnswer("/other", 200, "<html><body><h1>Other</h1></body></html>");
    m_ui->config()->addPrinterInstance(printer.address());
    QVERIFY(pushPage());
    QTRY_COMPARE_WITH_TIMEOUT(printer.count("/"), 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(webView()->property("loading").toBool(), false, 10000);
    QTest::qWait(300); // the first frame of the page
    click(webView());
    QTRY_COMPARE_WITH_TIMEOUT(printer.count("/other"), 1, 10000);
    QTRY_COMPARE(webUrl(), QStringLiteral("http://%1/other").arg(printer.address()));
    // No second window came up.
    int windows = 0;
    for (QWindow *w : QGuiApplication::topLevelWindows())
        windows += w->isVisible();
    QCOMPARE(windows, 1);
}

// The printer's page gets no object of the program, no local file, no resource of the
// program and cannot navigate away from the web; it reports what it saw to its own server.
void TestPrinterPage::pageReachesNothingOfTheProgram()
{
    TestHttpServer printer;
    printer.setAnswer(
        "/", 200,
        "<html><body><script>\n"
        "function report(p) { return fetch(p).catch(function () {}); }\n"
        "report('/qt-' + typeof qt + '-' + typeof navigator.qt);\n"
        "fetch('file:///etc/hostname').then(function () { report('/file-read'); },\n"
        "                                  function () { report('/file-blocked'); });\n"
        "fetch('qrc:/print.qml').then(function () { report('/qrc-read'); },\n"
        "                             function () { report('/qrc-blocked'); });\n"
        "window.open('qrc:/main.qml');\n"
        "setTimeout(function () { report('/leaving'); location.href = 'file:///etc/hostname'; },"
        " 300);\n"
        "</script></body></html>");
    m_ui->config()->addPrinterInstance(printer.address());
    QVERIFY(pushPage());
    QTRY_COMPARE_WITH_TIMEOUT(printer.count("/leaving"), 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(printer.count("/file-blocked"), 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(printer.count("/qrc-blocked"), 1, 10000);
    QCOMPARE(printer.count("/qt-undefined-undefined"), 1);
    QTest::qWait(500);
    QCOMPARE(printer.count("/file-read"), 0);
    QCOMPARE(printer.count("/qrc-read"), 0);
    QCOMPARE(webUrl(), QStringLiteral("http://%1/").arg(printer.address()));
}

void TestPrinterPage::deleteRemovesButtonAndAddress()
{
    TestHttpServer first, second;
    QuorConfig *config = m_ui->config();
    config->addPrinterInstance(first.address());
    config->addPrinterInstance(second.address());
    QVERIFY(pushPage());
    click(item(buttonName(first.address())));
    QTRY_COMPARE_WITH_TIMEOUT(first.count("/"), 1, 10000);
    click(item(QStringLiteral("deletePrinterButton")));
    QTRY_VERIFY(!item(buttonName(first.address())));
    QCOMPARE(config->getPrinterInstanceList(), QStringList{second.address()});
    QCOMPARE(storedInFile(config->settingsPath()), second.address());
    QVERIFY(webView()->isVisible()); // another printer is left
    // Nothing chosen now: Delete has nothing to remove.
    QVERIFY(!item(QStringLiteral("deletePrinterButton"))->isEnabled());
    click(item(buttonName(second.address())));
    QTRY_VERIFY(item(QStringLiteral("deletePrinterButton"))->isEnabled());
    click(item(QStringLiteral("deletePrinterButton")));
    QTRY_VERIFY(!item(buttonName(second.address())));
    QVERIFY(config->getPrinterInstanceList().isEmpty());
    QCOMPARE(storedInFile(config->settingsPath()), QString());
    QTRY_VERIFY(!webView()->isVisible());
    QVERIFY(item(QStringLiteral("noPrinterHint"))->isVisible());
}

// Ten stored addresses: ten buttons, and a printer added through the wizard gets its button but
// no place in the stored list.
void TestPrinterPage::tenStoredShowTenStoreNoMore()
{
    TestHttpServer last, eleventh;
    QuorConfig *config = m_ui->config();
    // Closed loopback ports for the first nine: nothing is loaded from them.
    for (int i = 1; i <= 9; ++i)
        config->addPrinterInstance(QStringLiteral("127.0.0.%1:9").arg(i + 1));
    config->addPrinterInstance(last.address());
    QCOMPARE(config->getPrinterInstanceList().size(), 10);
    QVERIFY(pushPage());
    for (const QString &address : config->getPrinterInstanceList())
        QVERIFY2(item(buttonName(address)), qPrintable(address));
    QTRY_COMPARE_WITH_TIMEOUT(last.count("/"), 1, 10000);
    QCOMPARE(config->getPrinterInstanceList().size(), 10);
    m_ui->saveScreenshot(QStringLiteral("printer-page-ten-printers"));

    openAtLanCheck(eleventh.address());
    QVERIFY(!QTest::currentTestFailed());
    wizardClick("wizardNextButton");
    QTRY_COMPARE(screen(), QStringLiteral("succeeded"));
    wizardClick("wizardCompleteButton");
    QTRY_VERIFY(item(buttonName(eleventh.address())));
    QCOMPARE(config->getPrinterInstanceList().size(), 10);
    QVERIFY(!config->getPrinterInstanceList().contains(eleventh.address()));
    QTRY_COMPARE_WITH_TIMEOUT(eleventh.count("/"), 1, 10000);
}

QUOR_WINDOW_TEST_MAIN(TestPrinterPage)

#include "tst_printerpage.moc"
