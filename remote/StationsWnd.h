#pragma once
// "Stationen": every station on the broker with its sixteen channels and the
// time of its last message, read from their retained status and state
// messages. Read-only; its own connection with the station's MQTT settings.
// The messages are read and parsed off the window's thread (CStationsFeed);
// the window takes at most one batch of changed stations a second and
// touches only the cells whose text changed, so a busy broker cannot slow
// the measurement tick that shares this thread.

#include "remote/MqttClient.h"
#include "remote/StationsWndFeed.h"

#include <QMap>
#include <QWidget>
#include <memory>
#include <mutex>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

class CStationsWnd : public QWidget
{
public:
    static constexpr int kChannels = CStationsFeed::kChannels;
    using Channel = CStationsFeed::Channel;
    struct Station : CStationsFeed::Row
    {
        QTreeWidgetItem* item = nullptr;
    };

    // handOverMs: the feed's period, shorter only for tests.
    explicit CStationsWnd(const MqttConfig& config, QWidget* parent = nullptr,
                          int handOverMs = CStationsFeed::kHandOverMs);
    ~CStationsWnd() override;

    const QMap<QString, Station>& Stations() const { return m_stations; }
    QTreeWidget* Tree() const { return m_tree; }
    CMqttClient::State ConnectionState() const { return m_state; }
    // Batches the window took so far, for tests and the benchmark.
    int Batches() const { return m_nBatches; }
    quint64 RefusedMessages() const { return m_feed ? m_feed->Refused() : 0; }

private:
    void Deliver(CStationsFeed::Batch&& batch); // the feed's thread
    void Apply();
    void Show(const QString& name, Station& st);

    std::unique_ptr<QObject> m_context;
    std::unique_ptr<CStationsFeed> m_feed;
    std::unique_ptr<CMqttClient> m_client;
    QLabel* m_status;
    QTreeWidget* m_tree;
    QMap<QString, Station> m_stations;
    CMqttClient::State m_state = CMqttClient::State::Disconnected;
    int m_nBatches = 0;
    // Filled on the feed's thread, emptied by Apply.
    std::mutex m_mutex;
    CStationsFeed::Batch m_pending;
    bool m_bPosted = false;
};
