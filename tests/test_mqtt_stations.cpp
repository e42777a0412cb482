// The "Stationen" overview against a real Mosquitto broker on loopback, under
// the load of many other stations: protection keeps its pace, the window's
// thread stays mostly idle, offline stations are greyed, and the number of
// stations is bounded.

#include "test_mqtt_support.h"

#include "helpers/TestSink.h"
#include "helpers/ViewPanel.h"
#include "remote/StationsWnd.h"

#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTest>
#include <QTreeWidget>
#include <vector>

using namespace mqtt_test;

namespace {

// The overview reads everybody's state; leitstand may.
MqttConfig ConfigFor(const Broker& b)
{
    MqttConfig c;
    c.bEnabled = true;
    c.strHost = QStringLiteral("127.0.0.1");
    c.nPort = b.port;
    c.strStation = QStringLiteral("leitstand");
    c.strUser = QStringLiteral("leitstand");
    c.strPasswordFile = b.File(QStringLiteral("leitstand.pw"));
    return c;
}

// Channel 1 rises at kSlope A/s from 1 A once started; the others stay low.
// Every reading handed to the view is kept.
class RampSource : public IChannelSource
{
public:
    static constexpr double kSlope = 0.2;

    void Start() { m_clock.start(); }
    bool ReadCurrent(int nChannel, double& current, bool& stale) override
    {
        stale = false;
        if (nChannel != 1) {
            current = 0.5;
            return true;
        }
        current = m_clock.isValid() ? 1.0 + kSlope * double(m_clock.elapsed()) / 1000.0 : 1.0;
        readings.push_back(current);
        return true;
    }
    std::vector<double> readings;

private:
    QElapsedTimer m_clock;
};

class CutoffListener : public IViewListener
{
public:
    CutoffListener() { AddViewListener(this); }
    ~CutoffListener() override { RemoveViewListener(this); }
    void OnChannelEvent(CVelkorView&, ChannelEvent kind, int nChannel, double current) override
    {
        if (kind == ChannelEvent::Cutoff && nChannel == 1 && cut < 0)
            cut = current;
    }
    double cut = -1.0;
};

} // namespace

class TestMqttStations : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void protectionKeepsPaceUnderManyStations();
    void offlineStationGreyed();
    void stationsBounded();

private:
    Broker m_broker;
    std::unique_ptr<TestSink> m_sink;
};

void TestMqttStations::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_broker.Prepare({}));
    QVERIFY2(m_broker.Start(), qPrintable(m_broker.log));
    m_sink = std::make_unique<TestSink>();
}

// 200 stations at once a second with the overview open: a channel on a ramp
// is cut at its first reading at or above its Abschaltstrom, the overview
// takes at most one batch a second, and the window's thread stays below a
// fifth of a processor.
void TestMqttStations::protectionKeepsPaceUnderManyStations()
{
    ViewPanel panel;
    CVelkorView& v = panel.view;
    RampSource source;
    CutoffListener listener;
    v.m_dAbschaltstrom[0] = 2.0;
    v.m_nTimerzeitMs = 0; // stays off once cut
    v.m_nAbfragezeit = 100;
    v.SetChannelSource(&source);
    v.SetTimer(CVelkorView::kMessTimer, v.m_nAbfragezeit);

    CStationsWnd wnd(ConfigFor(m_broker));
    wnd.show();
    StationFlood flood(m_broker, 200, 1, 40);
    QVERIFY(WaitFor([&] { return wnd.Stations().size() == 200; }, 20000));

    const int batches = wnd.Batches();
    const double cpu = ThreadCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    source.Start(); // 2 A after 5 s
    QVERIFY(WaitFor([&] { return listener.cut >= 0.0; }, 20000));
    const double seconds = double(wall.elapsed()) / 1000.0;
    const double share = (ThreadCpuSeconds() - cpu) / seconds;
    v.SetChannelSource(nullptr);

    const auto first = std::find_if(source.readings.cbegin(), source.readings.cend(),
                                    [](double a) { return a >= 2.0; });
    QVERIFY(first != source.readings.cend());
    QCOMPARE(listener.cut, *first);
    // The tick came when due: at most a second's rise late.
    QVERIFY2(listener.cut < 2.0 + RampSource::kSlope, qPrintable(QString::number(listener.cut)));
    QVERIFY2(wnd.Batches() - batches <= int(seconds) + 2, qPrintable(QString::number(wnd.Batches())));
    qInfo("window thread %.1f %% of a processor over %.1f s, cut at %.3f A", share * 100.0,
          seconds, listener.cut);
    QVERIFY2(share < 0.2, qPrintable(QStringLiteral("window thread %1 %").arg(share * 100.0)));
    QVERIFY(flood.Rounds() >= 5);
}

void TestMqttStations::offlineStationGreyed()
{
    CStationsWnd wnd(ConfigFor(m_broker), nullptr, 100);
    QVERIFY(Publish(m_broker, QStringLiteral("korva/alt/status"), "online", true));
    QVERIFY(Publish(m_broker, QStringLiteral("korva/alt/channel/2/state"),
                    R"({"name":"Gleis","current":1.5,"on":true,"cutoff":false})", true));
    const auto row = [&]() -> QTreeWidgetItem* {
        const auto it = wnd.Stations().find(QStringLiteral("alt"));
        return it != wnd.Stations().end() && it->item ? it->item->child(1) : nullptr;
    };
    QVERIFY(WaitFor([&] { return row() && row()->text(3) == QLatin1String("ein"); }));
    QVERIFY(row()->foreground(1).color() != QColor(Qt::gray));

    QVERIFY(Publish(m_broker, QStringLiteral("korva/alt/status"), "offline", true));
    QVERIFY(WaitFor([&] { return row()->text(3) == QLatin1String("offline"); }));
    for (int c = 0; c < 5; ++c)
        QCOMPARE(row()->foreground(c).color(), QColor(Qt::gray));
    QCOMPARE(row()->text(1), QStringLiteral("Gleis")); // the last known values stay
}

void TestMqttStations::stationsBounded()
{
    CStationsWnd wnd(ConfigFor(m_broker), nullptr, 100);
    QVERIFY(WaitFor([&] { return wnd.ConnectionState() == CMqttClient::State::Connected; }));
    StationFlood flood(m_broker, CStationsFeed::kMaxStations + 20, 1, 1);
    QVERIFY(WaitFor([&] { return wnd.RefusedMessages() > 0; }, 20000));
    QVERIFY(WaitFor([&] { return wnd.Stations().size() == CStationsFeed::kMaxStations; }));
}

QTEST_MAIN(TestMqttStations)
#include "test_mqtt_stations.moc"
