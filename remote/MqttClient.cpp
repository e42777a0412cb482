#include "remote/MqttClient.h"

#include <QFile>
#include <chrono>
#include <mosquitto.h>

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr int kLoopMs = 100; // how soon a stop request is seen

void InitLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

const char* OrNull(const QByteArray& s)
{
    return s.isEmpty() ? nullptr : s.constData();
}

} // namespace

CMqttClient::CMqttClient(Options options, StateHandler onState, MessageHandler onMessage)
    : m_options(std::move(options)), m_onState(std::move(onState)),
      m_onMessage(std::move(onMessage))
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
        const QByteArray ca = QFile::encodeName(c.strCaFile);
        const QByteArray cert = QFile::encodeName(c.strCertFile);
        const QByteArray key = QFile::encodeName(c.strKeyFile);
        if (mosquitto_tls_set(m_mosq, ca.constData(), nullptr, OrNull(cert), OrNull(key),
                              nullptr) != MOSQ_ERR_SUCCESS)
            return fail(QStringLiteral("Die TLS-Dateien können nicht verwendet werden."));
    }
    mosquitto_connect_callback_set(m_mosq, &CMqttClient::OnConnect);
    mosquitto_message_callback_set(m_mosq, &CMqttClient::OnMessage);
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
    return mosquitto_publish(m_mosq, nullptr, topic.constData(), int(payload.size()),
                             payload.constData(), qos, retain) == MOSQ_ERR_SUCCESS;
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
    // 4: wrong user name or password, 5: not authorised.
    self->m_bRefused = rc == 4 || rc == 5;
    if (rc != 0)
        return;
    self->m_nPause = kFirstPauseSeconds;
    for (const QByteArray& topic : self->m_options.subscriptions)
        mosquitto_subscribe(mosq, nullptr, topic.constData(), 1);
    self->SetState(State::Connected);
}

void CMqttClient::OnMessage(mosquitto*, void* obj, const mosquitto_message* msg)
{
    auto* self = static_cast<CMqttClient*>(obj);
    if (self->m_onMessage && msg && msg->topic)
        self->m_onMessage(QByteArray(msg->topic),
                          QByteArray(static_cast<const char*>(msg->payload), msg->payloadlen));
}

bool CMqttClient::Pause(int seconds)
{
    std::unique_lock lock(m_mutex);
    return !m_wake.wait_for(lock, std::chrono::seconds(seconds), [this] { return m_bStop; });
}

void CMqttClient::Run()
{
    const MqttConfig& c = m_options.config;
    const QByteArray host = c.strHost.toUtf8();
    bool bFirst = true;
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_bStop)
                break;
        }
        m_bRefused = false;
        int rc = bFirst ? mosquitto_connect(m_mosq, host.constData(), c.nPort, kKeepAliveSeconds)
                        : mosquitto_reconnect(m_mosq);
        bFirst = rc != MOSQ_ERR_SUCCESS && bFirst;
        bool bStopping = false;
        while (rc == MOSQ_ERR_SUCCESS) {
            {
                std::lock_guard lock(m_mutex);
                bStopping = m_bStop;
            }
            if (bStopping)
                break;
            rc = mosquitto_loop(m_mosq, kLoopMs, 1);
        }
        if (bStopping) {
            if (m_bConnected) {
                if (!m_lastTopic.isEmpty())
                    mosquitto_publish(m_mosq, nullptr, m_lastTopic.constData(),
                                      int(m_lastPayload.size()), m_lastPayload.constData(), 1,
                                      true);
                mosquitto_disconnect(m_mosq);
                // Lets the last words and the DISCONNECT leave, bounded.
                for (int i = 0; i < 10 && mosquitto_loop(m_mosq, kLoopMs, 1) == MOSQ_ERR_SUCCESS;
                     ++i) {
                }
            }
            break;
        }
        SetState(m_bRefused ? State::Refused : State::Disconnected);
        const int pause = m_nPause;
        m_nPause = std::min(pause * 2, kLongestPauseSeconds);
        if (!Pause(pause))
            break;
    }
    SetState(State::Disconnected);
}
