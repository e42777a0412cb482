#include "hwlink/HardwareWorker.h"

#include "hw/I2CAdapter.h"
#include "hw/I2CBus.h"
#include "hw/I2CDevice.h"
#include "hw/SimLayout.h"

#include <algorithm>
#include <ctime>

namespace {

// The simulated board sits on port 1 of the simulated machine.
std::uint16_t BusPort(int nPort)
{
    return nPort == HardwareConfig::Simulation ? 1 : std::uint16_t(nPort);
}

bool SameStatus(const CHardwareWorker::Status& a, const CHardwareWorker::Status& b)
{
    return a.state == b.state && a.nError == b.nError && a.nDetail == b.nDetail &&
           a.channel == b.channel && a.output == b.output &&
           a.unconfirmed == b.unconfirmed;
}

// A sweep's readings are on the bus for this many sweeps, or a second.
constexpr long long kStaleSweeps = 3;
constexpr long long kStaleMinMs = 1000;
// Sweeps in a row with an output read back wrong before it is reported.
constexpr int kUnconfirmedAfter = 3;

long long ThreadCpuNs()
{
    timespec ts{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts) != 0)
        return 0;
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

} // namespace

CHardwareWorker::CHardwareWorker(const HardwareConfig& config, CPortBackend& backend,
                                 CSimLayout* layout, std::function<void()> notify)
    : m_config(config), m_backend(backend), m_layout(layout), m_notify(std::move(notify))
{
    m_cutoff.fill(std::numeric_limits<double>::infinity());
    for (int i = 0; i < kChannels; ++i)
        m_tripDelayMs[i] = config.channel[i].nTripDelayMs;
    SetPeriod(unsigned(std::max(config.nSweepMs, 0)));
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

void CHardwareWorker::Start(const Outputs& first, const Limits& cutoff)
{
    m_requested = first;
    m_seen = {};
    m_trips = {};
    m_cutoff = cutoff;
    m_bOutputsChanged = true;
    m_t0 = Clock::now();
    m_lastSweep = m_t0;
    m_thread = std::thread([this] { Run(); });
}

void CHardwareWorker::SetPeriod(unsigned periodMs)
{
    const unsigned p = std::clamp(periodMs, kMinPeriodMs, kMaxPeriodMs);
    if (m_periodMs.exchange(p) == p)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_bPeriodChanged = true;
    }
    m_wake.notify_all();
}

void CHardwareWorker::SetLimits(const Limits& cutoff)
{
    std::lock_guard lock(m_mutex);
    m_cutoff = cutoff;
}

void CHardwareWorker::SetTripDelays(const std::array<int, kChannels>& delayMs)
{
    std::lock_guard lock(m_mutex);
    m_tripDelayMs = delayMs;
}

void CHardwareWorker::SetOutputs(const Outputs& on, const TripCounts& seen)
{
    {
        std::lock_guard lock(m_mutex);
        m_requested = on;
        m_seen = seen;
        m_bOutputsChanged = true;
    }
    m_wake.notify_all();
}

void CHardwareWorker::Stop(const Outputs& last)
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        // The stop pattern is the caller's last word: it has heard of every trip.
        m_requested = last;
        m_seen = m_trips;
        m_bOutputsChanged = true;
        m_bStop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

std::vector<CHardwareWorker::Trip> CHardwareWorker::TakeTrips()
{
    std::lock_guard lock(m_mutex);
    std::vector<Trip> trips;
    trips.swap(m_newTrips);
    return trips;
}

long long CHardwareWorker::StaleAfterMs() const
{
    return std::max(kStaleSweeps * m_periodMs.load(), kStaleMinMs);
}

bool CHardwareWorker::GetSample(int nChannel, Sample& sample, bool bTakePeak)
{
    if (nChannel < 1 || nChannel > kChannels || !m_config.channel[nChannel - 1].bConverter)
        return false;
    const auto now = Clock::now();
    std::lock_guard lock(m_mutex);
    Latest& r = m_readings[nChannel - 1];
    sample = {};
    if (!r.valid)
        return true;
    sample.valid = true;
    sample.current = r.current;
    sample.peak = r.peakValid ? std::max(r.peak, r.current) : r.current;
    sample.ageMs = std::chrono::duration_cast<std::chrono::milliseconds>(now - r.at).count();
    sample.stale = r.failed || sample.ageMs > StaleAfterMs();
    if (bTakePeak) {
        r.peak = r.current;
        r.peakValid = true;
    }
    return true;
}

