#pragma once
// MQTT as an add-on: publishes the first open view's channels, its journal
// events and its status to a broker, takes switching commands when enabled,
// and opens the stations overview. Networking runs on threads of its own;
// works the same with and without a window and never shows a message box
// except from its own dialog.

#include "framework/CmdTarget.h"
#include "journal/JournalEvent.h"
#include "remote/ChannelSnapshot.h"
#include "remote/MqttClient.h"
#include "remote/MqttConfig.h"
#include "remote/ServedView.h"
#include "remote/SwitchCommands.h"
#include "view/ViewEvents.h"

#include <QDateTime>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QThread>
#include <array>
#include <memory>
#include <optional>

class CJournalModule;
class CMDIFrameWnd;
class CMqttPublisher;
class CStationsWnd;
class CVelkorView;
class QLabel;
class QTimer;

class CMqttModule : public CCmdTarget, public CViewPublisher
{
public:
    static constexpr int kBadCommandReportMs = 60000;

    CMqttModule(CMDIFrameWnd* frame, CJournalModule* journal, const MqttConfig& config);
    ~CMqttModule() override;

    // Connects when enabled; unusable settings cost a warning on standard
    // error and in the status bar.
    bool Start();
    void Stop();
    // New settings: the connection starts again with them.
    void SetConfig(const MqttConfig& config);
    const MqttConfig& Config() const { return m_config; }
    bool IsRunning() const { return m_client != nullptr; }
    const CMqttClient* Client() const { return m_client.get(); }

    CMqttClient::State State() const { return m_state; }
    QString StatusText() const;
    QString LastReport() const { return m_strReport; }
    CVelkorView* View() const { return m_served.View(); }
    CMqttPublisher* Publisher() const { return m_publisher; }
    // Commands ignored because they were not understood.
    int BadCommands() const { return m_nBadCommands; }
    // Commands ignored because the broker kept them (retained): a command is
    // meant for its moment, not for every later start or reconnect.
    int RetainedCommands() const { return m_nRetainedCommands; }
    // Why the last connection attempt failed, German; empty once connected.
    QString LastError() const { return m_strError; }
    // The last switching result of a command, for tests.
    const std::optional<SwitchResult>& LastResult() const { return m_lastResult; }

    // Commands.
    void OnMqttVerbindung();
    void OnStationen();
    CStationsWnd* StationsWindow() const;

    void OnStandstill(CVelkorView& view) override;

private:
    void CreateStatusPane();
    void ShowState(CMqttClient::State state);
    void ShowError(const QString& reason);
    void UpdatePane();
    // Takes back what the broker keeps for Home Assistant when the new
    // settings no longer publish it.
    void RemoveDiscovery(const MqttConfig& next);
    void Report(const QString& text);
    bool IsPublishing() const override { return m_client != nullptr; }
    void Publish() override;
    QVector<JournalEvent> NewJournalEvents();
    void OnMessage(const QByteArray& topic, const QByteArray& payload, bool retained);
    void IgnoreRetained(const QByteArray& topic);
    void ResetContext();
    void CountBadCommand();
    void ReportBadCommands();

    CMDIFrameWnd* m_frame;
    CJournalModule* m_journal;
    MqttConfig m_config;
    std::unique_ptr<QObject> m_context; // queued calls from the network land here
    std::unique_ptr<CMqttClient> m_client;
    QThread m_thread;                      // the publisher's
    CMqttPublisher* m_publisher = nullptr; // lives on m_thread
    CMqttClient::State m_state = CMqttClient::State::Disconnected;
    QPointer<QLabel> m_pane;
    QString m_strReport;
    QString m_strError;
    // The channels as last read: an unchanged tick costs no hand-over.
    ChannelRecords m_channels;
    bool m_bOffered = false;
    quint64 m_nEventsSeen; // the journal's count of recorded events, as far as published
    int m_nBadCommands = 0;
    int m_nBadUnreported = 0;
    int m_nRetainedCommands = 0;
    QSet<QByteArray> m_retainedJournaled; // topics, bounded
    QDateTime m_lastBadReport;
    QTimer* m_badTimer = nullptr; // owned by m_context
    std::optional<SwitchResult> m_lastResult;
    QPointer<CStationsWnd> m_stations;
};
