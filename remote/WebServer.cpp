#include "remote/WebServer.h"

#include "remote/WebJson.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
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

// A page of another site may make the browser send requests here; it cannot
// fake Origin or Sec-Fetch-Site.
bool IsCrossSite(const QHttpServerRequest& request)
{
    if (request.value("Sec-Fetch-Site").trimmed().toLower() == "cross-site")
        return true;
    const QByteArray origin = request.value("Origin").trimmed();
    if (origin.isEmpty())
        return false;
    const QUrl url(QString::fromLatin1(origin));
    if (!url.isValid() || url.host().isEmpty())
        return true; // "null" and the like
    QString authority = url.host();
    if (authority.contains(QLatin1Char(':')))
        authority = QLatin1Char('[') + authority + QLatin1Char(']');
    if (url.port() != -1)
        authority += QLatin1Char(':') + QString::number(url.port());
    return authority.compare(QString::fromLatin1(request.value("Host").trimmed()),
                             Qt::CaseInsensitive) != 0;
}

} // namespace

// ---- connection guard ----

CConnectionGuard::CConnectionGuard(const WebServerLimits& limits, QObject* parent)
    : QObject(parent), m_limits(limits)
{
    m_clock.start();
    m_sweep.setInterval(std::max(100, m_limits.nIdleMs / 4));
    connect(&m_sweep, &QTimer::timeout, this, &CConnectionGuard::Sweep);
    m_sweep.start();
}

bool CConnectionGuard::Admit(QTcpSocket* socket)
{
    if (m_live.size() >= m_limits.nMaxConnections) {
        socket->abort();
        socket->deleteLater();
        return false;
    }
    // A request larger than the buffer stalls and goes at the next sweep.
    socket->setReadBufferSize(m_limits.nReadBuffer);
    m_live.insert(socket, {m_clock.elapsed(), false});
    const auto touch = [this, socket] {
        const auto it = m_live.find(socket);
        if (it != m_live.end())
            it->nLast = m_clock.elapsed();
    };
    connect(socket, &QIODevice::readyRead, this, touch);
    connect(socket, &QIODevice::bytesWritten, this, touch);
    connect(socket, &QObject::destroyed, this, [this, socket] { m_live.remove(socket); });
    return true;
}

void CConnectionGuard::Exempt(QTcpSocket* socket)
{
    const auto it = m_live.find(socket);
    if (it != m_live.end())
        it->bExempt = true;
}

void CConnectionGuard::Sweep()
{
    const qint64 now = m_clock.elapsed();
    QList<QTcpSocket*> idle;
    for (auto it = m_live.cbegin(); it != m_live.cend(); ++it) {
        if (!it->bExempt && now - it->nLast > m_limits.nIdleMs)
            idle.append(it.key());
    }
    for (QTcpSocket* socket : idle) {
        m_live.remove(socket);
        socket->abort();
        socket->deleteLater();
    }
}

// ---- server ----

CWebServer::CWebServer(WebBackend backend, WebPasswordHash password, WebServerLimits limits)
    : m_backend(std::move(backend)), m_password(std::move(password)), m_limits(limits),
      m_guard(new CConnectionGuard(limits, this))
{
    InitRemoteResources();
    m_clock.start();
    m_collect.setInterval(CStateMailbox::kCollectMs);
    connect(&m_collect, &QTimer::timeout, this, [this] { Collect(); });
    m_collect.start();
}

CWebServer::~CWebServer() = default;

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
    Error(Status::NotFound, QStringLiteral("Nicht gefunden")).write(makeResponder(request, socket));
}

bool CWebServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    if (request.url().path() == QLatin1String("/events") &&
        request.method() == QHttpServerRequest::Method::Get) {
        OpenStream(request, socket);
        return true;
    }
    QHttpServerResponse response = Route(request);
    response.setHeader("Cache-Control", "no-store");
    response.setHeader("X-Content-Type-Options", "nosniff");
    response.setHeader("Referrer-Policy", "no-referrer");
    response.setHeader("Content-Security-Policy", "default-src 'self'; frame-ancestors 'none'");
    response.write(makeResponder(request, socket));
    return true;
}

QHttpServerResponse CWebServer::Route(const QHttpServerRequest& request)
{
    const QString path = request.url().path();
    const auto method = request.method();
    const bool get = method == QHttpServerRequest::Method::Get;
    const bool post = method == QHttpServerRequest::Method::Post;
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
    if (path == QLatin1String("/api/login"))
        return post ? Login(request) : wrongMethod();
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

QHttpServerResponse CWebServer::Login(const QHttpServerRequest& request)
{
    if (IsCrossSite(request))
        return Error(Status::Forbidden, QStringLiteral("Anfrage einer fremden Seite abgelehnt"));
    if (!m_password.IsSet())
        return Error(Status::Forbidden,
                     QStringLiteral("Schalten ist gesperrt: kein Passwort gesetzt "
                                    "(korva --set-web-password)"));
    const QHostAddress client = request.remoteAddress();
    if (!m_limiter.MayTry(client, m_clock.elapsed()))
        return Error(Status::TooManyRequests,
                     QStringLiteral("Zu viele Fehlversuche; bitte eine Minute warten"));
    if (request.body().size() > kMaxBody)
        return Error(Status::PayloadTooLarge, QStringLiteral("Anfrage zu groß"));
    QJsonParseError parsed{};
    const QJsonDocument doc = QJsonDocument::fromJson(request.body(), &parsed);
    const QJsonValue password = doc.object().value(QStringLiteral("password"));
    if (parsed.error != QJsonParseError::NoError || !doc.isObject() || !password.isString())
        return Error(Status::BadRequest,
                     QStringLiteral("Erwartet: JSON mit dem Feld \u201Epassword\u201C"));
    if (!CheckWebPassword(password.toString(), m_password)) {
        m_limiter.RecordFailure(client, m_clock.elapsed());
        return Error(Status::Unauthorized, QStringLiteral("Passwort falsch"));
    }
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
    if (IsCrossSite(request))
        return Error(Status::Forbidden, QStringLiteral("Anfrage einer fremden Seite abgelehnt"));
    m_sessions.Remove(CookieValue(request));
    QHttpServerResponse response = Json({{QStringLiteral("ok"), true}});
    response.setHeader("Set-Cookie", kCookie + "=; HttpOnly; SameSite=Strict; Path=/; Max-Age=0");
    return response;
}

std::optional<QHttpServerResponse> CWebServer::RefuseSwitching(const QHttpServerRequest& request)
{
    if (IsCrossSite(request))
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
    std::erase_if(m_clients, [](const Client& c) { return !c.socket; });
    if (int(m_clients.size()) >= m_limits.nMaxStreams) {
        Error(Status::ServiceUnavailable, QStringLiteral("Zu viele offene Seiten"))
            .write(makeResponder(request, socket));
        return;
    }
    m_guard->Exempt(socket);
    QHttpServerResponder responder = makeResponder(request, socket);
    responder.writeStatusLine(Status::Ok);
    responder.writeHeader("Content-Type", "text/event-stream; charset=utf-8");
    responder.writeHeader("Cache-Control", "no-store");
    responder.writeHeader("X-Content-Type-Options", "nosniff");
    socket->write("\r\n");
    Client client{socket, true, -1};
    if (m_state) {
        socket->write(Event(FullMessage()));
        client.bNeedsFull = false;
    }
    m_clients.push_back(client);
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
