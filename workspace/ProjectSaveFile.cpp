#include "workspace/ProjectSaveFile.h"

#include <QFile>
#include <QThreadPool>

#if defined(Q_OS_LINUX)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// Large enough that the requests cost nothing, small enough that the disk starts early.
constexpr qint64 kWritebackBytes = 2 << 20;

} // namespace

ProjectSaveFile::ProjectSaveFile(const QString &name) : QSaveFile(name) {}

qint64 ProjectSaveFile::writeData(const char *data, qint64 len)
{
    const qint64 written = QSaveFile::writeData(data, len);
    if (written <= 0)
        return written;
    m_written += written;
#if defined(Q_OS_LINUX)
    if (m_written - m_writebackFrom >= kWritebackBytes) {
        // Only starts the writing out (bytes still in Qt's buffer follow with the sync); the
        // sync at commit still decides whether the data reached the disk.
        ::sync_file_range(handle(), m_writebackFrom, 0, SYNC_FILE_RANGE_WRITE);
        m_writebackFrom = m_written;
    }
#endif
    return written;
}

bool ProjectSaveFile::commitReplacing()
{
#if defined(Q_OS_LINUX)
    // The replaced file's pages are freed when its last descriptor closes: for a large project
    // that takes as long as writing a good part of it, so the last descriptor is this one, and
    // it is closed on a pool thread.
    const int replaced =
        ::open(QFile::encodeName(fileName()).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    const bool committed = commit();
    if (replaced >= 0)
        QThreadPool::globalInstance()->start([replaced] { ::close(replaced); });
    return committed;
#else
    return commit();
#endif
}
