#include "remote/MqttModule.h"

#include "framework/Logging.h"
#include "framework/MDIFrame.h"
#include "framework/Resources.h"
#include "framework/WinApp.h"
#include "journal/JournalModule.h"
#include "remote/MqttDlg.h"
#include "remote/MqttJson.h"
#include "remote/MqttPublisher.h"
#include "remote/StationsWnd.h"
#include "res/resource.h"
#include "view/VelkorView.h"

#include <QCoreApplication>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <cstdio>

namespace {

const QString kOrigin = QStringLiteral("MQTT");
// Events handed over at once at most; the journal may hold far more.
constexpr int kMaxEventsPerPublish = 1000;
// Topics of retained commands journaled by name; "+" in the subscription
// lets a client name any number of them.
constexpr int kMaxRetainedJournaled = 64;

} // namespace

CMqttModule::CMqttModule(CMDIFrameWnd* frame, CJournalModule* journal, const MqttConfig& config)
    : m_frame(frame), m_journal(journal), m_config(config), m_context(std::make_unique<QObject>()),
      m_nEventsSeen(journal ? journal->Recorded() : 0)
{
    ResetContext();
    OnCommand(ID_MQTT_VERBINDUNG, [this] { OnMqttVerbindung(); });
    OnCommand(ID_STATIONEN, [this] { OnStationen(); });
    CreateStatusPane();
    AddViewListener(this);
}

CMqttModule::~CMqttModule()
{
    RemoveViewListener(this);
    Stop();
    delete m_stations.data();
}

void CMqttModule::CreateStatusPane()
{
    if (!m_frame)
        return;
    auto* pane = new QLabel(LoadResString(ID_INDICATOR_MQTT));
    pane->setObjectName(QString::number(ID_INDICATOR_MQTT));
    m_frame->statusBar()->addPermanentWidget(pane);
    m_pane = pane;
    pane->setVisible(m_config.bEnabled);
}

QString CMqttModule::StatusText() const
{
    switch (m_state) {
    case CMqttClient::State::Connected:
        return QStringLiteral("MQTT: verbunden");
    case CMqttClient::State::Refused:
        return QStringLiteral("MQTT: Anmeldung abgelehnt");
    case CMqttClient::State::Disconnected:
        break;
    }
    return QStringLiteral("MQTT: nicht verbunden");
}

void CMqttModule::ShowState(CMqttClient::State state)
{
    const bool changed = state != m_state;
    m_state = state;
    if (state == CMqttClient::State::Connected)
        m_strError.clear();
    UpdatePane();
    // Also a line in the log of the unattended program.
    if (changed)
        qCInfo(lcMqtt).noquote() << StatusText();
}

// The connection reports each kind of failure once until it connects.
void CMqttModule::ShowError(const QString& reason)
{
    m_strError = reason;
    const QString text = QStringLiteral("MQTT: %1").arg(reason);
    qCWarning(lcMqtt).noquote() << text;
    if (m_journal)
        m_journal->RecordMessage(text);
    UpdatePane();
}

void CMqttModule::UpdatePane()
{
    if (!m_pane)
        return;
    const bool bError = !m_strError.isEmpty() && m_state != CMqttClient::State::Connected;
    m_pane->setText(bError ? StatusText() + QStringLiteral(" \u2013 ") + m_strError
                           : StatusText());
    m_pane->setToolTip(bError ? m_strError : QString());
    m_pane->setVisible(m_config.bEnabled);
}

void CMqttModule::Report(const QString& text)
{
    m_strReport = text;
    qCWarning(lcMqtt).noquote() << text;
    if (m_frame)
        m_frame->statusBar()->showMessage(text);
}

