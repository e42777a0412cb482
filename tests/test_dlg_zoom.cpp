// Enlarged monitoring window: bar positions and colours per tick, display,
// and a full scale of 0.

#include "dialogs/ZoomDlg.h"
#include "framework/ProgressCtrl.h"
#include "res/resource.h"

#include <QHash>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

namespace {

QString text(CDialog& d, int id)
{
    return qobject_cast<QLineEdit*>(d.GetDlgItem(id))->text();
}

constexpr COLORREF kGreen = 0x0000FF00;
constexpr COLORREF kYellow = 0x0000FFFF;
constexpr COLORREF kRed = 0x000000FF;

} // namespace

class TestDlgZoom : public QObject
{
    Q_OBJECT
private slots:
    void throughModalLoop()
    {
        CZoomDlg d;
        d.m_strName[7] = "Input 8";
        d.m_dMaximalstrom[0] = 3.7;
        d.m_dAlarmstrom[0] = 3.0;
        d.m_dAbschaltstrom[0] = 3.5;
        d.m_dStrom[0] = 2.0;
        d.m_dSkalaOben[7] = 5.0;
        d.m_dSkalaMitte[7] = 2.5;
        QTimer::singleShot(0, &d, [&] {
            QCOMPARE(d.TimerInterval(CZoomDlg::kTimerId), 100);
            // Let the window's own timer run once.
            QTRY_COMPARE_WITH_TIMEOUT(d.m_ctlBalken[0] ? d.m_ctlBalken[0]->GetPos() : -1, 54, 2000);
            QCOMPARE(d.m_ctlBalken[0]->GetBarColor(), kGreen);
            QCOMPARE(text(d, 1042), QStringLiteral("Input 8"));
            QCOMPARE(text(d, 1175), QStringLiteral("5"));
            QCOMPARE(text(d, 50), QStringLiteral("2,5")); // channel 8's middle label
            QCOMPARE(text(d, 1002), QStringLiteral("2"));
            d.m_dStrom[0] = 2.1; // newer than the display
            QTest::keyClick(&d, Qt::Key_Enter);
            if (d.isVisible())
                d.done(-99);
        });
        QCOMPARE(d.DoModal(), IDOK);
        QCOMPARE(d.m_dStrom[0], 2.1); // Enter does not take the shown current back
        QCOMPARE(d.m_dProzent[0], 54.0);
        QVERIFY(!d.IsTimerRunning(CZoomDlg::kTimerId));
    }

    void barPerTick_data()
    {
        QTest::addColumn<double>("strom");
        QTest::addColumn<double>("max");
        QTest::addColumn<double>("alarm");
        QTest::addColumn<double>("ab");
        QTest::addColumn<int>("pos");
        QTest::addColumn<COLORREF>("colour");
        QTest::newRow("below alarm") << 3.99 << 5.0 << 4.0 << 4.5 << 79 << kGreen;
        QTest::newRow("at alarm") << 4.0 << 5.0 << 4.0 << 4.5 << 80 << kYellow;
        QTest::newRow("at cutoff") << 4.5 << 5.0 << 4.0 << 4.5 << 90 << kRed;
        QTest::newRow("cutoff below alarm") << 4.8 << 5.0 << 4.9 << 4.0 << 96 << kRed;
        QTest::newRow("above full scale") << 5.0 << 2.5 << 9.0 << 9.0 << 100 << kGreen;
        QTest::newRow("full scale 0") << 1.0 << 0.0 << 4.0 << 4.5 << 0 << kGreen;
        QTest::newRow("0 on full scale 0") << 0.0 << 0.0 << 0.0 << 0.0 << 0 << kRed;
    }
    void barPerTick()
    {
        QFETCH(double, strom);
        QFETCH(double, max);
        QFETCH(double, alarm);
        QFETCH(double, ab);
        QFETCH(int, pos);
        QFETCH(COLORREF, colour);
        CZoomDlg d;
        for (int i = 0; i < 16; ++i) {
            d.m_dStrom[i] = strom;
            d.m_dMaximalstrom[i] = max;
            d.m_dAlarmstrom[i] = alarm;
            d.m_dAbschaltstrom[i] = ab;
        }
        QVERIFY(d.Create());
        d.OnTimer(CZoomDlg::kTimerId);
        for (int k = 1; k <= 16; ++k) {
            auto* bar = qobject_cast<CProgressCtrl*>(d.GetDlgItem(kChannelIds[k - 1].bar));
            QCOMPARE(d.m_ctlBalken[k - 1], bar);
            QCOMPARE(bar->GetPos(), pos);
            QCOMPARE(bar->GetBarColor(), colour);
        }
        // The stored position is the whole number before the bar clamps it.
        QCOMPARE(d.m_dProzent[15], max == 2.5 ? 200.0 : double(pos));
        d.EndDialog(IDCANCEL);
    }

