// Saving and opening project files.
#include "workspace/ProjectFile.h"
#include "workspace/ProjectSaveFile.h"
#include "workspace/QuorApp.h"
#include "workspace/SceneObjects.h"
#include "workspace/TransformController.h"
#include "workspace/Workspace.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include <exception>

bool QuorApp::writePrj()
{
    const QString path = m_prjFile.toLocalFile();
    Workspace *workspace = m_workspace;
    // Written beside the old file and renamed over it only when complete.
    ProjectSaveFile file(path);
    if (path.isEmpty() || !workspace || !file.open(QIODevice::WriteOnly)) {
        qWarning() << "open file failed" << m_prjFile;
        return false;
    }
    if (!ProjectFile::write(file, *workspace)) {
        qWarning() << "write project failed" << m_prjFile << file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commitReplacing()) {
        qWarning() << "write project failed" << m_prjFile << file.errorString();
        return false;
    }
    return true;
}

void QuorApp::savePrj()
{
    qDebug() << "QuorApp::savePrj()" << m_prjFile;
    bool saved = false;
    try {
        saved = writePrj();
    } catch (const std::exception &e) {
        qCritical() << "save exception" << e.what();
    } catch (...) {
        qCritical() << "save exception"
                    << "...";
    }
    if (!saved) {
        if (m_workspace)
            emit m_workspace->scene()->showAlert(tr("Save project failed!"));
    }
}

void QuorApp::setProjectUrl(const QUrl &url)
{
    if (url == m_prjFile)
        return;
    m_prjFile = url;
    emit prjFileChanged();
}

void QuorApp::loadPrj(const QUrl &file)
{
    qDebug() << "QuorApp::loadPrj()" << file;
    // The workspace holds this project only when it was read completely.
    setProjectUrl(readPrj(file) ? file : QUrl());
}

bool QuorApp::readPrj(const QUrl &file)
{
    Workspace *workspace = m_workspace;
    if (!workspace)
        return false;
    const QString name = QFileInfo(file.toLocalFile()).fileName();
    QFile f(file.toLocalFile());
    if (!f.open(QIODevice::ReadOnly)) {
        qWarning() << "open file failed" << file;
        emit workspace->scene()->showAlert(tr("The project %1 could not be opened.").arg(name));
        return false;
    }
    // A refused file never passes for a loaded one: the person learns what they have.
    const int before = workspace->scene()->modelSize();
    switch (ProjectFile::readProject(f, *workspace)) {
    case ProjectFile::ReadOutcome::Complete:
        return true;
    case ProjectFile::ReadOutcome::Busy:
        emit workspace->scene()->showAlert(
            tr("The project %1 was not opened: wait until the running job ends, or leave the "
               "layer preview.")
                .arg(name));
        return false;
    case ProjectFile::ReadOutcome::NotAProject:
    case ProjectFile::ReadOutcome::Damaged:
        if (workspace->scene()->modelSize() > before)
            emit workspace->scene()->showAlert(
                tr("The project %1 is damaged: it was loaded only in part.").arg(name));
        else
            emit workspace->scene()->showAlert(
                tr("The project %1 could not be loaded: it is damaged or not a project.")
                    .arg(name));
        return false;
    }
    return false;
}
