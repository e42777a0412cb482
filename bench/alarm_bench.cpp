// The alarm's cost and speed:
//  - the measurement tick with the alarm on (sound, notifications to a
//    server on a private bus) against no alarm at all, interleaved rounds;
//    steady and changing currents, no cutoff, as on nearly every tick;
//  - from the tick that cuts a channel off to the start of its sound
//    (libcanberra has started the stream on PulseAudio's null sink) and to
//    the notification's arrival at the server (median over 40 cutoffs).
// Run offscreen: QT_QPA_PLATFORM=offscreen LC_ALL=de_DE.UTF-8 alarm_bench

#include "alarm/AlarmModule.h"
#include "doc/VelkorDoc.h"
#include "framework/Messages.h"
#include "helpers/NotificationServer.h"
#include "helpers/PulseServer.h"
#include "view/VelkorView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

class QuietSink : public IMessageSink
{
public:
    int MessageBox(QWidget*, const QString&, const QString&, unsigned) override { return 1; }
    void MessageBeep(unsigned) override {}
};

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

double Percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

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

std::unique_ptr<CAlarmModule> MakeAlarm(const QString& bus, CCanberraPlayer** player = nullptr)
{
    auto p = std::make_unique<CCanberraPlayer>([] { std::fprintf(stderr, "bell\n"); });
    if (player)
        *player = p.get();
    CAlarmModule::Options o;
    o.strBusAddress = bus;
    o.player = std::move(p);
    return std::make_unique<CAlarmModule>(nullptr, AlarmConfig(), std::move(o));
}

void TickCost(const QString& bus, bool bMoving)
{
    MovingSource source;
    std::vector<double> off, on;
    for (int round = 0; round < 10; ++round) {
        for (bool enabled : {false, true}) {
            std::unique_ptr<CAlarmModule> alarm;
            if (enabled)
                alarm = MakeAlarm(bus);
            Panel p;
            if (bMoving)
                p.view.SetChannelSource(&source);
            TickRound(p.view, 50);
            (enabled ? on : off).push_back(TickRound(p.view, 400));
            p.view.SetChannelSource(nullptr);
        }
    }
    const double mOff = Percentile(off, 0.5), mOn = Percentile(on, 0.5);
    const char* what = bMoving ? "all channels changing" : "steady currents";
    std::printf("tick, %s, no alarm:      %.1f us (median of 10 rounds)\n", what, mOff);
    std::printf("tick, %s, alarm on:      %.1f us\n", what, mOn);
    std::printf("tick, %s, ratio on/off:  %.3f\n", what, mOn / mOff);
}

void Latency(const QString& bus, NotificationServer& server)
{
    CCanberraPlayer* player = nullptr;
    auto alarm = MakeAlarm(bus, &player);
    std::atomic<int> sounds{0};
    std::atomic<Clock::rep> soundAt{0};
    player->SetStartedHook([&](const QString&, int error) {
        if (error == 0) {
            soundAt = Clock::now().time_since_epoch().count();
            ++sounds;
        }
    });
    Panel p;
    // A first sound opens the connection to the sound server.
    player->Play(QStringLiteral("bell"));
    QThread::msleep(500);
    std::vector<double> toSound, toNotice;
    constexpr int kCutoffs = 40;
    for (int i = 0; i < kCutoffs; ++i) {
        const int soundsBefore = sounds;
        const int noticesBefore = int(server.received.size());
        p.view.m_dAbschaltstrom[0] = 1.0; // channel 1 carries 2 A
        const auto t0 = Clock::now();
        p.view.OnTimer(CVelkorView::kMessTimer);
        QElapsedTimer waited;
        waited.start();
        while ((sounds == soundsBefore || int(server.received.size()) == noticesBefore) &&
               waited.elapsed() < 3000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::usleep(100);
        }
        if (sounds > soundsBefore)
            toSound.push_back(std::chrono::duration<double, std::milli>(
                                  Clock::time_point(Clock::duration(soundAt.load())) - t0)
                                  .count());
        if (int(server.received.size()) > noticesBefore)
            toNotice.push_back(
                std::chrono::duration<double, std::milli>(
                    Clock::time_point(Clock::duration(server.received.last().nArrivalNs)) - t0)
                    .count());
        // Back on, and its notice out of the way, before the next cutoff.
        p.view.m_dAbschaltstrom[0] = 3.0;
        p.view.OnTimer(CVelkorView::kAutomatikTimer);
        waited.restart();
        while (int(server.received.size()) < noticesBefore + 2 && waited.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(100);
    }
    std::printf("cutoff tick -> sound started:        median %.2f ms, max %.2f ms (%zu of %d)\n",
                Percentile(toSound, 0.5), Percentile(toSound, 1.0), toSound.size(), kCutoffs);
    std::printf("cutoff tick -> notification arrived: median %.2f ms, max %.2f ms (%zu of %d)\n",
                Percentile(toNotice, 0.5), Percentile(toNotice, 1.0), toNotice.size(), kCutoffs);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C"); // machine-readable numbers
    QuietSink sink;
    SetMessageSink(&sink);
    PulseServer pulse;
    PrivateBus bus;
    NotificationServer server;
    if (!pulse.IsRunning() || bus.Address().isEmpty() || !server.Start(bus.Address())) {
        std::fprintf(stderr, "no sound server or no bus: %s\n", qPrintable(pulse.Why()));
        return 1;
    }
    TickCost(bus.Address(), false);
    TickCost(bus.Address(), true);
    Latency(bus.Address(), server);
    SetMessageSink(nullptr);
    return 0;
}
