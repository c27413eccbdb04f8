#pragma once

#include <QList>
#include <QStringList>
#include <QUrl>

class QQmlApplicationEngine;
class QuorApp;
class QuorConfig;
class Workspace;
class QuorScene;

// The wiring between the program's objects and its UI documents, shared by main and the
// window tests, so that the tests run the start-up the program runs.
namespace UiStartup {

// The element types of the documents, in the module Quor3D 1.0.
void registerTypes();
// dpiRatio, quor3dApp, quor3dConfig, supportConfig, the file dialog's fileDialogChoices and the
// workspace's parts (sceneObjects, selectionTransform, supportTools, backgroundJobs,
// layerPreview, undoHistory, panelState) for the documents; the application service opens files
// into the workspace.
void publish(QQmlApplicationEngine &engine, QuorApp &app, QuorConfig &config, Workspace &workspace,
             double dpiRatio);
// Loads the main document, checks that it made the 3D scene item, hands it the workspace,
// connects what the documents cannot, and opens the files named on the command line. 0, or -1
// without a root object, or -2 without the scene item.
int loadMainDocument(QQmlApplicationEngine &engine, QuorApp &app, Workspace &workspace,
                     const QStringList &arguments,
                     const QUrl &document = QUrl(QStringLiteral("qrc:/main.qml")));

// Files named on the command line ("Open with" in a file manager): paths or file URLs; options
// are not files.
QList<QUrl> commandLineFiles(const QStringList &arguments);
// The scene item among the descendants of the first root object, or null.
QuorScene *findScene(QQmlApplicationEngine &engine);

} // namespace UiStartup
