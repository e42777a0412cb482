#pragma once

#include "hw/PortBackend.h"
#include "hw/SimController.h"

#include <cstdint>

// A simulated machine for trying the bus without hardware: port 1 (base
// 0x378) carries the controller board, port 2 (0x278) exists with nothing on
// it (its EPP registers read 0xFF), other port numbers do not exist. Pulling
// the initialise line low (control register bit 2 = 0) resets the
// controller. Pauses return at once.
class CSimBoard : public CPortBackend
{
public:
    // The devices of the default board, in 8-bit address form.
    static constexpr std::uint8_t DEFAULT_CONVERTERS[] = {0x90, 0x92, 0x94, 0x96};
    static constexpr std::uint8_t DEFAULT_PORT_DEVICES[] = {0x40, 0x42};
    // Raw values at inputs 0..3 of every default converter.
    static constexpr std::uint8_t DEFAULT_INPUTS[] = {0x00, 0x80, 0xFF, 0x40};

    CSimBoard() = default; // a bus without devices
    void AddDefaultDevices();
    CSimConverter& AddConverter(std::uint8_t address);
    CSimPortDevice& AddPortDevice(std::uint8_t address);

    // Makes a port look held by another program.
    void SetHeldElsewhere(unsigned portNumber, bool held);
    bool IsClaimed(unsigned portNumber) const;

    // Bus timing: every byte on the simulated I2C bus takes this long
    // (0, the default: instant).
    void SetByteTime(unsigned microseconds);

    CSimController& Controller() { return m_controller; }
    const CSimController& Controller() const { return m_controller; }

    PortHandle Claim(unsigned portNumber) override;
    void Release(PortHandle handle) override;
    std::uint8_t Read(std::uint16_t address) override;
    void Write(std::uint16_t address, std::uint8_t value) override;
    void Pause(unsigned) override {}

private:
    static constexpr unsigned BOARD_PORT = 1;

    CSimController m_controller;
    std::uint8_t m_plainRegisters[3][3] = {}; // data, status, control per port
    bool m_claimed[3] = {};
    bool m_held[3] = {};
};
