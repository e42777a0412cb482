#pragma once
// Clients for the web panel's tests: one request on its own connection, read
// to the end, while the window thread's queue is served (switching runs there).

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSslSocket>
#include <QTcpSocket>
#include <functional>
#include <memory>

namespace webtest {

struct Reply
{
    int status = 0; // 0: no HTTP answer
    QByteArray head;
    QByteArray body;
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
    QByteArray header(const QByteArray& name) const
    {
        for (const QByteArray& line : head.split('\n')) {
            const int colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed().toLower() == name.toLower())
                return line.mid(colon + 1).trimmed();
        }
        return {};
    }
};

inline bool WaitFor(const std::function<bool()>& done, int ms = 5000)
{
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

inline Reply ParseReply(const QByteArray& received)
{
    Reply r;
    const int end = received.indexOf("\r\n\r\n");
    if (!received.startsWith("HTTP/1.1 ") || end < 0)
        return r;
    r.status = received.mid(9, 3).toInt();
    r.head = received.left(end);
    r.body = received.mid(end + 4);
    return r;
}

// Sends raw bytes as they are and reads the answer. from: the client's own
// loopback address (all of 127/8 is this machine), so per-address caps can
// be tried from one process.
inline Reply Raw(quint16 port, const QByteArray& request, bool tls = false, int waitMs = 5000,
                 const QString& from = {})
{
    std::unique_ptr<QTcpSocket> socket;
    if (tls) {
        auto* ssl = new QSslSocket;
        ssl->setPeerVerifyMode(QSslSocket::VerifyNone);
        socket.reset(ssl);
    } else {
        socket = std::make_unique<QTcpSocket>();
    }
    if (!from.isEmpty())
        socket->bind(QHostAddress(from));
    if (auto* ssl = qobject_cast<QSslSocket*>(socket.get()))
        ssl->connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    else
        socket->connectToHost(QStringLiteral("127.0.0.1"), port);
    QByteArray received;
    QObject::connect(socket.get(), &QIODevice::readyRead, [&] { received += socket->readAll(); });
    const auto connected = [&] {
        auto* ssl = qobject_cast<QSslSocket*>(socket.get());
        return ssl ? ssl->isEncrypted() : socket->state() == QAbstractSocket::ConnectedState;
    };
    if (WaitFor(
            [&] { return connected() || socket->state() == QAbstractSocket::UnconnectedState; }) &&
        connected())
        socket->write(request);
    // Done when the server closes or the announced body is complete.
    const auto complete = [&] {
        const Reply head = ParseReply(received);
        const QByteArray length = head.header("Content-Length");
        return head.status != 0 && !length.isEmpty() && head.body.size() >= length.toLongLong();
    };
    WaitFor([&] { return socket->state() == QAbstractSocket::UnconnectedState || complete(); },
            waitMs);
    received += socket->readAll();
    return ParseReply(received);
}

inline QByteArray RequestBytes(quint16 port, const QByteArray& method, const QByteArray& path,
                               const QList<QByteArray>& headers, const QByteArray& body)
{
    QByteArray request = method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1:" +
                         QByteArray::number(port) + "\r\nConnection: close\r\n";
    for (const QByteArray& h : headers)
        request += h + "\r\n";
    if (!body.isEmpty() || method == "POST")
        request +=
            "Content-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) +
            "\r\n";
    return request + "\r\n" + body;
}

inline Reply Http(quint16 port, const QByteArray& method, const QByteArray& path,
                  const QList<QByteArray>& headers = {}, const QByteArray& body = {},
                  bool tls = false, int waitMs = 5000)
{
    return Raw(port, RequestBytes(port, method, path, headers, body), tls, waitMs);
}

inline QByteArray CookieOf(const Reply& login)
{
    const QByteArray set = login.header("Set-Cookie");
    return "Cookie: " + set.left(set.indexOf(';'));
}

inline QByteArray PasswordBody(const QString& password)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("password"), password}}).toJson();
}

} // namespace webtest
