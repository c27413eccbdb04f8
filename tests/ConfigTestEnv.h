#pragma once

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

// A scratch home and working directory for one test, restored afterwards.
class ConfigTestEnv
{
public:
    ConfigTestEnv()
    {
        m_oldHome = qgetenv("HOME");
        m_oldCwd = QDir::currentPath();
        qputenv("HOME", home().toLocal8Bit());
        QDir().mkpath(cwd());
        QDir().mkpath(home());
        QDir::setCurrent(cwd());
    }
    ~ConfigTestEnv()
    {
        QDir::setCurrent(m_oldCwd);
        qputenv("HOME", m_oldHome);
    }
    QString home() const { return m_dir.path() + QStringLiteral("/home"); }
    QString cwd() const { return m_dir.path() + QStringLiteral("/cwd"); }
    QString settingsPath() const { return home() + QStringLiteral("/Makora/slice.custom.conf"); }
    QString path(const QString &name) const { return m_dir.path() + QLatin1Char('/') + name; }

    // Writes a catalogue document and returns its path.
    QString writeCatalogue(const QByteArray &json) const
    {
        const QString p = path(QStringLiteral("catalogue.json"));
        QFile f(p);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(json);
        return p;
    }

    void writeSettings(const QByteArray &bytes) const
    {
        QDir().mkpath(home() + QStringLiteral("/Makora"));
        QFile f(settingsPath());
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
    }

    static QByteArray binary(const QJsonObject &obj)
    {
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        return QJsonDocument(obj).toBinaryData();
        QT_WARNING_POP
    }

    QJsonObject readSettings() const
    {
        QFile f(settingsPath());
        f.open(QIODevice::ReadOnly);
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        return QJsonDocument::fromBinaryData(f.readAll(), QJsonDocument::Validate).object();
        QT_WARNING_POP
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldHome;
    QString m_oldCwd;
};
