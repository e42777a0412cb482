// Real hardware mode end to end: the simulated board behind a real view.

#include "doc/VelkorDoc.h"
#include "framework/MDIFrame.h"
#include "helpers/TestSink.h"
#include "hw/RecordingPort.h"
#include "hw/SimBoard.h"
#include "hw/SimLayout.h"
#include "hwlink/HardwareModule.h"
#include "hwlink/SimulatorWnd.h"
#include "journal/JournalFile.h"
#include "journal/JournalModule.h"
#include "view/Truncate.h"
#include "view/VelkorView.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTest>
#include <memory>

namespace {

// Raw converter steps of the simulated loads (full scale 5 A).
double Raw(int raw)
{
    return raw / 255.0 * 5.0;
}

struct Rig
{
    CVelkorDoc doc;
    std::unique_ptr<CVelkorView> view;

    Rig() { doc.OnNewDocument(); }
    CVelkorView& Open()
    {
        view = std::make_unique<CVelkorView>();
        view->SetDocument(&doc);
        view->OnInitialUpdate();
        return *view;
    }
    void Close() { view->OnDestroy(); }
};

double ReadingOf(CHardwareModule& hw, int k)
{
    double current = -1.0;
    bool stale = false;
    hw.Worker()->Reading(k, current, stale);
    return current;
}

// Journal events of one kind: "channel:detail" each.
QStringList Logged(const CJournalModule& journal, ChannelEvent kind)
{
    QStringList out;
    for (const JournalEvent& ev : journal.Events())
        if (ev.kind == kind)
            out << QStringLiteral("%1:%2").arg(ev.nChannel).arg(ev.strDetail);
    return out;
}

std::uint8_t Written(CHardwareModule& hw, std::uint8_t address)
{
    const auto bytes = hw.Worker()->WrittenOutputs();
    const auto it = bytes.find(address);
    return it == bytes.end() ? 0x5A : it->second; // 0x5A: never written
}

} // namespace

class TestHwLink : public QObject
{
    Q_OBJECT
private slots:
    void init() { QStandardPaths::setTestModeEnabled(true); }
    void shortCutsOffLocksAndComesBack();
    void journalRecordsWhatTheConverterReads();
    void startAndStopPatterns();
    void startAllOffWithActiveLowBit();
    void secondWindowTakesOverWhenTheFirstCloses();
    void removedDeviceGoesStaleOthersKeepMeasuring();
    void busThatCannotBeOpenedFallsBackToTestSources();
    void modeOffTouchesNoHardware();
    void statusPaneFollowsTheMode();
};

void TestHwLink::shortCutsOffLocksAndComesBack()
{
    TestSink sink;
    CHardwareModule hw(nullptr, false);
    hw.SetConfig(HardwareConfig::SimulatedLayout());
    Rig rig;
    CVelkorView& v = rig.Open();
    QCOMPARE(v.ChannelSource(), static_cast<IChannelSource*>(&hw));
    QTRY_COMPARE(hw.StatusText(), QStringLiteral("Hardware: verbunden"));
    QTRY_VERIFY(hw.Worker()->Sweeps() >= 1);
    QTRY_COMPARE(Written(hw, 0x40), std::uint8_t(0xFF));

    v.OnTimer(1);
    v.OnTimer(2);
    QCOMPARE(v.m_channel[4].m_dStrom, Raw(41)); // 0.8 A steady load
    QCOMPARE(v.m_channel[0].m_dStrom, Raw(20)); // not the test source's 2 A

    hw.Layout()->SetShort(5, true);
    QTRY_COMPARE(v.m_channel[4].m_bAbgeschaltet, 1); // the bus trips it
    QVERIFY(!v.IsSwitchedOn(5));
    QCOMPARE(v.m_channel[3].m_bAbgeschaltet, 0);
    QTRY_COMPARE(Written(hw, 0x40), std::uint8_t(0xEF)); // bit 4 only

    // Still shorted: the manual switch-on is refused and nothing is written.
    sink.QueueAnswer(IDOK);
    v.OnCmdMsg(kChannelIds[4].imageOff);
    QCOMPARE(sink.boxes.size(), 1);
    QCOMPARE(sink.boxes[0].text, QStringLiteral("Kurzschluss erst beheben"));
    QVERIFY(!v.IsSwitchedOn(5));
    v.OnTimer(2);
    QVERIFY(!v.IsSwitchedOn(5));
    QCOMPARE(Written(hw, 0x40), std::uint8_t(0xEF));

    // Short gone: with its output off the channel reads 0, and the
    // automatic timer switches it back on without a measurement tick.
    hw.Layout()->SetShort(5, false);
    QTRY_COMPARE(ReadingOf(hw, 5), 0.0);
    v.OnTimer(2);
    QVERIFY(v.IsSwitchedOn(5));
    QCOMPARE(v.m_channel[4].m_bAbgeschaltet, 0);
    QTRY_COMPARE(Written(hw, 0x40), std::uint8_t(0xFF));
    QTRY_COMPARE(ReadingOf(hw, 5), Raw(41));

    // Manual switching follows too.
    v.OnCmdMsg(kChannelIds[9].imageOn);
    QTRY_COMPARE(Written(hw, 0x42), std::uint8_t(0xFD));
    v.OnAlleAus();
    QTRY_COMPARE(Written(hw, 0x40), std::uint8_t(0x00));
    QTRY_COMPARE(Written(hw, 0x42), std::uint8_t(0x00));
    v.OnAlleEin();
    QTRY_COMPARE(Written(hw, 0x40), std::uint8_t(0xFF));
    QTRY_COMPARE(Written(hw, 0x42), std::uint8_t(0xFF));
    rig.Close();
    QCOMPARE(v.ChannelSource(), nullptr);
    QVERIFY(!hw.Worker());
}

