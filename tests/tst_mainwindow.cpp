// The main window driven as a user drives it: clicks on its buttons and fields, keys, the
// dialogs' own buttons; checked by what it shows and what happens to the scene.
#include "LogCapture.h"
#include "QuickItems.h"
#include "SceneMeshes.h"
#include "WindowDriver.h"

#include "config/SupportConfig.h"
#include "view/SceneRenderer.h"

#include <QDesktopServices>
#include <QtTest>

#include <cmath>

using namespace SceneMeshes;

namespace {

const QStringList kPanelButtons = {"infoButton",    "moveButton",   "scaleButton",
                                   "rotateButton",  "flipButton",   "copyButton",
                                   "supportButton", "layoutButton", "sliceButton"};

// Takes the URLs the program hands to the desktop, so that no browser starts.
class LinkCatcher : public QObject
{
    Q_OBJECT
public:
    LinkCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open"); }
    ~LinkCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened.append(url); }
};

} // namespace

class TstMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void emptyWindow();
    void openingAModelEnablesTheTools();
    void supportsLimitTheTools();
    void infoPage();
    void movePage();
    void scalePage();
    void rotatePage();
    void flipPage();
    void supportSizes();
    void manualSupports();
    void autoSupportsCancelledWithEscape();
    void baseAndRemoveAll();
    void deleteKeys();
    void homeAndUndoKeys();
    void disabledButtonHidesItsPage();
    void layerSlider();
    void bottomBar();
    void settingsDialogFromTheBottomBar();
    void layoutButton();
    void screenshots();

private:
    std::unique_ptr<WindowDriver> open(const QList<QUrl> &files);
};

void TstMainWindow::init()
{
    QDir().mkpath(QDir::currentPath());
}

std::unique_ptr<WindowDriver> TstMainWindow::open(const QList<QUrl> &files)
{
    return WindowDriver::withFiles(files);
}

void TstMainWindow::emptyWindow()
{
    auto w = open({});
    QVERIFY(w);
    for (const QString &b : kPanelButtons)
        QVERIFY2(!w->enabledItem(b), qPrintable(b));
    QVERIFY(w->visibleItem(QStringLiteral("hint")));
    QCOMPARE(w->item(QStringLiteral("hint"))->property("text").toString(),
             QStringLiteral("Drag your model file and drop it here or Open"));
    // The title reads the program's name, version and the build's word size.
    QCOMPARE(w->window->title(), QStringLiteral("Makora v2.1.6 %1-bit").arg(sizeof(void *) * 8));
    QCOMPARE(w->item(QStringLiteral("windowTitle"))->property("text").toString(),
             w->window->title());
}

void TstMainWindow::openingAModelEnablesTheTools()
{
    auto w = open({writeBoxFile(QStringLiteral("a.stl"), {0, 0, 0}, {20, 10, 5})});
    QVERIFY(w);
    Workspace *ws = w->workspace();
    QCOMPARE(ws->scene()->modelSize(), 1);
    QVERIFY(!w->visibleItem(QStringLiteral("hint")));
    // The loaded model is selected: every tool is there.
    for (const QString &b : kPanelButtons)
        QVERIFY2(w->enabledItem(b), qPrintable(b));
    // Nothing selected: only Support, Layout and Slice stay.
    w->clickAt(w->scene()->mapToScene(QPointF(300, 40)).toPoint());
    QTRY_VERIFY(!ws->scene()->getSelectedModel());
    for (const char *b :
         {"infoButton", "moveButton", "scaleButton", "rotateButton", "flipButton", "copyButton"})
        QVERIFY2(!w->enabledItem(QString::fromLatin1(b)), b);
    for (const char *b : {"supportButton", "layoutButton", "sliceButton"})
        QVERIFY2(w->enabledItem(QString::fromLatin1(b)), b);
    // Clicking the model selects it again.
    w->clickAt(w->windowPixelOf({0, 0, 5}));
    QTRY_VERIFY(ws->scene()->getSelectedModel());
    QVERIFY(w->enabledItem(QStringLiteral("moveButton")));
}