bool CMqttModule::Start()
{
    if (!m_config.bEnabled || m_client)
        return m_client != nullptr;
    CMqttClient::Options options;
    options.config = m_config;
    QString error;
    if (!ReadMqttPassword(m_config.strPasswordFile, options.password, &error)) {
        Report(QStringLiteral("Warnung: MQTT ist nicht verbunden. %1").arg(error));
        ShowState(CMqttClient::State::Disconnected);
        return false;
    }
    const QString problem = MqttStationProblem(m_config.Station());
    if (!problem.isEmpty())
        Report(QStringLiteral("Warnung: %1 Für MQTT heißt die Station \u201E%2\u201C.")
                   .arg(problem, MqttTopicLevel(m_config.Station())));
    const QByteArray root = m_config.TopicRoot().toUtf8();
    options.clientId = QStringLiteral("korva-%1-%2")
                           .arg(MqttTopicLevel(m_config.Station()))
                           .arg(QCoreApplication::applicationPid())
                           .toUtf8()
                           .left(64);
    options.willTopic = root + "status";
    options.willPayload = "offline";
    if (m_config.bCommands)
        options.subscriptions = {root + "channel/+/set", root + "all/set"};

    QObject* context = m_context.get();
    m_client = std::make_unique<CMqttClient>(
        options,
        [this, context](CMqttClient::State state) {
            if (state == CMqttClient::State::Connected && m_publisher)
                m_publisher->Connected();
            QMetaObject::invokeMethod(
                context, [this, state] { ShowState(state); }, Qt::QueuedConnection);
        },
        [this, context](const QByteArray& topic, const QByteArray& payload, bool retained) {
            QMetaObject::invokeMethod(
                context, [this, topic, payload, retained] { OnMessage(topic, payload, retained); },
                Qt::QueuedConnection);
        },
        [this, context](const QString& reason) {
            QMetaObject::invokeMethod(
                context, [this, reason] { ShowError(reason); }, Qt::QueuedConnection);
        });
    m_thread.setObjectName(QStringLiteral("korva-mqtt"));
    m_thread.start();
    m_publisher = new CMqttPublisher(*m_client, m_config);
    m_publisher->moveToThread(&m_thread);
    m_publisher->StartTimer();
    if (!m_client->Start(&error)) {
        Stop();
        Report(QStringLiteral("Warnung: MQTT ist nicht verbunden. %1").arg(error));
        ShowState(CMqttClient::State::Disconnected);
        return false;
    }
    ShowState(CMqttClient::State::Disconnected);
    if (m_served.View())
        SchedulePublish();
    return true;
}

void CMqttModule::Stop()
{
    ReportBadCommands(); // the count since the last line is not lost
    if (m_client)
        m_client->Stop(m_config.TopicRoot().toUtf8() + "status", "offline");
    if (m_publisher) {
        CMqttPublisher* publisher = m_publisher;
        m_publisher = nullptr;
        QMetaObject::invokeMethod(publisher, &QObject::deleteLater, Qt::QueuedConnection);
    }
    m_thread.quit();
    m_thread.wait();
    m_client.reset();
    ResetContext();
    CancelPublish();
    m_bOffered = false;
    m_state = CMqttClient::State::Disconnected;
    m_strError.clear();
    UpdatePane();
}

// Calls queued by a connection that ended find no client then.
void CMqttModule::ResetContext()
{
    m_context = std::make_unique<QObject>();
    m_badTimer = new QTimer(m_context.get());
    m_badTimer->setSingleShot(true);
    QObject::connect(m_badTimer, &QTimer::timeout, m_context.get(),
                     [this] { ReportBadCommands(); });
}

// Queued on the old connection before it says goodbye, so they leave first.
void CMqttModule::RemoveDiscovery(const MqttConfig& next)
{
    if (!m_client || !m_config.bDiscovery)
        return;
    const bool bSame = next.bEnabled && next.bDiscovery &&
                       next.StationId() == m_config.StationId() &&
                       next.TopicRoot() == m_config.TopicRoot();
    if (bSame)
        return; // the new connection publishes over them, switches taken away included
    for (const MqttRetained& m : MqttDiscoveryRemoval(m_config))
        m_client->Publish(m.topic, m.payload, 1, true);
}

void CMqttModule::SetConfig(const MqttConfig& config)
{
    RemoveDiscovery(config);
    Stop();
    m_config = config;
    Start();
    if (m_pane)
        m_pane->setVisible(m_config.bEnabled);
}

// ---- the published view ----

