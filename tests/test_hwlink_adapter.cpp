// The hardware mode on a kernel I2C adapter, end to end through a real view:
// a simulated /dev/i2c-1 with the simulated layout's devices.

#include "doc/VelkorDoc.h"
#include "helpers/TestSink.h"
#include "hw/SimI2CNode.h"
#include "hw/SimLayout.h"
#include "hwlink/HardwareModule.h"
#include "journal/JournalFile.h"
#include "journal/JournalModule.h"
#include "view/VelkorView.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>
#include <memory>

namespace {

double Raw(int raw)
{
    return raw / 255.0 * 5.0;
}

// The simulated layout as the configuration wires it, every channel a steady
// 0.8 A load, behind a simulated /dev/i2c-1.
struct Adapter
{
    HardwareConfig config = HardwareConfig::SimulatedLayout();
    CSimLayout layout;
    CSimI2CNode node{layout.Board().Controller(), "/dev/i2c-1"};

    explicit Adapter(int nAdapter = 1)
    {
        config.nPort = HardwareConfig::I2CAdapter;
        config.nAdapter = nAdapter;
        for (int k = 1; k <= HardwareConfig::kChannels; ++k) {
            const ChannelWiring& w = config.channel[k - 1];
            layout.Wire(k, {w.nConverter, w.nInput, w.dFullScale, w.nPort, w.nBit, w.bActiveLow});
            layout.SetLoad(k, {CSimLayout::LoadKind::Steady, 0.8, 60});
        }
    }
    void Use(CHardwareModule& hw)
    {
        hw.SetConfig(config);
        hw.SetI2CNode(&node, &layout);
    }
};

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

std::uint8_t Written(CHardwareModule& hw, std::uint8_t address)
{
    const auto bytes = hw.Worker()->WrittenOutputs();
    const auto it = bytes.find(address);
    return it == bytes.end() ? 0x5A : it->second;
}

int Count(const CJournalModule& journal, ChannelEvent kind)
{
    int n = 0;
    for (const JournalEvent& ev : journal.Events())
        n += ev.kind == kind;
    return n;
}

} // namespace

class TestHwLinkAdapter : public QObject
{
    Q_OBJECT
private slots:
    void init() { QStandardPaths::setTestModeEnabled(true); }
    void shortCutsOffAndClearsItsBit();
    void unpluggedAdapterGoesStaleAndResumes();
    void missingAdapterSaysHowToGetAccess();
};

void TestHwLinkAdapter::shortCutsOffAndClearsItsBit()
{
    TestSink sink;
    CHardwareModule hw(nullptr, false);
    Adapter a;
    a.Use(hw);
    Rig rig;
    CVelkorView& v = rig.Open();
    QTRY_COMPARE(hw.StatusText(), QStringLiteral("Hardware: verbunden"));
    QTRY_VERIFY(hw.Worker()->Sweeps() >= 1);
    QTRY_COMPARE(Written(hw, 0x40), std::uint8_t(0xFF));
    v.OnTimer(1);
    QCOMPARE(v.m_channel[4].m_dStrom, Raw(41));

    // Every converter is read with one combined call of the kernel.
    a.node.ClearTrace();
    const long sweeps = hw.Worker()->Sweeps();
    QTRY_VERIFY(hw.Worker()->Sweeps() > sweeps + 1);
    QVERIFY(a.node.Trace().size() >= 4);
    for (const std::string& line : a.node.Trace())
        if (line.rfind("W 9", 0) == 0)
            QVERIFY2(line.find(": 44 | R 9") != std::string::npos, line.c_str());

    a.layout.SetShort(5, true);
    QTRY_COMPARE(ReadingOf(hw, 5), 5.0);
    v.OnTimer(1);
    QCOMPARE(v.m_channel[4].m_bAbgeschaltet, 1);
    QVERIFY(!v.IsSwitchedOn(5));
    QCOMPARE(v.m_channel[3].m_bAbgeschaltet, 0);
    QTRY_COMPARE(Written(hw, 0x40), std::uint8_t(0xEF)); // bit 4 only
    QCOMPARE(a.layout.Latch(0x40), std::uint8_t(0xEF));
    rig.Close();
    QVERIFY(!hw.Worker());
    QCOMPARE(a.node.OpenDescriptors(), 0);
}

void TestHwLinkAdapter::unpluggedAdapterGoesStaleAndResumes()
{
    TestSink sink;
    QDir(QFileInfo(CJournalFile::DefaultPath()).absolutePath()).removeRecursively();
    CJournalModule journal(nullptr);
    CHardwareModule hw(nullptr, false);
    Adapter a;
    a.Use(hw);
    Rig rig;
    CVelkorView& v = rig.Open();
    QTRY_COMPARE(hw.StatusText(), QStringLiteral("Hardware: verbunden"));
    QTRY_VERIFY(hw.Worker()->Sweeps() >= 1);
    v.OnTimer(1);
    QVERIFY(!v.IsStale(1));

    a.node.SetPlugged(false);
    QTRY_COMPARE(
        hw.StatusText(),
        QStringLiteral(
            "Hardware: I2C-Adapter 1 (/dev/i2c-1) fehlt oder ist nicht zugänglich (Fehler 13)"));
    v.OnTimer(1);
    for (int k = 1; k <= 16; ++k)
        QVERIFY(v.IsStale(k));
    QCOMPARE(v.m_channel[0].m_dStrom, Raw(41)); // the last good reading stays
    // Every input, and the outputs that can no longer be read back.
    QTRY_COMPARE(Count(journal, ChannelEvent::TransferError), 17);
    const long sweeps = hw.Worker()->Sweeps();
    QTRY_VERIFY(hw.Worker()->Sweeps() > sweeps + 1); // measuring goes on
    QCOMPARE(sink.boxes.size(), 0);

    a.node.SetPlugged(true); // the same node again
    QTRY_COMPARE(hw.StatusText(), QStringLiteral("Hardware: verbunden"));
    QTRY_COMPARE(Count(journal, ChannelEvent::TransferRestored), 17);
    v.OnTimer(1);
    QVERIFY(!v.IsStale(1));
    rig.Close();
}

void TestHwLinkAdapter::missingAdapterSaysHowToGetAccess()
{
    TestSink sink;
    CHardwareModule hw(nullptr, false);
    Adapter a(7); // the node answers only /dev/i2c-1
    a.Use(hw);
    sink.ExpectBoxes(1);
    Rig rig;
    CVelkorView& v = rig.Open();
    QTRY_COMPARE(sink.boxes.size(), 1);
    const QString text = sink.boxes[0].text;
    QVERIFY2(text.contains(QStringLiteral("I2C-Adapter 7")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("/dev/i2c-7")));
    QVERIFY(text.contains(QStringLiteral("Gruppe „i2c“")));
    QVERIFY(text.contains(QStringLiteral("dtparam=i2c_arm=on")));
    QCOMPARE(hw.StatusText(), QStringLiteral("Hardware: nicht verbunden"));
    v.OnTimer(1);
    QCOMPARE(v.m_channel[0].m_dStrom, 2.0); // the test sources
    rig.Close();
}

QTEST_MAIN(TestHwLinkAdapter)
#include "test_hwlink_adapter.moc"