void TstMainWindow::supportsLimitTheTools()
{
    auto w = open({writeBoxFile(QStringLiteral("a.stl"), {0, 0, 0}, {20, 10, 5})});
    QVERIFY(w);
    QVERIFY(w->click(QStringLiteral("supportButton")));
    QVERIFY(w->click(QStringLiteral("addSupportBase")));
    Workspace *ws = w->workspace();
    QCOMPARE(countType(*ws, Model::TYPE_SUPPORT_BASE), 1);
    QVERIFY(ws->scene()->isSelectedModelHaveAnySupports());
    QVERIFY(!w->enabledItem(QStringLiteral("scaleButton")));
    // Rotate: X and Y off, Z on while they are 0, no "to lowest".
    QVERIFY(w->click(QStringLiteral("rotateButton")));
    QVERIFY(w->visibleItem(QStringLiteral("rotatePage")));
    QVERIFY(!w->visibleItem(QStringLiteral("supportPage"))); // one page at a time
    QVERIFY(!w->enabledItem(QStringLiteral("rotateXBox")));
    QVERIFY(!w->enabledItem(QStringLiteral("rotateYBox")));
    QVERIFY(w->enabledItem(QStringLiteral("rotateZBox")));
    QVERIFY(!w->enabledItem(QStringLiteral("rotateCurrentToLowest")));
    QVERIFY(!w->enabledItem(QStringLiteral("rotateAllToLowest")));
    // Move: no Z, no docking.
    QVERIFY(w->click(QStringLiteral("moveButton")));
    QVERIFY(!w->enabledItem(QStringLiteral("moveZBox")));
    QVERIFY(!w->enabledItem(QStringLiteral("dockToBottom")));
    QVERIFY(w->enabledItem(QStringLiteral("moveXBox")));
    // Flip: no Z.
    QVERIFY(w->click(QStringLiteral("flipButton")));
    QVERIFY(!w->enabledItem(QStringLiteral("flipZ")));
    QVERIFY(w->enabledItem(QStringLiteral("flipX")));
}

void TstMainWindow::infoPage()
{
    auto w = open({writeBoxFile(QStringLiteral("a.stl"), {0, 0, 0}, {20, 10, 5})});
    QVERIFY(w);
    QVERIFY(w->click(QStringLiteral("infoButton")));
    QVERIFY(w->visibleItem(QStringLiteral("infoPage")));
    // A 20 x 10 x 5 mm box holds 1 mL.
    QCOMPARE(w->item(QStringLiteral("infoX"))->property("text").toString(),
             QStringLiteral("20.00"));
    QCOMPARE(w->item(QStringLiteral("infoY"))->property("text").toString(),
             QStringLiteral("10.00"));
    QCOMPARE(w->item(QStringLiteral("infoZ"))->property("text").toString(), QStringLiteral("5.00"));
    QCOMPARE(w->item(QStringLiteral("infoVolume"))->property("text").toString(),
             QStringLiteral("1.00"));
    // The same button closes it.
    QVERIFY(w->click(QStringLiteral("infoButton")));
    QVERIFY(!w->visibleItem(QStringLiteral("infoPage")));
}

void TstMainWindow::movePage()
{
    auto w = open({writeBoxFile(QStringLiteral("a.stl"), {0, 0, 0}, {20, 10, 5}),
                   writeBoxFile(QStringLiteral("b.stl"), {0, 0, 0}, {8, 8, 8})});
    QVERIFY(w);
    Workspace *ws = w->workspace();
    QCOMPARE(ws->scene()->modelSize(), 2);
    Model *a = ws->scene()->objects()[1];
    w->clickAt(w->windowPixelOf((a->bboxMin + a->bboxMax) / 2 + QVector3D(0, 0, 2.5f)));
    QTRY_COMPARE(ws->scene()->getSelectedModel(), a);
    const QVector3D before = a->bboxMin;
    const size_t records = ws->undoList().records().size();
    QVERIFY(w->click(QStringLiteral("moveButton")));
    QVERIFY(w->typeInto(QStringLiteral("moveX"), QStringLiteral("5")));
    QVERIFY(w->typeInto(QStringLiteral("moveY"), QStringLiteral("-3")));
    a->updateGeometry(false);
    QVERIFY((a->bboxMin - before - QVector3D(5, -3, 0)).length() < 1e-4f);
    // One step for the page, whatever was typed.
    QCOMPARE(ws->undoList().records().size(), records + 1);
    // Z up by 4, then docked back: the field shows what docking left.
    QVERIFY(w->typeInto(QStringLiteral("moveZ"), QStringLiteral("4")));
    a->updateGeometry(false);
    QVERIFY(std::fabs(a->bboxMin.z() - 4.0f) < 1e-4f);
    QVERIFY(w->click(QStringLiteral("dockToBottom")));
    a->updateGeometry(false);
    QVERIFY(std::fabs(a->bboxMin.z()) < 1e-4f);
    QVERIFY(std::fabs(w->fieldValue(QStringLiteral("moveZ"))) < 1e-3);
    // Undo takes the whole page's step back.
    QVERIFY(w->click(QStringLiteral("moveButton")));                // the page closes
    w->clickAt(w->scene()->mapToScene(QPointF(300, 40)).toPoint()); // the view takes the keys
    w->key(Qt::Key_Z, Qt::ControlModifier);
    a->updateGeometry(false);
    QVERIFY((a->bboxMin - before).length() < 1e-4f);
    // Selecting the other model resets the fields to 0.
    Model *b = ws->scene()->objects()[2];
    w->clickAt(w->windowPixelOf((b->bboxMin + b->bboxMax) / 2 + QVector3D(0, 0, 4)));
    QTRY_COMPARE(ws->scene()->getSelectedModel(), b);
    QVERIFY(w->click(QStringLiteral("moveButton")));
    QVERIFY(w->typeInto(QStringLiteral("moveX"), QStringLiteral("2")));
    w->clickAt(w->windowPixelOf((a->bboxMin + a->bboxMax) / 2 + QVector3D(0, 0, 2.5f)));
    QTRY_COMPARE(ws->scene()->getSelectedModel(), a);
    QCOMPARE(w->fieldValue(QStringLiteral("moveX")), 0.0);
    // Reset puts the fields and the model back.
    QVERIFY(w->typeInto(QStringLiteral("moveY"), QStringLiteral("7")));
    QVERIFY(w->click(QStringLiteral("moveReset")));
    QCOMPARE(w->fieldValue(QStringLiteral("moveY")), 0.0);
    a->updateGeometry(false);
    QVERIFY((a->bboxMin - before).length() < 1e-4f);
}

