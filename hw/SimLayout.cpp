#include "hw/SimLayout.h"

#include <algorithm>
#include <cmath>

CSimLayout::CSimLayout()
{
    for (auto& s : m_short)
        s = false;
    for (auto& r : m_removed)
        r = false;
}

void CSimLayout::Wire(int nChannel, const Wiring& wiring)
{
    m_wiring[nChannel - 1] = wiring;
    if (wiring.converter && !m_converters.count(wiring.converter))
        m_converters[wiring.converter] = &m_board.AddConverter(wiring.converter);
    if (wiring.port && !m_ports.count(wiring.port))
        m_ports[wiring.port] = &m_board.AddPortDevice(wiring.port);
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

bool CSimLayout::OutputOn(const Wiring& w) const
{
    if (!w.port)
        return true; // nothing switches this channel
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
    if (!OutputOn(w))
        return 0.0;
    const Load& load = m_loads[i];
    if (load.kind == LoadKind::Ramp && load.rampSeconds > 0)
        return load.amps * std::fmod(seconds, load.rampSeconds) / load.rampSeconds;
    return load.amps;
}

void CSimLayout::Refresh(double seconds)
{
    ApplyRemovals();
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
