// The I2C controller driven through the recording fake: exact register
// traces for set-up, waits, transfers and every error path.

#include "hw/I2CBus.h"
#include "hw/RecordingPort.h"

#include "hw_support.h"

#include <QtTest>

namespace {
constexpr std::uint16_t S1 = 0x37B;
constexpr std::uint16_t S0 = 0x37C;
constexpr std::uint8_t READY = 0x01; // PIN clear, acknowledged, bus free
constexpr std::uint8_t NO_ACK = 0x09;

// A bus on port 1 that was set up, with an empty trace and a controller
// that finishes every transfer at once with an acknowledge.
struct ReadyBus
{
    CRecordingPort fake;
    CI2CBus bus{fake};
    ReadyBus()
    {
        bus.m_port = 0x378;
        bus.m_bInitialized = 1;
        fake.SetReadDefault(S1, READY);
    }
    QStringList Trace() const { return Lines(fake.CompactTrace()); }
};

const QStringList PORT_RESET = {"claim 1", "W 37A<-00", "sleep 1ms", "W 37A<-04", "W 379<-00"};
} // namespace

class HwBusTest : public QObject
{
    Q_OBJECT

private slots:
    void initWriteOrder();
    void initWithoutController_data();
    void initWithoutController();
    void initPortHeld();
    void detect_data();
    void detect();
    void shutdown();
    void waitForTransfer_data();
    void waitForTransfer();
    void pinStuckTimesOut();
    void busStaysBusy();
    void notInitialisedTouchesNothing_data();
    void notInitialisedTouchesNothing();
    void readBlockOneByte();
    void readBlockTwoBytes();
    void readBlockThreeBytes();
    void readBlockCountBelowOne_data();
    void readBlockCountBelowOne();
    void readBlockDataNotAcknowledged();
    void startReadAddressNotAcknowledged();
    void readNextAndStopRead();
    void readNextNotAcknowledged();
    void writeBlockWithoutData();
    void writeBlockTwoBytes();
    void startWriteAddressNotAcknowledged();
    void writeNextNotAcknowledged();
    void scanBus();
    void texts_data();
    void texts();
};

void HwBusTest::initWriteOrder()
{
    CRecordingPort fake;
    fake.QueueReads(S1, {0x80});
    CI2CBus bus(fake);
    bus.Init(1);
    QCOMPARE(bus.m_bInitialized, 1);
    QCOMPARE(Lines(fake.CompactTrace()),
             (PORT_RESET + QStringList{"W 37B<-00", "R 37B->80", "W 37B<-C3 x30", "W 37B<-80",
                                       "W 37C<-55", "W 37B<-A0", "W 37C<-18", "W 37B<-40",
                                       "sleep 10ms"}));
}

void HwBusTest::initWithoutController_data()
{
    QTest::addColumn<int>("status");
    QTest::newRow("0x00") << 0x00;
    QTest::newRow("0xFF") << 0xFF;
    QTest::newRow("0x81") << 0x81;
}

void HwBusTest::initWithoutController()
{
    QFETCH(int, status);
    CRecordingPort fake;
    fake.QueueReads(S1, {static_cast<std::uint8_t>(status)});
    CI2CBus bus(fake);
    ExpectCerr([&] { bus.Init(1); }, 11);
    QCOMPARE(bus.m_bInitialized, 0);
    const QString read = "R 37B->" + QString("%1").arg(status, 2, 16, QChar('0')).toUpper();
    QCOMPARE(Lines(fake.Trace()), (PORT_RESET + QStringList{"W 37B<-00", read})); // no STOP
    QVERIFY(bus.m_hPort != INVALID_PORT_HANDLE);                                  // still claimed
    bus.ClosePort();
    QCOMPARE(fake.Trace().back(), "release 1");
}

void HwBusTest::initPortHeld()
{
    CRecordingPort fake;
    fake.SetHeldElsewhere(2, true);
    CI2CBus bus(fake);
    ExpectCerr([&] { bus.Init(2); }, 13);
    QCOMPARE(bus.m_bInitialized, 0);
    QCOMPARE(Lines(fake.Trace()), QStringList{"claim 2 refused"});
}

void HwBusTest::detect_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("present");
    QTest::newRow("controller") << 0x80 << true;
    QTest::newRow("nothing") << 0xFF << false;
    QTest::newRow("busy bus") << 0x00 << false;
}

