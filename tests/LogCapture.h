#pragma once

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QtGlobal>

#include <algorithm>

// Collects every message while alive (debug included), then restores the previous handler.
class LogCapture
{
public:
    LogCapture()
    {
        s_current = this;
        m_previous = qInstallMessageHandler(&LogCapture::handler);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    QStringList lines() const
    {
        QMutexLocker lock(&m_mutex);
        return m_lines;
    }
    bool contains(const QString &text) const
    {
        const QStringList all = lines();
        for (const QString &line : all) {
            if (line.contains(text))
                return true;
        }
        return false;
    }
    int count(const QString &text) const
    {
        const QStringList all = lines();
        return int(std::count_if(all.begin(), all.end(),
                                 [&text](const QString &line) { return line.contains(text); }));
    }

private:
    static void handler(QtMsgType, const QMessageLogContext &, const QString &msg)
    {
        if (s_current) {
            QMutexLocker lock(&s_current->m_mutex);
            s_current->m_lines.append(msg);
        }
    }
    static inline LogCapture *s_current = nullptr;
    QtMessageHandler m_previous = nullptr;
    mutable QMutex m_mutex;
    QStringList m_lines;
};
