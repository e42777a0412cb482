#include "hw/I2CAdapter.h"

#include <cerrno>
#include <cstdint>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>

namespace {
constexpr unsigned long SMBUS_BYTES = I2C_FUNC_SMBUS_READ_BYTE | I2C_FUNC_SMBUS_WRITE_BYTE;

// i2cdetect reads rather than writes here: a quick write can change the
// state of some EEPROMs and sensors at these addresses.
bool ReadToProbe(std::uint8_t address7)
{
    return (address7 >= 0x30 && address7 <= 0x37) || (address7 >= 0x50 && address7 <= 0x5F);
}
} // namespace

CI2CAdapter::CI2CAdapter() : m_node(DefaultI2CNode()) {}

CI2CAdapter::CI2CAdapter(CI2CNode& node) : m_node(node) {}

CI2CAdapter::~CI2CAdapter()
{
    Close();
}

std::string CI2CAdapter::NodePath(int number)
{
    return "/dev/i2c-" + std::to_string(number);
}

bool CI2CAdapter::Combined() const
{
    return (m_functions & I2C_FUNC_I2C) != 0;
}

CERR CI2CAdapter::ErrorFor(int result, std::uint8_t address)
{
    switch (-result) {
    case ENXIO:
    case EREMOTEIO:
        return CERR(cerr::kNoAckOnAddress, address);
    case ETIMEDOUT:
        return CERR(cerr::kTimeout, 0);
    case EBUSY:
    case EAGAIN:
        return CERR(cerr::kBusy, 0);
    case ENOENT:
    case EACCES:
    case EPERM:
    case ENOTTY:
    case ENODEV:
    case ESHUTDOWN:
        return CERR(cerr::kPortUnavailable, 0);
    default:
        return CERR(cerr::kGeneral, 0);
    }
}

void CI2CAdapter::Open(const std::string& path)
{
    Close();
    m_path = path;
    m_functions = 0;
    const int fd = m_node.Open(path);
    if (fd < 0) {
        m_lastErrno = -fd;
        throw CERR(cerr::kPortUnavailable, 0);
    }
    unsigned long functions = 0;
    const int result = m_node.Ioctl(fd, I2C_FUNCS, &functions);
    // A regular file or a terminal answers ENOTTY; an adapter that can carry
    // neither messages nor byte calls is no use either.
    if (result < 0 || !((functions & I2C_FUNC_I2C) || (functions & SMBUS_BYTES) == SMBUS_BYTES)) {
        m_node.Close(fd);
        m_lastErrno = result < 0 ? -result : EOPNOTSUPP;
        throw CERR(cerr::kPortUnavailable, 0);
    }
    m_fd = fd;
    m_functions = functions;
    m_lastErrno = 0;
}

void CI2CAdapter::Close()
{
    if (m_fd >= 0)
        m_node.Close(m_fd);
    m_fd = -1;
}

void CI2CAdapter::EnsureOpen()
{
    if (m_fd >= 0)
        return;
    if (m_path.empty())
        throw CERR(cerr::kNotInitialised, 0);
    Open(m_path); // the node came back, or still throws 13
}

void CI2CAdapter::Fail(int result, std::uint8_t address)
{
    m_lastErrno = -result;
    const CERR error = ErrorFor(result, address);
    const int number = error.GetNumber();
    // Anything but the bus's own answers may mean the node went away: the
    // next transfer opens it again.
    if (number != 5 && number != 8 && number != 1)
        Close();
    throw error;
}

void CI2CAdapter::Write(std::uint8_t address, const std::uint8_t* data, int count)
{
    if (count < 0)
        throw CERR(cerr::kNoData, 0);
    const Message message{false, const_cast<std::uint8_t*>(data), count};
    Transfer(address, &message, 1);
}

void CI2CAdapter::Read(std::uint8_t address, std::uint8_t* data, int count)
{
    if (count < 1)
        throw CERR(cerr::kNoData, 0);
    const Message message{true, data, count};
    Transfer(address, &message, 1);
}

void CI2CAdapter::WriteRead(std::uint8_t address, const std::uint8_t* out, int outCount,
                            std::uint8_t* in, int inCount)
{
    if (outCount < 0 || inCount < 1)
        throw CERR(cerr::kNoData, 0);
    const Message messages[2] = {{false, const_cast<std::uint8_t*>(out), outCount},
                                 {true, in, inCount}};
    Transfer(address, messages, 2);
}

// The kernel's messages never write to a buffer of a write message, so the
// const_casts above only satisfy struct i2c_msg.
void CI2CAdapter::Transfer(std::uint8_t address, const Message* messages, int count)
{
    EnsureOpen();
    if (!Combined()) {
        for (int i = 0; i < count; ++i)
            TransferSmbus(address, messages[i]);
        return;
    }
    i2c_msg msgs[2] = {};
    for (int i = 0; i < count; ++i) {
        msgs[i].addr = std::uint16_t(address >> 1);
        msgs[i].flags = messages[i].read ? I2C_M_RD : 0;
        msgs[i].len = std::uint16_t(messages[i].count);
        msgs[i].buf = messages[i].data;
    }
    i2c_rdwr_ioctl_data list{msgs, std::uint32_t(count)};
    ++m_calls;
    const int result = m_node.Ioctl(m_fd, I2C_RDWR, &list);
    if (result < 0)
        Fail(result, address);
}

// SMBus has no repeated start and no long messages: each byte read is a
// transfer of its own. The converters and port devices give the same bytes
// either way (a converter steps its conversion at every byte it sends).
void CI2CAdapter::TransferSmbus(std::uint8_t address, const Message& message)
{
    const auto need = [this](unsigned long function) {
        if (!(m_functions & function)) {
            m_lastErrno = EOPNOTSUPP;
            throw CERR(cerr::kGeneral, 0);
        }
    };
    if (message.read)
        need(I2C_FUNC_SMBUS_READ_BYTE);
    else if (message.count == 0)
        need(I2C_FUNC_SMBUS_QUICK);
    else if (message.count == 1)
        need(I2C_FUNC_SMBUS_WRITE_BYTE);
    else if (message.count == 2)
        need(I2C_FUNC_SMBUS_WRITE_BYTE_DATA);
    else
        need(0); // longer writes have no byte call

    int result =
        m_node.Ioctl(m_fd, I2C_SLAVE, reinterpret_cast<void*>(std::uintptr_t(address >> 1)));
    if (result < 0)
        Fail(result, address);
    const std::uint8_t* data = message.data;
    if (message.read) {
        for (int i = 0; i < message.count; ++i) {
            ++m_calls;
            result = m_node.SmbusReadByte(m_fd);
            if (result < 0)
                Fail(result, address);
            message.data[i] = std::uint8_t(result);
        }
        return;
    }
    ++m_calls;
    if (message.count == 0)
        result = m_node.SmbusQuickWrite(m_fd);
    else if (message.count == 1)
        result = m_node.SmbusWriteByte(m_fd, data[0]);
    else
        result = m_node.SmbusWriteByteData(m_fd, data[0], data[1]);
    if (result < 0)
        Fail(result, address);
}

bool CI2CAdapter::Probe(std::uint8_t address)
{
    const auto address7 = std::uint8_t(address >> 1);
    EnsureOpen();
    const bool read = ReadToProbe(address7) || !(m_functions & I2C_FUNC_SMBUS_QUICK);
    std::uint8_t byte = 0;
    try {
        if (read)
            Read(address, &byte, 1);
        else
            Write(address, nullptr, 0);
    } catch (const CERR& e) {
        if (e.GetNumber() == cerr::kNoAckOnAddress)
            return false;
        throw;
    }
    return true;
}
