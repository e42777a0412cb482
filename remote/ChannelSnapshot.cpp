#include "remote/ChannelSnapshot.h"

#include "journal/LocalTime.h"
#include "view/VelkorView.h"

#include <algorithm>

namespace {

quint32 Rgb(COLORREF c)
{
    return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

} // namespace

// Alarm and colour follow the bar of the last tick: yellow from the
// Alarmstrom, red from the Abschaltstrom, judged on the untruncated current.
ChannelSnapshot TakeSnapshot(const CVelkorView& view, const QString& station)
{
    ChannelSnapshot snap;
    snap.strStation = station;
    // The cached zone offset: a zone lookup on every tick costs more than the rest.
    snap.time = CurrentLocalTime();
    for (int i = 0; i < ChannelSnapshot::kChannels; ++i) {
        const ChannelState& ch = view.m_channel[i];
        ChannelRecord& r = snap.channels[i];
        r.nNumber = i + 1;
        r.strName = view.m_strName[i];
        r.dCurrent = ch.m_dAnzeigestrom;
        r.dPower = view.m_dlgVerbrauch.m_dLeistung[i];
        r.dEnergy = view.m_dlgVerbrauch.m_dEnergie[i];
        r.bOn = view.IsSwitchedOn(i + 1);
        r.bCutOff = ch.m_bAbgeschaltet != 0;
        r.bAlarm = ch.m_dStrom >= view.m_dAlarmstrom[i];
        r.bStale = view.IsStale(i + 1);
        r.dMaximalstrom = view.m_dMaximalstrom[i];
        r.dAlarmstrom = view.m_dAlarmstrom[i];
        r.dAbschaltstrom = view.m_dAbschaltstrom[i];
        r.nBarPercent = int(std::clamp(ch.m_dBalken, 0.0, 100.0));
        COLORREF colour = r.bAlarm ? CVelkorView::kGelb : CVelkorView::kGruen;
        if (ch.m_dStrom >= view.m_dAbschaltstrom[i])
            colour = CVelkorView::kRot;
        if (r.bStale)
            colour = CVelkorView::kGrau; // as the view paints a kept reading
        r.nBarRgb = Rgb(colour);
    }
    return snap;
}
