#pragma once

#include <memory>

class QApplication;

// The program's application object, made the way Qt requires it: what must be settled before
// it exists first (shared OpenGL contexts, the web engine's set-up), then the application, its
// identity and the desktop behaviour of its dialogs and buttons. main and the window tests go
// through here, so that the tests start as the program does.
namespace UiApplication {

// Before the application object: high-density scaling, the shared OpenGL contexts that the
// printer page's web view needs, and the web engine's set-up (it starts no process until a web view is made).
void prepareProcess();

// The organisation and application names (where the settings facility keeps its values) and
// the version.
void setIdentity();

// prepareProcess(), a QApplication (tool tips and the widget file dialog need one), its
// identity, then the dialogs' placement and the tips of disabled buttons. argc must outlive
// the application.
std::unique_ptr<QApplication> create(int &argc, char **argv);

} // namespace UiApplication
