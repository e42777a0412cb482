#pragma once
// Where the window thread leaves the newest channel state for a network
// thread. Leaving it costs a lock and a move: the reader collects it on a
// short timer of its own, so a measurement tick never wakes another thread.
// Only journal events ask for a wake-up (they are rare, and a cutoff should
// not wait for the timer).

#include "journal/JournalEvent.h"
#include "remote/ChannelSnapshot.h"

#include <QVector>
#include <mutex>
#include <optional>

class CStateMailbox
{
public:
    // How often the reader collects the state: well inside the push bounds
    // of the web panel and of MQTT.
    static constexpr int kCollectMs = 20;

    explicit CStateMailbox(qsizetype nMaxEvents) : m_nMaxEvents(nMaxEvents) {}

    // Replaces a state not yet collected; events add up, the oldest dropped
    // beyond the limit. True when the caller should wake the reader now.
    bool Post(ChannelSnapshot snap, const QVector<JournalEvent>& events)
    {
        std::lock_guard lock(m_mutex);
        m_snap = std::move(snap);
        return AddEvents(events);
    }

    // The same for a state without station and time: written over one not
    // yet collected in place, which costs no copies of the names.
    bool Post(const ChannelRecords& channels, const QVector<JournalEvent>& events)
    {
        std::lock_guard lock(m_mutex);
        if (!m_snap)
            m_snap.emplace();
        for (int i = 0; i < ChannelSnapshot::kChannels; ++i)
            Overwrite(m_snap->channels[i], channels[i], channels[i].strName);
        return AddEvents(events);
    }

    struct Mail
    {
        std::optional<ChannelSnapshot> snap;
        QVector<JournalEvent> events;
        bool Empty() const { return !snap && events.isEmpty(); }
    };

    Mail Take()
    {
        Mail mail;
        std::lock_guard lock(m_mutex);
        mail.snap.swap(m_snap);
        mail.events.swap(m_events);
        m_bWakePending = false;
        return mail;
    }

private:
    // Under the lock.
    bool AddEvents(const QVector<JournalEvent>& events)
    {
        if (events.isEmpty())
            return false;
        m_events += events;
        if (m_events.size() > m_nMaxEvents)
            m_events.remove(0, m_events.size() - m_nMaxEvents);
        if (m_bWakePending)
            return false;
        m_bWakePending = true;
        return true;
    }

    const qsizetype m_nMaxEvents;
    std::mutex m_mutex;
    std::optional<ChannelSnapshot> m_snap;
    QVector<JournalEvent> m_events;
    bool m_bWakePending = false;
};
