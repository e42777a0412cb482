#pragma once
// What a station publishes, on the MQTT thread: a channel's state when it
// changed and once a minute, each journal event, and on every connect the
// status, the discovery configuration and the newest state of all channels.
// Only the newest snapshot waits; events that find no connection are dropped.

#include "journal/JournalEvent.h"
#include "remote/ChannelSnapshot.h"
#include "remote/MqttConfig.h"

#include <QObject>
#include <QVector>
#include <array>
#include <atomic>
#include <mutex>
#include <optional>

class CMqttClient;
class QTimer;

class CMqttPublisher : public QObject
{
public:
    static constexpr int kRefreshMs = 60000;
    static constexpr int kMaxWaitingEvents = 1000;

    CMqttPublisher(CMqttClient& client, const MqttConfig& config);

    // Any thread: the newest snapshot replaces one not yet sent.
    void Offer(ChannelSnapshot snap, const QVector<JournalEvent>& events);
    // Any thread: after a connect.
    void Connected();
    // Runs the refresh timer; call once the object lives on its thread.
    void StartTimer();

    // Messages handed to the connection, for tests and the benchmark.
    quint64 Sent() const { return m_nSent; }

private:
    void Drain();
    void PublishAll();
    bool Send(const QByteArray& topic, const QByteArray& payload, int qos, bool retain);

    CMqttClient& m_client;
    MqttConfig m_config;
    QByteArray m_root;
    std::mutex m_mutex; // guards what Offer hands over
    std::optional<ChannelSnapshot> m_waiting;
    QVector<JournalEvent> m_waitingEvents;
    bool m_bDrainPosted = false;
    // On this object's thread only.
    std::array<QByteArray, ChannelSnapshot::kChannels> m_state; // newest payloads
    std::array<QByteArray, ChannelSnapshot::kChannels> m_sent;  // what the broker holds
    QTimer* m_refresh = nullptr;
    std::atomic<quint64> m_nSent{0};
};
