// Cost of the real hardware mode.
//  1. Bus transactions and register accesses of one sweep of sixteen
//     converter inputs on the simulated board (ReadChannel needs one write
//     transfer for the control byte and one two-byte read transfer).
//  2. The measurement tick with the hardware worker running against the tick
//     with the test sources; the reading happens on the worker thread.
// Run: QT_QPA_PLATFORM=offscreen ./hwlink_bench

#include "doc/VelkorDoc.h"
#include "framework/Messages.h"
#include "hw/I2CDevice.h"
#include "hw/RecordingPort.h"
#include "hw/SimLayout.h"
#include "hwlink/HardwareModule.h"
#include "view/VelkorView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <map>
#include <vector>

namespace {

struct QuietSink : IMessageSink
{
    int MessageBox(QWidget*, const QString&, const QString&, unsigned) override { return 1; }
    void MessageBeep(unsigned) override {}
};

void SweepCost()
{
    const HardwareConfig config = HardwareConfig::SimulatedLayout();
    CSimLayout layout;
    for (int k = 1; k <= 16; ++k) {
        const ChannelWiring& w = config.channel[k - 1];
        layout.Wire(k, {w.nConverter, w.nInput, w.dFullScale, w.nPort, w.nBit, w.bActiveLow});
    }
    CRecordingPort port(layout.Board());
    CI2CBus bus(port);
    bus.Init(1);
    std::map<std::uint8_t, CI2CConverter> converters;
    for (const ChannelWiring& w : config.channel) {
        converters[w.nConverter].Attach(&bus, w.nConverter);
        converters[w.nConverter].SetFullScale(w.dFullScale);
    }
    layout.Board().Controller().ClearBusTrace();
    port.ClearTrace();
    for (const ChannelWiring& w : config.channel)
        converters[w.nConverter].ReadChannel(std::uint8_t(w.nInput));
    const auto transfers = layout.Board().Controller().BusTrace();
    std::printf("sweep of 16 inputs: %zu bus transactions (protocol minimum 16 x 2 = 32), %zu "
                "register accesses\n",
                transfers.size(), port.Trace().size());
    std::printf("  first input: %s | %s\n", transfers.at(0).c_str(), transfers.at(1).c_str());
    bus.Shutdown();
}

double TickMicros(CVelkorView& view, int ticks)
{
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < ticks; ++i)
        view.OnTimer(1);
    return double(t.nsecsElapsed()) / 1000.0 / ticks;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void TickRatio()
{
    QuietSink sink;
    SetMessageSink(&sink);
    constexpr int kTicks = 2000;
    constexpr int kRounds = 15;
    std::vector<double> plain, hardware;

    CVelkorDoc docPlain;
    docPlain.OnNewDocument();
    CVelkorView viewPlain;
    viewPlain.SetDocument(&docPlain);
    viewPlain.OnInitialUpdate();
    // Steady numbers on both sides: the ramp would cost repaints the
    // hardware view (steady simulated loads) does not have.
    viewPlain.m_bRampeGestoppt = 1;

    CHardwareModule hw(nullptr, false);
    HardwareConfig config = HardwareConfig::SimulatedLayout();
    // The ramping loads would cost repaints that have nothing to do with
    // reading; those channels keep their (steady) test sources here.
    for (int k = 4; k <= 16; k += 4)
        config.channel[k - 1].bConverter = false;
    hw.SetConfig(config);
    CVelkorDoc docHw;
    docHw.OnNewDocument();
    docHw.m_nAbfragezeit = 10; // the worker sweeps as fast as allowed
    CVelkorView viewHw;
    viewHw.SetDocument(&docHw);
    viewHw.OnInitialUpdate();
    while (hw.Worker()->Sweeps() < 2)
        QThread::msleep(1);

    TickMicros(viewPlain, 200); // warm up
    TickMicros(viewHw, 200);
    for (int r = 0; r < kRounds; ++r) {
        plain.push_back(TickMicros(viewPlain, kTicks));
        hardware.push_back(TickMicros(viewHw, kTicks));
    }
    const double p = Median(plain), h = Median(hardware);
    std::printf("measurement tick: test sources %.2f us, hardware active %.2f us, ratio %.3f "
                "(target <= 1.2)\n",
                p, h, h / p);
    std::printf("  worker sweeps meanwhile: %ld\n", hw.Worker()->Sweeps());
    viewHw.OnDestroy();
    viewPlain.OnDestroy();
    SetMessageSink(nullptr);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C"); // machine-readable figures
    SweepCost();
    TickRatio();
    return 0;
}
