#pragma once

#include <cstdint>

// Devices on the simulated I2C bus, seen from the bus: addressed by a START,
// handed the bytes a master writes, asked for the bytes it reads.
class CSimDevice
{
public:
    virtual ~CSimDevice() = default;

    // Addressed by a START (or repeated START) in the given direction.
    virtual void Start(bool read) = 0;
    // A byte from the master; returns whether the device acknowledges it.
    virtual bool Receive(std::uint8_t value) = 0;
    // The next byte for the master.
    virtual std::uint8_t Transmit() = 0;
};

// PCF8591-type converter: the first byte of a write is the control byte
// (bit 6 analog output on, bit 2 auto-increment, bits 1-0 input; the input
// modes of bits 5-4 are not modelled: every input is single-ended), further
// bytes set the D/A output. Every byte read carries the conversion made while
// the previous byte was sent; the first after power-on is 0x80.
class CSimConverter : public CSimDevice
{
public:
    void SetInput(int input, std::uint8_t raw) { m_inputs[input & 3] = raw; }
    std::uint8_t Control() const { return m_control; }
    std::uint8_t Output() const { return m_output; }

    void Start(bool read) override;
    bool Receive(std::uint8_t value) override;
    std::uint8_t Transmit() override;

private:
    std::uint8_t m_inputs[4] = {};
    std::uint8_t m_control = 0;
    std::uint8_t m_output = 0;
    std::uint8_t m_conversion = 0x80;
    int m_input = 0;
    bool m_controlNext = false;
};

// PCF8574-type 8-bit port: quasi-bidirectional pins that read as the output
// latch AND the levels applied from outside (pulled high: 0xFF).
class CSimPortDevice : public CSimDevice
{
public:
    void SetPins(std::uint8_t levels) { m_pins = levels; }
    std::uint8_t Latch() const { return m_latch; }

    void Start(bool) override {}
    bool Receive(std::uint8_t value) override;
    std::uint8_t Transmit() override { return m_latch & m_pins; }

private:
    std::uint8_t m_latch = 0xFF;
    std::uint8_t m_pins = 0xFF;
};
