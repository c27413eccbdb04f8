#pragma once

#include "config/PrinterCatalogue.h"
#include "config/SliceBuildConfig.h"
#include "config/SupportConfig.h"

#include <QObject>
#include <QStringList>

// The configuration service: the printer catalogue, the user's job settings and their
// settings file, and the support parameters.
class QuorConfig : public QObject
{
    Q_OBJECT
    Q_PROPERTY(float liftHeight READ liftHeight WRITE setLiftHeight NOTIFY liftAdvCfgChanged)
    Q_PROPERTY(float liftUpSpeed READ liftUpSpeed WRITE setLiftUpSpeed NOTIFY liftAdvCfgChanged)
    Q_PROPERTY(
        float liftDownSpeed READ liftDownSpeed WRITE setLiftDownSpeed NOTIFY liftAdvCfgChanged)
    Q_PROPERTY(float waitSecAfterStop READ waitSecAfterStop WRITE setWaitSecAfterStop NOTIFY
                   liftAdvCfgChanged)
    // What the bottom bar shows: the printer model and the layer thickness, "H310, 0.05mm".
    Q_PROPERTY(QString sliceDescription READ sliceDescription NOTIFY sliceSettingsChanged)
public:
    static const char *const kDefaultCataloguePath;

    // The catalogue path is a resource in the program; tests pass documents of their own.
    explicit QuorConfig(const QString &cataloguePath = QString::fromLatin1(kDefaultCataloguePath),
                        QObject *parent = nullptr);
    ~QuorConfig() override;

    Q_INVOKABLE QString appName() const { return QStringLiteral("Makora"); }
    Q_INVOKABLE QString jobType() const { return projectExtension(); }
    // The project file's extension, ".qsp".
    static QString projectExtension() { return QStringLiteral(".qsp"); }

    Q_INVOKABLE int modelIndex() const { return m_modelIndex; }
    Q_INVOKABLE void setModelIndex(int i);
    Q_INVOKABLE int resinIndex() const { return m_resinIndex; }
    Q_INVOKABLE void setResinIndex(int i);
    Q_INVOKABLE int thicknessUM() const { return m_thicknessUM; }
    Q_INVOKABLE void setThicknessMM(float t);
    Q_INVOKABLE int bottomLayerNum() const { return m_bottomLayerNum; }
    Q_INVOKABLE void setBottomLayerNum(int n);
    Q_INVOKABLE int bottomExpoMS() const { return m_bottomExpoMS; }
    Q_INVOKABLE void setBottomExpoSec(float sec);
    Q_INVOKABLE int normalExpoMS() const { return m_normalExpoMS; }
    Q_INVOKABLE void setNormalExpoSec(float sec);
    Q_INVOKABLE bool useAntialise() const { return m_useAntialise; }
    Q_INVOKABLE void useAntialise(bool use);
    Q_INVOKABLE float antiAliseValue() const;
    Q_INVOKABLE void antiAliseValue(float v);

    Q_INVOKABLE QStringList getAllModelsModel() const { return m_modelList; }
    Q_INVOKABLE QStringList getAllResinTypesModel(int iModel);
    Q_INVOKABLE QStringList getAllResinTypesModel() const { return m_resinDisplayNames; }

    Q_INVOKABLE bool save();

    Q_INVOKABLE QStringList getConfig(uint iPrinter, uint iResin, uint thick);
    Q_INVOKABLE QStringList getConfig(uint iPrinter, uint iResin)
    {
        return getConfig(iPrinter, iResin, 0);
    }
    Q_INVOKABLE QStringList getConfig(uint iPrinter) { return getConfig(iPrinter, 0, 0); }
    Q_INVOKABLE int getMaxExpoSec() const { return 180; }

    Q_INVOKABLE QStringList getPrinterInstanceList() const { return m_printerIPList; }
    Q_INVOKABLE void addPrinterInstance(QString ip);
    Q_INVOKABLE void delPrinterInstance(QString ip);

    float liftHeight() const { return m_buildConfig.liftHeightMm; }
    void setLiftHeight(float mm);
    float liftUpSpeed() const { return m_buildConfig.liftUpSpeedMmPerMin; }
    void setLiftUpSpeed(float mmPerMin);
    float liftDownSpeed() const { return m_buildConfig.liftDownSpeedMmPerMin; }
    void setLiftDownSpeed(float mmPerMin);
    float waitSecAfterStop() const { return m_buildConfig.waitSecAfterStop; }
    void setWaitSecAfterStop(float sec);

    QString sliceDescription() const;

    // Catalogue half.
    int loadDefaultConf();
    ResinConfig getResinConfig(uint iPrinter, uint iResin, uint thick);
    PrinterModelConfig currentPrinterModel() const;
    void updateQmlModel(bool applyDefaults);
    void refreshResinList();
    const PrinterCatalogue &catalogue() const { return m_catalogue; }
    QStringList resinKeys() const { return m_resinKeys; }

    // Settings half.
    void syncBuildConfig();
    bool loadCustomConf();
    QString settingsPath() const { return m_customConfPath; }
    bool settingsLoaded() const { return m_settingsLoaded; }
    // One-off jobs (the command-line slicer) keep their overrides out of the settings file.
    void setSaveOnExit(bool save) { m_saveOnExit = save; }

    SliceBuildConfig *buildConfig() { return &m_buildConfig; }
    const SliceBuildConfig &jobSettings() const { return m_buildConfig; }
    CWS::SupportConfig *supportConfig() { return &m_supportConfig; }

signals:
    void modelIndexChanged();
    void liftAdvCfgChanged();
    // Any job setting: model, resin, thickness, bottom layers, either exposure, anti-aliasing
    // or its factor.
    void sliceSettingsChanged();
    // The job settings record was brought up to date (syncBuildConfig).
    void jobSettingsChanged();

private:
    // The values the change signals report on.
    struct Observed
    {
        int modelIndex, resinIndex, thicknessUM, bottomLayerNum, bottomExpoMS, normalExpoMS;
        bool useAntialise;
        float antiAliseValue;
        float liftHeight, liftUpSpeed, liftDownSpeed, waitSecAfterStop;
    };
    // Wraps every change: the outermost one emits for what differs when it ends, once.
    class ChangeNotice
    {
    public:
        explicit ChangeNotice(QuorConfig *config);
        ~ChangeNotice();
        ChangeNotice(const ChangeNotice &) = delete;
        ChangeNotice &operator=(const ChangeNotice &) = delete;

    private:
        QuorConfig *m_config;
        Observed m_before;
    };
    Observed observed() const;
    void announceChangesSince(const Observed &before);

    void readSettings(const class QJsonObject &obj);
    QString resinDisplayName(const QString &key);

    // Catalogue.
    QString m_defaultConfPath;
    PrinterCatalogue m_catalogue;
    QMap<QString, QString> m_resinNames;
    QStringList m_modelList;
    QStringList m_resinKeys;
    QStringList m_resinDisplayNames;

    // Current job settings.
    int m_modelIndex = 0;
    int m_resinIndex = 0;
    int m_thicknessUM = 50;
    int m_bottomLayerNum = 3;
    int m_bottomExpoMS = 30000;
    int m_normalExpoMS = 10000;
    bool m_useAntialise = true;
    float m_antiAliseValue = 2.0f;
    QString m_customConfPath;
    bool m_settingsLoaded = false;
    bool m_saveOnExit = true;
    QStringList m_printerIPList;
    int m_changeDepth = 0;

    SliceBuildConfig m_buildConfig;
    CWS::SupportConfig m_supportConfig;
};
