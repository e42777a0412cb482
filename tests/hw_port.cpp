// Claiming a parallel port and reaching its registers: exact register traces
// on the recording fake, and the error paths of the real backend.

#include "hw/I2CBus.h"
#include "hw/ParportBackend.h"
#include "hw/RecordingPort.h"
#include "hw/SimBoard.h"

#include "hw_support.h"

#include <QtTest>
#include <unistd.h>

class HwPortTest : public QObject
{
    Q_OBJECT

private slots:
    void openPort_data();
    void openPort();
    void openPortHeldElsewhere();
    void openPortTwiceKeepsItsClaim();
    void otherPortNumbersTouchNothing_data();
    void otherPortNumbersTouchNothing();
    void testPortReleasesAtOnce();
    void testPortKeepsTheHeldHandle();
    void closePortKeepsBase();
    void registerAddresses_data();
    void registerAddresses();
    void recorderPassesThrough();
    void realBackendWithoutPort();
};

void HwPortTest::openPort_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("base");
    QTest::addColumn<QStringList>("trace");
    QTest::newRow("LPT1") << 1 << 0x378
                          << QStringList{"claim 1", "W 37A<-00", "sleep 1ms", "W 37A<-04",
                                         "W 379<-00"};
    QTest::newRow("LPT2") << 2 << 0x278
                          << QStringList{"claim 2", "W 27A<-00", "sleep 1ms", "W 27A<-04",
                                         "W 279<-00"};
}

void HwPortTest::openPort()
{
    QFETCH(int, port);
    QFETCH(int, base);
    QFETCH(QStringList, trace);
    CRecordingPort fake;
    CI2CBus bus(fake);
    bus.OpenPort(port);
    QCOMPARE(bus.m_port, base);
    QVERIFY(bus.m_hPort != INVALID_PORT_HANDLE);
    QCOMPARE(bus.m_bInitialized, 0);
    QCOMPARE(Lines(fake.Trace()), trace);
}

void HwPortTest::openPortHeldElsewhere()
{
    CRecordingPort fake;
    fake.SetHeldElsewhere(1, true);
    CI2CBus bus(fake);
    ExpectCerr([&] { bus.OpenPort(1); }, 13);
    QCOMPARE(bus.m_hPort, INVALID_PORT_HANDLE);
    QCOMPARE(bus.m_port, 0);
    QCOMPARE(Lines(fake.Trace()), QStringList{"claim 1 refused"});
}

void HwPortTest::openPortTwiceKeepsItsClaim()
{
    CRecordingPort fake;
    CI2CBus bus(fake);
    bus.OpenPort(1);
    const PortHandle held = bus.m_hPort;
    fake.ClearTrace();
    ExpectCerr([&] { bus.OpenPort(1); }, 13);
    QCOMPARE(bus.m_hPort, held);
    bus.ClosePort();
    QCOMPARE(Lines(fake.Trace()), (QStringList{"claim 1 refused", "release 1"}));
}

void HwPortTest::otherPortNumbersTouchNothing_data()
{
    QTest::addColumn<int>("port");
    QTest::newRow("0") << 0;
    QTest::newRow("3") << 3;
    QTest::newRow("0x378") << 0x378;
    QTest::newRow("65535") << 65535;
}

void HwPortTest::otherPortNumbersTouchNothing()
{
    QFETCH(int, port);
    CRecordingPort fake;
    CI2CBus bus(fake);
    QVERIFY(!bus.TestPort(port));
    ExpectCerr([&] { bus.OpenPort(port); }, 13);
    QVERIFY(!bus.Detect(port));
    ExpectCerr([&] { bus.Init(port); }, 13);
    QCOMPARE(Lines(fake.Trace()), QStringList{});
}

void HwPortTest::testPortReleasesAtOnce()
{
    CRecordingPort fake;
    CI2CBus bus(fake);
    QVERIFY(bus.TestPort(1));
    QCOMPARE(Lines(fake.Trace()), (QStringList{"claim 1", "release 1"}));
    bus.OpenPort(1); // free again
    fake.SetHeldElsewhere(2, true);
    QVERIFY(!bus.TestPort(2));
    QVERIFY(!bus.TestPort(1)); // held by this very object
}

