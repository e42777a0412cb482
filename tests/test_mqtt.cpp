// MQTT against a real Mosquitto broker on a loopback port: retained state and
// status, events, commands with the lock and their origin, discovery, a
// refused login, a broker restart, TLS, and stations in separate processes
// with their last will and the overview window.

#include "test_mqtt_support.h"

#include "doc/VelkorDoc.h"
#include "helpers/TestSink.h"
#include "helpers/ViewPanel.h"
#include "journal/JournalEvent.h"
#include "journal/JournalModule.h"
#include "remote/MqttDlg.h"
#include "remote/MqttJson.h"
#include "remote/MqttModule.h"
#include "remote/MqttPublisher.h"
#include "remote/StationsWnd.h"

#include <QCheckBox>
#include <QJsonArray>
#include <QLineEdit>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <csignal>

using namespace mqtt_test;

namespace {

const QString kLockText = QStringLiteral("Kurzschluss erst beheben");

MqttConfig ConfigFor(const Broker& b, const QString& station)
{
    MqttConfig c;
    c.bEnabled = true;
    c.strHost = QStringLiteral("127.0.0.1");
    c.nPort = b.port;
    c.strStation = station;
    c.strUser = station;
    c.strPasswordFile = b.File(station + QStringLiteral(".pw"));
    return c;
}

bool IsState(const Message& m, const QString& station, int k)
{
    return m.topic == QStringLiteral("korva/%1/channel/%2/state").arg(station).arg(k);
}

// The real program, unattended, in a home of its own.
struct Station
{
    QTemporaryDir home;
    QProcess proc;

    Station(const Broker& b, const QString& name, const QString& document)
    {
        QSettings s(
            home.filePath(QStringLiteral("config/Kalvento GmbH/KORVA_Powermanagement.conf")),
            QSettings::IniFormat);
        ConfigFor(b, name).Save(s);
        s.sync();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(v));
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        proc.setProcessEnvironment(env);
        proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proc.start(QStringLiteral(KORVA_BINARY),
                   {QStringLiteral("--headless"), QStringLiteral("--simulate"), document});
    }
    ~Station()
    {
        proc.kill();
        proc.waitForFinished(5000);
    }
};

} // namespace

class TestMqtt : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void retainedStateAndStatusAfterConnect();
    void cutoffPublishesEventAndState();
    void commandsOnlyWhenEnabledAndThroughTheLock();
    void retainedCommandsNeverSwitch();
    void discoveryMessages();
    void stationIdsAndNames();
    void refusedLoginKeepsMeasuring();
    void brokerRestartRepublishes();
    void tlsWithOwnCa();
    void stationsOverviewAndLastWill();
    void dialogRefusesMissingFilesAndKeepsSettings();

private:
    void Tick() { m_panel->view.OnTimer(CVelkorView::kMessTimer); }
    bool Connected(CMqttModule& m)
    {
        return WaitFor([&] { return m.State() == CMqttClient::State::Connected; }, 15000);
    }

    Broker m_broker;
    std::unique_ptr<TestSink> m_sink;
    std::unique_ptr<CJournalModule> m_journal;
    std::unique_ptr<CMqttModule> m_mqtt;
    std::unique_ptr<ViewPanel> m_panel;
};

void TestMqtt::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_broker.dir.isValid());
    QVERIFY(m_broker.Prepare(
        {QStringLiteral("pruef"), QStringLiteral("nord"), QStringLiteral("sued")}));
    QVERIFY2(m_broker.Start(), qPrintable(m_broker.log));
    m_sink = std::make_unique<TestSink>();
    m_journal = std::make_unique<CJournalModule>(nullptr);
    m_mqtt = std::make_unique<CMqttModule>(nullptr, m_journal.get(),
                                           ConfigFor(m_broker, QStringLiteral("pruef")));
    QVERIFY(m_mqtt->Start());
    m_panel = std::make_unique<ViewPanel>();
    QCOMPARE(m_mqtt->View(), &m_panel->view);
    // The tests tick; the view's own timers would race with them.
    m_panel->view.m_nAbfragezeit = 3600000;
    m_panel->view.m_nTimerzeitMs = 3600000;
    m_panel->view.KillTimer(CVelkorView::kMessTimer);
    QVERIFY(Connected(*m_mqtt));
    Tick();
}