void TstMainWindow::scalePage()
{
    auto w = open({writeBoxFile(QStringLiteral("a.stl"), {0, 0, 0}, {20, 10, 5})});
    QVERIFY(w);
    Model *a = w->workspace()->scene()->objects()[1];
    QVERIFY(w->click(QStringLiteral("scaleButton")));
    QCOMPARE(w->fieldValue(QStringLiteral("scaleX")), 1.0);
    // With "Scale All" Y and Z follow X, and only X can be typed into.
    QVERIFY(!w->enabledItem(QStringLiteral("scaleYBox")));
    QVERIFY(w->typeInto(QStringLiteral("scaleX"), QStringLiteral("2")));
    QCOMPARE(w->fieldValue(QStringLiteral("scaleY")), 2.0);
    QCOMPARE(w->fieldValue(QStringLiteral("scaleZ")), 2.0);
    a->updateGeometry(false);
    QVERIFY(std::fabs(a->bboxMax.x() - a->bboxMin.x() - 40.0f) < 1e-3f);
    QVERIFY(std::fabs(a->bboxMax.z() - a->bboxMin.z() - 10.0f) < 1e-3f);
    // Without it, one axis alone.
    QVERIFY(w->click(QStringLiteral("scaleAll")));
    QVERIFY(w->enabledItem(QStringLiteral("scaleYBox")));
    QVERIFY(w->typeInto(QStringLiteral("scaleY"), QStringLiteral("0.5")));
    a->updateGeometry(false);
    QVERIFY(std::fabs(a->bboxMax.y() - a->bboxMin.y() - 5.0f) < 1e-3f);
    QVERIFY(std::fabs(a->bboxMax.x() - a->bboxMin.x() - 40.0f) < 1e-3f);
    QVERIFY(w->click(QStringLiteral("scaleReset")));
    a->updateGeometry(false);
    QVERIFY(std::fabs(a->bboxMax.x() - a->bboxMin.x() - 20.0f) < 1e-3f);
    // Values outside -100 ... 100 are refused by the field.
    QVERIFY(w->click(QStringLiteral("scaleAll")));
    QVERIFY(w->typeInto(QStringLiteral("scaleX"), QStringLiteral("250")));
    QVERIFY(w->fieldValue(QStringLiteral("scaleX")) <= 100.0);
}

