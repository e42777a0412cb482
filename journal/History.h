#pragma once
// The last hour of one view's currents: one point per measurement tick in a
// ring buffer, and the events that fell into that time for the markers.

#include "base/Station.h"
#include "view/ViewEvents.h"

#include <QtGlobal>
#include <array>
#include <deque>
#include <vector>

class CViewHistory
{
public:
    static constexpr int kCapacity = 3600; // one hour at one tick a second
    static constexpr int kChannels = korva::kChannels;

    struct Marker
    {
        qint64 msec;
        int nChannel; // 0: all channels
        ChannelEvent kind;
    };

    CViewHistory();

    void AddPoint(qint64 msec, const double currents[kChannels]);
    void AddMarker(qint64 msec, int nChannel, ChannelEvent kind);

    int Size() const { return m_nSize; }
    // Point i, 0 the oldest kept.
    qint64 Time(int i) const { return m_time[Slot(i)]; }
    float Current(int i, int nChannel) const { return m_current[Slot(i)][nChannel - 1]; }
    const std::deque<Marker>& Markers() const { return m_markers; }

private:
    int Slot(int i) const { return (m_nFirst + i) % kCapacity; }

    std::vector<qint64> m_time;
    std::vector<std::array<float, kChannels>> m_current;
    int m_nFirst = 0;
    int m_nSize = 0;
    std::deque<Marker> m_markers;
};
