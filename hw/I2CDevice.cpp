#include "hw/I2CDevice.h"

#include <cmath>

namespace {
constexpr std::uint8_t DAC_CONTROL = 0x40; // analog output on, input 0
constexpr std::uint8_t AUTO_INCREMENT = 0x04;
constexpr std::uint8_t INPUT_MODE = 0x30; // 00: four single-ended inputs
} // namespace

// ---- CI2CDevice ----------------------------------------------------------

void CI2CDevice::Attach(CI2CBus* bus, std::uint8_t address)
{
    m_pBus = bus;
    m_pLink = bus;
    m_address = address;
}

void CI2CDevice::Attach(II2CTransfer* link, std::uint8_t address)
{
    m_pBus = dynamic_cast<CI2CBus*>(link);
    m_pLink = link;
    m_address = address;
}

CI2CBus& CI2CDevice::Bus()
{
    if (!m_pBus)
        throw CERR(m_pLink ? 2 : 10, 0);
    return *m_pBus;
}

II2CTransfer& CI2CDevice::Link()
{
    if (!m_pLink)
        throw CERR(cerr::kNotInitialised, 0);
    return *m_pLink;
}

std::uint8_t CI2CDevice::ReadByte()
{
    std::uint8_t value = 0;
    Link().Read(m_address, &value, 1);
    return value;
}

void CI2CDevice::ReadBlock(std::uint8_t* buffer, int count)
{
    Link().Read(m_address, buffer, count);
}

void CI2CDevice::WriteByte(std::uint8_t value)
{
    Link().Write(m_address, &value, 1);
}

void CI2CDevice::WriteBlock(const std::uint8_t* buffer, int count)
{
    Link().Write(m_address, buffer, count);
}

void CI2CDevice::BeginRead()
{
    Bus().StartRead(m_address);
}

std::uint8_t CI2CDevice::ReadNext()
{
    return Bus().ReadNext();
}

std::uint8_t CI2CDevice::EndRead()
{
    return Bus().StopRead();
}

void CI2CDevice::BeginWrite()
{
    Bus().StartWrite(m_address);
}

void CI2CDevice::WriteNext(std::uint8_t value)
{
    Bus().WriteNext(value);
}

void CI2CDevice::EndWrite()
{
    Bus().StopWrite();
}

// ---- CI2CConverter -------------------------------------------------------

double CI2CConverter::ToPhysical(std::uint8_t raw) const
{
    return raw / 255.0 * m_fullScale;
}

// Truncated toward zero; values outside the int range saturate so that a
// meaningless input gives a meaningless byte, never undefined behaviour.
std::uint8_t CI2CConverter::ToRaw(double value) const
{
    const double scaled = std::trunc(value / m_fullScale * 255.0);
    long long raw = 0;
    if (scaled >= 2147483647.0)
        raw = 2147483647;
    else if (scaled <= -2147483648.0)
        raw = -2147483648LL;
    else if (scaled == scaled) // NaN stays 0
        raw = static_cast<long long>(scaled);
    return static_cast<std::uint8_t>(raw & 0xFF);
}

double CI2CConverter::ReadChannel(std::uint8_t input)
{
    if (input > 3)
        throw CERR(cerr::kGeneral, 0);
    WriteByte(static_cast<std::uint8_t>(m_control | input));
    std::uint8_t buffer[2] = {};
    ReadBlock(buffer, 2); // buffer[0]: the conversion before the control byte
    return ToPhysical(buffer[1]);
}

std::array<std::uint8_t, 4> CI2CConverter::ReadInputs()
{
    if (m_control & INPUT_MODE)
        throw CERR(cerr::kGeneral, 0);
    const std::uint8_t control = DAC_CONTROL | AUTO_INCREMENT;
    std::uint8_t buffer[5] = {}; // buffer[0]: the conversion before the control byte
    Link().WriteRead(m_address, &control, 1, buffer, 5);
    return {buffer[1], buffer[2], buffer[3], buffer[4]};
}

void CI2CConverter::WriteOutput(double value)
{
    const std::uint8_t raw = ToRaw(value);
    const std::uint8_t bytes[3] = {DAC_CONTROL, raw, raw};
    WriteBlock(bytes, 3);
}

double CI2CConverter::ReadContinuous()
{
    if (!m_bReading) {
        WriteByte(m_control);
        BeginRead();
        ReadNext(); // the controller's dummy read
        m_bReading = true;
    }
    return ToPhysical(ReadNext());
}

void CI2CConverter::StopReading()
{
    EndRead();
    m_bReading = false;
}

void CI2CConverter::WriteContinuous(double value)
{
    const std::uint8_t raw = ToRaw(value);
    if (!m_bWriting) {
        BeginWrite();
        WriteNext(DAC_CONTROL);
        WriteNext(raw);
        WriteNext(raw);
        m_bWriting = true;
    } else {
        WriteNext(raw);
    }
}

void CI2CConverter::StopWriting()
{
    EndWrite();
    m_bWriting = false;
}
