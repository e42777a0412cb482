// The unattended mode as a service runs it: the real program in a child
// process, without any display, ended by signals.

#include "app/CommandLine.h"
#include "app/Headless.h"
#include "doc/VelkorDoc.h"
#include "helpers/TestSink.h"
#include "journal/JournalEvent.h"
#include "res/resource.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

namespace {

struct Child
{
    QTemporaryDir home;
    QProcess proc;
    QString err;

    Child()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // Nothing that would let it find a display, nor the platform set for the tests.
        for (const char* name :
             {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        proc.setProcessEnvironment(env);
        proc.setProcessChannelMode(QProcess::SeparateChannels);
    }
    ~Child()
    {
        if (proc.state() != QProcess::NotRunning) {
            proc.kill();
            proc.waitForFinished(5000);
        }
    }
    QString DataFile(const QString& name) const
    {
        return home.filePath(QStringLiteral("data/KORVA_Powermanagement/") + name);
    }
    void Start(const QStringList& args) { proc.start(QStringLiteral(KORVA_BINARY), args); }
    // Waits until standard error holds the text (or the child ends).
    bool WaitForErr(const QString& text, int ms = 15000)
    {
        QElapsedTimer t;
        t.start();
        while (!err.contains(text) && t.elapsed() < ms && proc.state() != QProcess::NotRunning) {
            proc.waitForReadyRead(100);
            err += QString::fromLocal8Bit(proc.readAllStandardError());
        }
        err += QString::fromLocal8Bit(proc.readAllStandardError());
        return err.contains(text);
    }
    // Waits until the journal holds the text; returns what it holds.
    QString WaitForJournal(const QString& text, int ms = 15000)
    {
        const QString journal = DataFile(QStringLiteral("Ereignisprotokoll.csv"));
        QString held;
        QElapsedTimer t;
        t.start();
        while (!held.contains(text) && t.elapsed() < ms && proc.state() != QProcess::NotRunning) {
            QTest::qWait(100);
            QFile f(journal);
            if (f.open(QIODevice::ReadOnly))
                held = QString::fromUtf8(f.readAll());
        }
        return held;
    }
    int Terminate(int sig)
    {
        ::kill(static_cast<pid_t>(proc.processId()), sig);
        if (!proc.waitForFinished(15000))
            return -1;
        err += QString::fromLocal8Bit(proc.readAllStandardError());
        return proc.exitStatus() == QProcess::NormalExit ? proc.exitCode() : -2;
    }
};

bool Load(const QString& path, CVelkorDoc& doc)
{
    TestSink sink;
    return doc.OnOpenDocument(path);
}

} // namespace

class TestHeadless : public QObject
{
    Q_OBJECT
private slots:
    void startsWithoutDisplayAndSavesCountersOnSigterm_data();
    void startsWithoutDisplayAndSavesCountersOnSigterm();
    void cutoffInSimulationReachesJournal();
    void messageGoesToStandardErrorWithoutWaiting();
    void optionsAndDefaultAnswers();
    void logLinesCarryTheirPriorityForTheJournal();
};

void TestHeadless::startsWithoutDisplayAndSavesCountersOnSigterm_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("namedFile");
    QTest::addColumn<bool>("windowed");
    QTest::newRow("SIGTERM, default file") << int(SIGTERM) << false << false;
    QTest::newRow("SIGINT, named file") << int(SIGINT) << true << false;
    // With windows nobody can answer "save changes?": a file is saved all the same.
    QTest::newRow("SIGTERM, window") << int(SIGTERM) << true << true;
}

