#include "hw/SimI2CNode.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>

static_assert(CSimI2CNode::kI2CFunctions == (I2C_FUNC_I2C | I2C_FUNC_SMBUS_EMUL));
static_assert(CSimI2CNode::kSmbusFunctions ==
              (I2C_FUNC_SMBUS_QUICK | I2C_FUNC_SMBUS_BYTE | I2C_FUNC_SMBUS_BYTE_DATA));

namespace {
std::string Byte(std::uint8_t value, bool acknowledged = true)
{
    char text[8];
    std::snprintf(text, sizeof text, " %02X%s", value, acknowledged ? "" : "*");
    return text;
}
} // namespace

CSimI2CNode::CSimI2CNode(CSimController& bus, std::string path)
    : m_bus(bus), m_path(std::move(path))
{
}

void CSimI2CNode::SetPlugged(bool plugged)
{
    if (!plugged && m_plugged)
        ++m_generation;
    m_plugged = plugged;
}

void CSimI2CNode::FailNext(int error, int count)
{
    std::lock_guard lock(m_mutex);
    m_failErrno = error;
    m_failCount = count;
}

std::vector<std::string> CSimI2CNode::Trace() const
{
    std::lock_guard lock(m_mutex);
    return m_trace;
}

void CSimI2CNode::ClearTrace()
{
    std::lock_guard lock(m_mutex);
    m_trace.clear();
}

int CSimI2CNode::OpenDescriptors() const
{
    std::lock_guard lock(m_mutex);
    return int(m_open.size());
}

void CSimI2CNode::Record(const std::string& line)
{
    std::lock_guard lock(m_mutex);
    if (m_trace.size() >= CSimController::kDefaultTraceLimit)
        m_trace.erase(m_trace.begin());
    m_trace.push_back(line);
}

int CSimI2CNode::Open(const std::string& path)
{
    if (path != m_path || !m_plugged)
        return -ENOENT;
    std::lock_guard lock(m_mutex);
    m_open.push_back({m_nextFd, m_generation});
    return m_nextFd++;
}

void CSimI2CNode::Close(int fd)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_open, [fd](const Descriptor& d) { return d.fd == fd; });
}

int CSimI2CNode::Check(int fd, Descriptor*& descriptor)
{
    std::lock_guard lock(m_mutex);
    const auto it = std::find_if(m_open.begin(), m_open.end(),
                                 [fd](const Descriptor& d) { return d.fd == fd; });
    if (it == m_open.end())
        return -EBADF;
    descriptor = &*it;
    if (m_notAdapter)
        return -ENOTTY;
    if (!m_plugged || it->generation != m_generation)
        return -ENODEV;
    return 0;
}

int CSimI2CNode::Injected()
{
    std::lock_guard lock(m_mutex);
    if (m_failCount <= 0)
        return 0;
    --m_failCount;
    return -m_failErrno;
}

// One message to one device; -ENXIO when nobody answers the address,
// -EREMOTEIO when a written byte is not acknowledged.
int CSimI2CNode::Message(std::uint8_t address7, bool read, std::uint8_t* data, int count,
                         std::string& line)
{
    const auto address = std::uint8_t(address7 << 1 | (read ? 1 : 0));
    CSimDevice* device = m_bus.DeviceAt(address);
    line += read ? "R" : "W";
    line += Byte(address, device != nullptr) + ":";
    if (!device)
        return -ENXIO;
    device->Start(read);
    for (int i = 0; i < count; ++i) {
        if (read) {
            data[i] = device->Transmit();
            line += Byte(data[i]);
        } else {
            const bool acknowledged = device->Receive(data[i]);
            line += Byte(data[i], acknowledged);
            if (!acknowledged)
                return -EREMOTEIO;
        }
    }
    return 0;
}

int CSimI2CNode::Ioctl(int fd, unsigned long request, void* arg)
{
    Descriptor* descriptor = nullptr;
    if (const int error = Check(fd, descriptor))
        return error;
    switch (request) {
    case I2C_FUNCS:
        *static_cast<unsigned long*>(arg) = m_functions;
        return 0;
    case I2C_SLAVE: {
        const auto address = reinterpret_cast<std::uintptr_t>(arg);
        if (address > 0x7F)
            return -EINVAL;
        std::lock_guard lock(m_mutex);
        descriptor->address7 = std::uint8_t(address);
        return 0;
    }
    case I2C_RDWR: {
        if (!(m_functions & I2C_FUNC_I2C))
            return -EOPNOTSUPP;
        if (const int error = Injected())
            return error;
        const auto* list = static_cast<i2c_rdwr_ioctl_data*>(arg);
        if (list->nmsgs == 0 || list->nmsgs > I2C_RDWR_IOCTL_MAX_MSGS)
            return -EINVAL;
        std::string line;
        for (std::uint32_t i = 0; i < list->nmsgs; ++i) {
            const i2c_msg& m = list->msgs[i];
            if (i > 0)
                line += " | ";
            const int error = Message(std::uint8_t(m.addr), m.flags & I2C_M_RD, m.buf, m.len, line);
            if (error) {
                Record(line);
                return error;
            }
        }
        Record(line);
        return int(list->nmsgs);
    }
    default:
        return -ENOTTY;
    }
}

// The SMBus calls of the i2c-tools library, on the address set by I2C_SLAVE.
int CSimI2CNode::Smbus(int fd, unsigned long function, bool read, std::uint8_t* data, int count)
{
    Descriptor* descriptor = nullptr;
    if (const int error = Check(fd, descriptor))
        return error;
    if (!(m_functions & function))
        return -EOPNOTSUPP;
    if (const int error = Injected())
        return error;
    std::string line = "smbus ";
    const int result = Message(descriptor->address7, read, data, count, line);
    Record(line);
    return result;
}

int CSimI2CNode::SmbusQuickWrite(int fd)
{
    return Smbus(fd, I2C_FUNC_SMBUS_QUICK, false, nullptr, 0);
}

int CSimI2CNode::SmbusReadByte(int fd)
{
    std::uint8_t byte = 0;
    const int result = Smbus(fd, I2C_FUNC_SMBUS_READ_BYTE, true, &byte, 1);
    return result < 0 ? result : byte;
}

int CSimI2CNode::SmbusWriteByte(int fd, std::uint8_t value)
{
    return Smbus(fd, I2C_FUNC_SMBUS_WRITE_BYTE, false, &value, 1);
}

int CSimI2CNode::SmbusWriteByteData(int fd, std::uint8_t command, std::uint8_t value)
{
    std::uint8_t bytes[2] = {command, value};
    return Smbus(fd, I2C_FUNC_SMBUS_WRITE_BYTE_DATA, false, bytes, 2);
}
