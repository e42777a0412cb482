#include "remote/MqttPublisher.h"

#include "remote/MqttClient.h"
#include "remote/MqttJson.h"
#include "remote/WebJson.h"

#include <QJsonDocument>
#include <QTimer>

CMqttPublisher::CMqttPublisher(CMqttClient& client, const MqttConfig& config)
    : m_client(client), m_config(config), m_root(config.TopicRoot().toUtf8())
{
    m_refresh = new QTimer(this);
    m_refresh->setInterval(kRefreshMs);
    connect(m_refresh, &QTimer::timeout, this, [this] { PublishAll(); });
    m_collect = new QTimer(this);
    m_collect->setInterval(CStateMailbox::kCollectMs);
    connect(m_collect, &QTimer::timeout, this, [this] { Drain(); });
}

void CMqttPublisher::StartTimer()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_refresh->start();
            m_collect->start();
        },
        Qt::QueuedConnection);
}

void CMqttPublisher::Offer(const ChannelRecords& channels, const QVector<JournalEvent>& events)
{
    if (m_mailbox.Post(channels, events))
        QMetaObject::invokeMethod(
            this, [this] { Drain(); }, Qt::QueuedConnection);
}

void CMqttPublisher::Connected()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            Send(m_root + "status", "online", 1, true);
            if (m_config.bDiscovery) {
                for (const MqttRetained& m : MqttDiscovery(m_config))
                    Send(m.topic, m.payload, 1, true);
            }
            m_sentRecord = {};
            PublishAll();
        },
        Qt::QueuedConnection);
}

bool CMqttPublisher::Send(const QByteArray& topic, const QByteArray& payload, int qos, bool retain)
{
    if (!m_client.Publish(topic, payload, qos, retain))
        return false;
    ++m_nSent;
    return true;
}

void CMqttPublisher::Drain()
{
    const CStateMailbox::Mail mail = m_mailbox.Take();
    const std::optional<ChannelSnapshot>& snap = mail.snap;
    const QVector<JournalEvent>& events = mail.events;
    // Events first: a cutoff's event should not wait behind sixteen states.
    for (const JournalEvent& ev : events)
        Send(m_root + "event", QJsonDocument(JournalEventJson(ev)).toJson(QJsonDocument::Compact),
             1, false);
    if (!snap)
        return;
    for (int i = 0; i < ChannelSnapshot::kChannels; ++i) {
        const ChannelRecord& r = snap->channels[i];
        m_state[i] = MqttChannelState(r);
        m_stateRecord[i] = r;
        if ((!m_sentRecord[i] || !m_sentRecord[i]->SameButAge(r)) &&
            Send(m_root + "channel/" + QByteArray::number(i + 1) + "/state", m_state[i], 0, true)) {
            m_sentRecord[i] = r;
        }
    }
}

// Also what a newly connected broker gets: the newest state of each channel.
void CMqttPublisher::PublishAll()
{
    for (int i = 0; i < ChannelSnapshot::kChannels; ++i) {
        if (!m_state[i].isEmpty() &&
            Send(m_root + "channel/" + QByteArray::number(i + 1) + "/state", m_state[i], 0, true)) {
            m_sentRecord[i] = m_stateRecord[i];
        }
    }
}
