#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

// The application service: opens model and project files, holds the project and job file
// names, and offers version strings and web links to the UI.
class QuorApp : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString prjFile READ prjFile WRITE setPrjFile NOTIFY prjFileChanged)
public:
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

    static QuorApp *instance() { return s_instance; }

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
    Q_INVOKABLE QString bitInfo() const { return QStringLiteral("32-bit"); }
    Q_INVOKABLE bool useWebengine() const { return true; }
    // The one-line rich text of the window's bottom-right label: a page shipped with the
    // program, so that nothing is fetched at start-up.
    Q_INVOKABLE QString noticeText() const;

    QString prjFile() const { return m_prjFile.toLocalFile(); }
    void setPrjFile(const QString &text);

    QUrl cwsFile() const { return m_cwsFile; }
    const Machine &machine() const { return m_machine; }

    // The project extension test ignores case.
    static bool isProjectFile(const QUrl &url);
    // The maker's page for "main", "buy", "readme" or "download"; the home page otherwise.
    static QUrl quor3DLink(const QString &t);

signals:
    void prjFileChanged();
    void readyToSlice();

private:
    bool openModelOrProject(const QUrl &file);
    // Project files (workspace/QuorAppProject.cpp).
    void loadPrj(const QUrl &file);
    bool writePrj();

    static QuorApp *s_instance;

    QUrl m_prjFile;
    QUrl m_cwsFile;
    Machine m_machine;
};
