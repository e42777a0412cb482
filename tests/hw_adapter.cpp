// The kernel adapter against a simulated /dev/i2c-N node whose devices are
// those of the simulated board; every call to the kernel is one line of the
// node's trace ("W 90: 44 | R 91: 80 00 80 FF 40", "*": not acknowledged).

#include "hw/I2CAdapter.h"
#include "hw/I2CDevice.h"
#include "hw/SimBoard.h"
#include "hw/SimI2CNode.h"

#include "hw_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>
#include <cerrno>

namespace {

const std::string kPath = "/dev/i2c-1";

struct Adapter
{
    CSimBoard board;
    CSimI2CNode node{board.Controller(), kPath};
    CI2CAdapter adapter{node};
    CI2CConverter converter;
    CI2CPortDevice port;

    explicit Adapter(unsigned long functions = CSimI2CNode::kI2CFunctions)
    {
        board.AddDefaultDevices();
        node.SetFunctions(functions);
        adapter.Open(1);
        converter.Attach(&adapter, 0x90);
        converter.SetControl(0x00);
        converter.SetFullScale(5.0);
        port.Attach(&adapter, 0x40);
    }
    CSimConverter& Chip()
    {
        return *static_cast<CSimConverter*>(board.Controller().DeviceAt(0x90));
    }
    QStringList Trace() const { return Lines(node.Trace()); }
};

} // namespace

class HwAdapterTest : public QObject
{
    Q_OBJECT

private slots:
    void converterAndPortDevice();
    void sweepIsOneCombinedCall();
    void errnoMapsToErrorNumber_data();
    void errnoMapsToErrorNumber();
    void absentDeviceAndContinuousTransfers();
    void smbusFallback();
    void nodesThatAreNoAdapter();
    void unpluggedAdapterComesBack();
    void probeAsI2cdetect();
    void adaptersAsTheKernelListsThem();
};

void HwAdapterTest::converterAndPortDevice()
{
    Adapter a;
    QCOMPARE(a.adapter.Combined(), true);
    QCOMPARE(a.converter.ReadChannel(2), 5.0); // input 2 of the default board reads 0xFF
    QCOMPARE(a.Trace(), (QStringList{"W 90: 02", "R 91: 80 FF"}));
    QCOMPARE(a.converter.ReadChannel(1), 0x80 / 255.0 * 5.0);

    a.node.ClearTrace();
    a.port.Write(0x0F);
    QCOMPARE(a.Trace(), QStringList{"W 40: 0F"});
    QCOMPARE(static_cast<CSimPortDevice*>(a.board.Controller().DeviceAt(0x40))->Latch(), 0x0F);
    QCOMPARE(a.port.Read(), std::uint8_t(0x0F));

    a.node.ClearTrace();
    a.converter.WriteOutput(2.5);
    QCOMPARE(a.Trace(), QStringList{"W 90: 40 7F 7F"});
}

void HwAdapterTest::sweepIsOneCombinedCall()
{
    Adapter a;
    a.Chip().SetInput(0, 0x11);
    a.Chip().SetInput(3, 0xEE);
    const long before = a.adapter.TransferCalls();
    const auto raw = a.converter.ReadInputs();
    QCOMPARE(a.adapter.TransferCalls() - before, 1L);
    QCOMPARE(a.Trace(), QStringList{"W 90: 44 | R 91: 80 11 80 FF EE"});
    QCOMPARE(raw, (std::array<std::uint8_t, 4>{0x11, 0x80, 0xFF, 0xEE}));
    // The same readings as one input at a time.
    for (std::uint8_t input = 0; input < 4; ++input)
        QCOMPARE(a.converter.ToPhysical(raw[input]), a.converter.ReadChannel(input));

    a.converter.SetControl(0x10); // three differential inputs: no plain sweep
    a.node.ClearTrace();
    ExpectCerr([&] { a.converter.ReadInputs(); }, 2);
    QVERIFY(a.node.Trace().empty());
}