// Switch events carry the channel's current as the view has it from the
// converter, never the test sources' 2 A and 4 A; and the history goes on with
// the converter's readings through a cutoff.
void TestHwLink::journalRecordsWhatTheConverterReads()
{
    TestSink sink;
    QDir(QFileInfo(CJournalFile::DefaultPath()).absolutePath()).removeRecursively();
    CJournalModule journal(nullptr);
    CHardwareModule hw(nullptr, false);
    hw.SetConfig(HardwareConfig::SimulatedLayout());
    Rig rig;
    CVelkorView& v = rig.Open();
    QTRY_COMPARE(ReadingOf(hw, 1), Raw(20));
    QTRY_VERIFY(ReadingOf(hw, 2) > 0.4);
    const double reading2 = ReadingOf(hw, 2);
    v.OnTimer(1);
    const auto shown = [](double a) { return korva_view::TruncTo(a, 100.0); };

    const auto last = [&journal] { return journal.Events().constLast(); };
    v.OnCmdMsg(kChannelIds[0].imageOn);
    QCOMPARE(last().kind, ChannelEvent::ManualOff);
    QCOMPARE(last().dCurrent, 0.39);
    v.OnCmdMsg(kChannelIds[1].imageOn);
    QCOMPARE(last().dCurrent, shown(reading2));
    QTRY_COMPARE(ReadingOf(hw, 1), 0.0); // outputs off
    QTRY_COMPARE(ReadingOf(hw, 2), 0.0);
    v.OnCmdMsg(kChannelIds[0].imageOff);
    QCOMPARE(last().kind, ChannelEvent::ManualOn);
    QCOMPARE(last().dCurrent, 0.0);
    v.OnCmdMsg(kChannelIds[1].imageOff);
    QCOMPARE(last().dCurrent, 0.0);
    QTRY_COMPARE(ReadingOf(hw, 1), Raw(20));
    QTRY_COMPARE(ReadingOf(hw, 2), reading2);
    v.OnSchalterEin(1); // already on: the present reading all the same
    QCOMPARE(last().kind, ChannelEvent::ManualOn);
    QCOMPARE(last().dCurrent, 0.39);
    v.OnSchalterEin(2);
    QCOMPARE(last().dCurrent, shown(reading2));

    hw.Layout()->SetShort(5, true);
    QTRY_COMPARE(v.m_channel[4].m_bAbgeschaltet, 1); // tripped on the bus
    QCOMPARE(last().kind, ChannelEvent::Cutoff);
    QCOMPARE(last().dCurrent, 5.0);
    hw.Layout()->SetShort(5, false);
    QTRY_COMPARE(ReadingOf(hw, 5), 0.0);
    const CViewHistory* h = journal.History(&v);
    const int before = h->Size();
    v.OnTimer(1); // measuring goes on through the cutoff
    QCOMPARE(h->Size(), before + 1);
    QCOMPARE(h->Current(before, 5), 0.0f);
    QCOMPARE(v.m_channel[4].m_dAnzeigestrom, 0.0);
    QCOMPARE(h->Current(before, 1), float(shown(Raw(20)))); // channel 1 as read
    rig.Close();
}

