#pragma once

#include "hw/I2CBus.h"

#include <array>
#include <cstdint>

// A device at an 8-bit address on a CI2CBus or on any other bus that carries
// I2C messages. Exceptions of the bus pass through; a device that was never
// attached throws CERR 10.
class CI2CDevice
{
public:
    void Attach(CI2CBus* bus, std::uint8_t address);
    // Any bus; m_pBus is set only when it is a CI2CBus.
    void Attach(II2CTransfer* link, std::uint8_t address);

    std::uint8_t ReadByte();
    void ReadBlock(std::uint8_t* buffer, int count);
    void WriteByte(std::uint8_t value);
    void WriteBlock(const std::uint8_t* buffer, int count);

    // One transfer kept open across calls: only a CI2CBus can do this, any
    // other bus refuses with CERR 2.
    void BeginRead();
    std::uint8_t ReadNext();
    std::uint8_t EndRead();
    void BeginWrite();
    void WriteNext(std::uint8_t value);
    void EndWrite();

    CI2CBus* m_pBus = nullptr; // not owned
    std::uint8_t m_address = 0;

protected:
    II2CTransfer& Link();

private:
    CI2CBus& Bus();

    II2CTransfer* m_pLink = nullptr; // the bus the messages go to
};

// A PCF8591-type converter: four A/D inputs chosen by the control byte, one
// D/A output. Raw 255 corresponds to m_fullScale.
class CI2CConverter : public CI2CDevice
{
public:
    void SetControl(std::uint8_t control) { m_control = control; }
    void SetFullScale(double fullScale) { m_fullScale = fullScale; }

    // Inputs above 3 are refused with CERR 2 before the bus is touched:
    // OR-ing them into the control byte would change other control bits.
    double ReadChannel(std::uint8_t input);
    // All four inputs in one write and one read: the control byte with
    // analog output and auto-increment on (0x44) starts at input 0, and the
    // first byte read is the conversion before it. Raw values, inputs 0..3.
    // Only for four single-ended inputs: other input modes of m_control are
    // refused with CERR 2 before the bus is touched.
    std::array<std::uint8_t, 4> ReadInputs();
    // Raw to physical, as ReadChannel converts.
    double ToPhysical(std::uint8_t raw) const;
    void WriteOutput(double value);

    // Continuous transfers: the bus stays open between calls.
    double ReadContinuous();
    void StopReading();
    void WriteContinuous(double value);
    void StopWriting();

    std::uint8_t m_control = 0;
    double m_fullScale = 0.0;
    bool m_bReading = false;
    bool m_bWriting = false;

private:
    std::uint8_t ToRaw(double value) const;
};

// An 8-bit port device, read and written one byte at a time.
class CI2CPortDevice : public CI2CDevice
{
public:
    std::uint8_t Read() { return ReadByte(); }
    void Write(std::uint8_t value) { WriteByte(value); }
};
