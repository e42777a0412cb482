// The hardware configuration: its checks, its store and its dialog.

#include "helpers/TestSink.h"
#include "hwlink/HardwareConfig.h"
#include "hwlink/HardwareConfigDlg.h"
#include "hwlink/HardwareModule.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <functional>

class TestHwLinkConfig : public QObject
{
    Q_OBJECT
private slots:
    void init() { QStandardPaths::setTestModeEnabled(true); }
    void dialogRefusesAndStaysOpen_data();
    void dialogRefusesAndStaysOpen();
    void dialogAcceptsGermanNumbersAndHexForms();
    void configurationCommandRunsTheRealDialog();
    void storeRoundTripAndRefusesBrokenStore();
    void addressParsing();
    void outputBytes();
    void simulateOptionUsesSimulatedLayout();
};

using Edit = std::function<void(CHardwareConfigDlg&)>;
Q_DECLARE_METATYPE(Edit)
using Pick = std::function<QWidget*(CHardwareConfigDlg&)>;
Q_DECLARE_METATYPE(Pick)

void TestHwLinkConfig::dialogRefusesAndStaysOpen_data()
{
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<Pick>("refused");
    QTest::newRow("odd converter address")
        << Edit([](CHardwareConfigDlg& d) { d.RowOf(3).converterAddress->setText("0x91"); })
        << QStringLiteral("Kanal 3: Die Wandleradresse 0x91 ist ungerade")
        << Pick([](CHardwareConfigDlg& d) -> QWidget* { return d.RowOf(3).converterAddress; });
    QTest::newRow("odd output address")
        << Edit([](CHardwareConfigDlg& d) { d.RowOf(9).outputAddress->setText("43"); })
        << QStringLiteral("Kanal 9: Die Ausgangsadresse 0x43 ist ungerade")
        << Pick([](CHardwareConfigDlg& d) -> QWidget* { return d.RowOf(9).outputAddress; });
    QTest::newRow("same output bit twice")
        << Edit([](CHardwareConfigDlg& d) { d.RowOf(7).bit->setValue(1); })
        << QStringLiteral("Kanal 7: Bit 1 am Ausgang 0x40 ist schon einem anderen Kanal zugeordnet")
        << Pick([](CHardwareConfigDlg& d) -> QWidget* { return d.RowOf(7).bit; });
    QTest::newRow("full scale 0") << Edit([](CHardwareConfigDlg& d) {
        d.RowOf(5).fullScale->setText("0");
    }) << QStringLiteral("Kanal 5: Der Vollausschlag muss größer als 0 A sein")
                                  << Pick([](CHardwareConfigDlg& d) -> QWidget* {
                                         return d.RowOf(5).fullScale;
                                     });
    QTest::newRow("full scale negative")
        << Edit([](CHardwareConfigDlg& d) { d.RowOf(5).fullScale->setText("-2,5"); })
        << QStringLiteral("Kanal 5: Der Vollausschlag muss größer als 0 A sein")
        << Pick([](CHardwareConfigDlg& d) -> QWidget* { return d.RowOf(5).fullScale; });
    QTest::newRow("full scale no number")
        << Edit([](CHardwareConfigDlg& d) { d.RowOf(2).fullScale->setText("viel"); })
        << QStringLiteral("Kanal 2: „viel“ ist kein Vollausschlag")
        << Pick([](CHardwareConfigDlg& d) -> QWidget* { return d.RowOf(2).fullScale; });
    QTest::newRow("address no number")
        << Edit([](CHardwareConfigDlg& d) { d.RowOf(1).converterAddress->setText("0x1G"); })
        << QStringLiteral("Kanal 1: „0x1G“ ist keine Wandleradresse")
        << Pick([](CHardwareConfigDlg& d) -> QWidget* { return d.RowOf(1).converterAddress; });
    QTest::newRow("address too big")
        << Edit([](CHardwareConfigDlg& d) { d.RowOf(16).outputAddress->setText("0x100"); })
        << QStringLiteral("Kanal 16: „0x100“ ist keine Ausgangsadresse")
        << Pick([](CHardwareConfigDlg& d) -> QWidget* { return d.RowOf(16).outputAddress; });
}

void TestHwLinkConfig::dialogRefusesAndStaysOpen()
{
    QFETCH(Edit, edit);
    QFETCH(QString, expected);
    QFETCH(Pick, refused);
    TestSink sink;
    const HardwareConfig before = HardwareConfig::SimulatedLayout();
    CHardwareConfigDlg dlg(before);
    dlg.show();
    edit(dlg);
    sink.QueueAnswer(IDOK);
    dlg.accept();
    QCOMPARE(sink.boxes.size(), 1);
    QVERIFY2(sink.boxes[0].text.startsWith(expected), qPrintable(sink.boxes[0].text));
    QVERIFY(dlg.isVisible());
    // The refused field has the focus, its text selected for typing over.
    QWidget* field = refused(dlg);
    QCOMPARE(dlg.focusWidget(), field);
    if (auto* lineEdit = qobject_cast<QLineEdit*>(field))
        QCOMPARE(lineEdit->selectedText(), lineEdit->text());
    QCOMPARE(dlg.result(), 0);
    QVERIFY(dlg.Result() == before);
}

