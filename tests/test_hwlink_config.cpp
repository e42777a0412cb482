// The hardware configuration: its checks, its store and its dialog.

#include "doc/VelkorDoc.h"
#include "framework/WinApp.h"
#include "helpers/TestSink.h"
#include "hwlink/HardwareConfig.h"
#include "hwlink/HardwareConfigDlg.h"
#include "hwlink/HardwareModule.h"
#include "view/VelkorView.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <climits>
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
    void storedKeysAreReadStrictly_data();
    void storedKeysAreReadStrictly();
    void storedFormsThatKeepWorking();
    void refusedPeriodAndDelayFallBack_data();
    void refusedPeriodAndDelayFallBack();
    void checkRefusesPeriodAndDelayOutOfRange();
    void refusedKeysAreShownOnceWithTheFirstWindow();
    void addressParsing();
    void outputBytes();
    void simulateOptionUsesSimulatedLayout();
    void adapterIsStoredAndChosenInTheDialog();
    void rowsAreNamedLikeTheChannels();
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
    QTest::newRow("sweep period too short")
        << Edit([](CHardwareConfigDlg& d) { d.SweepEdit()->setText("4"); })
        << QStringLiteral("Die Messperiode muss zwischen 5 und 1000 ms liegen.")
        << Pick([](CHardwareConfigDlg& d) -> QWidget* { return d.SweepEdit(); });
    QTest::newRow("sweep period no number")
        << Edit([](CHardwareConfigDlg& d) { d.SweepEdit()->setText("20,5"); })
        << QStringLiteral("„20,5“ ist keine Messperiode. Bitte eine ganze Zahl von 5 bis 1000 ms")
        << Pick([](CHardwareConfigDlg& d) -> QWidget* { return d.SweepEdit(); });
    QTest::newRow("trip delay beyond int")
        << Edit([](CHardwareConfigDlg& d) { d.RowOf(12).tripDelay->setText("99999999999"); })
        << QStringLiteral("Kanal 12: Die Auslöseverzögerung muss zwischen 0 und 1000 ms liegen.")
        << Pick([](CHardwareConfigDlg& d) -> QWidget* { return d.RowOf(12).tripDelay; });
    QTest::newRow("trip delay with unit")
        << Edit([](CHardwareConfigDlg& d) { d.RowOf(8).tripDelay->setText("50 ms"); })
        << QStringLiteral("Kanal 8: „50 ms“ ist keine Auslöseverzögerung. Bitte eine ganze Zahl "
                          "von 0 bis 1000 ms")
        << Pick([](CHardwareConfigDlg& d) -> QWidget* { return d.RowOf(8).tripDelay; });
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
    dlg.RowOf(1).tripDelay->setText(" 1000 ");
    dlg.RowOf(2).tripDelay->setText("viel");
    dlg.SweepEdit()->setText("5");
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
    QCOMPARE(c.channel[0].nTripDelayMs, 1000);
    QCOMPARE(c.nSweepMs, 5);
    QVERIFY(!c.channel[1].bConverter);
    QCOMPARE(c.channel[1].nTripDelayMs, 0);
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
        dlg->RowOf(4).tripDelay->setText("80");
        dlg->SweepEdit()->setText("40");
        dlg->accept();
    });
    QVERIFY(hw.OnCmdMsg(ID_HARDWARE_KONFIGURATION));
    QVERIFY(seen);
    QVERIFY(hw.IsSimulating());
    QVERIFY(hw.Config().channel[3].bConverter);
    QCOMPARE(hw.Config().channel[3].nTripDelayMs, 80);
    QCOMPARE(hw.Config().nSweepMs, 40);
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
    c.nSweepMs = 1000;
    c.channel[0].nTripDelayMs = 1000;
    c.channel[6].nTripDelayMs = 75;
    c.Save(s);
    QCOMPARE(HardwareConfig::Load(s), c);

    // A store from before the sweep period and trip delay were kept.
    c.nSweepMs = 5;
    c.Save(s);
    s.remove(QStringLiteral("Hardware/sweepMs"));
    s.remove(QStringLiteral("Hardware/Kanal7/tripDelayMs"));
    QStringList refused;
    const HardwareConfig old = HardwareConfig::Load(s, &refused);
    QCOMPARE(refused, QStringList{});
    QCOMPARE(old.nSweepMs, 20);
    QCOMPARE(old.channel[6].nTripDelayMs, 0);
    QCOMPARE(old.channel[0].nTripDelayMs, 1000);
    QCOMPARE(old.nPort, int(HardwareConfig::Port2));

    s.setValue(QStringLiteral("Hardware/Port"), 9);
    QCOMPARE(HardwareConfig::Load(s).nPort, int(HardwareConfig::Off));
    s.clear();
}

