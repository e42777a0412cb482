#include "hw/SimLayout.h"

#include <algorithm>
#include <cmath>

// A port device whose outputs can be welded on: those bits read back as on,
// whatever the latch holds.
class CSimLayout::CStuckablePort : public CSimPortDevice
{
public:
    void SetStuck(std::uint8_t mask, std::uint8_t levels)
    {
        m_mask = mask;
        m_levels = levels;
    }
    void PowerOn() { Receive(0xFF); }
    std::uint8_t Transmit() override
    {
        return std::uint8_t((CSimPortDevice::Transmit() & ~m_mask) | (m_levels & m_mask));
    }

private:
    std::uint8_t m_mask = 0;
    std::uint8_t m_levels = 0;
};

CSimLayout::CSimLayout()
{
    for (auto& s : m_short)
        s = false;
    for (auto& s : m_stuck)
        s = false;
    for (auto& r : m_removed)
        r = false;
    for (auto& p : m_powerCycle)
        p = false;
}

void CSimLayout::Wire(int nChannel, const Wiring& wiring)
{
    m_wiring[nChannel - 1] = wiring;
    if (wiring.converter && !m_converters.count(wiring.converter))
        m_converters[wiring.converter] = &m_board.AddConverter(wiring.converter);
    if (wiring.port && !m_ports.count(wiring.port)) {
        auto port = std::make_unique<CStuckablePort>();
        m_ports[wiring.port] = port.get();
        m_board.Controller().Connect(wiring.port, std::move(port));
    }
}

void CSimLayout::SetLoad(int nChannel, const Load& load)
{
    const std::lock_guard<std::mutex> lock(m_loadMutex);
    m_loads[nChannel - 1] = load;
}

CSimLayout::Load CSimLayout::GetLoad(int nChannel) const
{
    const std::lock_guard<std::mutex> lock(m_loadMutex);
    return m_loads[nChannel - 1];
}

void CSimLayout::SetStuck(int nChannel, bool stuck)
{
    m_stuck[nChannel - 1] = stuck;
}

bool CSimLayout::IsStuck(int nChannel) const
{
    return m_stuck[nChannel - 1];
}

void CSimLayout::PowerCycle(std::uint8_t address)
{
    m_powerCycle[address >> 1] = true;
}

void CSimLayout::SetScript(const CSimScript& script)
{
    m_script = script.Events();
    m_nextEvent = 0;
}

void CSimLayout::PlayScript(double seconds)
{
    while (m_nextEvent < m_script.size() && m_script[m_nextEvent].seconds <= seconds)
        ApplyEvent(m_script[m_nextEvent++]);
}

void CSimLayout::ApplyEvent(const SimScriptEvent& event)
{
    using Kind = SimScriptEvent::Kind;
    switch (event.kind) {
    case Kind::Short:
    case Kind::Clear:
        SetShort(event.nChannel, event.kind == Kind::Short);
        break;
    case Kind::Load:
        SetLoad(event.nChannel, {LoadKind::Steady, event.amps, 60});
        break;
    case Kind::Stuck:
        SetStuck(event.nChannel, true);
        break;
    case Kind::Remove:
    case Kind::Restore:
        SetDeviceRemoved(event.address, event.kind == Kind::Remove);
        break;
    }
}

void CSimLayout::SetDeviceRemoved(std::uint8_t address, bool removed)
{
    m_removed[address >> 1] = removed;
}

void CSimLayout::ApplyRemovals()
{
    CSimController& bus = m_board.Controller();
    for (int a = 0; a < 128; ++a) {
        const auto address = std::uint8_t(a << 1);
        const bool offBus = m_offBus.count(address) != 0;
        if (m_removed[a] && !offBus) {
            if (auto device = bus.Disconnect(address))
                m_offBus[address] = std::move(device);
        } else if (!m_removed[a] && offBus) {
            bus.Connect(address, std::move(m_offBus[address]));
            m_offBus.erase(address);
        }
    }
}

std::uint8_t CSimLayout::Latch(std::uint8_t address) const
{
    const auto port = m_ports.find(address);
    return port != m_ports.end() ? port->second->Latch() : 0xFF;
}

void CSimLayout::ApplyPowerCycles()
{
    for (auto& [address, port] : m_ports)
        if (m_powerCycle[address >> 1].exchange(false))
            port->PowerOn();
}

void CSimLayout::ApplyStuck()
{
    std::map<std::uint8_t, std::pair<std::uint8_t, std::uint8_t>> welded; // mask, levels
    for (int i = 0; i < kChannels; ++i) {
        m_stuckApplied[i] = m_stuck[i];
        const Wiring& w = m_wiring[i];
        if (!m_stuckApplied[i] || !w.port)
            continue;
        const auto bit = std::uint8_t(1u << w.bit);
        welded[w.port].first |= bit;
        if (!w.activeLow)
            welded[w.port].second |= bit;
    }
    for (auto& [address, port] : m_ports)
        port->SetStuck(welded[address].first, welded[address].second);
}

bool CSimLayout::OutputOn(int i) const
{
    const Wiring& w = m_wiring[i];
    if (!w.port || m_stuckApplied[i])
        return true; // nothing switches this channel, or nothing can
    const bool high = Latch(w.port) & (1u << w.bit);
    return high != w.activeLow;
}

// A short shows at the sense input while it lasts, even with the output off,
// as a booster's short detector does; the ordinary load draws only when on.
double CSimLayout::Current(int nChannel, double seconds) const
{
    const int i = nChannel - 1;
    const Wiring& w = m_wiring[i];
    if (m_short[i])
        return w.fullScale;
    if (!OutputOn(i))
        return 0.0;
    const Load load = GetLoad(nChannel);
    if (load.kind == LoadKind::Ramp && load.rampSeconds > 0)
        return load.amps * std::fmod(seconds, load.rampSeconds) / load.rampSeconds;
    return load.amps;
}

void CSimLayout::Refresh(double seconds)
{
    PlayScript(seconds);
    ApplyRemovals();
    ApplyPowerCycles();
    ApplyStuck();
    for (int k = 1; k <= kChannels; ++k) {
        const Wiring& w = m_wiring[k - 1];
        if (!w.converter || w.fullScale <= 0)
            continue;
        const double raw = std::clamp(Current(k, seconds) / w.fullScale * 255.0, 0.0, 255.0);
        m_converters[w.converter]->SetInput(w.input, std::uint8_t(std::lround(raw)));
    }
}

std::vector<std::uint8_t> CSimLayout::Devices() const
{
    std::vector<std::uint8_t> devices;
    for (const auto& [address, converter] : m_converters)
        devices.push_back(address);
    for (const auto& [address, port] : m_ports)
        devices.push_back(address);
    return devices;
}