void TestHwLinkConfig::dialogAcceptsGermanNumbersAndHexForms()
{
    TestSink sink;
    CHardwareConfigDlg dlg(HardwareConfig{});
    dlg.show();
    // Unused rows may hold anything; they are not checked.
    dlg.RowOf(2).converterAddress->setText("0x91");
    dlg.RowOf(1).converter->setChecked(true);
    dlg.RowOf(1).converterAddress->setText("9Eh");
    dlg.RowOf(1).input->setValue(3);
    dlg.RowOf(1).fullScale->setText("2,5");
    dlg.RowOf(1).output->setChecked(true);
    dlg.RowOf(1).outputAddress->setText("4e");
    dlg.RowOf(1).bit->setValue(7);
    dlg.RowOf(1).activeLow->setChecked(true);
    dlg.PortBox()->setCurrentIndex(2);
    dlg.accept();
    QCOMPARE(sink.boxes.size(), 0);
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    const HardwareConfig& c = dlg.Result();
    QCOMPARE(c.nPort, int(HardwareConfig::Port2));
    QCOMPARE(c.channel[0].nConverter, std::uint8_t(0x9E));
    QCOMPARE(c.channel[0].nInput, 3);
    QCOMPARE(c.channel[0].dFullScale, 2.5);
    QCOMPARE(c.channel[0].nPort, std::uint8_t(0x4E));
    QCOMPARE(c.channel[0].nBit, 7);
    QVERIFY(c.channel[0].bActiveLow);
    QVERIFY(!c.channel[1].bConverter);
    QVERIFY(c.IsActive());
}

void TestHwLinkConfig::configurationCommandRunsTheRealDialog()
{
    TestSink sink;
    CHardwareModule hw(nullptr, false);
    QVERIFY(!hw.Config().IsActive());
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* dlg = dynamic_cast<CHardwareConfigDlg*>(QApplication::activeModalWidget());
        QVERIFY(dlg);
        seen = dlg->windowTitle() == QStringLiteral("Hardware-Konfiguration");
        dlg->PortBox()->setCurrentIndex(HardwareConfig::Simulation);
        dlg->RowOf(4).converter->setChecked(true);
        dlg->accept();
    });
    QVERIFY(hw.OnCmdMsg(ID_HARDWARE_KONFIGURATION));
    QVERIFY(seen);
    QVERIFY(hw.IsSimulating());
    QVERIFY(hw.Config().channel[3].bConverter);
    QVERIFY(hw.Config().IsActive());
}

void TestHwLinkConfig::storeRoundTripAndRefusesBrokenStore()
{
    QSettings s(QStringLiteral("Kalvento GmbH"), QStringLiteral("korva-hwlink-test"));
    s.clear();
    QCOMPARE(HardwareConfig::Load(s), HardwareConfig{}); // nothing stored: mode off

    HardwareConfig c = HardwareConfig::SimulatedLayout();
    c.nPort = HardwareConfig::Port2;
    c.channel[6].bActiveLow = true;
    c.channel[6].dFullScale = 2.75;
    c.channel[11].bOutput = false;
    c.Save(s);
    QCOMPARE(HardwareConfig::Load(s), c);

    // A hand-edited store with a doubled output bit switches the mode off.
    s.setValue(QStringLiteral("Hardware/Kanal2/Bit"), 0);
    QCOMPARE(HardwareConfig::Load(s).nPort, int(HardwareConfig::Off));
    s.setValue(QStringLiteral("Hardware/Kanal2/Bit"), 1);
    s.setValue(QStringLiteral("Hardware/Port"), 9);
    QCOMPARE(HardwareConfig::Load(s).nPort, int(HardwareConfig::Off));
    s.clear();
}

void TestHwLinkConfig::addressParsing()
{
    int a = -1;
    QVERIFY(ParseAddress(QStringLiteral(" 0x9A "), a));
    QCOMPARE(a, 0x9A);
    QVERIFY(ParseAddress(QStringLiteral("40"), a));
    QCOMPARE(a, 0x40);
    QVERIFY(ParseAddress(QStringLiteral("FEh"), a));
    QCOMPARE(a, 0xFE);
    for (const char* bad : {"", "0x", "h", "-2", "0x100", "1 2", "zz"})
        QVERIFY2(!ParseAddress(QString::fromLatin1(bad), a), bad);
    QCOMPARE(HexAddress(0x0A), QStringLiteral("0x0A"));
}

void TestHwLinkConfig::outputBytes()
{
    HardwareConfig c;
    c.channel[0] = {false, 0x90, 0, 5.0, true, 0x40, 3, false};
    c.channel[1] = {false, 0x90, 0, 5.0, true, 0x40, 5, true};
    c.channel[2] = {false, 0x90, 0, 5.0, true, 0x44, 0, false};
    std::array<bool, 16> on{};
    auto bytes = c.OutputBytes(on);
    QCOMPARE(bytes.size(), size_t(2));
    QCOMPARE(bytes[0x40], std::uint8_t(0xF7)); // bit 3 low, active-low bit 5 high, unwired high
    QCOMPARE(bytes[0x44], std::uint8_t(0xFE));
    on[0] = on[1] = on[2] = true;
    bytes = c.OutputBytes(on);
    QCOMPARE(bytes[0x40], std::uint8_t(0xDF));
    QCOMPARE(bytes[0x44], std::uint8_t(0xFF));
}

void TestHwLinkConfig::simulateOptionUsesSimulatedLayout()
{
    TestSink sink;
    CHardwareModule hw(nullptr, true);
    QVERIFY(hw.IsSimulating());
    QCOMPARE(hw.Config(), HardwareConfig::SimulatedLayout());
    CCmdUI ui(ID_SIMULATOR);
    QVERIFY(hw.OnUpdateCmdUI(&ui));
    QVERIFY(ui.m_bEnabled);
}

QTEST_MAIN(TestHwLinkConfig)
#include "test_hwlink_config.moc"