void HwAdapterTest::errnoMapsToErrorNumber_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("detail");
    QTest::newRow("ENXIO") << ENXIO << 5 << 0x40;
    QTest::newRow("EREMOTEIO") << EREMOTEIO << 5 << 0x40;
    QTest::newRow("ETIMEDOUT") << ETIMEDOUT << 8 << 0;
    QTest::newRow("EBUSY") << EBUSY << 1 << 0;
    QTest::newRow("EAGAIN") << EAGAIN << 1 << 0;
    QTest::newRow("ENOENT") << ENOENT << 13 << 0;
    QTest::newRow("EACCES") << EACCES << 13 << 0;
    QTest::newRow("ENOTTY") << ENOTTY << 13 << 0;
    QTest::newRow("EIO") << EIO << 2 << 0;
}

void HwAdapterTest::errnoMapsToErrorNumber()
{
    QFETCH(int, error);
    QFETCH(int, number);
    QFETCH(int, detail);
    for (const unsigned long functions :
         {CSimI2CNode::kI2CFunctions, CSimI2CNode::kSmbusFunctions}) {
        Adapter a(functions);
        a.node.FailNext(error);
        ExpectCerr([&] { a.port.Write(0x01); }, number, detail);
        QCOMPARE(a.adapter.LastErrno(), error);
        QVERIFY(a.node.Trace().empty()); // nothing reached the device
        // The adapter is usable again at once, reopened where the node may have gone.
        a.port.Write(0x02);
        QCOMPARE(a.Trace().last(), functions == CSimI2CNode::kI2CFunctions
                                       ? QStringLiteral("W 40: 02")
                                       : QStringLiteral("smbus W 40: 02"));
        QCOMPARE(a.node.OpenDescriptors(), 1);
    }
}

void HwAdapterTest::absentDeviceAndContinuousTransfers()
{
    Adapter a;
    CI2CConverter absent;
    absent.Attach(&a.adapter, 0x98);
    absent.SetFullScale(5.0);
    ExpectCerr([&] { absent.ReadChannel(0); }, 5, 0x98);
    QCOMPARE(a.Trace(), QStringList{"W 98*:"});
    ExpectCerr([&] { absent.ReadInputs(); }, 5, 0x98);
    // A kernel transfer cannot stay open between calls.
    ExpectCerr([&] { a.converter.ReadContinuous(); }, 2);
    ExpectCerr([&] { a.converter.WriteContinuous(1.0); }, 2);
    QCOMPARE(a.converter.m_bReading, false);
    QVERIFY(a.converter.m_pBus == nullptr);
}

void HwAdapterTest::smbusFallback()
{
    Adapter a(CSimI2CNode::kSmbusFunctions);
    QCOMPARE(a.adapter.Combined(), false);
    QCOMPARE(a.converter.ReadChannel(2), 5.0);
    QCOMPARE(a.Trace(), (QStringList{"smbus W 90: 02", "smbus R 91: 80", "smbus R 91: FF"}));

    a.node.ClearTrace();
    a.Chip().SetInput(0, 0x11);
    const auto raw = a.converter.ReadInputs();
    QCOMPARE(raw, (std::array<std::uint8_t, 4>{0x11, 0x80, 0xFF, 0x40}));
    QCOMPARE(a.Trace().size(), 6);
    QCOMPARE(a.Trace().first(), QStringLiteral("smbus W 90: 44"));

    a.node.ClearTrace();
    a.port.Write(0xA5);
    QCOMPARE(a.Trace(), QStringList{"smbus W 40: A5"});
    // Three bytes have no byte call: refused, nothing sent.
    a.node.ClearTrace();
    ExpectCerr([&] { a.converter.WriteOutput(2.5); }, 2);
    QVERIFY(a.node.Trace().empty());
}

