#include "dialogs/PBDlg.h"

#include <stdexcept>

namespace {

using F = CPBDlg::Field;

// Channels 2 ... 16 exchange the currents first and the name last; channel 1
// and channel 8 have orders of their own.
constexpr std::array<F, 5> kUsualOrder{F::Abschaltstrom, F::Alarmstrom, F::Hysterese,
                                       F::Maximalstrom, F::Name};
constexpr std::array<F, 5> kOrder1{F::Abschaltstrom, F::Maximalstrom, F::Name, F::Alarmstrom,
                                   F::Hysterese};
constexpr std::array<F, 5> kOrder8{F::Abschaltstrom, F::Hysterese, F::Alarmstrom, F::Maximalstrom,
                                   F::Name};

const CPBDlg::Row kRows[16] = {
    {IDD_PB1 + 0, "Parameter für Input 1", "Booster 1", kPBIds[0], kOrder1},
    {IDD_PB1 + 1, "Parameter für Input 2", "Booster 2", kPBIds[1], kUsualOrder},
    {IDD_PB1 + 2, "Parameter für Input 3", "Booster 3", kPBIds[2], kUsualOrder},
    {IDD_PB1 + 3, "Parameter für Input 4", "Booster 4", kPBIds[3], kUsualOrder},
    {IDD_PB1 + 4, "Parameter für Input 5", "Booster 5", kPBIds[4], kUsualOrder},
    {IDD_PB1 + 5, "Parameter für Input 6", "Booster 6", kPBIds[5], kUsualOrder},
    {IDD_PB1 + 6, "Parameter für Booster 7", "Booster 7", kPBIds[6], kUsualOrder},
    {IDD_PB1 + 7, "Parameter für Input 8", "Booster 8", kPBIds[7], kOrder8},
    {IDD_PB1 + 8, "Parameter für Input 9", "Booster 9", kPBIds[8], kUsualOrder},
    {IDD_PB1 + 9, "Parameter für Input 10", "Booster 10", kPBIds[9], kUsualOrder},
    {IDD_PB1 + 10, "Parameter für Input 11", "Booster 11", kPBIds[10], kUsualOrder},
    {IDD_PB1 + 11, "Parameter für Input 12", "Booster 12", kPBIds[11], kUsualOrder},
    {IDD_PB1 + 12, "Parameter für Input 13", "Booster 13", kPBIds[12], kUsualOrder},
    {IDD_PB1 + 13, "Parameter für Input 14", "Booster 14", kPBIds[13], kUsualOrder},
    {IDD_PB1 + 14, "Parameter für Input 15", "Booster 15", kPBIds[14], kUsualOrder},
    {IDD_PB1 + 15, "Parameter für Input 16", "Booster 16", kPBIds[15], kUsualOrder},
};

int checkedChannel(int nChannel)
{
    if (nChannel < 1 || nChannel > 16)
        throw std::out_of_range("CPBDlg: channel outside 1 ... 16");
    return nChannel;
}

} // namespace

const CPBDlg::Row& CPBDlg::RowOf(int nChannel)
{
    return kRows[checkedChannel(nChannel) - 1];
}

CPBDlg::CPBDlg(int nChannel, QWidget* pParent)
    : CDialog(RowOf(nChannel).nIDTemplate, pParent),
      m_strName(QString::fromUtf8(RowOf(nChannel).defaultName)), m_nChannel(nChannel)
{
}

bool CPBDlg::OnInitDialog()
{
    setWindowTitle(QString::fromUtf8(RowOf(m_nChannel).caption));
    return CDialog::OnInitDialog();
}

void CPBDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    for (Field f : RowOf(m_nChannel).order)
        exchangeField(pDX, f);
}

void CPBDlg::exchangeField(CDataExchange* pDX, Field field)
{
    const PBControlIds& ids = RowOf(m_nChannel).ids;
    // A refused value never lands in its member; fields before it in the
    // order have been stored already.
    auto current = [pDX](int nIDC, double& member) {
        double value = member;
        DDX_Text(pDX, nIDC, value);
        DDV_MinMaxDouble(pDX, value, kMinStrom, kMaxStrom);
        member = value;
    };
    switch (field) {
    case Field::Name: {
        QString name = m_strName;
        DDX_Text(pDX, ids.name, name);
        DDV_MaxChars(pDX, name, kMaxNameChars);
        m_strName = name;
        break;
    }
    case Field::Maximalstrom:
        current(ids.maximalstrom, m_dMaximalstrom);
        break;
    case Field::Abschaltstrom:
        current(ids.abschaltstrom, m_dAbschaltstrom);
        break;
    case Field::Alarmstrom:
        current(ids.alarmstrom, m_dAlarmstrom);
        break;
    case Field::Hysterese:
        current(ids.hysterese, m_dHysterese);
        break;
    }
}
