// The command line: help, version and refused options from the real program
// in a child process without any display, the one spelling the options are
// handed on in, and printing a file to PDF or to a printer that is not there.

#include "app/CommandLine.h"
#include "doc/VelkorDoc.h"
#include "helpers/TestSink.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

// The program with no display, no platform chosen for it and no printer
// server: whatever needs one of them fails visibly.
Run RunKorva(const QStringList& args, const QString& home)
{
    QProcess proc;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    // A runtime folder of its own, so Qt has nothing to warn about.
    const QString runtime = home + QStringLiteral("/run");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("CUPS_SERVER"), home + QStringLiteral("/no-cups.sock"));
    proc.setProcessEnvironment(env);
    proc.start(QStringLiteral(KORVA_BINARY), args);
    Run r;
    if (!proc.waitForFinished(30000)) {
        proc.kill();
        proc.waitForFinished(5000);
        return r;
    }
    r.exitCode = proc.exitStatus() == QProcess::NormalExit ? proc.exitCode() : -2;
    r.out = QString::fromLocal8Bit(proc.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(proc.readAllStandardError());
    return r;
}

QString Tool(const char* name)
{
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}

QString ToolOutput(const QString& tool, const QStringList& args)
{
    QProcess p;
    p.start(tool, args);
    p.waitForFinished(20000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void helpListsFileAndEveryOption();
    void versionAndRefusedOptionsEndBeforeAnyWindow_data();
    void versionAndRefusedOptionsEndBeforeAnyWindow();
    void optionsAreHandedOnInOneSpelling_data();
    void optionsAreHandedOnInOneSpelling();
    void printToWritesOnePageWithFileName();
    void printFailsWithoutPrinterOrFile();

private:
    QTemporaryDir m_home;
};

void TestCommandLine::helpListsFileAndEveryOption()
{
    const Run r = RunKorva({QStringLiteral("--help")}, m_home.path());
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.out.startsWith(QStringLiteral("Aufruf: korva")), qPrintable(r.out));
    for (const char* item :
         {"DATEI.sav", "--simulate", "--headless", "--save-interval", "--web", "--set-web-password",
          "--print ", "--print-to", "--nologo", "-nologo", "/nologo", "--version"})
        QVERIFY2(r.out.contains(QLatin1String(item)), item);
    QVERIFY(r.err.isEmpty());
    // Qt's parser takes "-h" for a group of short options unless told otherwise.
    QCOMPARE(RunKorva({QStringLiteral("-help")}, m_home.path()).out, r.out);
}

void TestCommandLine::versionAndRefusedOptionsEndBeforeAnyWindow_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::newRow("version") << QStringList{"--version"} << 0 << "korva 1.0\n"
                             << "";
    QTest::newRow("unknown") << QStringList{"--nologo", "--bogus", "x.sav"} << 2 << ""
                             << "korva: Unbekannte Option „--bogus“. Hilfe mit „korva --help“.\n";
    QTest::newRow("unknown single dash")
        << QStringList{"-nolog"} << 2 << ""
        << "korva: Unbekannte Option „-nolog“. Hilfe mit „korva --help“.\n";
    QTest::newRow("missing value")
        << QStringList{"--save-interval"} << 2 << ""
        << "korva: Der Option „--save-interval“ fehlt ihr Wert. Hilfe mit „korva --help“.\n";
    QTest::newRow("value on a flag")
        << QStringList{"--simulate=1"} << 2 << ""
        << "korva: Die Option „--simulate“ nimmt keinen Wert. Hilfe mit „korva --help“.\n";
}

// Without a display, a window or even the application object would end the
// child with an abort instead of these answers.
void TestCommandLine::versionAndRefusedOptionsEndBeforeAnyWindow()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    const Run r = RunKorva(args, m_home.path());
    QCOMPARE(r.exitCode, exitCode);
    QCOMPARE(r.out, out);
    QCOMPARE(r.err, err);
}

