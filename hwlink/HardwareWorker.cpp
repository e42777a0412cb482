#include "hwlink/HardwareWorker.h"

#include "hw/I2CAdapter.h"
#include "hw/I2CBus.h"
#include "hw/I2CDevice.h"
#include "hw/SimLayout.h"

#include <algorithm>

namespace {

// The simulated board sits on port 1 of the simulated machine.
std::uint16_t BusPort(int nPort)
{
    return nPort == HardwareConfig::Simulation ? 1 : std::uint16_t(nPort);
}

bool SameStatus(const CHardwareWorker::Status& a, const CHardwareWorker::Status& b)
{
    return a.state == b.state && a.nError == b.nError && a.nDetail == b.nDetail &&
           a.bAnyStale == b.bAnyStale && a.channel == b.channel && a.output == b.output;
}

} // namespace

CHardwareWorker::CHardwareWorker(const HardwareConfig& config, CPortBackend& backend,
                                 CSimLayout* layout, std::function<void()> notify)
    : m_config(config), m_backend(backend), m_layout(layout), m_notify(std::move(notify))
{
}

CHardwareWorker::~CHardwareWorker()
{
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_bStop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
}

void CHardwareWorker::Start(unsigned periodMs, const Outputs& first)
{
    SetPeriod(periodMs);
    m_pendingOutputs = first;
    m_t0 = std::chrono::steady_clock::now();
    m_thread = std::thread([this] { Run(); });
}

void CHardwareWorker::SetPeriod(unsigned periodMs)
{
    m_periodMs = std::max(periodMs, kMinPeriodMs);
}

void CHardwareWorker::SetOutputs(const Outputs& on)
{
    {
        std::lock_guard lock(m_mutex);
        m_pendingOutputs = on;
    }
    m_wake.notify_all();
}

void CHardwareWorker::Stop(const Outputs& last)
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_pendingOutputs = last;
        m_bStop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

bool CHardwareWorker::Reading(int nChannel, double& current, bool& stale) const
{
    std::lock_guard lock(m_mutex);
    const auto& r = m_readings[nChannel - 1];
    if (!r.valid)
        return false;
    current = r.current;
    stale = r.stale;
    return true;
}

CHardwareWorker::Status CHardwareWorker::GetStatus() const
{
    std::lock_guard lock(m_mutex);
    return m_status;
}

std::map<std::uint8_t, std::uint8_t> CHardwareWorker::WrittenOutputs() const
{
    std::lock_guard lock(m_mutex);
    return m_written;
}

void CHardwareWorker::Publish(const Status& status)
{
    bool changed = false;
    {
        std::lock_guard lock(m_mutex);
        changed = !SameStatus(m_status, status);
        m_status = status;
    }
    if (changed && m_notify)
        m_notify();
}

// Everything that touches the bus lives in this function's frame.
void CHardwareWorker::Run()
{
    if (m_config.nPort == HardwareConfig::I2CAdapter) {
        CI2CAdapter adapter(m_node ? *m_node : DefaultI2CNode());
        try {
            adapter.Open(m_config.nAdapter);
        } catch (const CERR& e) {
            Publish({State::Failed, e.GetNumber(), e.GetText(), e.GetDetail(), false, {}, {}});
            return;
        }
        Publish({State::Connected, 0, {}, 0, false, {}, {}});
        RunOn(adapter);
        adapter.Close();
        Publish({State::Stopped, 0, {}, 0, false, {}, {}});
        return;
    }
    CI2CBus bus(m_backend);
    try {
        bus.Init(BusPort(m_config.nPort));
    } catch (const CERR& e) {
        if (e.GetNumber() != 13)
            bus.ClosePort(); // the controller was missing, the port is still ours
        Publish({State::Failed, e.GetNumber(), e.GetText(), e.GetDetail(), false, {}, {}});
        return;
    }
    Publish({State::Connected, 0, {}, 0, false, {}, {}});
    RunOn(bus);
    bus.Shutdown();
    Publish({State::Stopped, 0, {}, 0, false, {}, {}});
}

