#include "remote/WebServer.h"

#include "remote/WebHttp.h"
#include "remote/WebJson.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QJsonDocument>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>
#include <chrono>
#include <condition_variable>
#include <mutex>

static void InitRemoteResources()
{
    Q_INIT_RESOURCE(remote);
}

namespace {

using Status = QHttpServerResponse::StatusCode;

const QByteArray kCookie = QByteArrayLiteral("korva_session");
const QByteArray kJson = QByteArrayLiteral("application/json");

QHttpServerResponse Json(const QJsonObject& body, Status status = Status::Ok)
{
    return QHttpServerResponse(kJson, QJsonDocument(body).toJson(QJsonDocument::Compact), status);
}

QHttpServerResponse Error(Status status, const QString& text)
{
    return Json({{QStringLiteral("error"), text}}, status);
}

// Sockets from a listening server pass the guard before the HTTP server sees them.
template <class Base> class CGuardedServer : public Base
{
public:
    CGuardedServer(CConnectionGuard& guard, QObject* parent) : Base(parent), m_guard(guard) {}
    QTcpSocket* nextPendingConnection() override
    {
        while (QTcpSocket* socket = Base::nextPendingConnection()) {
            if (m_guard.Admit(socket))
                return socket;
        }
        return nullptr;
    }

private:
    CConnectionGuard& m_guard;
};

QByteArray CookieValue(const QHttpServerRequest& request)
{
    for (const QByteArray& part : request.value("Cookie").split(';')) {
        const QByteArray item = part.trimmed();
        if (item.startsWith(kCookie + '='))
            return item.mid(kCookie.size() + 1);
    }
    return {};
}

bool WantsClose(const QHttpServerRequest& request)
{
    return request.value("Connection").toLower().contains("close");
}

// Headers the panel may set on an answer, in the order they are written.
const QByteArrayList kAnswerHeaders = {"Set-Cookie", "Retry-After", "Cache-Control",
                                       "X-Content-Type-Options", "Referrer-Policy",
                                       "Content-Security-Policy", "Strict-Transport-Security"};

// A page of another site may make the browser send requests here; it cannot
// fake Origin or Sec-Fetch-Site.
bool IsCrossSite(const QHttpServerRequest& request, bool bTls)
{
    if (request.value("Sec-Fetch-Site").trimmed().toLower() == "cross-site")
        return true;
    const QByteArray origin = request.value("Origin").trimmed();
    if (origin.isEmpty())
        return false;
    const QUrl url(QString::fromLatin1(origin));
    if (!url.isValid() || url.host().isEmpty())
        return true; // "null" and the like
    // A plain page must not switch what is served over HTTPS, and back.
    if (url.scheme() != (bTls ? QLatin1String("https") : QLatin1String("http")))
        return true;
    QString authority = url.host();
    if (authority.contains(QLatin1Char(':')))
        authority = QLatin1Char('[') + authority + QLatin1Char(']');
    if (url.port() != -1)
        authority += QLatin1Char(':') + QString::number(url.port());
    return authority.compare(QString::fromLatin1(request.value("Host").trimmed()),
                             Qt::CaseInsensitive) != 0;
}

} // namespace

// ---- server ----

CWebServer::CWebServer(WebBackend backend, WebPasswordHash password, WebServerLimits limits)
    : m_backend(std::move(backend)), m_password(std::move(password)), m_limits(limits),
      m_guard(new CConnectionGuard(limits, this))
{
    InitRemoteResources();
    m_clock.start();
    // One check at a time: a flood of logins takes at most one processor.
    m_hashing.setMaxThreadCount(1);
    m_collect.setInterval(CStateMailbox::kCollectMs);
    connect(&m_collect, &QTimer::timeout, this, [this] { Collect(); });
    m_collect.start();
}

CWebServer::~CWebServer()
{
    // A check still running reports to this object.
    m_hashing.clear();
    m_hashing.waitForDone();
}

bool CWebServer::Listen(const QHostAddress& address, quint16 port,
                        const std::optional<QSslConfiguration>& tls, QString* error)
{
    QTcpServer* server = nullptr;
    if (tls) {
        auto* ssl = new CGuardedServer<QSslServer>(*m_guard, this);
        ssl->setSslConfiguration(*tls);
        ssl->setHandshakeTimeout(5000);
        server = ssl;
    } else {
        server = new CGuardedServer<QTcpServer>(*m_guard, this);
    }
    if (!server->listen(address, port)) {
        if (error)
            *error = server->errorString();
        delete server;
        return false;
    }
    bind(server);
    m_bTls = tls.has_value();
    m_nPort = server->serverPort();
    return true;
}

