#include "journal/HistoryWnd.h"

#include "journal/History.h"
#include "view/VelkorView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>

namespace {

constexpr int kLabelWidth = 110;
constexpr int kAxisHeight = 20;

QColor MarkerColour(ChannelEvent kind)
{
    switch (kind) {
    case ChannelEvent::Cutoff:
    case ChannelEvent::AutoOnRefused:
    case ChannelEvent::ManualOnLocked:
        return QColor(200, 0, 0);
    case ChannelEvent::AutoOn:
    case ChannelEvent::ManualOn:
    case ChannelEvent::AllOn:
        return QColor(0, 140, 0);
    case ChannelEvent::ManualOff:
    case ChannelEvent::AllOff:
        return QColor(90, 90, 90);
    case ChannelEvent::TransferError:
        return QColor(230, 130, 0);
    case ChannelEvent::TransferRestored:
        return QColor(0, 90, 200);
    case ChannelEvent::Message:
        break;
    }
    return Qt::black;
}

} // namespace

CHistoryChart::CHistoryChart(QWidget* parent) : QWidget(parent)
{
    std::fill(std::begin(m_bShown), std::end(m_bShown), true);
    setMinimumSize(400, 300);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CHistoryChart::SetSource(const CViewHistory* history, const CVelkorView* view)
{
    m_history = history;
    m_view = view;
    update();
}

void CHistoryChart::SetChannelShown(int nChannel, bool bShown)
{
    m_bShown[nChannel - 1] = bShown;
    update();
}

void CHistoryChart::SetSpanMs(qint64 span)
{
    span = std::clamp(span, kMinSpanMs, kMaxSpanMs);
    if (span == m_span)
        return;
    m_span = span;
    update();
    emit SpanChanged(span);
}

void CHistoryChart::wheelEvent(QWheelEvent* e)
{
    // Wheel up zooms in on the newest part of the hour.
    const int steps = e->angleDelta().y() / 120;
    if (steps == 0)
        return;
    qint64 span = m_span;
    for (int i = 0; i < std::abs(steps); ++i)
        span = steps > 0 ? span * 2 / 3 : span * 3 / 2;
    SetSpanMs(span);
    e->accept();
}

void CHistoryChart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    int shown[16], n = 0;
    for (int k = 1; k <= 16; ++k)
        if (m_bShown[k - 1])
            shown[n++] = k;
    if (!m_history || !m_view || m_history->Size() == 0 || n == 0) {
        p.setPen(palette().color(QPalette::Text));
        p.drawText(rect(), Qt::AlignCenter,
                   m_view ? QStringLiteral("Noch keine Messwerte")
                          : QStringLiteral("Kein Dokument geöffnet"));
        return;
    }
    const qint64 tEnd = m_history->Time(m_history->Size() - 1);
    const QRect plot = rect().adjusted(0, 0, 0, -kAxisHeight);
    for (int s = 0; s < n; ++s) {
        const int top = plot.top() + plot.height() * s / n;
        const int bottom = plot.top() + plot.height() * (s + 1) / n;
        PaintStrip(p, QRect(0, top, width(), bottom - top), shown[s], tEnd);
    }
    PaintTimeAxis(p, QRect(kLabelWidth, plot.bottom() + 1, width() - kLabelWidth, kAxisHeight),
                  tEnd);
}

