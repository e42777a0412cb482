#include "remote/MqttClient.h"

#include <QFile>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mosquitto.h>

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr int kLoopMs = 100; // how soon a stop request is seen

void InitLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

constexpr int kTimedOut = -1; // our own code: no CONNACK in time

const char* OrNull(const QByteArray& s)
{
    return s.isEmpty() ? nullptr : s.constData();
}

// The library takes any readable file and fails only at the handshake, with
// nothing said about which file was wrong.
bool IsPem(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.read(1 << 20).contains("-----BEGIN ");
}

} // namespace

CMqttClient::CMqttClient(Options options, StateHandler onState, MessageHandler onMessage,
                         ErrorHandler onError)
    : m_options(std::move(options)), m_onState(std::move(onState)),
      m_onMessage(std::move(onMessage)), m_onError(std::move(onError))
{
}

CMqttClient::~CMqttClient()
{
    Stop();
}

bool CMqttClient::Start(QString* error)
{
    if (m_mosq)
        return true;
    InitLibrary();
    const auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        if (m_mosq)
            mosquitto_destroy(m_mosq);
        m_mosq = nullptr;
        return false;
    };
    m_mosq = mosquitto_new(OrNull(m_options.clientId), true, this);
    if (!m_mosq)
        return fail(QStringLiteral("Die MQTT-Verbindung kann nicht angelegt werden."));
    // Our own thread runs the loop: publishing from others only queues.
    mosquitto_threaded_set(m_mosq, true);
    mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    // Small messages that should leave at once: a cutoff's event would
    // otherwise wait for the acknowledgement of the one before.
    mosquitto_int_option(m_mosq, MOSQ_OPT_TCP_NODELAY, 1);
    const MqttConfig& c = m_options.config;
    if (!c.strUser.isEmpty())
        mosquitto_username_pw_set(m_mosq, c.strUser.toUtf8().constData(),
                                  OrNull(m_options.password));
    if (!m_options.willTopic.isEmpty())
        mosquitto_will_set(m_mosq, m_options.willTopic.constData(),
                           int(m_options.willPayload.size()), m_options.willPayload.constData(), 1,
                           true);
    if (c.UsesTls()) {
        for (const QString& f : {c.strCaFile, c.strCertFile, c.strKeyFile}) {
            if (!f.isEmpty() && !QFile::exists(f))
                return fail(QStringLiteral("Die Datei \u201E%1\u201C fehlt.").arg(f));
        }
        if ((c.strCertFile.isEmpty()) != (c.strKeyFile.isEmpty()))
            return fail(QStringLiteral("Zertifikat und Schlüssel gehören zusammen."));
        for (const QString& f : {c.strCaFile, c.strCertFile, c.strKeyFile}) {
            if (!f.isEmpty() && !IsPem(f))
                return fail(QStringLiteral("Die Datei \u201E%1\u201C ist keine PEM-Datei "
                                           "(Zertifikat oder Schlüssel).")
                                .arg(f));
        }
        const QByteArray ca = QFile::encodeName(c.strCaFile);
        const QByteArray cert = QFile::encodeName(c.strCertFile);
        const QByteArray key = QFile::encodeName(c.strKeyFile);
        if (mosquitto_tls_set(m_mosq, ca.constData(), nullptr, OrNull(cert), OrNull(key),
                              nullptr) != MOSQ_ERR_SUCCESS)
            return fail(QStringLiteral("Die TLS-Dateien können nicht verwendet werden."));
    }
    mosquitto_connect_callback_set(m_mosq, &CMqttClient::OnConnect);
    mosquitto_message_callback_set(m_mosq, &CMqttClient::OnMessage);
    mosquitto_log_callback_set(m_mosq, &CMqttClient::OnLog);
    mosquitto_publish_callback_set(m_mosq, &CMqttClient::OnPublished);
    {
        std::lock_guard lock(m_mutex);
        m_bStop = false;
    }
    m_thread = std::thread([this] { Run(); });
    return true;
}

void CMqttClient::Stop(const QByteArray& lastTopic, const QByteArray& lastPayload)
{
    if (!m_mosq)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_bStop = true;
        m_lastTopic = lastTopic;
        m_lastPayload = lastPayload;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard lock(m_publishMutex);
    m_bConnected = false;
    mosquitto_destroy(m_mosq);
    m_mosq = nullptr;
}