// The simulated layout loads every channel from the start, so the energy
// counters move within a few consumption ticks; what the signal saves must
// load back.
void TestHeadless::startsWithoutDisplayAndSavesCountersOnSigterm()
{
    QFETCH(int, signal);
    QFETCH(bool, namedFile);
    QFETCH(bool, windowed);
    Child c;
    QString path = c.DataFile(QStringLiteral("anlage.sav"));
    QStringList args{windowed ? QStringLiteral("--nologo") : QStringLiteral("--headless"),
                     QStringLiteral("--simulate")};
    if (windowed)
        args << QStringLiteral("-platform") << QStringLiteral("offscreen");
    if (namedFile) {
        path = c.home.filePath(QStringLiteral("mein Stellwerk.sav"));
        CVelkorDoc doc;
        doc.OnNewDocument();
        doc.m_strName[0] = QStringLiteral("Nordring");
        QVERIFY(doc.OnSaveDocument(path));
        args << path;
    }
    // A short on channel 16 after 4 s says when the counters have moved.
    QTemporaryDir scripts; // apart from the files whose folder is checked below
    const QString script = scripts.filePath(QStringLiteral("kurz.txt"));
    QFile f(script);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("4 short 16\n");
    f.close();
    args << QStringLiteral("--sim-script") << script;
    c.Start(args);
    if (!windowed)
        QVERIFY2(c.WaitForErr(QStringLiteral("unbeaufsichtigt")), qPrintable(c.err));
    // Without a file the default one exists from the start.
    QVERIFY(QFile::exists(path));
    const QString cutoff = EventKindText(ChannelEvent::Cutoff);
    QVERIFY2(c.WaitForJournal(cutoff).contains(cutoff), qPrintable(c.err));
    QCOMPARE(c.Terminate(signal), 0);

    CVelkorDoc loaded;
    QVERIFY(Load(path, loaded));
    QVERIFY2(loaded.m_dVerbrauch[0] > 0.0, qPrintable(QString::number(loaded.m_dVerbrauch[0])));
    QVERIFY(loaded.m_dGesamtverbrauch > 0.0);
    if (namedFile)
        QCOMPARE(loaded.m_strName[0], QStringLiteral("Nordring"));
    // No temporary file of the atomic save is left beside it.
    const QStringList left = QFileInfo(path).dir().entryList(QDir::Files);
    for (const QString& f : left)
        QVERIFY2(f.endsWith(QLatin1String(".sav")) || f.endsWith(QLatin1String(".csv")),
                 qPrintable(f));
}

// A channel whose Abschaltstrom lies below the simulated load is cut off on
// the first tick; the unattended program journals it like the windowed one.
void TestHeadless::cutoffInSimulationReachesJournal()
{
    Child c;
    const QString path = c.home.filePath(QStringLiteral("kurz.sav"));
    CVelkorDoc doc;
    doc.OnNewDocument();
    doc.m_dAlarmstrom[0] = 0.01;
    doc.m_dAbschaltstrom[0] = 0.02;
    doc.m_dHysterese[0] = 0.0;
    QVERIFY(doc.OnSaveDocument(path));

    c.Start({QStringLiteral("--headless"), QStringLiteral("--simulate"), path});
    QVERIFY2(c.WaitForErr(QStringLiteral("unbeaufsichtigt")), qPrintable(c.err));
    const QString cutoff = EventKindText(ChannelEvent::Cutoff);
    const QString text = c.WaitForJournal(cutoff);
    QVERIFY2(text.contains(cutoff), qPrintable(text + c.err));
    QCOMPARE(c.Terminate(SIGTERM), 0);
}