// Waits for the window's thread; gives up when the server is stopping, so
// shutting down never waits on a call that cannot run any more.
template <class R> std::optional<R> CWebServer::OnWindowThread(std::function<R()> fn)
{
    struct Call
    {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<R> result;
    };
    auto call = std::make_shared<Call>();
    QMetaObject::invokeMethod(
        m_backend.context,
        [call, fn] {
            R r = fn();
            std::lock_guard lock(call->mutex);
            call->result = std::move(r);
            call->done.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(call->mutex);
    QElapsedTimer waited;
    waited.start();
    while (!call->result) {
        if ((m_backend.stopping && *m_backend.stopping) ||
            waited.elapsed() > m_limits.nWindowCallMs)
            return std::nullopt;
        call->done.wait_for(lock, std::chrono::milliseconds(50));
    }
    return call->result;
}

void CWebServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket)
{
    Send(socket, Error(Status::NotFound, QStringLiteral("Nicht gefunden")), false,
         WantsClose(request));
}

bool CWebServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    const QString path = request.url().path();
    const auto method = request.method();
    if (path == QLatin1String("/events") && method == QHttpServerRequest::Method::Get) {
        OpenStream(request, socket);
        return true;
    }
    if (path == QLatin1String("/api/login") && method == QHttpServerRequest::Method::Post) {
        Login(request, socket);
        return true;
    }
    const bool head = method == QHttpServerRequest::Method::Head;
    Send(socket, Route(request, head || method == QHttpServerRequest::Method::Get), head,
         WantsClose(request));
    return true;
}

void CWebServer::Send(QTcpSocket* socket, const QHttpServerResponse& response, bool bHead,
                      bool bClose)
{
    HttpHeaders headers{{"Content-Type", response.mimeType()}};
    for (const QByteArray& name : kAnswerHeaders)
        for (const QByteArray& value : response.headers(name))
            headers.append({name, value});
    headers += {{"Cache-Control", "no-store"},
                {"X-Content-Type-Options", "nosniff"},
                {"Referrer-Policy", "no-referrer"},
                {"Content-Security-Policy", "default-src 'self'; frame-ancestors 'none'"}};
    if (m_bTls)
        headers.append(qMakePair(QByteArray("Strict-Transport-Security"), QByteArray("max-age=31536000")));
    if (bClose)
        headers.append(qMakePair(QByteArray("Connection"), QByteArray("close")));
    socket->write(HttpResponseBytes(int(response.statusCode()), headers, response.data(), bHead));
    if (bClose)
        socket->disconnectFromHost();
}

QHttpServerResponse CWebServer::Route(const QHttpServerRequest& request, bool bGet)
{
    const QString path = request.url().path();
    const bool get = bGet;
    const bool post = request.method() == QHttpServerRequest::Method::Post;
    const auto wrongMethod = [] {
        return Error(Status::MethodNotAllowed, QStringLiteral("Methode nicht erlaubt"));
    };

    if (path == QLatin1String("/") || path == QLatin1String("/index.html") ||
        path == QLatin1String("/app.js") || path == QLatin1String("/style.css"))
        return get ? Static(path) : wrongMethod();
    if (path == QLatin1String("/api/state"))
        return get ? State() : wrongMethod();
    if (path == QLatin1String("/api/journal"))
        return get ? Journal(request) : wrongMethod();
    if (path == QLatin1String("/api/session"))
        return get ? Session(request) : wrongMethod();
    if (path == QLatin1String("/api/login") || path == QLatin1String("/events"))
        return wrongMethod();
    if (path == QLatin1String("/api/logout"))
        return post ? Logout(request) : wrongMethod();

    const QStringList parts = path.split(QLatin1Char('/'));
    // "", "api", "channels", k, on|off  or  "", "api", "all", on|off
    const bool all = parts.size() == 4 && parts[2] == QLatin1String("all");
    const bool one = parts.size() == 5 && parts[2] == QLatin1String("channels");
    if (parts.size() >= 2 && parts[1] == QLatin1String("api") && (all || one)) {
        const QString verb = parts.last();
        if (verb != QLatin1String("on") && verb != QLatin1String("off"))
            return Error(Status::NotFound, QStringLiteral("Nicht gefunden"));
        if (!post)
            return wrongMethod();
        int k = 0;
        if (one) {
            bool ok = false;
            k = parts[3].toInt(&ok);
            if (!ok || k < 1 || k > ChannelSnapshot::kChannels)
                return Error(Status::NotFound, QStringLiteral("Unbekannter Kanal"));
        }
        return Switch(request, k, verb == QLatin1String("on"));
    }
    return Error(Status::NotFound, QStringLiteral("Nicht gefunden"));
}