bool CMqttClient::Publish(const QByteArray& topic, const QByteArray& payload, int qos, bool retain)
{
    std::lock_guard lock(m_publishMutex);
    if (!m_bConnected || !m_mosq)
        return false;
    if (mosquitto_publish(m_mosq, nullptr, topic.constData(), int(payload.size()),
                          payload.constData(), qos, retain) != MOSQ_ERR_SUCCESS)
        return false;
    if (qos > 0)
        ++m_nUnacked;
    return true;
}

void CMqttClient::SetState(State state)
{
    m_bConnected = state == State::Connected;
    if (m_state.exchange(state) != state && m_onState)
        m_onState(state);
}

void CMqttClient::OnConnect(mosquitto* mosq, void* obj, int rc)
{
    auto* self = static_cast<CMqttClient*>(obj);
    self->m_nConnack = rc;
    // 4: wrong user name or password, 5: not authorised.
    self->m_bRefused = rc == 4 || rc == 5;
    if (rc != 0)
        return;
    self->m_nPause = kFirstPauseSeconds;
    self->m_strLastError.clear();
    self->m_nUnacked = 0;
    for (const QByteArray& topic : self->m_options.subscriptions)
        mosquitto_subscribe(mosq, nullptr, topic.constData(), 1);
    self->SetState(State::Connected);
}

void CMqttClient::OnMessage(mosquitto*, void* obj, const mosquitto_message* msg)
{
    auto* self = static_cast<CMqttClient*>(obj);
    if (self->m_onMessage && msg && msg->topic)
        self->m_onMessage(QByteArray(msg->topic),
                          QByteArray(static_cast<const char*>(msg->payload), msg->payloadlen),
                          msg->retain);
}

// The only place the library says what went wrong in a TLS handshake.
void CMqttClient::OnLog(mosquitto*, void* obj, int level, const char* text)
{
    if (level == MOSQ_LOG_ERR && text)
        static_cast<CMqttClient*>(obj)->m_tlsLog = QByteArray(text);
}

void CMqttClient::OnPublished(mosquitto*, void* obj, int)
{
    auto* self = static_cast<CMqttClient*>(obj);
    if (self->m_nUnacked > 0)
        --self->m_nUnacked;
}

bool CMqttClient::Pause(int seconds)
{
    std::unique_lock lock(m_mutex);
    return !m_wake.wait_for(lock, std::chrono::seconds(seconds), [this] { return m_bStop; });
}

bool CMqttClient::StopRequested()
{
    std::lock_guard lock(m_mutex);
    return m_bStop;
}

void CMqttClient::Run()
{
    bool bFirst = true;
    while (Attempt(bFirst)) {
        SetState(m_bRefused ? State::Refused : State::Disconnected);
        const int pause = m_nPause;
        m_nPause = std::min(pause * 2, kLongestPauseSeconds);
        if (!Pause(pause))
            break;
    }
    SetState(State::Disconnected);
}

// Nothing here blocks for long: the TCP connect runs in the background, and
// a broker that takes the connection but never acknowledges it is given up.
bool CMqttClient::Attempt(bool& bFirst)
{
    if (StopRequested())
        return false;
    const MqttConfig& c = m_options.config;
    m_bRefused = false;
    m_nConnack = -1;
    m_tlsLog.clear();
    const QByteArray host = c.strHost.toUtf8();
    int rc = bFirst ? mosquitto_connect_async(m_mosq, host.constData(), c.nPort, kKeepAliveSeconds)
                    : mosquitto_reconnect_async(m_mosq);
    int err = errno;
    bFirst = rc != MOSQ_ERR_SUCCESS && bFirst;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kConnectTimeoutMs);
    while (rc == MOSQ_ERR_SUCCESS) {
        if (StopRequested()) {
            SayLastWords();
            return false;
        }
        if (m_nConnack < 0 && std::chrono::steady_clock::now() > deadline) {
            rc = kTimedOut;
            break;
        }
        rc = mosquitto_loop(m_mosq, kLoopMs, 1);
        err = errno;
    }
    if (StopRequested())
        return false;
    errno = err;
    Fail(rc);
    return true;
}

void CMqttClient::SayLastWords()
{
    if (!m_bConnected)
        return;
    // What was queued before (configurations taken back) is acknowledged
    // first, bounded: the library holds messages beyond its in-flight window
    // back, and a DISCONNECT would drop them.
    // Bounded by time, not rounds: each wake-up of the loop ends a round.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while ((m_nUnacked > 0 || mosquitto_want_write(m_mosq)) &&
           std::chrono::steady_clock::now() < deadline) {
        if (mosquitto_loop(m_mosq, kLoopMs, 1) != MOSQ_ERR_SUCCESS)
            return;
    }
    if (!m_lastTopic.isEmpty())
        mosquitto_publish(m_mosq, nullptr, m_lastTopic.constData(), int(m_lastPayload.size()),
                          m_lastPayload.constData(), 1, true);
    mosquitto_disconnect(m_mosq);
    // Lets the last words and the DISCONNECT leave, bounded.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (std::chrono::steady_clock::now() < end &&
           mosquitto_loop(m_mosq, kLoopMs, 1) == MOSQ_ERR_SUCCESS) {
    }
}

