#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

class PrinterStatusCheck;
class Workspace;

// The application service: opens model and project files, holds the project and job file
// names, and offers version strings and web links to the UI.
class QuorApp : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString prjFile READ prjFile WRITE setPrjFile NOTIFY prjFileChanged)
    // The project's file name for the window title; empty without a project.
    Q_PROPERTY(QString prjName READ prjName NOTIFY prjFileChanged)
public:
    // A printer on a direct cable answers here: link-local, outside the ranges that
    // addressing by the operating system hands out first.
    static constexpr const char *kDirectCablePrinterAddress = "169.254.10.10";

    // The machine the 3D view and the platform plate are sized from.
    struct Machine
    {
        QString maker;
        QString model;
        float volumeXMm = 0.0f;
        float volumeYMm = 0.0f;
        float volumeZMm = 0.0f;
        int panelWidthPx = 0;
        int panelHeightPx = 0;
    };

    explicit QuorApp(QObject *parent = nullptr);
    ~QuorApp() override;

    // The workspace that opened files go to and that projects are saved from; without one,
    // nothing opens.
    void setWorkspace(Workspace *workspace) { m_workspace = workspace; }

    Q_INVOKABLE void open(QUrl file);
    // Opens several files as a drop or the file dialog does: each in order, then the plate is
    // laid out when it already held models or more than one file came. Only local files are
    // opened; anything else is refused with a log line.
    Q_INVOKABLE void openFiles(const QList<QUrl> &files);
    // Replaces the project file atomically; a failed save leaves the old file and alerts.
    Q_INVOKABLE void savePrj();
    Q_INVOKABLE void newPrj();
    Q_INVOKABLE void setCwsFile(QUrl file);
    Q_INVOKABLE void openQuor3DLink(QString t);
    Q_INVOKABLE void openLink(QString link);
    Q_INVOKABLE void openRadomQueryLink() {}
    Q_INVOKABLE QString version() const;
    // The build's word size, "64-bit" on a 64-bit build.
    Q_INVOKABLE QString bitInfo() const;
    Q_INVOKABLE bool useWebengine() const { return true; }
    // The one-line rich text of the window's bottom-right label: a page shipped with the
    // program, so that nothing is fetched at start-up.
    Q_INVOKABLE QString noticeText() const;

    // Network printers (workspace/QuorAppPrinters.cpp). Why a typed address cannot be a
    // printer's, for the person; empty when it can.
    Q_INVOKABLE QString printerAddressProblem(QString address) const;
    // The fixed link-local address a printer takes on a direct cable.
    Q_INVOKABLE QString directCablePrinterAddress() const { return m_directCableAddress; }
    // Asks the printer on the direct cable, or at a typed LAN address, for its status; the
    // answer comes as printerChecked. An address that is not one is refused without sending.
    Q_INVOKABLE void checkDirectCablePrinter();
    Q_INVOKABLE void checkLanPrinter(QString address);
    // Drops a running check without an answer.
    Q_INVOKABLE void cancelPrinterCheck();
    // Where the direct-cable road looks; tests point it at a server of their own.
    void setDirectCablePrinterAddress(const QString &address) { m_directCableAddress = address; }
    PrinterStatusCheck *printerStatusCheck();

    QString prjFile() const { return m_prjFile.toLocalFile(); }
    QString prjName() const { return m_prjFile.fileName(); }
    void setPrjFile(const QString &text);

    QUrl cwsFile() const { return m_cwsFile; }
    const Machine &machine() const { return m_machine; }

    // Projects by their extension, in any case, or, without a model extension, by their content.
    static bool isProjectFile(const QUrl &url);
    // The maker's page for "main", "buy", "readme" or "download"; the home page otherwise.
    static QUrl quor3DLink(const QString &t);

signals:
    void prjFileChanged();
    void readyToSlice();
    // reachable: the status path answered 200. detail: why not, for the person.
    void printerChecked(QString address, bool reachable, QString detail);

private:
    bool openModelOrProject(const QUrl &file);
    // Project files (workspace/QuorAppProject.cpp).
    void loadPrj(const QUrl &file);
    // Reads the project into the workspace, alerting when it is refused; true when complete.
    bool readPrj(const QUrl &file);
    // The project file of the workspace, announced to bindings such as the window title.
    void setProjectUrl(const QUrl &url);
    bool writePrj();

    Workspace *m_workspace = nullptr;
    QUrl m_prjFile;
    QUrl m_cwsFile;
    Machine m_machine;
    QString m_directCableAddress;
    PrinterStatusCheck *m_printerCheck = nullptr;
};