namespace {
// The simulated layout on port 1, with a sweep period and trip delays that
// differ from the defaults a refused key falls back to.
HardwareConfig Port1Layout()
{
    HardwareConfig c = HardwareConfig::SimulatedLayout();
    c.nPort = HardwareConfig::Port1;
    c.nSweepMs = 50;
    for (int i = 0; i < HardwareConfig::kChannels; ++i)
        c.channel[i].nTripDelayMs = 10 * (i + 1);
    return c;
}

// A store as written by the program (Port1Layout), then keys overwritten by
// hand, read back from the file as text.
HardwareConfig LoadEdited(const QVariantMap& edits, QStringList& refused)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("hw.ini"));
    QFile::remove(path);
    {
        QSettings s(path, QSettings::IniFormat);
        Port1Layout().Save(s);
        for (auto it = edits.begin(); it != edits.end(); ++it)
            s.setValue(it.key(), it.value());
    }
    QSettings s(path, QSettings::IniFormat);
    return HardwareConfig::Load(s, &refused);
}

HardwareConfig LoadEdited(const QString& key, const QVariant& value, QStringList& refused)
{
    return LoadEdited(QVariantMap{{key, value}}, refused);
}
} // namespace

void TestHwLinkConfig::storedKeysAreReadStrictly_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("channel"); // 0: the port
    QTest::addColumn<QString>("reason");
    const auto row = [](const char* name, const char* key, const QVariant& value, int channel,
                        const char* reason) {
        QTest::newRow(name) << QString::fromUtf8(key) << value << channel
                            << QString::fromUtf8(reason);
    };
    row("address wraps", "Kanal3/WandlerAdresse", 400, 3, "400 liegt nicht zwischen 0 und 254.");
    row("address negative", "Kanal1/WandlerAdresse", -2, 1, "-2 liegt nicht zwischen 0 und 254.");
    row("address no number", "Kanal5/AusgangAdresse", "vierzig", 5,
        "„vierzig“ ist keine Adresse (eine gerade Zahl von 0 bis 254 oder 0x00 bis 0xFE, z. B. "
        "64 = 0x40).");
    row("address hex without 0x", "Kanal4/WandlerAdresse", "90h", 4,
        "„90h“ ist keine Adresse (eine gerade Zahl von 0 bis 254 oder 0x00 bis 0xFE, z. B. "
        "144 = 0x90).");
    row("address odd", "Kanal9/AusgangAdresse", "0x43", 9,
        "0x43 ist ungerade. Adressen werden in 8-Bit-Form angegeben und sind gerade (z. B. 64 = "
        "0x40).");
    row("input 99", "Kanal2/Eingang", 99, 2, "99 liegt nicht zwischen 0 und 3.");
    row("input no number", "Kanal2/Eingang", "1x", 2, "„1x“ ist keine ganze Zahl.");
    row("bit 8", "Kanal6/Bit", 8, 6, "8 liegt nicht zwischen 0 und 7.");
    row("bit taken", "Kanal2/Bit", 0, 2,
        "Bit 0 am Ausgang 0x40 ist schon einem anderen Kanal zugeordnet.");
    row("full scale nan", "Kanal7/Vollausschlag", "nan", 7, "„nan“ ist kein Strom in A.");
    row("full scale 0", "Kanal7/Vollausschlag", "0", 7,
        "0 A ist kein Vollausschlag (größer als 0 A, höchstens 1000000 A).");
    row("flag no word", "Kanal8/Wandler", "ja", 8, "„ja“ ist weder true noch false.");
    row("port 9", "Port", 9, 0, "9 liegt nicht zwischen 0 und 3. Die Hardware bleibt aus.");
    row("port no number", "Port", "eins", 0,
        "„eins“ ist keine ganze Zahl. Die Hardware bleibt aus.");
    row("port adapter no number", "Port", "i2c:x", 0,
        "„i2c:x“ ist kein I2C-Adapter (i2c:N für /dev/i2c-N, N von 0 bis 9999). Die Hardware "
        "bleibt aus.");
    row("port adapter too big", "Port", "i2c:12345", 0,
        "„i2c:12345“ ist kein I2C-Adapter (i2c:N für /dev/i2c-N, N von 0 bis 9999). Die "
        "Hardware bleibt aus.");
}

