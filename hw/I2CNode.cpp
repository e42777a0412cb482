#include "hw/I2CNode.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/ioctl.h>
#include <unistd.h>

#ifdef KORVA_HAVE_LIBI2C
extern "C" {
#include <i2c/smbus.h>
}
#endif

namespace {

class CKernelI2CNode : public CI2CNode
{
public:
    // O_NOCTTY: a terminal given by mistake must not become ours.
    int Open(const std::string& path) override
    {
        const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        return fd >= 0 ? fd : -errno;
    }
    int Ioctl(int fd, unsigned long request, void* arg) override
    {
        const int result = ::ioctl(fd, request, arg);
        return result >= 0 ? result : -errno;
    }
    void Close(int fd) override { ::close(fd); }

#ifdef KORVA_HAVE_LIBI2C
    // The library returns -errno itself.
    int SmbusQuickWrite(int fd) override
    {
        return i2c_smbus_write_quick(fd, I2C_SMBUS_WRITE);
    }
    int SmbusReadByte(int fd) override
    {
        return i2c_smbus_read_byte(fd);
    }
    int SmbusWriteByte(int fd, std::uint8_t value) override
    {
        return i2c_smbus_write_byte(fd, value);
    }
    int SmbusWriteByteData(int fd, std::uint8_t command, std::uint8_t value) override
    {
        return i2c_smbus_write_byte_data(fd, command, value);
    }
#else
    int SmbusQuickWrite(int) override
    {
        return -EOPNOTSUPP;
    }
    int SmbusReadByte(int) override
    {
        return -EOPNOTSUPP;
    }
    int SmbusWriteByte(int, std::uint8_t) override
    {
        return -EOPNOTSUPP;
    }
    int SmbusWriteByteData(int, std::uint8_t, std::uint8_t) override
    {
        return -EOPNOTSUPP;
    }
#endif
};

} // namespace

CI2CNode& DefaultI2CNode()
{
    static CKernelI2CNode node;
    return node;
}

std::vector<I2CAdapterInfo> ListI2CAdapters(const std::string& sysDir)
{
    namespace fs = std::filesystem;
    std::vector<I2CAdapterInfo> adapters;
    std::error_code error;
    for (fs::directory_iterator it(sysDir, error), end; !error && it != end; it.increment(error)) {
        const std::string entry = it->path().filename().string();
        if (entry.rfind("i2c-", 0) != 0 || entry.size() > 12)
            continue;
        const std::string digits = entry.substr(4);
        if (digits.empty() || !std::all_of(digits.begin(), digits.end(), ::isdigit))
            continue;
        I2CAdapterInfo info;
        info.number = std::stoi(digits);
        std::ifstream name(it->path() / "name");
        std::getline(name, info.name);
        while (!info.name.empty() && std::isspace(static_cast<unsigned char>(info.name.back())))
            info.name.pop_back();
        adapters.push_back(info);
    }
    std::sort(adapters.begin(), adapters.end(),
              [](const I2CAdapterInfo& a, const I2CAdapterInfo& b) { return a.number < b.number; });
    return adapters;
}
