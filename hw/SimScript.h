#pragma once
// A timed play of faults for the simulated layout: one event a line,
// "SECONDS short K", "SECONDS clear K", "SECONDS load K AMPERE",
// "SECONDS stuck K", "SECONDS remove 0xAA", "SECONDS restore 0xAA", seconds
// counted from the start of the simulation; "#" starts a comment.

#include <cstdint>
#include <string>
#include <vector>

struct SimScriptEvent
{
    enum class Kind
    {
        Short,
        Clear,
        Load,
        Stuck,
        Remove,
        Restore
    };
    double seconds = 0.0;
    Kind kind = Kind::Short;
    int nChannel = 0;          // 1 ... 16 for short, clear, load, stuck
    double amps = 0.0;         // load
    std::uint8_t address = 0;  // remove, restore: 8-bit address
};

class CSimScript
{
public:
    // False on the first bad line; error then names its number
    // ("Zeile 3: ...", German).
    static bool Parse(const std::string& text, CSimScript& script, std::string& error);

    // Events in the order of their time (lines with the same time keep their order).
    const std::vector<SimScriptEvent>& Events() const { return m_events; }
    bool IsEmpty() const { return m_events.empty(); }

private:
    std::vector<SimScriptEvent> m_events;
};
