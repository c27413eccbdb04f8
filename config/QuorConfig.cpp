#include "config/QuorConfig.h"

#include "config/SettingRanges.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>
#include <limits>

static void initConfigResources()
{
    Q_INIT_RESOURCE(conf);
}

namespace {

const QString kSettingsFileName = QStringLiteral("slice.custom.conf");
// A real settings file is a few hundred bytes; anything far larger is not one of ours.
const qint64 kMaxSettingsFileBytes = 1 << 20;

QByteArray toBinaryJson(const QJsonObject &obj)
{
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    return QJsonDocument(obj).toBinaryData();
    QT_WARNING_POP
}

QJsonDocument fromBinaryJson(const QByteArray &bytes)
{
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    return QJsonDocument::fromBinaryData(bytes, QJsonDocument::Validate);
    QT_WARNING_POP
}

// A stored number the job can work with, or nothing (then the key counts as absent).
bool usableNumber(const QJsonValue &v, double minimum, bool minimumAllowed, double *out)
{
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    if (!std::isfinite(d) || d > double(std::numeric_limits<int>::max()))
        return false;
    if (minimumAllowed ? d < minimum : d <= minimum)
        return false;
    *out = d;
    return true;
}

} // namespace

const char *const QuorConfig::kDefaultCataloguePath = ":/conf/defaultConf.json";

QuorConfig::QuorConfig(const QString &cataloguePath, QObject *parent)
    : QObject(parent), m_defaultConfPath(cataloguePath)
{
    initConfigResources();

    const QString home = QDir::homePath();
    m_customConfPath = home + QLatin1Char('/') + appName() + QLatin1Char('/') + kSettingsFileName;
    QDir homeDir(home);
    if (!homeDir.exists(appName()))
        homeDir.mkpath(appName());

    const QString oldPath = QDir::currentPath() + QLatin1Char('/') + kSettingsFileName;
    if (!QFile::exists(m_customConfPath) && QFile::exists(oldPath)) {
        qDebug() << "mv" << oldPath << "to" << m_customConfPath;
        if (QFile::rename(oldPath, m_customConfPath))
            qDebug() << "mv succeed";
        else
            qDebug() << "mv failed";
    }

    m_resinNames.insert(QStringLiteral("gang"), tr("Rigid resin"));
    m_resinNames.insert(QStringLiteral("tan"), tr("Elastic resin"));
    m_resinNames.insert(QStringLiteral("ren"), tr("Toughness resin"));
    m_resinNames.insert(QStringLiteral("zhu"), tr("Foundry Resin"));

    const int loaded = loadDefaultConf();
    qDebug() << "load" << loaded;
}

QuorConfig::~QuorConfig()
{
    if (m_saveOnExit)
        save();
    qDebug() << "~ modelIndex:" << m_modelIndex;
}

QuorConfig::ChangeNotice::ChangeNotice(QuorConfig *config)
    : m_config(config), m_before(config->observed())
{
    ++m_config->m_changeDepth;
}

QuorConfig::ChangeNotice::~ChangeNotice()
{
    if (--m_config->m_changeDepth == 0)
        m_config->announceChangesSince(m_before);
}

QuorConfig::Observed QuorConfig::observed() const
{
    return Observed{m_modelIndex,
                    m_resinIndex,
                    m_thicknessUM,
                    m_bottomLayerNum,
                    m_bottomExpoMS,
                    m_normalExpoMS,
                    m_useAntialise,
                    m_antiAliseValue,
                    m_buildConfig.liftHeightMm,
                    m_buildConfig.liftUpSpeedMmPerMin,
                    m_buildConfig.liftDownSpeedMmPerMin,
                    m_buildConfig.waitSecAfterStop};
}

void QuorConfig::announceChangesSince(const Observed &before)
{
    const Observed now = observed();
    const bool model = now.modelIndex != before.modelIndex;
    const bool job =
        model || now.resinIndex != before.resinIndex || now.thicknessUM != before.thicknessUM ||
        now.bottomLayerNum != before.bottomLayerNum || now.bottomExpoMS != before.bottomExpoMS ||
        now.normalExpoMS != before.normalExpoMS || now.useAntialise != before.useAntialise ||
        now.antiAliseValue != before.antiAliseValue;
    const bool lift = now.liftHeight != before.liftHeight ||
                      now.liftUpSpeed != before.liftUpSpeed ||
                      now.liftDownSpeed != before.liftDownSpeed ||
                      now.waitSecAfterStop != before.waitSecAfterStop;
    if (model)
        emit modelIndexChanged();
    if (job)
        emit sliceSettingsChanged();
    if (lift)
        emit liftAdvCfgChanged();
}

