#pragma once

#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

// A printer's HTTP service as far as the tests need it, on 127.0.0.1 only: it records every
// request and answers each path with a set status and page, or not at all.
class TestHttpServer
{
public:
    struct Request
    {
        QByteArray method;
        QByteArray path;
        // Names as sent, in order; look-ups by lower-case name.
        QList<QPair<QByteArray, QByteArray>> rawHeaders;
        QByteArray header(const QByteArray &name) const
        {
            for (const auto &h : rawHeaders)
                if (h.first.toLower() == name.toLower())
                    return h.second;
            return QByteArray();
        }
        bool hasHeader(const QByteArray &name) const
        {
            for (const auto &h : rawHeaders)
                if (h.first.toLower() == name.toLower())
                    return true;
            return false;
        }
    };

    static constexpr const char *kStatusPath = "/services/settings/update/currentVersion";

    TestHttpServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] { accept(); });
        setAnswer(kStatusPath, 200, "2.1.6");
        setAnswer("/", 200, "<html><body><h1>Printer</h1></body></html>");
    }

    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }
    // What a person would type for it: "127.0.0.1:port".
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(port()); }

    void setAnswer(const QByteArray &path, int status, const QByteArray &body = QByteArray())
    {
        m_answers.insert(path, {status, body});
    }
    // Reads requests and never answers them.
    void setSilent(bool silent) { m_silent = silent; }

    const QList<Request> &requests() const { return m_requests; }
    int connections() const { return m_connections; }
    int count(const QByteArray &path) const
    {
        int n = 0;
        for (const Request &r : m_requests)
            n += r.path == path;
        return n;
    }
    const Request *last(const QByteArray &path) const
    {
        for (int i = m_requests.size() - 1; i >= 0; --i)
            if (m_requests.at(i).path == path)
                return &m_requests.at(i);
        return nullptr;
    }

private:
    struct Answer
    {
        int status;
        QByteArray body;
    };

    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            ++m_connections;
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
                buffer->append(socket->readAll());
                int end;
                while ((end = buffer->indexOf("\r\n\r\n")) >= 0) {
                    const Request request = parse(buffer->left(end));
                    buffer->remove(0, end + 4);
                    m_requests.append(request);
                    if (!m_silent)
                        answer(socket, request);
                }
            });
        }
    }

    static Request parse(const QByteArray &head)
    {
        Request r;
        const QList<QByteArray> lines = head.split('\n');
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        r.method = first.value(0);
        r.path = first.value(1);
        for (int i = 1; i < lines.size(); ++i) {
            const int colon = lines.at(i).indexOf(':');
            if (colon > 0)
                r.rawHeaders.append(
                    {lines.at(i).left(colon), lines.at(i).mid(colon + 1).trimmed()});
        }
        return r;
    }

    void answer(QTcpSocket *socket, const Request &request)
    {
        const Answer a = m_answers.value(request.path, Answer{404, "not here"});
        QByteArray reply = "HTTP/1.1 " + QByteArray::number(a.status) + " Answer\r\n";
        reply += "Content-Type: text/html; charset=utf-8\r\n";
        reply += "Content-Length: " + QByteArray::number(a.body.size()) + "\r\n";
        reply += "Connection: close\r\n\r\n";
        reply += a.body;
        socket->write(reply);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QMap<QByteArray, Answer> m_answers;
    QList<Request> m_requests;
    int m_connections = 0;
    bool m_silent = false;
};
