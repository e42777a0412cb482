#include "dialogs/ZoomDlg.h"

#include "framework/DialogTemplate.h"
#include "framework/ProgressCtrl.h"
#include "res/resource.h"

#include <QResizeEvent>
#include <QSizeGrip>
#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// Exchange order (channel numbers) of the bars, and of the names and currents.
constexpr int kBarOrder[16] = {9, 8, 7, 6, 5, 4, 3, 2, 16, 15, 14, 13, 12, 11, 10, 1};
constexpr int kTextOrder[16] = {1, 10, 11, 12, 13, 14, 15, 16, 2, 3, 4, 5, 6, 7, 8, 9};

struct ScaleLabel
{
    int channel;
    bool top;
};
constexpr ScaleLabel kLabelOrder[32] = {
    {1, true},   {1, false},  {2, true},   {3, true},   {4, true},   {5, true},   {6, true},
    {7, true},   {8, true},   {10, true},  {11, true},  {12, true},  {13, true},  {14, true},
    {15, true},  {16, true},  {9, true},   {11, false}, {10, false}, {12, false}, {13, false},
    {14, false}, {15, false}, {16, false}, {2, false},  {3, false},  {4, false},  {5, false},
    {6, false},  {7, false},  {8, false},  {9, false},
};

constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);

} // namespace

CZoomDlg::CZoomDlg(QWidget* pParent) : CDialog(IDD_ZOOM, pParent) {}

int CZoomDlg::BarPosition(double dStrom, double dMaximalstrom)
{
    // A full scale of 0 divides by zero: the bar simply stays empty.
    const double pos = std::trunc(100.0 / dMaximalstrom * dStrom);
    if (!std::isfinite(pos))
        return 0;
    return int(std::clamp(pos, double(INT_MIN), double(INT_MAX)));
}

void CZoomDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    for (int k : kBarOrder)
        DDX_Control(pDX, kChannelIds[k - 1].bar, m_ctlBalken[k - 1]);
    // The other fields are read-only: taking the shown values back on Enter
    // could only replace newer currents by older ones.
    if (pDX->m_bSaveAndValidate)
        return;
    for (int k : kTextOrder)
        DDX_Text(pDX, kChannelIds[k - 1].name, m_strName[k - 1]);
    for (int k : kTextOrder)
        DDX_Text(pDX, kChannelIds[k - 1].current, m_dStrom[k - 1]);
    for (const ScaleLabel& l : kLabelOrder) {
        const ChannelControlIds& ids = kChannelIds[l.channel - 1];
        if (l.top)
            DDX_Text(pDX, ids.top, m_dSkalaOben[l.channel - 1]);
        else
            DDX_Text(pDX, ids.middle, m_dSkalaMitte[l.channel - 1]);
    }
}

int CZoomDlg::OnCreate()
{
    if (CDialog::OnCreate() == -1)
        return -1;
    if (m_placed.isEmpty()) {
        const DialogTemplate* tpl = FindDialogTemplate(IDD_ZOOM);
        m_baseSize = QSize(Units().x(tpl->cx), Units().y(tpl->cy));
        m_baseFont = font();
        // Every control of the template, labels without an id included.
        for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (!qobject_cast<QSizeGrip*>(w))
                m_placed.append({w, w->geometry()});
    }
    // Each opening starts at the specified size; larger only scales the form.
    setMinimumSize(m_baseSize);
    resize(m_baseSize);
    ScaleForm();
    SetTimer(kTimerId, kTimerMs);
    return 0;
}

void CZoomDlg::resizeEvent(QResizeEvent* e)
{
    CDialog::resizeEvent(e);
    ScaleForm();
}

void CZoomDlg::ScaleForm()
{
    if (m_placed.isEmpty() || m_baseSize.isEmpty())
        return;
    const double s = std::max(1.0, std::min(double(width()) / m_baseSize.width(),
                                            double(height()) / m_baseSize.height()));
    // Centred in the room the proportions leave over.
    const double ox = (width() - m_baseSize.width() * s) / 2;
    const double oy = (height() - m_baseSize.height() * s) / 2;
    const auto at = [](double v) { return int(std::lround(v)); };
    if (s != m_scale) {
        QFont f = m_baseFont;
        f.setPointSizeF(m_baseFont.pointSizeF() * s);
        setFont(f);
        m_scale = s;
    }
    for (const Placed& p : std::as_const(m_placed)) {
        const QRect& b = p.base;
        // Edges scaled, not sizes: neighbours stay neighbours.
        const int left = at(ox + b.left() * s), top = at(oy + b.top() * s);
        const int right = at(ox + (b.left() + b.width()) * s);
        const int bottom = at(oy + (b.top() + b.height()) * s);
        const QRect r(left, top, right - left, bottom - top);
        if (p.widget->geometry() != r)
            p.widget->setGeometry(r);
    }
}

void CZoomDlg::OnTimer(quintptr nIDEvent)
{
    if (nIDEvent == kTimerId) {
        for (int i = 0; i < 16; ++i) {
            const int pos = BarPosition(m_dStrom[i], m_dMaximalstrom[i]);
            m_dProzent[i] = pos;
            CProgressCtrl* bar = m_ctlBalken[i];
            if (!bar)
                continue;
            bar->SetPos(pos);
            // One colour per tick: passing through yellow to red would
            // repaint a cut-off bar that did not change.
            COLORREF colour = m_dStrom[i] >= m_dAlarmstrom[i] ? kYellow : kGreen;
            if (m_dStrom[i] >= m_dAbschaltstrom[i])
                colour = kRed;
            bar->SendMessage(PBM_SETBARCOLOR, 0, colour);
        }
        UpdateData(false);
    }
    CDialog::OnTimer(nIDEvent);
}