QString QuorConfig::sliceDescription() const
{
    return m_modelList.value(m_modelIndex) + QStringLiteral(", ") +
           QString::number(double(m_thicknessUM) / 1000.0) + QStringLiteral("mm");
}

int QuorConfig::loadDefaultConf()
{
    ChangeNotice notice(this);
    try {
        QFile file(m_defaultConfPath);
        if (!file.exists() || !file.open(QIODevice::ReadOnly))
            qFatal("open default config failed");
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
        if (error.error != QJsonParseError::NoError) {
            qCritical() << "parse json failed" << error.error << error.offset
                        << error.errorString();
            qFatal("parse json failed");
        }
        if (!doc.isObject())
            return -2;

        m_catalogue.load(doc.object());

        loadCustomConf();
        updateQmlModel(true);
        syncBuildConfig();
        qDebug() << "load config from file end";
        return 1;
    } catch (...) {
        qWarning() << "parse json exception";
        return -3;
    }
}

void QuorConfig::updateQmlModel(bool applyDefaults)
{
    ChangeNotice notice(this);
    qDebug() << "updateQmlModel";
    m_modelList = m_catalogue.models.keys();
    if (m_modelIndex < 0 || m_modelIndex >= m_modelList.size())
        m_modelIndex = 0;
    qDebug() << "printer model" << m_modelIndex << m_modelList.value(m_modelIndex);
    qDebug() << m_modelList;
    refreshResinList();
    if (applyDefaults) {
        if (!m_settingsLoaded) {
            const ResinConfig rc = getResinConfig(m_modelIndex, m_resinIndex, m_thicknessUM);
            m_bottomLayerNum = rc.bottomLayerNum;
            m_bottomExpoMS = rc.bottomExpoMS;
            m_normalExpoMS = rc.normalExpoMS;
        }
        qDebug() << "updateQmlModel end";
    }
}

QString QuorConfig::resinDisplayName(const QString &key)
{
    return m_resinNames[key]; // an unknown key gets an empty name, added on first look-up
}

void QuorConfig::refreshResinList()
{
    ChangeNotice notice(this);
    m_resinKeys.clear();
    m_resinDisplayNames.clear();
    const ResinTable resins = currentPrinterModel().resins;
    for (auto it = resins.constBegin(); it != resins.constEnd(); ++it) {
        m_resinKeys.append(it.key());
        m_resinDisplayNames.append(resinDisplayName(it.key()));
    }
    if (m_resinIndex < 0 || m_resinIndex >= m_resinKeys.size())
        m_resinIndex = 0;
    qDebug() << "resin" << m_resinIndex << m_resinKeys.value(m_resinIndex)
             << m_resinDisplayNames.value(m_resinIndex);
    qDebug() << m_resinKeys << m_resinDisplayNames;
}

PrinterModelConfig QuorConfig::currentPrinterModel() const
{
    if (m_modelIndex < 0 || m_modelIndex >= m_modelList.size())
        return PrinterModelConfig();
    return m_catalogue.models.value(m_modelList.at(m_modelIndex));
}

ResinConfig QuorConfig::getResinConfig(uint iPrinter, uint iResin, uint thick)
{
    ChangeNotice notice(this);
    // Positions beyond int range cannot be valid; they are reset like any other bad index.
    m_modelIndex = iPrinter > uint(std::numeric_limits<int>::max()) ? -1 : int(iPrinter);
    m_resinIndex = iResin > uint(std::numeric_limits<int>::max()) ? -1 : int(iResin);
    updateQmlModel(false);
    qDebug() << "getResinConfig" << iPrinter << iResin << thick;
    qDebug() << "model" << m_modelList.value(m_modelIndex);

    const QVector<ResinConfig> rows =
        currentPrinterModel().resins.value(m_resinKeys.value(m_resinIndex));
    if (rows.isEmpty())
        return ResinConfig();
    if (thick == 0)
        return rows.first();
    for (const ResinConfig &row : rows) {
        if (row.thicknessUM >= 0 && uint(row.thicknessUM) == thick)
            return row;
    }
    return PrinterCatalogue::deriveResinConfig(rows.first(), thick);
}

void QuorConfig::setModelIndex(int i)
{
    ChangeNotice notice(this);
    m_modelIndex = i;
}

void QuorConfig::setResinIndex(int i)
{
    ChangeNotice notice(this);
    m_resinIndex = i;
}

void QuorConfig::setThicknessMM(float t)
{
    ChangeNotice notice(this);
    m_thicknessUM = qRound(float(SettingRanges::thicknessMm.clamped(t)) * 1000.0f);
}

