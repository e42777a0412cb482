#include "view/VelkorView.h"

#include "doc/VelkorDoc.h"
#include "framework/MDIFrame.h"
#include "framework/ProgressCtrl.h"
#include "view/Truncate.h"

#include <QLineEdit>
#include <algorithm>
#include <iterator>
#include <limits>

using namespace korva_view;

CVelkorView::CVelkorView() : CFormView(IDD)
{
    for (auto& row : m_dShown)
        std::fill(std::begin(row), std::end(row), std::numeric_limits<double>::quiet_NaN());
    for (int i = 0; i < kChannels; ++i)
        m_pOnImage[i] = GetDlgItem(kChannelIds[i].imageOn);
    RegisterCommands();
}

// Members go in reverse order; the timers already ended with the window.
CVelkorView::~CVelkorView() = default;

void CVelkorView::RegisterCommands()
{
    for (int k = 1; k <= kChannels; ++k) {
        const ChannelControlIds& ids = kChannelIds[k - 1];
        // Only the visible image can be clicked: on image = switch off.
        OnCommand(ids.imageOn, [this, k] { OnSchalterAus(k); });
        OnCommand(ids.imageOff, [this, k] { OnSchalterEin(k); });
    }
    OnCommand(ID_ALLE_AUS, [this] { OnAlleAus(); });
    OnCommand(ID_ALLE_EIN, [this] { OnAlleEin(); });

    OnCommandRange(ID_INPUT1, ID_INPUT16, [this](int id) { OnParameter(id - ID_INPUT1 + 1); });
    OnCommand(ID_TIMERZEIT, [this] { OnTimerzeit(); });
    OnCommand(ID_ABFRAGEZEIT, [this] { OnAbfragezeit(); });
    OnCommand(ID_HOECHSTWERTE, [this] { OnMaximalwerte(); });
    OnCommand(ID_MAXWERTE, [this] { OnMaximalwerte(); });
    OnCommand(ID_VERBRAUCHSZAEHLER, [this] { OnVerbrauch(); });
    OnCommand(ID_VERBRAUCH, [this] { OnVerbrauch(); });
    OnCommand(ID_ZOOM, [this] { OnZoom(); });
    OnCommand(ID_STARTSTOP, [this] { OnStartStop(); });

    OnCommand(ID_FILE_PRINT, [this] { OnFilePrint(false); });
    OnCommand(ID_FILE_PRINT_DIRECT, [this] { OnFilePrint(true); });
    OnCommand(ID_FILE_PRINT_PREVIEW, [this] { OnFilePrintPreview(); });
}

CVelkorDoc* CVelkorView::GetDocument() const
{
    return dynamic_cast<CVelkorDoc*>(GetDocumentBase());
}

void CVelkorView::DoDataExchange(CDataExchange* pDX)
{
    CFormView::DoDataExchange(pDX);
    if (!m_ctlSkalaMitte1)
        m_ctlSkalaMitte1 = qobject_cast<QLineEdit*>(pDX->PrepareCtrl(kChannelIds[0].middle));
    for (int i = 0; i < kChannels; ++i)
        DDX_Control(pDX, kChannelIds[i].bar, m_ctlBalken[i]);
    for (int i = 0; i < kChannels; ++i) {
        DDX_Text(pDX, kChannelIds[i].name, m_strName[i]);
        DDV_MaxChars(pDX, m_strName[i], kMaxNameChars);
    }
    for (int i = 0; i < kChannels; ++i)
        ExchangeNumber(pDX, kChannelIds[i].current, m_channel[i].m_dAnzeigestrom, m_dShown[0][i]);
    for (int i = 0; i < kChannels; ++i)
        ExchangeNumber(pDX, kChannelIds[i].top, m_dSkalaOben[i], m_dShown[1][i]);
    for (int i = 0; i < kChannels; ++i)
        ExchangeNumber(pDX, kChannelIds[i].middle, m_dSkalaMitte[i], m_dShown[2][i]);
}

// Formatting is most of an exchange's cost and a tick exchanges three times:
// a number that equals the one last shown in its field is not formatted again.
void CVelkorView::ExchangeNumber(CDataExchange* pDX, int nIDC, double& value, double& shown)
{
    if (!pDX->m_bSaveAndValidate && value == shown)
        return;
    DDX_Text(pDX, nIDC, value);
    shown = value;
}

void CVelkorView::OnInitialUpdate()
{
    CFormView::OnInitialUpdate();
    if (auto* frame = qobject_cast<CMDIChildWnd*>(GetParentFrame()))
        frame->RecalcLayoutToView(true);
    if (const CVelkorDoc* pDoc = GetDocument())
        SeedFromDocument(*pDoc);

    for (ChannelState& ch : m_channel)
        ch.m_bAbgeschaltet = 0;
    for (int i = 0; i < kChannels; ++i) {
        m_dlgZoom.m_dSkalaMitte[i] = m_dSkalaOben[i] / 2.0;
        m_dSkalaMitte[i] = m_dlgZoom.m_dSkalaMitte[i];
    }
    m_nTimerzeitMs = SecondsToMs(m_nTimerzeit);

    m_dRampe = 0.0;
    m_channel[0].m_dStrom = 2.0;
    m_channel[1].m_dStrom = 4.0;
    m_bRampeGestoppt = 0;

    UpdateData(false);
    // Last, so that no tick sees a half-copied state.
    NotifyViewOpened(*this);
    SetTimer(kMessTimer, m_nAbfragezeit);
}

