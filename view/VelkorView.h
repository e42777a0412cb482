#pragma once
// The monitoring view: sixteen channel panels on form 101, the measurement
// cycle that drives them, switching with the short-circuit lock, and the
// commands that open the dialogs it owns.

#include "base/Station.h"
#include "dialogs/AbfragezeitDlg.h"
#include "dialogs/ConDlg.h"
#include "dialogs/MaximalwerteDlg.h"
#include "dialogs/PBDlg.h"
#include "dialogs/TIMERDlg.h"
#include "dialogs/VerbrauchDlg.h"
#include "dialogs/ZoomDlg.h"
#include "framework/ProgressCtrl.h"
#include "framework/View.h"
#include "res/resource.h"
#include "view/ViewEvents.h"

#include <QString>
#include <QtGlobal>

class CVelkorDoc;
class QLineEdit;

// Runtime record of one channel.
struct ChannelState
{
    double m_dStrom = 0.0;        // A, present current: the cycle's only input
    double m_dAnzeigestrom = 0.0; // A, shown: truncated to 0.01 A
    double m_dBalken = 0.0;       // bar position in percent of the Maximalstrom
    qint32 m_bAbgeschaltet = 0;   // 1 while cut off: the short-circuit lock
    double m_dEnergieRoh = 0.0;   // Wh, last consumption tick before truncation
};

class CVelkorView : public CFormView
{
    Q_OBJECT
public:
    enum
    {
        IDD = IDD_KORVA_FORM
    };
    static constexpr int kChannels = korva::kChannels;
    static constexpr int kMaxNameChars = 10;

    // Window timers of the view.
    static constexpr quintptr kMessTimer = 1;      // period m_nAbfragezeit
    static constexpr quintptr kAutomatikTimer = 2; // period m_nTimerzeitMs
    static constexpr quintptr kVerbrauchTimer = 4; // once a second
    static constexpr int kVerbrauchMs = 1000;

    // Bar colours.
    static constexpr COLORREF kGruen = RGB(0, 255, 0);
    static constexpr COLORREF kGelb = RGB(255, 255, 0);
    static constexpr COLORREF kRot = RGB(255, 0, 0);
    static constexpr COLORREF kGrau = RGB(150, 150, 150); // stale reading

    CVelkorView();
    ~CVelkorView() override;

    CVelkorDoc* GetDocument() const;
    void OnInitialUpdate() override;
    void OnDestroy() override;
    void OnTimer(quintptr nIDEvent) override;

    // The test ramp that feeds channel 3.
    double NextRampValue();

    // Switching, channel k = 1 ... 16 (also reached by the image clicks).
    void OnSchalterAus(int nChannel);
    void OnSchalterEin(int nChannel);
    void OnAlleAus();
    void OnAlleEin();

    // Commands that open the dialogs.
    void OnParameter(int nChannel);
    void OnTimerzeit();
    void OnAbfragezeit();
    void OnMaximalwerte();
    void OnVerbrauch();
    void OnZoom();
    void OnStartStop();

    // Whether the channel shows its on image.
    bool IsSwitchedOn(int nChannel) const;

    // Another source of present currents (hardware); nullptr: the test
    // sources. With a source, measuring never stands still.
    void SetChannelSource(IChannelSource* pSource);
    IChannelSource* ChannelSource() const { return m_pSource; }
    // Hardware mode: real outputs follow the view, and a cutoff no longer
    // stops the measuring of the other channels.
    bool IsHardwareMode() const { return m_pSource != nullptr; }
    // The bus has written the channel's output off at this reading: the
    // cutoff as the view's own tick would have found it.
    void OnBusTrip(int nChannel, double current);
    // Age of the reading the last tick took, in ms; -1 with test values.
    long long ReadingAgeMs(int nChannel) const { return m_nAlterMs[nChannel - 1]; }
    // Marks the channel's number as a stale reading (1 ... 16).
    void SetStale(int nChannel, bool bStale);
    bool IsStale(int nChannel) const { return m_bStale[nChannel - 1]; }

    QLineEdit* m_ctlSkalaMitte1 = nullptr;
    CProgressCtrl* m_ctlBalken[kChannels] = {};
    QString m_strName[kChannels];
    ChannelState m_channel[kChannels];
    double m_dSkalaOben[kChannels] = {};
    double m_dSkalaMitte[kChannels] = {};
    qint32 m_bRampeGestoppt = 0;
    double m_dRampe = 0.0;
    qint32 m_nStopWert = 0;
    qint32 m_nStartWert = 0;
    CConDlg m_dlgCon;
    qint32 m_nTimerzeitMs = 0;  // ms, Timerzeit x 1000, saturated
    quint32 m_nAbfragezeit = 0; // ms
    quint32 m_nTimerzeit = 0;   // s
    double m_dMaximalstrom[kChannels] = {};
    double m_dAlarmstrom[kChannels] = {};
    double m_dAbschaltstrom[kChannels] = {};
    double m_dHysterese[kChannels] = {};
    double m_dKWhProTick = 0.0;
    CZoomDlg m_dlgZoom;
    CMaximalwerteDlg m_dlgMaximalwerte;
    CAbfragezeitDlg m_dlgAbfragezeit;
    CTIMERDlg m_dlgTimer;
    CVerbrauchDlg m_dlgVerbrauch;
    CPBDlg m_dlgPB[kChannels]{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

protected:
    void DoDataExchange(CDataExchange* pDX) override;

private:
    void RegisterCommands();
    void ExchangeNumber(CDataExchange* pDX, int nIDC, double& value, double& shown);
    void SeedFromDocument(const CVelkorDoc& doc);

    // The measurement cycle.
    void CopyCountersToDocument(CVelkorDoc& doc) const;
    void OnMesstakt();
    void OnAutomatiktakt();
    void OnVerbrauchstakt();
    void MeasureChannel(int i);
    void TakeSourceReadings();
    void TakeSourceReading(int i); // nothing without a source
    // Bar position and colour; true when the channel is at its Abschaltstrom.
    bool PaintBar(int i);
    void ShowBar(int i);
    bool BusTrips(int i) const { return m_pSource && m_pSource->TripsChannel(i + 1); }
    void CutOff(int i);
    void RestartMeasuring();

    // Switching.
    void ShowSwitch(int i, bool bOn);
    void SourceOff(int i);
    void SourceOn(int i);

    // Runs a dialog that works on the view's own objects; refreshes on OK.
    void RunDisplayDialog(CDialog& dlg);

    IChannelSource* m_pSource = nullptr;
    bool m_bStale[kChannels] = {};
    long long m_nAlterMs[kChannels] = {-1, -1, -1, -1, -1, -1, -1, -1,
                                       -1, -1, -1, -1, -1, -1, -1, -1};
    // The source's highest reading since the last tick, for the peak.
    double m_dSpitze[kChannels] = {};
    bool m_bSpitze[kChannels] = {};
    // The on images, looked up once: add-ons ask on every tick.
    const QWidget* m_pOnImage[kChannels] = {};
    bool m_bAlleEin = false; // inside all-on: single switch-ons are not reported

    // The numbers last written into the current, top and middle fields.
    double m_dShown[3][kChannels];
};
