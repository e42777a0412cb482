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
#include "remote/WebGuard.h"

#include <QAbstractHttpServer>
#include <QElapsedTimer>
#include <QHash>
#include <QHttpServerResponse>
#include <QJsonArray>
#include <QPointer>
#include <QSslConfiguration>
#include <QThreadPool>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QTcpSocket;

// What the server asks of the window's thread. The functions run there.
struct WebBackend
{
    QObject* context = nullptr; // lives on the window's thread
    // nChannel 0: all; nullopt while no view is open.
    std::function<std::optional<SwitchResult>(int nChannel, bool bOn)> switchChannel;
    std::function<QJsonArray(int nLimit)> journal;
    std::shared_ptr<std::atomic<bool>> stopping; // set before the server goes
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
    // Names a Host header may carry (lower case); empty: any.
    void SetHosts(const QSet<QString>& hosts) { m_guard->SetHosts(hosts); }
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
    QHttpServerResponse Route(const QHttpServerRequest& request, bool bGet);
    // Writes the answer with the panel's headers; with bHead without its body.
    void Send(QTcpSocket* socket, const QHttpServerResponse& response, bool bHead, bool bClose);
    QHttpServerResponse Static(const QString& path);
    QHttpServerResponse State();
    QHttpServerResponse Journal(const QHttpServerRequest& request);
    QHttpServerResponse Session(const QHttpServerRequest& request);
    // Answers at once, or after the password check on the hashing thread.
    void Login(const QHttpServerRequest& request, QTcpSocket* socket);
    void FinishLogin(QTcpSocket* socket, const QHostAddress& client, bool bClose, bool bRight);
    QHttpServerResponse LoggedIn();
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
    QHash<QHostAddress, int> m_loginsRunning; // per client address
    int m_nLoginsWaiting = 0;
    // The password's hashing takes a tenth of a second or more; reading the
    // state never waits for it.
    QThreadPool m_hashing;
};