    // Twice the size: the whole form at twice its size, bars, numbers and
    // names alike; a refresh repaints only the channel that changed.
    void scalesWithTheWindowAndRepaintsOnlyChanges()
    {
        CZoomDlg d;
        for (int i = 0; i < 16; ++i) {
            d.m_dMaximalstrom[i] = 5.0;
            d.m_dAlarmstrom[i] = 4.0;
            d.m_dAbschaltstrom[i] = 4.5;
            d.m_dStrom[i] = 1.0;
        }
        d.m_dStrom[4] = 4.8; // cut off: red every tick
        QVERIFY(d.Create());
        d.OnTimer(CZoomDlg::kTimerId);
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        const QSize base = d.size();
        CProgressCtrl* bar = d.m_ctlBalken[0];
        auto* name = d.GetDlgItem(kChannelIds[0].name);
        const QRect bar1 = bar->geometry(), name1 = name->geometry();
        const qreal pt1 = name->font().pointSizeF();

        d.resize(base * 2);
        QTRY_COMPARE(d.Scale(), 2.0);
        QVERIFY(qAbs(bar->height() - 2 * bar1.height()) <= 1);
        QVERIFY(qAbs(bar->width() - 2 * bar1.width()) <= 1);
        QVERIFY(qAbs(bar->y() - 2 * bar1.y()) <= 1);
        QVERIFY(qAbs(name->width() - 2 * name1.width()) <= 1);
        QCOMPARE(name->font().pointSizeF(), 2 * pt1);
        // Wider than the proportions ask: the form stays centred at that scale.
        d.resize(base.width() * 3, base.height() * 2);
        QTRY_COMPARE(d.geometry().size(), QSize(base.width() * 3, base.height() * 2));
        QCOMPARE(d.Scale(), 2.0);
        QVERIFY(qAbs(bar->x() - (2 * bar1.x() + base.width() / 2)) <= 1);
        QTest::qWait(50);

        struct Counter : QObject
        {
            QHash<QObject*, int> paints;
            bool eventFilter(QObject* o, QEvent* e) override
            {
                if (e->type() == QEvent::Paint)
                    ++paints[o];
                return false;
            }
        } counter;
        for (QWidget* w : d.findChildren<QWidget*>())
            w->installEventFilter(&counter);
        d.m_dStrom[2] = 2.0;
        d.OnTimer(CZoomDlg::kTimerId);
        QTRY_VERIFY(counter.paints.value(d.m_ctlBalken[2]) > 0);
        QTest::qWait(50);
        for (int i = 0; i < 16; ++i) {
            const ChannelControlIds& ids = kChannelIds[i];
            for (QObject* w : {static_cast<QObject*>(d.m_ctlBalken[i]),
                               static_cast<QObject*>(d.GetDlgItem(ids.current)),
                               static_cast<QObject*>(d.GetDlgItem(ids.name))})
                if (i != 2)
                    QVERIFY2(counter.paints.value(w) == 0, qPrintable(QString::number(i + 1)));
        }
        d.EndDialog(IDCANCEL);
    }
};

QTEST_MAIN(TestDlgZoom)
#include "test_dlg_zoom.moc"