void TestMqtt::cleanupTestCase()
{
    m_panel.reset();
    m_mqtt.reset();
    m_journal.reset();
    m_sink.reset();
    m_broker.Stop();
}

// A subscriber that comes later still finds status and every channel.
void TestMqtt::retainedStateAndStatusAfterConnect()
{
    m_panel->view.m_strName[2] = QStringLiteral("Schattenbahnhof");
    Tick();
    // Settled: nothing more handed to the connection for a while.
    quint64 sent = 0;
    QVERIFY(WaitFor([&] {
        const quint64 before = m_mqtt->Publisher()->Sent();
        QTest::qWait(300);
        sent = m_mqtt->Publisher()->Sent();
        return sent >= 17 && sent == before;
    }));
    Subscriber sub(m_broker, {QStringLiteral("korva/pruef/#")});
    const Message* status =
        sub.WaitFor([](const Message& m) { return m.topic == "korva/pruef/status"; });
    QVERIFY(status);
    QVERIFY(status->retained);
    QCOMPARE(status->payload, QByteArray("online"));
    for (int k = 1; k <= 16; ++k) {
        const Message* m = sub.WaitFor([k](const Message& x) { return IsState(x, "pruef", k); });
        QVERIFY2(m, qPrintable(QString::number(k)));
        QVERIFY(m->retained);
        const QJsonObject o = m->json();
        for (const char* key :
             {"name", "current", "power", "energy", "on", "cutoff", "alarm", "stale"})
            QVERIFY2(o.contains(QLatin1String(key)), key);
        QCOMPARE(o[QStringLiteral("current")].toDouble(),
                 m_panel->view.m_channel[k - 1].m_dAnzeigestrom);
        QCOMPARE(o[QStringLiteral("power")].toDouble(),
                 m_panel->view.m_dlgVerbrauch.m_dLeistung[k - 1]);
        if (k == 3)
            QCOMPARE(o[QStringLiteral("name")].toString(), QStringLiteral("Schattenbahnhof"));
    }
    // Unchanged channels are not sent again on the next tick.
    const quint64 before = m_mqtt->Publisher()->Sent();
    Tick();
    QTest::qWait(300);
    QVERIFY(m_mqtt->Publisher()->Sent() - before < 16);
}

void TestMqtt::cutoffPublishesEventAndState()
{
    Subscriber sub(m_broker, {QStringLiteral("korva/pruef/event"),
                              QStringLiteral("korva/pruef/channel/1/state")});
    QVERIFY(sub.WaitFor([](const Message& m) { return m.retained; })); // subscribed
    CVelkorView& v = m_panel->view;
    v.m_dAbschaltstrom[0] = 1.0; // channel 1 carries 2 A: cut off at the next tick
    Tick();
    QCOMPARE(v.m_channel[0].m_bAbgeschaltet, 1);
    const Message* ev = sub.WaitFor([](const Message& m) { return m.topic.endsWith("event"); });
    QVERIFY(ev);
    QVERIFY(!ev->retained);
    const QJsonObject o = ev->json();
    QCOMPARE(o[QStringLiteral("kind")].toString(), EventKindText(ChannelEvent::Cutoff));
    QCOMPARE(o[QStringLiteral("channel")].toInt(), 1);
    QCOMPARE(o[QStringLiteral("name")].toString(), v.m_strName[0]);
    QVERIFY(o.contains(QStringLiteral("time")) && o.contains(QStringLiteral("current")) &&
            o.contains(QStringLiteral("detail")));
    QVERIFY(sub.WaitFor([](const Message& m) {
        return !m.retained && m.json()[QStringLiteral("cutoff")].toBool();
    }));
}

