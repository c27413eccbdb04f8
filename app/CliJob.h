#pragma once

#include "app/CliIslands.h"
#include "app/CliOptions.h"

#include <QObject>

#include <cstdio>
#include <functional>

class QuorApp;
class Workspace;

// One command-line job: opens the files as the file dialog does, slices them through the
// workspace's own slicing path and reports the result.
class CliJob : public QObject
{
    Q_OBJECT
public:
    CliJob(const CliOptions &options, QuorApp &app, Workspace &workspace, FILE *out, FILE *err,
           bool progressBar);

    // Runs the job to its end; the process exit status.
    int run();

    // Asks the running job to stop (Ctrl+C); safe to call at any time on the GUI thread.
    void cancel();

private:
    void showProgress(float ratio);
    // Starts a background job and shows its progress until it reports its end.
    void runBackgroundJob(const QString &event, const std::function<void()> &start,
                          const std::function<bool()> &running);
    // Runs the automatic support generator over every model; false when it was cancelled.
    bool addAutoSupports();
    // Refuses a job with no layers, and one outside the printer's volume unless allowed;
    // true when the job may run.
    bool checkScene();
    // Finds, prints and writes the islands of the scene as it would be sliced; an exit status.
    int checkIslands();

    CliOptions m_options;
    CliIslands m_islands;
    QuorApp &m_app;
    Workspace &m_workspace;
    FILE *m_out;
    FILE *m_err;
    bool m_progressBar;
    bool m_cancelRequested = false;
    QString m_lastAlert;
    int m_lastPercent = -1;
};
