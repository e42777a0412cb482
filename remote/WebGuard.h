#pragma once
// The web panel's connections before and around Qt's HTTP server: caps in
// total and per client address, a deadline for each request, the request
// screen (WebHttp.h), and soft closing of what is refused so that the client
// reads the answer.

#include "remote/WebHttp.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

class QTcpSocket;

struct WebServerLimits
{
    int nMaxConnections = 256;       // open TCP connections, event streams included
    int nMaxPerAddress = 32;         // ... of one client address
    int nMaxStreams = 32;            // open event streams of pages
    int nMaxStreamsPerAddress = 6;   // ... of one client address
    int nRequestMs = 10000;          // a request begun must be complete this long after
    int nIdleMs = 30000;             // a connection between requests silent this long is closed
    int nLingerMs = 2000;            // a refused connection is read from this long, then closed
    int nMaxLoginsWaiting = 4;       // password checks queued or running
    qint64 nReadBuffer = 64 * 1024;  // bytes a connection may have unanswered
    qint64 nMaxBacklog = 256 * 1024; // a stream with more unsent bytes skips updates
    int nStuckMs = 30000;            // ... and is closed when it stays so this long
    int nWindowCallMs = 10000;       // longest wait for the window's thread
};

class CConnectionGuard : public QObject
{
public:
    CConnectionGuard(const WebServerLimits& limits, QObject* parent);
    // Names a Host header may carry; empty: any.
    void SetHosts(const QSet<QString>& hosts) { m_rules.hosts = hosts; }
    // A new connection: false when it was closed (caps).
    bool Admit(QTcpSocket* socket);
    // An event stream: no deadline and no idle time from now on.
    void Exempt(QTcpSocket* socket);
    // The server is still working on the connection's request (a password
    // check): it is not idle meanwhile.
    void SetBusy(QTcpSocket* socket, bool bBusy);
    // Answers with the status (Connection: close) and closes once the client
    // had the answer; the HTTP server reads nothing more of it.
    void Refuse(QTcpSocket* socket, int nStatus, const QString& text, const HttpHeaders& extra = {});
    int Live() const { return int(m_live.size()); }

private:
    struct Entry
    {
        QHostAddress address;
        qint64 nLast = 0;
        qint64 nRequestSince = -1; // a request (or the first one) is due since then
        qint64 nLingerSince = -1;  // refused and answered
        bool bExempt = false;
        bool bServed = false;  // a request was complete on it
        bool bBusy = false;    // its answer is being worked out
        bool bCounted = true;  // counts against its address's cap
        CRequestScreen screen;
    };
    void OnReadyRead(QTcpSocket* socket);
    void Sweep();
    bool MakeRoom();
    void Drop(QTcpSocket* socket);
    void Forget(QTcpSocket* socket);
    void Uncount(const QHostAddress& address);

    WebServerLimits m_limits;
    HeadRules m_rules;
    QHash<QTcpSocket*, Entry> m_live;
    QHash<QHostAddress, int> m_perAddress;
    QElapsedTimer m_clock;
    QTimer m_sweep;
};