void TestMqtt::commandsOnlyWhenEnabledAndThroughTheLock()
{
    CVelkorView& v = m_panel->view;
    QVERIFY(v.IsSwitchedOn(2));
    QVERIFY(Publish(m_broker, QStringLiteral("korva/pruef/channel/2/set"), "OFF"));
    QTest::qWait(700);
    QVERIFY2(v.IsSwitchedOn(2), "a command while commands are off");

    MqttConfig c = m_mqtt->Config();
    c.bCommands = true;
    m_mqtt->SetConfig(c);
    QVERIFY(Connected(*m_mqtt));
    QTest::qWait(300); // the subscription is made in the connect handler
    QVERIFY(Publish(m_broker, QStringLiteral("korva/pruef/channel/2/set"), "OFF"));
    QVERIFY(WaitFor([&] { return !v.IsSwitchedOn(2); }));
    QCOMPARE(m_journal->Events().last().kind, ChannelEvent::ManualOff);
    QCOMPARE(m_journal->Events().last().strDetail, QStringLiteral("MQTT"));

    // Channel 1 was cut off: the lock refuses it, journaled with the origin.
    QVERIFY(v.m_channel[0].m_bAbgeschaltet);
    QVERIFY(Publish(m_broker, QStringLiteral("korva/pruef/channel/1/set"), "ON"));
    QVERIFY(
        WaitFor([&] { return m_journal->Events().last().kind == ChannelEvent::ManualOnLocked; }));
    QCOMPARE(m_mqtt->LastResult()->outcome, SwitchResult::Outcome::Locked);
    QVERIFY(m_mqtt->LastResult()->strMessage.contains(kLockText));
    QVERIFY(!v.IsSwitchedOn(1));
    QCOMPARE(m_journal->Events().last().strDetail, QStringLiteral("MQTT"));
    QVERIFY(m_sink->boxes.isEmpty());

    QVERIFY(Publish(m_broker, QStringLiteral("korva/pruef/all/set"), "ON"));
    QVERIFY(WaitFor([&] { return v.IsSwitchedOn(2); }));
    QVERIFY(!v.IsSwitchedOn(1));

    // All on again while measuring stands still at channel 1's cutoff: the
    // lock refuses channel 1, and the channels already on are not pressed
    // again, which would restart measuring and cut channel 1 once more.
    Tick();
    QVERIFY(!v.IsTimerRunning(CVelkorView::kMessTimer));
    const qsizetype mark = m_journal->Events().size();
    QVERIFY(Publish(m_broker, QStringLiteral("korva/pruef/all/set"), "ON"));
    QVERIFY(WaitFor([&] { return m_journal->Events().size() > mark; }));
    QCOMPARE(m_journal->Events().size(), mark + 1);
    QCOMPARE(m_journal->Events().last().kind, ChannelEvent::ManualOnLocked);
    QCOMPARE(m_journal->Events().last().nChannel, 1);
    QCOMPARE(m_mqtt->LastResult()->locked, QList<int>{1});
    QVERIFY(!v.IsTimerRunning(CVelkorView::kMessTimer));
    QVERIFY(!v.IsSwitchedOn(1));

    // Nonsense is counted, with one journal line however much comes.
    const qsizetype events = m_journal->Events().size();
    const QList<std::pair<QString, QByteArray>> bad = {
        {QStringLiteral("korva/pruef/channel/17/set"), "ON"},
        {QStringLiteral("korva/pruef/channel/0/set"), "ON"},
        {QStringLiteral("korva/pruef/channel/2/set"), "EIN"},
        {QStringLiteral("korva/pruef/channel/2/set"), QByteArray(5000, 'O')},
        // Exactly the switch's payloads: nothing padded, no other case.
        {QStringLiteral("korva/pruef/channel/2/set"), " OFF"},
        {QStringLiteral("korva/pruef/channel/2/set"), "OFF\n"},
        {QStringLiteral("korva/pruef/channel/2/set"), "\tOFF\r\n"},
        {QStringLiteral("korva/pruef/channel/2/set"), "off"},
        {QStringLiteral("korva/pruef/all/set"), "Off"}};
    for (const auto& [topic, payload] : bad)
        QVERIFY(Publish(m_broker, topic, payload));
    QVERIFY(WaitFor([&] { return m_mqtt->BadCommands() == bad.size(); }));
    QVERIFY(v.IsSwitchedOn(2));
    int lines = 0;
    for (qsizetype i = events; i < m_journal->Events().size(); ++i) {
        const JournalEvent& ev = m_journal->Events().at(i);
        QCOMPARE(ev.kind, ChannelEvent::Message);
        lines += ev.strDetail.contains(QStringLiteral("ungültige Befehle")) ? 1 : 0;
    }
    QCOMPARE(lines, 1);
}

