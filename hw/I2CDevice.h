#pragma once

#include "hw/I2CBus.h"

#include <cstdint>

// A device on a CI2CBus at an 8-bit address. Exceptions of the bus pass
// through; a device that was never attached throws CERR 10.
class CI2CDevice
{
public:
    void Attach(CI2CBus* bus, std::uint8_t address);

    std::uint8_t ReadByte();
    void ReadBlock(std::uint8_t* buffer, int count);
    void WriteByte(std::uint8_t value);
    void WriteBlock(const std::uint8_t* buffer, int count);

    // One transfer kept open across calls.
    void BeginRead();
    std::uint8_t ReadNext();
    std::uint8_t EndRead();
    void BeginWrite();
    void WriteNext(std::uint8_t value);
    void EndWrite();

    CI2CBus* m_pBus = nullptr; // not owned
    std::uint8_t m_address = 0;

private:
    CI2CBus& Bus();
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
    double ToPhysical(std::uint8_t raw) const;
    std::uint8_t ToRaw(double value) const;
};

// An 8-bit port device, read and written one byte at a time.
class CI2CPortDevice : public CI2CDevice
{
public:
    std::uint8_t Read() { return ReadByte(); }
    void Write(std::uint8_t value) { WriteByte(value); }
};
