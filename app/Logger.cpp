#include "app/Logger.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QTextStream>

namespace {
// Saved before main runs: installing the null handler hands back the framework's default.
const QtMessageHandler g_previousHandler = qInstallMessageHandler(nullptr);
const QString g_logBaseName = QStringLiteral("quor3d");
} // namespace

namespace LogFormat {

QString baseName()
{
    return g_logBaseName;
}

QString levelText(QtMsgType type, const QString &msg)
{
    switch (static_cast<int>(type)) {
    case QtDebugMsg:
        return QStringLiteral("Debug: %1").arg(msg);
    case QtWarningMsg:
        return QStringLiteral("Warning: %1").arg(msg);
    case QtCriticalMsg:
        return QStringLiteral("Critical: %1").arg(msg);
    case QtFatalMsg:
        return QStringLiteral("Fatal: %1").arg(msg);
    case QtInfoMsg:
        return QStringLiteral("Info: %1").arg(msg);
    default:
        return QStringLiteral("Default: %1").arg(msg);
    }
}

QString timestamp(const QDateTime &at)
{
    return at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss "));
}

QString fileName(const QDate &day)
{
    return g_logBaseName + QLatin1Char('.') + day.toString(QStringLiteral("yyyyMMdd")) +
           QStringLiteral(".log");
}

QString cutoffDay(const QDate &today)
{
    return today.addDays(-7).toString(QStringLiteral("yyyyMMdd"));
}

bool isExpired(const QString &fileName, const QString &cutoff)
{
    const QStringList parts =
        fileName.split(QLatin1Char('.'), Qt::KeepEmptyParts, Qt::CaseSensitive);
    // Only base.yyyyMMdd.log; a file dated exactly seven days ago is not below the cut-off.
    return parts.size() == 3 && parts.at(1).size() == 8 && parts.at(1) < cutoff;
}

} // namespace LogFormat

QString LogFormat::appendLine(QtMsgType type, const QString &msg)
{
    const QString line = levelText(type, msg);
    const QDateTime now = QDateTime::currentDateTime();
    const QString stamp = timestamp(now);
    // A fresh open/append/close per message: no state shared between threads.
    QFile file(fileName(now.date()));
    if (file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        QTextStream out(&file);
        out << stamp << line << Qt::endl;
    }
    file.close();
    return stamp;
}

void quorMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    const QString stamp = LogFormat::appendLine(type, msg);
    if (g_previousHandler)
        g_previousHandler(type, context, stamp + msg);
}

Logger::Logger() : QThread(nullptr)
{
    qInstallMessageHandler(quorMessageHandler);
}

// The clean-up is short, but a running thread must never be destroyed.
Logger::~Logger()
{
    wait();
}

void Logger::run()
{
    QDir dir = QDir::current();
    qDebug() << "cur path: " << dir.path();
    const QString cutoff = LogFormat::cutoffDay(QDate::currentDate());
    qDebug() << "log end day" << cutoff;

    const QStringList entries = dir.entryList(QStringList{g_logBaseName + QStringLiteral(".*.log")},
                                              QDir::NoFilter, QDir::NoSort);
    for (const QString &name : entries) {
        if (!LogFormat::isExpired(name, cutoff))
            continue;
        const bool removed = dir.remove(name);
        qDebug() << "del old log" << name << removed;
    }
}
