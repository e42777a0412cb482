// Device objects end to end on the simulated board: whole transfers as the
// devices see them on the bus ("S 90 42 P": START, address 0x90, data 0x42,
// STOP; "*" marks a byte nobody acknowledged).

#include "hw/I2CDevice.h"
#include "hw/SimBoard.h"
#include "hw/SimLayout.h"

#include "hw_support.h"

#include <QtTest>
#include <map>

namespace {

// A simulated board with a set-up bus on port 1 and a converter at 0x90.
struct Board
{
    CSimBoard board;
    CSimConverter& chip = board.AddConverter(0x90);
    CI2CBus bus{board};
    CI2CConverter converter;

    Board()
    {
        bus.Init(1);
        converter.Attach(&bus, 0x90);
        converter.SetControl(0x40);
        converter.SetFullScale(5.0);
    }
    QStringList Transfers() const { return Lines(board.Controller().BusTrace()); }
    void Clear() { board.Controller().ClearBusTrace(); }
};

std::vector<int> PresentAddresses(CI2CBus& bus)
{
    std::uint8_t present[128] = {};
    bus.ScanBus(present);
    std::vector<int> found;
    for (int a = 0; a < 128; ++a)
        if (present[a])
            found.push_back(a);
    return found;
}
} // namespace

class HwDevicesTest : public QObject
{
    Q_OBJECT

private slots:
    void constructedIdle();
    void unattachedDeviceThrows();
    void controllerSetUp();
    void portsOfTheBoard();
    void scanFindsExactlyTheDevices();
    void readChannel();
    void readChannelRefusesInputAboveThree();
    void writeOutput_data();
    void writeOutput();
    void writeContinuous();
    void readContinuous();
    void failedFirstContinuousReadStaysIdle();
    void absentConverter();
    void portDevice();
    void readBlockOnDevice();
    void longSimulationKeepsABoundedTrace();
};

// The enlarged monitoring window holds these as members: building them
// touches no hardware.
void HwDevicesTest::constructedIdle()
{
    CI2CBus bus;
    CI2CConverter converters[4];
    CI2CPortDevice ports[2];
    QCOMPARE(bus.m_bInitialized, 0);
    QCOMPARE(bus.m_hPort, INVALID_PORT_HANDLE);
    QCOMPARE(converters[3].m_address, 0);
    QCOMPARE(converters[3].m_pBus, nullptr);
    QCOMPARE(converters[3].m_fullScale, 0.0);
    QVERIFY(!converters[3].m_bReading);
    QVERIFY(!converters[3].m_bWriting);
    QCOMPARE(ports[1].m_address, 0);
    ports[0].Attach(&bus, 0x40);
    QCOMPARE(ports[0].m_pBus, &bus);
    QCOMPARE(ports[0].m_address, 0x40);
}

void HwDevicesTest::unattachedDeviceThrows()
{
    CI2CPortDevice device;
    ExpectCerr([&] { device.Read(); }, 10);
    CI2CConverter converter;
    ExpectCerr([&] { converter.WriteContinuous(1.0); }, 10);
    QVERIFY(!converter.m_bWriting);
}

void HwDevicesTest::controllerSetUp()
{
    Board b;
    QCOMPARE(b.bus.m_bInitialized, 1);
    QCOMPARE(b.board.Controller().OwnAddress(), 0x55);
    QCOMPARE(b.board.Controller().Clock(), 0x18);
    QCOMPARE(b.board.Controller().ReadS1(), 0x81); // PIN set, bus free
    QCOMPARE(b.Transfers(), QStringList{});        // set-up sends nothing on the bus
    b.bus.Shutdown();
    QVERIFY(!b.board.IsClaimed(1));
    b.bus.Init(1); // again after shutdown
    QCOMPARE(b.bus.m_bInitialized, 1);
}

void HwDevicesTest::portsOfTheBoard()
{
    CSimBoard board;
    CI2CBus bus(board);
    QVERIFY(bus.Detect(1));
    QVERIFY(!bus.Detect(2)); // a port without controller
    QVERIFY(!board.IsClaimed(2));
    ExpectCerr([&] { bus.Init(2); }, 11);
    QVERIFY(board.IsClaimed(2)); // stays claimed until closed
    bus.ClosePort();
    board.SetHeldElsewhere(1, true);
    QVERIFY(!bus.Detect(1));
    ExpectCerr([&] { bus.Init(1); }, 13);
}

