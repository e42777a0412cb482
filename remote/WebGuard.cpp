#include "remote/WebGuard.h"

#include <QSslSocket>
#include <QTcpSocket>
#include <sys/socket.h>
#include <utility>

CConnectionGuard::CConnectionGuard(const WebServerLimits& limits, QObject* parent)
    : QObject(parent), m_limits(limits)
{
    m_clock.start();
    const int shortest = std::min({m_limits.nIdleMs, m_limits.nRequestMs, m_limits.nLingerMs});
    m_sweep.setInterval(std::clamp(shortest / 10, 50, 1000));
    connect(&m_sweep, &QTimer::timeout, this, &CConnectionGuard::Sweep);
    m_sweep.start();
}

bool CConnectionGuard::Admit(QTcpSocket* socket)
{
    const QHostAddress address = socket->peerAddress();
    if (m_perAddress.value(address) >= m_limits.nMaxPerAddress ||
        (m_live.size() >= m_limits.nMaxConnections && !MakeRoom())) {
        socket->abort();
        socket->deleteLater();
        return false;
    }
    // Beyond the screen's limits nothing is buffered anyway.
    socket->setReadBufferSize(m_limits.nReadBuffer);
    const qint64 now = m_clock.elapsed();
    Entry entry;
    entry.address = address;
    entry.nLast = now;
    entry.nRequestSince = now; // the first request is due at once
    m_live.insert(socket, entry);
    ++m_perAddress[address];
    // Connected before the HTTP server's own handler, so the screen sees
    // every byte first.
    connect(socket, &QIODevice::readyRead, this, [this, socket] { OnReadyRead(socket); });
    connect(socket, &QIODevice::bytesWritten, this, [this, socket] {
        const auto it = m_live.find(socket);
        if (it != m_live.end())
            it->nLast = m_clock.elapsed();
    });
    connect(socket, &QObject::destroyed, this, [this, socket] { Forget(socket); });
    return true;
}

void CConnectionGuard::Exempt(QTcpSocket* socket)
{
    const auto it = m_live.find(socket);
    if (it != m_live.end())
        it->bExempt = true;
}

void CConnectionGuard::SetBusy(QTcpSocket* socket, bool bBusy)
{
    const auto it = m_live.find(socket);
    if (it == m_live.end())
        return;
    it->bBusy = bBusy;
    it->nLast = m_clock.elapsed();
}

void CConnectionGuard::OnReadyRead(QTcpSocket* socket)
{
    const auto it = m_live.find(socket);
    if (it == m_live.end())
        return;
    Entry& e = *it;
    const qint64 now = m_clock.elapsed();
    e.nLast = now;
    if (e.nLingerSince >= 0) {
        socket->readAll(); // what a refused client still sends goes unread
        return;
    }
    // The HTTP server has read everything before (it reads all in its
    // handler), so what is available now is new.
    const bool wasInRequest = e.screen.InRequest();
    if (!e.screen.Feed(socket->peek(socket->bytesAvailable()), m_rules)) {
        const HeadVerdict verdict = e.screen.Verdict();
        Refuse(socket, verdict.nStatus, verdict.strText);
        return;
    }
    if (!e.screen.InRequest()) {
        e.nRequestSince = -1;
        e.bServed = true;
    }
    else if (!wasInRequest || e.nRequestSince < 0)
        e.nRequestSince = now;
}

void CConnectionGuard::Refuse(QTcpSocket* socket, int nStatus, const QString& text,
                              const HttpHeaders& extra)
{
    const auto it = m_live.find(socket);
    if (it == m_live.end() || it->nLingerSince >= 0)
        return;
    it->nLingerSince = m_clock.elapsed();
    it->bExempt = false;
    // A connection on its way out does not keep its address from a new one.
    if (std::exchange(it->bCounted, false))
        Uncount(it->address);
    // The HTTP server's handler is not called for this socket any more; only
    // the reading that keeps the connection from being reset stays.
    disconnect(socket, &QIODevice::readyRead, nullptr, nullptr);
    connect(socket, &QIODevice::readyRead, this, [this, socket] { OnReadyRead(socket); });
    if (socket->isTransactionStarted())
        socket->commitTransaction();
    socket->readAll();
    socket->write(HttpErrorBytes(nStatus, text, extra));
    if (qobject_cast<QSslSocket*>(socket)) {
        socket->disconnectFromHost(); // after the answer is out
        return;
    }
    // Closing with unread input would reset the connection before the client
    // has read the answer; so the sending side closes first.
    const auto shutDown = [socket] {
        if (socket->bytesToWrite() == 0 && socket->socketDescriptor() >= 0)
            ::shutdown(int(socket->socketDescriptor()), SHUT_WR);
    };
    socket->flush();
    if (socket->bytesToWrite() == 0)
        shutDown();
    else
        connect(socket, &QIODevice::bytesWritten, this, shutDown);
}

// When all connections are taken, one goes: a refused one first, then one
// that never brought a complete request, then the one quiet longest. Event
// streams stay (they have a cap of their own).
bool CConnectionGuard::MakeRoom()
{
    QTcpSocket* victim = nullptr;
    qint64 best = 0;
    for (auto it = m_live.cbegin(); it != m_live.cend(); ++it) {
        if (it->bExempt)
            continue;
        const qint64 rank = it->nLast - (it->nLingerSince >= 0 ? 2LL << 40
                                         : !it->bServed    ? 1LL << 40
                                                           : 0);
        if (!victim || rank < best) {
            victim = it.key();
            best = rank;
        }
    }
    if (!victim)
        return false;
    Drop(victim);
    return true;
}

void CConnectionGuard::Sweep()
{
    const qint64 now = m_clock.elapsed();
    QList<QTcpSocket*> late, idle;
    for (auto it = m_live.cbegin(); it != m_live.cend(); ++it) {
        const Entry& e = *it;
        if (e.nLingerSince >= 0) {
            if (now - e.nLingerSince > m_limits.nLingerMs)
                idle.append(it.key());
        } else if (!e.bExempt && !e.bBusy) {
            if (e.nRequestSince >= 0 && now - e.nRequestSince > m_limits.nRequestMs)
                late.append(it.key());
            else if (now - e.nLast > m_limits.nIdleMs)
                idle.append(it.key());
        }
    }
    for (QTcpSocket* socket : late)
        Refuse(socket, 408, QStringLiteral("Die Anfrage kam nicht rechtzeitig vollständig an."));
    for (QTcpSocket* socket : idle)
        Drop(socket);
}

void CConnectionGuard::Drop(QTcpSocket* socket)
{
    Forget(socket);
    socket->abort();
    socket->deleteLater();
}

void CConnectionGuard::Forget(QTcpSocket* socket)
{
    const auto it = m_live.find(socket);
    if (it == m_live.end())
        return;
    if (it->bCounted)
        Uncount(it->address);
    m_live.erase(it);
}

void CConnectionGuard::Uncount(const QHostAddress& address)
{
    const auto count = m_perAddress.find(address);
    if (count != m_perAddress.end() && --*count <= 0)
        m_perAddress.erase(count);
}
