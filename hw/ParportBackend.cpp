#include "hw/ParportBackend.h"

#include <chrono>
#include <string>
#include <thread>

#ifdef KORVA_HAVE_LIBIEEE1284
#include <ieee1284.h>
#endif

CPortBackend& DefaultPortBackend()
{
    static CParportBackend backend;
    return backend;
}

CParportBackend::~CParportBackend()
{
    while (!m_claimed.empty())
        Release(m_claimed.begin()->first);
}

void CParportBackend::Pause(unsigned milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

const CParportBackend::ClaimedPort* CParportBackend::Find(std::uint16_t address, int& offset) const
{
    const unsigned number = DecodePortAddress(address, offset);
    for (const auto& [handle, claimed] : m_claimed)
        if (number != 0 && claimed.number == number)
            return &claimed;
    return nullptr;
}

#ifdef KORVA_HAVE_LIBIEEE1284

namespace {
parport* AsPort(void* port)
{
    return static_cast<parport*>(port);
}

// Only the parport driver's device files: raw I/O at guessed addresses would
// need root and bypass the kernel's sharing of the port.
parport* OpenExclusive(unsigned portNumber)
{
    parport_list list{};
    if (ieee1284_find_ports(&list, 0) != E1284_OK)
        return nullptr;
    const std::string wanted = "/dev/parport" + std::to_string(portNumber - 1);
    parport* found = nullptr;
    for (int i = 0; i < list.portc && !found; ++i) {
        parport* candidate = list.portv[i];
        if (candidate->filename && wanted == candidate->filename)
            found = candidate;
    }
    if (found) {
        int capabilities = 0;
        if (ieee1284_open(found, F1284_EXCL, &capabilities) != E1284_OK) {
            found = nullptr;
        } else if (ieee1284_claim(found) != E1284_OK) {
            ieee1284_close(found);
            found = nullptr;
        } else {
            ieee1284_ref(found); // keep it beyond the list
        }
    }
    ieee1284_free_ports(&list);
    return found;
}
} // namespace

PortHandle CParportBackend::Claim(unsigned portNumber)
{
    if (!PortBase(portNumber))
        return INVALID_PORT_HANDLE;
    for (const auto& [handle, claimed] : m_claimed)
        if (claimed.number == portNumber)
            return INVALID_PORT_HANDLE; // exclusive, also within this process
    parport* port = OpenExclusive(portNumber);
    if (!port)
        return INVALID_PORT_HANDLE;
    const PortHandle handle = m_nextHandle++;
    m_claimed[handle] = {portNumber, port};
    return handle;
}

void CParportBackend::Release(PortHandle handle)
{
    const auto claimed = m_claimed.find(handle);
    if (claimed == m_claimed.end())
        return;
    parport* port = AsPort(claimed->second.port);
    ieee1284_release(port);
    ieee1284_close(port);
    ieee1284_unref(port);
    m_claimed.erase(claimed);
}

// libieee1284 gives and takes line levels, while the status and control
// registers hold some lines inverted: convert to and from register values.
std::uint8_t CParportBackend::Read(std::uint16_t address)
{
    int offset = 0;
    const ClaimedPort* claimed = Find(address, offset);
    if (!claimed)
        return 0xFF;
    parport* port = AsPort(claimed->port);
    int value = -1;
    char byte = 0;
    switch (offset) {
    case 0:
        value = ieee1284_read_data(port);
        break;
    case 1:
        value = ieee1284_read_status(port);
        value = value < 0 ? value : value ^ S1284_INVERTED;
        break;
    case 2:
        value = ieee1284_read_control(port);
        value = value < 0 ? value : value ^ C1284_INVERTED;
        break;
    case 3:
        if (ieee1284_epp_read_addr(port, 0, &byte, 1) == 1)
            value = static_cast<unsigned char>(byte);
        break;
    case 4:
        if (ieee1284_epp_read_data(port, 0, &byte, 1) == 1)
            value = static_cast<unsigned char>(byte);
        break;
    }
    return value < 0 ? 0xFF : static_cast<std::uint8_t>(value);
}

void CParportBackend::Write(std::uint16_t address, std::uint8_t value)
{
    int offset = 0;
    const ClaimedPort* claimed = Find(address, offset);
    if (!claimed)
        return;
    parport* port = AsPort(claimed->port);
    char byte = static_cast<char>(value);
    switch (offset) {
    case 0:
        ieee1284_write_data(port, value);
        break;
    case 2: // only the four control lines can be set
        ieee1284_write_control(port, (value & 0x0F) ^ C1284_INVERTED);
        break;
    case 3:
        ieee1284_epp_write_addr(port, 0, &byte, 1);
        break;
    case 4:
        ieee1284_epp_write_data(port, 0, &byte, 1);
        break;
    }
}

#else // built without libieee1284: no port can be used

PortHandle CParportBackend::Claim(unsigned)
{
    return INVALID_PORT_HANDLE;
}
void CParportBackend::Release(PortHandle) {}
std::uint8_t CParportBackend::Read(std::uint16_t)
{
    return 0xFF;
}
void CParportBackend::Write(std::uint16_t, std::uint8_t) {}

#endif
