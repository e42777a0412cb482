#include "journal/HistoryWnd.h"

#include "framework/Numbers.h"
#include "framework/WindowPlacement.h"
#include "journal/History.h"
#include "view/VelkorView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kLabelWidth = 150;
constexpr int kAxisHeight = 20;

// The colours were chosen for a white ground; on another ground each keeps
// its hue and moves its lightness until it stands out by the ratio given.
constexpr double kCurveContrast = 4.5;
constexpr double kMarkerContrast = 3.0;
// The limit lines are dashed guides beneath the curve: the amber of the
// Alarmstrom on white is the lightest that is still read as a line.
constexpr double kGuideContrast = 2.0;

// Relative luminance and contrast ratio as the WCAG define them.
double Luminance(const QColor& c)
{
    const auto lin = [](float v) {
        return v <= 0.04045f ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
}

double Contrast(const QColor& a, const QColor& b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor Mix(const QColor& a, const QColor& b, double t)
{
    const auto mix = [t](int x, int y) { return int(std::lround(x + (y - x) * t)); };
    return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

QColor Against(QColor c, const QColor& ground, double ratio)
{
    if (Contrast(c, ground) >= ratio)
        return c;
    const float step = Contrast(Qt::white, ground) > Contrast(Qt::black, ground) ? 0.02f : -0.02f;
    float h, s, l;
    c.getHslF(&h, &s, &l);
    while (Contrast(c, ground) < ratio && l > 0.0f && l < 1.0f) {
        l = std::clamp(l + step, 0.0f, 1.0f);
        c = QColor::fromHslF(h, s, l);
    }
    return c;
}

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
    case ChannelEvent::OutputUnconfirmed:
        return QColor(200, 0, 0);
    case ChannelEvent::TransferRestored:
        return QColor(0, 90, 200);
    case ChannelEvent::Message:
        break;
    }
    return Qt::black;
}

} // namespace

QColor CHistoryChart::CutoffShade(const QColor& base)
{
    return Mix(base, QColor(255, 0, 0), 41 / 255.0);
}

QColor CHistoryChart::OffShade(const QColor& base, const QColor& text)
{
    return Mix(base, text, 29 / 255.0);
}

QColor CHistoryChart::Inks::Marker(ChannelEvent kind) const
{
    return Against(MarkerColour(kind), base, kMarkerContrast);
}

CHistoryChart::Inks CHistoryChart::ChooseInks() const
{
    Inks ink;
    ink.base = palette().color(QPalette::Base);
    ink.text = palette().color(QPalette::Text);
    ink.grid = Mix(ink.base, ink.text, 0.13);
    ink.frame = palette().color(QPalette::Mid);
    ink.curve = Against(QColor(0, 80, 200), ink.base, kCurveContrast);
    ink.alarm = Against(QColor(220, 160, 0), ink.base, kGuideContrast);
    ink.cutoff = Against(QColor(220, 0, 0), ink.base, kGuideContrast);
    ink.cutoffShade = CutoffShade(ink.base);
    ink.offShade = OffShade(ink.base, ink.text);
    return ink;
}

