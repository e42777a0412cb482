#pragma once
// What a station publishes, on the MQTT thread: a channel's state when it
// changed and once a minute, each journal event, and on every connect the
// status, the discovery configuration and the newest state of all channels.
// Only the newest snapshot waits; events that find no connection are dropped.

#include "journal/JournalEvent.h"
#include "remote/ChannelSnapshot.h"
#include "remote/MqttConfig.h"
#include "remote/StateMailbox.h"

#include <QObject>
#include <QVector>
#include <array>
#include <atomic>
#include <optional>

class CMqttClient;
class QTimer;

class CMqttPublisher : public QObject
{
public:
    static constexpr int kRefreshMs = 60000;
    static constexpr int kMaxWaitingEvents = 1000;

    CMqttPublisher(CMqttClient& client, const MqttConfig& config);

    // Any thread: the newest snapshot replaces one not yet sent. The state
    // goes out with the next collection; events wake this thread at once.
    void Offer(const ChannelRecords& channels, const QVector<JournalEvent>& events);
    // Any thread: after a connect.
    void Connected();
    // Runs the refresh and collection timers; call once the object lives on
    // its thread.
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
    CStateMailbox m_mailbox{kMaxWaitingEvents};
    // On this object's thread only.
    std::array<QByteArray, ChannelSnapshot::kChannels> m_state; // newest payloads
    ChannelRecords m_stateRecord; // the records behind m_state
    // What the broker holds; a reading that only aged is not sent again.
    std::array<std::optional<ChannelRecord>, ChannelSnapshot::kChannels> m_sentRecord;
    QTimer* m_refresh = nullptr;
    QTimer* m_collect = nullptr;
    std::atomic<quint64> m_nSent{0};
};
