#pragma once
// "Stationen": every station on the broker with its sixteen channels and the
// time of its last message, read from their retained status and state
// messages. Read-only; its own connection with the station's MQTT settings.

#include "base/Station.h"
#include "remote/MqttClient.h"

#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QWidget>
#include <array>
#include <memory>
#include <mutex>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

class CStationsWnd : public QWidget
{
public:
    static constexpr int kChannels = korva::kChannels;

    struct Channel
    {
        bool bKnown = false;
        QString strName;
        double dCurrent = 0.0;
        bool bOn = false;
        bool bCutOff = false;
    };
    struct Station
    {
        bool bOnline = false;
        QDateTime last; // time of the last message
        std::array<Channel, kChannels> channels;
        QTreeWidgetItem* item = nullptr;
    };

    explicit CStationsWnd(const MqttConfig& config, QWidget* parent = nullptr);
    ~CStationsWnd() override;

    const QMap<QString, Station>& Stations() const { return m_stations; }
    QTreeWidget* Tree() const { return m_tree; }
    CMqttClient::State ConnectionState() const { return m_state; }

private:
    void OnArrived();
    void Take(const QByteArray& topic, const QByteArray& payload, const QDateTime& when);
    void Show(const QString& name, Station& st);

    std::unique_ptr<QObject> m_context;
    std::unique_ptr<CMqttClient> m_client;
    QLabel* m_status;
    QTreeWidget* m_tree;
    QMap<QString, Station> m_stations;
    CMqttClient::State m_state = CMqttClient::State::Disconnected;
    // Filled on the connection's thread: the newest payload per topic.
    std::mutex m_mutex;
    QHash<QByteArray, std::pair<QByteArray, QDateTime>> m_arrived;
    bool m_bPosted = false;
};