CHistoryChart::CHistoryChart(QWidget* parent) : QWidget(parent)
{
    std::fill(std::begin(m_bShown), std::end(m_bShown), true);
    setMinimumSize(400, 300);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
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

QList<CHistoryChart::Strip> CHistoryChart::Strips() const
{
    QList<Strip> strips;
    if (!m_history || !m_view || m_history->Size() == 0)
        return strips;
    int shown[16], n = 0;
    for (int k = 1; k <= 16; ++k)
        if (m_bShown[k - 1])
            shown[n++] = k;
    const qint64 tStart = m_history->Time(m_history->Size() - 1) - m_span;
    int from = 0;
    while (from < m_history->Size() && m_history->Time(from) < tStart)
        ++from;
    const QRect chart = rect().adjusted(0, 0, 0, -kAxisHeight);
    for (int s = 0; s < n; ++s) {
        Strip st;
        st.nChannel = shown[s];
        const int i = st.nChannel - 1;
        const int top = chart.top() + chart.height() * s / n;
        const int bottom = chart.top() + chart.height() * (s + 1) / n;
        st.row = QRect(0, top, width(), bottom - top);
        st.frame = st.row.adjusted(kLabelWidth, 2, -4, -2);
        // Values stay off the frame's lines: a steady current at 0 A or at
        // the top of the scale must be seen.
        st.plot = st.frame.adjusted(1, 3, -1, -3);
        // The scale reaches the Maximalstrom, the Abschaltstrom and every
        // current shown, whichever is highest.
        st.top = std::max({0.1, m_view->m_dMaximalstrom[i], m_view->m_dAbschaltstrom[i] * 1.05});
        for (int j = from; j < m_history->Size(); ++j)
            st.top = std::max(st.top, double(m_history->Current(j, st.nChannel)) * 1.05);
        strips.append(st);
    }
    return strips;
}

QString CHistoryChart::ScaleLabel(double amps)
{
    return FormatNumber(amps) + QStringLiteral(" A");
}

double CHistoryChart::X(const Strip& s, qint64 t, qint64 tEnd) const
{
    return s.plot.left() + double(t - (tEnd - m_span)) * s.plot.width() / double(m_span);
}

void CHistoryChart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const Inks ink = ChooseInks();
    p.fillRect(rect(), ink.base);
    const QList<Strip> strips = Strips();
    if (strips.isEmpty()) {
        p.setPen(ink.text);
        p.drawText(rect(), Qt::AlignCenter,
                   m_view ? QStringLiteral("Noch keine Messwerte")
                          : QStringLiteral("Kein Dokument geöffnet"));
        return;
    }
    const qint64 tEnd = m_history->Time(m_history->Size() - 1);
    for (const Strip& s : strips)
        PaintStrip(p, s, tEnd, ink);
    const QRect& last = strips.constLast().row;
    PaintTimeAxis(p, QRect(kLabelWidth, last.bottom() + 1, width() - kLabelWidth, kAxisHeight),
                  tEnd, ink);
}

// Cut off (red) or switched off (grey) from the event that did it to the
// event that switched the channel on again.
void CHistoryChart::PaintOffStretches(QPainter& p, const Strip& s, qint64 tStart, qint64 tEnd,
                                      const Inks& ink) const
{
    const int k = s.nChannel;
    qint64 since = 0;
    QColor shade;
    const auto close = [&](qint64 until) {
        if (shade.isValid() && until > tStart) {
            const double x0 = X(s, std::max(since, tStart), tEnd), x1 = X(s, until, tEnd);
            p.fillRect(QRectF(x0, s.plot.top(), std::max(1.0, x1 - x0), s.plot.height()), shade);
        }
        shade = QColor();
    };
    for (const CViewHistory::Marker& m : m_history->Markers()) {
        if (m.nChannel != k && m.nChannel != 0)
            continue;
        switch (m.kind) {
        case ChannelEvent::Cutoff:
        case ChannelEvent::ManualOff:
        case ChannelEvent::AllOff:
            close(m.msec);
            since = m.msec;
            shade = m.kind == ChannelEvent::Cutoff ? ink.cutoffShade : ink.offShade;
            break;
        case ChannelEvent::AutoOn:
        case ChannelEvent::ManualOn:
        case ChannelEvent::AllOn:
            close(m.msec);
            break;
        default:
            break;
        }
    }
    close(tEnd);
}