void TstMainWindow::rotatePage()
{
    auto w = open({writeBoxFile(QStringLiteral("a.stl"), {0, 0, 0}, {20, 10, 5})});
    QVERIFY(w);
    Model *a = w->workspace()->scene()->objects()[1];
    QVERIFY(w->click(QStringLiteral("rotateButton")));
    QVERIFY(w->click(QStringLiteral("rotateZPlus90")));
    QCOMPARE(w->fieldValue(QStringLiteral("rotateZ")), 90.0);
    a->updateGeometry(false);
    // Turned a quarter about z: 10 wide, 20 deep.
    QVERIFY(std::fabs(a->bboxMax.x() - a->bboxMin.x() - 10.0f) < 1e-3f);
    QVERIFY(std::fabs(a->bboxMax.y() - a->bboxMin.y() - 20.0f) < 1e-3f);
    QVERIFY(w->click(QStringLiteral("rotateZMinus90")));
    QVERIFY(w->click(QStringLiteral("rotateZMinus90")));
    QCOMPARE(w->fieldValue(QStringLiteral("rotateZ")), -90.0);
    // Tilted by 30 degrees about x, then "to lowest" lays it flat again: its angles go into
    // X and Y.
    QVERIFY(w->click(QStringLiteral("rotateReset")));
    QVERIFY(w->typeInto(QStringLiteral("rotateX"), QStringLiteral("30")));
    a->updateGeometry(false);
    const float tilted = a->bboxMax.z() - a->bboxMin.z();
    QVERIFY(tilted > 6.0f);
    QVERIFY(w->click(QStringLiteral("rotateCurrentToLowest")));
    a->updateGeometry(false);
    QVERIFY(a->bboxMax.z() - a->bboxMin.z() < tilted);
    const QStringList angles = {QString::number(w->fieldValue(QStringLiteral("rotateX")), 'f', 2),
                                QString::number(w->fieldValue(QStringLiteral("rotateY")), 'f', 2)};
    QVERIFY2(angles != QStringList({"30.00", "0.00"}), qPrintable(angles.join(' ')));
}

void TstMainWindow::flipPage()
{
    auto w = open({writeBoxFile(QStringLiteral("a.stl"), {0, 0, 0}, {20, 10, 5})});
    QVERIFY(w);
    Workspace *ws = w->workspace();
    Model *a = ws->scene()->objects()[1];
    QVERIFY(w->click(QStringLiteral("flipButton")));
    const size_t records = ws->undoList().records().size();
    QVERIFY(w->click(QStringLiteral("flipX")));
    QVERIFY(w->click(QStringLiteral("flipY")));
    QVERIFY(w->click(QStringLiteral("flipZ")));
    QCOMPARE(ws->undoList().records().size(), records + 3);
    // Mirrored along x: the normal matrix turns x around.
    QCOMPARE(a->normalMatrix()(0, 0), -1.0f);
    QCOMPARE(a->normalMatrix()(1, 1), -1.0f);
    QCOMPARE(a->normalMatrix()(2, 2), -1.0f);
}

void TstMainWindow::supportSizes()
{
    auto w = open({writeBoxFile(QStringLiteral("a.stl"), {0, 0, 0}, {20, 10, 5})});
    QVERIFY(w);
    CWS::SupportConfig *support = w->config()->supportConfig();
    QVERIFY(w->click(QStringLiteral("supportButton")));
    // The fields start from the current parameters.
    QVERIFY(std::fabs(w->fieldValue(QStringLiteral("headTop")) - double(support->headTopRadius())) <
            1e-6);
    QVERIFY(std::fabs(w->fieldValue(QStringLiteral("headBottom")) -
                      double(support->headBottomRadius())) < 1e-6);
    QVERIFY(w->typeInto(QStringLiteral("headTop"), QStringLiteral("1.2")));
    QVERIFY(std::fabs(support->headTopRadius() - 1.2f) < 1e-6f);
    // "Head bottom" follows: 0.1 wider.
    QVERIFY(std::fabs(w->fieldValue(QStringLiteral("headBottom")) - 1.3) < 1e-6);
    QVERIFY(std::fabs(support->headBottomRadius() - 1.3f) < 1e-6f);
    QVERIFY(w->typeInto(QStringLiteral("headHeight"), QStringLiteral("3.4")));
    QVERIFY(std::fabs(support->headHeight() - 3.4f) < 1e-6f);
    // Out of range: the field keeps to 0.2 ... 10.
    QVERIFY(w->typeInto(QStringLiteral("headHeight"), QStringLiteral("42")));
    QVERIFY(support->headHeight() <= 10.0f);
}

