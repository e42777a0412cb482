// Switching channels by their images and all at once, with the short-circuit
// lock on channels the measurement cycle has cut off. The view itself switches
// no hardware; listeners (the hardware add-on) follow its events.

#include "framework/Messages.h"
#include "view/VelkorView.h"

#include <QWidget>

namespace {

// Channels 1 and 2 carry a fixed current while on; channel 3 is the ramp.
constexpr double kFesterStrom[] = {2.0, 4.0};
constexpr int kRampenKanal = 2;

} // namespace

bool CVelkorView::IsSwitchedOn(int nChannel) const
{
    const QWidget* on = m_pOnImage[nChannel - 1];
    return on && !on->isHidden();
}

// Exactly one of the two stacked images is visible.
void CVelkorView::ShowSwitch(int i, bool bOn)
{
    QWidget* on = GetDlgItem(kChannelIds[i].imageOn);
    QWidget* off = GetDlgItem(kChannelIds[i].imageOff);
    if (bOn) {
        if (on)
            on->setVisible(true);
        if (off)
            off->setVisible(false);
    } else {
        if (on)
            on->setVisible(false);
        if (off)
            off->setVisible(true);
    }
}

// A channel another source reads keeps that source's reading, not the test
// value: what the view and its listeners see.
void CVelkorView::SourceOff(int i)
{
    if (i == kRampenKanal)
        m_bRampeGestoppt = 1;
    if (i <= kRampenKanal)
        m_channel[i].m_dStrom = 0.0;
    TakeSourceReading(i);
}

// The ramp goes on from where it stopped, one step higher.
void CVelkorView::SourceOn(int i)
{
    if (i == kRampenKanal) {
        m_bRampeGestoppt = 0;
        m_channel[i].m_dStrom = NextRampValue();
    } else if (i < kRampenKanal) {
        m_channel[i].m_dStrom = kFesterStrom[i];
    }
    TakeSourceReading(i); // also: the lock judges the present reading, not the one at the cutoff
}

// Switching off never touches the cutoff flag or the timers.
void CVelkorView::OnSchalterAus(int nChannel)
{
    const int i = nChannel - 1;
    ShowSwitch(i, false);
    SourceOff(i);
    NotifyChannelEvent(*this, ChannelEvent::ManualOff, nChannel, m_channel[i].m_dStrom);
}

void CVelkorView::OnSchalterEin(int nChannel)
{
    const int i = nChannel - 1;
    SourceOn(i);
    ChannelState& ch = m_channel[i];
    if (m_dAbschaltstrom[i] - m_dHysterese[i] > ch.m_dStrom || ch.m_bAbgeschaltet == 0) {
        ShowSwitch(i, true);
        ch.m_bAbgeschaltet = 0;
        RestartMeasuring();
        if (!m_bAlleEin)
            NotifyChannelEvent(*this, ChannelEvent::ManualOn, nChannel, ch.m_dStrom);
        return;
    }
    // Locked: the source set above stays in effect.
    NotifyChannelEvent(*this, ChannelEvent::ManualOnLocked, nChannel, ch.m_dStrom);
    ShowMessageBox(this, QStringLiteral("Kurzschluss erst beheben"), QStringLiteral("FEHLER"),
                   MB_OK | MB_ICONEXCLAMATION);
}

void CVelkorView::OnAlleAus()
{
    for (int i = 0; i <= kRampenKanal; ++i)
        SourceOff(i);
    for (int i = 0; i < kChannels; ++i)
        ShowSwitch(i, false);
    NotifyChannelEvent(*this, ChannelEvent::AllOff, 0, 0.0);
}

// One message box per locked channel, in channel order.
void CVelkorView::OnAlleEin()
{
    m_bAlleEin = true;
    for (int k = 1; k <= kChannels; ++k)
        OnSchalterEin(k);
    m_bAlleEin = false;
    NotifyChannelEvent(*this, ChannelEvent::AllOn, 0, 0.0);
}