void CHistoryChart::PaintStrip(QPainter& p, const QRect& r, int k, qint64 tEnd) const
{
    const int i = k - 1;
    const QRect area = r.adjusted(kLabelWidth, 2, -4, -2);
    const qint64 tStart = tEnd - m_span;
    // Scale: the Abschaltstrom with some room, or the highest current shown.
    double top = std::max(0.1, m_view->m_dAbschaltstrom[i] * 1.1);
    int from = 0;
    while (from < m_history->Size() && m_history->Time(from) < tStart)
        ++from;
    for (int j = from; j < m_history->Size(); ++j)
        top = std::max(top, double(m_history->Current(j, k)) * 1.05);
    const auto x = [&](qint64 t) {
        return area.left() + double(t - tStart) * area.width() / double(m_span);
    };
    const auto y = [&](double a) { return area.bottom() - a * area.height() / top; };

    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(area);
    p.setPen(palette().color(QPalette::Text));
    const QString label = QStringLiteral("%1 %2").arg(k).arg(m_view->m_strName[i]);
    p.drawText(r.adjusted(4, 0, -(r.width() - kLabelWidth + 4), 0),
               Qt::AlignVCenter | Qt::AlignLeft, label);

    p.save();
    p.setClipRect(area);
    // Alarmstrom and Abschaltstrom.
    p.setPen(QPen(QColor(220, 160, 0), 1, Qt::DashLine));
    p.drawLine(QPointF(area.left(), y(m_view->m_dAlarmstrom[i])),
               QPointF(area.right(), y(m_view->m_dAlarmstrom[i])));
    p.setPen(QPen(QColor(220, 0, 0), 1, Qt::DashLine));
    p.drawLine(QPointF(area.left(), y(m_view->m_dAbschaltstrom[i])),
               QPointF(area.right(), y(m_view->m_dAbschaltstrom[i])));
    // The events of this channel and those of all channels.
    for (const CViewHistory::Marker& m : m_history->Markers()) {
        if (m.msec < tStart || (m.nChannel != k && m.nChannel != 0))
            continue;
        p.setPen(QPen(MarkerColour(m.kind), 1));
        p.drawLine(QPointF(x(m.msec), area.top()), QPointF(x(m.msec), area.bottom()));
    }
    // The currents; one point before the span so the line enters from the edge.
    QPainterPath path;
    const int start = std::max(0, from - 1);
    for (int j = start; j < m_history->Size(); ++j) {
        const QPointF pt(x(m_history->Time(j)), y(m_history->Current(j, k)));
        if (j == start)
            path.moveTo(pt);
        else
            path.lineTo(pt);
    }
    p.setPen(QPen(QColor(0, 80, 200), 1.2));
    p.drawPath(path);
    p.restore();
}

void CHistoryChart::PaintTimeAxis(QPainter& p, const QRect& r, qint64 tEnd) const
{
    p.setPen(palette().color(QPalette::Text));
    const QString fmt = QStringLiteral("HH:mm:ss");
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(tEnd - m_span);
    const QDateTime mid = QDateTime::fromMSecsSinceEpoch(tEnd - m_span / 2);
    const QDateTime end = QDateTime::fromMSecsSinceEpoch(tEnd);
    p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, start.toString(fmt));
    p.drawText(r, Qt::AlignHCenter | Qt::AlignVCenter, mid.toString(fmt));
    p.drawText(r.adjusted(0, 0, -4, 0), Qt::AlignRight | Qt::AlignVCenter, end.toString(fmt));
}

// ---- window ----

CHistoryWnd::CHistoryWnd(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("Verlauf"));
    setObjectName(QStringLiteral("Verlauf"));
    m_chart = new CHistoryChart;
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(CreateControls());
    layout->addWidget(m_chart, 1);
    resize(900, 700);
}

QWidget* CHistoryWnd::CreateControls()
{
    auto* panel = new QWidget;
    auto* v = new QVBoxLayout(panel);
    v->setContentsMargins(0, 0, 0, 0);
    v->addWidget(new QLabel(QStringLiteral("Zeitraum:")));
    m_span = new QComboBox;
    const int minutes[] = {1, 5, 15, 30, 60};
    for (int m : minutes)
        m_span->addItem(QStringLiteral("%1 min").arg(m), qint64(m) * 60 * 1000);
    m_span->setCurrentIndex(1);
    connect(m_span, &QComboBox::currentIndexChanged, this,
            [this] { m_chart->SetSpanMs(m_span->currentData().toLongLong()); });
    connect(m_chart, &CHistoryChart::SpanChanged, this, [this](qint64 span) {
        const int idx = m_span->findData(span);
        if (idx >= 0)
            m_span->setCurrentIndex(idx);
    });
    v->addWidget(m_span);
    v->addSpacing(8);
    for (int k = 1; k <= 16; ++k) {
        auto* box = new QCheckBox(QStringLiteral("Kanal %1").arg(k));
        box->setChecked(true);
        connect(box, &QCheckBox::toggled, this,
                [this, k](bool on) { m_chart->SetChannelShown(k, on); });
        m_boxes[k - 1] = box;
        v->addWidget(box);
    }
    v->addStretch();
    return panel;
}

void CHistoryWnd::SetSource(const CViewHistory* history, const CVelkorView* view)
{
    m_view = view;
    for (int k = 1; k <= 16; ++k)
        m_boxes[k - 1]->setText(view ? QStringLiteral("%1 %2").arg(k).arg(view->m_strName[k - 1])
                                     : QStringLiteral("Kanal %1").arg(k));
    m_chart->SetSource(history, view);
}

void CHistoryWnd::Refresh()
{
    if (isVisible())
        m_chart->update();
}
