// The window's rules as plain functions and objects, without a window: which controls are
// enabled, the progress bar's states, the frameless window's geometry, and "Rotate all to
// lowest" turning the models from the event loop.
#include "SceneMeshes.h"
#include "ScratchConfig.h"

#include "app/WindowGeometry.h"
#include "model/DoItem.h"
#include "workspace/JobController.h"
#include "workspace/PanelRules.h"
#include "workspace/PanelState.h"
#include "workspace/SceneObjects.h"
#include "workspace/TransformController.h"
#include "workspace/Workspace.h"

#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using namespace SceneMeshes;

class TstWindowRules : public QObject
{
    Q_OBJECT
private slots:
    void panelRules_data();
    void panelRules();
    void rotateZOnlyUprightWithSupports();
    void progressStates();
    void resizing_data();
    void resizing();
    void restoredSizes_data();
    void restoredSizes();
    void dialogPlaces_data();
    void dialogPlaces();
    void rotateAllDoesNotBlock();
};

void TstWindowRules::panelRules_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("selected");
    QTest::addColumn<bool>("haveSupports");
    QTest::addColumn<bool>("normal");
    QTest::addColumn<bool>("manual");
    // info move scale rotate flip copy support layout slice, then the page rules.
    QTest::addColumn<QString>("expected");
    using M = SceneObjects;
    // Columns: I M S R F C | Sup L Sl | rXY low mZ fZ | base auto man rem | box hint
    QTest::newRow("empty") << int(M::MODEL_INIT) << -1 << false << false << false
                           << "000000 000 1111 000 0 0 1";
    QTest::newRow("loaded, nothing selected")
        << int(M::MODEL_LOADED) << -1 << false << false << false << "000000 111 1111 111 0 1 0";
    QTest::newRow("model selected")
        << int(M::MODEL_LOADED) << 1 << false << true << false << "111111 111 1111 111 0 1 0";
    QTest::newRow("model with supports")
        << int(M::MODEL_LOADED) << 1 << true << true << false << "110111 111 0000 111 1 1 0";
    QTest::newRow("with supports, adding by hand")
        << int(M::MODEL_LOADED) << 1 << true << true << true << "110111 111 0000 111 0 1 0";
    QTest::newRow("support selected")
        << int(M::MODEL_LOADED) << 2 << false << false << false << "000000 111 1111 111 0 1 0";
    QTest::newRow("slicing") << int(M::MODEL_SLICING) << 1 << false << true << false
                             << "000000 000 1111 000 0 0 0";
    QTest::newRow("layer preview")
        << int(M::MODEL_SHOW_SLICE) << 1 << false << true << false << "000000 100 1111 001 0 1 0";
    QTest::newRow("generating supports") << int(M::MODEL_AUTO_GEN_SUPPORT) << 1 << false << true
                                         << false << "000000 100 1111 000 0 0 0";
}

void TstWindowRules::panelRules()
{
    QFETCH(int, status);
    QFETCH(int, selected);
    QFETCH(bool, haveSupports);
    QFETCH(bool, normal);
    QFETCH(bool, manual);
    QFETCH(QString, expected);
    const PanelRules r = PanelRules::evaluate(status, selected, haveSupports, normal, manual);
    const QList<bool> got = {
        r.info,           r.move,           r.scale,     r.rotate,      r.flip,
        r.copy,           r.support,        r.layout,    r.slice,       r.rotateXY,
        r.rotateToLowest, r.moveZ,          r.flipZ,     r.supportBase, r.autoSupport,
        r.manualSupport,  r.removeSupports, r.showSlice, r.hint};
    QString text;
    for (bool b : got)
        text += b ? QLatin1Char('1') : QLatin1Char('0');
    QString want = expected;
    want.remove(QLatin1Char(' '));
    // The page rules on loaded / preview statuses only matter there; the strings say so.
    QCOMPARE(text.left(9), want.left(9));
    QCOMPARE(text.mid(9, 4), want.mid(9, 4));
    QCOMPARE(text.mid(13, 3), want.mid(13, 3));
    QCOMPARE(text.mid(16), want.mid(16));
}