// Each refused key is named with its reason, its channel stays unwired and
// everything else is taken as stored.
void TestHwLinkConfig::storedKeysAreReadStrictly()
{
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    QFETCH(int, channel);
    QFETCH(QString, reason);
    QStringList refused;
    const HardwareConfig c = LoadEdited(QStringLiteral("Hardware/") + key, value, refused);
    QString expected =
        QStringLiteral("Die Einstellung „Hardware/%1“ wurde nicht übernommen: %2").arg(key, reason);
    if (channel)
        expected += QStringLiteral(" Kanal %1 bleibt ohne Hardware.").arg(channel);
    QCOMPARE(refused, QStringList{expected});

    HardwareConfig want = Port1Layout();
    if (channel) {
        want.channel[channel - 1].bConverter = false;
        want.channel[channel - 1].bOutput = false;
    } else {
        want.nPort = HardwareConfig::Off;
    }
    for (int i = 0; i < HardwareConfig::kChannels; ++i) {
        QCOMPARE(c.channel[i].bConverter, want.channel[i].bConverter);
        QCOMPARE(c.channel[i].bOutput, want.channel[i].bOutput);
    }
    QCOMPARE(c.nPort, want.nPort);
    QVERIFY(c.Validate().isEmpty());
}

void TestHwLinkConfig::storedFormsThatKeepWorking()
{
    QStringList refused;
    // What the program itself writes (0x90 as 144), and the dialog's form.
    HardwareConfig c = LoadEdited(QStringLiteral("Hardware/Kanal3/WandlerAdresse"), 144, refused);
    QCOMPARE(c, Port1Layout());
    c = LoadEdited(QStringLiteral("Hardware/Kanal3/WandlerAdresse"), "0x96", refused);
    QCOMPARE(c.channel[2].nConverter, std::uint8_t(0x96));
    QVERIFY(c.channel[2].bConverter);
    c = LoadEdited(QStringLiteral("Hardware/Kanal3/AusgangAdresse"), " 0X4E ", refused);
    QCOMPARE(c.channel[2].nPort, std::uint8_t(0x4E));
    // A decimal comma written by hand reads back as a list of two texts.
    c = LoadEdited(QStringLiteral("Hardware/Kanal4/Vollausschlag"), QStringList{"2", "5"}, refused);
    QCOMPARE(c.channel[3].dFullScale, 2.5);
    // What an unwired part holds is not checked, as in the dialog.
    c = LoadEdited(QStringLiteral("Hardware/Kanal5/Wandler"), "false", refused);
    QVERIFY(!c.channel[4].bConverter);
    QVERIFY(c.channel[4].bOutput);
    // Nor the delay of a channel wired to nothing.
    c = LoadEdited({{QStringLiteral("Hardware/Kanal6/Wandler"), false},
                    {QStringLiteral("Hardware/Kanal6/Ausgang"), false},
                    {QStringLiteral("Hardware/Kanal6/tripDelayMs"), "lang"}},
                   refused);
    QCOMPARE(c.channel[5].nTripDelayMs, 0);
    QCOMPARE(c.nPort, int(HardwareConfig::Port1));
    QCOMPARE(refused, QStringList{});
}

void TestHwLinkConfig::refusedPeriodAndDelayFallBack_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("channel"); // 0: the sweep period
    const auto row = [](const char* name, const char* key, const QVariant& value,
                        const char* reason, int channel) {
        QTest::newRow(name) << QString::fromUtf8(key) << value << QString::fromUtf8(reason)
                            << channel;
    };
    row("sweep 1001", "sweepMs", 1001,
        "1001 liegt nicht zwischen 5 und 1000. Es gilt die Messperiode von 20 ms.", 0);
    row("sweep negative", "sweepMs", -20,
        "-20 liegt nicht zwischen 5 und 1000. Es gilt die Messperiode von 20 ms.", 0);
    row("sweep with unit", "sweepMs", "20ms",
        "„20ms“ ist keine ganze Zahl. Es gilt die Messperiode von 20 ms.", 0);
    row("delay negative", "Kanal4/tripDelayMs", -1,
        "-1 liegt nicht zwischen 0 und 1000. Kanal 4 löst ohne Verzögerung aus.", 4);
    row("delay 1001", "Kanal16/tripDelayMs", 1001,
        "1001 liegt nicht zwischen 0 und 1000. Kanal 16 löst ohne Verzögerung aus.", 16);
    row("delay decimal comma", "Kanal1/tripDelayMs", QStringList{"50", "5"},
        "„50,5“ ist keine ganze Zahl. Kanal 1 löst ohne Verzögerung aus.", 1);
}

