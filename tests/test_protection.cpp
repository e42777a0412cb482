// Protection in hardware mode: the bus thread trips each channel on its own,
// whatever the window thread does, and measuring never stands still.

#include "doc/VelkorDoc.h"
#include "helpers/TestSink.h"
#include "hw/SimLayout.h"
#include "hw/SimScript.h"
#include "hwlink/HardwareModule.h"
#include "journal/JournalFile.h"
#include "journal/JournalModule.h"
#include "remote/ChannelSnapshot.h"
#include "remote/WebJson.h"
#include "view/VelkorView.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <memory>
#include <thread>

namespace {

struct Rig
{
    TestSink sink;
    CVelkorDoc doc;
    CHardwareModule hw{nullptr, false};
    std::unique_ptr<CVelkorView> view;

    explicit Rig(const HardwareConfig& config = HardwareConfig::SimulatedLayout(),
                 const std::string& script = {})
    {
        doc.OnNewDocument();
        if (!script.empty()) {
            CSimScript s;
            std::string error;
            if (!CSimScript::Parse(script, s, error))
                qFatal("bad script: %s", error.c_str());
            hw.SetSimScript(s);
        }
        hw.SetConfig(config);
    }
    ~Rig()
    {
        if (view)
            view->OnDestroy();
    }
    CVelkorView& Open()
    {
        view = std::make_unique<CVelkorView>();
        view->SetDocument(&doc);
        view->OnInitialUpdate();
        return *view;
    }
    bool OutputOn(int k) // as the port device holds it
    {
        const std::uint8_t port = k <= 8 ? 0x40 : 0x42;
        const auto bytes = hw.Worker()->WrittenOutputs();
        const auto it = bytes.find(port);
        return it == bytes.end() || (it->second >> ((k - 1) % 8) & 1u);
    }
    // The window thread stays away from its event loop: only the bus runs.
    // True once the condition held, within a bounded number of sweeps.
    template <typename Pred>
    bool BlockUntil(Pred pred, long maxSweeps = 200)
    {
        const long end = hw.Worker()->Sweeps() + maxSweeps;
        QElapsedTimer guard;
        guard.start();
        while (!pred()) {
            if (hw.Worker()->Sweeps() > end || guard.elapsed() > 20000)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    // Sweeps pass with the window thread blocked.
    void BlockForSweeps(long n)
    {
        const long until = hw.Worker()->Sweeps() + n;
        BlockUntil([&] { return hw.Worker()->Sweeps() >= until; }, n + 1);
    }
};

QStringList Logged(const CJournalModule& journal, ChannelEvent kind)
{
    QStringList out;
    for (const JournalEvent& ev : journal.Events())
        if (ev.kind == kind)
            out << QStringLiteral("%1:%2").arg(ev.nChannel).arg(ev.dCurrent);
    return out;
}

QJsonObject StateOf(const CVelkorView& v, int k)
{
    return StateJson(TakeSnapshot(v, QStringLiteral("Test")))
        .value(QStringLiteral("channels"))
        .toArray()
        .at(k - 1)
        .toObject();
}

} // namespace

class TestProtection : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { QDir(QFileInfo(CJournalFile::DefaultPath()).absolutePath()).removeRecursively(); }
    void eachShortTripsOnTheBusWhileOthersKeepMeasuring();
    void blockedWindowThreadDelaysNoTrip();
    void timerzeitZeroLeavesOffAndMeasures();
    void tripDelayIgnoresInrush();
    void outputsAreReadBackAndRewritten();
    void staleAndAgeWhenAConverterGoes();
    void neverReadIsStaleNotATestValue();
    void statusSaysWhenSweepsStopOrTheDisplayIsSlow();
    void peakBetweenTwoTicksIsKept();
    void switchedOnIntoAShortTripsAgain();
};

void TestProtection::eachShortTripsOnTheBusWhileOthersKeepMeasuring()
{
    CJournalModule journal(nullptr);
    Rig rig;
    rig.doc.m_nAbfragezeit = 1000;
    CVelkorView& v = rig.Open();
    QTRY_VERIFY(rig.hw.Worker()->Sweeps() >= 2);
    QCOMPARE(rig.hw.Worker()->PeriodMs(), 20u);

    // Channel 3 shorts: its output is off before two more sweeps have ended,
    // with the window thread never asked.
    rig.hw.Layout()->SetShort(3, true);
    QVERIFY(rig.BlockUntil([&] { return !rig.OutputOn(3); }, 2));
    QVERIFY(rig.OutputOn(7));
    QTRY_COMPARE(v.m_channel[2].m_bAbgeschaltet, 1);
    QVERIFY(!v.IsSwitchedOn(3));
    QCOMPARE(Logged(journal, ChannelEvent::Cutoff), QStringList{"3:5"});

    // Measuring goes on for the others: the ramp on channel 4 moves in the
    // window and in the state, while 3 stays cut.
    const double ramp = v.m_channel[3].m_dStrom;
    const QJsonValue rampState = StateOf(v, 4).value(QStringLiteral("current"));
    QTRY_VERIFY_WITH_TIMEOUT(v.m_channel[3].m_dStrom != ramp, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(StateOf(v, 4).value(QStringLiteral("current")) != rampState, 5000);
    QCOMPARE(StateOf(v, 4).value(QStringLiteral("stale")).toBool(), false);
    QVERIFY(StateOf(v, 4).value(QStringLiteral("age_ms")).toInteger() < 1000);
    QVERIFY(v.IsTimerRunning(CVelkorView::kMessTimer));

    // A second short while the first still holds its lock: off within a sweep too.
    rig.hw.Layout()->SetShort(7, true);
    QVERIFY(rig.BlockUntil([&] { return !rig.OutputOn(7); }, 2));
    QTRY_COMPARE(v.m_channel[6].m_bAbgeschaltet, 1);
    QCOMPARE(v.m_channel[2].m_bAbgeschaltet, 1);
    QCOMPARE(Logged(journal, ChannelEvent::Cutoff), (QStringList{"3:5", "7:5"}));
    // Each trip is reported once, however many sweeps see the short.
    rig.BlockForSweeps(10);
    QTest::qWait(50);
    QCOMPARE(Logged(journal, ChannelEvent::Cutoff).size(), 2);
}

void TestProtection::blockedWindowThreadDelaysNoTrip()
{
    CJournalModule journal(nullptr);
    Rig rig;
    CVelkorView& v = rig.Open();
    QTRY_VERIFY(rig.hw.Worker()->Sweeps() >= 2);

    // A slot that sleeps 2 s: the short that comes meanwhile is off long before.
    QDateTime offAt;
    QTimer::singleShot(0, [&] {
        rig.hw.Layout()->SetShort(9, true);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (std::chrono::steady_clock::now() < end) {
            if (!offAt.isValid() && !rig.OutputOn(9))
                offAt = QDateTime::currentDateTime();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        QCOMPARE(v.m_channel[8].m_bAbgeschaltet, 0); // the window has not run
    });
    QTRY_VERIFY(offAt.isValid());
    // Once the window runs again it shows the cutoff, dated when it happened.
    QTRY_COMPARE(v.m_channel[8].m_bAbgeschaltet, 1);
    QVERIFY(!v.IsSwitchedOn(9));
    const QStringList cut = Logged(journal, ChannelEvent::Cutoff);
    QCOMPARE(cut, QStringList{"9:5"});
    const auto ev = std::find_if(journal.Events().begin(), journal.Events().end(),
                                 [](const JournalEvent& e) { return e.kind == ChannelEvent::Cutoff; });
    QVERIFY(std::abs(ev->time.msecsTo(offAt)) < 1000); // not 2 s later
}

void TestProtection::timerzeitZeroLeavesOffAndMeasures()
{
    Rig rig;
    rig.doc.m_nTimerzeit = 0;
    rig.doc.m_nAbfragezeit = 100;
    CVelkorView& v = rig.Open();
    QCOMPARE(v.m_nTimerzeitMs, 0u);
    QTRY_VERIFY(rig.hw.Worker()->Sweeps() >= 2);
    rig.hw.Layout()->SetShort(2, true);
    QTRY_COMPARE(v.m_channel[1].m_bAbgeschaltet, 1);
    QVERIFY(!v.IsTimerRunning(CVelkorView::kAutomatikTimer));
    QVERIFY(v.IsTimerRunning(CVelkorView::kMessTimer));
    // The short goes; with no timer the channel stays off, the others go on.
    rig.hw.Layout()->SetShort(2, false);
    const double ramp = v.m_channel[3].m_dStrom;
    QTRY_VERIFY_WITH_TIMEOUT(v.m_channel[3].m_dStrom != ramp, 5000);
    QCOMPARE(v.m_channel[1].m_bAbgeschaltet, 1);
    QVERIFY(!rig.OutputOn(2));
    // Its power is 0 while cut: it counts no energy.
    const double energy = v.m_dlgVerbrauch.m_dEnergie[1];
    v.OnTimer(CVelkorView::kVerbrauchTimer);
    v.OnTimer(CVelkorView::kVerbrauchTimer);
    QCOMPARE(v.m_dlgVerbrauch.m_dEnergie[1], energy);
}

void TestProtection::tripDelayIgnoresInrush()
{
    HardwareConfig c = HardwareConfig::SimulatedLayout();
    c.channel[5].nTripDelayMs = 100;
    c.channel[6].nTripDelayMs = 100;
    c.nSweepMs = 5;
    // Channel 6 draws an 80 ms peak, channel 7 one of 250 ms: the margin
    // keeps a stalled bus thread (a loaded machine, sanitizers) from
    // shortening what it sees of the longer one below the delay. The shorter
    // one can only look shorter.
    Rig rig(c, "2 short 6\n2.08 clear 6\n2 short 7\n2.25 clear 7\n");
    CVelkorView& v = rig.Open();
    QTRY_VERIFY(rig.hw.Worker()->Sweeps() >= 2);
    QTRY_COMPARE_WITH_TIMEOUT(v.m_channel[6].m_bAbgeschaltet, 1, 10000);
    rig.BlockForSweeps(20);
    QTest::qWait(100);
    QCOMPARE(v.m_channel[5].m_bAbgeschaltet, 0);
    QVERIFY(rig.OutputOn(6));
    QVERIFY(!rig.OutputOn(7));
    // The peak still shows in the maximum values.
    v.OnTimer(CVelkorView::kMessTimer);
    QCOMPARE(v.m_dlgMaximalwerte.m_dMax[5], 5.0);
}

void TestProtection::outputsAreReadBackAndRewritten()
{
    CJournalModule journal(nullptr);
    Rig rig;
    CVelkorView& v = rig.Open();
    QTRY_VERIFY(rig.hw.Worker()->Sweeps() >= 2);

    // A port device that lost power comes back with every output on: the
    // cut channel is written off again at the next sweep.
    rig.hw.Layout()->SetShort(5, true);
    QTRY_COMPARE(v.m_channel[4].m_bAbgeschaltet, 1);
    QTRY_COMPARE(rig.hw.Layout()->Latch(0x40), std::uint8_t(0xEF));
    rig.hw.Layout()->PowerCycle(0x40);
    QVERIFY(rig.BlockUntil([&] { return rig.hw.Layout()->Latch(0x40) == 0xEF; }, 3));
    QCOMPARE(rig.hw.StatusText(), QStringLiteral("Hardware: verbunden"));

    // A welded relay: the output reads back on whatever is written.
    rig.hw.Layout()->SetStuck(11, true);
    rig.hw.Layout()->SetShort(11, true);
    QTRY_COMPARE(v.m_channel[10].m_bAbgeschaltet, 1);
    QTRY_COMPARE(rig.hw.StatusText(),
                 QStringLiteral("Hardware: Ausgang nicht bestätigt (Kanal 11, Gerät 0x42)"));
    QCOMPARE(Logged(journal, ChannelEvent::OutputUnconfirmed), QStringList{"11:5"});
    QCOMPARE(journal.Events().constLast().strDetail,
             QStringLiteral("Ausgang nicht bestätigt: Kanal 11, Gerät 0x42"));
    rig.hw.Layout()->SetStuck(11, false);
    QTRY_COMPARE(rig.hw.StatusText(), QStringLiteral("Hardware: verbunden"));
}

void TestProtection::staleAndAgeWhenAConverterGoes()
{
    HardwareConfig c = HardwareConfig::SimulatedLayout();
    Rig rig(c, "1 remove 0x94\n");
    rig.doc.m_nAbfragezeit = 100;
    CVelkorView& v = rig.Open();
    QTRY_VERIFY(rig.hw.Worker()->Sweeps() >= 2);
    QTRY_VERIFY(!v.IsStale(9) && v.ReadingAgeMs(9) >= 0);
    // Stale at the first failed read; its age goes on growing.
    QTRY_VERIFY_WITH_TIMEOUT(v.IsStale(9), 5000);
    QVERIFY(v.IsStale(12));
    QVERIFY(!v.IsStale(13));
    QCOMPARE(StateOf(v, 9).value(QStringLiteral("stale")).toBool(), true);
    QTRY_VERIFY_WITH_TIMEOUT(StateOf(v, 9).value(QStringLiteral("age_ms")).toInteger() > 1000,
                             5000);
    QVERIFY(StateOf(v, 13).value(QStringLiteral("age_ms")).toInteger() < 1000);
    QCOMPARE(StateOf(v, 13).value(QStringLiteral("stale")).toBool(), false);
}

void TestProtection::neverReadIsStaleNotATestValue()
{
    // Converter 0x90 is gone before the first sweep: channels 1 to 4 have
    // never been read, and must not show the test sources' 2 A and 4 A.
    Rig rig(HardwareConfig::SimulatedLayout(), "0 remove 0x90\n");
    CVelkorView& v = rig.Open();
    QTRY_VERIFY(rig.hw.Worker()->Sweeps() >= 2);
    v.OnTimer(CVelkorView::kMessTimer);
    for (int k = 1; k <= 4; ++k) {
        QVERIFY(v.IsStale(k));
        QCOMPARE(v.m_channel[k - 1].m_dStrom, 0.0);
    }
    QVERIFY(!v.IsStale(5));
    QCOMPARE(StateOf(v, 2).value(QStringLiteral("stale")).toBool(), true);
    QCOMPARE(StateOf(v, 2).value(QStringLiteral("current")).toDouble(), 0.0);
}

void TestProtection::statusSaysWhenSweepsStopOrTheDisplayIsSlow()
{
    CJournalModule journal(nullptr);
    Rig rig;
    CVelkorView& v = rig.Open();
    QTRY_COMPARE(rig.hw.StatusText(), QStringLiteral("Hardware: verbunden"));

    // Only the display is slow: the status bar says that protection is not.
    v.m_nAbfragezeit = 20000;
    NotifySettingsChanged(v);
    QCOMPARE(rig.hw.StatusText(), QStringLiteral("Hardware: verbunden – Anzeige nur alle 20 s, "
                                                 "der Schutz misst alle 20 ms"));
    v.m_nAbfragezeit = 1000;
    NotifySettingsChanged(v);
    QCOMPARE(rig.hw.StatusText(), QStringLiteral("Hardware: verbunden"));

    // A bus so slow that no sweep ends: said within seconds, and journaled.
    rig.hw.Layout()->Board().SetByteTime(200000);
    QTRY_VERIFY_WITH_TIMEOUT(
        rig.hw.StatusText().startsWith(QStringLiteral("Hardware: keine Messwerte seit ")), 8000);
    const auto lost = [&] {
        QStringList out;
        for (const JournalEvent& ev : journal.Events())
            if (ev.nChannel == 0 && ev.strDetail.contains(QStringLiteral("Messwerte")))
                out << ev.strDetail.section(QLatin1Char(' '), 0, 1);
        return out;
    };
    QCOMPARE(lost(), QStringList{"keine Messwerte"});
    rig.hw.Layout()->Board().SetByteTime(0);
    QTRY_COMPARE_WITH_TIMEOUT(rig.hw.StatusText(), QStringLiteral("Hardware: verbunden"), 8000);
    QCOMPARE(lost(), (QStringList{"keine Messwerte", "Messwerte kommen"}));
}

void TestProtection::peakBetweenTwoTicksIsKept()
{
    // 3 A on channel 12 for 300 ms, under its limit, between two ticks of 10 s.
    Rig rig(HardwareConfig::SimulatedLayout(), "2 load 12 3\n2.3 load 12 0.5\n");
    rig.doc.m_nAbfragezeit = 10000;
    CVelkorView& v = rig.Open();
    QTRY_VERIFY(rig.hw.Worker()->Sweeps() >= 2);
    v.OnTimer(CVelkorView::kMessTimer);
    QVERIFY(rig.BlockUntil([&] {
        double a = 0;
        bool stale = false;
        return rig.hw.Worker()->Reading(12, a, stale) && std::abs(a - 0.5) < 0.02;
    }));
    QVERIFY(v.m_dlgMaximalwerte.m_dMax[11] < 3.0);
    v.OnTimer(CVelkorView::kMessTimer);
    QVERIFY(v.m_dlgMaximalwerte.m_dMax[11] >= 2.9);
    QVERIFY(v.m_channel[11].m_dAnzeigestrom < 0.6);
    QCOMPARE(v.m_channel[11].m_bAbgeschaltet, 0);
}

void TestProtection::switchedOnIntoAShortTripsAgain()
{
    Rig rig;
    CVelkorView& v = rig.Open();
    QTRY_VERIFY(rig.hw.Worker()->Sweeps() >= 2);
    v.OnCmdMsg(kChannelIds[13].imageOn); // off by hand
    QTRY_VERIFY(!rig.OutputOn(14));
    rig.hw.Layout()->SetShort(14, true);
    rig.BlockForSweeps(3);
    QCOMPARE(v.m_channel[13].m_bAbgeschaltet, 0); // off already: nothing to trip
    // Into the short: the bus trips it again, at once.
    v.OnCmdMsg(kChannelIds[13].imageOff);
    QTRY_COMPARE(v.m_channel[13].m_bAbgeschaltet, 1);
    QVERIFY(!rig.OutputOn(14));
    QVERIFY(!v.IsSwitchedOn(14));
}

QTEST_MAIN(TestProtection)
#include "test_protection.moc"
