#pragma once

#include <cstdint>

// The seam between CI2CBus and a parallel port: byte reads and writes at an
// I/O address (base + register offset), a pause, and an exclusive claim of
// port 1 or 2. The real port, the simulated board and the recording fake
// plug in here.

using PortHandle = int;
constexpr PortHandle INVALID_PORT_HANDLE = -1;

// Port numbers as the program counts them, and their I/O base addresses.
constexpr std::uint16_t PORT1_BASE = 0x378;
constexpr std::uint16_t PORT2_BASE = 0x278;

// 0x378 for port 1, 0x278 for port 2, 0 for any other number.
constexpr std::uint16_t PortBase(unsigned portNumber)
{
    return portNumber == 1 ? PORT1_BASE : portNumber == 2 ? PORT2_BASE : 0;
}

// The port (1 or 2) whose registers base + 0 to base + 4 include the
// address, with the register offset; 0 for an address of neither port.
constexpr unsigned DecodePortAddress(std::uint16_t address, int& offset)
{
    for (unsigned port = 1; port <= 2; ++port) {
        if (address >= PortBase(port) && address <= PortBase(port) + 4) {
            offset = address - PortBase(port);
            return port;
        }
    }
    return 0;
}

class CPortBackend
{
public:
    virtual ~CPortBackend() = default;

    // Claims port 1 or 2 for exclusive use. INVALID_PORT_HANDLE when the
    // port is missing, held by anyone (this process included) or unusable.
    virtual PortHandle Claim(unsigned portNumber) = 0;
    // Releases a claimed port; an invalid or unknown handle is ignored.
    virtual void Release(PortHandle handle) = 0;

    virtual std::uint8_t Read(std::uint16_t address) = 0;
    virtual void Write(std::uint16_t address, std::uint8_t value) = 0;
    virtual void Pause(unsigned milliseconds) = 0;
};

// The real parallel ports of this machine, shared by every CI2CBus that is
// not given a backend of its own.
CPortBackend& DefaultPortBackend();
