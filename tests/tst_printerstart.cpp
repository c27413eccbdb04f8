// The printer page from the real main window: the title bar's print button pushes it, and the
// web engine starts only then, never with the program.
#include "UiHarness.h"

#include <QDir>
#include <QGuiApplication>
#include <QtTest>

namespace {

// The web engine's helper processes that this process started.
int webEngineChildren()
{
    int n = 0;
    const QString self = QString::number(QCoreApplication::applicationPid());
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QString line = QString::fromLatin1(stat.readAll());
        // pid (comm) state ppid ...
        const int close = line.lastIndexOf(QLatin1Char(')'));
        const QStringList rest = line.mid(close + 2).split(QLatin1Char(' '));
        if (rest.size() > 1 && rest.at(1) == self && line.contains(QLatin1String("QtWebEngine")))
            ++n;
    }
    return n;
}

} // namespace

class TstPrinterStart : public QObject
{
    Q_OBJECT
private slots:
    void pageFromTheMainWindow();
};

void TstPrinterStart::pageFromTheMainWindow()
{
    auto m_ui = std::make_unique<UiHarness>();
    QCOMPARE(m_ui->result, 0);
    QVERIFY(m_ui->waitForFrames());
    QCOMPARE(webEngineChildren(), 0);
    QVERIFY(!m_ui->item(QStringLiteral("printPage")));
    QQuickItem *printButton = m_ui->item(QStringLiteral("printPageButton"));
    QVERIFY(printButton && printButton->isEnabled());
    QVERIFY(!m_ui->item(QStringLiteral("slicePageButton"))->isEnabled());
    QTest::mouseClick(m_ui->window, Qt::LeftButton, Qt::NoModifier,
                      m_ui->centreOf(QStringLiteral("printPageButton")));
    QTRY_VERIFY(m_ui->item(QStringLiteral("printPage")) &&
                m_ui->item(QStringLiteral("printPage"))->isVisible());
    QTRY_VERIFY(webEngineChildren() > 0);
    QVERIFY(!printButton->isEnabled());
    QVERIFY(m_ui->item(QStringLiteral("slicePageButton"))->isEnabled());
    QVERIFY(m_ui->waitForFrames());
    m_ui->saveScreenshot(QStringLiteral("window-printer-page"));
    // Back to the modelling page.
    QTest::mouseClick(m_ui->window, Qt::LeftButton, Qt::NoModifier,
                      m_ui->centreOf(QStringLiteral("slicePageButton")));
    QTRY_VERIFY(m_ui->item(QStringLiteral("Quor3DScene"))->isVisible());
    QVERIFY(printButton->isEnabled());
}

QUOR_WINDOW_TEST_MAIN(TstPrinterStart)

#include "tst_printerstart.moc"