void CMqttModule::OnStandstill(CVelkorView& view)
{
    if (m_served.Is(view))
        SchedulePublish();
}

void CMqttModule::Publish()
{
    if (!m_publisher)
        return;
    const QVector<JournalEvent> events = NewJournalEvents();
    if (!m_served.View())
        return;
    // An unchanged tick ends here, before the clock is read; the publisher's
    // refresh timer covers the once a minute.
    const bool bChanged = ReadChannels(*m_served.View(), m_channels);
    if (events.isEmpty() && m_bOffered && !bChanged)
        return;
    m_bOffered = true;
    m_publisher->Offer(m_channels, events);
}

// Events from before the module started are history, not news.
QVector<JournalEvent> CMqttModule::NewJournalEvents()
{
    if (!m_journal)
        return {};
    const quint64 seen = m_nEventsSeen;
    m_nEventsSeen = m_journal->Recorded();
    return m_journal->RecordedSince(seen, kMaxEventsPerPublish);
}

// ---- commands ----

void CMqttModule::OnMessage(const QByteArray& topic, const QByteArray& payload, bool retained)
{
    // Empty is how a retained message is deleted, ours included: no command.
    if (!m_config.bCommands || payload.isEmpty())
        return;
    if (retained) {
        IgnoreRetained(topic);
        return;
    }
    if (!m_served.View())
        return;
    const std::optional<MqttCommand> cmd = ParseMqttCommand(m_config.TopicRoot(), topic, payload);
    if (!cmd) {
        CountBadCommand();
        return;
    }
    m_lastResult = cmd->nChannel == 0
                       ? SwitchAll(*m_served.View(), cmd->bOn, kOrigin)
                       : SwitchChannel(*m_served.View(), cmd->nChannel, cmd->bOn, kOrigin);
}

// Journaled once per topic, and deleted on the broker so that it does not come
// back at the next start.
void CMqttModule::IgnoreRetained(const QByteArray& topic)
{
    ++m_nRetainedCommands;
    if (!m_retainedJournaled.contains(topic) &&
        m_retainedJournaled.size() < kMaxRetainedJournaled) {
        m_retainedJournaled.insert(topic);
        const QString text = QStringLiteral("MQTT: gespeicherter Befehl ignoriert (%1)")
                                 .arg(QString::fromUtf8(topic));
        if (m_journal)
            m_journal->RecordMessage(text);
        else
            qCWarning(lcMqtt).noquote() << text;
    }
    if (m_client)
        m_client->Publish(topic, QByteArray(), 1, true);
}

// At most one journal line a minute, however many arrive.
void CMqttModule::CountBadCommand()
{
    ++m_nBadCommands;
    ++m_nBadUnreported;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (!m_lastBadReport.isValid() || m_lastBadReport.msecsTo(now) >= kBadCommandReportMs)
        ReportBadCommands();
    else if (!m_badTimer->isActive())
        m_badTimer->start(int(kBadCommandReportMs - m_lastBadReport.msecsTo(now)));
}

void CMqttModule::ReportBadCommands()
{
    if (m_nBadUnreported == 0)
        return;
    m_lastBadReport = QDateTime::currentDateTimeUtc();
    const QString text =
        QStringLiteral("MQTT: %1 ungültige Befehle ignoriert").arg(m_nBadUnreported);
    m_nBadUnreported = 0;
    if (m_journal)
        m_journal->RecordMessage(text);
    else
        qCWarning(lcMqtt).noquote() << text;
}

// ---- dialog and overview ----

void CMqttModule::OnMqttVerbindung()
{
    CMqttDlg dlg(m_config, m_frame);
    if (dlg.exec() != QDialog::Accepted)
        return;
    if (CWinApp* app = CWinApp::Instance())
        dlg.Result().Save(app->Settings());
    SetConfig(dlg.Result());
}

CStationsWnd* CMqttModule::StationsWindow() const
{
    return m_stations;
}

void CMqttModule::OnStationen()
{
    if (!m_stations)
        m_stations = new CStationsWnd(m_config, m_frame);
    m_stations->show();
    m_stations->raise();
}
