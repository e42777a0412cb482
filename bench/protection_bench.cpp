// Protection in hardware mode: the time from a short appearing on the
// simulated layout to its output being written off, over many trips on random
// channels, with the window thread idle (running its event loop) and with it
// blocked (never returning to it while the shorts come). The simulated bus
// takes 90 us a byte, as a 100 kHz bus does. Also the bus thread's processor
// share at the default sweep.
// Run: QT_QPA_PLATFORM=offscreen ./protection_bench [trips per case]

#include "doc/VelkorDoc.h"
#include "framework/Messages.h"
#include "hw/SimLayout.h"
#include "hwlink/HardwareModule.h"
#include "view/VelkorView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr unsigned kByteMicros = 90;
constexpr int kChannels = 16;

struct QuietSink : IMessageSink
{
    int MessageBox(QWidget*, const QString&, const QString&, unsigned) override { return 1; }
    void MessageBeep(unsigned) override {}
};

struct Station
{
    CHardwareModule hw{nullptr, false};
    CVelkorDoc doc;
    CVelkorView view;

    explicit Station(unsigned sweepMs)
    {
        HardwareConfig config = HardwareConfig::SimulatedLayout();
        config.nSweepMs = int(sweepMs);
        hw.SetConfig(config);
        doc.OnNewDocument();
        doc.m_nAbfragezeit = 1000;
        view.SetDocument(&doc);
        view.OnInitialUpdate();
        hw.Layout()->Board().SetByteTime(kByteMicros);
        while (hw.Worker()->Sweeps() < 3)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~Station() { view.OnDestroy(); }

    bool OutputOn(int k) const
    {
        const auto bytes = hw.Worker()->WrittenOutputs();
        const auto it = bytes.find(std::uint8_t(k <= 8 ? 0x40 : 0x42));
        return it == bytes.end() || (it->second >> ((k - 1) % 8) & 1u);
    }
};

// Waits for pred, running the window's event loop or not; false after the bound.
template <typename Pred>
bool WaitFor(Pred pred, bool bEventLoop, int boundMs = 3000)
{
    const auto end = Clock::now() + std::chrono::milliseconds(boundMs);
    while (!pred()) {
        if (Clock::now() > end)
            return false;
        if (bEventLoop)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    return true;
}

double Percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(p * double(v.size())))];
}

// One case: rounds of shorts on all sixteen channels in random order, each at
// a random moment within a sweep; between rounds the window hears of the
// trips and the automatic switch-on feeds them again.
void TripLatency(int nTrips, bool bBlocked)
{
    Station st(20);
    const unsigned sweep = st.hw.Worker()->PeriodMs();
    std::mt19937 rng(bBlocked ? 2 : 1);
    std::uniform_int_distribution<int> phase(0, int(sweep) * 1000);
    std::vector<double> ms;
    int missed = 0;
    QElapsedTimer guard;
    guard.start();
    std::vector<int> order(kChannels);
    std::iota(order.begin(), order.end(), 1);
    while (int(ms.size()) < nTrips && guard.elapsed() < 120000) {
        std::shuffle(order.begin(), order.end(), rng);
        for (int k : order) {
            if (int(ms.size()) >= nTrips)
                break;
            std::this_thread::sleep_for(std::chrono::microseconds(phase(rng)));
            const auto t0 = Clock::now();
            st.hw.Layout()->SetShort(k, true);
            if (!WaitFor([&] { return !st.OutputOn(k); }, !bBlocked)) {
                ++missed;
                continue;
            }
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        }
        // The window catches up, the shorts go, everything is fed again.
        for (int k = 1; k <= kChannels; ++k)
            st.hw.Layout()->SetShort(k, false);
        WaitFor(
            [&] {
                for (int i = 0; i < kChannels; ++i)
                    if (st.OutputOn(i + 1) == (st.view.m_channel[i].m_bAbgeschaltet == 1))
                        return false;
                return true;
            },
            true);
        const long swept = st.hw.Worker()->Sweeps();
        WaitFor([&] { return st.hw.Worker()->Sweeps() >= swept + 2; }, true);
        st.view.OnTimer(CVelkorView::kAutomatikTimer);
        WaitFor(
            [&] {
                for (int k = 1; k <= kChannels; ++k)
                    if (!st.OutputOn(k))
                        return false;
                return true;
            },
            true);
    }
    if (ms.empty()) {
        std::printf("no trips measured (window blocked: %s)\n", bBlocked ? "yes" : "no");
        return;
    }
    std::printf("trip latency p50 %.1f ms p99 %.1f ms max %.1f ms, sweep %u ms, window blocked: "
                "%s\n",
                Percentile(ms, 0.5), Percentile(ms, 0.99), Percentile(ms, 1.0), sweep,
                bBlocked ? "yes" : "no");
    std::printf("  %zu trips, %d missed; goal p99 <= %.1f ms\n", ms.size(), missed,
                1.2 * sweep + 2.0);
}

// The bus thread's processor time over wall time while it sweeps and the
// window ticks, at the default sweep; without bus timing it is the program's
// own work, with it the simulated bus's waiting too.
void CpuShare(unsigned byteMicros)
{
    Station st(20);
    st.hw.Layout()->Board().SetByteTime(byteMicros);
    const double cpu0 = st.hw.Worker()->CpuSeconds();
    const long sweeps0 = st.hw.Worker()->Sweeps();
    QElapsedTimer t;
    t.start();
    WaitFor([&] { return t.elapsed() >= 5000; }, true, 6000);
    const double share = (st.hw.Worker()->CpuSeconds() - cpu0) / (double(t.elapsed()) / 1000.0);
    const long sweeps = st.hw.Worker()->Sweeps() - sweeps0;
    std::printf("bus thread at a 20 ms sweep, %u us a byte: %.2f %% of one core, %ld sweeps in "
                "%.1f s (%.1f us of processor a sweep)\n",
                byteMicros, 100.0 * share, sweeps, double(t.elapsed()) / 1000.0,
                sweeps ? (st.hw.Worker()->CpuSeconds() - cpu0) * 1e6 / double(sweeps) : 0.0);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C"); // machine-readable figures
    const int trips = argc > 1 ? std::clamp(std::atoi(argv[1]), 16, 100000) : 1000;
    QuietSink sink;
    SetMessageSink(&sink);
    TripLatency(trips, false);
    TripLatency(trips, true);
    CpuShare(0);
    CpuShare(kByteMicros);
    SetMessageSink(nullptr);
    return 0;
}
