// Faults played on the simulated layout: the script's lines.

#include "hw/SimScript.h"

#include <QTest>

namespace {

using Kind = SimScriptEvent::Kind;

CSimScript Parsed(const char* text)
{
    CSimScript script;
    std::string error;
    if (!CSimScript::Parse(text, script, error))
        qWarning("%s", error.c_str());
    return script;
}

} // namespace

class TestSimScript : public QObject
{
    Q_OBJECT
private slots:
    void goodFileInTimeOrder();
    void badLineNamesItsNumber_data();
    void badLineNamesItsNumber();


};

void TestSimScript::goodFileInTimeOrder()
{
    const CSimScript script = Parsed("# Kurzschluss auf 3\n"
                                     "\n"
                                     "  6\tclear 3   # vorbei\r\n"
                                     "2 short 3\n"
                                     "   \n"
                                     "2.5 load 16 1.25\n"
                                     "2 STUCK 1\n"
                                     "0 remove 0x9A\n"
                                     "0.000 restore 0x40#gleich wieder\n");
    const std::vector<SimScriptEvent>& e = script.Events();
    QCOMPARE(e.size(), std::size_t(6));
    const Kind kinds[] = {Kind::Remove, Kind::Restore, Kind::Short,
                          Kind::Stuck,  Kind::Load,    Kind::Clear};
    const double seconds[] = {0, 0, 2, 2, 2.5, 6};
    for (std::size_t i = 0; i < e.size(); ++i) {
        QCOMPARE(e[i].kind, kinds[i]);
        QCOMPARE(e[i].seconds, seconds[i]);
    }
    QCOMPARE(e[0].address, std::uint8_t(0x9A));
    QCOMPARE(e[1].address, std::uint8_t(0x40));
    QCOMPARE(e[2].nChannel, 3);
    QCOMPARE(e[3].nChannel, 1);
    QCOMPARE(e[4].nChannel, 16);
    QCOMPARE(e[4].amps, 1.25);
    QCOMPARE(e[5].nChannel, 3);

    QVERIFY(Parsed("# nur Kommentar\n\n").IsEmpty());
}

void TestSimScript::badLineNamesItsNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");
    const QString ok = QStringLiteral("# gut\n1 short 1\n");
    auto row = [&](const char* name, const char* bad, const char* error) {
        QTest::newRow(name) << ok + QString::fromUtf8(bad) + QStringLiteral("\n2 clear 1\n")
                            << QString::fromUtf8(error);
    };
    row("unknown event", "2 kurz 3", "Zeile 3: unbekanntes Ereignis „kurz“");
    row("channel too high", "2 short 17", "Zeile 3: Kanal 17 gibt es nicht (1 bis 16)");
    row("channel zero", "2 stuck 0", "Zeile 3: Kanal 0 gibt es nicht (1 bis 16)");
    row("channel no integer", "2 clear 3.0", "Zeile 3: Kanal „3.0“ ist keine ganze Zahl");
    row("channel missing", "2 short", "Zeile 3: bei „short“ fehlt der Kanal");
    row("event missing", "2", "Zeile 3: Zeit und Ereignis erwartet");
    row("negative time", "-1 short 3", "Zeile 3: Zeit „-1“ ist ungültig");
    row("decimal comma", "2,5 short 3", "Zeile 3: Zeit „2,5“ ist ungültig");
    row("amps missing", "2 load 3", "Zeile 3: bei „load“ fehlt der Strom");
    row("negative amps", "2 load 3 -0.5", "Zeile 3: Strom „-0.5“ ist ungültig");
    row("infinite amps", "2 load 3 inf", "Zeile 3: Strom „inf“ ist ungültig");
    row("odd address", "2 remove 0x91", "Zeile 3: Adresse 0x91 ist ungerade");
    row("address too big", "2 restore 0x100", "Zeile 3: Adresse 0x100 liegt nicht zwischen");
    row("address not hex", "2 remove 144", "Zeile 3: Adresse „144“ ist keine Hexadezimalzahl");
    row("address missing", "2 remove", "Zeile 3: bei „remove“ fehlt die Adresse");
    row("extra word", "2 short 3 4", "Zeile 3: überzählige Angabe „4“");
    row("extra after load", "2 load 3 1 x", "Zeile 3: überzählige Angabe „x“");
}

// A failed parse leaves the script as it was, so nothing half-read is played.
void TestSimScript::badLineNamesItsNumber()
{
    QFETCH(QString, text);
    QFETCH(QString, error);
    CSimScript script = Parsed("7 short 7\n");
    std::string why;
    QVERIFY(!CSimScript::Parse(text.toStdString(), script, why));
    QVERIFY2(QString::fromStdString(why).startsWith(error), why.c_str());
    QCOMPARE(script.Events().size(), std::size_t(1));
    QCOMPARE(script.Events()[0].nChannel, 7);
}

QTEST_GUILESS_MAIN(TestSimScript)
#include "test_sim_script.moc"