void HwAdapterTest::nodesThatAreNoAdapter()
{
    // The real nodes: a regular file, a character device that is no adapter,
    // a path that does not exist.
    QTemporaryFile file;
    QVERIFY(file.open());
    CI2CAdapter adapter;
    ExpectCerr([&] { adapter.Open(file.fileName().toStdString()); }, 13);
    QCOMPARE(adapter.LastErrno(), ENOTTY);
    QVERIFY(!adapter.IsOpen());
    ExpectCerr([&] { adapter.Open("/dev/null"); }, 13);
    QCOMPARE(adapter.LastErrno(), ENOTTY);
    ExpectCerr([&] { adapter.Open("/nonexistent/i2c-99"); }, 13);
    QCOMPARE(adapter.LastErrno(), ENOENT);
    std::uint8_t byte = 0;
    ExpectCerr([&] { adapter.Read(0x40, &byte, 1); }, 13); // tries the node again

    // A simulated node that closes what it opened when it is no adapter.
    CSimBoard board;
    CSimI2CNode node(board.Controller(), kPath);
    node.SetNotAnAdapter(true);
    CI2CAdapter simulated(node);
    ExpectCerr([&] { simulated.Open(1); }, 13);
    QCOMPARE(node.OpenDescriptors(), 0);
    ExpectCerr([&] { simulated.Open(2); }, 13);
    QCOMPARE(simulated.LastErrno(), ENOENT);
}

void HwAdapterTest::unpluggedAdapterComesBack()
{
    Adapter a;
    QCOMPARE(a.converter.ReadChannel(2), 5.0);
    a.node.SetPlugged(false);
    ExpectCerr([&] { a.converter.ReadChannel(2); }, 13); // ENODEV on the old descriptor
    QCOMPARE(a.adapter.LastErrno(), ENODEV);
    ExpectCerr([&] { a.converter.ReadChannel(2); }, 13); // the node is gone
    QCOMPARE(a.adapter.LastErrno(), ENOENT);
    QCOMPARE(a.node.OpenDescriptors(), 0);
    a.node.SetPlugged(true);
    QCOMPARE(a.converter.ReadChannel(2), 5.0);
    QCOMPARE(a.node.OpenDescriptors(), 1);
}

void HwAdapterTest::probeAsI2cdetect()
{
    Adapter a;
    QVERIFY(a.adapter.Probe(0x90));
    QVERIFY(!a.adapter.Probe(0x92 + 0x10)); // 0xA2: 7-bit 0x51, read there
    QVERIFY(!a.adapter.Probe(0x70));        // 7-bit 0x38: a quick write
    QCOMPARE(a.Trace(), (QStringList{"W 90:", "R A3*:", "W 70*:"}));

    Adapter smbus(CSimI2CNode::kSmbusFunctions);
    QVERIFY(smbus.adapter.Probe(0x40));
    QVERIFY(!smbus.adapter.Probe(0x6E)); // 7-bit 0x37
    QCOMPARE(smbus.Trace(), (QStringList{"smbus W 40:", "smbus R 6F*:"}));
}

void HwAdapterTest::adaptersAsTheKernelListsThem()
{
    QTemporaryDir sys;
    const auto add = [&](const QString& entry, const QByteArray& name) {
        QVERIFY(QDir(sys.path()).mkpath(entry));
        QFile file(sys.filePath(entry + "/name"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(name);
    };
    add("i2c-11", "i2c-tiny-usb at bus 001 device 005\n");
    add("i2c-1", "bcm2835 (i2c@7e804000)\n");
    add("i2c-x", "not an adapter\n");
    add("spi-0", "not an adapter\n");
    const auto adapters = ListI2CAdapters(sys.path().toStdString());
    QCOMPARE(adapters.size(), std::size_t(2));
    QCOMPARE(adapters[0].number, 1);
    QCOMPARE(adapters[0].name, std::string("bcm2835 (i2c@7e804000)"));
    QCOMPARE(adapters[1].number, 11);
    QCOMPARE(adapters[1].name, std::string("i2c-tiny-usb at bus 001 device 005"));
    QVERIFY(ListI2CAdapters(sys.filePath("missing").toStdString()).empty());
}

QTEST_GUILESS_MAIN(HwAdapterTest)
#include "hw_adapter.moc"