void TestHwLink::startAndStopPatterns()
{
    TestSink sink;
    CHardwareModule hw(nullptr, false);
    hw.SetConfig(HardwareConfig::SimulatedLayout());
    {
        Rig rig; // document defaults: start 255, stop 0
        rig.Open();
        QTRY_COMPARE(Written(hw, 0x40), std::uint8_t(0xFF));
        QTRY_COMPARE(Written(hw, 0x42), std::uint8_t(0xFF));
        rig.Close();
        // The worker has ended: the simulated latches can be read here.
        QCOMPARE(hw.Layout()->Latch(0x40), std::uint8_t(0x00));
        QCOMPARE(hw.Layout()->Latch(0x42), std::uint8_t(0x00));
        QVERIFY(!hw.Layout()->Board().IsClaimed(1)); // shut down, port released
    }
    {
        Rig rig;
        rig.doc.m_nStartWert = 0;
        rig.doc.m_nStopWert = 255;
        CVelkorView& v = rig.Open();
        for (int k = 1; k <= 16; ++k)
            QVERIFY(!v.IsSwitchedOn(k));
        QTRY_COMPARE(Written(hw, 0x40), std::uint8_t(0x00));
        QTRY_COMPARE(Written(hw, 0x42), std::uint8_t(0x00));
        v.OnAlleEin();
        // A channel cut off at closing is not fed again by the stop pattern.
        hw.Layout()->SetShort(16, true);
        QTRY_COMPARE(v.m_channel[15].m_bAbgeschaltet, 1); // the bus trips it
        rig.Close();
        QCOMPARE(hw.Layout()->Latch(0x40), std::uint8_t(0xFF));
        QCOMPARE(hw.Layout()->Latch(0x42), std::uint8_t(0x7F));
    }
}

void TestHwLink::startAllOffWithActiveLowBit()
{
    TestSink sink;
    CHardwareModule hw(nullptr, false);
    HardwareConfig c = HardwareConfig::SimulatedLayout();
    c.channel[0].bActiveLow = true;
    c.channel[9].bOutput = false; // bit 1 of 0x42 stays high
    hw.SetConfig(c);
    Rig rig;
    CVelkorView& v = rig.Open();
    QTRY_COMPARE(Written(hw, 0x40), std::uint8_t(0xFE));
    v.OnAlleAus();
    QTRY_COMPARE(Written(hw, 0x40), std::uint8_t(0x01));
    QTRY_COMPARE(Written(hw, 0x42), std::uint8_t(0x02));
    rig.Close();
    QCOMPARE(hw.Layout()->Latch(0x40), std::uint8_t(0x01));
}

void TestHwLink::secondWindowTakesOverWhenTheFirstCloses()
{
    TestSink sink;
    CHardwareModule hw(nullptr, false);
    hw.SetConfig(HardwareConfig::SimulatedLayout());
    Rig first, second;
    CVelkorView& a = first.Open();
    CVelkorView& b = second.Open();
    QCOMPARE(b.ChannelSource(), nullptr); // waits with its test sources
    QTRY_VERIFY(hw.Worker()->Sweeps() >= 1);
    hw.Layout()->SetShort(3, true);
    b.OnCmdMsg(kChannelIds[5].imageOn); // switched off in the waiting window

    first.Close();
    QCOMPARE(a.ChannelSource(), nullptr);
    QVERIFY(hw.Worker());
    QCOMPARE(b.ChannelSource(), &hw);
    // Its outputs as it shows them, not the first window's stop pattern (0);
    // the simulated layout went on, and the short still there cuts off.
    QTRY_COMPARE(b.m_channel[2].m_bAbgeschaltet, 1);
    QTRY_COMPARE(Written(hw, 0x40), std::uint8_t(0xDB));

    second.Close();
    QVERIFY(!hw.Worker());
    QCOMPARE(hw.Layout()->Latch(0x40), std::uint8_t(0x00)); // now the stop pattern
    QCOMPARE(hw.StatusText(), QStringLiteral("Hardware: nicht verbunden"));
}