void HwBusTest::detect()
{
    QFETCH(int, status);
    QFETCH(bool, present);
    CRecordingPort fake;
    fake.QueueReads(S1, {static_cast<std::uint8_t>(status)});
    CI2CBus bus(fake);
    QCOMPARE(bus.Detect(1), present);
    QCOMPARE(bus.m_bInitialized, 0);
    const QStringList trace = Lines(fake.Trace());
    QCOMPARE(trace.mid(0, 6), (PORT_RESET + QStringList{"W 37B<-00"}));
    QCOMPARE(trace.mid(7), QStringList{"release 1"});

    fake.SetHeldElsewhere(1, true);
    fake.ClearTrace();
    QVERIFY(!bus.Detect(1));
    QCOMPARE(Lines(fake.Trace()), QStringList{"claim 1 refused"});
}

void HwBusTest::shutdown()
{
    CRecordingPort fake;
    fake.QueueReads(S1, {0x80});
    CI2CBus bus(fake);
    bus.Init(1);
    fake.ClearTrace();
    bus.Shutdown();
    QCOMPARE(bus.m_bInitialized, 0);
    QCOMPARE(Lines(fake.CompactTrace()), (QStringList{"W 37B<-C3 x30", "release 1"}));
}

void HwBusTest::waitForTransfer_data()
{
    QTest::addColumn<int>("pinReads"); // status reads with PIN set first
    QTest::addColumn<int>("last");
    QTest::addColumn<bool>("acknowledged");
    QTest::newRow("done at once") << 0 << 0x00 << true;
    QTest::newRow("no acknowledge") << 0 << 0x08 << false;
    QTest::newRow("bus state ignored") << 0 << 0x01 << true;
    QTest::newRow("after 3 reads") << 2 << 0x00 << true;
    QTest::newRow("on the 1001st read") << 1000 << 0x08 << false;
}

void HwBusTest::waitForTransfer()
{
    QFETCH(int, pinReads);
    QFETCH(int, last);
    QFETCH(bool, acknowledged);
    ReadyBus rig;
    for (int i = 0; i < pinReads; ++i)
        rig.fake.QueueReads(S1, {0x80});
    rig.fake.QueueReads(S1, {static_cast<std::uint8_t>(last)});
    QCOMPARE(rig.bus.WaitForTransfer(), acknowledged);
    QCOMPARE(int(rig.fake.Trace().size()), pinReads + 1); // no STOP, no pause
}

void HwBusTest::pinStuckTimesOut()
{
    ReadyBus rig;
    rig.fake.SetReadDefault(S1, 0x80);
    ExpectCerr([&] { rig.bus.WaitForTransfer(); }, 8);
    QCOMPARE(rig.Trace(), (QStringList{"R 37B->80 x1001", "W 37B<-C3"}));

    rig.fake.ClearTrace(); // the same inside a transfer
    ExpectCerr([&] { rig.bus.WriteNext(0x42); }, 8);
    QCOMPARE(rig.Trace(), (QStringList{"W 37C<-42", "R 37B->80 x1001", "W 37B<-C3"}));
}

void HwBusTest::busStaysBusy()
{
    ReadyBus rig;
    rig.fake.SetReadDefault(S1, 0x00);
    ExpectCerr([&] { rig.bus.WaitForBusFree(); }, 1);
    QCOMPARE(rig.Trace(), (QStringList{"R 37B->00 x1001", "W 37B<-C3"}));

    rig.fake.ClearTrace();
    ExpectCerr([&] { rig.bus.StartWrite(0x90); }, 1);
    QCOMPARE(rig.Trace(), (QStringList{"R 37B->00 x1001", "W 37B<-C3"}));
}

void HwBusTest::notInitialisedTouchesNothing_data()
{
    QTest::addColumn<QString>("operation");
    QTest::newRow("StartWrite") << "StartWrite";
    QTest::newRow("ReadBlock") << "ReadBlock";
    QTest::newRow("WriteBlock") << "WriteBlock";
    QTest::newRow("ScanBus") << "ScanBus";
}

void HwBusTest::notInitialisedTouchesNothing()
{
    QFETCH(QString, operation);
    ReadyBus rig;
    rig.bus.m_bInitialized = 0;
    std::uint8_t buffer[4] = {};
    std::uint8_t present[128] = {};
    ExpectCerr(
        [&] {
            if (operation == "StartWrite")
                rig.bus.StartWrite(0x90);
            else if (operation == "ReadBlock")
                rig.bus.ReadBlock(0x90, buffer, 4);
            else if (operation == "WriteBlock")
                rig.bus.WriteBlock(0x90, buffer, 4);
            else
                rig.bus.ScanBus(present);
        },
        10);
    QCOMPARE(rig.Trace(), QStringList{});
}