void HwDevicesTest::scanFindsExactlyTheDevices()
{
    CSimBoard board;
    CI2CBus bus(board);
    bus.Init(1);
    QCOMPARE(PresentAddresses(bus), std::vector<int>{});
    board.AddConverter(0x90);
    board.AddConverter(0x9E);
    board.AddPortDevice(0x40);
    QCOMPARE(PresentAddresses(bus), (std::vector<int>{0x20, 0x48, 0x4F}));
    const QStringList transfers = Lines(board.Controller().BusTrace());
    QCOMPARE(transfers.size(), 256);
    QCOMPARE(transfers[128 + 0x48], "S 90 P");
    QCOMPARE(transfers[128 + 0x49], "S 92* P");

    CSimBoard standard;
    standard.AddDefaultDevices();
    CI2CBus other(standard);
    other.Init(1);
    QCOMPARE(PresentAddresses(other), (std::vector<int>{0x20, 0x21, 0x48, 0x49, 0x4A, 0x4B}));
}

void HwDevicesTest::readChannel()
{
    Board b;
    b.chip.SetInput(0, 0x11);
    b.chip.SetInput(2, 0xFF);
    b.converter.ReadChannel(0); // leaves the conversion of input 0 (0x11) in the chip
    b.Clear();
    QCOMPARE(b.converter.ReadChannel(2), 5.0);
    QCOMPARE(b.Transfers(), (QStringList{"S 90 42 P", "S 91 11 FF* P"}));
    QCOMPARE(b.chip.Control(), 0x42);
    QCOMPARE(b.converter.m_control, 0x40); // the input is not kept

    b.chip.SetInput(1, 0x33);
    QCOMPARE(b.converter.ReadChannel(1), 0x33 / 255.0 * 5.0);
}

void HwDevicesTest::readChannelRefusesInputAboveThree()
{
    Board b;
    ExpectCerr([&] { b.converter.ReadChannel(4); }, 2);
    ExpectCerr([&] { b.converter.ReadChannel(0xFF); }, 2);
    QCOMPARE(b.Transfers(), QStringList{});
}

void HwDevicesTest::writeOutput_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("transfer");
    QTest::newRow("half") << 2.5 << "S 90 40 7F 7F P"; // 127.5 truncated
    QTest::newRow("zero") << 0.0 << "S 90 40 00 00 P";
    QTest::newRow("full scale") << 5.0 << "S 90 40 FF FF P";
    QTest::newRow("just below") << 4.99 << "S 90 40 FE FE P";
    QTest::newRow("past full scale wraps") << 5.02 << "S 90 40 00 00 P";
}

void HwDevicesTest::writeOutput()
{
    QFETCH(double, value);
    QFETCH(QString, transfer);
    Board b;
    b.converter.WriteOutput(value);
    QCOMPARE(b.Transfers(), QStringList{transfer});
    QCOMPARE(b.chip.Control(), 0x40);
    QCOMPARE(b.chip.Output(), transfer.mid(11, 2).toUInt(nullptr, 16));
}

void HwDevicesTest::writeContinuous()
{
    Board b;
    b.converter.WriteContinuous(0.0);
    QVERIFY(b.converter.m_bWriting);
    b.converter.WriteContinuous(5.0);
    b.converter.WriteContinuous(2.5);
    QCOMPARE(b.Transfers(), QStringList{"S 90 40 00 00 FF 7F"}); // no STOP yet
    QCOMPARE(b.chip.Output(), 0x7F);
    b.converter.StopWriting();
    QVERIFY(!b.converter.m_bWriting);
    QCOMPARE(b.Transfers(), QStringList{"S 90 40 00 00 FF 7F P"});
}

void HwDevicesTest::readContinuous()
{
    Board b;
    b.chip.SetInput(0, 0x33);
    // The first value is the conversion made before the control byte (0x80
    // after power-on); from then on every call clocks exactly one more byte.
    QCOMPARE(b.converter.ReadContinuous(), 0x80 / 255.0 * 5.0);
    QVERIFY(b.converter.m_bReading);
    QCOMPARE(b.Transfers(), (QStringList{"S 90 40 P", "S 91 80 33"}));
    QCOMPARE(b.converter.ReadContinuous(), 0x33 / 255.0 * 5.0);
    QCOMPARE(b.Transfers(), (QStringList{"S 90 40 P", "S 91 80 33 33"}));
    b.converter.StopReading();
    QVERIFY(!b.converter.m_bReading);
    QCOMPARE(b.Transfers(), (QStringList{"S 90 40 P", "S 91 80 33 33 P"}));
}

void HwDevicesTest::failedFirstContinuousReadStaysIdle()
{
    Board b;
    b.converter.Attach(&b.bus, 0x98);
    ExpectCerr([&] { b.converter.ReadContinuous(); }, 5, 0x98);
    QVERIFY(!b.converter.m_bReading);
    ExpectCerr([&] { b.converter.WriteContinuous(1.0); }, 5, 0x98);
    QVERIFY(!b.converter.m_bWriting);
}

