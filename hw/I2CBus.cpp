#include "hw/I2CBus.h"

#include <iterator>

namespace {
constexpr std::uint8_t PIN = 0x80; // status: byte transfer in progress
constexpr std::uint8_t LRB = 0x08; // status: last received bit, 0 = acknowledged
constexpr std::uint8_t BB = 0x01;  // status: 1 = bus free (active low "busy")
constexpr int MAX_WAIT_READS = 1000;

bool IsPortNumber(std::uint16_t port)
{
    return PortBase(port) != 0;
}
} // namespace

const char* CERR::GetText() const
{
    static const char* const texts[] = {
        "transfer ended No Errors", "transfer busy",           "general error",
        "No data in block",         "No ack on data",          "No ack on address",
        "Device not present",       "Arbitration lost",        "Time out occurred",
        "Slave mode error",         "Initialization not done", "No I2C-Controller found",
        "No acknowledgement",       "EPP-Port in use",
    };
    if (m_number < 0 || m_number >= static_cast<std::int32_t>(std::size(texts)))
        return "err: Unknown";
    return texts[m_number];
}

CI2CBus::CI2CBus() : m_backend(&DefaultPortBackend()) {}

CI2CBus::CI2CBus(CPortBackend& backend) : m_backend(&backend) {}

// ---- Port access ---------------------------------------------------------

PortHandle CI2CBus::ClaimPort(std::uint16_t port)
{
    return IsPortNumber(port) ? m_backend->Claim(port) : INVALID_PORT_HANDLE;
}

void CI2CBus::OpenPort(std::uint16_t port)
{
    // A failed claim keeps the handle the object may already hold, so a
    // second OpenPort on an open object cannot lose its own claim.
    const PortHandle handle = ClaimPort(port);
    if (handle == INVALID_PORT_HANDLE)
        throw CERR(cerr::kPortUnavailable, 0);
    m_hPort = handle;
    m_port = PortBase(port);

    // Pulse the active-low initialise line, then clear the status register.
    WriteRegister(2, 0x00);
    m_backend->Pause(1);
    WriteRegister(2, 0x04);
    WriteRegister(1, 0x00);
}

bool CI2CBus::TestPort(std::uint16_t port)
{
    // Uses a handle of its own: testing never loses a port this object holds.
    const PortHandle handle = ClaimPort(port);
    if (handle == INVALID_PORT_HANDLE)
        return false;
    m_backend->Release(handle);
    return true;
}

void CI2CBus::ClosePort()
{
    m_backend->Release(m_hPort);
    m_hPort = INVALID_PORT_HANDLE;
}

std::uint8_t CI2CBus::ReadRegister(int offset)
{
    return m_backend->Read(static_cast<std::uint16_t>(m_port + offset));
}

void CI2CBus::WriteRegister(int offset, std::uint8_t value)
{
    m_backend->Write(static_cast<std::uint16_t>(m_port + offset), value);
}

// ---- Controller registers and waits --------------------------------------

void CI2CBus::WriteRegisterPair(std::uint8_t control, std::uint8_t data)
{
    WriteControl(control);
    WriteData(data);
}

std::uint8_t CI2CBus::WriteControlReadData(std::uint8_t control)
{
    WriteControl(control);
    return ReadData();
}

// Reads the status until (status & mask) != whileValue, at most 1001 times
// and without pausing; returns the last status read.
std::uint8_t CI2CBus::WaitWhile(std::uint8_t mask, std::uint8_t whileValue)
{
    std::uint8_t status = 0;
    int reads = 0;
    do {
        status = ReadStatus();
        ++reads;
    } while (reads <= MAX_WAIT_READS && (status & mask) == whileValue);
    return status;
}

bool CI2CBus::WaitForTransfer()
{
    const std::uint8_t status = WaitWhile(PIN, PIN);
    if (status & PIN) {
        Stop();
        throw CERR(cerr::kTimeout, 0);
    }
    return (status & LRB) == 0;
}

void CI2CBus::WaitForBusFree()
{
    const std::uint8_t status = WaitWhile(BB, 0);
    if (!(status & BB)) {
        Stop();
        throw CERR(cerr::kBusy, 0);
    }
}

// ---- Controller set-up ---------------------------------------------------

void CI2CBus::Init(std::uint16_t port)
{
    OpenPort(port);
    WriteControl(0x00);
    if (ReadStatus() != 0x80)
        throw CERR(cerr::kNoController, 0);
    for (int i = 0; i < 30; ++i)
        Stop();
    WriteRegisterPair(0x80, 0x55); // own address S0'
    WriteRegisterPair(0xA0, 0x18); // clock register S2
    WriteControl(0x40);            // serial interface on
    m_backend->Pause(10);
    m_bInitialized = 1;
}

