#include "hw/SimController.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace {
constexpr std::uint8_t ES0 = 0x40, ES1 = 0x20, ES2 = 0x10, STA = 0x04, STO = 0x02, ACK = 0x01;
}

void CSimController::Reset()
{
    if (!m_line.empty()) {
        m_line += " (reset)";
        EndLine();
    }
    m_control = m_s0 = m_ownAddress = m_clock = m_vector = 0;
    m_pin = true;
    m_lrb = m_busy = false;
    m_mode = Mode::Idle;
    m_slave = nullptr;
}

std::uint8_t CSimController::ReadS1() const
{
    const std::uint8_t pin = m_pin ? 0x80 : 0x00;
    if (!SerialOn())
        return pin | m_control;
    return pin | (m_lrb ? 0x08 : 0x00) | (m_busy ? 0x00 : 0x01);
}

void CSimController::WriteS1(std::uint8_t control)
{
    m_control = control & 0x7F;
    const bool pinWritten = control & 0x80;
    if (!SerialOn()) {
        if (pinWritten) { // resets the status of the serial interface
            m_pin = true;
            m_lrb = false;
        }
        return;
    }
    const std::uint8_t condition = control & (STA | STO);
    if (condition == STA)
        StartCondition();
    else if (condition == STO)
        StopCondition();
}

std::uint8_t& CSimController::SetupRegister()
{
    if (m_control & ES1)
        return m_clock;
    if (m_control & ES2)
        return m_vector;
    return m_ownAddress;
}

std::uint8_t CSimController::ReadS0()
{
    if (!SerialOn())
        return SetupRegister();
    const std::uint8_t value = m_s0;
    if (m_mode == Mode::Receive) {
        const bool acknowledge = m_control & ACK;
        TakeByteTime();
        m_s0 = m_slave ? m_slave->Transmit() : 0xFF;
        Log(m_s0, acknowledge);
        if (!acknowledge)
            m_slave = nullptr; // a slave stops sending after a missing acknowledge
        m_lrb = !acknowledge;
        m_pin = false;
    }
    return value;
}

void CSimController::WriteS0(std::uint8_t value)
{
    if (!SerialOn()) {
        SetupRegister() = value;
        return;
    }
    m_s0 = value;
    if (m_mode == Mode::Transmit) {
        TakeByteTime();
        const bool acknowledged = m_slave && m_slave->Receive(value);
        Log(value, acknowledged);
        m_lrb = !acknowledged;
        m_pin = false;
    }
}

void CSimController::StartCondition()
{
    if (m_mode != Mode::Idle)
        EndLine(); // repeated START
    const bool read = m_s0 & 0x01;
    TakeByteTime();
    m_slave = DeviceAt(m_s0);
    if (m_slave)
        m_slave->Start(read);
    m_line.assign(1, 'S'); // not = "S": a false -Wrestrict of GCC 12
    Log(m_s0, m_slave != nullptr);
    m_mode = read ? Mode::Receive : Mode::Transmit;
    m_lrb = m_slave == nullptr;
    m_busy = true;
    m_pin = false;
}

void CSimController::StopCondition()
{
    if (m_mode != Mode::Idle) {
        m_line += " P";
        EndLine();
    }
    m_mode = Mode::Idle;
    m_slave = nullptr;
    m_busy = false;
    m_pin = true;
}

void CSimController::Log(std::uint8_t value, bool acknowledged)
{
    char text[8];
    std::snprintf(text, sizeof text, " %02X%s", value, acknowledged ? "" : "*");
    m_line += text;
}

// A sleep wakes late by the timer slack (some 50 us on Linux), so short
// byte times are spun out instead.
void CSimController::TakeByteTime() const
{
    const unsigned us = m_byteTimeUs;
    if (us == 0)
        return;
    const auto time = std::chrono::microseconds(us);
    if (time >= std::chrono::microseconds(50)) {
        std::this_thread::sleep_for(time);
        return;
    }
    const auto end = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < end) {
    }
}

void CSimController::EndLine()
{
    if (m_traceLimit > 0) {
        if (m_trace.size() >= m_traceLimit)
            m_trace.pop_front();
        m_trace.push_back(m_line);
    }
    m_line.clear();
}

void CSimController::SetBusTraceLimit(std::size_t lines)
{
    m_traceLimit = lines;
    while (m_trace.size() > m_traceLimit)
        m_trace.pop_front();
}

void CSimController::Connect(std::uint8_t address, std::unique_ptr<CSimDevice> device)
{
    m_devices[address & 0xFE] = std::move(device);
}

std::unique_ptr<CSimDevice> CSimController::Disconnect(std::uint8_t address)
{
    const auto device = m_devices.find(address & 0xFE);
    if (device == m_devices.end())
        return nullptr;
    std::unique_ptr<CSimDevice> taken = std::move(device->second);
    m_devices.erase(device);
    return taken;
}

CSimDevice* CSimController::DeviceAt(std::uint8_t address) const
{
    const auto device = m_devices.find(address & 0xFE);
    return device != m_devices.end() ? device->second.get() : nullptr;
}

std::vector<std::string> CSimController::BusTrace() const
{
    std::vector<std::string> trace(m_trace.begin(), m_trace.end());
    if (!m_line.empty())
        trace.push_back(m_line);
    return trace;
}