void TstWindowRules::rotateZOnlyUprightWithSupports()
{
    QVERIFY(PanelRules::rotateZ(false, 30, 10));
    QVERIFY(PanelRules::rotateZ(true, 0, 0));
    QVERIFY(!PanelRules::rotateZ(true, 0.5, 0));
    QVERIFY(!PanelRules::rotateZ(true, 0, -90));
}

void TstWindowRules::progressStates()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    PanelState *panel = ws.panel();
    QSignalSpy completed(panel, &PanelState::sliceCompleted);
    // The file dialog shows it at 0 before the job starts.
    panel->showProgress(QStringLiteral("slice"));
    QVERIFY(panel->progressVisible());
    QCOMPARE(panel->progressValue(), 0.0);
    QCOMPARE(panel->progressPrompt(), QStringLiteral("Press Ctrl+C or Escape to cancel slice"));
    emit ws.jobs()->sliceCompletedProgress(0.5f, false, QStringLiteral("slice"));
    QTRY_COMPARE(panel->progressValue(), 0.5);
    // The end hides it and reports the job.
    emit ws.jobs()->sliceCompletedProgress(1.1f, false, QStringLiteral("slice"));
    QTRY_COMPARE(completed.count(), 1);
    QVERIFY(!panel->progressVisible());
    QCOMPARE(panel->progressValue(), 0.0);
    // Automatic supports show their own prompt when their progress first arrives.
    emit ws.jobs()->sliceCompletedProgress(0.2f, false, QStringLiteral("autoSupport"));
    QTRY_VERIFY(panel->progressVisible());
    QCOMPARE(panel->progressPrompt(),
             QStringLiteral("Press Ctrl+C or Escape to cancel auto generating supports"));
    emit ws.jobs()->sliceCompletedProgress(1.1f, false, QStringLiteral("autoSupport"));
    QTRY_VERIFY(!panel->progressVisible());
    QCOMPARE(completed.count(), 1); // no completion dialog for supports
    // A cancelled or failed job only hides the bar.
    panel->showProgress(QStringLiteral("slice"));
    emit ws.jobs()->sliceCompletedProgress(1.1f, true, QStringLiteral("slice"));
    QTRY_VERIFY(!panel->progressVisible());
    QCOMPARE(completed.count(), 1);
}

void TstWindowRules::resizing_data()
{
    QTest::addColumn<int>("edges");
    QTest::addColumn<QPoint>("delta");
    QTest::addColumn<QRect>("expected");
    const QRect start(100, 100, 1200, 900); // minimum 1024 x 800
    Q_UNUSED(start)
    QTest::newRow("right, wider") << int(Qt::RightEdge) << QPoint(50, 0)
                                  << QRect(100, 100, 1250, 900);
    QTest::newRow("right, below minimum")
        << int(Qt::RightEdge) << QPoint(-400, 0) << QRect(100, 100, 1024, 900);
    QTest::newRow("left keeps the right edge")
        << int(Qt::LeftEdge) << QPoint(-30, 0) << QRect(70, 100, 1230, 900);
    QTest::newRow("left, below minimum")
        << int(Qt::LeftEdge) << QPoint(500, 0) << QRect(276, 100, 1024, 900);
    QTest::newRow("top, below minimum")
        << int(Qt::TopEdge) << QPoint(0, 300) << QRect(100, 200, 1200, 800);
    QTest::newRow("bottom-right corner")
        << int(Qt::BottomEdge | Qt::RightEdge) << QPoint(10, 20) << QRect(100, 100, 1210, 920);
    QTest::newRow("top-left corner, both limits")
        << int(Qt::TopEdge | Qt::LeftEdge) << QPoint(900, 900) << QRect(276, 200, 1024, 800);
}

void TstWindowRules::resizing()
{
    QFETCH(int, edges);
    QFETCH(QPoint, delta);
    QFETCH(QRect, expected);
    QCOMPARE(WindowGeometry::resized(QRect(100, 100, 1200, 900), edges, delta, QSize(1024, 800)),
             expected);
}

