#include "hw/SimBoard.h"

#include <memory>

void CSimBoard::AddDefaultDevices()
{
    for (std::uint8_t address : DEFAULT_CONVERTERS) {
        CSimConverter& converter = AddConverter(address);
        for (int input = 0; input < 4; ++input)
            converter.SetInput(input, DEFAULT_INPUTS[input]);
    }
    for (std::uint8_t address : DEFAULT_PORT_DEVICES)
        AddPortDevice(address);
}

CSimConverter& CSimBoard::AddConverter(std::uint8_t address)
{
    auto converter = std::make_unique<CSimConverter>();
    CSimConverter& added = *converter;
    m_controller.Connect(address, std::move(converter));
    return added;
}

CSimPortDevice& CSimBoard::AddPortDevice(std::uint8_t address)
{
    auto device = std::make_unique<CSimPortDevice>();
    CSimPortDevice& added = *device;
    m_controller.Connect(address, std::move(device));
    return added;
}

void CSimBoard::SetHeldElsewhere(unsigned portNumber, bool held)
{
    if (PortBase(portNumber))
        m_held[portNumber] = held;
}

void CSimBoard::SetByteTime(unsigned microseconds)
{
    m_controller.SetByteTime(microseconds);
}

bool CSimBoard::IsClaimed(unsigned portNumber) const
{
    return PortBase(portNumber) && m_claimed[portNumber];
}

// The port number serves as handle: a port has at most one claim.
PortHandle CSimBoard::Claim(unsigned portNumber)
{
    if (!PortBase(portNumber) || m_claimed[portNumber] || m_held[portNumber])
        return INVALID_PORT_HANDLE;
    m_claimed[portNumber] = true;
    return static_cast<PortHandle>(portNumber);
}

void CSimBoard::Release(PortHandle handle)
{
    if (handle == 1 || handle == 2)
        m_claimed[handle] = false;
}

std::uint8_t CSimBoard::Read(std::uint16_t address)
{
    int offset = 0;
    const unsigned port = DecodePortAddress(address, offset);
    if (port == 0)
        return 0xFF;
    if (offset < 3)
        return m_plainRegisters[port][offset];
    if (port != BOARD_PORT)
        return 0xFF;
    return offset == 3 ? m_controller.ReadS1() : m_controller.ReadS0();
}

void CSimBoard::Write(std::uint16_t address, std::uint8_t value)
{
    int offset = 0;
    const unsigned port = DecodePortAddress(address, offset);
    if (port == 0)
        return;
    if (offset < 3) {
        m_plainRegisters[port][offset] = value;
        if (port == BOARD_PORT && offset == 2 && !(value & 0x04))
            m_controller.Reset();
        return;
    }
    if (port != BOARD_PORT)
        return;
    if (offset == 3)
        m_controller.WriteS1(value);
    else
        m_controller.WriteS0(value);
}