// A command kept by the broker would switch at every start and reconnect.
void TestMqtt::retainedCommandsNeverSwitch()
{
    CVelkorView& v = m_panel->view;
    const QString topic = QStringLiteral("korva/pruef/channel/5/set");
    MqttConfig c = m_mqtt->Config();
    c.bCommands = true;
    m_mqtt->SetConfig(c);
    QVERIFY(v.IsSwitchedOn(5));
    const qsizetype from = m_journal->Events().size(); // the journal keeps earlier runs
    const auto journaled = [&] {
        int n = 0;
        for (const JournalEvent& ev : m_journal->Events().mid(from))
            n += ev.strDetail.contains(QStringLiteral("gespeicherter Befehl ignoriert")) &&
                         ev.strDetail.contains(topic)
                     ? 1
                     : 0;
        return n;
    };
    // Before the start, and again after a broker restart (it forgets, having
    // no persistence: published again as a persistent broker would keep it).
    for (int round = 1; round <= 2; ++round) {
        m_mqtt->Stop();
        if (round == 2) {
            m_broker.Stop();
            QVERIFY(m_broker.Start());
        }
        QVERIFY(Publish(m_broker, topic, "OFF", true));
        QVERIFY(m_mqtt->Start());
        QVERIFY(Connected(*m_mqtt));
        QVERIFY(WaitFor([&] { return m_mqtt->RetainedCommands() == round; }));
        QVERIFY(v.IsSwitchedOn(5));
        // Deleted on the broker: a new subscriber finds the status, kept
        // after it in order of subscription, but no command before it.
        Subscriber sub(m_broker, {topic, QStringLiteral("korva/pruef/status")});
        QVERIFY(WaitFor([&] {
            const Message* first = sub.Find([](const Message&) { return true; });
            return first && first->topic == QLatin1String("korva/pruef/status");
        }));
    }
    QCOMPARE(journaled(), 1);
    // A live command still switches.
    QVERIFY(Publish(m_broker, topic, "OFF"));
    QVERIFY(WaitFor([&] { return !v.IsSwitchedOn(5); }));
    QVERIFY(Publish(m_broker, topic, "ON"));
    QVERIFY(WaitFor([&] { return v.IsSwitchedOn(5); }));
    QCOMPARE(m_mqtt->RetainedCommands(), 2);
}