QHttpServerResponse CWebServer::Static(const QString& path)
{
    static const struct
    {
        const char* path;
        const char* file;
        const char* type;
    } files[] = {{"/", "index.html", "text/html; charset=utf-8"},
                 {"/index.html", "index.html", "text/html; charset=utf-8"},
                 {"/app.js", "app.js", "text/javascript; charset=utf-8"},
                 {"/style.css", "style.css", "text/css; charset=utf-8"}};
    for (const auto& f : files) {
        if (path != QLatin1String(f.path))
            continue;
        QFile file(QStringLiteral(":/remote/web/") + QLatin1String(f.file));
        if (!file.open(QIODevice::ReadOnly))
            break;
        return QHttpServerResponse(QByteArray(f.type), file.readAll());
    }
    return Error(Status::NotFound, QStringLiteral("Nicht gefunden"));
}

QHttpServerResponse CWebServer::State()
{
    Collect();
    if (!m_state)
        return Error(Status::ServiceUnavailable,
                     QStringLiteral("Kein Überwachungsfenster geöffnet"));
    return Json(StateJson(*m_state, QDateTime::currentDateTimeUtc()));
}

QHttpServerResponse CWebServer::Journal(const QHttpServerRequest& request)
{
    int limit = kRecentEvents;
    const QUrlQuery query = request.query();
    if (query.hasQueryItem(QStringLiteral("limit"))) {
        bool ok = false;
        limit = query.queryItemValue(QStringLiteral("limit")).toInt(&ok);
        if (!ok || limit < 1)
            return Error(Status::BadRequest,
                         QStringLiteral("limit muss eine ganze Zahl ab 1 sein (höchstens %1)")
                             .arg(kMaxJournalLimit));
        limit = std::min(limit, kMaxJournalLimit);
    }
    const auto journal = m_backend.journal;
    const std::optional<QJsonArray> events =
        OnWindowThread<QJsonArray>([journal, limit] { return journal(limit); });
    if (!events)
        return Error(Status::ServiceUnavailable, QStringLiteral("Das Programm antwortet nicht"));
    return Json({{QStringLiteral("events"), *events}});
}

bool CWebServer::HasSession(const QHttpServerRequest& request)
{
    const QByteArray token = CookieValue(request);
    return !token.isEmpty() && m_sessions.IsValid(token, m_clock.elapsed());
}

QHttpServerResponse CWebServer::Session(const QHttpServerRequest& request)
{
    return Json({{QStringLiteral("passwordSet"), m_password.IsSet()},
                 {QStringLiteral("loggedIn"), HasSession(request)}});
}

void CWebServer::Login(const QHttpServerRequest& request, QTcpSocket* socket)
{
    const bool close = WantsClose(request);
    const auto answer = [&](const QHttpServerResponse& response) {
        Send(socket, response, false, close);
    };
    if (IsCrossSite(request, m_bTls))
        return answer(Error(Status::Forbidden, QStringLiteral("Anfrage einer fremden Seite abgelehnt")));
    if (!m_password.IsSet())
        return answer(Error(Status::Forbidden,
                            QStringLiteral("Schalten ist gesperrt: kein Passwort gesetzt "
                                           "(korva --set-web-password)")));
    const QHostAddress client = request.remoteAddress();
    if (!m_limiter.MayTry(client, m_clock.elapsed(), m_loginsRunning.value(client))) {
        QHttpServerResponse r = Error(Status::TooManyRequests,
                                      QStringLiteral("Zu viele Fehlversuche; bitte eine Minute warten"));
        r.setHeader("Retry-After", "60");
        return answer(r);
    }
    if (request.body().size() > kMaxBody)
        return answer(Error(Status::PayloadTooLarge, QStringLiteral("Anfrage zu groß")));
    QJsonParseError parsed{};
    const QJsonDocument doc = QJsonDocument::fromJson(request.body(), &parsed);
    const QJsonValue password = doc.object().value(QStringLiteral("password"));
    if (parsed.error != QJsonParseError::NoError || !doc.isObject() || !password.isString())
        return answer(Error(Status::BadRequest,
                            QStringLiteral("Erwartet: JSON mit dem Feld \u201Epassword\u201C")));
    if (m_nLoginsWaiting >= m_limits.nMaxLoginsWaiting) {
        QHttpServerResponse r = Error(Status::ServiceUnavailable,
                                      QStringLiteral("Zu viele Anmeldungen zugleich; bitte gleich "
                                                     "noch einmal versuchen"));
        r.setHeader("Retry-After", "1");
        return answer(r);
    }
    ++m_nLoginsWaiting;
    ++m_loginsRunning[client];
    m_guard->SetBusy(socket, true);
    const QPointer<QTcpSocket> target(socket);
    m_hashing.start([this, target, client, close, text = password.toString(),
                     stored = m_password] {
        const bool right = CheckWebPassword(text, stored);
        QMetaObject::invokeMethod(
            this, [=, this] { FinishLogin(target, client, close, right); }, Qt::QueuedConnection);
    });
}

