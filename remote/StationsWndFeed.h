#pragma once
// What the "Stationen" overview shows, made off the window's thread: the
// connection's thread keeps only the newest message per topic (a cheap copy),
// and a thread of the feed's own parses them once per hand-over period and
// hands on only the stations whose rows changed. However fast other stations
// publish, the window gets at most one batch per period, and the number of
// stations is bounded.

#include "base/Station.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QString>
#include <array>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class CStationsFeed
{
public:
    static constexpr int kChannels = korva::kChannels;
    static constexpr int kMaxStations = 500;
    static constexpr int kHandOverMs = 1000;

    struct Channel
    {
        bool bKnown = false;
        QString strName;
        double dCurrent = 0.0;
        bool bOn = false;
        bool bCutOff = false;
        bool operator==(const Channel&) const = default;
    };
    struct Row
    {
        bool bOnline = false;
        QDateTime last; // time of the last message
        std::array<Channel, kChannels> channels;
    };
    using Batch = QMap<QString, Row>; // station name to its whole row
    // Runs on the feed's thread.
    using Deliver = std::function<void(Batch&&)>;

    explicit CStationsFeed(Deliver deliver, int handOverMs = kHandOverMs);
    ~CStationsFeed();
    CStationsFeed(const CStationsFeed&) = delete;
    CStationsFeed& operator=(const CStationsFeed&) = delete;

    // Any thread (the connection's): "korva/<station>/status" and
    // "korva/<station>/channel/<k>/state"; anything else is dropped.
    void Take(const QByteArray& topic, const QByteArray& payload);
    // Messages of stations beyond kMaxStations, dropped.
    quint64 Refused() const { return m_nRefused; }

private:
    void Run();
    void HandOver();
    // False when the payload says nothing new for the row.
    bool Merge(Row& row, const QByteArray& topic, const QByteArray& payload) const;

    Deliver m_deliver;
    const int m_nHandOverMs;
    std::mutex m_mutex; // guards the fields below up to m_bStop
    QHash<QByteArray, QByteArray> m_arrived; // topic to its newest payload
    QSet<QByteArray> m_names;                // stations seen, bounded
    bool m_bStop = false;
    std::condition_variable m_wake;
    std::atomic<quint64> m_nRefused{0};
    // The feed's thread only.
    QHash<QString, Row> m_rows;
    std::thread m_thread;
};
