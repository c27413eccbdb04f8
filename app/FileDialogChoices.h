#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

// What the file dialog starts from and what its choices become, for each of its modes ("Open",
// "Save", "SaveAs", "Slice"). It starts in the folder last used for its kind of file (models,
// projects, job archives), kept across runs in the settings facility beside the window's
// size; a new file's name gets its kind's extension, which Qt's widget dialog does not add.
class FileDialogChoices : public QObject
{
    Q_OBJECT
public:
    enum Kind
    {
        Models,
        Projects,
        Archives,
        KindCount
    };

    // homePath: where a dialog starts before a folder of its kind is known. projectExtension:
    // the project files' extension, with its dot.
    FileDialogChoices(const QString &homePath, const QString &projectExtension,
                      QObject *parent = nullptr);

    // The remembered folder of the mode's kind, or the nearest folder above it that still
    // exists, or home.
    Q_INVOKABLE QUrl startFolder(const QString &mode) const;
    // The files chosen in a dialog of this mode, a new file named with its kind's extension;
    // remembers their folders (in "Open" a project counts for the projects, any other file for
    // the models).
    Q_INVOKABLE QList<QUrl> chosen(const QString &mode, const QList<QUrl> &files);

    // The remembered folder of a kind, empty while there is none.
    QString folder(Kind kind) const { return m_folders[kind]; }

    // The path itself when it is an existing folder, else its nearest existing parent folder;
    // fallback for a relative or empty path.
    static QString nearestExistingFolder(const QString &path, const QString &fallback);
    // The path with the extension (with its dot) added unless it already ends with it, in any
    // case.
    static QString withExtension(const QString &path, const QString &extension);

private:
    static bool kindOfMode(const QString &mode, Kind *kind);

    QString m_home;
    QString m_extensions[KindCount];
    QString m_folders[KindCount];
};
