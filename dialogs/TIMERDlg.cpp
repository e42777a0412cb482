#include "dialogs/TIMERDlg.h"

#include "res/resource.h"

CTIMERDlg::CTIMERDlg(QWidget* pParent) : CDialog(IDD_TIMER, pParent) {}

void CTIMERDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    int value = m_nTimerzeit;
    DDX_Text(pDX, IDC_INTERVALL, value);
    DDV_MinMaxInt(pDX, value, kMin, kMax);
    m_nTimerzeit = value;
}
