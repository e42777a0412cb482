#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The seam between CI2CAdapter and the kernel's /dev/i2c-N nodes: open,
// ioctl and close, plus the SMBus byte calls of the i2c-tools library for
// adapters without I2C_RDWR. The real nodes, the simulated adapter and the
// tests' fakes plug in here. Every call returns a result >= 0 or -errno.
class CI2CNode
{
public:
    virtual ~CI2CNode() = default;

    virtual int Open(const std::string& path) = 0; // a descriptor, or -errno
    virtual int Ioctl(int fd, unsigned long request, void* arg) = 0;
    virtual void Close(int fd) = 0;

    // On the device chosen with I2C_SLAVE.
    virtual int SmbusQuickWrite(int fd) = 0;
    virtual int SmbusReadByte(int fd) = 0; // the byte, or -errno
    virtual int SmbusWriteByte(int fd, std::uint8_t value) = 0;
    virtual int SmbusWriteByteData(int fd, std::uint8_t command, std::uint8_t value) = 0;
};

// The kernel's nodes of this machine.
CI2CNode& DefaultI2CNode();

struct I2CAdapterInfo
{
    int number = 0;   // N of /dev/i2c-N
    std::string name; // as the kernel names the adapter
};

// Every adapter the kernel lists under sysDir (/sys/class/i2c-dev), by number.
std::vector<I2CAdapterInfo> ListI2CAdapters(const std::string& sysDir = "/sys/class/i2c-dev");
