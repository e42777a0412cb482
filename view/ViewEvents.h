#pragma once
// What the monitoring view reports to the program's add-ons (journal,
// history, hardware outputs): switching events, each measurement, and the
// view's life. Listeners are program-wide; they must not show message boxes
// from inside a callback, since callbacks run in the middle of a tick.

#include <QString>

class CVelkorView;

enum class ChannelEvent
{
    Cutoff,           // current reached the Abschaltstrom: cut off
    AutoOn,           // the automatic timer switched a cut-off channel back on
    AutoOnRefused,    // the automatic timer found the current still too high (beep)
    ManualOff,        // the user clicked the on image
    ManualOn,         // the user clicked the off image and the channel went on
    ManualOnLocked,   // the user tried to switch on a cut-off channel (short-circuit lock)
    AllOff,           // all-off command; channel 0
    AllOn,            // all-on command; channel 0 (locked channels stay off)
    TransferError,    // hardware: a channel's input (or, channel 0, an output) failed
    TransferRestored, // hardware: it works again
    Message,          // a message the unattended program could not show; channel 0
    OutputUnconfirmed, // hardware: an output switched off reads back on
};

class IViewListener
{
public:
    virtual ~IViewListener() = default;
    // At the end of the first update, before measuring starts.
    virtual void OnViewOpened(CVelkorView&) {}
    // When the window is destroyed, after timers 1 and 2 are stopped.
    virtual void OnViewClosing(CVelkorView&) {}
    // nChannel 1 ... 16 (0 for all-off and all-on); current in A, present current.
    virtual void OnChannelEvent(CVelkorView&, ChannelEvent, int /*nChannel*/, double /*current*/) {}
    // After every measurement tick, with the new shown currents in place.
    virtual void OnMeasured(CVelkorView&) {}
    // A dialog changed the limits, the Abfragezeit or the Timerzeit.
    virtual void OnSettingsChanged(CVelkorView&) {}
    // Once a second while measuring stands still after a cutoff: the shown
    // currents stay as they were, a hardware source's readings go on.
    virtual void OnStandstill(CVelkorView&) {}
    // Transfer errors of the hardware and their end, outside any tick; detail
    // says what failed.
    virtual void OnHardwareEvent(CVelkorView&, ChannelEvent, int /*nChannel*/, double /*current*/,
                                 const QString& /*detail*/)
    {
    }
};

// Where a channel's present current comes from when it is not the test source.
class IChannelSource
{
public:
    virtual ~IChannelSource() = default;
    // True when the source has a reading for the channel (1 ... 16); stale
    // marks a reading kept from before a failed transfer.
    virtual bool ReadCurrent(int nChannel, double& current, bool& stale) = 0;

    struct Sample
    {
        double current = 0.0;
        bool stale = false;
        double peak = 0.0;    // the highest reading since the last tick took it
        long long ageMs = -1; // -1: no reading yet, or no age known
    };
    // The tick's reading: with the peak since the last tick and its age.
    virtual bool ReadSample(int nChannel, Sample& sample)
    {
        if (!ReadCurrent(nChannel, sample.current, sample.stale))
            return false;
        sample.peak = sample.current;
        return true;
    }
    // True when the source itself cuts the channel off at its Abschaltstrom
    // (the bus does, in hardware mode) and tells the view with OnBusTrip.
    virtual bool TripsChannel(int /*nChannel*/) const { return false; }
};

void AddViewListener(IViewListener* listener);
void RemoveViewListener(IViewListener* listener);

// Used by the view.
void NotifyViewOpened(CVelkorView& view);
void NotifyViewClosing(CVelkorView& view);
void NotifyChannelEvent(CVelkorView& view, ChannelEvent kind, int nChannel, double current);
void NotifyMeasured(CVelkorView& view);
void NotifyStandstill(CVelkorView& view);
void NotifySettingsChanged(CVelkorView& view);
// Used by the hardware add-on.
void NotifyHardwareEvent(CVelkorView& view, ChannelEvent kind, int nChannel, double current,
                         const QString& detail);

// When an event happened, when it is reported later (a trip on the bus):
// milliseconds since the epoch, 0 for now.
qint64 CurrentEventTime();
class ScopedEventTime
{
public:
    explicit ScopedEventTime(qint64 msecsSinceEpoch);
    ~ScopedEventTime();
    ScopedEventTime(const ScopedEventTime&) = delete;
    ScopedEventTime& operator=(const ScopedEventTime&) = delete;

private:
    qint64 m_previous;
};

// Who switches: empty for the window itself; a command path from outside (the
// web panel, MQTT) names itself for the time of its call, and the journal
// records it with the switching events.
QString CurrentSwitchOrigin();
class ScopedSwitchOrigin
{
public:
    explicit ScopedSwitchOrigin(const QString& origin);
    ~ScopedSwitchOrigin();
    ScopedSwitchOrigin(const ScopedSwitchOrigin&) = delete;
    ScopedSwitchOrigin& operator=(const ScopedSwitchOrigin&) = delete;

private:
    QString m_previous;
};
