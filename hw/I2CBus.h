#pragma once

#include "hw/I2CTransfer.h"
#include "hw/PortBackend.h"

#include <cstdint>
#include <span>

// The exception of the hardware layer: an error number and a detail value
// (the 8-bit device address for address and block-read errors, otherwise 0).
// The bus error numbers, as users read them in messages ("Fehler 13");
// CERR::GetText names each.
namespace cerr {
enum : std::int32_t {
    kNoError = 0,
    kBusy = 1,
    kGeneral = 2,
    kNoData = 3,
    kNoAckOnData = 4,
    kNoAckOnAddress = 5,
    kNotPresent = 6,
    kArbitrationLost = 7,
    kTimeout = 8,
    kSlaveMode = 9,
    kNotInitialised = 10,
    kNoController = 11,
    kNoAck = 12,
    kPortUnavailable = 13, // port or adapter missing, held elsewhere or refused
};
} // namespace cerr

class CERR
{
public:
    CERR(std::int32_t number, std::int32_t detail) : m_number(number), m_detail(detail) {}

    std::int32_t GetNumber() const { return m_number; }
    std::int32_t GetDetail() const { return m_detail; }
    const char* GetText() const;

private:
    std::int32_t m_number;
    std::int32_t m_detail;
};

// One parallel port with the PCF8584 I2C controller behind it. The lower half
// claims the port and reaches its registers; the upper half drives the
// controller through S1 (offset 3, EPP address cycles) and S0 (offset 4, EPP
// data cycles). Addresses are in 8-bit form (7-bit address << 1).
class CI2CBus : public II2CTransfer
{
public:
    CI2CBus(); // on the real ports of this machine
    explicit CI2CBus(CPortBackend& backend);
    CI2CBus(const CI2CBus&) = delete;
    CI2CBus& operator=(const CI2CBus&) = delete;

    // Port access.
    void OpenPort(std::uint16_t port);
    bool TestPort(std::uint16_t port);
    void ClosePort();
    std::uint8_t ReadRegister(int offset);
    void WriteRegister(int offset, std::uint8_t value);

    // Controller registers.
    std::uint8_t ReadStatus() { return ReadRegister(3); }
    void WriteControl(std::uint8_t value) { WriteRegister(3, value); }
    std::uint8_t ReadData() { return ReadRegister(4); }
    void WriteData(std::uint8_t value) { WriteRegister(4, value); }
    void WriteRegisterPair(std::uint8_t control, std::uint8_t data);
    std::uint8_t WriteControlReadData(std::uint8_t control);
    void Start() { WriteControl(0xC5); }
    void Stop() { WriteControl(0xC3); }
    bool WaitForTransfer();
    void WaitForBusFree();

    // Controller set-up.
    void Init(std::uint16_t port);
    bool Detect(std::uint16_t port);
    void Shutdown();

    // Transfers.
    void ScanBus(std::span<std::uint8_t, 128> present);
    void StartRead(std::uint8_t address);
    std::uint8_t ReadNext();
    std::uint8_t StopRead();
    void StartWrite(std::uint8_t address);
    void WriteNext(std::uint8_t value);
    void StopWrite() { Stop(); }
    void ReadBlock(std::uint8_t address, std::uint8_t* buffer, int count);
    void WriteBlock(std::uint8_t address, const std::uint8_t* buffer, int count);

    // Messages for the devices, made of the transfers above.
    void Write(std::uint8_t address, const std::uint8_t* data, int count) override;
    void Read(std::uint8_t address, std::uint8_t* data, int count) override;
    void WriteRead(std::uint8_t address, const std::uint8_t* out, int outCount, std::uint8_t* in,
                   int inCount) override;
    bool Probe(std::uint8_t address) override;

    std::uint16_t m_port = 0;
    PortHandle m_hPort = INVALID_PORT_HANDLE;
    std::int32_t m_bInitialized = 0;

private:
    PortHandle ClaimPort(std::uint16_t port);
    std::uint8_t WaitWhile(std::uint8_t mask, std::uint8_t whileValue);

    CPortBackend* m_backend;
};
