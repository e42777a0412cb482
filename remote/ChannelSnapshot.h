#pragma once
// The state of a view's channels at one moment, as it leaves the process (web
// panel, MQTT): taken on the window's thread after each tick and each
// switching event, then handed to other threads as a plain value.

#include "base/Station.h"

#include <QDateTime>
#include <QString>
#include <array>

class CVelkorView;

struct ChannelRecord
{
    int nNumber = 0; // 1 ... 16
    QString strName;
    double dCurrent = 0.0; // A, as shown (cut to 0.01 A)
    double dPower = 0.0;   // W, as the consumption dialog shows it
    double dEnergy = 0.0;  // Wh, the channel's energy counter
    bool bOn = false;      // shows its on image
    bool bCutOff = false;  // cut off: the short-circuit lock holds
    bool bAlarm = false;   // at or above the Alarmstrom: the bar is not green
    bool bStale = false;   // a reading kept from before a failed transfer
    // Age of the reading at the snapshot's time, ms; -1 for test values.
    // It changes with every sweep, so on its own it is no change.
    long long nAgeMs = -1;
    double dMaximalstrom = 0.0;
    double dAlarmstrom = 0.0;
    double dAbschaltstrom = 0.0;
    int nBarPercent = 0; // the bar's position, 0 ... 100
    quint32 nBarRgb = 0; // the bar's colour, 0xRRGGBB

    bool operator==(const ChannelRecord&) const = default;
    bool SameButAge(const ChannelRecord& o) const;
};

struct ChannelSnapshot
{
    static constexpr int kChannels = korva::kChannels;
    QString strStation;
    QDateTime time;
    std::array<ChannelRecord, kChannels> channels;
};

using ChannelRecords = std::array<ChannelRecord, ChannelSnapshot::kChannels>;

// Writes values (and the name) over a record, field by field: true when
// anything changed. The name is copied only when it is not the same string
// already, so a steady channel costs no reference counting. Keep it in step
// with ChannelRecord's fields.
bool Overwrite(ChannelRecord& to, const ChannelRecord& values, const QString& name);

ChannelSnapshot TakeSnapshot(const CVelkorView& view, const QString& station);
// Only the channels, read over what the records held: true when anything
// changed. Enough to see whether a tick is worth a snapshot, without the clock.
bool ReadChannels(const CVelkorView& view, ChannelRecords& channels);