void TstMainWindow::manualSupports()
{
    auto w = open({writeBoxFile(QStringLiteral("a.stl"), {0, 0, 0}, {20, 20, 10})});
    QVERIFY(w);
    Workspace *ws = w->workspace();
    // Lift it so that a pillar fits under it.
    QVERIFY(w->click(QStringLiteral("moveButton")));
    QVERIFY(w->typeInto(QStringLiteral("moveZ"), QStringLiteral("5")));
    QVERIFY(w->click(QStringLiteral("supportButton")));
    QVERIFY(w->click(QStringLiteral("addSupportManually")));
    QVERIFY(ws->supports()->isManualAddingSupport());
    // The cursor over the view is a cross.
    QCOMPARE(w->item(QStringLiteral("viewMouseArea"))->cursor().shape(), Qt::CrossCursor);
    w->camera()->resetViewTop();
    QVERIFY(w->waitForFrames());
    // The selected model takes a pillar where it is clicked.
    w->clickAt(w->windowPixelOf({4, 4, 15}));
    QTRY_COMPARE(countType(*ws, Model::TYPE_SUPPORT), 1);
    // "Remove all supports" waits until manual adding ends.
    QVERIFY(!w->enabledItem(QStringLiteral("removeAllSupports")));
    // Hiding the page leaves manual adding.
    QVERIFY(w->click(QStringLiteral("supportButton")));
    QVERIFY(!ws->supports()->isManualAddingSupport());
    QCOMPARE(w->item(QStringLiteral("viewMouseArea"))->cursor().shape(), Qt::ArrowCursor);
    QVERIFY(w->click(QStringLiteral("supportButton")));
    QVERIFY(!w->item(QStringLiteral("addSupportManually"))->property("checked").toBool());
    QVERIFY(w->enabledItem(QStringLiteral("removeAllSupports")));
}

void TstMainWindow::autoSupportsCancelledWithEscape()
{
    // Tall and wide with an overhang everywhere: many layers of work.
    const QString path = QDir::currentPath() + QStringLiteral("/table.stl");
    std::vector<Triangle> tris = boxTriangles({-25, -40, 40}, {25, 40, 44});
    const std::vector<Triangle> leg = boxTriangles({-2, -2, 0}, {2, 2, 40});
    tris.insert(tris.end(), leg.begin(), leg.end());
    writeFile(path, binaryStl(tris));
    auto w = open({QUrl::fromLocalFile(path)});
    QVERIFY(w);
    Workspace *ws = w->workspace();
    QVERIFY(w->click(QStringLiteral("supportButton")));
    QVERIFY(w->click(QStringLiteral("addSupportAuto")));
    QTRY_VERIFY(w->visibleItem(QStringLiteral("sliceProgress")));
    QCOMPARE(w->item(QStringLiteral("progressPrompt"))->property("text").toString(),
             QStringLiteral("Press Ctrl+C or Escape to cancel auto generating supports"));
    // Escape on the view stops the run; what was made stays.
    w->clickAt(w->scene()->mapToScene(QPointF(600, 60)).toPoint());
    w->key(Qt::Key_Escape);
    QTRY_COMPARE_WITH_TIMEOUT(int(ws->scene()->status()), int(SceneObjects::MODEL_LOADED), 30000);
    QTRY_VERIFY(!w->visibleItem(QStringLiteral("sliceProgress")));
    QVERIFY(ws->jobs()->getCancelSlice());
}

void TstMainWindow::baseAndRemoveAll()
{
    auto w = open({writeBoxFile(QStringLiteral("a.stl"), {0, 0, 0}, {20, 10, 5})});
    QVERIFY(w);
    Workspace *ws = w->workspace();
    Model *a = ws->scene()->objects()[1];
    QVERIFY(w->click(QStringLiteral("supportButton")));
    QVERIFY(!w->enabledItem(QStringLiteral("removeAllSupports"))); // nothing to remove
    QVERIFY(w->typeInto(QStringLiteral("baseThickness"), QStringLiteral("2")));
    QVERIFY(w->click(QStringLiteral("addSupportBase")));
    QCOMPARE(countType(*ws, Model::TYPE_SUPPORT_BASE), 1);
    ws->scene()->objects().back()->updateGeometry(true);
    QVERIFY(std::fabs(ws->scene()->objects().back()->bboxMax.z() - 2.0f) <
            1e-4f); // the typed thickness
    a->updateGeometry(false);
    QVERIFY(std::fabs(a->bboxMin.z() - 3.0f) < 1e-4f); // the model rests 3 mm up
    QVERIFY(w->enabledItem(QStringLiteral("removeAllSupports")));
    QVERIFY(w->click(QStringLiteral("removeAllSupports")));
    QCOMPARE(countType(*ws, Model::TYPE_SUPPORT_BASE), 0);
    QVERIFY(!w->enabledItem(QStringLiteral("removeAllSupports")));
}

