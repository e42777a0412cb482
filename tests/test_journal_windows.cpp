// The journal and history windows, shown offscreen with real data.

#include "doc/VelkorDoc.h"
#include "framework/Numbers.h"
#include "helpers/TestSink.h"
#include "journal/HistoryWnd.h"
#include "journal/JournalFile.h"
#include "journal/JournalModel.h"
#include "journal/JournalModule.h"
#include "journal/JournalWnd.h"
#include "view/VelkorView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QStandardPaths>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

#include "helpers/ViewPanel.h"
#include <QDateTime>
#include <QWheelEvent>

namespace {

struct Panel : ViewPanel
{
    Panel()
    {
        view.KillTimer(CVelkorView::kMessTimer);
        view.KillTimer(CVelkorView::kAutomatikTimer);
    }
    ~Panel() { Close(); }
    void Close()
    {
        if (!closed)
            view.OnDestroy();
        closed = true;
    }
    bool closed = false;
};

QString Cell(QTableView* t, int row, int col)
{
    return t->model()->index(row, col).data().toString();
}

bool HasColour(const QImage& img, QColor c)
{
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) == c)
                return true;
    return false;
}

// Where to look at the pictures by hand.
void Keep(QWidget* w, const char* name)
{
    w->grab().save(QDir::temp().filePath(QString::fromLatin1(name)));
}

} // namespace

class TestJournalWindows : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        SetUiLocale(QLocale(QLocale::German, QLocale::Germany));
    }
    void init() { QDir(QFileInfo(CJournalFile::DefaultPath()).absolutePath()).removeRecursively(); }

    void journalWindowSortsFiltersAndCounts();
    void historyWindowDrawsCurrentsLimitsAndMarkers();
};

void TestJournalWindows::journalWindowSortsFiltersAndCounts()
{
    TestSink sink;
    CJournalModule journal(nullptr);
    Panel p;
    p.view.m_strName[1] = QStringLiteral("Gleis 2");
    p.view.OnTimer(1);
    p.view.m_channel[1].m_dStrom = 4.6;
    p.view.OnTimer(1); // cutoff of 2
    p.view.m_channel[1].m_dStrom = 1.0;
    p.view.OnTimer(2); // back on
    p.view.OnCmdMsg(kChannelIds[0].imageOn);
    p.view.m_channel[1].m_dStrom = 4.7;
    p.view.OnTimer(1); // second cutoff of 2

    journal.OnEreignisprotokoll();
    CJournalWnd* w = journal.JournalWindow();
    QVERIFY(w && w->isVisible());
    QTableView* t = w->Table();
    QCOMPARE(t->model()->rowCount(), 4);
    // Newest first.
    QCOMPARE(Cell(t, 0, CJournalModel::ColKind), QStringLiteral("Abschaltung"));
    QCOMPARE(Cell(t, 0, CJournalModel::ColCurrent), QStringLiteral("4,7"));
    QCOMPARE(Cell(t, 3, CJournalModel::ColCurrent),
             QStringLiteral("4,59")); // as the view shows 4.6
    QCOMPARE(w->Counts()->item(1, 1)->text(), QStringLiteral("Gleis 2"));
    QCOMPARE(w->Counts()->item(1, 2)->text(), QStringLiteral("2"));
    QCOMPARE(w->Counts()->item(1, 3)->text(), FormatEventTime(journal.Events()[3].time));
    QCOMPARE(w->Counts()->item(0, 2)->text(), QStringLiteral("0"));
    // Rows without events are named too.
    QCOMPARE(w->Counts()->item(0, 1)->text(), p.view.m_strName[0]);
    QCOMPARE(w->Counts()->item(15, 1)->text(), QStringLiteral("Kanal 16"));

    // A new event shows at once, counts included.
    p.view.OnTimer(2);
    p.view.m_channel[1].m_dStrom = 1.0;
    p.view.OnTimer(2);
    p.view.m_channel[1].m_dStrom = 4.8;
    p.view.OnTimer(1);
    QCOMPARE(w->Counts()->item(1, 2)->text(), QStringLiteral("3"));
    QCOMPARE(Cell(t, 0, CJournalModel::ColCurrent), QStringLiteral("4,8"));

    // Sorting by current orders by value.
    t->sortByColumn(CJournalModel::ColCurrent, Qt::AscendingOrder);
    for (int r = 1; r < t->model()->rowCount(); ++r)
        QVERIFY(t->model()
                    ->index(r - 1, CJournalModel::ColCurrent)
                    .data(CJournalModel::SortRole)
                    .toDouble() <= t->model()
                                       ->index(r, CJournalModel::ColCurrent)
                                       .data(CJournalModel::SortRole)
                                       .toDouble());
    t->sortByColumn(CJournalModel::ColTime, Qt::DescendingOrder);

    w->ChannelFilter()->setCurrentIndex(1); // channel 1
    QCOMPARE(t->model()->rowCount(), 1);
    QCOMPARE(Cell(t, 0, CJournalModel::ColKind), QStringLiteral("Manuell aus"));
    w->ChannelFilter()->setCurrentIndex(2);
    w->KindFilter()->setCurrentIndex(1 + int(ChannelEvent::Cutoff));
    QCOMPARE(t->model()->rowCount(), 3);
    w->ChannelFilter()->setCurrentIndex(0);
    QCOMPARE(w->ShownRows().size(), 3);
    QCOMPARE(w->ShownRows().first(), int(journal.Events().size()) - 1);
    w->KindFilter()->setCurrentIndex(0);
    Keep(w, "journal_window.png");
}

