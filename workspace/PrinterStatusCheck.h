#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

// One status request to a printer at a time: a GET of its status path, answered 200 when the
// printer is there. It ends, always once, in finished(): with the status, a network error, or
// when no answer came within the time-out.
class PrinterStatusCheck : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefaultTimeoutMs = 5000;

    explicit PrinterStatusCheck(QObject *parent = nullptr);
    ~PrinterStatusCheck() override;

    // Starts a check of the address (already validated); a running one is dropped silently.
    // The direct-cable road sends the "Proxy-Connection" header as well.
    void start(const QString &address, bool directCable);
    // Drops the running check without a result.
    void cancel();
    bool isRunning() const { return !m_reply.isNull(); }

    int timeoutMs() const { return m_timeoutMs; }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

    // The request as it goes out, for the address.
    static QNetworkRequest statusRequest(const QString &address, bool directCable);

signals:
    // reachable: the printer answered 200. detail: why not, for the person; empty otherwise.
    void finished(const QString &address, bool reachable, const QString &detail);

private:
    void onHeaders();
    void onFinished();
    void onTimeout();
    void end(bool reachable, const QString &detail);

    QNetworkAccessManager *m_manager = nullptr; // made on first use: nothing at start-up
    QPointer<QNetworkReply> m_reply;
    QTimer m_timer;
    QString m_address;
    int m_timeoutMs = kDefaultTimeoutMs;
};