void TestHwLink::removedDeviceGoesStaleOthersKeepMeasuring()
{
    TestSink sink;
    QDir(QFileInfo(CJournalFile::DefaultPath()).absolutePath()).removeRecursively();
    CJournalModule journal(nullptr);
    CHardwareModule hw(nullptr, false);
    hw.SetConfig(HardwareConfig::SimulatedLayout());
    Rig rig;
    CVelkorView& v = rig.Open();
    QTRY_VERIFY(hw.Worker()->Sweeps() >= 1);
    v.OnTimer(1);
    const double before = v.m_channel[8].m_dStrom;
    QCOMPARE(before, Raw(61)); // 1.2 A on channel 9 (converter 0x94)
    QVERIFY(!v.IsStale(9));

    hw.Layout()->SetDeviceRemoved(0x94, true);
    QTRY_COMPARE(
        hw.StatusText(),
        QStringLiteral(
            "Hardware: Gerät 0x94 antwortet nicht (Fehler 5) – Verkabelung und Adresse prüfen"));
    hw.Layout()->SetShort(2, true); // another converter is still read
    QTRY_COMPARE(v.m_channel[1].m_bAbgeschaltet, 1);
    v.OnTimer(1);
    for (int k = 9; k <= 12; ++k)
        QVERIFY(v.IsStale(k));
    QVERIFY(!v.IsStale(8));
    QVERIFY(!v.IsStale(13));
    QCOMPARE(v.m_channel[8].m_dStrom, before);
    QCOMPARE(sink.boxes.size(), 0); // nothing modal during operation
    // The journal has one error per channel of the missing converter, with
    // the last good current as shown.
    const QString lost =
        QStringLiteral("Gerät 0x94 antwortet nicht (Fehler 5) – Verkabelung und Adresse prüfen");
    QTRY_COMPARE(Logged(journal, ChannelEvent::TransferError),
                 (QStringList{"9:" + lost, "10:" + lost, "11:" + lost, "12:" + lost}));
    for (const JournalEvent& ev : journal.Events())
        if (ev.kind == ChannelEvent::TransferError && ev.nChannel == 9)
            QCOMPARE(ev.dCurrent, korva_view::TruncTo(before, 100.0));

    hw.Layout()->SetShort(2, false);
    hw.Layout()->SetDeviceRemoved(0x94, false);
    QTRY_COMPARE(hw.StatusText(), QStringLiteral("Hardware: verbunden"));
    QTRY_COMPARE(Logged(journal, ChannelEvent::TransferRestored),
                 (QStringList{"9:", "10:", "11:", "12:"}));
    v.OnCmdMsg(kChannelIds[1].imageOff);
    v.OnTimer(1);
    QVERIFY(!v.IsStale(9));

    // A port device that does not answer keeps the wanted byte and gets it
    // once it is back.
    hw.Layout()->SetDeviceRemoved(0x42, true);
    const long sweeps = hw.Worker()->Sweeps();
    QTRY_VERIFY(hw.Worker()->Sweeps() > sweeps + 1); // a whole sweep since: the removal is applied
    v.OnCmdMsg(kChannelIds[9].imageOn);
    QTRY_COMPARE(
        hw.StatusText(),
        QStringLiteral(
            "Hardware: Gerät 0x42 antwortet nicht (Fehler 5) – Verkabelung und Adresse prüfen"));
    // Never taken for written while the device is away (a failed write
    // leaves its content unknown).
    QVERIFY(Written(hw, 0x42) != 0xFD);
    hw.Layout()->SetDeviceRemoved(0x42, false);
    QTRY_COMPARE(Written(hw, 0x42), std::uint8_t(0xFD));
    QTRY_COMPARE(hw.StatusText(), QStringLiteral("Hardware: verbunden"));
    // The output device's failure is journaled without a channel.
    QTRY_COMPARE(Logged(journal, ChannelEvent::TransferRestored).size(), 5);
    QCOMPARE(
        Logged(journal, ChannelEvent::TransferError).constLast(),
        QStringLiteral(
            "0:Schaltausgang: Gerät 0x42 antwortet nicht (Fehler 5) – Verkabelung und Adresse prüfen"));
    QCOMPARE(Logged(journal, ChannelEvent::TransferError).size(), 5);
    rig.Close();
}

