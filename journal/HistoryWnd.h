#pragma once
// The "Verlauf" window: a strip chart per selected channel of one view's last
// hour, with the Alarmstrom and Abschaltstrom as lines and the journal's
// events as markers. Painted by hand: sixteen small strips of up to 3600
// points are one path each, repainted only while the window is shown.

#include "view/ViewEvents.h"

#include <QColor>
#include <QList>
#include <QRect>
#include <QWidget>

class CViewHistory;
class CVelkorView;
class QCheckBox;
class QComboBox;

class CHistoryChart : public QWidget
{
    Q_OBJECT
public:
    static constexpr qint64 kMinSpanMs = 10 * 1000;
    static constexpr qint64 kMaxSpanMs = 60 * 60 * 1000;

    explicit CHistoryChart(QWidget* parent = nullptr);
    void SetSource(const CViewHistory* history, const CVelkorView* view);
    void SetChannelShown(int nChannel, bool bShown);
    bool IsChannelShown(int nChannel) const { return m_bShown[nChannel - 1]; }
    void SetSpanMs(qint64 span);
    qint64 SpanMs() const { return m_span; }

    // Where one channel's strip is drawn: its frame, the plot inside it (the
    // frame's lines stay clear of every value) and the current at its top.
    struct Strip
    {
        int nChannel = 0;
        QRect row, frame, plot;
        double top = 0;
        double Y(double amps) const { return plot.bottom() - amps * plot.height() / top; }
    };
    QList<Strip> Strips() const;
    // The scale labels a strip shows: 0 and the Maximalstrom.
    static QString ScaleLabel(double amps);
    // Channel, time and current under a point of the chart; empty off the strips.
    QString ToolTipAt(const QPoint& pos) const;
    // Colours of the stretches a channel was cut off or switched off: a tint
    // of the ground, so they stay faint on a dark desktop theme too.
    static QColor CutoffShade(const QColor& base = Qt::white);
    static QColor OffShade(const QColor& base = Qt::white, const QColor& text = Qt::black);

signals:
    void SpanChanged(qint64 span);

protected:
    void paintEvent(QPaintEvent*) override;
    void wheelEvent(QWheelEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    // The colours of one paint, chosen against the palette's ground.
    struct Inks
    {
        QColor base, text, grid, frame, curve, alarm, cutoff, cutoffShade, offShade;
        QColor Marker(ChannelEvent kind) const;
    };
    Inks ChooseInks() const;
    void PaintStrip(QPainter& p, const Strip& s, qint64 tEnd, const Inks& ink) const;
    void PaintOffStretches(QPainter& p, const Strip& s, qint64 tStart, qint64 tEnd,
                           const Inks& ink) const;
    void PaintTimeAxis(QPainter& p, const QRect& r, qint64 tEnd, const Inks& ink) const;
    double X(const Strip& s, qint64 t, qint64 tEnd) const;

    const CViewHistory* m_history = nullptr;
    const CVelkorView* m_view = nullptr;
    bool m_bShown[16];
    qint64 m_span = 5 * 60 * 1000;
};

class CHistoryWnd : public QWidget
{
    Q_OBJECT
public:
    explicit CHistoryWnd(QWidget* parent);
    void SetSource(const CViewHistory* history, const CVelkorView* view);
    const CVelkorView* View() const { return m_view; }
    // A new point arrived: repaint when shown.
    void Refresh();

    CHistoryChart* Chart() const { return m_chart; }
    QCheckBox* ChannelBox(int nChannel) const { return m_boxes[nChannel - 1]; }
    QComboBox* SpanBox() const { return m_span; }

private:
    QWidget* CreateControls();

    const CVelkorView* m_view = nullptr;
    CHistoryChart* m_chart;
    QCheckBox* m_boxes[16] = {};
    QComboBox* m_span = nullptr;
};
