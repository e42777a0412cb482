#include "Commands.h"

#include "hw/I2CAdapter.h"
#include "hw/I2CBus.h"
#include "hw/I2CDevice.h"

#include <linux/i2c.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iterator>
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
        throw CERR(cerr::kPortUnavailable, 0);
    if (!bus.Detect(options.port))
        throw CERR(cerr::kNoController, 0);
    out << "port " << options.port << ": I2C controller found\n";
}

// A table in the style of i2cdetect: 7-bit addresses, rows of sixteen;
// probed: 1 for the addresses tried (blank cells for the others).
void PrintScan(const std::uint8_t* present, const std::uint8_t* probed, std::ostream& out)
{
    out << "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f\n";
    std::string found;
    for (int row = 0; row < 128; row += 16) {
        char label[16];
        std::snprintf(label, sizeof label, "%02x:", row);
        out << label;
        for (int a = row; a < row + 16; ++a) {
            char cell[16];
            std::snprintf(cell, sizeof cell, " %02x", a);
            out << (present[a] ? cell : probed[a] ? " --" : "   ");
            if (present[a])
                found += " " + Hex(a * 2);
        }
        out << '\n';
    }
    out << "8-bit addresses for --addr:" << (found.empty() ? " none" : found) << '\n';
}

void Scan(const ToolOptions& options, CI2CBus& bus, std::ostream& out)
{
    std::uint8_t present[128] = {};
    {
        CBusSession session(bus, options.port);
        bus.ScanBus(present);
    }
    std::uint8_t probed[128];
    std::fill(std::begin(probed), std::end(probed), std::uint8_t(1));
    PrintScan(present, probed, out);
}

void ReadDevice(const ToolOptions& options, II2CTransfer& bus, std::ostream& out)
{
    const auto address = static_cast<std::uint8_t>(options.address);
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

void WriteDevice(const ToolOptions& options, II2CTransfer& bus, std::ostream& out)
{
    const auto address = static_cast<std::uint8_t>(options.address);
    CI2CPortDevice device;
    device.Attach(&bus, address);
    device.Write(static_cast<std::uint8_t>(options.value));
    out << Hex(address) << " <- " << Hex(static_cast<unsigned>(options.value)) << '\n';
}
std::string Functions(unsigned long functions)
{
    struct Name
    {
        unsigned long bit;
        const char* text;
    };
    static const Name names[] = {
        {I2C_FUNC_I2C, "I2C messages (combined transfers)"},
        {I2C_FUNC_SMBUS_QUICK, "SMBus quick"},
        {I2C_FUNC_SMBUS_READ_BYTE, "SMBus read byte"},
        {I2C_FUNC_SMBUS_WRITE_BYTE, "SMBus write byte"},
        {I2C_FUNC_SMBUS_WRITE_BYTE_DATA, "SMBus write byte data"},
    };
    std::string text;
    for (const Name& name : names)
        if (functions & name.bit)
            text += std::string(text.empty() ? "" : ", ") + name.text;
    return text.empty() ? "none" : text;
}

void DetectAdapter(const ToolOptions& options, CI2CAdapter& adapter, const std::string& name,
                   std::ostream& out)
{
    char mask[32];
    std::snprintf(mask, sizeof mask, "0x%08lX", adapter.Functions());
    out << "bus " << options.bus << ": I2C adapter \"" << name << "\"\n"
        << "functions " << mask << ": " << Functions(adapter.Functions()) << '\n'
        << (adapter.Combined() ? "transfers: I2C_RDWR\n" : "transfers: SMBus byte calls\n");
}

// As i2cdetect by default: 0x08 to 0x77 (7-bit), the reserved ends untouched.
void ScanAdapter(CI2CAdapter& adapter, std::ostream& out)
{
    std::uint8_t present[128] = {};
    std::uint8_t probed[128] = {};
    for (int a = 0x08; a <= 0x77; ++a) {
        probed[a] = 1;
        present[a] = adapter.Probe(static_cast<std::uint8_t>(a * 2)) ? 1 : 0;
    }
    PrintScan(present, probed, out);
}
} // namespace

void RunCommand(const ToolOptions& options, CI2CBus& bus, std::ostream& out)
{
    if (options.command == "detect") {
        Detect(options, bus, out);
    } else if (options.command == "scan") {
        Scan(options, bus, out);
    } else if (options.command == "read") {
        CBusSession session(bus, options.port);
        ReadDevice(options, bus, out);
    } else if (options.command == "write") {
        CBusSession session(bus, options.port);
        WriteDevice(options, bus, out);
    }
}

void RunAdapterCommand(const ToolOptions& options, CI2CAdapter& adapter, const std::string& name,
                       std::ostream& out)
{
    adapter.Open(options.bus);
    if (options.command == "detect")
        DetectAdapter(options, adapter, name, out);
    else if (options.command == "scan")
        ScanAdapter(adapter, out);
    else if (options.command == "read")
        ReadDevice(options, adapter, out);
    else if (options.command == "write")
        WriteDevice(options, adapter, out);
    adapter.Close();
}