void HwBusTest::readBlockOneByte()
{
    ReadyBus rig;
    rig.fake.QueueReads(S0, {0x91, 0x5A});
    std::uint8_t buffer[2] = {0xEE, 0xEE};
    rig.bus.ReadBlock(0x90, buffer, 1);
    QCOMPARE(buffer[0], 0x5A);
    QCOMPARE(buffer[1], 0xEE);
    QCOMPARE(rig.Trace(),
             (QStringList{"W 37C<-91", "R 37B->01", "W 37B<-C5", "R 37B->01", "W 37B<-40",
                          "R 37C->91", "R 37B->01", "W 37B<-C3", "R 37C->5A"}));
}

void HwBusTest::readBlockTwoBytes()
{
    ReadyBus rig;
    rig.fake.QueueReads(S0, {0x91, 0x11, 0x22});
    std::uint8_t buffer[2] = {};
    rig.bus.ReadBlock(0x90, buffer, 2);
    QCOMPARE(buffer[0], 0x11);
    QCOMPARE(buffer[1], 0x22);
    QCOMPARE(rig.Trace(), (QStringList{"W 37C<-91", "R 37B->01", "W 37B<-C5", "R 37B->01",
                                       "R 37C->91", "R 37B->01", "W 37B<-40", "R 37C->11",
                                       "R 37B->01", "W 37B<-C3", "R 37C->22"}));
}

void HwBusTest::readBlockThreeBytes()
{
    ReadyBus rig;
    rig.fake.QueueReads(S0, {0x91, 0x11, 0x22, 0x33});
    std::uint8_t buffer[3] = {};
    rig.bus.ReadBlock(0x90, buffer, 3);
    QCOMPARE(QByteArray(reinterpret_cast<char*>(buffer), 3), QByteArray("\x11\x22\x33"));
    const QStringList trace = rig.Trace();
    QCOMPARE(trace.mid(4),
             (QStringList{"R 37C->91", "R 37B->01", "R 37C->11", "R 37B->01", "W 37B<-40",
                          "R 37C->22", "R 37B->01", "W 37B<-C3", "R 37C->33"}));
}

void HwBusTest::readBlockCountBelowOne_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("0") << 0;
    QTest::newRow("-1") << -1;
}

void HwBusTest::readBlockCountBelowOne()
{
    QFETCH(int, count);
    ReadyBus rig;
    std::uint8_t buffer[3] = {0xEE, 0xEE, 0xEE};
    ExpectCerr([&] { rig.bus.ReadBlock(0x90, buffer + 1, count); }, 3);
    QCOMPARE(rig.Trace(), QStringList{});
    QCOMPARE(buffer[0], 0xEE);
    QCOMPARE(buffer[1], 0xEE);
}

void HwBusTest::readBlockDataNotAcknowledged()
{
    ReadyBus rig;
    rig.fake.QueueReads(S1, {READY, READY, NO_ACK});
    rig.fake.QueueReads(S0, {0x91, 0x77});
    std::uint8_t buffer[3] = {};
    ExpectCerr([&] { rig.bus.ReadBlock(0x90, buffer, 3); }, 4, 0x90);
    QCOMPARE(rig.Trace().mid(4), (QStringList{"R 37C->91", "R 37B->09", "W 37B<-C3", "R 37C->77"}));
}

void HwBusTest::startReadAddressNotAcknowledged()
{
    ReadyBus rig;
    rig.bus.m_bInitialized = 0; // StartRead does not check
    rig.fake.QueueReads(S1, {READY, NO_ACK});
    ExpectCerr([&] { rig.bus.StartRead(0x9E); }, 5, 0x9E);
    QCOMPARE(rig.Trace(), (QStringList{"W 37C<-9F", "R 37B->01", "W 37B<-C5", "R 37B->09",
                                       "W 37B<-C3", "R 37C->FF"}));
}

void HwBusTest::readNextAndStopRead()
{
    ReadyBus rig;
    rig.fake.QueueReads(S0, {0x42, 0x43});
    QCOMPARE(rig.bus.ReadNext(), 0x42);
    QCOMPARE(rig.bus.StopRead(), 0x43);
    QCOMPARE(rig.Trace(), (QStringList{"R 37C->42", "R 37B->01", "W 37B<-C3", "R 37C->43"}));
}

