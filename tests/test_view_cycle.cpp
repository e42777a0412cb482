// The measurement cycle: its arithmetic, the cutoff state machine with the
// automatic switch-on, energy counting and a simulated day.

#include "doc/VelkorDoc.h"
#include "framework/DataExchange.h"
#include "framework/ProgressCtrl.h"
#include "helpers/TestSink.h"
#include "view/VelkorView.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <climits>
#include <unistd.h>

namespace {

struct Panel
{
    CVelkorDoc doc;
    CVelkorView view;

    explicit Panel(bool bStart = true)
    {
        doc.OnNewDocument();
        view.SetDocument(&doc);
        if (bStart)
            view.OnInitialUpdate();
    }
    QString text(int id) const { return GetControlText(view.GetDlgItem(id)); }
    CProgressCtrl* bar(int k) const { return view.m_ctlBalken[k - 1]; }
    ChannelState& ch(int k) { return view.m_channel[k - 1]; }
    double& energie(int k) { return view.m_dlgVerbrauch.m_dEnergie[k - 1]; }
    double& leistung(int k) { return view.m_dlgVerbrauch.m_dLeistung[k - 1]; }
    // Channel 3 off: only the fixed 2 A and 4 A of channels 1 and 2 remain.
    void stopRamp() { view.OnSchalterAus(3); }
};

qint64 residentKiB()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.value(1).toLongLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

} // namespace

class TestViewCycle : public QObject
{
    Q_OBJECT
private slots:
    void firstTickOfDefaultDocument();
    void colourAndCutoffAtThresholds_data();
    void colourAndCutoffAtThresholds();
    void twoChannelsCutOffInOneTick();
    void automaticSwitchOnNeedsCurrentBelowHysteresis();
    void timerzeitZeroLeavesChannelsOff();
    void otherTimerIdsOnlyCopyAndMarkModified();
    void rampSteps();
    void peakHoldsAndIsRaisedAfterClear();
    void barConversions_data();
    void barConversions();
    void energyAndTotalPerConsumptionTick();
    void counterNeverRunsBackwards();
    void consumptionTimerRunsOnItsOwnBelowOneSecond();
    void countersContinueFromLoadedFile();
    void loadedEnergyShowsInCounterSteps();
    void simulatedDay();
};

void TestViewCycle::firstTickOfDefaultDocument()
{
    TestSink sink;
    Panel p;
    p.doc.SetModifiedFlag(false);
    p.view.OnTimer(CVelkorView::kMessTimer);

    QCOMPARE(p.ch(1).m_dAnzeigestrom, 2.0);
    QCOMPARE(p.text(kChannelIds[0].current), QStringLiteral("2"));
    QCOMPARE(p.ch(1).m_dBalken, 54.0);
    QCOMPARE(p.bar(1)->GetPos(), 54);
    QCOMPARE(p.bar(1)->GetBarColor(), RGB(0, 255, 0));
    QCOMPARE(p.leistung(1), 32.0);

    QCOMPARE(p.ch(2).m_dAnzeigestrom, 4.0);
    QCOMPARE(p.ch(2).m_dBalken, 80.0);
    QCOMPARE(p.bar(2)->GetPos(), 80);
    QCOMPARE(p.bar(2)->GetBarColor(), RGB(255, 255, 0));
    QCOMPARE(p.leistung(2), 64.0);
    QCOMPARE(p.ch(2).m_bAbgeschaltet, 0);

    // The ramp's first step, shown in the user's locale.
    QCOMPARE(p.text(kChannelIds[2].current), QStringLiteral("0,05"));
    QCOMPARE(p.bar(16)->GetPos(), 0);
    QCOMPARE(p.bar(16)->GetBarColor(), RGB(0, 255, 0));

    QCOMPARE(p.view.m_dlgMaximalwerte.m_dMax[0], 2.0);
    QCOMPARE(p.view.m_dlgZoom.m_dStrom[1], 4.0);
    QVERIFY(sink.beeps.isEmpty());
    QVERIFY(p.view.IsSwitchedOn(2));
    QVERIFY(p.view.IsTimerRunning(CVelkorView::kMessTimer));
    QCOMPARE(p.view.TimerInterval(CVelkorView::kVerbrauchTimer), 1000);
    QVERIFY(p.doc.IsModified());
}

