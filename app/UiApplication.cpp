#include "app/UiApplication.h"

#include "app/DialogPlacement.h"
#include "app/DisabledButtonTips.h"
#include "app/ProgramInfo.h"

#include <QApplication>
#include <QtWebEngine/qtwebengineglobal.h>

#include <unistd.h>

namespace UiApplication {

void prepareProcess()
{
    // The web view draws through a context shared with the window's: Qt shares contexts only
    // when asked before the application object exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // Drawn at the screen's density: a 4K laptop screen shows the window at its real size.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    // The web engine's sandbox cannot start for root; the printer page still works without it.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QtWebEngine::initialize();
}

void setIdentity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Quor3D"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("quor3d.com"));
    QCoreApplication::setApplicationName(ProgramInfo::applicationName());
    QCoreApplication::setApplicationVersion(ProgramInfo::version());
    QGuiApplication::setDesktopFileName(ProgramInfo::desktopId());
}

std::unique_ptr<QApplication> create(int &argc, char **argv)
{
    prepareProcess();
    auto app = std::make_unique<QApplication>(argc, argv);
    setIdentity();
    new DialogPlacement(app.get());
    new DisabledButtonTips(app.get());
    return app;
}

} // namespace UiApplication
