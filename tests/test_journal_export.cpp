// CSV exports of the consumption counters, the peak values and the journal:
// read back by a CSV parser in German and English notation, and a failed
// export that loses nothing.

#include "doc/VelkorDoc.h"
#include "framework/MDIFrame.h"
#include "framework/Numbers.h"
#include "framework/WinApp.h"
#include "helpers/TestSink.h"
#include "journal/Csv.h"
#include "journal/JournalFile.h"
#include "journal/JournalModel.h"
#include "journal/JournalModule.h"
#include "res/resource.h"
#include "view/VelkorView.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "helpers/ViewPanel.h"
#include <csignal>
#include <sys/resource.h>

namespace {

struct Panel : ViewPanel
{
    Panel()
    {
        for (int i = 0; i < 16; ++i) {
            view.m_dlgVerbrauch.m_strName[i] = QStringLiteral("Kanal %1").arg(i + 1);
            view.m_dlgVerbrauch.m_dLeistung[i] = 1234.5 + i;
            view.m_dlgVerbrauch.m_dEnergie[i] = 0.125 * i;
            view.m_dlgMaximalwerte.m_strName[i] = view.m_dlgVerbrauch.m_strName[i];
            view.m_dlgMaximalwerte.m_dMax[i] = 0.01 * i;
        }
        // Names with the separators of both notations and a quote.
        view.m_dlgVerbrauch.m_strName[2] = QStringLiteral("Süd; \"alt\", 3");
        view.m_dlgMaximalwerte.m_strName[2] = view.m_dlgVerbrauch.m_strName[2];
        view.m_dlgVerbrauch.m_dGesamt = 1.000123;
    }
    ~Panel() { view.OnDestroy(); }
};

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The file as a spreadsheet program reads it.
QVector<CsvRecord> ReadCsv(const QString& path, QChar sep)
{
    QByteArray bytes = ReadAll(path);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QVector<CsvRecord> recs = ParseCsv(QString::fromUtf8(bytes), sep);
    return recs;
}

double Num(const QString& text, const QLocale& loc)
{
    bool ok = false;
    QLocale strict = loc;
    strict.setNumberOptions(QLocale::RejectGroupSeparator);
    const double v = strict.toDouble(text, &ok);
    if (!ok)
        qWarning("not a number in this locale: %s", qPrintable(text));
    return ok ? v : -1e300;
}

} // namespace

class TestJournalExport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        SetUiLocale(QLocale(QLocale::German, QLocale::Germany));
    }
    void init() { QDir(QFileInfo(CJournalFile::DefaultPath()).absolutePath()).removeRecursively(); }
    void cleanup()
    {
        SetUiLocale(QLocale(QLocale::German, QLocale::Germany));
        CWinApp::s_saveFileNameHook = nullptr;
    }

    void exportsReadBackInEitherNotation_data();
    void exportsReadBackInEitherNotation();
    void journalExportNewestFirst();
    void formulaCellsNeutralisedJournalKeepsNames();
    void numbersWithFifteenDigitsWithoutExponent();
    void unwritablePlaceGivesGermanMessage();
    void shortWriteKeepsTheOldFile();
    void commandsNeedADocumentAndAskForAName();
};

void TestJournalExport::exportsReadBackInEitherNotation_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QChar>("sep");
    QTest::addColumn<QString>("watts");
    QTest::newRow("deutsch") << QLocale(QLocale::German, QLocale::Germany) << QChar(u';')
                             << QStringLiteral("1234,5");
    QTest::newRow("english") << QLocale(QLocale::English, QLocale::UnitedStates) << QChar(u',')
                             << QStringLiteral("1234.5");
}

void TestJournalExport::exportsReadBackInEitherNotation()
{
    QFETCH(QLocale, locale);
    QFETCH(QChar, sep);
    QFETCH(QString, watts);
    SetUiLocale(locale);
    TestSink sink;
    CJournalModule journal(nullptr);
    Panel p;
    QTemporaryDir dir;
    const QString verbrauch = dir.filePath(QStringLiteral("v.csv"));
    const QString peaks = dir.filePath(QStringLiteral("h.csv"));
    QVERIFY(journal.ExportVerbrauch(p.view, verbrauch));
    QVERIFY(journal.ExportHoechstwerte(p.view, peaks));

    const QVector<CsvRecord> v = ReadCsv(verbrauch, sep);
    QCOMPARE(v.size(), 18);
    QCOMPARE(v[0].fields, (QStringList{"Kanal", "Name", "Leistung (W)", "Energie (Wh)"}));
    QCOMPARE(v[1].fields[2], watts); // no group separator, the locale's decimal
    for (int i = 0; i < 16; ++i) {
        const QStringList& f = v[i + 1].fields;
        QCOMPARE(f.size(), 4);
        QCOMPARE(f[0].toInt(), i + 1);
        QCOMPARE(f[1], p.view.m_dlgVerbrauch.m_strName[i]);
        QCOMPARE(Num(f[2], locale), p.view.m_dlgVerbrauch.m_dLeistung[i]);
        QCOMPARE(Num(f[3], locale), p.view.m_dlgVerbrauch.m_dEnergie[i]);
    }
    QCOMPARE(v[17].fields[0], QStringLiteral("Gesamt (kWh)"));
    QCOMPARE(Num(v[17].fields[3], locale), 1.000123);

    const QVector<CsvRecord> h = ReadCsv(peaks, sep);
    QCOMPARE(h.size(), 17);
    QCOMPARE(h[0].fields, (QStringList{"Kanal", "Name", "Höchstwert (A)"}));
    QCOMPARE(h[3].fields[1], QStringLiteral("Süd; \"alt\", 3"));
    for (int i = 0; i < 16; ++i)
        QCOMPARE(Num(h[i + 1].fields[2], locale), p.view.m_dlgMaximalwerte.m_dMax[i]);
}