void TestViewCycle::colourAndCutoffAtThresholds_data()
{
    QTest::addColumn<double>("strom");
    QTest::addColumn<double>("alarm");
    QTest::addColumn<double>("abschalt");
    QTest::addColumn<quint32>("colour");
    QTest::addColumn<bool>("cut");
    QTest::newRow("below alarm") << 3.99 << 4.0 << 4.5 << RGB(0, 255, 0) << false;
    QTest::newRow("at alarm") << 4.0 << 4.0 << 4.5 << RGB(255, 255, 0) << false;
    QTest::newRow("at abschalt") << 4.5 << 4.0 << 4.5 << RGB(255, 0, 0) << true;
    QTest::newRow("abschalt below alarm") << 3.0 << 4.0 << 2.5 << RGB(255, 0, 0) << true;
}

// Channel 5 has no source of its own, so the test sets its current.
void TestViewCycle::colourAndCutoffAtThresholds()
{
    QFETCH(double, strom);
    QFETCH(double, alarm);
    QFETCH(double, abschalt);
    QFETCH(quint32, colour);
    QFETCH(bool, cut);
    TestSink sink;
    Panel p;
    p.view.m_dAlarmstrom[4] = alarm;
    p.view.m_dAbschaltstrom[4] = abschalt;
    p.ch(5).m_dStrom = strom;
    p.view.OnTimer(CVelkorView::kMessTimer);

    QCOMPARE(p.bar(5)->GetBarColor(), colour);
    QCOMPARE(p.ch(5).m_bAbgeschaltet, cut ? 1 : 0);
    QCOMPARE(p.view.IsSwitchedOn(5), !cut);
    QCOMPARE(sink.beeps.size(), cut ? 1 : 0);
    QCOMPARE(p.view.IsTimerRunning(CVelkorView::kMessTimer), !cut);
    if (cut) {
        QVERIFY(!p.view.GetDlgItem(kChannelIds[4].imageOff)->isHidden());
        QCOMPARE(sink.beeps.first(), 0xFFFFFFFFu);
        QCOMPARE(p.view.TimerInterval(CVelkorView::kAutomatikTimer), 30000);
    }
}

void TestViewCycle::twoChannelsCutOffInOneTick()
{
    TestSink sink;
    Panel p;
    p.view.m_dAbschaltstrom[0] = 1.5;
    p.view.m_dAbschaltstrom[1] = 4.0;
    p.view.OnTimer(CVelkorView::kMessTimer);

    QCOMPARE(sink.beeps.size(), 2);
    QCOMPARE(p.ch(1).m_bAbgeschaltet, 1);
    QCOMPARE(p.ch(2).m_bAbgeschaltet, 1);
    QVERIFY(!p.view.IsSwitchedOn(1));
    QVERIFY(!p.view.IsSwitchedOn(2));
    QVERIFY(p.view.IsSwitchedOn(3));
    QCOMPARE(p.bar(1)->GetBarColor(), RGB(255, 0, 0));
    QVERIFY(!p.view.IsTimerRunning(CVelkorView::kMessTimer));
    QCOMPARE(p.view.TimerInterval(CVelkorView::kAutomatikTimer), 30000);
    // Numbers stand still while measurement is stopped; the shown values are
    // those of the cutting tick.
    QCOMPARE(p.text(kChannelIds[0].current), QStringLiteral("2"));
}

