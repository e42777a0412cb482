#include "hw/RecordingPort.h"

#include <cstdio>

namespace {
std::string Access(const char* format, unsigned address, unsigned value)
{
    char line[32];
    std::snprintf(line, sizeof line, format, address, value);
    return line;
}
} // namespace

void CRecordingPort::QueueReads(std::uint16_t address, std::initializer_list<std::uint8_t> values)
{
    auto& queue = m_queued[address];
    queue.insert(queue.end(), values);
}

void CRecordingPort::SetReadDefault(std::uint16_t address, std::uint8_t value)
{
    m_defaults[address] = value;
}

void CRecordingPort::SetHeldElsewhere(unsigned portNumber, bool held)
{
    if (PortBase(portNumber))
        m_held[portNumber] = held;
}

std::vector<std::string> CRecordingPort::CompactTrace() const
{
    std::vector<std::string> compact;
    for (std::size_t i = 0; i < m_trace.size();) {
        std::size_t run = 1;
        while (i + run < m_trace.size() && m_trace[i + run] == m_trace[i])
            ++run;
        compact.push_back(run == 1 ? m_trace[i] : m_trace[i] + " x" + std::to_string(run));
        i += run;
    }
    return compact;
}

PortHandle CRecordingPort::Claim(unsigned portNumber)
{
    PortHandle handle = INVALID_PORT_HANDLE;
    if (m_inner) {
        handle = m_inner->Claim(portNumber);
    } else {
        bool taken = !PortBase(portNumber) || m_held[portNumber];
        for (const auto& [h, number] : m_claims)
            taken = taken || number == portNumber;
        if (!taken)
            handle = m_nextHandle++;
    }
    if (handle != INVALID_PORT_HANDLE)
        m_claims[handle] = portNumber;
    m_trace.push_back("claim " + std::to_string(portNumber) +
                      (handle == INVALID_PORT_HANDLE ? " refused" : ""));
    return handle;
}

void CRecordingPort::Release(PortHandle handle)
{
    const auto claim = m_claims.find(handle);
    if (claim == m_claims.end()) {
        m_trace.push_back("release (none)");
        return;
    }
    m_trace.push_back("release " + std::to_string(claim->second));
    m_claims.erase(claim);
    if (m_inner)
        m_inner->Release(handle);
}

std::uint8_t CRecordingPort::PlayBack(std::uint16_t address)
{
    auto queue = m_queued.find(address);
    if (queue != m_queued.end() && !queue->second.empty()) {
        const std::uint8_t value = queue->second.front();
        queue->second.pop_front();
        return value;
    }
    const auto fallback = m_defaults.find(address);
    return fallback != m_defaults.end() ? fallback->second : 0xFF;
}

std::uint8_t CRecordingPort::Read(std::uint16_t address)
{
    const std::uint8_t value = m_inner ? m_inner->Read(address) : PlayBack(address);
    m_trace.push_back(Access("R %03X->%02X", address, value));
    return value;
}

void CRecordingPort::Write(std::uint16_t address, std::uint8_t value)
{
    m_trace.push_back(Access("W %03X<-%02X", address, value));
    if (m_inner)
        m_inner->Write(address, value);
}

void CRecordingPort::Pause(unsigned milliseconds)
{
    m_trace.push_back("sleep " + std::to_string(milliseconds) + "ms");
    if (m_inner)
        m_inner->Pause(milliseconds);
}
