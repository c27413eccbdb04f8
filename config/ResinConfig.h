#pragma once

#include <QMap>
#include <QString>
#include <QVector>
#include <QtGlobal>

// One recommended-settings row of a resin table.
struct ResinConfig
{
    qint32 reserved = 0;
    qint32 thicknessUM = 0;
    qint32 bottomLayerNum = 0;
    qint32 bottomExpoMS = 0;
    qint32 normalExpoMS = 0;

    bool operator==(const ResinConfig &o) const
    {
        return reserved == o.reserved && thicknessUM == o.thicknessUM &&
               bottomLayerNum == o.bottomLayerNum && bottomExpoMS == o.bottomExpoMS &&
               normalExpoMS == o.normalExpoMS;
    }
};

// Resin key to its rows, in file order.
using ResinTable = QMap<QString, QVector<ResinConfig>>;
