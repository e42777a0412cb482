#include "framework/ProgressCtrl.h"

#include <QPainter>
#include <QPalette>

QColor ColorFromRef(COLORREF c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

CProgressCtrl::CProgressCtrl(QWidget* parent, bool vertical) : QWidget(parent), m_vertical(vertical)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

int CProgressCtrl::SetPos(int nPos)
{
    const int old = m_pos;
    const int clamped = qBound(m_lower, nPos, m_upper);
    if (clamped != m_pos) {
        m_pos = clamped;
        update();
    }
    return old;
}

void CProgressCtrl::SetRange(int lower, int upper)
{
    m_lower = lower;
    m_upper = qMax(lower, upper);
    m_pos = qBound(m_lower, m_pos, m_upper);
    update();
}

void CProgressCtrl::GetRange(int& lower, int& upper) const
{
    lower = m_lower;
    upper = m_upper;
}

COLORREF CProgressCtrl::SetBarColor(COLORREF color)
{
    const COLORREF old = m_color;
    if (color != m_color) {
        m_color = color;
        update();
    }
    return old;
}

qintptr CProgressCtrl::SendMessage(unsigned msg, quintptr, qintptr lParam)
{
    switch (msg) {
    case PBM_SETBARCOLOR: return qintptr(SetBarColor(COLORREF(lParam)));
    case PBM_SETPOS: return SetPos(int(lParam));
    default: return 0;
    }
}

void CProgressCtrl::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, palette().color(QPalette::Base));
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(r.adjusted(0, 0, -1, -1));
    const int span = m_upper - m_lower;
    if (span <= 0 || m_pos <= m_lower)
        return;
    const QRect inner = r.adjusted(1, 1, -1, -1);
    const QColor fill = m_color == CLR_DEFAULT ? palette().color(QPalette::Highlight) : ColorFromRef(m_color);
    QRect bar = inner;
    if (m_vertical) {
        const int h = int(qint64(inner.height()) * (m_pos - m_lower) / span);
        bar.setTop(inner.bottom() - h + 1);
    } else {
        bar.setWidth(int(qint64(inner.width()) * (m_pos - m_lower) / span));
    }
    p.fillRect(bar, fill);
}