// Abschaltstrom - Hysterese must be strictly above the current; equality
// keeps the lock and beeps again at every automatic tick.
void TestViewCycle::automaticSwitchOnNeedsCurrentBelowHysteresis()
{
    TestSink sink;
    Panel p;
    p.view.m_dAbschaltstrom[4] = 3.5;
    p.view.m_dHysterese[4] = 0.5;
    p.ch(5).m_dStrom = 3.5;
    p.view.OnTimer(CVelkorView::kMessTimer);
    QCOMPARE(p.ch(5).m_bAbgeschaltet, 1);

    p.ch(5).m_dStrom = 3.0; // exactly 3.5 - 0.5
    p.view.OnTimer(CVelkorView::kAutomatikTimer);
    QCOMPARE(p.ch(5).m_bAbgeschaltet, 1);
    QCOMPARE(sink.beeps.size(), 2);
    QVERIFY(!p.view.IsSwitchedOn(5));
    QVERIFY(!p.view.IsTimerRunning(CVelkorView::kMessTimer));
    QVERIFY(p.view.IsTimerRunning(CVelkorView::kAutomatikTimer));

    p.view.m_nAbfragezeit = 250; // a new interval applies at the next start
    p.ch(5).m_dStrom = 2.99;
    p.view.OnTimer(CVelkorView::kAutomatikTimer);
    QCOMPARE(p.ch(5).m_bAbgeschaltet, 0);
    QVERIFY(p.view.IsSwitchedOn(5));
    QCOMPARE(sink.beeps.size(), 2);
    QCOMPARE(p.view.TimerInterval(CVelkorView::kMessTimer), 250);

    // Measurement runs again: the next tick moves the numbers on.
    const double rampe = p.view.m_dRampe;
    p.view.OnTimer(CVelkorView::kMessTimer);
    QVERIFY(p.view.m_dRampe > rampe);
    QCOMPARE(p.text(kChannelIds[4].current), QStringLiteral("2,99"));
}

void TestViewCycle::timerzeitZeroLeavesChannelsOff()
{
    TestSink sink;
    Panel p;
    p.view.m_nTimerzeitMs = 0;
    p.view.m_dAbschaltstrom[0] = 1.5;
    p.view.OnTimer(CVelkorView::kMessTimer);
    p.view.m_dAbschaltstrom[0] = 4.5; // current now far below the limit
    p.view.OnTimer(CVelkorView::kAutomatikTimer);
    QCOMPARE(p.ch(1).m_bAbgeschaltet, 1);
    QVERIFY(!p.view.IsSwitchedOn(1));
    QVERIFY(!p.view.IsTimerRunning(CVelkorView::kMessTimer));
    QCOMPARE(sink.beeps.size(), 1);
}

void TestViewCycle::otherTimerIdsOnlyCopyAndMarkModified()
{
    TestSink sink;
    Panel p;
    p.view.m_dlgCon.m_nStartRadio = 1;
    p.view.m_dlgCon.m_nStartWert = 0;
    p.view.m_dlgCon.m_nStopRadio = 1;
    p.view.m_dlgCon.m_nStopWert = 255;
    p.view.m_dlgVerbrauch.m_dGesamt = 7.5;
    p.doc.SetModifiedFlag(false);

    p.view.OnTimer(3);
    QVERIFY(p.doc.IsModified());
    QCOMPARE(p.doc.m_nStartRadio, 1);
    QCOMPARE(p.doc.m_nStartWert, 0);
    QCOMPARE(p.doc.m_nStopRadio, 1);
    QCOMPARE(p.doc.m_nStopWert, 255);
    QCOMPARE(p.doc.m_dGesamtverbrauch, 7.5);
    QCOMPARE(p.view.m_dRampe, 0.0);
    QCOMPARE(p.ch(1).m_dAnzeigestrom, 0.0);
    QVERIFY(!p.view.IsTimerRunning(CVelkorView::kVerbrauchTimer));
}

