#include "dialogs/AbfragezeitDlg.h"

#include "res/resource.h"

CAbfragezeitDlg::CAbfragezeitDlg(QWidget* pParent) : CDialog(IDD_ABFRAGEZEIT, pParent) {}

void CAbfragezeitDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    int value = m_nAbfragezeit;
    DDX_Text(pDX, IDC_INTERVALL, value);
    DDV_MinMaxInt(pDX, value, kMin, kMax);
    m_nAbfragezeit = value;
}