void TestJournalExport::journalExportNewestFirst()
{
    TestSink sink;
    CJournalModule journal(nullptr);
    Panel p;
    p.view.OnCmdMsg(ID_ALLE_AUS);
    p.view.OnCmdMsg(kChannelIds[0].imageOn);
    p.view.m_channel[1].m_dStrom = 4.6;
    p.view.OnTimer(1);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("j.csv"));
    QVERIFY(journal.ExportJournal(path));
    const QVector<CsvRecord> r = ReadCsv(path, u';');
    QCOMPARE(r.size(), 4);
    // All channels at once: "alle", as the window shows it.
    QCOMPARE(r[3].fields[1], QStringLiteral("alle"));
    QCOMPARE(r[3].fields[1],
             journal.Model()->index(0, CJournalModel::ColChannel).data().toString());
    QCOMPARE(r[1].fields[4], QStringLiteral("Abschaltung"));
    QCOMPARE(r[1].fields[1], QStringLiteral("2"));
    QCOMPARE(r[1].fields[3], QStringLiteral("4,59")); // as the view shows 4.6 A
    QCOMPARE(r[2].fields[4], QStringLiteral("Manuell aus"));
}

void TestJournalExport::formulaCellsNeutralisedJournalKeepsNames()
{
    const QStringList names = {QStringLiteral("=cmd|calc"), QStringLiteral("+1"),
                               QStringLiteral("-x"),        QStringLiteral("@SUMME(A1)"),
                               QStringLiteral("\tTab"),     QStringLiteral("\rCR"),
                               QStringLiteral("a=b"),       QStringLiteral(" =leer")};
    const auto neutral = [](const QString& n) {
        return n.isEmpty() || QStringLiteral("=+-@\t\r").contains(n[0]) ? u'\'' + n : n;
    };
    TestSink sink;
    CJournalModule journal(nullptr);
    Panel p;
    for (int i = 0; i < names.size(); ++i) {
        p.view.m_strName[i + 4] = names[i];
        p.view.m_dlgVerbrauch.m_strName[i + 4] = names[i];
        p.view.m_dlgMaximalwerte.m_strName[i + 4] = names[i];
        p.view.OnCmdMsg(kChannelIds[i + 4].imageOn);
    }
    QTemporaryDir dir;
    const QString v = dir.filePath(QStringLiteral("v.csv"));
    const QString h = dir.filePath(QStringLiteral("h.csv"));
    const QString j = dir.filePath(QStringLiteral("j.csv"));
    QVERIFY(journal.ExportVerbrauch(p.view, v));
    QVERIFY(journal.ExportHoechstwerte(p.view, h));
    QVERIFY(journal.ExportJournal(j));
    const QVector<CsvRecord> vr = ReadCsv(v, u';');
    const QVector<CsvRecord> hr = ReadCsv(h, u';');
    const QVector<CsvRecord> jr = ReadCsv(j, u';');
    QCOMPARE(jr.size(), names.size() + 1);
    for (int i = 0; i < names.size(); ++i) {
        QCOMPARE(vr[i + 5].fields[1], neutral(names[i]));
        QCOMPARE(hr[i + 5].fields[1], neutral(names[i]));
        QCOMPARE(jr[names.size() - i].fields[2], neutral(names[i])); // newest first
    }
    QCOMPARE(vr[5].fields[1], QStringLiteral("'=cmd|calc"));

    // The journal itself keeps the names exactly.
    journal.FlushFile();
    const CJournalFile::LoadResult back = CJournalFile(CJournalFile::DefaultPath()).Load();
    QCOMPARE(back.events.size(), names.size());
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(back.events[i].strName, names[i]);
}

