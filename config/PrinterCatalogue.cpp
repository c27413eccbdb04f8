#include "config/PrinterCatalogue.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonValue>

#include <algorithm>
#include <cmath>

namespace {

const qint32 kMaxExposureMs = 180000;

float numberOr(const QJsonValue &v, float fallback)
{
    return v.isDouble() ? float(v.toDouble()) : fallback;
}

// Truncated toward zero; values beyond the 32-bit range are limited instead of overflowing.
qint32 toInt32(double d)
{
    if (!(d == d))
        return 0;
    return static_cast<qint32>(std::clamp(d, -2147483648.0, 2147483647.0));
}

} // namespace

void PrinterCatalogue::load(const QJsonObject &root)
{
    loadDefaults(root.value(QStringLiteral("defaultConfs")).toObject());
    loadResinGroups(root.value(QStringLiteral("resinGroups")).toObject());
    loadLcds(root.value(QStringLiteral("lcds")).toObject());
    loadModels(root.value(QStringLiteral("models")).toObject());
}

void PrinterCatalogue::loadDefaults(const QJsonObject &defaults)
{
    const QJsonValue first = defaults.value(QStringLiteral("firstLayers"));
    if (first.isDouble())
        firstLayers = toInt32(first.toDouble());
    liftHeight = numberOr(defaults.value(QStringLiteral("liftHeight")), liftHeight);
    liftUpSpeed = numberOr(defaults.value(QStringLiteral("liftUpSpeed")), liftUpSpeed);
    liftDownSpeed = numberOr(defaults.value(QStringLiteral("liftDownSpeed")), liftDownSpeed);
    qDebug() << "load default" << firstLayers << liftHeight << liftUpSpeed << liftDownSpeed;
}

void PrinterCatalogue::loadResinGroups(const QJsonObject &groups)
{
    for (auto it = groups.constBegin(); it != groups.constEnd(); ++it) {
        const QString id = it.key();
        qDebug() << "load resin group" << id;
        if (resinGroups.contains(id))
            qWarning() << "overwrite repeated gid" << id;
        ResinTable table;
        parseResinTable(it.value().toObject(), table, firstLayers);
        if (table.isEmpty()) {
            qWarning() << "empty group" << id;
            continue;
        }
        resinGroups.insert(id, table);
    }
}

void PrinterCatalogue::parseResinTable(const QJsonObject &table, ResinTable &target,
                                       int firstLayers)
{
    for (auto it = table.constBegin(); it != table.constEnd(); ++it) {
        const QString key = it.key();
        if (key == QLatin1String("_comment_"))
            continue;
        if (target.contains(key))
            qWarning() << "overwite repeated resin type" << key;
        qDebug() << "load resin" << key;

        QVector<ResinConfig> rows;
        const QJsonArray array = it.value().toArray();
        for (const QJsonValue &element : array) {
            const QJsonArray row = element.toArray();
            if (row.size() <= 2) {
                qWarning() << "invalid resin config" << row;
                continue;
            }
            ResinConfig rc;
            rc.thicknessUM = toInt32(row.at(0).toDouble());
            // Seconds to milliseconds, truncated toward zero.
            rc.bottomExpoMS = toInt32(row.at(1).toDouble() * 1000.0);
            rc.normalExpoMS = toInt32(row.at(2).toDouble() * 1000.0);
            rc.bottomLayerNum = row.size() >= 4 ? toInt32(row.at(3).toDouble()) : firstLayers;
            qDebug() << "load resin config" << rc.reserved << rc.thicknessUM << rc.bottomLayerNum
                     << rc.bottomExpoMS << rc.normalExpoMS;
            rows.append(rc);
        }
        if (rows.isEmpty()) {
            qWarning() << "no value for resin" << key;
            continue;
        }
        target.insert(key, rows);
    }
}

LcdInfo PrinterCatalogue::parseLcd(const QJsonObject &lcd)
{
    LcdInfo info;
    const QJsonValue x = lcd.value(QStringLiteral("x"));
    const QJsonValue y = lcd.value(QStringLiteral("y"));
    info.xPx = x.isDouble() ? toInt32(x.toDouble()) : 1440;
    info.yPx = y.isDouble() ? toInt32(y.toDouble()) : 2560;
    info.xppmm = numberOr(lcd.value(QStringLiteral("xppmm")), 21.164f);
    info.yppmm = numberOr(lcd.value(QStringLiteral("yppmm")), 21.164f);
    return info;
}

void PrinterCatalogue::loadLcds(const QJsonObject &lcdObjects)
{
    for (auto it = lcdObjects.constBegin(); it != lcdObjects.constEnd(); ++it) {
        const LcdInfo info = parseLcd(it.value().toObject());
        lcds.insert(it.key(), info);
        qDebug() << "load lcd" << it.key() << info.toLogString();
    }
}

