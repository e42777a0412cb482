#include "journal/History.h"

CViewHistory::CViewHistory() : m_time(kCapacity), m_current(kCapacity) {}

void CViewHistory::AddPoint(qint64 msec, const double currents[kChannels])
{
    int slot;
    if (m_nSize < kCapacity) {
        slot = Slot(m_nSize++);
    } else {
        slot = m_nFirst;
        m_nFirst = (m_nFirst + 1) % kCapacity;
    }
    m_time[slot] = msec;
    for (int k = 0; k < kChannels; ++k)
        m_current[slot][k] = float(currents[k]);
    // Markers older than the oldest point have nothing left to mark.
    const qint64 oldest = m_time[m_nFirst];
    while (!m_markers.empty() && m_markers.front().msec < oldest)
        m_markers.pop_front();
}

void CViewHistory::AddMarker(qint64 msec, int nChannel, ChannelEvent kind)
{
    m_markers.push_back({msec, nChannel, kind});
}