void TestMqtt::discoveryMessages()
{
    MqttConfig c = m_mqtt->Config();
    c.bDiscovery = true;
    c.bCommands = true;
    m_mqtt->SetConfig(c);
    QVERIFY(Connected(*m_mqtt));
    // Once all have arrived, a new subscriber must get them from the broker's
    // store: only then were they published retained (a message that arrives
    // live carries no retain flag).
    {
        Subscriber live(m_broker, {QStringLiteral("homeassistant/#")});
        QVERIFY(WaitFor([&] {
            live.Read();
            return live.messages.size() >= 64;
        }));
    }
    Subscriber sub(m_broker, {QStringLiteral("homeassistant/#")});
    QVERIFY(WaitFor([&] {
        sub.Read();
        return sub.messages.size() >= 64;
    }));
    QSet<QString> ids;
    int energy = 0, switches = 0;
    QJsonObject device;
    for (const Message& m : sub.messages) {
        QVERIFY(m.retained);
        QVERIFY2(m.topic.startsWith("homeassistant/") && m.topic.endsWith("/config"),
                 qPrintable(m.topic));
        QJsonParseError err;
        const QJsonObject o = QJsonDocument::fromJson(m.payload, &err).object();
        QVERIFY2(err.error == QJsonParseError::NoError, m.payload.constData());
        for (const char* key : {"name", "unique_id", "state_topic", "availability_topic", "device"})
            QVERIFY2(o.contains(QLatin1String(key)), key);
        QVERIFY(o[QStringLiteral("state_topic")].toString().startsWith("korva/pruef/channel/"));
        ids.insert(o[QStringLiteral("unique_id")].toString());
        if (device.isEmpty())
            device = o[QStringLiteral("device")].toObject();
        QCOMPARE(o[QStringLiteral("device")].toObject(), device); // one device per station
        const QJsonObject origin = o[QStringLiteral("origin")].toObject();
        for (const char* key : {"name", "sw_version", "support_url"})
            QVERIFY2(!origin[QLatin1String(key)].toString().isEmpty(), key);
        if (o[QStringLiteral("device_class")].toString() == QLatin1String("energy")) {
            ++energy;
            QCOMPARE(o[QStringLiteral("state_class")].toString(),
                     QStringLiteral("total_increasing"));
        }
        if (m.topic.startsWith("homeassistant/switch/")) {
            ++switches;
            QVERIFY(o[QStringLiteral("command_topic")].toString().endsWith("/set"));
        }
    }
    QCOMPARE(ids.size(), 64);
    QCOMPARE(energy, 16);
    QCOMPARE(switches, 16);
    QVERIFY(!device[QStringLiteral("sw_version")].toString().isEmpty());

    // Switching discovery off, and then the whole link, takes them away.
    for (int step = 0; step < 2; ++step) {
        Subscriber gone(m_broker, {QStringLiteral("homeassistant/#")});
        QVERIFY(WaitFor([&] {
            gone.Read();
            return gone.messages.size() >= 64;
        }));
        c = m_mqtt->Config();
        (step == 0 ? c.bDiscovery : c.bEnabled) = false;
        m_mqtt->SetConfig(c);
        QSet<QString> cleared;
        const bool bCleared = WaitFor([&] {
            gone.Read();
            for (const Message& m : gone.messages)
                if (m.payload.isEmpty())
                    cleared.insert(m.topic);
            return cleared.size() == 64;
        }, 30000);
        QVERIFY2(bCleared, qPrintable(QStringLiteral("step %1: %2 of 64 taken back, %3 seen")
                                          .arg(step)
                                          .arg(cleared.size())
                                          .arg(gone.messages.size())));
        c.bDiscovery = c.bEnabled = true;
        m_mqtt->SetConfig(c);
        QVERIFY(Connected(*m_mqtt));
    }
}

// Names that differ only in case keep apart in Home Assistant; the id is
// made once and kept. Names the broker would treat specially are refused.
void TestMqtt::stationIdsAndNames()
{
    QTemporaryDir dir;
    QSet<QString> uniqueIds, nodes;
    for (const QString& name : {QStringLiteral("Nord"), QStringLiteral("nord")}) {
        QSettings s(dir.filePath(name + QStringLiteral(".conf")), QSettings::IniFormat);
        MqttConfig c = MqttConfig::Load(s);
        c.strStation = name;
        c.bDiscovery = c.bCommands = true;
        QCOMPARE(MqttConfig::Load(s).strStationId, c.strStationId); // made once
        for (const MqttRetained& m : MqttDiscovery(c)) {
            uniqueIds.insert(QJsonDocument::fromJson(m.payload)
                                 .object()[QStringLiteral("unique_id")]
                                 .toString());
            nodes.insert(QString::fromUtf8(m.topic).section(QLatin1Char('/'), 2, 2));
        }
    }
    QCOMPARE(uniqueIds.size(), 2 * 64);
    QCOMPARE(nodes.size(), 2);

    const QString longName(70000, QLatin1Char('x'));
    for (const QString& bad : {QStringLiteral("$SYS"), QStringLiteral("a\uFFFEb"), longName}) {
        QVERIFY(!MqttStationProblem(bad).isEmpty());
        const QString level = MqttTopicLevel(bad);
        QVERIFY(!level.startsWith(QLatin1Char('$')));
        QVERIFY(level.size() <= MqttConfig::kMaxStationChars);
        QVERIFY(MqttStationProblem(level).isEmpty());
    }
    QVERIFY(MqttStationProblem(QStringLiteral("Süd-Gleis 2")).isEmpty());
}