void HwPortTest::testPortKeepsTheHeldHandle()
{
    CRecordingPort fake;
    CI2CBus bus(fake);
    bus.OpenPort(2);
    const PortHandle held = bus.m_hPort;
    QVERIFY(bus.TestPort(1));
    QCOMPARE(bus.m_hPort, held);
    fake.ClearTrace();
    bus.ClosePort();
    QCOMPARE(Lines(fake.Trace()), QStringList{"release 2"});
}

void HwPortTest::closePortKeepsBase()
{
    CRecordingPort fake;
    CI2CBus bus(fake);
    bus.OpenPort(2);
    bus.ClosePort();
    QCOMPARE(bus.m_port, 0x278);
    QCOMPARE(bus.m_hPort, INVALID_PORT_HANDLE);
    bus.OpenPort(2); // released, so it can be claimed again
}

void HwPortTest::registerAddresses_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("write");
    QTest::addColumn<QString>("read");
    QTest::newRow("EPP data of LPT2") << 2 << 4 << "W 27C<-AB"
                                      << "R 27C->5A";
    QTest::newRow("EPP address of LPT1") << 1 << 3 << "W 37B<-AB"
                                         << "R 37B->5A";
    QTest::newRow("data of LPT1") << 1 << 0 << "W 378<-AB"
                                  << "R 378->5A";
}

void HwPortTest::registerAddresses()
{
    QFETCH(int, port);
    QFETCH(int, offset);
    QFETCH(QString, write);
    QFETCH(QString, read);
    CRecordingPort fake;
    CI2CBus bus(fake);
    bus.OpenPort(port);
    const auto address = static_cast<std::uint16_t>(bus.m_port + offset);
    fake.QueueReads(address, {0x5A});
    fake.ClearTrace();
    bus.WriteRegister(offset, 0xAB);
    QCOMPARE(bus.ReadRegister(offset), 0x5A);
    QCOMPARE(bus.ReadRegister(offset), 0xFF); // queue used up: an empty bus
    QCOMPARE(Lines(fake.Trace()), (QStringList{write, read, read.left(7) + "FF"}));
}

void HwPortTest::recorderPassesThrough()
{
    CSimBoard board;
    CRecordingPort recorder(board);
    CI2CBus bus(recorder);
    bus.Init(1);
    QVERIFY(board.IsClaimed(1));
    bus.Shutdown();
    QVERIFY(!board.IsClaimed(1));
    const QStringList trace = Lines(recorder.CompactTrace());
    QCOMPARE(trace.mid(5, 3), (QStringList{"W 37B<-00", "R 37B->80", "W 37B<-C3 x30"}));
    QCOMPARE(trace.last(), "release 1");
}

// No parallel port on this machine: claims fail cleanly, nothing crashes.
void HwPortTest::realBackendWithoutPort()
{
    if (access("/dev/parport0", F_OK) == 0 || access("/dev/parport1", F_OK) == 0)
        QSKIP("this machine has a parallel port");
    CI2CBus bus; // the real ports
    QVERIFY(!bus.TestPort(1));
    QVERIFY(!bus.TestPort(2));
    ExpectCerr([&] { bus.OpenPort(1); }, 13);
    ExpectCerr([&] { bus.Init(2); }, 13);
    QVERIFY(!bus.Detect(1));
    QCOMPARE(bus.m_bInitialized, 0);
    QCOMPARE(bus.m_hPort, INVALID_PORT_HANDLE);
    bus.ClosePort();

    CParportBackend port;
    QCOMPARE(port.Claim(1), INVALID_PORT_HANDLE);
    QCOMPARE(port.Claim(3), INVALID_PORT_HANDLE);
    QCOMPARE(port.Read(0x37B), 0xFF); // unclaimed: reads like an empty bus
    port.Write(0x37B, 0xC3);
    port.Release(INVALID_PORT_HANDLE);
    port.Release(42);
}

QTEST_APPLESS_MAIN(HwPortTest)
#include "hw_port.moc"
