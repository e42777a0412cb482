#include "dialogs/VerbrauchDlg.h"

#include "res/resource.h"

#include <QLineEdit>

#include <algorithm>

namespace {

// Exchange order (channel numbers) of the names, the powers and the energies.
constexpr int kNameOrder[16] = {1, 2, 3, 4, 16, 15, 14, 13, 12, 11, 10, 5, 6, 7, 8, 9};
constexpr int kLeistungOrder[16] = {1, 10, 11, 12, 13, 14, 15, 16, 2, 3, 4, 5, 6, 7, 8, 9};
constexpr int kEnergieOrder[16] = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 1};

} // namespace

CVerbrauchDlg::CVerbrauchDlg(QWidget* pParent) : CDialog(IDD_VERBRAUCH, pParent)
{
    for (int k = 1; k <= 16; ++k) {
        OnCommand(VerbrauchClearButtonId(k), [this, k] {
            m_dEnergie[k - 1] = 0.0;
            m_bEnergieEdited[k - 1] = false; // the cleared value wins over typing
        });
    }
    OnCommand(IDC_GESAMT_LOESCHEN, [this] {
        m_dGesamt = 0.0;
        m_bGesamtEdited = false;
    });
    OnCommand(IDC_VERBRAUCH_ALLE_LOESCHEN, [this] {
        for (int i = 0; i < 16; ++i) {
            m_dEnergie[i] = 0.0;
            m_bEnergieEdited[i] = false;
        }
        m_dGesamt = 0.0;
        m_bGesamtEdited = false;
    });
}

void CVerbrauchDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    if (!pDX->m_bSaveAndValidate) {
        // Fields the user is typing into keep the typing.
        for (int k : kNameOrder)
            DDX_Text(pDX, VerbrauchNameEditId(k), m_strName[k - 1]);
        for (int k : kLeistungOrder)
            if (!m_bLeistungEdited[k - 1])
                DDX_Text(pDX, VerbrauchPowerEditId(k), m_dLeistung[k - 1]);
        for (int k : kEnergieOrder)
            if (!m_bEnergieEdited[k - 1])
                DDX_Text(pDX, VerbrauchEnergyEditId(k), m_dEnergie[k - 1]);
        if (!m_bGesamtEdited)
            DDX_Text(pDX, IDC_GESAMT, m_dGesamt);
        return;
    }

    // Only edited fields come back, and only all together: the measurement
    // cycle hands these counters to the document, so a refused field must not
    // leave the fields before it half-taken.
    double leistung[16], energie[16];
    std::copy(std::begin(m_dLeistung), std::end(m_dLeistung), leistung);
    std::copy(std::begin(m_dEnergie), std::end(m_dEnergie), energie);
    double gesamt = m_dGesamt;
    for (int k : kLeistungOrder)
        if (m_bLeistungEdited[k - 1])
            DDX_Text(pDX, VerbrauchPowerEditId(k), leistung[k - 1]);
    for (int k : kEnergieOrder)
        if (m_bEnergieEdited[k - 1])
            DDX_Text(pDX, VerbrauchEnergyEditId(k), energie[k - 1]);
    if (m_bGesamtEdited)
        DDX_Text(pDX, IDC_GESAMT, gesamt);

    for (int i = 0; i < 16; ++i) {
        if (m_bLeistungEdited[i])
            m_dLeistung[i] = leistung[i];
        if (m_bEnergieEdited[i])
            m_dEnergie[i] = energie[i];
    }
    if (m_bGesamtEdited)
        m_dGesamt = gesamt;
}

int CVerbrauchDlg::OnCreate()
{
    if (CDialog::OnCreate() == -1)
        return -1;
    SetTimer(kTimerId, kTimerMs);
    return 0;
}

bool CVerbrauchDlg::OnInitDialog()
{
    forgetEdits();
    connectEdits();
    return CDialog::OnInitDialog();
}

void CVerbrauchDlg::OnTimer(quintptr nIDEvent)
{
    UpdateData(false);
    CDialog::OnTimer(nIDEvent);
}

void CVerbrauchDlg::OnOK()
{
    if (!UpdateData(true))
        return;
    forgetEdits();
    EndDialog(IDOK);
}

void CVerbrauchDlg::OnCancel()
{
    forgetEdits();
    CDialog::OnCancel();
}

void CVerbrauchDlg::connectEdits()
{
    if (m_bConnected)
        return;
    auto watch = [this](int nID, bool& flag) {
        if (auto* e = qobject_cast<QLineEdit*>(GetDlgItem(nID)))
            connect(e, &QLineEdit::textEdited, this, [&flag] { flag = true; });
    };
    for (int k = 1; k <= 16; ++k) {
        watch(VerbrauchPowerEditId(k), m_bLeistungEdited[k - 1]);
        watch(VerbrauchEnergyEditId(k), m_bEnergieEdited[k - 1]);
    }
    watch(IDC_GESAMT, m_bGesamtEdited);
    m_bConnected = true;
}

void CVerbrauchDlg::forgetEdits()
{
    std::fill(std::begin(m_bLeistungEdited), std::end(m_bLeistungEdited), false);
    std::fill(std::begin(m_bEnergieEdited), std::end(m_bEnergieEdited), false);
    m_bGesamtEdited = false;
}