// The document's values go to every copy as they are, without range checks.
void CVelkorView::SeedFromDocument(const CVelkorDoc& doc)
{
    for (int i = 0; i < kChannels; ++i) {
        const QString& name = doc.m_strName[i];
        m_dlgVerbrauch.m_strName[i] = name;
        m_dlgZoom.m_strName[i] = name;
        m_dlgPB[i].m_strName = name;
        m_dlgMaximalwerte.m_strName[i] = name;
        m_strName[i] = name;
    }
    for (int i = 0; i < kChannels; ++i) {
        const double max = doc.m_dMaximalstrom[i];
        m_dlgZoom.m_dSkalaOben[i] = max;
        m_dSkalaOben[i] = max;
        m_dlgZoom.m_dMaximalstrom[i] = max;
        m_dlgPB[i].m_dMaximalstrom = max;
        m_dMaximalstrom[i] = max;
    }
    for (int i = 0; i < kChannels; ++i) {
        m_dlgZoom.m_dAbschaltstrom[i] = doc.m_dAbschaltstrom[i];
        m_dlgPB[i].m_dAbschaltstrom = doc.m_dAbschaltstrom[i];
        m_dAbschaltstrom[i] = doc.m_dAbschaltstrom[i];
    }
    for (int i = 0; i < kChannels; ++i) {
        m_dlgZoom.m_dAlarmstrom[i] = doc.m_dAlarmstrom[i];
        m_dlgPB[i].m_dAlarmstrom = doc.m_dAlarmstrom[i];
        m_dAlarmstrom[i] = doc.m_dAlarmstrom[i];
    }
    for (int i = 0; i < kChannels; ++i) {
        m_dlgPB[i].m_dHysterese = doc.m_dHysterese[i];
        m_dHysterese[i] = doc.m_dHysterese[i];
    }

    m_dlgTimer.m_nTimerzeit = ToInt(doc.m_nTimerzeit);
    m_nTimerzeit = doc.m_nTimerzeit;
    m_dlgZoom.m_nAbfragezeit = doc.m_nAbfragezeit;
    m_dlgAbfragezeit.m_nAbfragezeit = ToInt(doc.m_nAbfragezeit);
    m_nAbfragezeit = doc.m_nAbfragezeit;

    // The file holds the raw energy of the last tick. The counter shows it
    // in its 0.001 Wh steps; the raw value keeps all of it, so the first
    // ticks hand the document back what it holds.
    for (int i = 0; i < kChannels; ++i) {
        m_dlgVerbrauch.m_dEnergie[i] = TruncToStep(doc.m_dVerbrauch[i], 1000.0);
        m_channel[i].m_dEnergieRoh = doc.m_dVerbrauch[i];
    }
    m_dlgVerbrauch.m_dGesamt = doc.m_dGesamtverbrauch;

    m_dlgCon.m_nStartRadio = doc.m_nStartRadio;
    m_dlgCon.m_nStopRadio = doc.m_nStopRadio;
    m_nStartWert = doc.m_nStartWert;
    m_dlgCon.m_nStartWert = m_nStartWert;
    m_nStopWert = doc.m_nStopWert;
    m_dlgCon.m_nStopWert = m_nStopWert;
}

void CVelkorView::SetChannelSource(IChannelSource* pSource)
{
    m_pSource = pSource;
    // A window taking over the hardware may stand still after a cutoff.
    if (pSource && GetDocument() && !IsTimerRunning(kMessTimer))
        SetTimer(kMessTimer, m_nAbfragezeit);
}

void CVelkorView::SetStale(int nChannel, bool bStale)
{
    const int i = nChannel - 1;
    if (m_bStale[i] == bStale)
        return;
    m_bStale[i] = bStale;
    // A reading kept from before a failed transfer is shown in grey italics.
    if (auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(kChannelIds[i].current))) {
        QFont f = edit->font();
        f.setItalic(bStale);
        edit->setFont(f);
        QPalette pal = edit->palette();
        // The disabled text colour is too faint to read on a read-only edit.
        pal.setColor(QPalette::Text,
                     bStale ? QColor(0x70, 0x70, 0x70) : palette().color(QPalette::Text));
        edit->setPalette(pal);
        edit->setToolTip(
            bStale
                ? QStringLiteral("Veralteter Messwert: der letzte Lesevorgang ist fehlgeschlagen")
                : QString());
    }
}

void CVelkorView::OnDestroy()
{
    KillTimer(kMessTimer);
    KillTimer(kAutomatikTimer);
    NotifyViewClosing(*this);
    CFormView::OnDestroy();
}
