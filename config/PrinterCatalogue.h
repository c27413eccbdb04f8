#pragma once

#include "config/LcdInfo.h"
#include "config/PrinterModelConfig.h"
#include "config/ResinConfig.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QMap>

// The printer catalogue after loading: fallbacks, resin groups, LCD panels and the resolved
// printer models, every map in ascending key order.
class PrinterCatalogue
{
public:
    // Reads the members of an already parsed catalogue document into this catalogue.
    void load(const QJsonObject &root);

    int firstLayers = 3;
    float liftHeight = 4.0f;
    float liftUpSpeed = 100.0f;
    float liftDownSpeed = 100.0f;
    QMap<QString, ResinTable> resinGroups;
    QMap<QString, LcdInfo> lcds;
    QMap<QString, PrinterModelConfig> models;

    // Merges a resin table object into target, key by key.
    static void parseResinTable(const QJsonObject &table, ResinTable &target, int firstLayers);
    static LcdInfo parseLcd(const QJsonObject &lcd);
    // Recommended settings for a thickness with no row of its own, scaled from the first row.
    static ResinConfig deriveResinConfig(const ResinConfig &first, quint32 thicknessUM);

private:
    void loadDefaults(const QJsonObject &defaults);
    void loadResinGroups(const QJsonObject &groups);
    void loadLcds(const QJsonObject &lcdObjects);
    void loadModels(const QJsonObject &modelObjects);
    // false when the entry must wait for its base to be stored.
    bool resolveModel(const QString &name, const QJsonObject &object);
};