bool CHardwareWorker::Reading(int nChannel, double& current, bool& stale)
{
    Sample s;
    if (!GetSample(nChannel, s))
        return false;
    current = s.current;
    stale = s.stale;
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

CHardwareWorker::Clock::time_point CHardwareWorker::LastSweep() const
{
    std::lock_guard lock(m_mutex);
    return m_lastSweep;
}

double CHardwareWorker::CpuSeconds() const
{
    return double(m_cpuNs.load()) / 1e9;
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
            Publish({State::Failed, e.GetNumber(), e.GetText(), e.GetDetail(), {}, {}, {}});
            return;
        }
        Publish({State::Connected, 0, {}, 0, {}, {}, {}});
        RunOn(adapter);
        adapter.Close();
        Publish({State::Stopped, 0, {}, 0, {}, {}, {}});
        return;
    }
    CI2CBus bus(m_backend);
    try {
        bus.Init(BusPort(m_config.nPort));
    } catch (const CERR& e) {
        if (e.GetNumber() != cerr::kPortUnavailable)
            bus.ClosePort(); // the controller was missing, the port is still ours
        Publish({State::Failed, e.GetNumber(), e.GetText(), e.GetDetail(), {}, {}, {}});
        return;
    }
    Publish({State::Connected, 0, {}, 0, {}, {}, {}});
    RunOn(bus);
    bus.Shutdown();
    Publish({State::Stopped, 0, {}, 0, {}, {}, {}});
}

CHardwareWorker::Outputs CHardwareWorker::Effective() const
{
    Outputs on{};
    for (int i = 0; i < kChannels; ++i)
        on[i] = m_requested[i] && m_seen[i] == m_trips[i];
    return on;
}

void CHardwareWorker::WriteOutputs(std::map<std::uint8_t, CI2CPortDevice>& ports, bool bForce,
                                   Status& status)
{
    std::map<std::uint8_t, std::uint8_t> bytes;
    {
        std::lock_guard lock(m_mutex);
        bytes = m_config.OutputBytes(Effective());
    }
    bool failed = false;
    for (const auto& [address, byte] : bytes) {
        if (!bForce) {
            std::lock_guard lock(m_mutex);
            const auto it = m_written.find(address);
            if (it != m_written.end() && it->second == byte)
                continue;
        }
        try {
            CI2CPortDevice& port = ports[address];
            port.Write(byte);
            {
                std::lock_guard lock(m_mutex);
                m_written[address] = byte;
            }
            // The sweep's read-back judges it; this one only mends at once.
            if (port.Read() != byte)
                port.Write(byte);
        } catch (const CERR& e) {
            failed = true;
            {
                std::lock_guard lock(m_mutex);
                m_written.erase(address); // unknown now: written again next time
            }
            status.output = {e.GetNumber(), e.GetText(), e.GetDetail()};
        }
    }
    if (!failed)
        status.output = {};
}

void CHardwareWorker::ConfirmOutputs(std::map<std::uint8_t, CI2CPortDevice>& ports,
                                     Status& status)
{
    std::map<std::uint8_t, std::uint8_t> want;
    {
        std::lock_guard lock(m_mutex);
        want = m_config.OutputBytes(Effective());
    }
    for (const auto& [address, byte] : want) {
        std::uint8_t mask = 0;
        for (const ChannelWiring& w : m_config.channel)
            if (w.bOutput && w.nPort == address)
                mask |= std::uint8_t(1u << w.nBit);
        std::uint8_t got = 0;
        try {
            CI2CPortDevice& port = ports[address];
            got = port.Read();
            if ((got ^ byte) & mask) {
                // Lost power and back at 0xFF, or another master wrote it.
                port.Write(byte);
                {
                    std::lock_guard lock(m_mutex);
                    m_written[address] = byte;
                }
                got = port.Read();
            }
        } catch (const CERR& e) {
            status.output = {e.GetNumber(), e.GetText(), e.GetDetail()};
            continue; // a transfer error, not an output that refuses
        }
        int& wrong = m_wrongSweeps[address];
        wrong = (got ^ byte) & mask ? wrong + 1 : 0;
        for (int i = 0; i < kChannels; ++i) {
            const ChannelWiring& w = m_config.channel[i];
            if (!w.bOutput || w.nPort != address)
                continue;
            const bool bad = wrong >= kUnconfirmedAfter && ((got ^ byte) >> w.nBit & 1u);
            status.unconfirmed[i] = bad ? address : 0;
        }
    }
}