void TestHwLink::busThatCannotBeOpenedFallsBackToTestSources()
{
    TestSink sink;
    CHardwareModule hw(nullptr, false);
    HardwareConfig c = HardwareConfig::SimulatedLayout();
    c.nPort = HardwareConfig::Port1;
    hw.SetConfig(c);

    // Port held by another program: CERR 13.
    CSimBoard held;
    held.AddDefaultDevices();
    held.SetHeldElsewhere(1, true);
    hw.SetBackend(&held);
    sink.ExpectBoxes(1);
    {
        Rig rig;
        CVelkorView& v = rig.Open();
        QCOMPARE(sink.boxes.size(), 0); // not from inside the view's update
        QTRY_COMPARE(sink.boxes.size(), 1);
        QVERIFY(sink.boxes[0].text.contains(
            QStringLiteral("Parallelport 1 (/dev/parport0) fehlt oder ist belegt (Fehler 13)")));
        QCOMPARE(hw.StatusText(), QStringLiteral("Hardware: nicht verbunden"));
        v.OnTimer(1);
        QCOMPARE(v.m_channel[0].m_dStrom, 2.0);
        QCOMPARE(v.m_channel[1].m_dStrom, 4.0);
        QVERIFY(!v.IsStale(1));
        rig.Close();
    }

    // A port without a controller: CERR 11, and the port is released again.
    CRecordingPort empty;
    empty.SetReadDefault(PORT1_BASE + 3, 0x00);
    hw.SetBackend(&empty);
    sink.ExpectBoxes(1);
    {
        Rig rig;
        rig.Open();
        QTRY_COMPARE(sink.boxes.size(), 2);
        QVERIFY(sink.boxes[1].text.contains(QStringLiteral(
            "An Parallelport 1 (/dev/parport0) ist kein I2C-Controller zu finden (Fehler 11)")));
        rig.Close();
        QCOMPARE(empty.Trace().back(), std::string("release 1"));
    }
}

void TestHwLink::modeOffTouchesNoHardware()
{
    TestSink sink;
    CRecordingPort rec;
    CHardwareModule hw(nullptr, false);
    hw.SetBackend(&rec);
    HardwareConfig wiredButOff = HardwareConfig::SimulatedLayout();
    wiredButOff.nPort = HardwareConfig::Off;
    for (const HardwareConfig& c : {HardwareConfig(), wiredButOff}) {
        hw.SetConfig(c);
        Rig rig;
        CVelkorView& v = rig.Open();
        QCOMPARE(v.ChannelSource(), nullptr);
        v.OnTimer(1);
        QCOMPARE(v.m_channel[0].m_dStrom, 2.0);
        v.OnAlleAus();
        v.OnAlleEin();
        v.OnTimer(2);
        rig.Close();
        QVERIFY(!hw.Worker());
        QVERIFY(!hw.Layout());
    }
    QVERIFY(rec.Trace().empty());
}

void TestHwLink::statusPaneFollowsTheMode()
{
    TestSink sink;
    CMDIFrameWnd frame;
    CHardwareModule hw(&frame, false);
    auto* pane = frame.statusBar()->findChild<QLabel*>(QStringLiteral("104"));
    QVERIFY(pane);
    QVERIFY(pane->isHidden());
    CCmdUI ui(ID_SIMULATOR);
    QVERIFY(hw.OnUpdateCmdUI(&ui));
    QVERIFY(!ui.m_bEnabled);

    hw.SetConfig(HardwareConfig::SimulatedLayout());
    QVERIFY(!pane->isHidden());
    QCOMPARE(pane->text(), QStringLiteral("Hardware: nicht verbunden"));
    QVERIFY(hw.OnUpdateCmdUI(&ui));
    QVERIFY(ui.m_bEnabled);
    Rig rig;
    rig.Open();
    QTRY_COMPARE(pane->text(), QStringLiteral("Hardware: verbunden"));

    // The Simulator window injects the short that the view then sees.
    QVERIFY(hw.OnCmdMsg(ID_SIMULATOR));
    QVERIFY(hw.SimulatorWindow());
    QVERIFY(hw.SimulatorWindow()->RemovedBox(0x42));
    QVERIFY(!hw.SimulatorWindow()->RemovedBox(0x44));
    hw.SimulatorWindow()->ShortBox(3)->setChecked(true);
    QTRY_COMPARE(ReadingOf(hw, 3), 5.0);
    rig.Close();
    QCOMPARE(pane->text(), QStringLiteral("Hardware: nicht verbunden"));
}

QTEST_MAIN(TestHwLink)
#include "test_hwlink.moc"