void CWebServer::FinishLogin(QTcpSocket* socket, const QHostAddress& client, bool bClose,
                             bool bRight)
{
    --m_nLoginsWaiting;
    const auto running = m_loginsRunning.find(client);
    if (running != m_loginsRunning.end() && --*running <= 0)
        m_loginsRunning.erase(running);
    if (!bRight)
        m_limiter.RecordFailure(client, m_clock.elapsed());
    if (!socket || socket->state() != QAbstractSocket::ConnectedState)
        return;
    m_guard->SetBusy(socket, false);
    Send(socket, bRight ? LoggedIn() : Error(Status::Unauthorized, QStringLiteral("Passwort falsch")),
         false, bClose);
}

QHttpServerResponse CWebServer::LoggedIn()
{
    const QByteArray token = m_sessions.Create(m_clock.elapsed());
    QHttpServerResponse response = Json({{QStringLiteral("ok"), true}});
    QByteArray cookie = kCookie + '=' + token + "; HttpOnly; SameSite=Strict; Path=/; Max-Age=" +
                        QByteArray::number(CWebSessions::kLifetimeMs / 1000);
    if (m_bTls)
        cookie += "; Secure";
    response.setHeader("Set-Cookie", cookie);
    return response;
}

QHttpServerResponse CWebServer::Logout(const QHttpServerRequest& request)
{
    if (IsCrossSite(request, m_bTls))
        return Error(Status::Forbidden, QStringLiteral("Anfrage einer fremden Seite abgelehnt"));
    m_sessions.Remove(CookieValue(request));
    QHttpServerResponse response = Json({{QStringLiteral("ok"), true}});
    response.setHeader("Set-Cookie", kCookie + "=; HttpOnly; SameSite=Strict; Path=/; Max-Age=0");
    return response;
}

std::optional<QHttpServerResponse> CWebServer::RefuseSwitching(const QHttpServerRequest& request)
{
    if (IsCrossSite(request, m_bTls))
        return Error(Status::Forbidden, QStringLiteral("Anfrage einer fremden Seite abgelehnt"));
    if (!m_password.IsSet())
        return Error(Status::Forbidden,
                     QStringLiteral("Schalten ist gesperrt: kein Passwort gesetzt "
                                    "(korva --set-web-password)"));
    if (!HasSession(request))
        return Error(Status::Unauthorized, QStringLiteral("Bitte zuerst anmelden"));
    return std::nullopt;
}

QHttpServerResponse CWebServer::Switch(const QHttpServerRequest& request, int nChannel, bool bOn)
{
    if (auto refused = RefuseSwitching(request))
        return std::move(*refused);
    const auto switchChannel = m_backend.switchChannel;
    const auto result = OnWindowThread<std::optional<SwitchResult>>(
        [switchChannel, nChannel, bOn] { return switchChannel(nChannel, bOn); });
    if (!result)
        return Error(Status::ServiceUnavailable, QStringLiteral("Das Programm antwortet nicht"));
    if (!*result)
        return Error(Status::ServiceUnavailable,
                     QStringLiteral("Kein Überwachungsfenster geöffnet"));
    const SwitchResult& r = **result;
    if (r.outcome == SwitchResult::Outcome::NoSuchChannel)
        return Error(Status::NotFound, r.strMessage);
    if (r.outcome == SwitchResult::Outcome::Locked) {
        QJsonArray locked;
        for (int k : r.locked)
            locked.append(k);
        return Json({{QStringLiteral("error"), r.strMessage}, {QStringLiteral("locked"), locked}},
                    Status::Conflict);
    }
    return Json({{QStringLiteral("ok"), true}});
}

