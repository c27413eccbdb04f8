#include "SceneMeshes.h"
#include "UiHarness.h"

#include "view/SceneRenderer.h"

#include <QtTest>

using namespace SceneMeshes;

class TstSceneView : public QObject
{
    Q_OBJECT
private slots:
    void emptyScene();
};

void TstSceneView::emptyScene()
{
    UiHarness ui;
    QCOMPARE(ui.result, 0);
    QVERIFY(ui.waitForFrames(3));
    ui.saveScreenshot(QStringLiteral("empty"));
}

QTEST_MAIN(TstSceneView)
#include "tst_sceneview.moc"
