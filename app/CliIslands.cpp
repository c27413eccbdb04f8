#include "app/CliIslands.h"

#include "cws/IslandScan.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <cmath>
#include <memory>

namespace {

constexpr int kLengthDecimals = 2;
constexpr int kFineDecimals = 3; // heights, areas, the thickness

// Rounded as printed, so that the text and the JSON agree; never a negative zero.
double rounded(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    const double r = std::round(value * scale) / scale;
    return r == 0.0 ? 0.0 : r;
}

QString fixed(double value, int decimals)
{
    return QString::number(rounded(value, decimals), 'f', decimals);
}

} // namespace

CliIslands::CliIslands(bool listEach, const QString &jsonPath, FILE *out, FILE *err)
    : m_listEach(listEach), m_jsonPath(jsonPath), m_out(out), m_err(err)
{
}

QString CliIslands::text(const CWS::IslandScanResult &result)
{
    QString text;
    for (const CWS::SceneIsland &island : result.islands()) {
        const QString name = result.objectName(island);
        text +=
            QStringLiteral("island layer %1 z %2 mm at %3, %4 mm area %5 mm2 object %6\n")
                .arg(island.layer())
                .arg(fixed(island.zMm(), kFineDecimals), fixed(island.xMm(), kLengthDecimals),
                     fixed(island.yMm(), kLengthDecimals), fixed(island.areaMm2(), kFineDecimals),
                     name.isEmpty() ? QStringLiteral("-") : name);
    }
    text += QStringLiteral("%1 unsupported islands\n").arg(result.islands().size());
    return text;
}

QByteArray CliIslands::json(const CWS::IslandScanResult &result)
{
    QJsonArray islands;
    for (const CWS::SceneIsland &island : result.islands()) {
        const QString name = result.objectName(island);
        islands.append(QJsonObject{
            {QStringLiteral("layer"), island.layer()},
            {QStringLiteral("zMm"), rounded(island.zMm(), kFineDecimals)},
            {QStringLiteral("xMm"), rounded(island.xMm(), kLengthDecimals)},
            {QStringLiteral("yMm"), rounded(island.yMm(), kLengthDecimals)},
            {QStringLiteral("areaMm2"), rounded(island.areaMm2(), kFineDecimals)},
            {QStringLiteral("object"), name.isEmpty() ? QJsonValue() : QJsonValue(name)}});
    }
    const QJsonObject root{
        {QStringLiteral("layers"), result.layerCount()},
        {QStringLiteral("layerThicknessMm"), rounded(result.layerThicknessMm(), kFineDecimals)},
        {QStringLiteral("islands"), islands}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

CWS::IslandScanResult CliIslands::analyse(const CWS::JobSnapshot &job,
                                          const std::function<void(float)> &progress) const
{
    const CWS::CancelToken cancel = m_cancel;
    CWS::IslandScanResult result = CWS::IslandScanResult::cancelled();
    // Receives the progress; going away with this call, it takes what is still queued along.
    QObject context;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        int shownPercent = -1;
        auto report = [&](int done, int count) {
            const int percent = int(qint64(done) * 100 / qMax(count, 1));
            if (percent == shownPercent)
                return;
            shownPercent = percent;
            QMetaObject::invokeMethod(
                &context, [&progress, percent] { progress(float(percent) / 100.0f); },
                Qt::QueuedConnection);
        };
        try {
            result = CWS::IslandScan::scan(job, cancel, report);
        } catch (...) {
            result = CWS::IslandScanResult::failed(QStringLiteral("Finding islands failed."));
        }
    }));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec();
    worker->wait();
    return result;
}

bool CliIslands::writeJson(const CWS::IslandScanResult &result) const
{
    const QByteArray data = json(result);
    QFile file(m_jsonPath);
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                   file.write(data) == data.size() && file.flush();
    const QString reason = file.errorString();
    file.close();
    written = written && file.error() == QFileDevice::NoError;
    if (written)
        return true;
    // Half a document is worse than none to whoever reads it next.
    if (QFileInfo(m_jsonPath).isFile())
        file.remove();
    std::fprintf(m_err, "quorslice-cli: %s: the islands could not be written (%s)\n",
                 qPrintable(m_jsonPath), qPrintable(reason));
    return false;
}

CliIslands::Outcome CliIslands::report(const CWS::IslandScanResult &result) const
{
    if (result.status() == CWS::IslandScanResult::Status::Cancelled) {
        std::fprintf(m_err, "quorslice-cli: cancelled while finding islands\n");
        return Outcome::Cancelled;
    }
    if (result.status() == CWS::IslandScanResult::Status::Failed) {
        std::fprintf(m_err, "quorslice-cli: %s\n", qPrintable(result.error()));
        return Outcome::Failed;
    }
    QString listing = text(result);
    if (!m_listEach)
        listing = listing.section(QLatin1Char('\n'), -2);
    std::fputs(listing.toLocal8Bit().constData(), m_out);
    std::fflush(m_out);
    if (!m_jsonPath.isEmpty() && !writeJson(result))
        return Outcome::Failed;
    return result.islands().empty() ? Outcome::NoIsland : Outcome::Found;
}
