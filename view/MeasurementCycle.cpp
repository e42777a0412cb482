// The measurement cycle: one handler for the measurement, automatic and
// consumption timers, each tick framed by the same prologue and epilogue.

#include "doc/VelkorDoc.h"
#include "framework/Messages.h"
#include "framework/ProgressCtrl.h"
#include "view/Truncate.h"
#include "view/VelkorView.h"

#include <algorithm>
#include <iterator>

using namespace korva_view;

namespace {

constexpr double kSpannung = 16.0; // V: power = 16 V x current
constexpr double kRampenschritt = 0.05;
constexpr double kRampenende = 4.5;
constexpr unsigned kEinfacherPiep = 0xFFFFFFFFu;

} // namespace

void CVelkorView::OnTimer(quintptr nIDEvent)
{
    CVelkorDoc* pDoc = GetDocument();
    if (pDoc)
        CopyCountersToDocument(*pDoc);

    switch (nIDEvent) {
    case kMessTimer:
        OnMesstakt();
        break;
    case kAutomatikTimer:
        OnAutomatiktakt();
        break;
    case kVerbrauchTimer:
        OnVerbrauchstakt();
        if (!IsTimerRunning(kMessTimer))
            NotifyStandstill(*this); // the history goes on through a cutoff
        break;
    default:
        break;
    }

    // A running view always leaves its document changed.
    if (pDoc)
        pDoc->SetModifiedFlag(true);
    UpdateData(false);
    CFormView::OnTimer(nIDEvent);
}

void CVelkorView::CopyCountersToDocument(CVelkorDoc& doc) const
{
    for (int i = 0; i < kChannels; ++i)
        doc.m_dVerbrauch[i] = m_channel[i].m_dEnergieRoh;
    doc.m_dGesamtverbrauch = m_dlgVerbrauch.m_dGesamt;
    doc.m_nStartRadio = m_dlgCon.m_nStartRadio;
    doc.m_nStopRadio = m_dlgCon.m_nStopRadio;
    doc.m_nStartWert = m_dlgCon.m_nStartWert;
    doc.m_nStopWert = m_dlgCon.m_nStopWert;
}

void CVelkorView::OnMesstakt()
{
    m_channel[2].m_dStrom = NextRampValue();
    if (m_pSource)
        TakeSourceReadings();
    else
        std::fill(std::begin(m_nAlterMs), std::end(m_nAlterMs), -1);
    // Energy is counted once a second whatever the polling interval; re-arming
    // here would starve the consumption timer below 1000 ms.
    if (!IsTimerRunning(kVerbrauchTimer))
        SetTimer(kVerbrauchTimer, kVerbrauchMs);

    for (int i = 0; i < kChannels; ++i)
        MeasureChannel(i);
    UpdateData(false);
    for (int i = 0; i < kChannels; ++i)
        ShowBar(i);
    UpdateData(false);
    NotifyMeasured(*this);
}

// Channels the other source reads take its latest value; the rest keep the test sources.
void CVelkorView::TakeSourceReadings()
{
    for (int i = 0; i < kChannels; ++i) {
        IChannelSource::Sample s;
        if (!m_pSource->ReadSample(i + 1, s)) {
            m_nAlterMs[i] = -1;
            continue;
        }
        m_channel[i].m_dStrom = s.current;
        SetStale(i + 1, s.stale);
        m_nAlterMs[i] = s.ageMs;
        m_dSpitze[i] = s.peak;
        m_bSpitze[i] = true;
    }
}

void CVelkorView::TakeSourceReading(int i)
{
    double current = 0.0;
    bool stale = false;
    if (m_pSource && m_pSource->ReadCurrent(i + 1, current, stale)) {
        m_channel[i].m_dStrom = current;
        SetStale(i + 1, stale);
    }
}

// Number, power, peak and the enlarged window's current of one channel. The
// shown number and the peak use the current cut to 0.01 A.
void CVelkorView::MeasureChannel(int i)
{
    ChannelState& ch = m_channel[i];
    m_dlgVerbrauch.m_dLeistung[i] = TruncTo(ch.m_dStrom * kSpannung, 100.0);
    ch.m_dAnzeigestrom = TruncTo(ch.m_dStrom, 100.0);
    // A short between two ticks still shows as the peak it was on the bus.
    double peak = ch.m_dAnzeigestrom;
    if (m_bSpitze[i]) {
        peak = std::max(peak, TruncTo(m_dSpitze[i], 100.0));
        m_bSpitze[i] = false;
    }
    if (peak >= m_dlgMaximalwerte.m_dMax[i])
        m_dlgMaximalwerte.m_dMax[i] = peak;
    m_dlgZoom.m_dStrom[i] = TruncTo(ch.m_dAnzeigestrom, 10.0);
}

// Bar, colour and cutoff of one channel, all from the untruncated current.
// A channel the bus protects is cut off when the bus says so; in hardware
// mode a channel already cut off is not cut again while it stays high, as
// measuring goes on.
void CVelkorView::ShowBar(int i)
{
    const bool bCut = PaintBar(i);
    if (bCut && !BusTrips(i) && !(IsHardwareMode() && m_channel[i].m_bAbgeschaltet == 1))
        CutOff(i);
}