// A damaged file would open a message box: here it is a line on standard
// error, answered at once; with no document left the program ends with 1.
void TestHeadless::messageGoesToStandardErrorWithoutWaiting()
{
    Child c;
    const QString path = c.home.filePath(QStringLiteral("kaputt.sav"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("nur drei");
    f.close();
    c.Start({QStringLiteral("--headless"), path});
    QVERIFY(c.proc.waitForFinished(15000));
    c.err += QString::fromLocal8Bit(c.proc.readAllStandardError());
    QCOMPARE(c.proc.exitStatus(), QProcess::NormalExit);
    QCOMPARE(c.proc.exitCode(), 1);
    QVERIFY2(c.err.contains(QStringLiteral("kaputt.sav")), qPrintable(c.err));
    QVERIFY2(c.err.contains(QStringLiteral("beschädigt")), qPrintable(c.err));
    // The journal keeps the message with its time, as one event.
    QFile journal(c.DataFile(QStringLiteral("Ereignisprotokoll.csv")));
    QVERIFY(journal.open(QIODevice::ReadOnly));
    const QString lines = QString::fromUtf8(journal.readAll());
    QVERIFY2(lines.contains(EventKindText(ChannelEvent::Message)), qPrintable(lines));
    QVERIFY2(lines.contains(QStringLiteral("kaputt.sav")), qPrintable(lines));
}

void TestHeadless::optionsAndDefaultAnswers()
{
    using namespace korva_headless;
    QCOMPARE(SaveIntervalSeconds(0, 0), 300);
    QCOMPARE(SaveIntervalSeconds(0, 120), 120);
    QCOMPARE(SaveIntervalSeconds(60, 120), 60);
    QCOMPARE(SaveIntervalSeconds(1, 0), 10);
    // The one parse of the command line gives every part the same values;
    // a value that is no number of seconds is refused there.
    const auto parse = [](QStringList args) {
        args.prepend(QStringLiteral("korva"));
        return ParseKorvaCommandLine(args);
    };
    const KorvaCommandLine given =
        parse({QStringLiteral("-headless"), QStringLiteral("--save-interval=60"),
               QStringLiteral("--web"), QStringLiteral("127.0.0.1:8088"),
               QStringLiteral("--sim-script"), QStringLiteral("/dev/null"), QStringLiteral("a.sav")});
    QCOMPARE(given.nExitCode, -1);
    QVERIFY(given.bHeadless);
    QVERIFY(given.bSimulate); // a script needs the simulated board
    QCOMPARE(given.nSaveIntervalS, 60);
    QCOMPARE(given.strWeb, QStringLiteral("127.0.0.1:8088"));
    QCOMPARE(given.strFile, QStringLiteral("a.sav"));
    const KorvaCommandLine bad = parse({QStringLiteral("--save-interval"), QStringLiteral("x")});
    QCOMPARE(bad.nExitCode, 2);
    QVERIFY(bad.strMessage.contains(QStringLiteral("--save-interval „x“")));
    // Enter on the framework's boxes: the save question saves, the rest is OK.
    QCOMPARE(DefaultAnswer(MB_YESNOCANCEL | MB_ICONEXCLAMATION), IDYES);
    QCOMPARE(DefaultAnswer(MB_OK), IDOK);
    QCOMPARE(DefaultAnswer(MB_OKCANCEL), IDOK);
}

// Under systemd each line starts with the priority the journal files it
// under; a logging rule quiets a category.
void TestHeadless::logLinesCarryTheirPriorityForTheJournal()
{
    {
        Child c;
        QProcessEnvironment env = c.proc.processEnvironment();
        env.insert(QStringLiteral("JOURNAL_STREAM"), QStringLiteral("8:12345"));
        c.proc.setProcessEnvironment(env);
        c.Start({QStringLiteral("--headless")});
        QVERIFY2(c.WaitForErr(QStringLiteral("<6>korva: unbeaufsichtigt mit ")), qPrintable(c.err));
        QCOMPARE(c.Terminate(SIGTERM), 0);
    }
    Child c;
    QProcessEnvironment env = c.proc.processEnvironment();
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("korva.app.info=false"));
    c.proc.setProcessEnvironment(env);
    c.Start({QStringLiteral("--headless")});
    // Quiet: the start line is gone, the program runs all the same.
    QVERIFY(!c.WaitForErr(QStringLiteral("unbeaufsichtigt"), 3000));
    QCOMPARE(c.proc.state(), QProcess::Running);
    QCOMPARE(c.Terminate(SIGTERM), 0);
    QVERIFY2(!c.err.contains(QStringLiteral("unbeaufsichtigt")), qPrintable(c.err));
}

QTEST_GUILESS_MAIN(TestHeadless)
#include "test_headless.moc"
