// The add-on windows follow the desktop's palette: the history's curve keeps
// its contrast on a dark ground, its grid stays faint, the journal's header
// fits its texts.

#include "helpers/TestSink.h"
#include "helpers/ViewPanel.h"
#include "journal/History.h"
#include "journal/HistoryWnd.h"
#include "journal/JournalModule.h"
#include "journal/JournalWnd.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <cmath>

namespace {

// WCAG relative luminance and contrast ratio.
double Luminance(QColor c)
{
    const auto lin = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
}

double Contrast(QColor a, QColor b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The contrast of the pixel in r that stands out most from the ground.
double Strongest(const QImage& img, const QRect& r, QColor ground)
{
    double best = 1;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            best = std::max(best, Contrast(img.pixelColor(x, y), ground));
    return best;
}

QRect Around(int x, double y)
{
    return QRect(x - 2, int(std::lround(y)) - 2, 5, 5);
}

QPalette Dark(QPalette pal)
{
    for (auto role : {QPalette::Window, QPalette::Base})
        pal.setColor(role, QColor(0x20, 0x20, 0x20));
    for (auto role : {QPalette::Text, QPalette::WindowText})
        pal.setColor(role, QColor(0xe0, 0xe0, 0xe0));
    return pal;
}

} // namespace

class TestHistoryPalette : public QObject
{
    Q_OBJECT
private slots:
    void curveStandsOutOnEveryGround_data();
    void curveStandsOutOnEveryGround();
    void journalHeaderFitsItsTexts();
};

void TestHistoryPalette::curveStandsOutOnEveryGround_data()
{
    QTest::addColumn<bool>("dark");
    QTest::newRow("hell") << false;
    QTest::newRow("dunkel") << true;
}

void TestHistoryPalette::curveStandsOutOnEveryGround()
{
    QFETCH(bool, dark);
    TestSink sink;
    ViewPanel p;
    p.view.KillTimer(CVelkorView::kMessTimer);
    p.view.KillTimer(CVelkorView::kAutomatikTimer);
    // Channel 1 alone, grid lines at 1, 2, 3 and 4 A, the current steady at
    // 1.5 A: the rows at 0.5 A and 2.5 A hold only the ground and the grid.
    p.view.m_dMaximalstrom[0] = 4.0;
    p.view.m_dAlarmstrom[0] = 3.5;
    p.view.m_dAbschaltstrom[0] = 3.8;
    CViewHistory hour;
    double a[16] = {1.5};
    for (int t = 0; t < 600; ++t)
        hour.AddPoint(1000 * qint64(t), a);

    CHistoryWnd w(nullptr);
    w.SetSource(&hour, &p.view);
    for (int k = 2; k <= 16; ++k)
        w.ChannelBox(k)->setChecked(false);
    if (dark)
        w.setPalette(Dark(w.palette()));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QImage img = w.Chart()->grab().toImage();
    const QList<CHistoryChart::Strip> strips = w.Chart()->Strips();
    QCOMPARE(strips.size(), 1);
    const CHistoryChart::Strip& s = strips[0];
    const int x = s.plot.left() + s.plot.width() * 42 / 100; // clear of the grid's columns
    const QColor ground = img.pixelColor(x, int(std::lround(s.Y(0.5))));
    QCOMPARE(Luminance(ground) < 0.05, dark);

    const double curve = Strongest(img, Around(x, s.Y(1.5)), ground);
    const int gridX = s.plot.left() + int(s.plot.width() / 6.0);
    const double grid = Strongest(img, Around(gridX, s.Y(2.5)), ground);
    qInfo("Kurve %.2f:1, Raster %.2f:1", curve, grid);
    QVERIFY2(curve >= 3.0, qPrintable(QString::number(curve)));
    QVERIFY2(grid > 1.05 && grid < curve / 2, qPrintable(QString::number(grid)));
    // The scale's texts are read on the same ground.
    const double label =
        Strongest(img, QRect(s.frame.left() - 40, s.plot.bottom() - 4, 36, 5), ground);
    QVERIFY2(label >= 4.5, qPrintable(QString::number(label)));
}

void TestHistoryPalette::journalHeaderFitsItsTexts()
{
    TestSink sink;
    CJournalModule journal(nullptr);
    journal.OnEreignisprotokoll();
    CJournalWnd* w = journal.JournalWindow();
    QVERIFY(w && w->isVisible());
    for (QHeaderView* h : {w->Table()->horizontalHeader(), w->Counts()->horizontalHeader()})
        for (int c = 0; c + 1 < h->count(); ++c) // the last one stretches
            QVERIFY2(h->sectionSize(c) >= h->sectionSizeHint(c),
                     qPrintable(h->model()->headerData(c, Qt::Horizontal).toString()));
}

QTEST_MAIN(TestHistoryPalette)
#include "test_history_palette.moc"