void HwDevicesTest::absentConverter()
{
    Board b;
    CI2CConverter absent;
    absent.Attach(&b.bus, 0x98);
    absent.SetControl(0x40);
    absent.SetFullScale(5.0);
    ExpectCerr([&] { absent.ReadChannel(1); }, 5, 0x98);
    ExpectCerr([&] { absent.WriteOutput(1.0); }, 5, 0x98);
    QCOMPARE(b.Transfers(), (QStringList{"S 98* P", "S 98* P"}));
    b.chip.SetInput(3, 0xFF); // the bus was released: the next device works
    QCOMPARE(b.converter.ReadChannel(3), 5.0);
}

void HwDevicesTest::portDevice()
{
    Board b;
    CSimPortDevice& chip = b.board.AddPortDevice(0x40);
    CI2CPortDevice port;
    port.Attach(&b.bus, 0x40);
    QCOMPARE(port.Read(), 0xFF);
    port.Write(0x0F);
    QCOMPARE(chip.Latch(), 0x0F);
    chip.SetPins(0xF3);
    QCOMPARE(port.Read(), 0x03);
    QCOMPARE(b.Transfers(), (QStringList{"S 41 FF* P", "S 40 0F P", "S 41 03* P"}));
}

void HwDevicesTest::readBlockOnDevice()
{
    Board b;
    b.chip.SetInput(0, 0x21);
    std::uint8_t buffer[3] = {};
    b.converter.ReadBlock(buffer, 3);
    QCOMPARE(QByteArray(reinterpret_cast<char*>(buffer), 3), QByteArray("\x80\x21\x21"));
    ExpectCerr([&] { b.converter.ReadBlock(buffer, 0); }, 3);
    const std::uint8_t bytes[] = {0x40, 0x10, 0x20};
    b.converter.WriteBlock(bytes, 3);
    QCOMPARE(b.chip.Output(), 0x20);
    QCOMPARE(b.Transfers(), (QStringList{"S 91 80 21 21* P", "S 90 40 10 20 P"}));
}

// The program's simulation polls for hours: every sweep reads sixteen inputs
// and writes two port devices, and the trace must not keep them all.
void HwDevicesTest::longSimulationKeepsABoundedTrace()
{
    CSimLayout layout;
    for (int k = 1; k <= CSimLayout::kChannels; ++k) {
        CSimLayout::Wiring w;
        w.converter = std::uint8_t(0x90 + 2 * ((k - 1) / 4));
        w.input = (k - 1) % 4;
        w.fullScale = 5.0;
        w.port = k <= 8 ? 0x40 : 0x42;
        w.bit = (k - 1) % 8;
        layout.Wire(k, w);
        layout.SetLoad(k, {CSimLayout::LoadKind::Steady, 0.1 * k, 60});
    }
    CI2CBus bus(layout.Board());
    bus.Init(1);
    std::map<std::uint8_t, CI2CConverter> converters;
    std::map<std::uint8_t, CI2CPortDevice> ports;
    for (std::uint8_t address : layout.Devices()) {
        if (address >= 0x90) {
            converters[address].Attach(&bus, address);
            converters[address].SetFullScale(5.0);
        } else {
            ports[address].Attach(&bus, address);
        }
    }
    const CSimController& controller = layout.Board().Controller();
    const int sweeps = 6000;
    for (int sweep = 0; sweep < sweeps; ++sweep) {
        layout.Refresh(sweep * 0.01);
        for (auto& [address, converter] : converters)
            for (std::uint8_t input = 0; input < 4; ++input)
                converter.ReadChannel(input);
        for (auto& [address, port] : ports)
            port.Write(std::uint8_t(sweep));
    }
    const QStringList transfers = Lines(controller.BusTrace());
    QVERIFY2(std::size_t(transfers.size()) <= CSimController::kDefaultTraceLimit,
             qPrintable(QString::number(transfers.size())));
    QVERIFY(transfers.size() > 0);
    // It keeps the latest transfers: the last sweep's output bytes.
    const QString last = QStringLiteral("%1").arg((sweeps - 1) & 0xFF, 2, 16, QLatin1Char('0'));
    QCOMPARE(transfers.back(), QStringLiteral("S 42 %1 P").arg(last.toUpper()));

    layout.Board().Controller().SetBusTraceLimit(0);
    converters.begin()->second.ReadChannel(0);
    QCOMPARE(Lines(controller.BusTrace()), QStringList{});
}

QTEST_APPLESS_MAIN(HwDevicesTest)
#include "hw_devices.moc"