// A wrong password is shown as such and retried; ticks go on meanwhile.
void TestMqtt::refusedLoginKeepsMeasuring()
{
    QVERIFY(WriteFile(m_broker.File("falsch.pw"), "falsch\n"));
    MqttConfig c = ConfigFor(m_broker, QStringLiteral("pruef"));
    c.strPasswordFile = m_broker.File("falsch.pw");
    CMqttModule refused(nullptr, m_journal.get(), c);
    QVERIFY(refused.Start());
    QVERIFY(WaitFor([&] { return refused.State() == CMqttClient::State::Refused; }));
    QCOMPARE(refused.StatusText(), QStringLiteral("MQTT: Anmeldung abgelehnt"));
    const double energy = m_panel->view.m_dlgVerbrauch.m_dEnergie[1];
    m_panel->view.OnTimer(CVelkorView::kVerbrauchTimer);
    for (int i = 0; i < 5; ++i)
        Tick();
    QVERIFY(m_panel->view.m_dlgVerbrauch.m_dEnergie[1] > energy);
    QCOMPARE(refused.State(), CMqttClient::State::Refused);
    QVERIFY(m_sink->boxes.isEmpty());
}

// Without persistence the broker forgets everything: what it holds after
// the restart was published again.
void TestMqtt::brokerRestartRepublishes()
{
    m_broker.Stop();
    QVERIFY(WaitFor([&] { return m_mqtt->State() == CMqttClient::State::Disconnected; }));
    QCOMPARE(m_mqtt->StatusText(), QStringLiteral("MQTT: nicht verbunden"));
    Tick(); // measuring goes on while away
    QVERIFY(m_broker.Start());
    QVERIFY(WaitFor([&] { return m_mqtt->State() == CMqttClient::State::Connected; }, 20000));
    Subscriber sub(m_broker, {QStringLiteral("korva/pruef/#")});
    // Retained or, when the republishing comes after the subscription, live.
    QVERIFY(sub.WaitFor(
        [](const Message& m) { return m.topic == "korva/pruef/status" && m.payload == "online"; }));
    QVERIFY(sub.WaitFor([](const Message& m) { return IsState(m, "pruef", 16); }));
}

void TestMqtt::tlsWithOwnCa()
{
    MqttConfig c = ConfigFor(m_broker, QStringLiteral("nord"));
    c.nPort = m_broker.tlsPort;
    c.strCaFile = m_broker.File("ca.crt");
    CMqttModule tls(nullptr, m_journal.get(), c);
    QVERIFY(tls.Start());
    QVERIFY(Connected(tls));
    tls.Stop();

    // A CA that did not sign the server's certificate: no connection.
    c.strCaFile = m_broker.File("server.crt");
    CMqttModule wrongCa(nullptr, m_journal.get(), c);
    QVERIFY(wrongCa.Start());
    QTest::qWait(1500);
    QVERIFY(wrongCa.State() != CMqttClient::State::Connected);
}

