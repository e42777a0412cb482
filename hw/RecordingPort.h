#pragma once

#include "hw/PortBackend.h"

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

// Logs every claim, register access and pause as one readable line:
//   claim 1, claim 2 refused, release 1, W 37A<-04, R 37C->91, sleep 1ms
// Alone it plays a port back: reads take queued values per address, then the
// address's default (0xFF unless set), and ports 1 and 2 can be claimed once
// each unless marked held. Given another backend it passes everything on and
// logs the values that came back (korva-i2c --trace).
class CRecordingPort : public CPortBackend
{
public:
    CRecordingPort() = default;
    explicit CRecordingPort(CPortBackend& inner) : m_inner(&inner) {}

    void QueueReads(std::uint16_t address, std::initializer_list<std::uint8_t> values);
    void SetReadDefault(std::uint16_t address, std::uint8_t value);
    void SetHeldElsewhere(unsigned portNumber, bool held);

    const std::vector<std::string>& Trace() const { return m_trace; }
    void ClearTrace() { m_trace.clear(); }
    // The trace with runs of equal lines folded into "line xN".
    std::vector<std::string> CompactTrace() const;

    PortHandle Claim(unsigned portNumber) override;
    void Release(PortHandle handle) override;
    std::uint8_t Read(std::uint16_t address) override;
    void Write(std::uint16_t address, std::uint8_t value) override;
    void Pause(unsigned milliseconds) override;

private:
    std::uint8_t PlayBack(std::uint16_t address);

    CPortBackend* m_inner = nullptr;
    std::vector<std::string> m_trace;
    std::map<std::uint16_t, std::deque<std::uint8_t>> m_queued;
    std::map<std::uint16_t, std::uint8_t> m_defaults;
    std::map<PortHandle, unsigned> m_claims; // handle -> port number
    bool m_held[3] = {};
    PortHandle m_nextHandle = 1;
};
