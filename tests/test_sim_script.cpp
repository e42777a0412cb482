// Faults played on the simulated layout: the script's lines, the layout
// applying them at their times (welded outputs, devices losing power), and
// --sim-script on the real program in a child process.

#include "hw/I2CBus.h"
#include "hw/I2CDevice.h"
#include "hw/SimLayout.h"
#include "hw/SimScript.h"
#include "journal/JournalEvent.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

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

// Channel 1 active high on bit 0, channel 2 active low on bit 1 of the port
// device at 0x40; both measured by the converter at 0x90 (5 A full scale).
struct Layout
{
    CSimLayout layout;
    CI2CBus bus{layout.Board()};
    CI2CPortDevice port;

    Layout()
    {
        for (int k = 1; k <= 2; ++k) {
            layout.Wire(k, {0x90, k - 1, 5.0, 0x40, k - 1, k == 2});
            layout.SetLoad(k, {CSimLayout::LoadKind::Steady, 1.0, 60});
        }
        bus.Init(1);
        port.Attach(&bus, 0x40);
    }
};

// The real program without a display, in a home of its own.
void StartKorva(QProcess& proc, const QStringList& args, const QString& home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    proc.setProcessEnvironment(env);
    proc.start(QStringLiteral(KORVA_BINARY), args);
}

// Exit status (-1: hung or crashed) and standard error of a run to its end.
int RunKorva(const QStringList& args, const QString& home, QString& err)
{
    QProcess proc;
    StartKorva(proc, args, home);
    const bool ended = proc.waitForFinished(30000) && proc.exitStatus() == QProcess::NormalExit;
    err = QString::fromLocal8Bit(proc.readAllStandardError());
    return ended ? proc.exitCode() : -1;
}

// The events as a script would write them.
QString Described(const CSimScript& script)
{
    static const char* const kNames[] = {"short", "clear", "load", "stuck", "remove", "restore"};
    QStringList out;
    for (const SimScriptEvent& e : script.Events()) {
        QString text = QString::number(e.seconds) + QLatin1Char(' ') + kNames[int(e.kind)];
        if (e.kind == Kind::Remove || e.kind == Kind::Restore)
            text += QStringLiteral(" 0x%1").arg(e.address, 2, 16, QLatin1Char('0'));
        else
            text += QLatin1Char(' ') + QString::number(e.nChannel);
        if (e.kind == Kind::Load)
            text += QLatin1Char(' ') + QString::number(e.amps);
        out << text;
    }
    return out.join(QStringLiteral("; "));
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& text)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
        qWarning("cannot write %s", qPrintable(path));
    return path;
}

} // namespace

class TestSimScript : public QObject
{
    Q_OBJECT
private slots:
    void goodFileInTimeOrder();
    void badLineNamesItsNumber_data();
    void badLineNamesItsNumber();

    void layoutPlaysEventsOnceAtTheirTimes();
    void stuckOutputReadsBackOn();
    void powerCycleSetsLatchHigh();
    void byteTimeHoldsEveryByte();

