// Random input over the whole window for a minute: clicks, drags, wheel steps and keys, with
// two models loaded. Dialogs that open are closed again. Nothing may crash or hang, and the
// window must still answer at the end. QUOR_MONKEY_SEED and QUOR_MONKEY_SECONDS choose the run
// (a fixed seed and 60 s by default).
#include "SceneMeshes.h"
#include "WindowDriver.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>

using namespace SceneMeshes;

namespace {

const QStringList kDialogs = {"fileDialog", "alertDialog", "confirmDeleteDialog",
                              "completionDialog", "sliceConfigDialog"};

const int kKeys[] = {Qt::Key_Delete,    Qt::Key_Home,   Qt::Key_Up,    Qt::Key_Down,
                     Qt::Key_Escape,    Qt::Key_Return, Qt::Key_Tab,   Qt::Key_Space,
                     Qt::Key_1,         Qt::Key_5,      Qt::Key_Minus, Qt::Key_Period,
                     Qt::Key_Backspace, Qt::Key_A,      Qt::Key_X,     Qt::Key_Left};

} // namespace

class TstMonkey : public QObject
{
    Q_OBJECT
private slots:
    void randomInput();
};

void TstMonkey::randomInput()
{
    const quint32 seed = qEnvironmentVariableIsSet("QUOR_MONKEY_SEED")
                             ? quint32(qEnvironmentVariableIntValue("QUOR_MONKEY_SEED"))
                             : 20261208u;
    const int seconds = qEnvironmentVariableIsSet("QUOR_MONKEY_SECONDS")
                            ? qEnvironmentVariableIntValue("QUOR_MONKEY_SECONDS")
                            : 60;
    qInfo("monkey seed %u for %d s", seed, seconds);
    QRandomGenerator rng{seed};
    QDir().mkpath(QDir::currentPath());

    WindowDriver w;
    QVERIFY(w.waitForFrames());
    QVERIFY(w.openThroughDialog({writeBoxFile(QStringLiteral("a.stl"), {0, 0, 0}, {20, 10, 5}),
                                 writeBoxFile(QStringLiteral("b.stl"), {0, 0, 0}, {12, 12, 18})}));
    QCOMPARE(w.workspace()->scene()->modelSize(), 2);

    QElapsedTimer clock;
    clock.start();
    int actions = 0;
    while (clock.elapsed() < qint64(seconds) * 1000) {
        QQuickWindow *win = w.window;
        if (!win->isVisible() || win->visibility() == QWindow::Minimized) {
            win->showNormal();
            QVERIFY(QTest::qWaitForWindowExposed(win, 5000));
        }
        const QPoint p(int(rng.bounded(win->width())), int(rng.bounded(win->height())));
        const int kind = int(rng.bounded(100));
        const Qt::KeyboardModifiers mods =
            rng.bounded(6) == 0 ? Qt::ShiftModifier
                                : (rng.bounded(8) == 0 ? Qt::ControlModifier : Qt::NoModifier);
        if (kind < 40) {
            w.clickAt(p, rng.bounded(5) == 0 ? Qt::RightButton : Qt::LeftButton, mods);
        } else if (kind < 60) {
            const Qt::MouseButton button = rng.bounded(3) == 0 ? Qt::RightButton : Qt::LeftButton;
            QTest::mousePress(win, button, mods, p);
            QPoint at = p;
            for (int i = 0; i < 4; ++i) {
                at += QPoint(int(rng.bounded(41)) - 20, int(rng.bounded(41)) - 20);
                QTest::mouseMove(win, at);
            }
            QTest::mouseRelease(win, button, mods, at);
        } else if (kind < 70) {
            QWheelEvent wheel(p, win->mapToGlobal(p), QPoint(),
                              QPoint(0, rng.bounded(2) ? 120 : -120), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(win, &wheel);
        } else {
            w.key(kKeys[rng.bounded(int(sizeof kKeys / sizeof kKeys[0]))], mods);
        }
        ++actions;
        // Dialogs that opened are closed again, as a user would.
        for (const QString &d : kDialogs) {
            if (!w.dialogVisible(d))
                continue;
            QObject *dialog = w.dialog(d);
            if (d == QLatin1String("fileDialog") || d == QLatin1String("sliceConfigDialog"))
                QMetaObject::invokeMethod(dialog, "reject");
            else if (!w.clickDialogButton(d, rng.bounded(2) ? QStringLiteral("OK")
                                                            : QStringLiteral("Cancel")))
                w.clickDialogButton(d, QStringLiteral("OK"));
            QTRY_VERIFY(!w.dialogVisible(d));
        }
        // The printer wizard is a window of its own: closed again too.
        for (QWindow *other : QGuiApplication::topLevelWindows())
            if (other != win && other->isVisible() &&
                other->title() == QLatin1String("Printers add guidelines"))
                other->close();
        QCoreApplication::processEvents();
    }
    qInfo("%d actions", actions);
    QVERIFY(actions > 100);

    // Still answering: back on the modelling page, jobs ended, the view draws and obeys.
    Workspace *ws = w.workspace();
    if (w.enabledItem(QStringLiteral("slicePageButton")))
        QVERIFY(w.click(QStringLiteral("slicePageButton")));
    ws->jobs()->cancelSlice();
    QTRY_VERIFY_WITH_TIMEOUT(!ws->jobs()->hasBackgroundJob(), 60000);
    for (const QString &d : kDialogs)
        if (w.dialogVisible(d))
            QMetaObject::invokeMethod(w.dialog(d),
                                      d == QLatin1String("fileDialog") ? "reject" : "close");
    QVERIFY(w.waitForFrames(2));
    w.clickAt(w.scene()->mapToScene(QPointF(w.scene()->width() / 2, 30)).toPoint());
    w.key(Qt::Key_Home);
    QCOMPARE(w.camera()->state().yawDeg, -70);
    QCOMPARE(w.camera()->state().pitchDeg, -70);
    QVERIFY(w.waitForFrames(2));
}

QUOR_WINDOW_TEST_MAIN(TstMonkey)

#include "tst_monkey.moc"
