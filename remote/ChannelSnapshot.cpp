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
    ReadChannels(view, snap.channels);
    return snap;
}

bool ChannelRecord::SameButAge(const ChannelRecord& o) const
{
    ChannelRecord aged = o;
    aged.nAgeMs = nAgeMs;
    return *this == aged;
}

bool Overwrite(ChannelRecord& to, const ChannelRecord& values, const QString& name)
{
    bool bChanged = false;
    const auto set = [&bChanged](auto& field, const auto& value) {
        if (!(field == value)) {
            field = value;
            bChanged = true;
        }
    };
    set(to.nNumber, values.nNumber);
    set(to.dCurrent, values.dCurrent);
    set(to.dPower, values.dPower);
    set(to.dEnergy, values.dEnergy);
    set(to.bOn, values.bOn);
    set(to.bCutOff, values.bCutOff);
    set(to.bAlarm, values.bAlarm);
    set(to.bStale, values.bStale);
    to.nAgeMs = values.nAgeMs;
    set(to.dMaximalstrom, values.dMaximalstrom);
    set(to.dAlarmstrom, values.dAlarmstrom);
    set(to.dAbschaltstrom, values.dAbschaltstrom);
    set(to.nBarPercent, values.nBarPercent);
    set(to.nBarRgb, values.nBarRgb);
    if (!to.strName.isSharedWith(name)) {
        bChanged = bChanged || to.strName != name;
        to.strName = name;
    }
    return bChanged;
}

// Runs on every tick: an unchanged channel costs no reference counting.
bool ReadChannels(const CVelkorView& view, ChannelRecords& channels)
{
    bool bChanged = false;
    for (int i = 0; i < ChannelSnapshot::kChannels; ++i) {
        const ChannelState& ch = view.m_channel[i];
        ChannelRecord n;
        n.nNumber = i + 1;
        n.dCurrent = ch.m_dAnzeigestrom;
        n.dPower = view.m_dlgVerbrauch.m_dLeistung[i];
        n.dEnergy = view.m_dlgVerbrauch.m_dEnergie[i];
        n.bOn = view.IsSwitchedOn(i + 1);
        n.bCutOff = ch.m_bAbgeschaltet != 0;
        n.bAlarm = ch.m_dStrom >= view.m_dAlarmstrom[i];
        n.bStale = view.IsStale(i + 1);
        n.nAgeMs = view.ReadingAgeMs(i + 1);
        n.dMaximalstrom = view.m_dMaximalstrom[i];
        n.dAlarmstrom = view.m_dAlarmstrom[i];
        n.dAbschaltstrom = view.m_dAbschaltstrom[i];
        n.nBarPercent = int(std::clamp(ch.m_dBalken, 0.0, 100.0));
        COLORREF colour = n.bAlarm ? CVelkorView::kGelb : CVelkorView::kGruen;
        if (ch.m_dStrom >= view.m_dAbschaltstrom[i])
            colour = CVelkorView::kRot;
        if (n.bStale)
            colour = CVelkorView::kGrau; // as the view paints a kept reading
        n.nBarRgb = Rgb(colour);

        bChanged = Overwrite(channels[i], n, view.m_strName[i]) || bChanged;
    }
    return bChanged;
}