void QuorConfig::setBottomLayerNum(int n)
{
    ChangeNotice notice(this);
    m_bottomLayerNum = int(SettingRanges::bottomLayers.clamped(n));
}

void QuorConfig::setBottomExpoSec(float sec)
{
    ChangeNotice notice(this);
    m_bottomExpoMS = qRound(float(SettingRanges::bottomExposureSec.clamped(sec)) * 10.0f) * 100;
}

void QuorConfig::setNormalExpoSec(float sec)
{
    ChangeNotice notice(this);
    m_normalExpoMS = qRound(float(SettingRanges::exposureSec.clamped(sec)) * 10.0f) * 100;
}

void QuorConfig::useAntialise(bool use)
{
    ChangeNotice notice(this);
    m_useAntialise = use;
}

float QuorConfig::antiAliseValue() const
{
    return qRound(m_antiAliseValue * 10.0f) / 10.0f;
}

void QuorConfig::antiAliseValue(float v)
{
    ChangeNotice notice(this);
    m_antiAliseValue = qRound(float(SettingRanges::antiAliasFactor.clamped(v)) * 10.0f) / 10.0f;
}

QStringList QuorConfig::getAllResinTypesModel(int iModel)
{
    qDebug() << "getAllResinTypesModel";
    if (iModel >= 0)
        refreshResinList();
    return m_resinDisplayNames;
}

QStringList QuorConfig::getConfig(uint iPrinter, uint iResin, uint thick)
{
    const ResinConfig rc = getResinConfig(iPrinter, iResin, thick);
    return QStringList{QString::number(rc.reserved), QString::number(rc.thicknessUM),
                       QString::number(rc.bottomLayerNum), QString::number(rc.bottomExpoMS),
                       QString::number(rc.normalExpoMS)};
}

void QuorConfig::addPrinterInstance(QString ip)
{
    m_printerIPList.append(ip);
    m_printerIPList.removeDuplicates();
    save();
}

void QuorConfig::delPrinterInstance(QString ip)
{
    m_printerIPList.removeAll(ip);
    save();
}

void QuorConfig::syncBuildConfig()
{
    const PrinterModelConfig m = currentPrinterModel();
    m_buildConfig.layerThicknessMm = float(m_thicknessUM) / 1000.0f;
    m_buildConfig.bottomLayerCount = m_bottomLayerNum;
    m_buildConfig.bottomExpoMs = m_bottomExpoMS;
    m_buildConfig.normalExpoMs = m_normalExpoMS;
    m_buildConfig.xPixelsPerMm = double(m.xppmm);
    m_buildConfig.yPixelsPerMm = double(m.yppmm);
    // The build size is cut to whole millimetres before it meets the pixel density.
    m_buildConfig.imageWidthPx = int(float(int(m.vx)) * m.xppmm);
    m_buildConfig.imageHeightPx = int(float(int(m.vy)) * m.yppmm);
    emit jobSettingsChanged();
}

void QuorConfig::setLiftHeight(float mm)
{
    ChangeNotice notice(this);
    m_buildConfig.liftHeightMm = float(SettingRanges::liftHeightMm.clamped(mm));
}

void QuorConfig::setLiftUpSpeed(float mmPerMin)
{
    ChangeNotice notice(this);
    m_buildConfig.liftUpSpeedMmPerMin = float(SettingRanges::liftUpSpeedMmPerMin.clamped(mmPerMin));
}

void QuorConfig::setLiftDownSpeed(float mmPerMin)
{
    ChangeNotice notice(this);
    m_buildConfig.liftDownSpeedMmPerMin =
        float(SettingRanges::liftDownSpeedMmPerMin.clamped(mmPerMin));
}

void QuorConfig::setWaitSecAfterStop(float sec)
{
    ChangeNotice notice(this);
    m_buildConfig.waitSecAfterStop = float(SettingRanges::waitSec.clamped(sec));
}

bool QuorConfig::loadCustomConf()
{
    ChangeNotice notice(this);
    qDebug() << "load custom config" << m_customConfPath;
    QFile file(m_customConfPath);
    if (!file.open(QIODevice::ReadOnly)) {
        qDebug() << "open fail failed" << m_customConfPath;
        return false;
    }
    if (file.size() > kMaxSettingsFileBytes) {
        qDebug() << "no object found";
        return false;
    }
    const QJsonDocument doc = fromBinaryJson(file.readAll());
    if (!doc.isObject()) {
        qDebug() << "no object found";
        return false;
    }
    const QJsonObject obj = doc.object();
    qDebug() << "load json obj:" << obj;
    readSettings(obj);
    m_settingsLoaded = true;
    return true;
}

