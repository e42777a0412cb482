#pragma once

#include <cstdint>

// What a device needs from any bus, at the level of I2C messages. Addresses
// are in 8-bit form (7-bit address << 1, bit 0 clear); failures throw CERR.
// The PCF8584 bus (CI2CBus) and a kernel adapter (CI2CAdapter) implement it.
class II2CTransfer
{
public:
    // Write count bytes (0: the address alone) in one transfer.
    virtual void Write(std::uint8_t address, const std::uint8_t* data, int count) = 0;
    // Read count bytes (at least 1) in one transfer.
    virtual void Read(std::uint8_t address, std::uint8_t* data, int count) = 0;
    // A write, then a read from the same device with a repeated start where
    // the bus can do it.
    virtual void WriteRead(std::uint8_t address, const std::uint8_t* out, int outCount,
                           std::uint8_t* in, int inCount) = 0;
    // Whether a device answers its address.
    virtual bool Probe(std::uint8_t address) = 0;

protected:
    ~II2CTransfer() = default;
};