void TestCommandLine::optionsAreHandedOnInOneSpelling_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("handedOn");
    QTest::addColumn<QString>("file");
    QTest::newRow("none") << QStringList{} << QStringList{} << "";
    QTest::newRow("old nologo spellings") << QStringList{"-nologo", "a.sav", "/nologo"}
                                          << QStringList{"--nologo", "a.sav"} << "a.sav";
    QTest::newRow("values") << QStringList{"-web=127.0.0.1:9000", "-save-interval", "30",
                                           "--headless",          "b.sav",          "c.sav"}
                            << QStringList{"--headless",     "--save-interval", "30",   "--web",
                                           "127.0.0.1:9000", "b.sav",           "c.sav"}
                            << "b.sav";
    QTest::newRow("pdf is no file") << QStringList{"--print-to", "out.pdf", "d.sav"}
                                    << QStringList{"--print-to", "out.pdf", "d.sav"} << "d.sav";
    QTest::newRow("qt options pass")
        << QStringList{"-platform", "offscreen", "-reverse", "--simulate"}
        << QStringList{"--simulate"} << "";
}

void TestCommandLine::optionsAreHandedOnInOneSpelling()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, handedOn);
    QFETCH(QString, file);
    args.prepend(QStringLiteral("korva"));
    handedOn.prepend(QStringLiteral("korva"));
    const KorvaCommandLine c = ParseKorvaCommandLine(args);
    QCOMPARE(c.nExitCode, -1);
    QCOMPARE(c.args, handedOn);
    QCOMPARE(c.strFile, file);
}

void TestCommandLine::printToWritesOnePageWithFileName()
{
    if (Tool("pdftotext").isEmpty() || Tool("pdfinfo").isEmpty())
        QSKIP("poppler-utils is not installed");
    QTemporaryDir dir;
    const QString sav = dir.filePath(QStringLiteral("Anlage Süd_7.sav"));
    {
        TestSink sink;
        CVelkorDoc doc;
        QVERIFY(doc.OnNewDocument());
        QVERIFY(doc.OnSaveDocument(sav));
    }
    const QString pdf = dir.filePath(QStringLiteral("seite.pdf"));
    const Run r = RunKorva({QStringLiteral("-nologo"), sav, QStringLiteral("--print-to"), pdf},
                           m_home.path());
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    QVERIFY(QFile::exists(pdf));
    QVERIFY(ToolOutput(Tool("pdfinfo"), {pdf}).contains(QRegularExpression("Pages:\\s+1\\n")));
    const QString text = ToolOutput(Tool("pdftotext"), {pdf, QStringLiteral("-")});
    QVERIFY2(text.contains(QStringLiteral("Anlage Süd_7.sav")), qPrintable(text));
    // The date as the status bar writes it in this locale (dd.mm.yyyy).
    QVERIFY2(text.contains(QRegularExpression("\\d\\d\\.\\d\\d\\.\\d{4}")), qPrintable(text));
    // Printing leaves the file alone.
    QVERIFY(!QFile::exists(sav + QStringLiteral(".bak")));
}

void TestCommandLine::printFailsWithoutPrinterOrFile()
{
    QTemporaryDir dir;
    const QString sav = dir.filePath(QStringLiteral("a.sav"));
    {
        TestSink sink;
        CVelkorDoc doc;
        QVERIFY(doc.OnNewDocument());
        QVERIFY(doc.OnSaveDocument(sav));
    }
    Run r = RunKorva({QStringLiteral("--print"), sav}, m_home.path());
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.startsWith(QStringLiteral("korva: Es ist kein Drucker eingerichtet")),
             qPrintable(r.err));

    // A file that cannot be read gives its message and no PDF.
    const QString broken = dir.filePath(QStringLiteral("kaputt.sav"));
    QFile f(broken);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("\x01\x02", 2);
    f.close();
    const QString pdf = dir.filePath(QStringLiteral("nichts.pdf"));
    r = RunKorva({QStringLiteral("--print-to"), pdf, broken}, m_home.path());
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(QStringLiteral("kaputt.sav")), qPrintable(r.err));
    QVERIFY(!QFile::exists(pdf));

    r = RunKorva({QStringLiteral("--print-to"), pdf}, m_home.path());
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.err.contains(QStringLiteral("fehlt die Datei")));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_command_line.moc"
