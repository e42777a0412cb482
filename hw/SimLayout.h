#pragma once

#include "base/Station.h"
#include "hw/SimBoard.h"
#include "hw/SimScript.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

// A simulated layout on the simulated board: one load per channel behind a
// converter input and a switched port bit. The user thread injects shorts and
// pulls devices off the bus through atomic flags; the thread that owns the bus
// applies them in Refresh(), between transfers.
class CSimLayout
{
public:
    static constexpr int kChannels = korva::kChannels;

    enum class LoadKind
    {
        Steady,
        Ramp
    };
    struct Load
    {
        LoadKind kind = LoadKind::Steady;
        double amps = 0.0;       // steady current, or the top of the ramp
        double rampSeconds = 60; // time from 0 to the top, then it starts again
    };
    struct Wiring
    {
        std::uint8_t converter = 0; // 0: no converter
        int input = 0;
        double fullScale = 0.0;
        std::uint8_t port = 0; // 0: no switch output
        int bit = 0;
        bool activeLow = false;
    };

    CSimLayout();
    // Adds the converters and port devices the wiring names.
    void Wire(int nChannel, const Wiring& wiring);
    // Any thread: a script changes loads on the bus-owner thread.
    void SetLoad(int nChannel, const Load& load);
    Load GetLoad(int nChannel) const;

    // Thread-safe: the owner of the bus sees them at its next Refresh.
    void SetShort(int nChannel, bool on) { m_short[nChannel - 1] = on; }
    bool HasShort(int nChannel) const { return m_short[nChannel - 1]; }
    void SetDeviceRemoved(std::uint8_t address, bool removed);
    // A stuck output stays on (its relay welded) whatever is written; the
    // port device reads back the bit as on.
    void SetStuck(int nChannel, bool stuck);
    bool IsStuck(int nChannel) const;
    // The port device loses power and comes back as after power-on: latch
    // 0xFF, every output high.
    void PowerCycle(std::uint8_t address);

    // Events played by Refresh at their time (seconds since start), each
    // once. Set before the bus-owner thread starts refreshing.
    void SetScript(const CSimScript& script);

    // Bus-owner thread: plays the script's due events, applies removals,
    // power cycles and welded outputs, and sets every converter input from
    // its load, the output bit and the time since start.
    void Refresh(double seconds);
    // Bus-owner thread: the port device's latch (0xFF when there is none).
    std::uint8_t Latch(std::uint8_t address) const;
    // The current the channel draws now (bus-owner thread).
    double Current(int nChannel, double seconds) const;

    CSimBoard& Board() { return m_board; }
    // Every wired device, converters first.
    std::vector<std::uint8_t> Devices() const;

private:
    class CStuckablePort;

    bool OutputOn(int i) const;
    void PlayScript(double seconds);
    void ApplyEvent(const SimScriptEvent& event);
    void ApplyRemovals();
    void ApplyStuck();
    void ApplyPowerCycles();

    CSimBoard m_board;
    std::array<Wiring, kChannels> m_wiring{};
    mutable std::mutex m_loadMutex;
    std::array<Load, kChannels> m_loads{};
    std::array<std::atomic<bool>, kChannels> m_short{};
    std::array<std::atomic<bool>, kChannels> m_stuck{};
    std::array<bool, kChannels> m_stuckApplied{}; // bus-owner thread
    std::map<std::uint8_t, CSimConverter*> m_converters;
    std::map<std::uint8_t, CStuckablePort*> m_ports;
    std::array<std::atomic<bool>, 128> m_removed{};
    std::array<std::atomic<bool>, 128> m_powerCycle{};
    std::vector<SimScriptEvent> m_script;
    std::size_t m_nextEvent = 0;
    std::map<std::uint8_t, std::unique_ptr<CSimDevice>>
        m_offBus; // removed devices kept for putting back
};
