// Commands that open the dialogs the view owns. Only OK hands anything over;
// the dialogs show what their members hold and do their own validation. No
// command re-arms a running timer: new periods apply at its next start.

#include "doc/VelkorDoc.h"
#include "view/Truncate.h"
#include "view/VelkorView.h"

using namespace korva_view;

void CVelkorView::OnParameter(int nChannel)
{
    const int i = nChannel - 1;
    CPBDlg& dlg = m_dlgPB[i];
    if (dlg.DoModal() != IDOK)
        return;
    CVelkorDoc* pDoc = GetDocument();

    m_dlgVerbrauch.m_strName[i] = dlg.m_strName;
    m_dlgMaximalwerte.m_strName[i] = dlg.m_strName;
    m_dlgZoom.m_strName[i] = dlg.m_strName;
    m_strName[i] = dlg.m_strName;

    m_dlgZoom.m_dMaximalstrom[i] = dlg.m_dMaximalstrom;
    m_dSkalaOben[i] = dlg.m_dMaximalstrom;
    m_dlgZoom.m_dSkalaOben[i] = dlg.m_dMaximalstrom;
    m_dMaximalstrom[i] = dlg.m_dMaximalstrom;

    m_dlgZoom.m_dAlarmstrom[i] = dlg.m_dAlarmstrom;
    m_dAlarmstrom[i] = dlg.m_dAlarmstrom;
    m_dlgZoom.m_dAbschaltstrom[i] = dlg.m_dAbschaltstrom;
    m_dAbschaltstrom[i] = dlg.m_dAbschaltstrom;
    m_dHysterese[i] = dlg.m_dHysterese;

    if (pDoc) {
        pDoc->m_strName[i] = dlg.m_strName;
        pDoc->m_dMaximalstrom[i] = dlg.m_dMaximalstrom;
        pDoc->m_dAlarmstrom[i] = dlg.m_dAlarmstrom;
        pDoc->m_dAbschaltstrom[i] = dlg.m_dAbschaltstrom;
        pDoc->m_dHysterese[i] = dlg.m_dHysterese;
        pDoc->SetModifiedFlag(true);
    }

    m_dlgZoom.m_dSkalaMitte[i] = m_dSkalaOben[i] / 2.0;
    m_dSkalaMitte[i] = m_dlgZoom.m_dSkalaMitte[i];
    UpdateData(false);
    NotifySettingsChanged(*this);
}

void CVelkorView::OnTimerzeit()
{
    if (m_dlgTimer.DoModal() != IDOK)
        return;
    m_nTimerzeit = ToUInt(m_dlgTimer.m_nTimerzeit);
    if (CVelkorDoc* pDoc = GetDocument()) {
        pDoc->m_nTimerzeit = m_nTimerzeit;
        pDoc->SetModifiedFlag(true);
    }
    m_nTimerzeitMs = SecondsToMs(m_nTimerzeit);
    UpdateData(false);
    NotifySettingsChanged(*this);
}

void CVelkorView::OnAbfragezeit()
{
    if (m_dlgAbfragezeit.DoModal() != IDOK)
        return;
    m_dlgZoom.m_nAbfragezeit = ToUInt(m_dlgAbfragezeit.m_nAbfragezeit);
    m_nAbfragezeit = m_dlgZoom.m_nAbfragezeit;
    if (CVelkorDoc* pDoc = GetDocument()) {
        pDoc->m_nAbfragezeit = m_nAbfragezeit;
        pDoc->SetModifiedFlag(true);
    }
    // Real outputs: a new period counts from now, not from the next switch-on.
    if (IsHardwareMode() && IsTimerRunning(kMessTimer))
        SetTimer(kMessTimer, m_nAbfragezeit);
    UpdateData(false);
    NotifySettingsChanged(*this);
}

void CVelkorView::RunDisplayDialog(CDialog& dlg)
{
    if (dlg.DoModal() == IDOK)
        UpdateData(false);
}

void CVelkorView::OnMaximalwerte()
{
    RunDisplayDialog(m_dlgMaximalwerte);
}

void CVelkorView::OnVerbrauch()
{
    RunDisplayDialog(m_dlgVerbrauch);
}

void CVelkorView::OnZoom()
{
    RunDisplayDialog(m_dlgZoom);
}

// The choice reaches the document at the next tick.
void CVelkorView::OnStartStop()
{
    RunDisplayDialog(m_dlgCon);
}
