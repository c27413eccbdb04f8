#pragma once

#include <QSaveFile>

// The project's atomic replace (a temporary file renamed over the old one once complete, and
// synced to disk first), arranged so that the user waits as little as possible: the disk
// starts writing the data while more of it is still being produced, so the final sync has
// little left to wait for, and the replaced file is released in the background.
class ProjectSaveFile : public QSaveFile
{
public:
    explicit ProjectSaveFile(const QString &name);

    // QSaveFile::commit, releasing the replaced file on another thread.
    bool commitReplacing();

protected:
    qint64 writeData(const char *data, qint64 len) override;

private:
    qint64 m_written = 0;
    qint64 m_writebackFrom = 0;
};
