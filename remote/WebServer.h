#pragma once
// The web panel's HTTP server with its event stream (server-sent events). It lives on a thread of
// its own; what needs the view (switching, the journal) runs on the window's thread through
// WebBackend, and the view's state arrives by Publish().

#include "journal/JournalEvent.h"
#include "remote/ChannelSnapshot.h"
#include "remote/StateMailbox.h"
#include "remote/SwitchCommands.h"
#include "remote/WebAuth.h"
#include "remote/WebConfig.h"

#include <QAbstractHttpServer>
#include <QElapsedTimer>
#include <QHash>
#include <QHttpServerResponse>
#include <QJsonArray>
#include <QPointer>
#include <QSslConfiguration>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QTcpSocket;

struct WebServerLimits
{
    int nMaxConnections = 256;       // open TCP connections, event streams included
    int nMaxStreams = 32;            // open event streams of pages
    int nIdleMs = 30000;             // a request connection silent this long is closed
    qint64 nReadBuffer = 64 * 1024;  // bytes a connection may have unanswered
    qint64 nMaxBacklog = 256 * 1024; // a stream with more unsent bytes skips updates
    int nStuckMs = 30000;            // ... and is closed when it stays so this long
    int nWindowCallMs = 10000;       // longest wait for the window's thread
};

// What the server asks of the window's thread. The functions run there.
struct WebBackend
{
    QObject* context = nullptr; // lives on the window's thread
    // nChannel 0: all; nullopt while no view is open.
    std::function<std::optional<SwitchResult>(int nChannel, bool bOn)> switchChannel;
    std::function<QJsonArray(int nLimit)> journal;
    std::shared_ptr<std::atomic<bool>> stopping; // set before the server goes
};

// Closes connections beyond the cap, bounds what each may buffer, and closes
// request connections that went silent (also those the HTTP parser gave up on).
class CConnectionGuard : public QObject
{
public:
    CConnectionGuard(const WebServerLimits& limits, QObject* parent);
    bool Admit(QTcpSocket* socket);
    // An event stream: the server's own rules apply from now on.
    void Exempt(QTcpSocket* socket);
    int Live() const { return int(m_live.size()); }

private:
    void Sweep();
    struct Entry
    {
        qint64 nLast = 0;
        bool bExempt = false;
    };
    WebServerLimits m_limits;
    QHash<QTcpSocket*, Entry> m_live;
    QElapsedTimer m_clock;
    QTimer m_sweep;
};

class CWebServer : public QAbstractHttpServer
{
    Q_OBJECT
public:
    static constexpr int kRecentEvents = 20;
    static constexpr int kMaxJournalLimit = 1000;
    static constexpr qsizetype kMaxBody = 4096;

    CWebServer(WebBackend backend, WebPasswordHash password, WebServerLimits limits = {});
    ~CWebServer() override;

    // tls: HTTPS only. False with the reason in error.
    bool Listen(const QHostAddress& address, quint16 port,
                const std::optional<QSslConfiguration>& tls, QString* error);
    quint16 Port() const { return m_nPort; }
    void SetPassword(const WebPasswordHash& password) { m_password = password; }
    // After each tick and switching: the new state and the journal events
    // since the last call.
    void Publish(const ChannelSnapshot& snap, const QVector<JournalEvent>& newEvents);
    // Any thread: the same, handed over without waiting; the state is pushed
    // with the next collection, events at once.
    void Offer(ChannelSnapshot snap, const QVector<JournalEvent>& newEvents);
    int StreamClients() const { return int(m_clients.size()); }
    int LiveConnections() const { return m_guard->Live(); }

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    QHttpServerResponse Route(const QHttpServerRequest& request);
    QHttpServerResponse Static(const QString& path);
    QHttpServerResponse State();
    QHttpServerResponse Journal(const QHttpServerRequest& request);
    QHttpServerResponse Session(const QHttpServerRequest& request);
    QHttpServerResponse Login(const QHttpServerRequest& request);
    QHttpServerResponse Logout(const QHttpServerRequest& request);
    QHttpServerResponse Switch(const QHttpServerRequest& request, int nChannel, bool bOn);
    // An error response when the request may not switch.
    std::optional<QHttpServerResponse> RefuseSwitching(const QHttpServerRequest& request);
    bool HasSession(const QHttpServerRequest& request);
    template <class R> std::optional<R> OnWindowThread(std::function<R()> fn);

    void Collect();
    void OpenStream(const QHttpServerRequest& request, QTcpSocket* socket);
    QByteArray FullMessage() const;
    struct Client
    {
        QPointer<QTcpSocket> socket;
        bool bNeedsFull = true;
        qint64 nStuckSince = -1;
    };

    WebBackend m_backend;
    WebPasswordHash m_password;
    WebServerLimits m_limits;
    CConnectionGuard* m_guard;
    bool m_bTls = false;
    quint16 m_nPort = 0;
    QElapsedTimer m_clock;
    CWebSessions m_sessions;
    CLoginLimiter m_limiter;
    CStateMailbox m_mailbox{kMaxJournalLimit};
    QTimer m_collect;
    std::optional<ChannelSnapshot> m_state;
    QJsonArray m_recent; // the last journal events, oldest first
    std::vector<Client> m_clients;
};