// A refused period or delay is named, falls back to its default and leaves
// the hardware and the channel's wiring as stored.
void TestHwLinkConfig::refusedPeriodAndDelayFallBack()
{
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    QFETCH(QString, reason);
    QFETCH(int, channel);
    QStringList refused;
    const HardwareConfig c = LoadEdited(QStringLiteral("Hardware/") + key, value, refused);
    QCOMPARE(refused,
             QStringList{QStringLiteral("Die Einstellung „Hardware/%1“ wurde nicht übernommen: %2")
                             .arg(key, reason)});
    HardwareConfig want = Port1Layout();
    if (channel)
        want.channel[channel - 1].nTripDelayMs = 0;
    else
        want.nSweepMs = 20;
    QCOMPARE(c, want);
}

void TestHwLinkConfig::checkRefusesPeriodAndDelayOutOfRange()
{
    using Field = HardwareConfig::Field;
    for (const int ms : {4, 5, 1000, 1001, -5, INT_MIN}) {
        HardwareConfig c = Port1Layout();
        c.nSweepMs = ms;
        const HardwareConfig::Refusal r = c.Check();
        const bool inRange = ms >= 5 && ms <= 1000;
        QVERIFY2(r.reason.isEmpty() == inRange, qPrintable(QString::number(ms)));
        if (!inRange) {
            QCOMPARE(r.field, Field::SweepPeriod);
            QCOMPARE(r.nChannel, 0);
        }
    }
    for (const int ms : {-1, 0, 1000, 1001, INT_MAX}) {
        HardwareConfig c = Port1Layout();
        c.channel[6].nTripDelayMs = ms;
        c.channel[6].bConverter = false; // an output alone is checked too
        const HardwareConfig::Refusal r = c.Check();
        const bool inRange = ms >= 0 && ms <= 1000;
        QVERIFY2(r.reason.isEmpty() == inRange, qPrintable(QString::number(ms)));
        if (!inRange) {
            QCOMPARE(r.field, Field::TripDelay);
            QCOMPARE(r.nChannel, 7);
        }
        c.channel[6].bOutput = false; // an unwired channel's delay is never used
        QCOMPARE(c.Check().reason, QString());
    }
}