void TstWindowRules::restoredSizes_data()
{
    QTest::addColumn<QSize>("stored");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("fits") << QSize(1300, 900) << QSize(1300, 900);
    QTest::newRow("below the minimum") << QSize(300, 200) << QSize(1024, 800);
    QTest::newRow("nothing stored") << QSize(0, 0) << QSize(1024, 800);
    QTest::newRow("fits the second screen only") << QSize(2400, 1300) << QSize(2400, 1300);
    QTest::newRow("larger than every screen") << QSize(9000, 5000) << QSize(2560, 1440);
    QTest::newRow("too wide") << QSize(4000, 1000) << QSize(2560, 1000);
}

void TstWindowRules::restoredSizes()
{
    QFETCH(QSize, stored);
    QFETCH(QSize, expected);
    const QList<QRect> screens = {QRect(0, 0, 1920, 1080), QRect(1920, 0, 2560, 1440)};
    QCOMPARE(WindowGeometry::fitted(stored, QSize(1024, 800), screens), expected);
}

void TstWindowRules::dialogPlaces_data()
{
    QTest::addColumn<QSize>("dialog");
    QTest::addColumn<QSize>("minimum");
    QTest::addColumn<QRect>("over");
    QTest::addColumn<QRect>("expected");
    const QRect window(0, 0, 1280, 800);
    // Half of the 880 and 500 pixels the window has to spare on each side.
    QTest::newRow("centred") << QSize(400, 300) << QSize() << window << QRect(440, 250, 400, 300);
    // The bare dialog's size grows to the least that shows the file dialog's columns.
    QTest::newRow("grown") << QSize(393, 315) << QSize(800, 500) << window
                           << QRect(240, 150, 800, 500);
    // Centred at x 1200 it would leave the 1280-pixel screen: moved back to 880.
    QTest::newRow("kept on the screen")
        << QSize(400, 300) << QSize() << QRect(1000, 100, 800, 600) << QRect(880, 250, 400, 300);
    QTest::newRow("larger than the screen")
        << QSize(2000, 1200) << QSize() << window << QRect(0, 0, 1280, 1024);
    // A window without geometry yet: the middle of the 1280 x 1024 screen.
    QTest::newRow("over nothing") << QSize(400, 300) << QSize() << QRect()
                                  << QRect(440, 362, 400, 300);
}

void TstWindowRules::dialogPlaces()
{
    QFETCH(QSize, dialog);
    QFETCH(QSize, minimum);
    QFETCH(QRect, over);
    QFETCH(QRect, expected);
    QCOMPARE(WindowGeometry::placedOver(dialog, minimum, over, QRect(0, 0, 1280, 1024)), expected);
}

void TstWindowRules::rotateAllDoesNotBlock()
{
    ScratchConfig scratch;
    Workspace ws(scratch.config);
    ws.scene()->ensurePlatformBottom();
    // Three tilted slabs: each lowers by turning.
    std::vector<Model *> slabs;
    for (int i = 0; i < 3; ++i) {
        Model *m = makeBox({-10, -2, 0}, {10, 2, 30});
        m->pushTransform(DoItem::DO_T_ROTATE);
        m->setRotate(0, 20, 0, QVector3D(0, 0, 15));
        m->updateGeometry(true);
        ws.scene()->addModel(m);
        slabs.push_back(m);
    }
    ws.scene()->selectModel(slabs[0]);
    const float tilted = slabs[2]->bboxMax.z() - slabs[2]->bboxMin.z();
    QElapsedTimer timer;
    timer.start();
    ws.transform()->rotateAllToLowest();
    // It returns at once with the selected one turned; the others follow from the event loop,
    // which keeps running meanwhile.
    QVERIFY(timer.elapsed() < 250);
    slabs[2]->updateGeometry(false);
    QCOMPARE(slabs[2]->bboxMax.z() - slabs[2]->bboxMin.z(), tilted);
    int ticks = 0;
    QTimer other;
    connect(&other, &QTimer::timeout, [&ticks] { ++ticks; });
    other.start(20);
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            slabs[2]->updateGeometry(false);
            return slabs[2]->bboxMax.z() - slabs[2]->bboxMin.z() < tilted - 1.0f;
        }(),
        5000);
    QVERIFY(ticks > 5);
    slabs[1]->updateGeometry(false);
    QVERIFY(slabs[1]->bboxMax.z() - slabs[1]->bboxMin.z() < tilted - 1.0f);
}

QTEST_GUILESS_MAIN(TstWindowRules)
#include "tst_windowrules.moc"