void CHistoryChart::PaintStrip(QPainter& p, const Strip& s, qint64 tEnd, const Inks& ink) const
{
    const int k = s.nChannel;
    const int i = k - 1;
    const qint64 tStart = tEnd - m_span;
    const QRect& area = s.plot;

    PaintOffStretches(p, s, tStart, tEnd, ink);
    // A faint grid: quarters of the Maximalstrom, sixths of the span.
    p.setPen(QPen(ink.grid, 1));
    const double max = m_view->m_dMaximalstrom[i];
    if (max > 0)
        for (int q = 1; q <= 4; ++q)
            p.drawLine(QPointF(area.left(), s.Y(max * q / 4)),
                       QPointF(area.right(), s.Y(max * q / 4)));
    for (int q = 1; q < 6; ++q) {
        const double gx = area.left() + area.width() * q / 6.0;
        p.drawLine(QPointF(gx, area.top()), QPointF(gx, area.bottom()));
    }
    p.setPen(ink.frame);
    p.drawRect(s.frame);

    // Name on the left, the scale beside the frame: 0 at the foot, the
    // Maximalstrom at its height.
    p.setPen(ink.text);
    const QString label = QStringLiteral("%1 %2").arg(k).arg(m_view->m_strName[i]);
    p.drawText(QRect(s.row.left() + 4, s.row.top(), kLabelWidth - 50, s.row.height()),
               Qt::AlignVCenter | Qt::AlignLeft, label);
    QFont small = p.font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.8));
    p.save();
    p.setFont(small);
    const int fh = QFontMetrics(small).height();
    const auto scaleText = [&](double amps) {
        const int y = int(std::lround(s.Y(amps)));
        const QRect box(s.frame.left() - 48,
                        std::clamp(y - fh / 2, s.row.top(), s.row.bottom() - fh), 44, fh);
        p.drawText(box, Qt::AlignRight | Qt::AlignVCenter, ScaleLabel(amps));
    };
    scaleText(0);
    if (max > 0 && s.Y(max) + fh <= s.Y(0))
        scaleText(max);
    p.restore();

    p.save();
    p.setClipRect(s.frame.adjusted(1, 1, -1, -1));
    // Alarmstrom and Abschaltstrom.
    p.setPen(QPen(ink.alarm, 1, Qt::DashLine));
    p.drawLine(QPointF(area.left(), s.Y(m_view->m_dAlarmstrom[i])),
               QPointF(area.right(), s.Y(m_view->m_dAlarmstrom[i])));
    p.setPen(QPen(ink.cutoff, 1, Qt::DashLine));
    p.drawLine(QPointF(area.left(), s.Y(m_view->m_dAbschaltstrom[i])),
               QPointF(area.right(), s.Y(m_view->m_dAbschaltstrom[i])));
    // The events of this channel and those of all channels.
    for (const CViewHistory::Marker& m : m_history->Markers()) {
        if (m.msec < tStart || (m.nChannel != k && m.nChannel != 0))
            continue;
        p.setPen(QPen(ink.Marker(m.kind), 1));
        p.drawLine(QPointF(X(s, m.msec, tEnd), area.top()),
                   QPointF(X(s, m.msec, tEnd), area.bottom()));
    }
    // The currents; one point before the span so the line enters from the edge.
    int from = 0;
    while (from < m_history->Size() && m_history->Time(from) < tStart)
        ++from;
    QPainterPath path;
    const int start = std::max(0, from - 1);
    for (int j = start; j < m_history->Size(); ++j) {
        const QPointF pt(X(s, m_history->Time(j), tEnd), s.Y(m_history->Current(j, k)));
        if (j == start)
            path.moveTo(pt);
        else
            path.lineTo(pt);
    }
    p.setPen(QPen(ink.curve, 1.2));
    p.drawPath(path);
    p.restore();
}

QString CHistoryChart::ToolTipAt(const QPoint& pos) const
{
    for (const Strip& s : Strips()) {
        if (!s.frame.contains(pos))
            continue;
        const qint64 tEnd = m_history->Time(m_history->Size() - 1);
        const qint64 t =
            tEnd - m_span + qint64(double(pos.x() - s.plot.left()) * m_span / s.plot.width());
        // The sample nearest in time.
        int best = 0;
        for (int j = 1; j < m_history->Size(); ++j)
            if (std::abs(m_history->Time(j) - t) < std::abs(m_history->Time(best) - t))
                best = j;
        return QStringLiteral("%1 %2\n%3  %4")
            .arg(s.nChannel)
            .arg(m_view->m_strName[s.nChannel - 1])
            .arg(QDateTime::fromMSecsSinceEpoch(m_history->Time(best))
                     .toString(QStringLiteral("HH:mm:ss")))
            .arg(ScaleLabel(m_history->Current(best, s.nChannel)));
    }
    return {};
}

void CHistoryChart::mouseMoveEvent(QMouseEvent* e)
{
    const QString tip = ToolTipAt(e->position().toPoint());
    if (tip.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(e->globalPosition().toPoint(), tip, this);
    QWidget::mouseMoveEvent(e);
}

void CHistoryChart::PaintTimeAxis(QPainter& p, const QRect& r, qint64 tEnd, const Inks& ink) const
{
    p.setPen(ink.text);
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
    KeepWindowPlacement(this, QStringLiteral("Verlauf"));
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