// The message goes through the message sink once, when the first window
// opens, and lists every refused key.
void TestHwLinkConfig::refusedKeysAreShownOnceWithTheFirstWindow()
{
    CWinApp app;
    app.SetRegistryKey(QStringLiteral("Kalvento GmbH"), QStringLiteral("korva-hwlink-test"));
    QSettings& s = app.Settings();
    s.clear();
    HardwareConfig::SimulatedLayout().Save(s);
    s.setValue(QStringLiteral("Hardware/Kanal3/WandlerAdresse"), 400);
    s.setValue(QStringLiteral("Hardware/Kanal12/Bit"), 8);
    s.sync();

    TestSink sink;
    CHardwareModule hw(nullptr, false);
    QVERIFY(hw.IsSimulating());
    QVERIFY(!hw.Config().channel[2].bConverter);
    QVERIFY(!hw.Config().channel[11].bOutput);
    QVERIFY(hw.Config().channel[3].bConverter);
    QCOMPARE(sink.boxes.size(), 0); // no window yet

    CVelkorDoc doc;
    doc.OnNewDocument();
    sink.QueueAnswer(IDOK);
    for (int n = 0; n < 2; ++n) {
        CVelkorView view;
        view.SetDocument(&doc);
        view.OnInitialUpdate();
        view.OnDestroy();
    }
    QCOMPARE(sink.boxes.size(), 1);
    QCOMPARE(sink.boxes[0].text,
             QStringLiteral(
                 "Die Einstellung „Hardware/Kanal3/WandlerAdresse“ wurde nicht übernommen: 400 "
                 "liegt nicht zwischen 0 und 254. Kanal 3 bleibt ohne Hardware.\n\n"
                 "Die Einstellung „Hardware/Kanal12/Bit“ wurde nicht übernommen: 8 liegt nicht "
                 "zwischen 0 und 7. Kanal 12 bleibt ohne Hardware."));
    QCOMPARE(sink.boxes[0].type, MB_OK | MB_ICONEXCLAMATION);
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

// An adapter is stored as "i2c:N" beside the old numbers, offered by the
// dialog as the kernel lists it, and kept when it is not plugged in.
void TestHwLinkConfig::adapterIsStoredAndChosenInTheDialog()
{
    QStringList refused;
    HardwareConfig c = LoadEdited(QStringLiteral("Hardware/Port"), "i2c:1", refused);
    QCOMPARE(refused, QStringList{});
    QCOMPARE(c.nPort, int(HardwareConfig::I2CAdapter));
    QCOMPARE(c.nAdapter, 1);
    QCOMPARE(c.BusName(), QStringLiteral("I2C-Adapter 1"));
    QVERIFY(c.IsActive());
    c = LoadEdited(QStringLiteral("Hardware/Port"), 2, refused); // an old value keeps its meaning
    QCOMPARE(c.nPort, int(HardwareConfig::Port2));

    QTemporaryDir dir;
    QSettings s(dir.filePath(QStringLiteral("hw.ini")), QSettings::IniFormat);
    HardwareConfig stored = Port1Layout();
    stored.nPort = HardwareConfig::I2CAdapter;
    stored.nAdapter = 11;
    stored.Save(s);
    QCOMPARE(s.value(QStringLiteral("Hardware/Port")).toString(), QStringLiteral("i2c:11"));
    QCOMPARE(HardwareConfig::Load(s), stored);

    TestSink sink;
    const std::vector<I2CAdapterInfo> adapters = {{1, "bcm2835 (i2c@7e804000)"},
                                                  {11, "i2c-tiny-usb at bus 001 device 005"}};
    {
        CHardwareConfigDlg dlg(Port1Layout(), nullptr, adapters);
        QComboBox* box = dlg.PortBox();
        QCOMPARE(box->count(), 6);
        QCOMPARE(box->itemText(1), QStringLiteral("Parallelport 1"));
        QCOMPARE(box->itemText(4), QStringLiteral("I2C-Adapter 1: bcm2835 (i2c@7e804000)"));
        QCOMPARE(box->currentIndex(), 1);
        QCOMPARE(dlg.SweepEdit()->text(), QStringLiteral("50"));
        QCOMPARE(dlg.RowOf(3).tripDelay->text(), QStringLiteral("30"));
        box->setCurrentIndex(5);
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.Result().nPort, int(HardwareConfig::I2CAdapter));
        QCOMPARE(dlg.Result().nAdapter, 11);
        QCOMPARE(dlg.Result().channel, Port1Layout().channel);
        QCOMPARE(dlg.Result().nSweepMs, 50);
    }
    {
        stored.nAdapter = 3; // not plugged in now
        CHardwareConfigDlg dlg(stored, nullptr, adapters);
        QCOMPARE(dlg.PortBox()->currentText(), QStringLiteral("I2C-Adapter 3: (nicht gefunden)"));
        dlg.accept();
        QCOMPARE(dlg.Result(), stored);
        CHardwareConfigDlg again(stored, nullptr, adapters);
        again.PortBox()->setCurrentIndex(3);
        again.accept();
        QCOMPARE(again.Result().nPort, int(HardwareConfig::Simulation));
    }
}

void TestHwLinkConfig::rowsAreNamedLikeTheChannels()
{
    CHardwareConfigDlg d(HardwareConfig{}, nullptr, {});
    QTableWidget* t = d.Table();
    QCOMPARE(t->horizontalHeaderItem(t->columnCount() - 1)->text(),
             QStringLiteral("Auslöseverzögerung (ms)"));
    QCOMPARE(t->verticalHeaderItem(0)->text(), QStringLiteral("Kanal 1"));
    d.SetChannelNames({QStringLiteral("Licht"), QString(), QStringLiteral("Pumpe")});
    QCOMPARE(t->verticalHeaderItem(0)->text(), QStringLiteral("1 – Licht"));
    QCOMPARE(t->verticalHeaderItem(1)->text(), QStringLiteral("Kanal 2"));
    QCOMPARE(t->verticalHeaderItem(2)->text(), QStringLiteral("3 – Pumpe"));
    QCOMPARE(t->verticalHeaderItem(15)->text(), QStringLiteral("Kanal 16"));
}

QTEST_MAIN(TestHwLinkConfig)
#include "test_hwlink_config.moc"
