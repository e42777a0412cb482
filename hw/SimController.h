#pragma once

#include "hw/SimDevices.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

// A PCF8584-type I2C controller, single master, with the devices on its bus.
// S1 written: control (PIN, ES0, ES1, ES2, ENI, STA, STO, ACK); with ES0 = 0
// a read of S1 gives PIN and the control bits back, with ES0 = 1 the status
// (PIN, LRB, BB active low). S0 is the data register, or with ES0 = 0 the own
// address (ES1 = ES2 = 0), clock (ES1) or vector (ES2) register. Transfers
// finish at once: PIN clears without any wait.
//
// Received bytes arrive one read late, as on the chip: reading S0 returns the
// byte already received and starts the reception of the next one, which is
// acknowledged when the ACK control bit is set.
//
// The bus trace has one line per transfer: "S 90 42 P" is a START with
// address 0x90, data 0x42 and a STOP; a "*" marks a byte nobody acknowledged.
// It keeps only the latest lines (BusTraceLimit), so a simulation that polls
// for hours holds a fixed amount of memory.
class CSimController
{
public:
    void Reset();
    std::uint8_t ReadS1() const;
    void WriteS1(std::uint8_t control);
    std::uint8_t ReadS0();
    void WriteS0(std::uint8_t value);

    // Adds or replaces the device at an 8-bit address (bit 0 ignored).
    void Connect(std::uint8_t address, std::unique_ptr<CSimDevice> device);
    CSimDevice* DeviceAt(std::uint8_t address) const;
    // Takes the device off the bus (it stops answering its address); nullptr
    // when none is there. Call only between transfers.
    std::unique_ptr<CSimDevice> Disconnect(std::uint8_t address);

    std::uint8_t OwnAddress() const { return m_ownAddress; }
    std::uint8_t Clock() const { return m_clock; }

    // The latest finished transfers, then the open one if any.
    std::vector<std::string> BusTrace() const;
    void ClearBusTrace() { m_trace.clear(); }
    static constexpr std::size_t kDefaultTraceLimit = 1024;
    // How many finished transfers the trace keeps; 0 keeps none.
    void SetBusTraceLimit(std::size_t lines);
    std::size_t BusTraceLimit() const { return m_traceLimit; }

    // Every byte moved on the bus (address or data) takes this long; 0:
    // instant. Any thread.
    void SetByteTime(unsigned microseconds) { m_byteTimeUs = microseconds; }

private:
    enum class Mode
    {
        Idle,
        Transmit,
        Receive
    };

    bool SerialOn() const { return m_control & 0x40; }
    std::uint8_t& SetupRegister();
    void StartCondition();
    void StopCondition();
    void Log(std::uint8_t value, bool acknowledged);
    void TakeByteTime() const;
    void EndLine();

    std::map<std::uint8_t, std::unique_ptr<CSimDevice>> m_devices;
    std::uint8_t m_control = 0; // bits 6..0 as last written
    std::uint8_t m_s0 = 0;
    std::uint8_t m_ownAddress = 0;
    std::uint8_t m_clock = 0;
    std::uint8_t m_vector = 0;
    bool m_pin = true;
    bool m_lrb = false;
    bool m_busy = false;
    Mode m_mode = Mode::Idle;
    CSimDevice* m_slave = nullptr; // the addressed device while it takes part
    std::deque<std::string> m_trace;
    std::size_t m_traceLimit = kDefaultTraceLimit;
    std::atomic<unsigned> m_byteTimeUs{0};
    std::string m_line;
};
