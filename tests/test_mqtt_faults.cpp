// MQTT when the broker misbehaves, against a real Mosquitto on loopback and a
// socket that never answers: the window never waits for the network, the
// unattended program ends on SIGTERM at once, and every failed connection
// says in German what failed.

#include "test_mqtt_support.h"

#include "helpers/TestSink.h"
#include "helpers/ViewPanel.h"
#include "journal/JournalModule.h"
#include "remote/MqttDlg.h"
#include "remote/MqttModule.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTest>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace mqtt_test;

namespace {

MqttConfig ConfigFor(const Broker& b, quint16 port)
{
    MqttConfig c;
    c.bEnabled = true;
    c.strHost = QStringLiteral("127.0.0.1");
    c.nPort = port;
    c.strStation = QStringLiteral("pruef");
    c.strUser = QStringLiteral("pruef");
    c.strPasswordFile = b.File(QStringLiteral("pruef.pw"));
    return c;
}

// A listening socket whose queue is full: the kernel drops further SYNs, so a
// connect waits as for a host that drops packets.
struct SilentBroker
{
    int fd = -1, filler = -1;
    quint16 port = 0;
    SilentBroker()
    {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(fd, 0) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            return;
        port = ntohs(a.sin_port);
        filler = ::socket(AF_INET, SOCK_STREAM, 0);
        ::connect(filler, reinterpret_cast<sockaddr*>(&a), len);
    }
    ~SilentBroker()
    {
        ::close(filler);
        ::close(fd);
    }
};

} // namespace

class TestMqttFaults : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void dialogOkReturnsAtOnce();
    void sigtermEndsSoon();
    void failuresSayWhy_data();
    void failuresSayWhy();
    void dialogRefusesBrokerTopicNames();

private:
    Broker m_broker;
    std::unique_ptr<TestSink> m_sink;
};

void TestMqttFaults::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_broker.Prepare({QStringLiteral("pruef")}));
    QVERIFY2(m_broker.Start(), qPrintable(m_broker.log));
    m_sink = std::make_unique<TestSink>();
}

// The dialog's OK, and switching the link off again, with a broker that
// never answers: back at once (a blocking connect would hold two minutes).
void TestMqttFaults::dialogOkReturnsAtOnce()
{
    SilentBroker silent;
    QVERIFY(silent.port != 0);
    ViewPanel panel;
    CMqttModule mqtt(nullptr, nullptr, MqttConfig{});
    QElapsedTimer t;
    t.start();
    QTimer::singleShot(0, [&] {
        auto* dlg = dynamic_cast<CMqttDlg*>(QApplication::activeModalWidget());
        QVERIFY(dlg);
        dlg->EnabledBox()->setChecked(true);
        dlg->HostEdit()->setText(QStringLiteral("127.0.0.1"));
        dlg->PortBox()->setValue(silent.port);
        dlg->accept();
    });
    mqtt.OnMqttVerbindung();
    QVERIFY(mqtt.IsRunning());
    QCOMPARE(mqtt.Config().nPort, silent.port);
    QVERIFY2(t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));
    const double energy = panel.view.m_dlgVerbrauch.m_dEnergie[1];
    panel.view.OnTimer(CVelkorView::kMessTimer);
    panel.view.OnTimer(CVelkorView::kVerbrauchTimer);
    QVERIFY(panel.view.m_dlgVerbrauch.m_dEnergie[1] > energy);
    t.restart();
    MqttConfig off = mqtt.Config();
    off.bEnabled = false;
    mqtt.SetConfig(off);
    QVERIFY2(t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));
}

