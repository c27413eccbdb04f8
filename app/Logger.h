#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QThread>

// Log file sink: every message of every thread is appended to a dated file in
// the working directory and then passed on to the handler that was there before.
class Logger : public QThread
{
    Q_OBJECT
public:
    Logger();
    ~Logger() override;

protected:
    // One pass of old-log clean-up, then the thread ends.
    void run() override;
};

// Installed by the Logger constructor; public so tests can feed it any type value.
void quorMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &msg);

namespace LogFormat {
QString baseName();
QString levelText(QtMsgType type, const QString &msg);
QString timestamp(const QDateTime &at);
QString fileName(const QDate &day);
QString cutoffDay(const QDate &today);
bool isExpired(const QString &fileName, const QString &cutoff);
// Appends one line for the message to today's file; returns the time stamp it used.
QString appendLine(QtMsgType type, const QString &msg);
} // namespace LogFormat