void TstMainWindow::deleteKeys()
{
    auto w = open({writeBoxFile(QStringLiteral("a.stl"), {0, 0, 0}, {20, 10, 5})});
    QVERIFY(w);
    Workspace *ws = w->workspace();
    QVERIFY(w->click(QStringLiteral("supportButton")));
    QVERIFY(w->click(QStringLiteral("addSupportBase")));
    QVERIFY(w->click(QStringLiteral("supportButton")));
    w->clickAt(w->windowPixelOf({0, 0, 8}));
    QTRY_VERIFY(ws->scene()->getSelectedModel() &&
                ws->scene()->getSelectedModel()->type == Model::TYPE_NORMAL);
    // A model with supports: asked first, and Cancel keeps it.
    w->key(Qt::Key_Delete);
    QTRY_VERIFY(w->dialogVisible(QStringLiteral("confirmDeleteDialog")));
    QCOMPARE(w->dialog(QStringLiteral("confirmDeleteDialog"))->property("text").toString(),
             QStringLiteral("Are you sure you want to delete the currently selected model and "
                            "all its support?"));
    QVERIFY(w->clickDialogButton(QStringLiteral("confirmDeleteDialog"), QStringLiteral("Cancel")));
    QTRY_VERIFY(!w->dialogVisible(QStringLiteral("confirmDeleteDialog")));
    QCOMPARE(ws->scene()->modelSize(), 2);
    // OK deletes it with its supports, and the empty window comes back.
    w->key(Qt::Key_Delete);
    QTRY_VERIFY(w->dialogVisible(QStringLiteral("confirmDeleteDialog")));
    QVERIFY(w->clickDialogButton(QStringLiteral("confirmDeleteDialog"), QStringLiteral("OK")));
    QTRY_COMPARE(ws->scene()->modelSize(), 0);
    QCOMPARE(int(ws->scene()->status()), int(SceneObjects::MODEL_INIT));
    QTRY_VERIFY(w->visibleItem(QStringLiteral("hint")));
    QVERIFY(!w->enabledItem(QStringLiteral("sliceButton")));
    // Nothing selected: Delete changes nothing.
    QVERIFY(w->openThroughDialog({writeBoxFile(QStringLiteral("b.stl"), {0, 0, 0}, {8, 8, 8})}));
    w->clickAt(w->scene()->mapToScene(QPointF(300, 40)).toPoint());
    QTRY_VERIFY(!ws->scene()->getSelectedModel());
    w->key(Qt::Key_Delete);
    QCOMPARE(ws->scene()->modelSize(), 1);
    QVERIFY(!w->dialogVisible(QStringLiteral("confirmDeleteDialog")));
    // A model without supports goes at once.
    w->clickAt(w->windowPixelOf({0, 0, 8}));
    QTRY_VERIFY(ws->scene()->getSelectedModel());
    w->key(Qt::Key_Delete);
    QCOMPARE(ws->scene()->modelSize(), 0);
}

void TstMainWindow::homeAndUndoKeys()
{
    auto w = open({writeBoxFile(QStringLiteral("a.stl"), {0, 0, 0}, {20, 10, 5})});
    QVERIFY(w);
    Workspace *ws = w->workspace();
    QVERIFY(w->click(QStringLiteral("viewTop")));
    QCOMPARE(w->camera()->state().pitchDeg, 0);
    QVERIFY(w->click(QStringLiteral("zoomPlus")));
    QVERIFY(std::fabs(w->camera()->state().zoom - 1.1f) < 1e-6f);
    w->clickAt(w->scene()->mapToScene(QPointF(300, 40)).toPoint());
    w->key(Qt::Key_Home);
    QCOMPARE(w->camera()->state().pitchDeg, -70);
    QCOMPARE(w->camera()->state().zoom, 1.0f);
    // Ctrl+Z takes back a flip made on the page.
    w->clickAt(w->windowPixelOf({0, 0, 5}));
    QTRY_VERIFY(ws->scene()->getSelectedModel());
    QVERIFY(w->click(QStringLiteral("flipButton")));
    QVERIFY(w->click(QStringLiteral("flipX")));
    Model *a = ws->scene()->objects()[1];
    QCOMPARE(a->normalMatrix()(0, 0), -1.0f);
    QVERIFY(w->click(QStringLiteral("flipButton")));
    w->clickAt(w->scene()->mapToScene(QPointF(300, 40)).toPoint());
    w->key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(a->normalMatrix()(0, 0), 1.0f);
}

