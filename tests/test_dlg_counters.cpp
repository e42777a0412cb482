// Maximum-values and consumption-counter dialogs: live stores, clear buttons,
// refresh timing, and what OK takes back.

#include "dialogs/MaximalwerteDlg.h"
#include "dialogs/VerbrauchDlg.h"
#include "framework/Numbers.h"
#include "helpers/TestSink.h"
#include "res/resource.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

QLineEdit* edit(CDialog& d, int id)
{
    return qobject_cast<QLineEdit*>(d.GetDlgItem(id));
}
QString text(CDialog& d, int id)
{
    return edit(d, id)->text();
}
void click(CDialog& d, int id)
{
    qobject_cast<QPushButton*>(d.GetDlgItem(id))->click();
}

template <class Act> int execWith(CDialog& dlg, Act act)
{
    QTimer::singleShot(0, &dlg, [&] {
        act();
        if (dlg.isVisible())
            dlg.done(-99);
    });
    return dlg.DoModal();
}

// Replaces a field's text the way a user does, so the dialog sees it as edited.
void type(CDialog& d, int id, const QString& s)
{
    edit(d, id)->selectAll();
    QTest::keyClicks(edit(d, id), s);
}

} // namespace

class TestDlgCounters : public QObject
{
    Q_OBJECT
private slots:
    void peaksThroughModalLoop()
    {
        CMaximalwerteDlg d;
        d.m_strName[8] = "Input 9";
        d.m_dMax[8] = 1.25;
        const int r = execWith(d, [&] {
            QCOMPARE(d.TimerInterval(CMaximalwerteDlg::kTimerId), 1000);
            QCOMPARE(text(d, 1178), QStringLiteral("Input 9"));
            QCOMPARE(text(d, 1089), QStringLiteral("1,25"));
            QCOMPARE(text(d, 1081), QStringLiteral("0"));
            d.m_dMax[8] = 2.5; // the measurement cycle raises the peak
            QTest::keyClick(&d, Qt::Key_Return);
        });
        QCOMPARE(r, IDOK);
        QVERIFY(!d.IsTimerRunning(CMaximalwerteDlg::kTimerId));
        // OK must not write the second-old shown peak over the newer one.
        QCOMPARE(d.m_dMax[8], 2.5);
        QCOMPARE(execWith(d, [&] { QTest::keyClick(&d, Qt::Key_Escape); }), IDCANCEL);
        QCOMPARE(d.m_dMax[8], 2.5);
    }

