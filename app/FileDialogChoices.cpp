#include "app/FileDialogChoices.h"

#include "workspace/QuorApp.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

const char *const kKeys[FileDialogChoices::KindCount] = {
    "fileDialog/modelsFolder", "fileDialog/projectsFolder", "fileDialog/archivesFolder"};

} // namespace

FileDialogChoices::FileDialogChoices(const QString &homePath, const QString &projectExtension,
                                     QObject *parent)
    : QObject(parent), m_home(homePath)
{
    // Models are only opened: their names are the files'.
    m_extensions[Projects] = projectExtension;
    m_extensions[Archives] = QStringLiteral(".cws");
    const QSettings settings;
    for (int k = 0; k < KindCount; ++k)
        m_folders[k] = settings.value(QLatin1String(kKeys[k])).toString();
}

bool FileDialogChoices::kindOfMode(const QString &mode, Kind *kind)
{
    if (mode == QLatin1String("Open"))
        *kind = Models;
    else if (mode == QLatin1String("Save") || mode == QLatin1String("SaveAs"))
        *kind = Projects;
    else if (mode == QLatin1String("Slice"))
        *kind = Archives;
    else
        return false;
    return true;
}

QUrl FileDialogChoices::startFolder(const QString &mode) const
{
    Kind kind;
    const QString remembered = kindOfMode(mode, &kind) ? m_folders[kind] : QString();
    return QUrl::fromLocalFile(nearestExistingFolder(remembered, m_home));
}

QList<QUrl> FileDialogChoices::chosen(const QString &mode, const QList<QUrl> &files)
{
    Kind kind;
    if (!kindOfMode(mode, &kind))
        return files;
    QList<QUrl> named;
    QSettings settings;
    for (const QUrl &file : files) {
        if (!file.isLocalFile()) {
            named << file;
            continue;
        }
        const QString path = m_extensions[kind].isEmpty()
                                 ? file.toLocalFile()
                                 : withExtension(file.toLocalFile(), m_extensions[kind]);
        named << QUrl::fromLocalFile(path);
        const Kind of = kind == Models && QuorApp::isProjectFile(file) ? Projects : kind;
        m_folders[of] = QFileInfo(path).absolutePath();
        settings.setValue(QLatin1String(kKeys[of]), m_folders[of]);
    }
    return named;
}

QString FileDialogChoices::nearestExistingFolder(const QString &path, const QString &fallback)
{
    if (path.isEmpty() || QDir::isRelativePath(path))
        return fallback;
    QString current = QDir::cleanPath(path);
    while (!QFileInfo(current).isDir()) {
        const QString up = QFileInfo(current).path();
        if (up == current)
            return fallback;
        current = up;
    }
    return current;
}

QString FileDialogChoices::withExtension(const QString &path, const QString &extension)
{
    return path.endsWith(extension, Qt::CaseInsensitive) ? path : path + extension;
}