void TstMainWindow::disabledButtonHidesItsPage()
{
    auto w = open({writeBoxFile(QStringLiteral("a.stl"), {0, 0, 0}, {20, 10, 5})});
    QVERIFY(w);
    QVERIFY(w->click(QStringLiteral("moveButton")));
    QVERIFY(w->visibleItem(QStringLiteral("movePage")));
    w->click(QStringLiteral("moveXBox")); // the field has the keys now
    // Deselecting disables Move: its page goes and the view takes the keys back.
    w->workspace()->scene()->deselectAll(true);
    QTRY_VERIFY(!w->visibleItem(QStringLiteral("movePage")));
    QVERIFY(w->scene()->hasActiveFocus());
}

void TstMainWindow::layerSlider()
{
    auto w = open({writeBoxFile(QStringLiteral("a.stl"), {0, 0, 0}, {20, 20, 10})});
    QVERIFY(w);
    Workspace *ws = w->workspace();
    QQuickItem *slider = w->item(QStringLiteral("layerSlider"));
    QVERIFY(!slider->isEnabled());
    QVERIFY(w->enabledItem(QStringLiteral("showSliceBox")));
    QVERIFY(w->click(QStringLiteral("showSliceBox")));
    QTRY_VERIFY(slider->isEnabled());
    QCOMPARE(int(ws->scene()->status()), int(SceneObjects::MODEL_SHOW_SLICE));
    // 10 mm at 0.05 mm: 200 layers, 0 ... 199.
    QCOMPARE(slider->property("maximumValue").toDouble(), 199.0);
    QCOMPARE(slider->property("value").toDouble(), 0.0);
    // Up and Down step it.
    w->clickAt(w->scene()->mapToScene(QPointF(300, 40)).toPoint());
    for (int i = 0; i < 3; ++i)
        w->key(Qt::Key_Up);
    w->key(Qt::Key_Down);
    QCOMPARE(slider->property("value").toDouble(), 2.0);
    QCOMPARE(ws->layers()->currentLayer(), 2);
    // The view shows the cut: the top of the box is gone from where it was drawn.
    w->camera()->resetViewTop();
    slider->setProperty("value", 100);
    QCOMPARE(ws->layers()->currentLayer(), 100);
    QImage image = w->grab();
    const QColor cut = image.pixelColor(w->windowPixelOf({3, 4, 10}));
    // Looking down into the cut box: its floor on the plate is green.
    QVERIFY2(
        cut.green() > cut.red() + 60,
        qPrintable(QStringLiteral("%1 %2 %3").arg(cut.red()).arg(cut.green()).arg(cut.blue())));
    // Unchecked: off, back to 0, and the whole model again.
    QVERIFY(w->click(QStringLiteral("showSliceBox")));
    QTRY_VERIFY(!slider->isEnabled());
    QCOMPARE(slider->property("value").toDouble(), 0.0);
    QCOMPARE(int(ws->scene()->status()), int(SceneObjects::MODEL_LOADED));
    w->clickAt(w->scene()->mapToScene(QPointF(300, 40)).toPoint());
    w->key(Qt::Key_Up); // does nothing while the slider is off
    QCOMPARE(slider->property("value").toDouble(), 0.0);
}

void TstMainWindow::bottomBar()
{
    auto w = open({});
    QVERIFY(w);
    QCOMPARE(w->item(QStringLiteral("sliceConfigButton"))->property("text").toString(),
             QStringLiteral("H310, 0.05mm"));
    QCOMPARE(w->item(QStringLiteral("volumeLabel"))->property("text").toString(),
             QStringLiteral("0.00 mL"));
    QVERIFY(w->openThroughDialog({writeBoxFile(QStringLiteral("a.stl"), {0, 0, 0}, {20, 10, 5})}));
    QTRY_COMPARE(w->item(QStringLiteral("volumeLabel"))->property("text").toString(),
                 QStringLiteral("1.00 mL"));
    QCOMPARE(w->item(QStringLiteral("layersLabel"))->property("text").toString(),
             QStringLiteral("100"));
    // Scaled up: refreshed with the change.
    QVERIFY(w->click(QStringLiteral("scaleButton")));
    QVERIFY(w->typeInto(QStringLiteral("scaleX"), QStringLiteral("2")));
    QCOMPARE(w->item(QStringLiteral("volumeLabel"))->property("text").toString(),
             QStringLiteral("8.00 mL"));
    QCOMPARE(w->item(QStringLiteral("layersLabel"))->property("text").toString(),
             QStringLiteral("200"));

    // A click on the "Read me" link hands its address to the desktop.
    LinkCatcher links;
    QQuickItem *notice = w->item(QStringLiteral("noticeLabel"));
    const qreal y = notice->height() / 2;
    QPointF readMe(-1, -1);
    for (qreal x = 0; x < notice->width(); x += 2) {
        QString link;
        QMetaObject::invokeMethod(notice, "linkAt", Q_RETURN_ARG(QString, link), Q_ARG(qreal, x),
                                  Q_ARG(qreal, y));
        if (link.endsWith(QStringLiteral("/readme"))) {
            readMe = QPointF(x + 4, y);
            break;
        }
    }
    QVERIFY(readMe.x() >= 0);
    w->clickAt(notice->mapToScene(readMe).toPoint());
    QTRY_COMPARE(links.opened.size(), 1);
    QVERIFY(links.opened.front().path().endsWith(QStringLiteral("/readme")));
}