std::vector<CHardwareWorker::Trip>
CHardwareWorker::CheckLimits(const std::array<std::optional<double>, kChannels>& read,
                             Clock::time_point at)
{
    std::vector<Trip> trips;
    std::lock_guard lock(m_mutex);
    const Outputs on = Effective();
    for (int i = 0; i < kChannels; ++i) {
        if (!read[i])
            continue;
        if (!(*read[i] >= m_cutoff[i]) || !on[i]) {
            m_overSince[i].reset();
            continue;
        }
        if (!m_overSince[i])
            m_overSince[i] = at;
        const auto delay = std::chrono::milliseconds(m_tripDelayMs[i]);
        if (at - *m_overSince[i] < delay)
            continue;
        m_overSince[i].reset();
        ++m_trips[i];
        trips.push_back({i + 1, *read[i], {}, at, m_trips[i]});
    }
    return trips;
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

    const long long cpu0 = ThreadCpuNs();
    Status status{State::Connected, 0, {}, 0, {}, {}, {}};
    auto next = Clock::now();
    bool bForce = true; // the first outputs go out whatever the device holds
    for (;;) {
        bool stop = false;
        bool writeNow = false;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait_until(lock, next, [this] {
                return m_bStop || m_bOutputsChanged || m_bPeriodChanged;
            });
            writeNow = m_bOutputsChanged;
            m_bOutputsChanged = false;
            if (m_bPeriodChanged) {
                // A shorter period must not wait out the old one.
                m_bPeriodChanged = false;
                next = std::min(next, m_lastSweep + std::chrono::milliseconds(m_periodMs.load()));
            }
            stop = m_bStop;
        }
        if (writeNow || (status.output.nError && !stop)) {
            const Failure before = status.output;
            WriteOutputs(ports, bForce, status);
            bForce = false;
            if (!(status.output == before))
                Publish(Combined(status));
        }
        if (stop)
            break;
        const auto now = Clock::now();
        if (now < next)
            continue;
        next = now + std::chrono::milliseconds(m_periodMs.load());

        if (m_layout)
            m_layout->Refresh(std::chrono::duration<double>(now - m_t0).count());
        std::array<std::optional<double>, kChannels> read{};
        Status swept{State::Connected, 0, {}, 0, {}, status.output, status.unconfirmed};
        Sweep(converters, read, swept);
        const auto readAt = Clock::now();
        // The trip delay counts in sweep starts, the moments the layout is sampled.
        if (std::vector<Trip> trips = CheckLimits(read, now); !trips.empty()) {
            // Off before anything else: the next sweep may be a whole period away.
            WriteOutputs(ports, false, swept);
            const auto written = std::chrono::system_clock::now();
            {
                std::lock_guard lock(m_mutex);
                for (Trip& t : trips) {
                    t.written = written;
                    m_newTrips.push_back(t);
                }
            }
            if (m_notify)
                m_notify();
        }
        ConfirmOutputs(ports, swept);
        {
            std::lock_guard lock(m_mutex);
            for (int i = 0; i < kChannels; ++i) {
                if (!m_config.channel[i].bConverter)
                    continue;
                Latest& r = m_readings[i];
                if (read[i]) {
                    r.peak = r.peakValid ? std::max(r.peak, *read[i]) : *read[i];
                    r.peakValid = true;
                    r.current = *read[i];
                    r.valid = true;
                    r.failed = false;
                    r.at = readAt;
                } else {
                    r.failed = true; // the last good value stays, ageing
                }
            }
            m_lastSweep = Clock::now();
        }
        status = swept;
        Publish(Combined(status));
        ++m_nSweeps;
        m_cpuNs = ThreadCpuNs() - cpu0;
    }
}

// An output that still fails is shown when the inputs are fine.
CHardwareWorker::Status CHardwareWorker::Combined(Status status)
{
    if (status.output.nError && status.nError == 0) {
        status.nError = status.output.nError;
        status.text = status.output.text;
        status.nDetail = status.output.nDetail;
    }
    return status;
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