void QuorConfig::readSettings(const QJsonObject &obj)
{
    // Values the job cannot work with (zero thickness, negative exposure, zero speed) are
    // treated as absent; everything the settings dialog can produce passes.
    const auto readInt = [&](const char *key, double minimum, bool minimumAllowed, int *target) {
        double d;
        if (usableNumber(obj.value(QLatin1String(key)), minimum, minimumAllowed, &d))
            *target = int(float(d)); // narrowed to float, then truncated
    };
    const double any = -double(std::numeric_limits<int>::max());

    readInt("modelIndex", any, true, &m_modelIndex);
    readInt("resinIndex", any, true, &m_resinIndex);
    readInt("thicknessUM", 0.0, false, &m_thicknessUM);
    m_bottomLayerNum = m_catalogue.firstLayers;
    readInt("bottomLayerNum", 0.0, true, &m_bottomLayerNum);
    readInt("bottomExpoMS", 0.0, true, &m_bottomExpoMS);
    readInt("normalExpoMS", 0.0, true, &m_normalExpoMS);

    const QJsonValue aa = obj.value(QLatin1String("useAntialise"));
    if (aa.isBool())
        m_useAntialise = aa.toBool();
    double d;
    if (usableNumber(obj.value(QLatin1String("antiAliseValue")), 0.0, false, &d) &&
        qRound(d * 10.0) > 0)
        m_antiAliseValue = float(qRound(d * 10.0) / 10.0);

    const auto readFloat = [&](const char *key, double minimum, bool minimumAllowed,
                               float fallback) {
        double v;
        return usableNumber(obj.value(QLatin1String(key)), minimum, minimumAllowed, &v) ? float(v)
                                                                                        : fallback;
    };
    m_buildConfig.liftHeightMm = readFloat("liftHeight", 0.0, true, m_catalogue.liftHeight);
    m_buildConfig.liftUpSpeedMmPerMin =
        readFloat("liftUpSpeed", 0.0, false, m_catalogue.liftUpSpeed);
    m_buildConfig.liftDownSpeedMmPerMin =
        readFloat("liftDownSpeed", 0.0, false, m_catalogue.liftDownSpeed);
    m_buildConfig.waitSecAfterStop =
        readFloat("waitSecAfterStop", 0.0, true, m_buildConfig.waitSecAfterStop);

    const QString ips = obj.value(QLatin1String("printerIPList")).toString();
    if (!ips.isEmpty())
        m_printerIPList = ips.split(QLatin1Char(','), Qt::KeepEmptyParts);
}

bool QuorConfig::save()
{
    syncBuildConfig();
    // Written beside the old file and renamed over it, so a failed save never truncates it.
    QSaveFile file(m_customConfPath);
    if (!file.open(QIODevice::WriteOnly)) {
        qDebug() << "open" << m_customConfPath << "for write fail";
        return false;
    }
    QJsonObject obj;
    obj.insert(QStringLiteral("modelIndex"), m_modelIndex);
    obj.insert(QStringLiteral("resinIndex"), m_resinIndex);
    obj.insert(QStringLiteral("thicknessUM"), m_thicknessUM);
    obj.insert(QStringLiteral("bottomLayerNum"), m_bottomLayerNum);
    obj.insert(QStringLiteral("bottomExpoMS"), m_bottomExpoMS);
    obj.insert(QStringLiteral("normalExpoMS"), m_normalExpoMS);
    obj.insert(QStringLiteral("useAntialise"), m_useAntialise);
    obj.insert(QStringLiteral("antiAliseValue"), double(qRound(m_antiAliseValue * 10.0f)) / 10.0);
    obj.insert(QStringLiteral("liftHeight"), double(m_buildConfig.liftHeightMm));
    obj.insert(QStringLiteral("liftUpSpeed"), double(m_buildConfig.liftUpSpeedMmPerMin));
    obj.insert(QStringLiteral("liftDownSpeed"), double(m_buildConfig.liftDownSpeedMmPerMin));
    obj.insert(QStringLiteral("waitSecAfterStop"), double(m_buildConfig.waitSecAfterStop));
    obj.insert(QStringLiteral("printerIPList"), m_printerIPList.join(QLatin1Char(',')));
    qDebug() << "save obj: " << obj;

    const QByteArray bytes = toBinaryJson(obj);
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        qDebug() << "open" << m_customConfPath << "for write fail";
        return false;
    }
    m_settingsLoaded = true;
    qDebug() << "write custom config to file succeed" << m_customConfPath;
    return true;
}
