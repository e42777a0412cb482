// All four inputs of a converter in one write and one read on the PCF8584
// bus: the same readings as four ReadChannel calls, in a quarter of the
// transfers, with the controller driven as the block transfers drive it.

#include "hw/I2CDevice.h"
#include "hw/RecordingPort.h"
#include "hw/SimBoard.h"

#include "hw_support.h"

#include <QtTest>

class HwSweepTest : public QObject
{
    Q_OBJECT

private slots:
    void sweepEqualsFourReadChannels();
    void sweepRegisterTrace();
    void probeOnTheController();
};

void HwSweepTest::sweepEqualsFourReadChannels()
{
    CSimBoard board;
    CSimConverter& chip = board.AddConverter(0x92);
    const std::uint8_t inputs[4] = {0x00, 0x7F, 0xFF, 0x33};
    for (int i = 0; i < 4; ++i)
        chip.SetInput(i, inputs[i]);
    CI2CBus bus(board);
    bus.Init(1);
    CI2CConverter converter;
    converter.Attach(&bus, 0x92);
    converter.SetControl(0x00);
    converter.SetFullScale(7.5);

    double single[4] = {};
    board.Controller().ClearBusTrace();
    for (std::uint8_t input = 0; input < 4; ++input)
        single[input] = converter.ReadChannel(input);
    QCOMPARE(board.Controller().BusTrace().size(), std::size_t(8));

    board.Controller().ClearBusTrace();
    const auto raw = converter.ReadInputs();
    QCOMPARE(Lines(board.Controller().BusTrace()),
             (QStringList{"S 92 44 P", "S 93 33 00 7F FF 33* P"}));
    for (int input = 0; input < 4; ++input)
        QCOMPARE(converter.ToPhysical(raw[input]), single[input]);
    QCOMPARE(chip.Control(), 0x44);
}

// Write 0x44 as WriteBlock sends it, then five bytes as ReadBlock receives
// them: dummy read, three acknowledged bytes, acknowledge off, the last byte
// after STOP.
void HwSweepTest::sweepRegisterTrace()
{
    CSimBoard board;
    board.AddDefaultDevices();
    CRecordingPort port(board);
    CI2CBus bus(port);
    bus.Init(1);
    CI2CConverter converter;
    converter.Attach(&bus, 0x90);
    port.ClearTrace();
    const auto raw = converter.ReadInputs();
    QCOMPARE(raw, (std::array<std::uint8_t, 4>{0x00, 0x80, 0xFF, 0x40}));
    const QStringList expected = {
        // write transfer: bus free, address, START, acknowledged, 0x44, STOP
        "R 37B->81", "W 37C<-90", "W 37B<-C5", "R 37B->00", "W 37C<-44", "R 37B->00", "W 37B<-C3",
        // read transfer: dummy read, four bytes with acknowledge, the last without
        "W 37C<-91", "R 37B->81", "W 37B<-C5", "R 37B->00", "R 37C->91", "R 37B->00", "R 37C->80",
        "R 37B->00", "R 37C->00", "R 37B->00", "R 37C->80", "R 37B->00", "W 37B<-40", "R 37C->FF",
        "R 37B->08", "W 37B<-C3", "R 37C->40"};
    QCOMPARE(Lines(port.Trace()), expected);
}

void HwSweepTest::probeOnTheController()
{
    CSimBoard board;
    board.AddDefaultDevices();
    CI2CBus bus(board);
    ExpectCerr([&] { bus.Probe(0x90); }, 10);
    bus.Init(1);
    QVERIFY(bus.Probe(0x90));
    QVERIFY(!bus.Probe(0x98));
    QCOMPARE(Lines(board.Controller().BusTrace()), (QStringList{"S 90 P", "S 98* P"}));
}

QTEST_GUILESS_MAIN(HwSweepTest)
#include "hw_sweep.moc"