void HwBusTest::readNextNotAcknowledged()
{
    ReadyBus rig;
    rig.fake.QueueReads(S1, {NO_ACK});
    ExpectCerr([&] { rig.bus.ReadNext(); }, 4, 0);
    QCOMPARE(rig.Trace(), (QStringList{"R 37C->FF", "R 37B->09", "W 37B<-C3", "R 37C->FF"}));
}

void HwBusTest::writeBlockWithoutData()
{
    ReadyBus rig;
    rig.bus.WriteBlock(0x90, nullptr, 0);
    QCOMPARE(rig.Trace(),
             (QStringList{"R 37B->01", "W 37C<-90", "W 37B<-C5", "R 37B->01", "W 37B<-C3"}));
}

void HwBusTest::writeBlockTwoBytes()
{
    ReadyBus rig;
    const std::uint8_t bytes[] = {0x40, 0x7F};
    rig.bus.WriteBlock(0x90, bytes, 2);
    QCOMPARE(rig.Trace(),
             (QStringList{"R 37B->01", "W 37C<-90", "W 37B<-C5", "R 37B->01", "W 37C<-40",
                          "R 37B->01", "W 37C<-7F", "R 37B->01", "W 37B<-C3"}));
}

void HwBusTest::startWriteAddressNotAcknowledged()
{
    ReadyBus rig;
    rig.fake.QueueReads(S1, {READY, NO_ACK});
    const std::uint8_t byte = 0x11;
    ExpectCerr([&] { rig.bus.WriteBlock(0x44, &byte, 1); }, 5, 0x44);
    QCOMPARE(rig.Trace(),
             (QStringList{"R 37B->01", "W 37C<-44", "W 37B<-C5", "R 37B->09", "W 37B<-C3"}));
}

void HwBusTest::writeNextNotAcknowledged()
{
    ReadyBus rig;
    rig.fake.QueueReads(S1, {READY, READY, READY, NO_ACK}); // the second data byte
    const std::uint8_t bytes[] = {0x40, 0x7F};
    ExpectCerr([&] { rig.bus.WriteBlock(0x90, bytes, 2); }, 4, 0);
    QCOMPARE(rig.Trace().mid(6), (QStringList{"W 37C<-7F", "R 37B->09", "W 37B<-C3"}));
}

void HwBusTest::scanBus()
{
    ReadyBus rig;
    for (int a = 0; a < 128; ++a)
        rig.fake.QueueReads(S1, {READY, a == 0x48 ? READY : NO_ACK});
    std::uint8_t present[128];
    std::fill(std::begin(present), std::end(present), 0xEE);
    rig.bus.ScanBus(present);
    for (int a = 0; a < 128; ++a)
        QCOMPARE(present[a], a == 0x48 ? 1 : 0);
    const QStringList trace = rig.Trace();
    QCOMPARE(trace.size(), 128 * 5);
    QCOMPARE(trace.mid(0x48 * 5, 5),
             (QStringList{"R 37B->01", "W 37C<-90", "W 37B<-C5", "R 37B->01", "W 37B<-C3"}));
    QCOMPARE(trace.mid(127 * 5, 5),
             (QStringList{"R 37B->01", "W 37C<-FE", "W 37B<-C5", "R 37B->09", "W 37B<-C3"}));
}

void HwBusTest::texts_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");
    const char* const texts[] = {
        "transfer ended No Errors", "transfer busy",           "general error",
        "No data in block",         "No ack on data",          "No ack on address",
        "Device not present",       "Arbitration lost",        "Time out occurred",
        "Slave mode error",         "Initialization not done", "No I2C-Controller found",
        "No acknowledgement",       "EPP-Port in use"};
    for (int n = 0; n < 14; ++n)
        QTest::addRow("%d", n) << n << texts[n];
    for (int n : {14, -1, 1000})
        QTest::addRow("%d", n) << n << "err: Unknown";
}

void HwBusTest::texts()
{
    QFETCH(int, number);
    QFETCH(QString, text);
    const CERR error(number, 0x90);
    QCOMPARE(QString(error.GetText()), text);
    QCOMPARE(error.GetNumber(), number);
    QCOMPARE(error.GetDetail(), 0x90);
}

QTEST_APPLESS_MAIN(HwBusTest)
#include "hw_bus.moc"
