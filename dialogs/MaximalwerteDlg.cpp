#include "dialogs/MaximalwerteDlg.h"

#include "res/resource.h"

namespace {

// Exchange order of the peaks and of the names (channel numbers).
constexpr int kPeakOrder[16] = {10, 11, 12, 13, 14, 15, 16, 2, 3, 4, 5, 6, 7, 8, 9, 1};
constexpr int kNameOrder[16] = {10, 11, 12, 13, 14, 15, 16, 1, 2, 3, 4, 5, 6, 7, 8, 9};

} // namespace

CMaximalwerteDlg::CMaximalwerteDlg(QWidget* pParent) : CDialog(IDD_MAXIMALWERTE, pParent)
{
    for (int k = 1; k <= 16; ++k)
        OnCommand(MaxClearButtonId(k), [this, k] { OnLoeschen(k); });
    OnCommand(IDC_MAX_ALLE_LOESCHEN, [this] { OnAlleLoeschen(); });
}

void CMaximalwerteDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    // Every field is read-only: taking the shown peaks back on OK could only
    // replace newer peaks by older ones, so the exchange runs one way only.
    if (pDX->m_bSaveAndValidate)
        return;
    for (int k : kPeakOrder)
        DDX_Text(pDX, MaxPeakEditId(k), m_dMax[k - 1]);
    for (int k : kNameOrder)
        DDX_Text(pDX, MaxNameEditId(k), m_strName[k - 1]);
}

int CMaximalwerteDlg::OnCreate()
{
    if (CDialog::OnCreate() == -1)
        return -1;
    SetTimer(kTimerId, kTimerMs);
    return 0;
}

void CMaximalwerteDlg::OnTimer(quintptr nIDEvent)
{
    UpdateData(false);
    CDialog::OnTimer(nIDEvent);
}

// A single peak shows as cleared at the next refresh.
void CMaximalwerteDlg::OnLoeschen(int nChannel)
{
    m_dMax[nChannel - 1] = 0.0;
}

void CMaximalwerteDlg::OnAlleLoeschen()
{
    for (double& d : m_dMax)
        d = 0.0;
    UpdateData(false);
}
