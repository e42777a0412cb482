#pragma once

#include "hw/I2CNode.h"
#include "hw/SimController.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// A simulated kernel adapter (/dev/i2c-N) on the devices of a simulated
// bus: answers I2C_FUNCS, I2C_RDWR, I2C_SLAVE and the SMBus byte calls, and
// records every message list, one line per call to the kernel:
// "W 90: 44 | R 91: 80 00 80 FF 40" (8-bit addresses; a "*" marks a byte or
// address nobody acknowledged). The user thread may unplug it or make the
// next transfers fail; the thread that transfers sees it at its next call.
class CSimI2CNode : public CI2CNode
{
public:
    // The devices are those of bus (not owned); the node answers at path.
    CSimI2CNode(CSimController& bus, std::string path);

    static constexpr unsigned long kI2CFunctions = 0x0EFF0009;   // I2C_FUNC_I2C | SMBUS_EMUL
    static constexpr unsigned long kSmbusFunctions = 0x001F0000; // quick, byte, byte data
    void SetFunctions(unsigned long functions) { m_functions = functions; }
    // Unplugged: the node is gone, descriptors opened before fail with ENODEV
    // even after it comes back.
    void SetPlugged(bool plugged);
    // The next count transfers fail with errno error.
    void FailNext(int error, int count = 1);
    // Makes the path something that is no adapter: ioctl answers ENOTTY.
    void SetNotAnAdapter(bool notAdapter) { m_notAdapter = notAdapter; }

    std::vector<std::string> Trace() const;
    void ClearTrace();
    int OpenDescriptors() const;

    int Open(const std::string& path) override;
    int Ioctl(int fd, unsigned long request, void* arg) override;
    void Close(int fd) override;
    int SmbusQuickWrite(int fd) override;
    int SmbusReadByte(int fd) override;
    int SmbusWriteByte(int fd, std::uint8_t value) override;
    int SmbusWriteByteData(int fd, std::uint8_t command, std::uint8_t value) override;

private:
    struct Descriptor
    {
        int fd;
        unsigned generation;
        std::uint8_t address7 = 0; // I2C_SLAVE
    };
    // 0 when the call may go on, else -errno.
    int Check(int fd, Descriptor*& descriptor);
    int Injected();
    int Message(std::uint8_t address7, bool read, std::uint8_t* data, int count, std::string& line);
    void Record(const std::string& line);
    int Smbus(int fd, unsigned long function, bool read, std::uint8_t* data, int count);

    CSimController& m_bus;
    const std::string m_path;
    std::atomic<unsigned long> m_functions{kI2CFunctions};
    std::atomic<bool> m_notAdapter{false};
    std::atomic<unsigned> m_generation{0}; // raised at every unplug
    std::atomic<bool> m_plugged{true};
    mutable std::mutex m_mutex;
    int m_failErrno = 0;
    int m_failCount = 0;
    int m_nextFd = 3;
    std::vector<Descriptor> m_open;
    std::vector<std::string> m_trace;
};