    void peakClearButtons_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("channel");
        QTest::newRow("1") << 1148 << 1;
        QTest::newRow("2") << 1150 << 2;
        QTest::newRow("8") << 1156 << 8;
        QTest::newRow("9") << 1157 << 9;
        QTest::newRow("16") << 1164 << 16;
    }
    void peakClearButtons()
    {
        QFETCH(int, button);
        QFETCH(int, channel);
        CMaximalwerteDlg d;
        for (int i = 0; i < 16; ++i)
            d.m_dMax[i] = 1.0 + i;
        QVERIFY(d.Create());
        click(d, button);
        for (int i = 0; i < 16; ++i)
            QCOMPARE(d.m_dMax[i], i + 1 == channel ? 0.0 : 1.0 + i);
        // A single button shows at the next second only.
        QCOMPARE(text(d, MaxPeakEditId(channel)), FormatNumber(channel));
        d.OnTimer(CMaximalwerteDlg::kTimerId);
        QCOMPARE(text(d, MaxPeakEditId(channel)), QStringLiteral("0"));
    }

    void peakAlleLoeschenShowsAtOnce()
    {
        CMaximalwerteDlg d;
        for (double& m : d.m_dMax)
            m = 3.3;
        QVERIFY(d.Create());
        QCOMPARE(text(d, 1096), QStringLiteral("3,3"));
        click(d, IDC_MAX_ALLE_LOESCHEN);
        for (int k = 1; k <= 16; ++k) {
            QCOMPARE(d.m_dMax[k - 1], 0.0);
            QCOMPARE(text(d, MaxPeakEditId(k)), QStringLiteral("0"));
        }
    }

    void consumptionThroughModalLoop()
    {
        TestSink sink;
        CVerbrauchDlg d;
        d.m_strName[8] = "Input 9";
        d.m_dEnergie[8] = 1.5;
        d.m_dEnergie[0] = 7.0;
        const int r = execWith(d, [&] {
            QCOMPARE(d.TimerInterval(CVerbrauchDlg::kTimerId), 1000);
            QCOMPARE(text(d, 1178), QStringLiteral("Input 9"));
            type(d, 1113, "12,5"); // channel 9's Wh
            d.m_dEnergie[8] = 1.6; // the consumption tick goes on counting
            d.m_dEnergie[0] = 7.1;
            d.OnTimer(CVerbrauchDlg::kTimerId);
            QCOMPARE(text(d, 1113), QStringLiteral("12,5")); // the typing stays
            QCOMPARE(text(d, 1121), QStringLiteral("7,1"));
            d.m_dEnergie[0] = 7.2; // newer than the display
            click(d, IDOK);
        });
        QCOMPARE(r, IDOK);
        QCOMPARE(d.m_dEnergie[8], 12.5);
        QCOMPARE(d.m_dEnergie[0], 7.2); // untouched fields keep the live value
        QVERIFY(!d.IsTimerRunning(CVerbrauchDlg::kTimerId));
    }

    // A refused field keeps the dialog open and takes nothing back, not even
    // the good fields before it: the document copies these counters every tick.
    void badFieldTakesNothing()
    {
        TestSink sink;
        CVerbrauchDlg d;
        QVERIFY(d.Create());
        type(d, 1081, "10");   // channel 1's W
        type(d, 1122, "3,25"); // channel 2's Wh
        type(d, IDC_GESAMT, "x");
        sink.ExpectBoxes(1);
        d.OnCmdMsg(IDOK);
        QVERIFY(d.isVisible());
        QCOMPARE(sink.boxes.size(), 1);
        QCOMPARE(sink.boxes[0].text, QStringLiteral("Bitte geben Sie eine Zahl ein."));
        QCOMPARE(d.focusWidget(), edit(d, IDC_GESAMT));
        QCOMPARE(d.m_dLeistung[0], 0.0);
        QCOMPARE(d.m_dEnergie[1], 0.0);
        type(d, IDC_GESAMT, "0,5");
        d.OnCmdMsg(IDOK);
        QVERIFY(!d.isVisible());
        QCOMPARE(d.m_dLeistung[0], 10.0);
        QCOMPARE(d.m_dEnergie[1], 3.25);
        QCOMPARE(d.m_dGesamt, 0.5);
    }

    void consumptionClearButtons()
    {
        CVerbrauchDlg d;
        auto seed = [&] {
            for (int i = 0; i < 16; ++i) {
                d.m_dLeistung[i] = 16.0;
                d.m_dEnergie[i] = 2.0;
            }
            d.m_dGesamt = 0.75;
        };
        seed();
        QVERIFY(d.Create());
        click(d, 1163); // channel 16's "0"
        QCOMPARE(d.m_dEnergie[15], 0.0);
        QCOMPARE(d.m_dEnergie[14] + d.m_dLeistung[15] + d.m_dGesamt, 2.0 + 16.0 + 0.75);
        QCOMPARE(text(d, 1120), QStringLiteral("2")); // shown at the next second
        d.OnTimer(CVerbrauchDlg::kTimerId);
        QCOMPARE(text(d, 1120), QStringLiteral("0"));

        click(d, IDC_GESAMT_LOESCHEN);
        QCOMPARE(d.m_dGesamt, 0.0);
        QCOMPARE(d.m_dEnergie[0], 2.0);

        seed();
        type(d, 1125, "99"); // channel 5: typing, then "alle löschen"
        click(d, IDC_VERBRAUCH_ALLE_LOESCHEN);
        for (int i = 0; i < 16; ++i) {
            QCOMPARE(d.m_dEnergie[i], 0.0);
            QCOMPARE(d.m_dLeistung[i], 16.0);
        }
        QCOMPARE(d.m_dGesamt, 0.0);
        d.OnTimer(CVerbrauchDlg::kTimerId);
        QCOMPARE(text(d, 1125), QStringLiteral("0")); // the cleared value wins
        d.OnCmdMsg(IDOK);
        QCOMPARE(d.m_dEnergie[4], 0.0);
    }

    void cancelForgetsTyping()
    {
        CVerbrauchDlg d;
        d.m_dGesamt = 1.5;
        QVERIFY(d.Create());
        type(d, IDC_GESAMT, "9");
        QTest::keyClick(&d, Qt::Key_Escape);
        QCOMPARE(d.m_dGesamt, 1.5);
        d.m_dGesamt = 1.6;
        QVERIFY(d.Create());
        QCOMPARE(text(d, IDC_GESAMT), QStringLiteral("1,6"));
        d.m_dGesamt = 1.7;
        d.OnTimer(CVerbrauchDlg::kTimerId);
        QCOMPARE(text(d, IDC_GESAMT), QStringLiteral("1,7"));
    }
};

QTEST_MAIN(TestDlgCounters)
#include "test_dlg_counters.moc"
