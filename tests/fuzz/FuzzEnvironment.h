#pragma once

#include "config/QuorConfig.h"
#include "workspace/QuorApp.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <memory>

// The services a project load needs, on a scratch home, with the log silenced.
class FuzzEnvironment
{
public:
    FuzzEnvironment(int &argc, char **argv)
    {
        qputenv("HOME", m_home.path().toLocal8Bit());
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
        m_app = std::make_unique<QCoreApplication>(argc, argv);
        m_service = std::make_unique<QuorApp>();
        m_config = std::make_unique<QuorConfig>();
        m_config->setSaveOnExit(false);
    }

    QuorApp &app() { return *m_service; }
    QuorConfig &config() { return *m_config; }

private:
    QTemporaryDir m_home;
    std::unique_ptr<QCoreApplication> m_app;
    std::unique_ptr<QuorApp> m_service;
    std::unique_ptr<QuorConfig> m_config;
};