void TstMainWindow::settingsDialogFromTheBottomBar()
{
    auto w = open({writeBoxFile(QStringLiteral("a.stl"), {0, 0, 0}, {20, 10, 5})});
    QVERIFY(w);
    QCOMPARE(w->item(QStringLiteral("layersLabel"))->property("text").toString(),
             QStringLiteral("100"));
    QVERIFY(w->click(QStringLiteral("sliceConfigButton")));
    QTRY_VERIFY(w->dialogVisible(QStringLiteral("sliceConfigDialog")));
    // Thicker layers, confirmed with OK: the bar tells the new job at once.
    QQuickItem *thickness = QuickItems::item(QStringLiteral("thicknessField"));
    QVERIFY(thickness);
    QuickItems::replaceText(thickness, QStringLiteral("0.1"));
    QVERIFY(w->clickDialogButton(QStringLiteral("sliceConfigDialog"), QStringLiteral("OK")));
    QTRY_VERIFY(!w->dialogVisible(QStringLiteral("sliceConfigDialog")));
    QCOMPARE(w->item(QStringLiteral("sliceConfigButton"))->property("text").toString(),
             QStringLiteral("H310, 0.1mm"));
    QCOMPARE(w->item(QStringLiteral("layersLabel"))->property("text").toString(),
             QStringLiteral("50"));
    QCOMPARE(w->config()->thicknessUM(), 100);
}

void TstMainWindow::layoutButton()
{
    // Two models opened over each other by hand, then laid out with the button.
    auto w = open({writeBoxFile(QStringLiteral("a.stl"), {0, 0, 0}, {20, 20, 5})});
    QVERIFY(w);
    Workspace *ws = w->workspace();
    w->app()->open(writeBoxFile(QStringLiteral("b.stl"), {0, 0, 0}, {20, 20, 5}));
    QCOMPARE(ws->scene()->modelSize(), 2);
    const Model *a = ws->scene()->objects()[1], *b = ws->scene()->objects()[2];
    QCOMPARE(a->bboxMin, b->bboxMin); // both on the plate centre
    QVERIFY(w->click(QStringLiteral("layoutButton")));
    QVERIFY(a->bboxMax.x() <= b->bboxMin.x() || b->bboxMax.x() <= a->bboxMin.x() ||
            a->bboxMax.y() <= b->bboxMin.y() || b->bboxMax.y() <= a->bboxMin.y());
}

void TstMainWindow::screenshots()
{
    auto w = open({writeBoxFile(QStringLiteral("a.stl"), {0, 0, 0}, {20, 10, 5})});
    QVERIFY(w);
    w->saveScreenshot(QStringLiteral("window-model"));
    for (const char *page : {"info", "move", "scale", "rotate", "flip", "support"}) {
        QVERIFY(w->click(page + QStringLiteral("Button")));
        QVERIFY(w->visibleItem(page + QStringLiteral("Page")));
        w->saveScreenshot(QStringLiteral("window-page-") + page);
    }
    QVERIFY(w->click(QStringLiteral("supportButton")));
    QVERIFY(w->click(QStringLiteral("menuButton")));
    w->saveScreenshot(QStringLiteral("window-menu"));
    QVERIFY(w->click(QStringLiteral("menuCatcher")));
    QVERIFY(!w->item(QStringLiteral("menuCatcher"))->isVisible());
}

QUOR_WINDOW_TEST_MAIN(TstMainWindow)
#include "tst_mainwindow.moc"
