#include "Commands.h"

#include "hw/I2CBus.h"
#include "hw/I2CDevice.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>

namespace {
std::string Hex(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

// Keeps the controller set up for one command and shuts it down afterwards,
// also when the command fails half-way.
class CBusSession
{
public:
    CBusSession(CI2CBus& bus, std::uint16_t port) : m_bus(bus)
    {
        try {
            m_bus.Init(port);
        } catch (const CERR&) {
            if (m_bus.m_hPort != INVALID_PORT_HANDLE)
                m_bus.ClosePort(); // no controller: the port is still claimed
            throw;
        }
    }
    ~CBusSession() { m_bus.Shutdown(); }
    CBusSession(const CBusSession&) = delete;
    CBusSession& operator=(const CBusSession&) = delete;

private:
    CI2CBus& m_bus;
};

void Detect(const ToolOptions& options, CI2CBus& bus, std::ostream& out)
{
    // Tell a port that cannot be claimed apart from a port without controller.
    if (!bus.TestPort(options.port))
        throw CERR(13, 0);
    if (!bus.Detect(options.port))
        throw CERR(11, 0);
    out << "port " << options.port << ": I2C controller found\n";
}

// A table in the style of i2cdetect: 7-bit addresses, rows of sixteen.
void Scan(const ToolOptions& options, CI2CBus& bus, std::ostream& out)
{
    std::uint8_t present[128] = {};
    {
        CBusSession session(bus, options.port);
        bus.ScanBus(present);
    }
    out << "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f\n";
    std::string found;
    for (int row = 0; row < 128; row += 16) {
        char label[16];
        std::snprintf(label, sizeof label, "%02x:", row);
        out << label;
        for (int a = row; a < row + 16; ++a) {
            char cell[16];
            std::snprintf(cell, sizeof cell, " %02x", a);
            out << (present[a] ? cell : " --");
            if (present[a])
                found += " " + Hex(a * 2);
        }
        out << '\n';
    }
    out << "8-bit addresses for --addr:" << (found.empty() ? " none" : found) << '\n';
}

void Read(const ToolOptions& options, CI2CBus& bus, std::ostream& out)
{
    const auto address = static_cast<std::uint8_t>(options.address);
    CBusSession session(bus, options.port);
    if (options.input < 0) {
        CI2CPortDevice device;
        device.Attach(&bus, address);
        // Read before printing: a failed read must not leave half a line.
        const unsigned value = device.Read();
        out << Hex(address) << ": " << Hex(value) << '\n';
        return;
    }
    CI2CConverter converter;
    converter.Attach(&bus, address);
    converter.SetControl(options.control);
    converter.SetFullScale(options.fullScale);
    const double value = converter.ReadChannel(static_cast<std::uint8_t>(options.input));
    const auto raw = static_cast<unsigned>(std::lround(value / options.fullScale * 255.0));
    char text[64];
    std::snprintf(text, sizeof text, "%.3f (raw %s)", value, Hex(raw).c_str());
    out << Hex(address) << " input " << options.input << ": " << text << '\n';
}

void Write(const ToolOptions& options, CI2CBus& bus, std::ostream& out)
{
    const auto address = static_cast<std::uint8_t>(options.address);
    CBusSession session(bus, options.port);
    CI2CPortDevice device;
    device.Attach(&bus, address);
    device.Write(static_cast<std::uint8_t>(options.value));
    out << Hex(address) << " <- " << Hex(static_cast<unsigned>(options.value)) << '\n';
}
} // namespace

void RunCommand(const ToolOptions& options, CI2CBus& bus, std::ostream& out)
{
    if (options.command == "detect")
        Detect(options, bus, out);
    else if (options.command == "scan")
        Scan(options, bus, out);
    else if (options.command == "read")
        Read(options, bus, out);
    else if (options.command == "write")
        Write(options, bus, out);
}