bool CVelkorView::PaintBar(int i)
{
    ChannelState& ch = m_channel[i];
    ch.m_dBalken = TruncToInt(100.0 / m_dMaximalstrom[i] * ch.m_dStrom);
    const bool bCut = ch.m_dStrom >= m_dAbschaltstrom[i];
    COLORREF colour = ch.m_dStrom >= m_dAlarmstrom[i] ? kGelb : kGruen;
    if (bCut)
        colour = kRot;
    // A kept reading says nothing about the channel's health now.
    if (m_bStale[i])
        colour = kGrau;
    if (CProgressCtrl* bar = m_ctlBalken[i]) {
        bar->SetPos(int(ch.m_dBalken));
        bar->SendMessage(PBM_SETBARCOLOR, 0, qintptr(colour));
    }
    return bCut;
}

void CVelkorView::OnBusTrip(int nChannel, double current)
{
    const int i = nChannel - 1;
    m_channel[i].m_dStrom = current;
    SetStale(nChannel, false);
    m_nAlterMs[i] = 0;
    MeasureChannel(i);
    PaintBar(i);
    CutOff(i);
    UpdateData(false);
}

// Every channel at or above its Abschaltstrom is cut off, each with its own
// beep; a flagged channel that is still too high goes through it again.
void CVelkorView::CutOff(int i)
{
    ShowSwitch(i, false);
    MessageBeep(kEinfacherPiep);
    m_channel[i].m_bAbgeschaltet = 1;
    if (!IsHardwareMode()) {
        KillTimer(kMessTimer);
        SetTimer(kAutomatikTimer, quint64(m_nTimerzeitMs));
    } else if (m_nTimerzeitMs > 0) {
        SetTimer(kAutomatikTimer, quint64(m_nTimerzeitMs)); // 0: stays off, nothing to time
    }
    NotifyChannelEvent(*this, ChannelEvent::Cutoff, i + 1, m_channel[i].m_dStrom);
}

// A switch-on ends the standstill. In hardware mode measuring never stood
// still, and re-arming would push the next tick back with every switch-on.
void CVelkorView::RestartMeasuring()
{
    if (!IsHardwareMode() || !IsTimerRunning(kMessTimer))
        SetTimer(kMessTimer, m_nAbfragezeit);
}

void CVelkorView::OnAutomatiktakt()
{
    if (m_nTimerzeitMs == 0)
        return; // automatic switching-on is off
    for (int i = 0; i < kChannels; ++i) {
        ChannelState& ch = m_channel[i];
        if (ch.m_bAbgeschaltet != 1)
            continue;
        // Measuring stops at a cutoff; a hardware source still knows whether the short is gone.
        TakeSourceReading(i);
        if (m_dAbschaltstrom[i] - m_dHysterese[i] > ch.m_dStrom) {
            ShowSwitch(i, true);
            ch.m_bAbgeschaltet = 0;
            RestartMeasuring();
            NotifyChannelEvent(*this, ChannelEvent::AutoOn, i + 1, ch.m_dStrom);
        } else {
            MessageBeep(kEinfacherPiep);
            SetTimer(kAutomatikTimer, quint64(m_nTimerzeitMs));
            NotifyChannelEvent(*this, ChannelEvent::AutoOnRefused, i + 1, ch.m_dStrom);
        }
    }
}

// One tick stands for one second: W x 1 s / 3600 is Wh.
void CVelkorView::OnVerbrauchstakt()
{
    for (int i = 0; i < kChannels; ++i) {
        if (m_channel[i].m_bAbgeschaltet == 1)
            m_dlgVerbrauch.m_dLeistung[i] = 0.0;
    }
    for (int i = 0; i < kChannels; ++i) {
        double& counter = m_dlgVerbrauch.m_dEnergie[i];
        double roh = (counter * 3600.0 + m_dlgVerbrauch.m_dLeistung[i]) / 3600.0;
        const double next = TruncTo(roh, 1000.0);
        // Multiplying by 3600 and dividing again can lose the last digit; a
        // counter must not run backwards, so it keeps its value then.
        if (roh < counter)
            roh = counter;
        // Nor may the raw energy the document saves, unless the counter was
        // cleared or edited: the energy below the counter's last step (the
        // rest of a loaded file, the last tick's fraction) stays.
        const double previous = m_channel[i].m_dEnergieRoh;
        if (roh < previous && TruncToStep(previous, 1000.0) == counter)
            roh = previous;
        if (!(next < counter))
            counter = next;
        m_channel[i].m_dEnergieRoh = roh;
    }
    double sum = 0.0;
    for (double p : m_dlgVerbrauch.m_dLeistung)
        sum += p;
    m_dKWhProTick = sum / 3600000.0;
    m_dlgVerbrauch.m_dGesamt = TruncTo(m_dKWhProTick, 1000000.0) + m_dlgVerbrauch.m_dGesamt;
}

double CVelkorView::NextRampValue()
{
    if (m_bRampeGestoppt != 0)
        return 0.0;
    m_dRampe = m_dRampe + kRampenschritt;
    if (m_dRampe >= kRampenende)
        m_dRampe = 0.0;
    return m_dRampe;
}
