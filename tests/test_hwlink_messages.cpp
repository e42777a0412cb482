// The German sentences for the hardware error numbers, on both kinds of bus.

#include "hw/I2CBus.h"
#include "hwlink/HardwareMessages.h"

#include <QSet>
#include <QTest>

namespace {

HardwareConfig Bus(int nPort, int nAdapter = 0)
{
    HardwareConfig c;
    c.nPort = nPort;
    c.nAdapter = nAdapter;
    return c;
}

} // namespace

Q_DECLARE_METATYPE(HardwareConfig)

class TestHwLinkMessages : public QObject
{
    Q_OBJECT
private slots:
    void sentencesThatNameBusAndDevice_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("detail");
        QTest::addColumn<HardwareConfig>("config");
        QTest::addColumn<QString>("text");
        const HardwareConfig lpt1 = Bus(HardwareConfig::Port1);
        const HardwareConfig lpt2 = Bus(HardwareConfig::Port2);
        const HardwareConfig i2c3 = Bus(HardwareConfig::I2CAdapter, 3);
        QTest::newRow("5 address") << 5 << 0x94 << lpt1
                                   << "Gerät 0x94 antwortet nicht (Fehler 5) – Verkabelung und "
                                      "Adresse prüfen";
        QTest::newRow("4 no address") << 4 << 0 << i2c3
                                      << "Ein Gerät bestätigt die Daten nicht (Fehler 4) – Gerät "
                                         "und Verkabelung prüfen";
        QTest::newRow("13 parport") << 13 << 0 << lpt1
                                    << "Parallelport 1 (/dev/parport0) fehlt oder ist belegt "
                                       "(Fehler 13)";
        QTest::newRow("13 parport 2") << 13 << 0 << lpt2
                                      << "Parallelport 2 (/dev/parport1) fehlt oder ist belegt "
                                         "(Fehler 13)";
        QTest::newRow("13 adapter") << 13 << 0 << i2c3
                                    << "I2C-Adapter 3 (/dev/i2c-3) fehlt oder ist nicht zugänglich "
                                       "(Fehler 13)";
        QTest::newRow("11 parport") << 11 << 0 << lpt2
                                    << "An Parallelport 2 (/dev/parport1) ist kein I2C-Controller "
                                       "zu finden (Fehler 11) – Interface, Kabel und "
                                       "Stromversorgung prüfen";
        QTest::newRow("8 adapter") << 8 << 0 << i2c3
                                   << "I2C-Adapter 3 (/dev/i2c-3) antwortet nicht rechtzeitig "
                                      "(Fehler 8) – Adapter und Verkabelung prüfen";
        QTest::newRow("2 adapter") << 2 << 0 << i2c3
                                   << "I2C-Adapter 3 (/dev/i2c-3) kann diese Übertragung nicht "
                                      "ausführen (Fehler 2) – einen Adapter mit vollem "
                                      "I2C-Zugriff wählen";
        QTest::newRow("unknown") << 99 << 0 << lpt1 << "Unbekannter Hardware-Fehler (Fehler 99)";
    }
    void sentencesThatNameBusAndDevice()
    {
        QFETCH(int, error);
        QFETCH(int, detail);
        QFETCH(HardwareConfig, config);
        QFETCH(QString, text);
        QCOMPARE(HardwareErrorText(error, detail, config), text);
    }

    // Every number has its own German sentence on either bus; the error
    // table's English texts stay for the bus tool.
    void everyNumberHasItsOwnSentence()
    {
        for (const HardwareConfig& config :
             {Bus(HardwareConfig::Port1), Bus(HardwareConfig::I2CAdapter, 1),
              Bus(HardwareConfig::Simulation)}) {
            QSet<QString> seen;
            for (int n = 0; n <= 14; ++n) {
                const QString text = HardwareErrorText(n, 0x90, config);
                QVERIFY2(text.contains(QStringLiteral("(Fehler %1)").arg(n)), qPrintable(text));
                QVERIFY2(!text.contains(QLatin1String(CERR(n, 0).GetText()), Qt::CaseInsensitive),
                         qPrintable(text));
                seen.insert(text);
            }
            QCOMPARE(seen.size(), 15);
        }
        QCOMPARE(CERR(5, 0x94).GetText(), "No ack on address");
        QCOMPARE(CERR(13, 0).GetText(), "EPP-Port in use");
    }
};

QTEST_GUILESS_MAIN(TestHwLinkMessages)
#include "test_hwlink_messages.moc"
