#pragma once

#include "hw/I2CBus.h"
#include "hw/I2CNode.h"
#include "hw/I2CTransfer.h"

#include <cstdint>
#include <string>

// An I2C adapter of the Linux kernel (/dev/i2c-N): a Raspberry Pi's pins, a
// USB-I2C adapter. Transfers go out as I2C_RDWR message lists; an adapter
// that offers only SMBus gets the i2c-tools byte calls instead. Failures
// become the program's error numbers: no acknowledge 5 (with the address),
// time-out 8, busy bus or lost arbitration 1, a node that is missing, refused
// or no adapter 13, anything else 2. Every transfer is bounded by the
// kernel's time-out for the adapter.
//
// A node that goes away (a USB adapter unplugged) is closed at its first
// failed transfer and opened again, same path, at the next one, so reading
// resumes when it comes back.
class CI2CAdapter : public II2CTransfer
{
public:
    CI2CAdapter(); // on the kernel's nodes
    explicit CI2CAdapter(CI2CNode& node);
    ~CI2CAdapter();
    CI2CAdapter(const CI2CAdapter&) = delete;
    CI2CAdapter& operator=(const CI2CAdapter&) = delete;

    static std::string NodePath(int number); // "/dev/i2c-N"

    // Opens the node and checks that it is an adapter that can carry the
    // devices' messages; CERR 13 otherwise.
    void Open(const std::string& path);
    void Open(int number) { Open(NodePath(number)); }
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    const std::string& Path() const { return m_path; }

    // The adapter's I2C_FUNCS mask, as last read.
    unsigned long Functions() const { return m_functions; }
    // I2C_RDWR with combined messages; false: SMBus byte calls only.
    bool Combined() const;
    // The errno of the last failure (0: none), for messages.
    int LastErrno() const { return m_lastErrno; }
    // Calls that went to the kernel for transfers (I2C_RDWR or SMBus calls).
    long TransferCalls() const { return m_calls; }

    void Write(std::uint8_t address, const std::uint8_t* data, int count) override;
    void Read(std::uint8_t address, std::uint8_t* data, int count) override;
    void WriteRead(std::uint8_t address, const std::uint8_t* out, int outCount, std::uint8_t* in,
                   int inCount) override;
    // As i2cdetect probes by default: a read in the ranges where a write
    // could change a device (0x30-0x37 and 0x50-0x5F in 7-bit form, EEPROMs
    // and the like), a quick write elsewhere.
    bool Probe(std::uint8_t address) override;

    // The error a failed call with -result gives.
    static CERR ErrorFor(int result, std::uint8_t address);

private:
    struct Message
    {
        bool read;
        std::uint8_t* data;
        int count;
    };
    void EnsureOpen();
    void Transfer(std::uint8_t address, const Message* messages, int count);
    void TransferSmbus(std::uint8_t address, const Message& message);
    [[noreturn]] void Fail(int result, std::uint8_t address);

    CI2CNode& m_node;
    std::string m_path;
    int m_fd = -1;
    unsigned long m_functions = 0;
    int m_lastErrno = 0;
    long m_calls = 0;
};