// Two programs, each its own station; one overview shows both, and a killed
// one as offline through its last will. A ramp load crosses channel 4's
// Abschaltstrom a few seconds in.
void TestMqtt::stationsOverviewAndLastWill()
{
    QTemporaryDir docs;
    const QString doc = docs.filePath(QStringLiteral("rampe.sav"));
    CVelkorDoc d;
    d.OnNewDocument();
    d.m_dAlarmstrom[3] = 0.3;
    d.m_dAbschaltstrom[3] = 0.4;
    d.m_dHysterese[3] = 0.0;
    QVERIFY(d.OnSaveDocument(doc));

    Subscriber sub(m_broker, {QStringLiteral("korva/nord/#")});
    Station nord(m_broker, QStringLiteral("nord"), doc);
    Station sued(m_broker, QStringLiteral("sued"), doc);
    QVERIFY(sub.WaitFor(
        [](const Message& m) { return m.topic == "korva/nord/status" && m.payload == "online"; },
        15000));
    const Message* ev = sub.WaitFor(
        [](const Message& m) {
            return m.topic == "korva/nord/event" && m.json()[QStringLiteral("kind")].toString() ==
                                                        EventKindText(ChannelEvent::Cutoff);
        },
        20000);
    QVERIFY(ev);
    QCOMPARE(ev->json()[QStringLiteral("channel")].toInt(), 4);
    QVERIFY(sub.WaitFor(
        [](const Message& m) { return IsState(m, "nord", 4) && m.json()["cutoff"].toBool(); }));

    CStationsWnd wnd(ConfigFor(m_broker, QStringLiteral("pruef")));
    const auto shows = [&](const QString& name, bool online) {
        const auto it = wnd.Stations().find(name);
        if (it == wnd.Stations().end() || it->bOnline != online || !it->item)
            return false;
        for (const CStationsWnd::Channel& ch : it->channels)
            if (!ch.bKnown)
                return false;
        return it->item->childCount() == 16;
    };
    QVERIFY(WaitFor([&] { return shows("nord", true) && shows("sued", true); }));
    QVERIFY(wnd.Stations()["nord"].channels[3].bCutOff);
    QCOMPARE(wnd.Stations()["nord"].item->child(3)->text(3), QStringLiteral("abgeschaltet"));

    ::kill(static_cast<pid_t>(nord.proc.processId()), SIGKILL);
    QVERIFY(sub.WaitFor(
        [](const Message& m) { return m.topic == "korva/nord/status" && m.payload == "offline"; }));
    QVERIFY(WaitFor([&] { return shows("nord", false) && shows("sued", true); }));
    QCOMPARE(wnd.Stations()["nord"].item->text(3), QStringLiteral("offline"));
}

// Through the real exec(): a password file that is not there keeps the dialog
// open with a German message; a good one is taken and survives the settings.
void TestMqtt::dialogRefusesMissingFilesAndKeepsSettings()
{
    CMqttDlg dlg(MqttConfig{});
    QVERIFY(!dlg.EnabledBox()->isChecked());
    m_sink->ExpectBoxes(1);
    bool stayedOpen = false;
    QTimer::singleShot(0, &dlg, [&] {
        dlg.EnabledBox()->setChecked(true);
        dlg.HostEdit()->setText(QStringLiteral("127.0.0.1"));
        dlg.PortBox()->setValue(m_broker.port);
        dlg.StationEdit()->setText(QStringLiteral("pruef"));
        dlg.UserEdit()->setText(QStringLiteral("pruef"));
        dlg.PasswordFileEdit()->setText(m_broker.File("fehlt.pw"));
        dlg.CommandsBox()->setChecked(true);
        dlg.accept(); // refused: stays open
        stayedOpen = dlg.isVisible();
        dlg.PasswordFileEdit()->setText(m_broker.File("pruef.pw"));
        dlg.accept();
    });
    QCOMPARE(dlg.exec(), int(QDialog::Accepted));
    QVERIFY(stayedOpen);
    QCOMPARE(m_sink->boxes.size(), 1);
    QVERIFY(m_sink->boxes[0].text.contains(QStringLiteral("fehlt.pw")));
    m_sink->boxes.clear();

    QTemporaryDir dir;
    QSettings s(dir.filePath(QStringLiteral("k.conf")), QSettings::IniFormat);
    dlg.Result().Save(s);
    const MqttConfig back = MqttConfig::Load(s);
    QVERIFY(back.bEnabled && back.bCommands && !back.bDiscovery);
    QCOMPARE(back.nPort, m_broker.port);
    QCOMPARE(back.strPasswordFile, m_broker.File("pruef.pw"));
    QCOMPARE(back.TopicRoot(), QStringLiteral("korva/pruef/"));
    // The password itself is nowhere in the settings.
    for (const QString& key : s.allKeys())
        QVERIFY(!s.value(key).toString().contains(QStringLiteral("pruef-geheim")));
    // Topic wildcards in a station name cannot reach other stations' topics.
    QCOMPARE(MqttTopicLevel(QStringLiteral("a/+/#")), QStringLiteral("a____"));
}

QTEST_MAIN(TestMqtt)
#include "test_mqtt.moc"