void CMqttClient::Fail(int rc)
{
    const QString reason = Reason(rc);
    if (reason == m_strLastError)
        return;
    m_strLastError = reason;
    if (m_onError)
        m_onError(reason);
}

QString CMqttClient::Reason(int rc) const
{
    const int err = errno;
    const MqttConfig& c = m_options.config;
    const QString where = QStringLiteral("%1:%2").arg(c.strHost).arg(c.nPort);
    switch (m_nConnack) {
    case 1:
        return QStringLiteral("Der Server %1 kennt die Protokollversion MQTT 3.1.1 nicht.").arg(where);
    case 2:
        return QStringLiteral("Der Server %1 lehnt die Client-Kennung ab.").arg(where);
    case 3:
        return QStringLiteral("Der MQTT-Dienst auf %1 ist nicht verfügbar.").arg(where);
    case 4:
        return QStringLiteral("Benutzername oder Passwort falsch.");
    case 5:
        return QStringLiteral("Der Benutzer ist auf %1 nicht berechtigt.").arg(where);
    default:
        break;
    }
    const bool bConnected = m_nConnack == 0;
    const QByteArray log = m_tlsLog.toLower();
    if (c.UsesTls() && !bConnected && !log.isEmpty()) {
        if (log.contains("certificate verify failed") || log.contains("hostname"))
            return QStringLiteral("TLS: Das Zertifikat von %1 wird nicht anerkannt (nicht von der "
                                  "CA-Datei beglaubigt oder nicht auf den Namen \u201E%2\u201C "
                                  "ausgestellt).")
                .arg(where, c.strHost);
        if (log.contains("wrong version") || log.contains("packet length") ||
            log.contains("record") || log.contains("eof") || log.contains("unexpected"))
            return QStringLiteral("TLS: %1 antwortet nicht mit TLS (ein Port ohne TLS?).")
                .arg(where);
        if (log.contains("ca cert") || log.contains("cafile") || log.contains("load"))
            return QStringLiteral("TLS: Die CA-Datei \u201E%1\u201C lässt sich nicht laden.")
                .arg(c.strCaFile);
    }
    switch (rc) {
    case kTimedOut:
        return QStringLiteral("Der Server %1 antwortet nicht.").arg(where);
    case MOSQ_ERR_EAI:
        return QStringLiteral("Der Servername \u201E%1\u201C lässt sich nicht auflösen.")
            .arg(c.strHost);
    case MOSQ_ERR_ERRNO:
        if (err == ECONNREFUSED)
            return QStringLiteral("Der Server %1 lehnt die Verbindung ab (kein MQTT-Dienst an "
                                  "diesem Port?).")
                .arg(where);
        if (err == ETIMEDOUT || err == EHOSTUNREACH || err == ENETUNREACH)
            return QStringLiteral("Der Server %1 ist nicht erreichbar.").arg(where);
        break;
    case MOSQ_ERR_TLS:
        return QStringLiteral("TLS: Die Verbindung zu %1 scheitert beim Verbindungsaufbau "
                              "(Port ohne TLS oder falsches Zertifikat?).")
            .arg(where);
    default:
        break;
    }
    if (bConnected)
        return QStringLiteral("Die Verbindung zu %1 ist abgebrochen.").arg(where);
    if (rc == MOSQ_ERR_CONN_LOST || rc == MOSQ_ERR_PROTOCOL || rc == MOSQ_ERR_NO_CONN)
        return c.UsesTls()
                   ? QStringLiteral("Der Server %1 hat die Verbindung vor der Anmeldung "
                                    "getrennt.")
                         .arg(where)
                   : QStringLiteral("Der Server %1 hat die Verbindung vor der Anmeldung "
                                    "getrennt (verlangt der Port TLS?).")
                         .arg(where);
    return QStringLiteral("Verbindungsfehler mit %1: %2")
        .arg(where, QString::fromLocal8Bit(rc == MOSQ_ERR_ERRNO ? std::strerror(err)
                                                                : mosquitto_strerror(rc)));
}