// In double arithmetic the 90th value stays just below 4.5, so the 91st
// starts over and the ramp never reaches the default Abschaltstrom.
void TestViewCycle::rampSteps()
{
    TestSink sink;
    Panel p;
    for (int n = 1; n <= 79; ++n)
        p.view.OnTimer(CVelkorView::kMessTimer);
    p.view.OnTimer(CVelkorView::kMessTimer);
    QCOMPARE(p.text(kChannelIds[2].current), QStringLiteral("3,99"));
    QCOMPARE(p.bar(3)->GetBarColor(), RGB(0, 255, 0));
    p.view.OnTimer(CVelkorView::kMessTimer);
    QCOMPARE(p.text(kChannelIds[2].current), QStringLiteral("4,04"));
    QCOMPARE(p.bar(3)->GetBarColor(), RGB(255, 255, 0));
    for (int n = 82; n <= 90; ++n)
        p.view.OnTimer(CVelkorView::kMessTimer);
    QCOMPARE(p.ch(3).m_dStrom, 4.499999999999992);
    QCOMPARE(p.ch(3).m_bAbgeschaltet, 0);
    p.view.OnTimer(CVelkorView::kMessTimer);
    QCOMPARE(p.ch(3).m_dStrom, 0.0);
    QCOMPARE(p.view.NextRampValue(), 0.05);
    QVERIFY(sink.beeps.isEmpty());
}

void TestViewCycle::peakHoldsAndIsRaisedAfterClear()
{
    TestSink sink;
    Panel p;
    double* peak = p.view.m_dlgMaximalwerte.m_dMax;
    p.ch(5).m_dStrom = 2.789;
    p.view.OnTimer(CVelkorView::kMessTimer);
    QCOMPARE(peak[4], 2.78); // the shown current, cut to 0.01 A
    QCOMPARE(p.view.m_dlgZoom.m_dStrom[4], 2.7);
    p.ch(5).m_dStrom = 1.0;
    p.view.OnTimer(CVelkorView::kMessTimer);
    QCOMPARE(peak[4], 2.78);

    peak[0] = 0.0; // as the clear button does
    p.view.OnTimer(CVelkorView::kMessTimer);
    QCOMPARE(peak[0], 2.0);
}

void TestViewCycle::barConversions_data()
{
    QTest::addColumn<double>("maximal");
    QTest::addColumn<double>("strom");
    QTest::addColumn<double>("balken");
    QTest::addColumn<int>("pos");
    QTest::newRow("Maximalstrom 0") << 0.0 << 2.0 << 0.0 << 0;
    QTest::newRow("Maximalstrom 0, no current") << 0.0 << 0.0 << 0.0 << 0;
    QTest::newRow("above full scale") << 5.0 << 6.0 << 120.0 << 100;
    QTest::newRow("beyond the integer range") << 1e-300 << 2.0 << double(INT_MAX) << 100;
    QTest::newRow("negative full scale") << -5.0 << 2.0 << -40.0 << 0;
}

void TestViewCycle::barConversions()
{
    QFETCH(double, maximal);
    QFETCH(double, strom);
    QFETCH(double, balken);
    QFETCH(int, pos);
    TestSink sink;
    Panel p;
    p.view.m_dMaximalstrom[5] = maximal;
    p.ch(6).m_dStrom = strom;
    p.view.OnTimer(CVelkorView::kMessTimer);
    QCOMPARE(p.ch(6).m_dBalken, balken);
    QCOMPARE(p.bar(6)->GetPos(), pos);
}

// 32 W add 0.00888 Wh a second, cut to 0.008; 96 W add 0.0000266 kWh, cut
// to 0.000026. Below 3.6 W a channel never counts.
void TestViewCycle::energyAndTotalPerConsumptionTick()
{
    TestSink sink;
    Panel p;
    p.stopRamp();
    p.ch(5).m_dStrom = 0.2; // 3.2 W
    p.view.OnTimer(CVelkorView::kMessTimer);
    QCOMPARE(p.leistung(5), 3.2);

    p.view.OnTimer(CVelkorView::kVerbrauchTimer);
    QCOMPARE(p.energie(1), 0.008);
    QCOMPARE(p.energie(2), 0.017);
    QCOMPARE(p.energie(5), 0.0);
    QCOMPARE(p.view.m_dKWhProTick, 99.2 / 3600000.0);
    QCOMPARE(p.view.m_dlgVerbrauch.m_dGesamt, 0.000027);
    QCOMPARE(p.ch(1).m_dEnergieRoh, 32.0 / 3600.0);

    p.ch(5).m_dStrom = 0.0;
    p.view.OnTimer(CVelkorView::kMessTimer);
    p.view.OnTimer(CVelkorView::kVerbrauchTimer);
    QCOMPARE(p.energie(1), 0.016);
    QCOMPARE(p.energie(2), 0.034);
    QCOMPARE(p.energie(5), 0.0);
    QCOMPARE(p.view.m_dlgVerbrauch.m_dGesamt, 0.000027 + 0.000026);

    // The raw value reaches the document with the next tick of any timer.
    p.view.OnTimer(3);
    QCOMPARE(p.doc.m_dVerbrauch[0], p.ch(1).m_dEnergieRoh);
    QCOMPARE(p.doc.m_dGesamtverbrauch, p.view.m_dlgVerbrauch.m_dGesamt);
}

