#pragma once

#include "cws/CancelToken.h"
#include "cws/IslandScanResult.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <functional>

namespace CWS {
class JobSnapshot;
} // namespace CWS

// The island check of a command-line job: finds where the scene would start printing in
// mid-air, lists the islands on the output and writes them as JSON. X and Y are printed to
// 0.01 mm, heights and areas to 0.001 (the settings' micrometres), the same in both forms.
class CliIslands
{
public:
    enum class Outcome
    {
        NoIsland,
        Found,
        Failed, // the analysis, or writing the JSON file; said on the error stream
        Cancelled
    };

    // jsonPath empty: no JSON file. listEach false: the count line only.
    CliIslands(bool listEach, const QString &jsonPath, FILE *out, FILE *err);

    // Analyses the job on a worker thread while the event loop runs, so that an interrupt
    // still reaches cancel(); progress (0 to 1) comes on the calling thread.
    CWS::IslandScanResult analyse(const CWS::JobSnapshot &job,
                                  const std::function<void(float)> &progress) const;
    // Safe at any time on the calling thread.
    void cancel() const { m_cancel.cancel(); }
    // Prints the islands (or why there are none to print) and writes the JSON file.
    Outcome report(const CWS::IslandScanResult &result) const;

    // One line an island, then the count.
    static QString text(const CWS::IslandScanResult &result);
    static QByteArray json(const CWS::IslandScanResult &result);

private:
    bool writeJson(const CWS::IslandScanResult &result) const;

    bool m_listEach;
    QString m_jsonPath;
    FILE *m_out;
    FILE *m_err;
    CWS::CancelToken m_cancel;
};