void CHardwareWorker::RunOn(II2CTransfer& bus)
{
    std::map<std::uint8_t, CI2CConverter> converters;
    std::map<std::uint8_t, CI2CPortDevice> ports;
    for (const ChannelWiring& w : m_config.channel) {
        if (w.bConverter && !converters.count(w.nConverter)) {
            converters[w.nConverter].Attach(&bus, w.nConverter);
            converters[w.nConverter].SetControl(0x00);
        }
        if (w.bOutput && !ports.count(w.nPort))
            ports[w.nPort].Attach(&bus, w.nPort);
    }

    Outputs desired{};
    bool dirty = false;
    Failure outputFailure;
    auto next = std::chrono::steady_clock::now();
    for (;;) {
        bool stop = false;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait_until(lock, next,
                              [this] { return m_bStop || m_pendingOutputs.has_value(); });
            if (m_pendingOutputs) {
                desired = *m_pendingOutputs;
                m_pendingOutputs.reset();
                dirty = true;
            }
            stop = m_bStop;
        }
        Status status = GetStatus();
        if (dirty) {
            // Bytes already on the device are not sent again; a failed write is retried.
            dirty = false;
            for (const auto& [address, byte] : m_config.OutputBytes(desired)) {
                {
                    std::lock_guard lock(m_mutex);
                    const auto it = m_written.find(address);
                    if (it != m_written.end() && it->second == byte)
                        continue;
                }
                try {
                    ports[address].Write(byte);
                    std::lock_guard lock(m_mutex);
                    m_written[address] = byte;
                } catch (const CERR& e) {
                    dirty = true;
                    outputFailure = {e.GetNumber(), e.GetText(), e.GetDetail()};
                    status.nError = e.GetNumber();
                    status.text = e.GetText();
                    status.nDetail = e.GetDetail();
                    status.output = outputFailure;
                    Publish(status);
                }
            }
            if (!dirty)
                outputFailure = {};
        }
        if (stop)
            break;
        const auto now = std::chrono::steady_clock::now();
        if (now < next)
            continue;
        next = now + std::chrono::milliseconds(m_periodMs.load());

        if (m_layout)
            m_layout->Refresh(std::chrono::duration<double>(now - m_t0).count());
        std::array<std::optional<double>, kChannels> read{};
        Status swept{State::Connected, 0, {}, 0, false, {}, {}};
        Sweep(converters, read, swept);
        {
            std::lock_guard lock(m_mutex);
            for (int i = 0; i < kChannels; ++i) {
                if (!m_config.channel[i].bConverter)
                    continue;
                Latest& r = m_readings[i];
                if (read[i]) {
                    r = {*read[i], true, false};
                } else {
                    r.stale = true; // the last good value stays
                    swept.bAnyStale = true;
                }
            }
        }
        swept.output = outputFailure;
        if (outputFailure.nError && swept.nError == 0) {
            // An output still fails: keep showing it.
            swept.nError = outputFailure.nError;
            swept.text = outputFailure.text;
            swept.nDetail = outputFailure.nDetail;
        }
        Publish(swept);
        ++m_nSweeps;
    }
}

void CHardwareWorker::Sweep(std::map<std::uint8_t, CI2CConverter>& converters,
                            std::array<std::optional<double>, kChannels>& read, Status& swept)
{
    const auto fail = [&swept](int i, const CERR& e) {
        swept.nError = e.GetNumber();
        swept.text = e.GetText();
        swept.nDetail = e.GetDetail();
        swept.channel[i] = {e.GetNumber(), e.GetText(), e.GetDetail()};
    };
    std::map<std::uint8_t, unsigned> wiredInputs; // bit n: input n is wired
    for (const ChannelWiring& w : m_config.channel)
        if (w.bConverter)
            wiredInputs[w.nConverter] |= 1u << w.nInput;
    std::map<std::uint8_t, std::array<std::uint8_t, 4>> all;
    std::map<std::uint8_t, CERR> failed;
    for (const auto& [address, inputs] : wiredInputs) {
        if (inputs != 0xF)
            continue;
        try {
            all[address] = converters[address].ReadInputs();
        } catch (const CERR& e) {
            failed.emplace(address, e);
        }
    }
    for (int i = 0; i < kChannels; ++i) {
        const ChannelWiring& w = m_config.channel[i];
        if (!w.bConverter)
            continue;
        CI2CConverter& conv = converters[w.nConverter];
        conv.SetFullScale(w.dFullScale);
        if (const auto f = failed.find(w.nConverter); f != failed.end()) {
            fail(i, f->second);
            continue;
        }
        if (const auto a = all.find(w.nConverter); a != all.end()) {
            read[i] = conv.ToPhysical(a->second[w.nInput]);
            continue;
        }
        try {
            read[i] = conv.ReadChannel(std::uint8_t(w.nInput));
        } catch (const CERR& e) {
            fail(i, e);
        }
    }
}