// A cut-off channel adds nothing; and the specified arithmetic would turn
// 0.011 Wh at 0 W into 0.010.
void TestViewCycle::counterNeverRunsBackwards()
{
    QVERIFY((0.011 * 3600.0 + 0.0) / 3600.0 < 0.011); // the premise
    TestSink sink;
    Panel p;
    p.view.m_dAbschaltstrom[0] = 1.5;
    p.view.OnTimer(CVelkorView::kMessTimer);
    QCOMPARE(p.ch(1).m_bAbgeschaltet, 1);
    p.energie(1) = 0.011;
    p.energie(4) = 0.011;
    p.view.OnTimer(CVelkorView::kVerbrauchTimer);
    QCOMPARE(p.leistung(1), 0.0);
    QCOMPARE(p.energie(1), 0.011);
    QCOMPARE(p.energie(4), 0.011);
    QVERIFY(p.ch(4).m_dEnergieRoh >= 0.011);
    p.view.OnTimer(3);
    QVERIFY(p.doc.m_dVerbrauch[3] >= 0.011);

    // Cleared counters start again from zero.
    p.energie(4) = 0.0;
    p.view.OnTimer(CVelkorView::kVerbrauchTimer);
    QCOMPARE(p.energie(4), 0.0);
    QCOMPARE(p.ch(4).m_dEnergieRoh, 0.0);
}

// With real timers at 10 ms polling, energy is still counted once a second.
void TestViewCycle::consumptionTimerRunsOnItsOwnBelowOneSecond()
{
    TestSink sink;
    Panel p;
    p.view.m_nAbfragezeit = 10;
    p.view.OnSchalterEin(4); // restarts timer 1 with the new interval
    QCOMPARE(p.view.TimerInterval(CVelkorView::kMessTimer), 10);
    QTRY_VERIFY_WITH_TIMEOUT(p.energie(1) >= 0.016, 8000);
    QVERIFY(p.view.m_dRampe > 0.0);
    QVERIFY(sink.beeps.isEmpty());
}

void TestViewCycle::countersContinueFromLoadedFile()
{
    TestSink sink;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("zaehler.sav"));
    {
        CVelkorDoc saved;
        saved.OnNewDocument();
        saved.m_dVerbrauch[0] = 10.5;
        saved.m_dVerbrauch[15] = 3.25;
        saved.m_dGesamtverbrauch = 1.25;
        QVERIFY(saved.OnSaveDocument(path));
    }
    CVelkorDoc doc;
    QVERIFY(doc.OnOpenDocument(path));
    CVelkorView view;
    view.SetDocument(&doc);
    view.OnInitialUpdate();
    QCOMPARE(view.m_dlgVerbrauch.m_dEnergie[0], 10.5);

    // Ticks before the first consumption tick hand the loaded values back.
    view.OnTimer(CVelkorView::kMessTimer);
    QCOMPARE(doc.m_dVerbrauch[0], 10.5);
    QCOMPARE(doc.m_dVerbrauch[15], 3.25);
    QCOMPARE(doc.m_dGesamtverbrauch, 1.25);

    view.OnTimer(CVelkorView::kVerbrauchTimer);
    QCOMPARE(view.m_dlgVerbrauch.m_dEnergie[0], 10.508);
    QCOMPARE(view.m_dlgVerbrauch.m_dEnergie[15], 3.25);
    // 96.8 W with the ramp's first 0.05 A.
    QVERIFY(qAbs(view.m_dlgVerbrauch.m_dGesamt - 1.250026) < 1e-12);
}

