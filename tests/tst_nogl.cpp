// The window on a machine without OpenGL (Qt Quick's software backend, no display): the 3D
// view stays empty, and everything else still works.
#include "LogCapture.h"
#include "SceneMeshes.h"
#include "UiHarness.h"

#include <QtTest>

using namespace SceneMeshes;

class TstNoGl : public QObject
{
    Q_OBJECT
private slots:
    void windowWithoutOpenGl();
};

void TstNoGl::windowWithoutOpenGl()
{
    LogCapture log;
    UiHarness ui;
    QCOMPARE(ui.result, 0);
    QVERIFY(QTest::qWaitForWindowExposed(ui.window, 5000));
    const QString path = QDir::currentPath() + QStringLiteral("/box.stl");
    QDir().mkpath(QDir::currentPath());
    writeFile(path, binaryStl(boxTriangles({0, 0, 0}, {10, 10, 10})));
    ui.app()->open(QUrl::fromLocalFile(path));
    QCOMPARE(ui.workspace()->scene()->modelSize(), 1);
    ui.window->update();
    QTRY_VERIFY(log.contains(QStringLiteral("the 3D view needs OpenGL")));
    // The plate is there all the same, and the tools follow the model.
    QCOMPARE(ui.workspace()->scene()->objects().front()->type, int(Model::TYPE_PLATFORM_BOTTOM));
    QVERIFY(ui.item(QStringLiteral("moveButton"))->isEnabled());
}

int main(int argc, char *argv[])
{
    qputenv("QT_QUICK_BACKEND", "software");
    const std::unique_ptr<QApplication> app = UiApplication::create(argc, argv);
    TstNoGl test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_nogl.moc"