// ---- push ----

namespace {

QByteArray Event(const QByteArray& json)
{
    return "data: " + json + "\n\n";
}

} // namespace

// The answer stays open: the state, then its changes, as server-sent events.
void CWebServer::OpenStream(const QHttpServerRequest& request, QTcpSocket* socket)
{
    Collect(); // the new page starts from the newest state
    // Drop streams whose page went away.
    std::erase_if(m_clients, [](const Client& c) {
        return !c.socket || c.socket->state() != QAbstractSocket::ConnectedState;
    });
    const QHostAddress client = request.remoteAddress();
    const auto fromClient = std::count_if(m_clients.begin(), m_clients.end(), [&](const Client& c) {
        return c.socket->peerAddress() == client;
    });
    if (int(m_clients.size()) >= m_limits.nMaxStreams ||
        fromClient >= m_limits.nMaxStreamsPerAddress) {
        // The page tries again after the time given.
        m_guard->Refuse(socket, 503, QStringLiteral("Zu viele offene Seiten"),
                        {{"Retry-After", "10"}});
        return;
    }
    m_guard->Exempt(socket);
    QByteArray head = "HTTP/1.1 200 OK\r\n"
                      "Content-Type: text/event-stream; charset=utf-8\r\n"
                      "Cache-Control: no-store\r\n"
                      "X-Content-Type-Options: nosniff\r\n";
    if (m_bTls)
        head += "Strict-Transport-Security: max-age=31536000\r\n";
    socket->write(head + "\r\n");
    Client c{socket, true, -1};
    if (m_state) {
        socket->write(Event(FullMessage()));
        c.bNeedsFull = false;
    }
    m_clients.push_back(c);
}

QByteArray CWebServer::FullMessage() const
{
    QJsonObject msg{{QStringLiteral("type"), QStringLiteral("state")},
                    {QStringLiteral("journal"), m_recent}};
    if (m_state)
        msg.insert(QStringLiteral("state"), StateJson(*m_state));
    return QJsonDocument(msg).toJson(QJsonDocument::Compact);
}

void CWebServer::Offer(ChannelSnapshot snap, const QVector<JournalEvent>& newEvents)
{
    if (m_mailbox.Post(std::move(snap), newEvents))
        QMetaObject::invokeMethod(
            this, [this] { Collect(); }, Qt::QueuedConnection);
}

void CWebServer::Collect()
{
    CStateMailbox::Mail mail = m_mailbox.Take();
    if (mail.snap)
        Publish(*mail.snap, mail.events);
}

void CWebServer::Publish(const ChannelSnapshot& snap, const QVector<JournalEvent>& newEvents)
{
    const QJsonArray events = JournalJson(newEvents, kRecentEvents);
    for (const QJsonValue& ev : events)
        m_recent.append(ev);
    while (m_recent.size() > kRecentEvents)
        m_recent.removeFirst();

    QJsonObject delta{{QStringLiteral("type"), QStringLiteral("delta")},
                      {QStringLiteral("time"), snap.time.toString(Qt::ISODateWithMs)}};
    if (m_state)
        delta.insert(QStringLiteral("channels"), ChangedChannelsJson(*m_state, snap));
    if (!events.isEmpty())
        delta.insert(QStringLiteral("journal"), events);
    const bool hadState = m_state.has_value();
    m_state = snap;

    const QByteArray deltaText = Event(QJsonDocument(delta).toJson(QJsonDocument::Compact));
    QByteArray fullText;
    const qint64 now = m_clock.elapsed();
    QList<QTcpSocket*> stuck;
    std::erase_if(m_clients, [](const Client& c) {
        return !c.socket || c.socket->state() != QAbstractSocket::ConnectedState;
    });
    for (Client& c : m_clients) {
        // A page that does not read gets no more until it catches up; then
        // one full state replaces what it missed.
        if (c.socket->bytesToWrite() > m_limits.nMaxBacklog) {
            c.bNeedsFull = true;
            if (c.nStuckSince < 0)
                c.nStuckSince = now;
            else if (now - c.nStuckSince > m_limits.nStuckMs)
                stuck.append(c.socket);
            continue;
        }
        c.nStuckSince = -1;
        if (c.bNeedsFull || !hadState) {
            if (fullText.isEmpty())
                fullText = Event(FullMessage());
            c.socket->write(fullText);
            c.bNeedsFull = false;
        } else {
            c.socket->write(deltaText);
        }
    }
    for (QTcpSocket* socket : stuck)
        socket->abort();
}
