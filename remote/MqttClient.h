#pragma once
// One connection to an MQTT broker through libmosquitto, on a thread of its
// own: connects without blocking, gives up on a broker that does not answer
// within kConnectTimeoutMs, retries with growing pauses (1 s doubling up to
// 60 s) and subscribes again after each connect. Publish may be called from
// any thread; it never waits for the network, and Stop returns within about
// a second whatever the broker does. Handlers run on the connection's thread.

#include "remote/MqttConfig.h"

#include <QByteArray>
#include <QList>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

struct mosquitto;
struct mosquitto_message;

class CMqttClient
{
public:
    enum class State
    {
        Disconnected,
        Connected,
        Refused // the broker refused the login
    };
    static constexpr int kFirstPauseSeconds = 1;
    static constexpr int kLongestPauseSeconds = 60;
    static constexpr int kConnectTimeoutMs = 10000;

    struct Options
    {
        MqttConfig config;
        QByteArray password;
        QByteArray clientId;
        QByteArray willTopic; // empty: no last will
        QByteArray willPayload;
        QList<QByteArray> subscriptions;
    };
    using StateHandler = std::function<void(State)>;
    // retained: the broker kept the message and hands it over at subscribing.
    using MessageHandler =
        std::function<void(const QByteArray& topic, const QByteArray& payload, bool retained)>;
    // Why an attempt failed, in German; once per kind of failure until a
    // connect succeeds.
    using ErrorHandler = std::function<void(const QString& reason)>;

    CMqttClient(Options options, StateHandler onState, MessageHandler onMessage = {},
                ErrorHandler onError = {});
    ~CMqttClient();
    CMqttClient(const CMqttClient&) = delete;
    CMqttClient& operator=(const CMqttClient&) = delete;

    // Starts the connection's thread; false with a German reason when the
    // settings cannot work (TLS files, no memory).
    bool Start(QString* error);
    // Says lastPayload on lastTopic (retained) when connected, disconnects and
    // ends the thread.
    void Stop(const QByteArray& lastTopic = {}, const QByteArray& lastPayload = {});

    // False, and nothing queued, while not connected.
    bool Publish(const QByteArray& topic, const QByteArray& payload, int qos, bool retain);
    bool IsConnected() const { return m_bConnected; }
    State CurrentState() const { return m_state; }
    // Pause before the next attempt, for tests and the status text.
    int PauseSeconds() const { return m_nPause; }

private:
    static void OnConnect(mosquitto*, void* obj, int rc);
    static void OnMessage(mosquitto*, void* obj, const mosquitto_message* msg);
    static void OnLog(mosquitto*, void* obj, int level, const char* text);
    static void OnPublished(mosquitto*, void* obj, int mid);
    void Run();
    // One connection from its start to its end; false when asked to stop.
    bool Attempt(bool& bFirst);
    void SayLastWords();
    bool StopRequested();
    void Fail(int rc);
    QString Reason(int rc) const;
    void SetState(State state);
    bool Pause(int seconds); // false when asked to stop

    Options m_options;
    StateHandler m_onState;
    MessageHandler m_onMessage;
    ErrorHandler m_onError;
    mosquitto* m_mosq = nullptr;
    std::mutex m_publishMutex; // Publish against Stop destroying m_mosq
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_bStop = false; // under m_mutex
    QByteArray m_lastTopic, m_lastPayload;
    std::atomic<bool> m_bConnected{false};
    std::atomic<State> m_state{State::Disconnected};
    std::atomic<int> m_nPause{kFirstPauseSeconds};
    std::atomic<int> m_nUnacked{0}; // acknowledged messages still in flight
    // Connection thread only.
    bool m_bRefused = false; // the last CONNACK refused the login
    int m_nConnack = -1;     // the last CONNACK's code, -1: none yet
    QByteArray m_tlsLog;     // the library's last TLS complaint
    QString m_strLastError;  // reported already
};
