#pragma once

#include "hw/PortBackend.h"

#include <map>

// The real ports through Linux's parport driver (ppdev) with libieee1284:
// port 1 is /dev/parport0, port 2 is /dev/parport1, claimed exclusively.
// Offsets 3 and 4 are EPP address and data cycles, 0 the data register, 2 the
// control register; the status register cannot be written through ppdev (the
// driver clears the EPP time-out itself), so writes to offset 1 are dropped.
// A failed register access reads as 0xFF, like an empty bus. Built without
// libieee1284, every claim fails.
class CParportBackend : public CPortBackend
{
public:
    CParportBackend() = default;
    ~CParportBackend() override;
    CParportBackend(const CParportBackend&) = delete;
    CParportBackend& operator=(const CParportBackend&) = delete;

    PortHandle Claim(unsigned portNumber) override;
    void Release(PortHandle handle) override;
    std::uint8_t Read(std::uint16_t address) override;
    void Write(std::uint16_t address, std::uint8_t value) override;
    void Pause(unsigned milliseconds) override;

private:
    struct ClaimedPort
    {
        unsigned number;
        void* port; // struct parport*
    };
    const ClaimedPort* Find(std::uint16_t address, int& offset) const;

    std::map<PortHandle, ClaimedPort> m_claimed;
    PortHandle m_nextHandle = 1;
};