bool CI2CBus::Detect(std::uint16_t port)
{
    try {
        OpenPort(port);
    } catch (const CERR&) {
        return false;
    }
    WriteControl(0x00);
    const bool present = ReadStatus() == 0x80;
    ClosePort();
    return present;
}

void CI2CBus::Shutdown()
{
    for (int i = 0; i < 30; ++i)
        Stop();
    m_bInitialized = 0;
    ClosePort();
}

// ---- Transfers -----------------------------------------------------------

void CI2CBus::ScanBus(std::span<std::uint8_t, 128> present)
{
    if (!m_bInitialized)
        throw CERR(cerr::kNotInitialised, 0);
    for (int a = 0; a < 128; ++a) {
        WaitForBusFree();
        WriteData(static_cast<std::uint8_t>(a * 2));
        Start();
        present[a] = WaitForTransfer() ? 1 : 0;
        Stop();
    }
}

void CI2CBus::StartRead(std::uint8_t address)
{
    WriteData(address | 0x01);
    WaitForBusFree();
    Start();
    if (!WaitForTransfer()) {
        Stop();
        ReadData();
        throw CERR(cerr::kNoAckOnAddress, address);
    }
}

std::uint8_t CI2CBus::ReadNext()
{
    const std::uint8_t value = ReadData(); // also starts the next reception
    if (!WaitForTransfer()) {
        Stop();
        ReadData();
        throw CERR(cerr::kNoAckOnData, 0);
    }
    return value;
}

std::uint8_t CI2CBus::StopRead()
{
    Stop();
    return ReadData();
}

void CI2CBus::StartWrite(std::uint8_t address)
{
    if (!m_bInitialized)
        throw CERR(cerr::kNotInitialised, 0);
    WaitForBusFree();
    WriteData(address);
    Start();
    if (!WaitForTransfer()) {
        Stop();
        throw CERR(cerr::kNoAckOnAddress, address);
    }
}

void CI2CBus::WriteNext(std::uint8_t value)
{
    WriteData(value);
    if (!WaitForTransfer()) {
        Stop();
        throw CERR(cerr::kNoAckOnData, 0);
    }
}

// The controller delivers each byte one read late: the first read after the
// address is a dummy that starts the first reception, and acknowledge is
// switched off before the read that starts the reception of the last byte.
void CI2CBus::ReadBlock(std::uint8_t address, std::uint8_t* buffer, int count)
{
    if (!m_bInitialized)
        throw CERR(cerr::kNotInitialised, 0);
    if (count < 1)
        throw CERR(cerr::kNoData, 0); // would otherwise store before the buffer
    StartRead(address);
    int i = 0;
    for (; i < count - 1; ++i) {
        const std::uint8_t value = ReadData();
        if (i > 0)
            buffer[i - 1] = value;
        if (!WaitForTransfer()) {
            Stop();
            ReadData();
            throw CERR(cerr::kNoAckOnData, address);
        }
    }
    WriteControl(0x40); // no acknowledge for the last byte
    const std::uint8_t value = ReadData();
    if (i > 0)
        buffer[i - 1] = value;
    WaitForTransfer();
    Stop();
    buffer[count - 1] = ReadData();
}

void CI2CBus::WriteBlock(std::uint8_t address, const std::uint8_t* buffer, int count)
{
    StartWrite(address);
    for (int i = 0; i < count; ++i)
        WriteNext(buffer[i]);
    StopWrite();
}

// ---- messages ------------------------------------------------------------

void CI2CBus::Write(std::uint8_t address, const std::uint8_t* data, int count)
{
    WriteBlock(address, data, count);
}

void CI2CBus::Read(std::uint8_t address, std::uint8_t* data, int count)
{
    ReadBlock(address, data, count);
}

// The block operations end with STOP, so the read is a transfer of its own;
// the converters and port devices need no repeated start.
void CI2CBus::WriteRead(std::uint8_t address, const std::uint8_t* out, int outCount,
                        std::uint8_t* in, int inCount)
{
    if (inCount < 1)
        throw CERR(cerr::kNoData, 0); // refused before anything is sent
    WriteBlock(address, out, outCount);
    ReadBlock(address, in, inCount);
}

// One address as ScanBus tries it: START with the write address, STOP.
bool CI2CBus::Probe(std::uint8_t address)
{
    if (!m_bInitialized)
        throw CERR(cerr::kNotInitialised, 0);
    WaitForBusFree();
    WriteData(std::uint8_t(address & 0xFE));
    Start();
    const bool acknowledged = WaitForTransfer();
    Stop();
    return acknowledged;
}