    void commandLineRefusesBadScript();
    void headlessProgramPlaysScript();

private:
    QTemporaryDir m_home;
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
    QCOMPARE(Described(script), QStringLiteral("0 remove 0x9a; 0 restore 0x40; 2 short 3; "
                                               "2 stuck 1; 2.5 load 16 1.25; 6 clear 3"));
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
    row("channel no integer", "2 clear 3.0", "Zeile 3: Kanal „3.0“ ist keine ganze Zahl");
    row("channel missing", "2 short", "Zeile 3: bei „short“ fehlt der Kanal");
    row("event missing", "2", "Zeile 3: Zeit und Ereignis erwartet");
    row("negative time", "-1 short 3", "Zeile 3: Zeit „-1“ ist ungültig");
    row("decimal comma", "2,5 short 3", "Zeile 3: Zeit „2,5“ ist ungültig");
    row("amps missing", "2 load 3", "Zeile 3: bei „load“ fehlt der Strom");
    row("negative amps", "2 load 3 -0.5", "Zeile 3: Strom „-0.5“ ist ungültig");
    row("odd address", "2 remove 0x91", "Zeile 3: Adresse 0x91 ist ungerade");
    row("address too big", "2 restore 0x100", "Zeile 3: Adresse 0x100 liegt nicht zwischen");
    row("address not hex", "2 remove 144", "Zeile 3: Adresse „144“ ist keine Hexadezimalzahl");
    row("extra word", "2 short 3 4", "Zeile 3: überzählige Angabe „4“");
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

void TestSimScript::layoutPlaysEventsOnceAtTheirTimes()
{
    Layout l;
    l.layout.SetScript(Parsed("2 short 1\n"
                              "3 load 2 2.5\n"
                              "4 remove 0x40\n"
                              "5 restore 0x40\n"
                              "6 stuck 1\n"
                              "7 clear 1\n"));
    l.layout.Refresh(1.99);
    QVERIFY(!l.layout.HasShort(1));
    l.layout.Refresh(2.0);
    QVERIFY(l.layout.HasShort(1));
    // Each event once: a short cleared by hand stays cleared.
    l.layout.SetShort(1, false);
    l.layout.Refresh(2.5);
    QVERIFY(!l.layout.HasShort(1));
    QCOMPARE(l.layout.GetLoad(2).amps, 1.0);

    l.layout.Refresh(3.5);
    QCOMPARE(l.layout.GetLoad(2).amps, 2.5);
    QVERIFY(l.layout.Board().Controller().DeviceAt(0x40) != nullptr);
    l.layout.Refresh(4.2);
    QVERIFY(l.layout.Board().Controller().DeviceAt(0x40) == nullptr);
    l.layout.Refresh(5.0);
    QVERIFY(l.layout.Board().Controller().DeviceAt(0x40) != nullptr);
    QVERIFY(!l.layout.IsStuck(1));
    // Late refreshes catch up on everything that came due meanwhile.
    l.layout.SetShort(1, true);
    l.layout.Refresh(60);
    QVERIFY(l.layout.IsStuck(1));
    QVERIFY(!l.layout.HasShort(1));
}

void TestSimScript::stuckOutputReadsBackOn()
{
    Layout l;
    const std::uint8_t allOff = 0x02; // bit 0 low (active high), bit 1 high (active low)
    l.port.Write(allOff);
    l.layout.Refresh(0);

    l.layout.SetStuck(1, true);
    l.layout.SetStuck(2, true);
    l.layout.Refresh(1);
    l.port.Write(allOff);
    // The latch holds what was written; the welded outputs read on.
    QCOMPARE(l.layout.Latch(0x40), allOff);
    QCOMPARE(l.port.Read(), std::uint8_t(0x01));
    QCOMPARE(l.layout.Current(1, 1), 1.0);
    QCOMPARE(l.layout.Current(2, 1), 1.0);

    l.layout.SetStuck(2, false);
    l.layout.Refresh(2);
    QCOMPARE(l.port.Read(), std::uint8_t(0x03));
    QCOMPARE(l.layout.Current(2, 2), 0.0);
}

void TestSimScript::powerCycleSetsLatchHigh()
{
    Layout l;
    l.port.Write(0x00);
    l.layout.Refresh(0);
    QCOMPARE(l.layout.Current(2, 0), 1.0);
    l.layout.PowerCycle(0x40);
    l.layout.Refresh(1);
    QCOMPARE(l.layout.Latch(0x40), std::uint8_t(0xFF));
    QCOMPARE(l.port.Read(), std::uint8_t(0xFF));
    // Every output high: the active-low channel is now off.
    QCOMPARE(l.layout.Current(2, 1), 0.0);
}

// Only a lower bound: a shared machine may always take longer.
void TestSimScript::byteTimeHoldsEveryByte()
{
    Layout l;
    l.layout.Board().SetByteTime(2000);
    QElapsedTimer t;
    t.start();
    l.port.Write(0x00); // address and one data byte
    QVERIFY2(t.nsecsElapsed() >= 4'000'000, qPrintable(QString::number(t.nsecsElapsed())));
    l.layout.Board().SetByteTime(20); // spun, not slept
    t.restart();
    l.port.Read();
    QVERIFY2(t.nsecsElapsed() >= 40'000, qPrintable(QString::number(t.nsecsElapsed())));
    QCOMPARE(l.layout.Latch(0x40), std::uint8_t(0x00));
}

void TestSimScript::commandLineRefusesBadScript()
{
    QTemporaryDir dir;
    const QString bad = WriteFile(dir, QStringLiteral("kurz.txt"), "2 short 3\n\n6 kurz 3\n");
    QString err;
    QCOMPARE(RunKorva({QStringLiteral("--sim-script"), bad}, m_home.path(), err), 2);
    QCOMPARE(err, QStringLiteral("korva: %1: Zeile 3: unbekanntes Ereignis „kurz“ "
                                 "(short, clear, load, stuck, remove, restore)\n")
                      .arg(bad));

    const QString missing = dir.filePath(QStringLiteral("fehlt.txt"));
    QCOMPARE(RunKorva({QStringLiteral("--headless"), QStringLiteral("--sim-script"), missing},
                      m_home.path(), err),
             2);
    QVERIFY2(err.startsWith(QStringLiteral("korva: ") + missing + QStringLiteral(": ")),
             qPrintable(err));
    QCOMPARE(err.count(QLatin1Char('\n')), 1);
}

// The default layout carries no short: a cutoff of channel 3 comes from the
// script alone.
void TestSimScript::headlessProgramPlaysScript()
{
    QTemporaryDir home;
    const QString script = WriteFile(home, QStringLiteral("kurz.txt"), "0.5 short 3\n");
    QProcess proc; // no --simulate: the script implies it
    StartKorva(proc, {QStringLiteral("--headless"), QStringLiteral("--sim-script"), script},
               home.path());
    QVERIFY(proc.waitForStarted(15000));
    const QString journal =
        home.filePath(QStringLiteral("data/KORVA_Powermanagement/Ereignisprotokoll.csv"));
    auto cutOff = [&] {
        QFile f(journal);
        if (!f.open(QIODevice::ReadOnly))
            return false;
        for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
            const auto ev = ParseJournalFileLine(line);
            if (ev && ev->kind == ChannelEvent::Cutoff && ev->nChannel == 3)
                return true;
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(cutOff(), 20000);
    ::kill(static_cast<pid_t>(proc.processId()), SIGTERM);
    QVERIFY(proc.waitForFinished(15000));
    QCOMPARE(proc.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestSimScript)
#include "test_sim_script.moc"
