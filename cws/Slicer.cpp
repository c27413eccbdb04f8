#include "cws/Slicer.h"

#include "cws/GcodeWriter.h"
#include "cws/Slice.h"
#include "cws/ZipEntryData.h"
#include "model/LayerMath.h"

#include <QBuffer>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QImage>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>
#include <zlib.h>

#include <exception>
#include <stdexcept>

namespace CWS {

namespace {

// Deflate at the default level, not raw, the usual window and memory sizes.
bool openEntry(QuaZipFile &file, const QString &name)
{
    return file.open(QIODevice::WriteOnly, QuaZipNewInfo(name), nullptr, 0, Z_DEFLATED,
                     Z_DEFAULT_COMPRESSION, false, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
}

} // namespace

Slicer::Slicer(JobSnapshot job, CancelToken cancel, int layerCount, QObject *parent)
    : QThread(parent), m_job(std::move(job)), m_layerSettings(m_job.layerSettings()),
      m_cancel(std::move(cancel)), m_layerCount(layerCount)
{
}

Slicer::~Slicer()
{
    m_pool.clear();
    m_pool.waitForDone();
    qDebug() << "Slicer::~Slicer()";
}

void Slicer::fail(const QString &reason)
{
    if (m_outcome.load() != Outcome::Failed)
        m_failureReason = reason;
    m_outcome = Outcome::Failed;
}

void Slicer::run()
{
    try {
        runJob();
    } catch (const std::exception &e) {
        qWarning() << "slicer exception" << e.what();
        fail(QStringLiteral("The slicer stopped unexpectedly: %1")
                 .arg(QString::fromLocal8Bit(e.what())));
    } catch (...) {
        qWarning() << "slicer exception";
        fail(QStringLiteral("The slicer stopped unexpectedly."));
    }
    // Whatever ended the job, no layer may still be cutting or writing from here on.
    m_pool.clear();
    m_pool.waitForDone();
    m_job.releaseCuts();
    if (m_zip && m_zip->isOpen()) {
        m_zip->close();
        const bool writeError = m_file->error() != QFileDevice::NoError;
        m_file->close();
        if (m_zip->getZipError() != ZIP_OK || writeError)
            fail(QStringLiteral("The job file could not be completed: %1")
                     .arg(m_job.settings().outputArchivePath));
    }
    if (m_outcome.load() == Outcome::Running)
        m_outcome = cancelled() ? Outcome::Cancelled : Outcome::Completed;
}

void Slicer::runJob()
{
    qDebug() << QThread::currentThreadId() << "run slicer thread, total layers:" << m_layerCount;
    m_padLength = GcodeWriter::padLength(m_layerCount);
    qDebug() << "m_padLength:" << m_padLength;

    // The archive opens its own file; the file object stays ours so that a write error (a
    // full disk shows up when the last buffer is flushed) can be read after closing.
    m_file = std::make_unique<QFile>(m_job.settings().outputArchivePath);
    m_zip = std::make_unique<QuaZip>(m_file.get());
    if (!m_zip->open(QuaZip::mdCreate)) {
        qDebug() << "open zip file fail" << m_job.settings().outputArchivePath;
        fail(QStringLiteral("The job file could not be created: %1")
                 .arg(m_job.settings().outputArchivePath));
        m_zip.reset();
        return;
    }
    // World-space meshes bucketed by height, built once for the whole job.
    m_job.prepareCuts();
    runLayerPool();
    if (m_writeFailed.load())
        fail(QStringLiteral("Layer images could not be written to %1")
                 .arg(m_job.settings().outputArchivePath));
    if (!cancelled())
        writeGcode();
}

void Slicer::runLayerPool()
{
    qDebug() << QTime::currentTime() << "Slicing started, pool" << m_pool.maxThreadCount();
    m_finishedLayers = 0;
    int layer = 0;
    for (float z : LayerMath::layerHeights(m_layerCount, m_layerSettings.layerThicknessMm))
        m_pool.start(new Slice(*this, layer++, z), 0);
    QThread::usleep(1);
    qDebug() << "active thread:" << m_pool.activeThreadCount();
    bool wasCancelled = false;
    while (m_pool.activeThreadCount() > 0) {
        if (cancelled()) {
            m_pool.clear();
            qDebug() << "slicer cancel slice";
            wasCancelled = true;
            break;
        }
        QThread::msleep(50);
    }
    if (!wasCancelled)
        qDebug() << "all thread done:" << m_pool.activeThreadCount();
    // Running layers still finish (and skip writing) before the archive closes.
    m_pool.waitForDone();
    qDebug() << "layers reusing encoded bytes:" << m_pngCache.reusedLayers();
}

void Slicer::layerStarted(int layerIndex)
{
    m_pngCache.layerStarted(layerIndex);
}

void Slicer::layerAbandoned(int layerIndex, bool failed)
{
    m_pngCache.layerAbandoned(layerIndex);
    if (failed)
        m_writeFailed = true;
}

void Slicer::writeLayer(int layerIndex, const QImage &image)
{
    // Encoding and deflating need no lock; only the archive takes one entry at a time.
    const QByteArray png = m_pngCache.encode(layerIndex, image);
    if (png.isEmpty())
        m_writeFailed = true;
    const ZipEntryData entry =
        deflateEntry(png, image.format() == QImage::Format_Grayscale8 ? kGreyLayerEntryLevel
                                                                      : kMonoLayerEntryLevel);
    if (!entry.ok)
        m_writeFailed = true;
    QMutexLocker lock(&m_writeMutex);
    try {
        const QString name =
            GcodeWriter::layerEntryName(m_job.settings().entryBaseName, layerIndex, m_padLength);
        if (!writeDeflatedEntry(*m_zip, name, entry))
            m_writeFailed = true;
    } catch (...) {
        qWarning() << "write zip exception";
        m_writeFailed = true;
    }
    const int finished = ++m_finishedLayers;
    if (finished < m_layerCount)
        emit layerWritten(finished, m_layerCount);
}

void Slicer::writeGcode()
{
    const PrinterModelConfig &printer = m_job.printer();
    if (printer.name.isEmpty())
        throw std::runtime_error("the selected printer model is not in the catalogue");
    const QString text = GcodeWriter::gcodeText(m_job.settings(), m_layerCount, printer.vz,
                                                QDateTime::currentDateTime());
    const QString name = m_job.settings().entryBaseName + QStringLiteral(".gcode");
    QuaZipFile file(m_zip.get());
    if (!openEntry(file, name)) {
        qDebug() << "open fail" << name;
        fail(QStringLiteral("The G-code could not be written to %1")
                 .arg(m_job.settings().outputArchivePath));
        return;
    }
    const QByteArray bytes = text.toLatin1();
    if (file.write(bytes) != bytes.size())
        fail(QStringLiteral("The G-code could not be written to %1")
                 .arg(m_job.settings().outputArchivePath));
    file.close();
    if (file.getZipError() != ZIP_OK)
        fail(QStringLiteral("The G-code could not be written to %1")
                 .arg(m_job.settings().outputArchivePath));
}

} // namespace CWS
