#pragma once

#include <QObject>
#include <QSize>

class QCoreApplication;
class QWidget;
class QWindow;

// Dialogs open centred over the window they belong to and on its screen: the documents'
// message dialogs, the slice settings, the printer wizard and the widget file dialog, whose
// helper knows nothing of the main window's place. The file dialog also opens large enough to
// show its columns whole. Watches every window of the application as it is shown.
class DialogPlacement : public QObject
{
    Q_OBJECT
public:
    static constexpr QSize kFileDialogMinimum{800, 500};

    // Installs itself on the application, which owns it.
    explicit DialogPlacement(QCoreApplication *app);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static void placeWidget(QWidget *dialog);
    static void placeWindow(QWindow *dialog);
};