void TestJournalWindows::historyWindowDrawsCurrentsLimitsAndMarkers()
{
    TestSink sink;
    CJournalModule journal(nullptr);
    Panel p;
    for (int i = 0; i < 60; ++i) {
        p.view.m_channel[3].m_dStrom = 0.05 * i;
        p.view.OnTimer(1);
    }
    p.view.m_channel[1].m_dStrom = 4.6;
    p.view.OnTimer(1); // a cutoff marker on channel 2

    journal.OnVerlauf();
    CHistoryWnd* w = journal.HistoryWindow();
    QVERIFY(w && w->isVisible());
    QCOMPARE(w->View(), &p.view);
    QVERIFY(w->ChannelBox(1)->text().contains(p.view.m_strName[0]));
    for (int k = 3; k <= 16; ++k)
        w->ChannelBox(k)->setChecked(false);
    QVERIFY(!w->Chart()->IsChannelShown(5) && w->Chart()->IsChannelShown(2));
    w->SpanBox()->setCurrentIndex(0); // one minute
    QCOMPARE(w->Chart()->SpanMs(), qint64(60 * 1000));

    // Ticks in a test come microseconds apart: paint an hour at one tick a
    // second, with a trip in the middle, as a panel would have it.
    CViewHistory hour;
    double a[16] = {};
    for (int t = 0; t < CViewHistory::kCapacity; ++t) {
        a[0] = 2.0;
        a[1] = t < 1800 ? 3.0 + t * 0.0008 : 0.0;
        hour.AddPoint(1000 * qint64(t), a);
    }
    hour.AddMarker(1000 * 3570, 2, ChannelEvent::Cutoff);
    w->SetSource(&hour, &p.view);
    const QImage img = w->Chart()->grab().toImage();
    QVERIFY(HasColour(img, QColor(0, 80, 200)));  // the current
    QVERIFY(HasColour(img, QColor(220, 0, 0)));   // the Abschaltstrom
    QVERIFY(HasColour(img, QColor(220, 160, 0))); // the Alarmstrom
    QVERIFY(HasColour(img, QColor(200, 0, 0)));   // the cutoff marker

    // Each strip has its scale: 0 at the foot of the plot, the Maximalstrom
    // labelled, every value inside the frame's lines.
    const QList<CHistoryChart::Strip> strips = w->Chart()->Strips();
    QCOMPARE(strips.size(), 2);
    const CHistoryChart::Strip& s2 = strips[1];
    QCOMPARE(s2.nChannel, 2);
    QVERIFY(s2.frame.contains(s2.plot) && s2.plot.top() > s2.frame.top() &&
            s2.plot.bottom() < s2.frame.bottom());
    QCOMPARE(s2.Y(0), double(s2.plot.bottom()));
    QVERIFY(s2.top >= p.view.m_dMaximalstrom[1] && s2.top >= 3.0 + 1800 * 0.0008);
    QCOMPARE(CHistoryChart::ScaleLabel(p.view.m_dMaximalstrom[1]),
             FormatNumber(p.view.m_dMaximalstrom[1]) + QStringLiteral(" A"));
    const auto inked = [&](const QRect& r) {
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (qGray(img.pixel(x, y)) < 128)
                    return true;
        return false;
    };
    const int yMax = int(s2.Y(p.view.m_dMaximalstrom[1]));
    QVERIFY(inked(QRect(s2.frame.left() - 40, yMax - 3, 36, 7))); // "… A" at Maximalstrom
    QVERIFY(inked(QRect(s2.frame.left() - 40, s2.plot.bottom() - 4, 36, 5))); // "0 A"
    // The cut-off stretch is shaded from the trip to the end, not before it.
    const auto shadedAt = [&](double xFrac) {
        const int x = s2.plot.left() + int(xFrac * s2.plot.width());
        for (int y = s2.plot.top(); y <= s2.plot.bottom(); ++y)
            if (img.pixelColor(x, y) == CHistoryChart::CutoffShade())
                return true;
        return false;
    };
    QVERIFY(shadedAt(0.8));
    QVERIFY(!shadedAt(0.3));
    // Under the pointer: channel, time and current of the nearest sample.
    const QString tip = w->Chart()->ToolTipAt(QPoint(s2.plot.right(), s2.plot.center().y()));
    QVERIFY2(tip.startsWith(QStringLiteral("2 ") + p.view.m_strName[1]), qPrintable(tip));
    QVERIFY2(tip.contains(QDateTime::fromMSecsSinceEpoch(1000 * 3599).toString("HH:mm:ss")),
             qPrintable(tip));
    QVERIFY2(tip.endsWith(QStringLiteral("0 A")), qPrintable(tip));
    QVERIFY(w->Chart()->ToolTipAt(QPoint(2, 2)).isEmpty());
    Keep(w, "history_window.png");

    // The wheel zooms in and out within ten seconds and the hour.
    QWheelEvent in(QPointF(200, 100), QPointF(200, 100), {}, QPoint(0, 120 * 20), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w->Chart(), &in);
    QCOMPARE(w->Chart()->SpanMs(), CHistoryChart::kMinSpanMs);
    QWheelEvent out(QPointF(200, 100), QPointF(200, 100), {}, QPoint(0, -120 * 30), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w->Chart(), &out);
    QCOMPARE(w->Chart()->SpanMs(), CHistoryChart::kMaxSpanMs);
    QCOMPARE(w->SpanBox()->currentData().toLongLong(), CHistoryChart::kMaxSpanMs);

    // Closing the document leaves an empty window, not a dangling one.
    journal.OnVerlauf();
    QCOMPARE(w->View(), &p.view);
    p.Close();
    QCOMPARE(w->View(), nullptr);
    const QImage empty = w->Chart()->grab().toImage();
    QVERIFY(!HasColour(empty, QColor(0, 80, 200)));
}

QTEST_MAIN(TestJournalWindows)
#include "test_journal_windows.moc"
