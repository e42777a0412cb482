// Cost of the real hardware mode.
//  1. One sweep of sixteen converter inputs, three ways: on the simulated
//     PCF8584 board input by input (ReadChannel: one write transfer for the
//     control byte, one two-byte read transfer), on the same board with
//     auto-increment (one write and one five-byte read per converter), and on
//     a simulated kernel adapter with auto-increment (one combined I2C_RDWR
//     call per converter). Transfers and bus bytes are counted from the bus
//     traces; the time on a 100 kHz bus follows from them: 9 clocks per byte
//     (8 bits and the acknowledge) and one clock per START, repeated START
//     and STOP.
//  2. The measurement tick with the hardware worker running against the tick
//     with the test sources; the reading happens on the worker thread.
// Run: QT_QPA_PLATFORM=offscreen ./hwlink_bench

#include "doc/VelkorDoc.h"
#include "framework/Messages.h"
#include "hw/I2CAdapter.h"
#include "hw/I2CDevice.h"
#include "hw/RecordingPort.h"
#include "hw/SimI2CNode.h"
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
#include <sstream>
#include <string>
#include <vector>

namespace {

struct QuietSink : IMessageSink
{
    int MessageBox(QWidget*, const QString&, const QString&, unsigned) override { return 1; }
    void MessageBeep(unsigned) override {}
};

struct BusCount
{
    int transfers = 0; // START ... STOP on the wire
    int bytes = 0;     // address and data bytes
    int conditions = 0;
    double Micros100kHz() const { return (9.0 * bytes + conditions) * 10.0; }
};

// Hex tokens of a trace line are bus bytes: "S 90 42 P" (controller),
// "W 90: 44 | R 91: 80 00 80 FF 40" (adapter).
int HexTokens(const std::string& line)
{
    std::istringstream in(line);
    std::string token;
    int n = 0;
    while (in >> token) {
        while (!token.empty() && (token.back() == '*' || token.back() == ':'))
            token.pop_back();
        n += token.size() == 2 && std::isxdigit(static_cast<unsigned char>(token[0])) &&
             std::isxdigit(static_cast<unsigned char>(token[1]));
    }
    return n;
}

BusCount CountController(const std::vector<std::string>& trace)
{
    BusCount c;
    for (const std::string& line : trace) {
        ++c.transfers;
        c.bytes += HexTokens(line);
        c.conditions += 2; // START, STOP
    }
    return c;
}

BusCount CountAdapter(const std::vector<std::string>& trace)
{
    BusCount c;
    for (const std::string& line : trace) {
        ++c.transfers;
        c.bytes += HexTokens(line);
        const int messages = 1 + int(std::count(line.begin(), line.end(), '|'));
        c.conditions += messages + 1; // START, a repeated START per further message, STOP
    }
    return c;
}

void Report(const char* way, const BusCount& c, long calls)
{
    std::printf("  %-36s %2d transfers, %3d bus bytes, %7.1f us at 100 kHz", way, c.transfers,
                c.bytes, c.Micros100kHz());
    if (calls >= 0)
        std::printf(", %ld kernel calls", calls);
    std::printf("\n");
}

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
    CSimController& controller = layout.Board().Controller();
    controller.ClearBusTrace();
    port.ClearTrace();
    for (const ChannelWiring& w : config.channel)
        converters[w.nConverter].ReadChannel(std::uint8_t(w.nInput));
    const auto perInput = controller.BusTrace();
    const auto perInputRegisters = port.Trace().size();

    controller.ClearBusTrace();
    port.ClearTrace();
    for (auto& [address, converter] : converters)
        converter.ReadInputs();
    const auto autoIncrement = controller.BusTrace();
    const auto autoIncrementRegisters = port.Trace().size();
    bus.Shutdown();

    CSimI2CNode node(controller, CI2CAdapter::NodePath(1));
    CI2CAdapter adapter(node);
    adapter.Open(1);
    for (auto& [address, converter] : converters)
        converter.Attach(&adapter, address);
    const long before = adapter.TransferCalls();
    for (auto& [address, converter] : converters)
        converter.ReadInputs();
    const long calls = adapter.TransferCalls() - before;

    std::printf("sweep of 16 inputs (4 converters):\n");
    Report("PCF8584 bus, input by input:", CountController(perInput), -1);
    std::printf("    %zu register accesses; first input: %s | %s\n", perInputRegisters,
                perInput.at(0).c_str(), perInput.at(1).c_str());
    Report("PCF8584 bus, auto-increment:", CountController(autoIncrement), -1);
    std::printf("    %zu register accesses; first converter: %s | %s\n", autoIncrementRegisters,
                autoIncrement.at(0).c_str(), autoIncrement.at(1).c_str());
    Report("kernel adapter, auto-increment:", CountAdapter(node.Trace()), calls);
    std::printf("    first converter: %s\n", node.Trace().at(0).c_str());
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
    config.nSweepMs = HardwareConfig::kMinSweepMs; // the worker sweeps as fast as allowed
    hw.SetConfig(config);
    CVelkorDoc docHw;
    docHw.OnNewDocument();
    docHw.m_nAbfragezeit = 10;
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
