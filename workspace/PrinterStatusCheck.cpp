#include "workspace/PrinterStatusCheck.h"

#include "workspace/PrinterAddress.h"

#include <QDebug>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

PrinterStatusCheck::PrinterStatusCheck(QObject *parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    // A coarse timer may end the wait up to 5 % early.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &PrinterStatusCheck::onTimeout);
}

PrinterStatusCheck::~PrinterStatusCheck()
{
    cancel();
}

QNetworkRequest PrinterStatusCheck::statusRequest(const QString &address, bool directCable)
{
    QNetworkRequest request(QUrl(PrinterAddress::statusUrl(address)));
    request.setRawHeader("Content-type", "application/x-www-form-urlencoded");
    if (directCable)
        request.setRawHeader("Proxy-Connection", "keep-alive");
    // Only the status line matters: no redirect to anywhere else, no cached answer.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    return request;
}

void PrinterStatusCheck::start(const QString &address, bool directCable)
{
    cancel();
    if (!m_manager) {
        m_manager = new QNetworkAccessManager(this);
        // A printer beside the computer is reached directly, never through a proxy.
        m_manager->setProxy(QNetworkProxy::NoProxy);
    }
    m_address = address;
    qDebug() << "printer status check" << PrinterAddress::statusUrl(address);
    m_reply = m_manager->get(statusRequest(address, directCable));
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &PrinterStatusCheck::onHeaders);
    connect(m_reply, &QNetworkReply::finished, this, &PrinterStatusCheck::onFinished);
    m_timer.start(m_timeoutMs);
}

void PrinterStatusCheck::cancel()
{
    m_timer.stop();
    if (QNetworkReply *reply = m_reply.data()) {
        m_reply.clear();
        disconnect(reply, nullptr, this, nullptr);
        // Not from inside the reply's own signals: it is ended once they have returned.
        QMetaObject::invokeMethod(
            reply,
            [reply] {
                reply->abort();
                reply->deleteLater();
            },
            Qt::QueuedConnection);
    }
}

void PrinterStatusCheck::onHeaders()
{
    // The status line is the answer; the body, of any size, is not read.
    if (!m_reply)
        return;
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return;
    const int code = status.toInt();
    end(code == 200,
        code == 200 ? QString() : tr("The printer answered with HTTP status %1.").arg(code));
}

void PrinterStatusCheck::onFinished()
{
    if (!m_reply)
        return;
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid()) {
        onHeaders();
        return;
    }
    end(false, tr("No connection to %1: %2.").arg(m_address, m_reply->errorString()));
}

void PrinterStatusCheck::onTimeout()
{
    if (!m_reply)
        return;
    end(false, tr("No answer from %1 within %2 seconds.")
                   .arg(m_address)
                   .arg(double(m_timeoutMs) / 1000.0));
}

void PrinterStatusCheck::end(bool reachable, const QString &detail)
{
    const QString address = m_address;
    cancel();
    qDebug() << "printer status" << address << reachable << detail;
    emit finished(address, reachable, detail);
}
