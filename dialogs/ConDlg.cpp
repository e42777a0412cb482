#include "dialogs/ConDlg.h"

#include "res/resource.h"

CConDlg::CConDlg(QWidget* pParent) : CDialog(IDD_CON, pParent) {}

void CConDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Radio(pDX, IDC_START_EIN, m_nStartRadio);
    DDX_Radio(pDX, IDC_STOP_AUS, m_nStopRadio);
}

void CConDlg::OnOK()
{
    UpdateData(true); // a radio exchange cannot fail

    // "Ein" is first under Start but second under Stop.
    if (m_nStartRadio == 0)
        m_nStartWert = kAlleEin;
    else if (m_nStartRadio == 1)
        m_nStartWert = kAlleAus;

    if (m_nStopRadio == 0)
        m_nStopWert = kAlleAus;
    else if (m_nStopRadio == 1)
        m_nStopWert = kAlleEin;

    UpdateData(false);
    CDialog::OnOK();
}