void PrinterCatalogue::loadModels(const QJsonObject &modelObjects)
{
    QVector<QPair<QString, QJsonObject>> pending;
    for (auto it = modelObjects.constBegin(); it != modelObjects.constEnd(); ++it)
        pending.append({it.key(), it.value().toObject()});

    // Enough visits for a chain of bases in the worst key order (one resolved per round),
    // and a guaranteed end when bases are missing or circular.
    const qint64 n = pending.size();
    qint64 budget = n * (n + 1) / 2 + 1;
    int next = 0;
    while (!pending.isEmpty()) {
        if (--budget <= 0)
            break;
        if (next >= pending.size())
            next = 0;
        const auto &entry = pending.at(next);
        if (!resolveModel(entry.first, entry.second)) {
            ++next;
            continue;
        }
        pending.removeAt(next);
    }
}

bool PrinterCatalogue::resolveModel(const QString &name, const QJsonObject &object)
{
    PrinterModelConfig record;
    record.name = name;
    qDebug() << "parse model" << name;

    if (object.contains(QStringLiteral("based"))) {
        const QString base = object.value(QStringLiteral("based")).toString();
        auto found = models.constFind(base);
        if (found == models.constEnd())
            return false;
        record = found.value();
        record.name = name;
    }
    if (models.contains(name))
        qCritical() << "repeated model will be overwrited" << name;

    if (object.contains(QStringLiteral("lcd"))) {
        const QString id = object.value(QStringLiteral("lcd")).toString();
        auto lcd = lcds.constFind(id);
        if (lcd == lcds.constEnd()) {
            qWarning() << "invalid lcd id" << id;
        } else {
            record.x = lcd->xPx;
            record.y = lcd->yPx;
            record.xppmm = lcd->xppmm;
            record.yppmm = lcd->yppmm;
        }
    }

    if (object.contains(QStringLiteral("liftHeight")))
        record.liftHeight = numberOr(object.value(QStringLiteral("liftHeight")), liftHeight);
    if (object.contains(QStringLiteral("liftUpSpeed")))
        record.liftUpSpeed = numberOr(object.value(QStringLiteral("liftUpSpeed")), liftUpSpeed);
    if (object.contains(QStringLiteral("liftDownSpeed")))
        record.liftDownSpeed =
            numberOr(object.value(QStringLiteral("liftDownSpeed")), liftDownSpeed);

    if (record.x > 0 && record.y > 0 && record.xppmm > 0.0f && record.yppmm > 0.0f) {
        if (object.contains(QStringLiteral("vx")))
            record.vx = numberOr(object.value(QStringLiteral("vx")),
                                 float(record.x) / record.xppmm * 0.999f);
        if (object.contains(QStringLiteral("vy")))
            record.vy = numberOr(object.value(QStringLiteral("vy")),
                                 float(record.y) / record.yppmm * 0.999f);
        if (object.contains(QStringLiteral("vz")))
            record.vz = numberOr(object.value(QStringLiteral("vz")), 0.0f);
    } else {
        qCritical() << "invalid printer lcd config";
    }

    if (object.contains(QStringLiteral("resinGroup"))) {
        const QString gid = object.value(QStringLiteral("resinGroup")).toString();
        auto group = resinGroups.constFind(gid);
        if (group == resinGroups.constEnd())
            qWarning() << "invalid resin gid" << gid;
        else
            record.resins = group.value();
    }
    if (object.contains(QStringLiteral("resins")))
        parseResinTable(object.value(QStringLiteral("resins")).toObject(), record.resins,
                        firstLayers);

    if (record.isValid()) {
        qDebug() << "read printer succeed" << name;
        models.insert(name, record);
    } else {
        qCritical() << "invalide printer" << name;
    }
    return true;
}

ResinConfig PrinterCatalogue::deriveResinConfig(const ResinConfig &first, quint32 thicknessUM)
{
    ResinConfig derived = first;
    derived.thicknessUM = static_cast<qint32>(thicknessUM);
    if (first.thicknessUM <= 0)
        return derived; // nothing to scale from
    const float ratio = float(thicknessUM) / float(first.thicknessUM);
    // Limit before rounding so a large ratio cannot overflow the integer.
    const float limit = float(kMaxExposureMs);
    derived.bottomExpoMS = qRound(std::min(float(first.bottomExpoMS) * ratio, limit));
    derived.normalExpoMS = qRound(std::min(float(first.normalExpoMS) * ratio, limit));
    return derived;
}