void TestMqttFaults::sigtermEndsSoon()
{
    SilentBroker silent;
    QTemporaryDir home;
    QSettings s(home.filePath(QStringLiteral("config/Kalvento GmbH/KORVA_Powermanagement.conf")),
                QSettings::IniFormat);
    ConfigFor(m_broker, silent.port).Save(s);
    s.sync();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(v));
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    QProcess proc;
    proc.setProcessEnvironment(env);
    proc.setProcessChannelMode(QProcess::MergedChannels);
    proc.start(QStringLiteral(KORVA_BINARY), {QStringLiteral("--headless")});
    QByteArray out;
    QVERIFY(WaitFor([&] {
        out += proc.readAll();
        return out.contains("unbeaufsichtigt");
    }));
    QElapsedTimer t;
    t.start();
    ::kill(static_cast<pid_t>(proc.processId()), SIGTERM);
    QVERIFY(proc.waitForFinished(5000));
    QVERIFY2(t.elapsed() < 5000, qPrintable(QString::number(t.elapsed())));
    QCOMPARE(proc.exitStatus(), QProcess::NormalExit);
}

void TestMqttFaults::failuresSayWhy_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("which"); // 0 free port, 1 plain, 2 TLS
    QTest::addColumn<QString>("ca");
    QTest::addColumn<QString>("expected");
    QTest::newRow("refused") << "127.0.0.1" << 0 << "" << "lehnt die Verbindung ab";
    QTest::newRow("unknown name") << "nirgends.invalid" << 1 << "" << "nicht auflösen";
    QTest::newRow("TLS to a plain port") << "127.0.0.1" << 1 << "ca.crt" << "TLS";
    QTest::newRow("plain to a TLS port") << "127.0.0.1" << 2 << "" << "vor der Anmeldung";
    QTest::newRow("CA did not sign") << "127.0.0.1" << 2 << "server.key.crt" << "nicht anerkannt";
}

// Each reason reaches the module (status pane), and the journal once however
// often it is retried.
void TestMqttFaults::failuresSayWhy()
{
    QFETCH(QString, host);
    QFETCH(int, which);
    QFETCH(QString, ca);
    QFETCH(QString, expected);
    if (ca == QLatin1String("server.key.crt")) {
        // Another CA's certificate: made once, from the server's own.
        QFile::copy(m_broker.File("server.crt"), m_broker.File(ca));
    }
    MqttConfig c = ConfigFor(m_broker, which == 0   ? FreePort()
                                       : which == 1 ? m_broker.port
                                                    : m_broker.tlsPort);
    c.strHost = host;
    if (!ca.isEmpty())
        c.strCaFile = m_broker.File(ca);
    CJournalModule journal(nullptr);
    const qsizetype from = journal.Events().size();
    CMqttModule mqtt(nullptr, &journal, c);
    QVERIFY(mqtt.Start());
    QVERIFY(WaitFor([&] { return !mqtt.LastError().isEmpty(); }, 15000));
    QVERIFY2(mqtt.LastError().contains(expected), qPrintable(mqtt.LastError()));
    if (which == 0) {
        // Tried again after a second (the pause doubles each time): still one line.
        QVERIFY(WaitFor([&] { return mqtt.Client()->PauseSeconds() >= 4; }));
        int lines = 0;
        for (const JournalEvent& ev : journal.Events().mid(from))
            lines += ev.strDetail.contains(expected) ? 1 : 0;
        QCOMPARE(lines, 1);
    }
}

void TestMqttFaults::dialogRefusesBrokerTopicNames()
{
    QVERIFY(WriteFile(m_broker.File("kein.pem"), "nichts\n"));
    MqttConfig c = ConfigFor(m_broker, m_broker.tlsPort);
    c.strCaFile = m_broker.File("kein.pem");
    CMqttModule mqtt(nullptr, nullptr, c);
    QVERIFY(!mqtt.Start());
    QVERIFY2(mqtt.LastReport().contains(QStringLiteral("keine PEM-Datei")),
             qPrintable(mqtt.LastReport()));

    CMqttDlg dlg(ConfigFor(m_broker, m_broker.port));
    dlg.StationEdit()->setText(QStringLiteral("$SYS"));
    m_sink->ExpectBoxes(1);
    dlg.accept();
    QCOMPARE(m_sink->boxes.size(), 1);
    QVERIFY(m_sink->boxes[0].text.contains(QStringLiteral("$")));
    QVERIFY(dlg.result() != QDialog::Accepted);
    m_sink->boxes.clear();
}

QTEST_MAIN(TestMqttFaults)
#include "test_mqtt_faults.moc"
