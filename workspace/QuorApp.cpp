#include "workspace/QuorApp.h"

#include "config/QuorConfig.h"
#include "workspace/ProjectFile.h"
#include "workspace/SceneObjects.h"
#include "workspace/TransformController.h"
#include "workspace/Workspace.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QThread>

#include <exception>

QuorApp::QuorApp(QObject *parent) : QObject(parent)
{
    m_machine.maker = QStringLiteral("QUOR3D");
    m_machine.model = QStringLiteral("K200X");
    m_machine.volumeXMm = 65.02f;
    m_machine.volumeYMm = 116.0f;
    m_machine.volumeZMm = 135.0f;
    m_machine.panelWidthPx = 1440;
    m_machine.panelHeightPx = 2560;
    m_directCableAddress = QString::fromLatin1(kDirectCablePrinterAddress);
}

QuorApp::~QuorApp()
{
    qDebug() << "QuorApp::~QuorApp()";
}

QString QuorApp::bitInfo() const
{
    return QString::number(QSysInfo::WordSize) + QStringLiteral("-bit");
}

bool QuorApp::isProjectFile(const QUrl &url)
{
    const QString name = url.fileName();
    if (name.toLower().endsWith(QuorConfig::projectExtension()))
        return true;
    // A project under another name, handed over by a desktop that knows projects by their
    // content; a model extension keeps its meaning.
    if (!url.isLocalFile() || SceneObjects::hasModelExtension(name))
        return false;
    QFile file(url.toLocalFile());
    return file.open(QIODevice::ReadOnly) && ProjectFile::hasProjectHeader(file);
}

QUrl QuorApp::quor3DLink(const QString &t)
{
    if (t == QLatin1String("buy"))
        return QUrl(QStringLiteral("https://www.quor3d.com/shop"));
    if (t == QLatin1String("readme"))
        return QUrl(QStringLiteral("https://www.quor3d.com/quor-slice/readme"));
    if (t == QLatin1String("download"))
        return QUrl(QStringLiteral("https://www.quor3d.com/download"));
    return QUrl(QStringLiteral("https://www.quor3d.com/"));
}

bool QuorApp::openModelOrProject(const QUrl &file)
{
    if (isProjectFile(file)) {
        // Project files count as handled whatever their content; loading them alerts by
        // itself when a file is refused, naming it.
        loadPrj(file);
        return true;
    }
    // The workspace's data-changed signal repaints the view once the model is in.
    return m_workspace && m_workspace->scene()->loadModel(file);
}

void QuorApp::open(QUrl file)
{
    qDebug() << QThread::currentThreadId() << "QuorApp::Open() " << file;
    bool handled = false;
    try {
        handled = openModelOrProject(file);
    } catch (const std::exception &e) {
        const QString what = QString::fromLocal8Bit(e.what());
        qCritical() << "open exception"
                    << (what.isEmpty() ? QStringLiteral("Unknown exception") : what);
    } catch (...) {
        qCritical() << "open exception"
                    << "...";
    }
    if (!handled) {
        if (m_workspace)
            emit m_workspace->scene()->showAlert(tr("Load model failed!"));
    }
}

void QuorApp::openFiles(const QList<QUrl> &files)
{
    Workspace *workspace = m_workspace;
    if (!workspace)
        return;
    const int before = workspace->scene()->modelSize();
    for (const QUrl &url : files) {
        // Nothing is fetched from the network, and a folder is not a model.
        if (!url.isLocalFile() || QFileInfo(url.toLocalFile()).isDir()) {
            qWarning() << "not a local file, refused:" << url.toString();
            continue;
        }
        open(url);
    }
    if (before > 0 || files.size() > 1)
        workspace->transform()->autoLayoutModel();
}

void QuorApp::newPrj()
{
    qDebug() << "QuorApp::newPrj()";
}

void QuorApp::setCwsFile(QUrl file)
{
    qDebug() << QThread::currentThreadId() << "QuorApp::setCwsFile " << file;
    m_cwsFile = file;
    emit readyToSlice();
}

void QuorApp::setPrjFile(const QString &text)
{
    // The UI writes file URLs; the same URL again, or its own local path, is no change.
    if (text == prjFile())
        return;
    setProjectUrl(QUrl(text));
}

void QuorApp::openQuor3DLink(QString t)
{
    QDesktopServices::openUrl(quor3DLink(t));
}

void QuorApp::openLink(QString link)
{
    QDesktopServices::openUrl(QUrl(link));
}

QString QuorApp::noticeText() const
{
    QFile page(QStringLiteral(":/pages/notice.html"));
    if (!page.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(page.readAll()).trimmed();
}

QString QuorApp::version() const
{
    return QCoreApplication::applicationVersion();
}