// The file holds the raw energy of the last tick, with more digits than the
// counter shows; the counter takes its 0.001 Wh steps, the file keeps them all.
void TestViewCycle::loadedEnergyShowsInCounterSteps()
{
    TestSink sink;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rest.sav"));
    const double idle = 3.9391111111111111;
    {
        CVelkorDoc saved;
        saved.OnNewDocument();
        saved.m_dVerbrauch[0] = 10.5055; // 32 W
        saved.m_dVerbrauch[4] = idle;    // 0 W
        QVERIFY(saved.OnSaveDocument(path));
    }
    CVelkorDoc doc;
    QVERIFY(doc.OnOpenDocument(path));
    CVelkorView view;
    view.SetDocument(&doc);
    view.OnInitialUpdate();
    QCOMPARE(view.m_dlgVerbrauch.m_dEnergie[0], 10.505);
    QCOMPARE(view.m_dlgVerbrauch.m_dEnergie[4], 3.939);

    // Unchanged, the document saves the bytes it was loaded from.
    view.OnTimer(3);
    const QString again = dir.filePath(QStringLiteral("wieder.sav"));
    QVERIFY(doc.OnSaveDocument(again));
    QFile a(path), b(again);
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    QCOMPARE(b.readAll(), a.readAll());

    for (int n = 0; n < 3; ++n) {
        view.OnTimer(CVelkorView::kMessTimer);
        view.OnTimer(CVelkorView::kVerbrauchTimer);
    }
    view.OnTimer(3);
    QCOMPARE(view.m_dlgVerbrauch.m_dEnergie[0], 10.529); // 3 x 0.008
    QCOMPARE(view.m_dlgVerbrauch.m_dEnergie[4], 3.939);
    // The idle channel's stored energy loses nothing, now or on the next load.
    QCOMPARE(doc.m_dVerbrauch[4], idle);
    QVERIFY(doc.m_dVerbrauch[0] > 10.529);
}

// A day at the default 1000 ms polling: one measurement and one consumption
// tick per second. 32 W add exactly 0.008 Wh and 64 W 0.017 Wh per tick.
void TestViewCycle::simulatedDay()
{
    constexpr int kTicks = 86400;
    constexpr int kWarmUp = 1000;
    TestSink sink;
    Panel p;
    p.stopRamp();
    QElapsedTimer clock;
    clock.start();
    qint64 rssAfterWarmUp = 0;
    for (int n = 0; n < kTicks; ++n) {
        p.view.OnTimer(CVelkorView::kMessTimer);
        p.view.OnTimer(CVelkorView::kVerbrauchTimer);
        if (n + 1 == kWarmUp)
            rssAfterWarmUp = residentKiB();
    }
    const qint64 growthKiB = residentKiB() - rssAfterWarmUp;
    const qint64 ms = clock.elapsed();

    QCOMPARE(p.energie(1), kTicks * 8 / 1000.0);  // 691.2 Wh
    QCOMPARE(p.energie(2), kTicks * 17 / 1000.0); // 1468.8 Wh
    QCOMPARE(p.energie(3), 0.0);
    QVERIFY(qAbs(p.view.m_dlgVerbrauch.m_dGesamt - kTicks * 0.000026) < 1e-9); // 2.2464 kWh
    QCOMPARE(p.view.m_dlgMaximalwerte.m_dMax[1], 4.0);
    QVERIFY(sink.beeps.isEmpty());
    // A leak of a dozen bytes per tick would show as a megabyte here.
    QVERIFY2(growthKiB < 1024, qPrintable(QStringLiteral("grew by %1 KiB").arg(growthKiB)));
    qInfo("simulated day: %d ticks of each timer in %lld ms, %.4f Wh, %.4f Wh, %.7f kWh, "
          "memory growth %lld KiB",
          kTicks, ms, p.energie(1), p.energie(2), p.view.m_dlgVerbrauch.m_dGesamt, growthKiB);
}

QTEST_MAIN(TestViewCycle)
#include "test_view_cycle.moc"
