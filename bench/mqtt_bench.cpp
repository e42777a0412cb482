// MQTT's cost and speed against a real Mosquitto broker on loopback:
//  - the measurement tick (with the queued publish it causes on the window
//    thread) with MQTT connected against MQTT off, interleaved rounds;
//  - the time from a cutoff tick to its event at a subscriber (median, p99);
//  - messages per second a station sends at Abfragezeit 10 ms with every
//    channel changing on every tick;
//  - with the "Stationen" overview open and 50 or 200 other stations
//    publishing at 1 or 10 Hz: the window thread's share of a processor and
//    the current at which a channel on a ramp (0.2 A/s, Abschaltstrom 2 A,
//    Abfragezeit 100 ms) is cut off.
// Run offscreen: QT_QPA_PLATFORM=offscreen LC_ALL=de_DE.UTF-8 mqtt_bench

#include "tests/test_mqtt_support.h"

#include "doc/VelkorDoc.h"
#include "framework/Messages.h"
#include "journal/JournalModule.h"
#include "remote/MqttModule.h"
#include "remote/MqttPublisher.h"
#include "remote/StationsWnd.h"
#include "view/VelkorView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace mqtt_test;
using Clock = std::chrono::steady_clock;

namespace {

class QuietSink : public IMessageSink
{
public:
    int MessageBox(QWidget*, const QString&, const QString&, unsigned) override { return 1; }
    void MessageBeep(unsigned) override {}
};

// Every channel's current moves a little on every tick.
class MovingSource : public IChannelSource
{
public:
    bool ReadCurrent(int nChannel, double& current, bool& stale) override
    {
        current = 0.5 + 0.01 * ((m_n + nChannel) % 50);
        if (nChannel == 16)
            ++m_n;
        stale = false;
        return true;
    }

private:
    int m_n = 0;
};

struct Panel
{
    CVelkorDoc doc;
    CVelkorView view;
    Panel()
    {
        doc.OnNewDocument();
        view.SetDocument(&doc);
        view.OnInitialUpdate();
        view.KillTimer(CVelkorView::kMessTimer);
        view.KillTimer(CVelkorView::kAutomatikTimer);
    }
    ~Panel() { view.OnDestroy(); }
};

MqttConfig ConfigFor(const Broker& b, bool enabled)
{
    MqttConfig c;
    c.bEnabled = enabled;
    c.strHost = QStringLiteral("127.0.0.1");
    c.nPort = b.port;
    c.strStation = QStringLiteral("bench");
    c.strUser = QStringLiteral("bench");
    c.strPasswordFile = b.File(QStringLiteral("bench.pw"));
    return c;
}

double Percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

// Median microseconds per tick over one round, the window thread's queue
// served after each tick as the event loop would.
double TickRound(CVelkorView& view, int ticks)
{
    std::vector<double> us;
    us.reserve(size_t(ticks));
    for (int i = 0; i < ticks; ++i) {
        const auto t0 = Clock::now();
        view.OnTimer(CVelkorView::kMessTimer);
        QCoreApplication::sendPostedEvents();
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    return Percentile(us, 0.5);
}

void TickCost(const Broker& b, CJournalModule& journal, bool bMoving)
{
    MovingSource source;
    std::vector<double> off, on;
    for (int round = 0; round < 10; ++round) {
        for (bool enabled : {false, true}) {
            CMqttModule mqtt(nullptr, &journal, ConfigFor(b, enabled));
            mqtt.Start();
            if (enabled && !WaitFor([&] { return mqtt.State() == CMqttClient::State::Connected; }))
                std::fprintf(stderr, "not connected\n");
            Panel p;
            if (bMoving)
                p.view.SetChannelSource(&source);
            TickRound(p.view, 50); // warm up
            (enabled ? on : off).push_back(TickRound(p.view, 400));
            p.view.SetChannelSource(nullptr);
        }
    }
    const double mOff = Percentile(off, 0.5), mOn = Percentile(on, 0.5);
    const char* what = bMoving ? "all channels changing" : "test sources (ramp on channel 3)";
    std::printf("tick, %s, MQTT off:        %.1f us (median of 10 rounds)\n", what, mOff);
    std::printf("tick, %s, MQTT connected:  %.1f us\n", what, mOn);
    std::printf("tick, %s, ratio on/off:    %.3f\n", what, mOn / mOff);
}

// A subscriber of our own on the event topic, stamping arrivals.
struct Listener
{
    std::atomic<int> events{0};
    std::atomic<Clock::rep> last{0};
    std::atomic<long> states{0};
    std::unique_ptr<CMqttClient> client;

    explicit Listener(const Broker& b)
    {
        CMqttClient::Options o;
        o.config = ConfigFor(b, true);
        o.config.strUser = QStringLiteral("leitstand");
        o.password = "leitstand-geheim";
        o.clientId = "korva-bench-listener";
        o.subscriptions = {"korva/bench/event", "korva/bench/channel/+/state"};
        client = std::make_unique<CMqttClient>(
            o, [](CMqttClient::State) {},
            [this](const QByteArray& topic, const QByteArray&, bool) {
                if (topic.endsWith("event")) {
                    last = Clock::now().time_since_epoch().count();
                    ++events;
                } else {
                    ++states;
                }
            });
        client->Start(nullptr);
    }
};

void Latency(const Broker& b, CJournalModule& journal)
{
    Listener listener(b);
    CMqttModule mqtt(nullptr, &journal, ConfigFor(b, true));
    mqtt.Start();
    WaitFor([&] {
        return mqtt.State() == CMqttClient::State::Connected && listener.client->IsConnected();
    });
    QThread::msleep(300); // the listener's subscription
    Panel p;
    p.view.m_dAbschaltstrom[0] = 1.0; // channel 1 carries 2 A: a cutoff on every tick
    std::vector<double> ms;
    for (int i = 0; i < 300; ++i) {
        const int before = listener.events;
        const auto t0 = Clock::now();
        p.view.OnTimer(CVelkorView::kMessTimer);
        QCoreApplication::sendPostedEvents(); // the queued publish, as the event loop runs it
        // Sleeps instead of spinning: a busy window thread would take the
        // processor from the threads being measured.
        QElapsedTimer waited;
        waited.start();
        while (listener.events == before && waited.elapsed() < 2000)
            QThread::usleep(100);
        if (listener.events == before)
            continue;
        const auto t1 = Clock::time_point(Clock::duration(listener.last.load()));
        ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        QThread::msleep(2);
    }
    std::printf("cutoff -> event:       median %.3f ms, p99 %.3f ms (%zu of 300 seen)\n",
                Percentile(ms, 0.5), Percentile(ms, 0.99), ms.size());
}

void Rate(const Broker& b, CJournalModule& journal)
{
    Listener listener(b);
    CMqttModule mqtt(nullptr, &journal, ConfigFor(b, true));
    mqtt.Start();
    WaitFor([&] {
        return mqtt.State() == CMqttClient::State::Connected && listener.client->IsConnected();
    });
    QThread::msleep(300);
    MovingSource source;
    Panel p;
    p.view.SetChannelSource(&source);
    p.view.m_nAbfragezeit = 10;
    const quint64 sent0 = mqtt.Publisher()->Sent();
    const long got0 = listener.states;
    p.view.SetTimer(CVelkorView::kMessTimer, 10);
    QElapsedTimer t;
    t.start();
    WaitFor([] { return false; }, 5000);
    p.view.KillTimer(CVelkorView::kMessTimer);
    const double s = double(t.elapsed()) / 1000.0;
    QThread::msleep(300);
    std::printf("rate at 10 ms:         %.0f messages/s sent, %.0f/s received\n",
                double(mqtt.Publisher()->Sent() - sent0) / s, double(listener.states - got0) / s);
    p.view.SetChannelSource(nullptr);
}

class RampSource : public IChannelSource
{
public:
    explicit RampSource(const QElapsedTimer& clock) : m_clock(clock) {}
    bool ReadCurrent(int nChannel, double& current, bool& stale) override
    {
        stale = false;
        current = nChannel == 1 ? 1.0 + 0.2 * double(m_clock.elapsed()) / 1000.0 : 0.5;
        return true;
    }

private:
    const QElapsedTimer& m_clock;
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

void Overview(const Broker& b, int stations, int hz)
{
    Panel p;
    MqttConfig c = ConfigFor(b, true);
    c.strUser = QStringLiteral("leitstand");
    c.strPasswordFile = b.File(QStringLiteral("leitstand.pw"));
    CStationsWnd wnd(c);
    wnd.show();
    StationFlood flood(b, stations, hz, 30 * hz);
    WaitFor([&] { return wnd.Stations().size() >= stations; }, 20000);
    QElapsedTimer clock;
    RampSource source(clock);
    CutoffListener listener;
    p.view.m_dAbschaltstrom[0] = 2.0;
    p.view.m_nTimerzeitMs = 0;
    p.view.m_nAbfragezeit = 100;
    p.view.SetChannelSource(&source);
    const double cpu = ThreadCpuSeconds();
    clock.start();
    p.view.SetTimer(CVelkorView::kMessTimer, 100);
    WaitFor([&] { return listener.cut >= 0.0; }, 20000); // 2 A after 5 s
    const double seconds = double(clock.elapsed()) / 1000.0;
    const double share = (ThreadCpuSeconds() - cpu) / seconds;
    p.view.KillTimer(CVelkorView::kMessTimer);
    p.view.SetChannelSource(nullptr);
    std::printf("overview, %3d stations at %2d Hz: window thread %5.1f %%, cut at %.3f A after "
                "%.1f s (%llu messages sent)\n",
                stations, hz, share * 100.0, listener.cut, seconds,
                static_cast<unsigned long long>(flood.Sent()));
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C"); // machine output: decimal points
    QStandardPaths::setTestModeEnabled(true);
    QuietSink sink;
    SetMessageSink(&sink);
    Broker broker;
    if (!broker.Prepare({QStringLiteral("bench")}) || !broker.Start()) {
        std::fprintf(stderr, "mosquitto does not start\n");
        return 1;
    }
    CJournalModule journal(nullptr);
    if (argc < 2 || std::strcmp(argv[1], "--overview") != 0) {
        TickCost(broker, journal, false);
        TickCost(broker, journal, true);
        Latency(broker, journal);
        Rate(broker, journal);
    }
    for (int stations : {50, 200})
        for (int hz : {1, 10})
            Overview(broker, stations, hz);
    SetMessageSink(nullptr);
    return 0;
}