void TestJournalExport::numbersWithFifteenDigitsWithoutExponent()
{
    TestSink sink;
    CJournalModule journal(nullptr);
    Panel p;
    p.view.m_dlgVerbrauch.m_dGesamt = 0.012914999999999975;
    p.view.m_dlgVerbrauch.m_dEnergie[0] = 0.0000088;
    p.view.m_dlgVerbrauch.m_dEnergie[1] = -0.0000012345678901234567;
    p.view.m_dlgVerbrauch.m_dEnergie[2] = 1e20;
    p.view.m_dlgVerbrauch.m_dEnergie[3] = 9.9999999999999999e-7; // rounds up to 0,000001
    p.view.m_dlgVerbrauch.m_dEnergie[4] = -0.0;
    p.view.m_dlgMaximalwerte.m_dMax[0] = 1.392156862745098;
    QTemporaryDir dir;
    const QString v = dir.filePath(QStringLiteral("v.csv"));
    const QString h = dir.filePath(QStringLiteral("h.csv"));
    QVERIFY(journal.ExportVerbrauch(p.view, v));
    QVERIFY(journal.ExportHoechstwerte(p.view, h));
    const QVector<CsvRecord> vr = ReadCsv(v, u';');
    QCOMPARE(vr[17].fields[3], QStringLiteral("0,012915"));
    QCOMPARE(vr[1].fields[3], QStringLiteral("0,0000088"));
    QCOMPARE(vr[2].fields[3], QStringLiteral("-0,00000123456789012346"));
    QCOMPARE(vr[3].fields[3], QStringLiteral("100000000000000000000"));
    QCOMPARE(vr[4].fields[3], QStringLiteral("0,000001"));
    QCOMPARE(vr[5].fields[3], QStringLiteral("0"));
    QCOMPARE(vr[1].fields[2], FormatNumber(1234.5)); // the dialogs' notation
    QCOMPARE(ReadCsv(h, u';')[1].fields[2], QStringLiteral("1,3921568627451"));
}

void TestJournalExport::unwritablePlaceGivesGermanMessage()
{
    TestSink sink;
    CJournalModule journal(nullptr);
    Panel p;
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("datei")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString places[] = {dir.filePath(QStringLiteral("datei/v.csv")), // parent is a file
                              dir.path(),                                  // a folder
                              QStringLiteral("/dev/null")};                // a device
    for (const QString& place : places) {
        sink.ExpectBoxes(1);
        QVERIFY(!journal.ExportVerbrauch(p.view, place));
        QCOMPARE(sink.boxes.size(), 1);
        QVERIFY2(sink.boxes[0].text.contains(QStringLiteral("konnte nicht gespeichert werden")),
                 qPrintable(sink.boxes[0].text));
        sink.boxes.clear();
    }
    QVERIFY(QFileInfo(QStringLiteral("/dev/null")).exists() &&
            !QFileInfo(QStringLiteral("/dev/null")).isFile());
    // The values are still there to export elsewhere.
    QCOMPARE(p.view.m_dlgVerbrauch.m_dLeistung[0], 1234.5);
    QVERIFY(journal.ExportVerbrauch(p.view, dir.filePath(QStringLiteral("ok.csv"))));
}

void TestJournalExport::shortWriteKeepsTheOldFile()
{
    TestSink sink;
    CJournalModule journal(nullptr);
    Panel p;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("v.csv"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("alt\n");
    }
    // A file-size limit below the export's size: the write comes back short.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 200;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    sink.ExpectBoxes(1);
    const bool ok = journal.ExportVerbrauch(p.view, path);
    setrlimit(RLIMIT_FSIZE, &saved);
    QVERIFY(!ok);
    QCOMPARE(sink.boxes.size(), 1);
    QCOMPARE(ReadAll(path), QByteArray("alt\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"v.csv"}); // no leftovers
}

void TestJournalExport::commandsNeedADocumentAndAskForAName()
{
    TestSink sink;
    CVelkorDoc doc;
    doc.OnNewDocument();
    CMDIFrameWnd frame;
    CJournalModule journal(&frame);
    CCmdUI before(ID_EXPORT_VERBRAUCH);
    QVERIFY(journal.OnUpdateCmdUI(&before));
    QVERIFY(!before.m_bEnabled);

    auto* child = new CMDIChildWnd;
    auto* view = new CVelkorView;
    view->SetDocument(&doc);
    child->SetView(view);
    frame.AddChild(child);
    view->OnInitialUpdate();
    view->m_dlgMaximalwerte.m_dMax[4] = 3.5;
    CCmdUI after(ID_EXPORT_HOECHSTWERTE);
    QVERIFY(journal.OnUpdateCmdUI(&after));
    QVERIFY(after.m_bEnabled);

    QTemporaryDir dir;
    QString proposed;
    CWinApp::s_saveFileNameHook = [&](const QString& name, const QString&) {
        proposed = name;
        return dir.filePath(QStringLiteral("h.csv"));
    };
    QVERIFY(journal.OnCmdMsg(ID_EXPORT_HOECHSTWERTE));
    QVERIFY(proposed.endsWith(QStringLiteral(".csv")));
    QCOMPARE(ReadCsv(dir.filePath(QStringLiteral("h.csv")), u';')[5].fields[2],
             QStringLiteral("3,5"));
    // Cancelling the dialog writes nothing.
    CWinApp::s_saveFileNameHook = [](const QString&, const QString&) { return QString(); };
    QVERIFY(journal.OnCmdMsg(ID_EXPORT_VERBRAUCH));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("Verbrauch.csv"))));
    view->OnDestroy();
}

QTEST_MAIN(TestJournalExport)
#include "test_journal_export.moc"
