// The event journal: what it records from a live view, its file across
// restarts, damage and rotation, and the history ring buffer.

#include "doc/VelkorDoc.h"
#include "helpers/TestSink.h"
#include "helpers/ViewPanel.h"
#include "journal/JournalFile.h"
#include "journal/JournalModule.h"
#include "journal/LocalTime.h"
#include "view/Truncate.h"
#include "view/VelkorView.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>
#include <algorithm>
#include <ctime>

namespace {

// Closed like a window, so the journal hears of it.
struct Panel : ViewPanel
{
    ~Panel() { view.OnDestroy(); }
};

QString JournalDir()
{
    return QFileInfo(CJournalFile::DefaultPath()).absolutePath();
}

void AppendRaw(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::Append));
    QCOMPARE(f.write(bytes), bytes.size());
}

JournalEvent MakeEvent(int k, double a, ChannelEvent kind = ChannelEvent::Cutoff)
{
    return {QDateTime(QDate(2026, 3, 1), QTime(12, 0, 0, 250)),
            k,
            QStringLiteral("Kanal;%1 \"x\"").arg(k),
            a,
            kind,
            {}};
}

} // namespace

class TestJournal : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        // A zone with summer time, so that times across its changes are tried.
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }
    void init() { QDir(JournalDir()).removeRecursively(); }
    void cleanupTestCase() { QDir(JournalDir()).removeRecursively(); }

    void recordsEveryKindWithChannelAndCurrent();
    void listenersFindTheNewEventsByCount();
    void journalSurvivesRestartAndSkipsDamagedLines();
    void crashCutLineDoesNotSwallowNextEvent();
    void namesWithLineBreaksReadBackAfterRestart();
    void hugeJournalLoadsOnlyItsNewestPart();
    void olderJournalWithoutDetailReadsBack();
    void rotatesAtTheBound();
    void writerKeepsOrderAndWritesAllBeforeExit();
    void localTimesFollowTheZoneAcrossItsChanges();
    void unwritableJournalWarnsOnceAndMeasuringGoesOn();
    void currentIsStoredAsShown();
    void historyKeepsExactlyTheLastHour();
    void historyIsPerViewAndDroppedOnClose();
    void historyGoesOnThroughACutoff();
};

void TestJournal::recordsEveryKindWithChannelAndCurrent()
{
    TestSink sink;
    CJournalModule journal(nullptr);
    Panel p;
    p.view.m_strName[1] = QStringLiteral("Gleis 2");
    const QDateTime before = QDateTime::currentDateTime();
    p.view.OnTimer(1);
    p.view.m_channel[1].m_dStrom = 4.6; // above channel 2's Abschaltstrom
    p.view.OnTimer(1);
    p.view.OnTimer(2); // still too high: refused
    sink.QueueAnswer(IDOK);
    p.view.m_dHysterese[1] = 1.0;
    p.view.OnCmdMsg(kChannelIds[1].imageOff); // locked
    p.view.m_channel[1].m_dStrom = 1.0;
    p.view.OnTimer(2); // back on
    p.view.OnCmdMsg(kChannelIds[0].imageOn);
    p.view.OnCmdMsg(kChannelIds[0].imageOff);
    p.view.OnAlleAus();
    p.view.OnAlleEin();

    struct Expected
    {
        ChannelEvent kind;
        int k;
        double a;
    };
    const double shown = korva_view::TruncTo(4.6, 100.0); // 4.59: the view's number
    const Expected expected[] = {
        {ChannelEvent::Cutoff, 2, shown},       {ChannelEvent::AutoOnRefused, 2, shown},
        {ChannelEvent::ManualOnLocked, 2, 4.0}, {ChannelEvent::AutoOn, 2, 1.0},
        {ChannelEvent::ManualOff, 1, 0.0},      {ChannelEvent::ManualOn, 1, 2.0},
        {ChannelEvent::AllOff, 0, 0.0},         {ChannelEvent::AllOn, 0, 0.0},
    };
    const QVector<JournalEvent>& evs = journal.Events();
    QCOMPARE(evs.size(), qsizetype(std::size(expected)));
    for (int i = 0; i < evs.size(); ++i) {
        QCOMPARE(evs[i].kind, expected[i].kind);
        QCOMPARE(evs[i].nChannel, expected[i].k);
        QCOMPARE(evs[i].dCurrent, expected[i].a);
        QVERIFY(evs[i].time >= before.addMSecs(-1) && evs[i].time <= QDateTime::currentDateTime());
    }
    QCOMPARE(evs[0].strName, QStringLiteral("Gleis 2"));
    QVERIFY(evs[6].strName.isEmpty());

    // Every event reaches the disk at once, not only at exit.
    const auto onDiskCount = [] {
        return CJournalFile(CJournalFile::DefaultPath()).Load().events.size();
    };
    QTRY_COMPARE(onDiskCount(), evs.size());
    const CJournalFile::LoadResult onDisk = CJournalFile(CJournalFile::DefaultPath()).Load();
    QCOMPARE(onDisk.skipped, 0);
    QCOMPARE(onDisk.events.size(), evs.size());
    QCOMPARE(onDisk.events[0].strName, QStringLiteral("Gleis 2"));
    QCOMPARE(onDisk.events[0].time, evs[0].time); // to the millisecond
}

void TestJournal::journalSurvivesRestartAndSkipsDamagedLines()
{
    const QString path = CJournalFile::DefaultPath();
    {
        CJournalFile file(path);
        QVERIFY(file.Append(MakeEvent(3, 4.25)));
    }
    // An older or damaged run: wrong column counts, a bad date, a bad channel,
    // an unknown kind, a number in German notation, a channel on an all-off.
    AppendRaw(path, "2026-03-01 12:00:01.000;4;x;1.5\n"
                    "2026-13-01 12:00:01.000;4;x;1.5;Abschaltung\n"
                    "2026-03-01 12:00:01.000;17;x;1.5;Abschaltung\n"
                    "2026-03-01 12:00:01.000;4;x;1.5;Explodiert\n"
                    "2026-03-01 12:00:01.000;4;x;1,5;Abschaltung\n"
                    "2026-03-01 12:00:01.000;4;x;1.5;Alle aus\n"
                    "2026-03-01 12:00:01.000;4;x;1.5;Abschaltung;mehr;noch mehr\n"
                    "\"offen;4;x;1.5;Abschaltung\n"
                    "2026-03-01 12:00:02.500;0;;0;Alle ein\n");
    AppendRaw(path, QByteArray(100 * 1024, 'x') + "\n");

    TestSink sink;
    CJournalModule journal(nullptr);
    QCOMPARE(journal.SkippedLines(), 9);
    QVERIFY(journal.LastStatus().contains(QStringLiteral("9")));
    QCOMPARE(journal.Events().size(), 2);
    const JournalEvent& first = journal.Events()[0];
    QCOMPARE(first.strName, MakeEvent(3, 0).strName); // separator and quotes survive
    QCOMPARE(first.dCurrent, 4.25);
    QCOMPARE(first.time, MakeEvent(3, 0).time);
    QCOMPARE(journal.Events()[1].kind, ChannelEvent::AllOn);
}

void TestJournal::crashCutLineDoesNotSwallowNextEvent()
{
    const QString path = CJournalFile::DefaultPath();
    {
        CJournalFile file(path);
        QVERIFY(file.Append(MakeEvent(1, 1.0)));
    }
    AppendRaw(path, "2026-03-01 12:00:01.000;4;halb"); // killed in mid-write
    {
        CJournalFile file(path);
        QVERIFY(file.Append(MakeEvent(2, 2.0)));
    }
    const CJournalFile::LoadResult r = CJournalFile(path).Load();
    QCOMPARE(r.skipped, 1);
    QCOMPARE(r.events.size(), 2);
    QCOMPARE(r.events[1].nChannel, 2);
    TestSink sink;
    CJournalModule journal(nullptr);
    QCOMPARE(journal.LastStatus(),
             QStringLiteral("Ereignisprotokoll: 1 beschädigte Zeile übersprungen"));
}

void TestJournal::namesWithLineBreaksReadBackAfterRestart()
{
    const QStringList names = {
        QStringLiteral("A;B"),       QStringLiteral("Zitat \"x\""),  QStringLiteral("oben\nunten"),
        QStringLiteral("CR\rmitte"), QStringLiteral("CRLF\r\nzwei"), QStringLiteral(" führend"),
        QStringLiteral("\n"),        QStringLiteral("ende\r\n"),     QStringLiteral("\";\n\"\";"),
        QStringLiteral("=cmd|calc"),
    };
    {
        TestSink sink;
        CJournalModule journal(nullptr);
        Panel p;
        for (int i = 0; i < names.size(); ++i) {
            p.view.m_strName[i + 4] = names[i];
            p.view.OnCmdMsg(kChannelIds[i + 4].imageOn);
        }
        journal.FlushFile();
    }
    // A line cut by a crash inside a quoted name, then the next run's event.
    AppendRaw(CJournalFile::DefaultPath(), "2026-03-01 12:00:01.000;4;\"halb\nabge");
    {
        CJournalFile file(CJournalFile::DefaultPath());
        QVERIFY(file.Append(MakeEvent(3, 1.0)));
    }

    TestSink sink;
    CJournalModule journal(nullptr);
    const QVector<JournalEvent>& evs = journal.Events();
    QCOMPARE(evs.size(), names.size() + 1);
    for (int i = 0; i < names.size(); ++i) {
        QCOMPARE(evs[i].strName, names[i]);
        QCOMPARE(evs[i].nChannel, i + 5);
        QCOMPARE(evs[i].kind, ChannelEvent::ManualOff);
    }
    QCOMPARE(evs.constLast().strName, MakeEvent(3, 0).strName);
    QCOMPARE(journal.SkippedLines(), 2); // the two halves of the cut line
}

void TestJournal::hugeJournalLoadsOnlyItsNewestPart()
{
    // Far beyond what the program writes: a rotated file and a current one
    // larger than the whole load bound. Only the newest lines are read.
    const QString path = CJournalFile::DefaultPath();
    QVERIFY(QDir().mkpath(JournalDir()));
    AppendRaw(path + QStringLiteral(".1"), "2026-03-01 11:00:00.000;1;alt;1;Abschaltung\n");
    const int n = 60000;
    QByteArray bytes = "Zeit;Kanal;Name;Strom (A);Ereignis;Hinweis\n";
    bytes.reserve(n * 64);
    qsizetype lineLength = 0;
    for (int i = 0; i < n; ++i) {
        const QByteArray line = QByteArray("2026-03-01 12:00:00.000;7;Name;") +
                                QByteArray::number(100000 + i) + ";Abschaltung;\n";
        lineLength = line.size();
        bytes += line;
    }
    AppendRaw(path, bytes);
    const qint64 bound = 2 * CJournalFile::kDefaultMaxBytes; // the newest 2 MiB
    QVERIFY(bytes.size() > bound);

    TestSink sink;
    CJournalModule journal(nullptr);
    const QVector<JournalEvent>& evs = journal.Events();
    QCOMPARE(evs.size(), qsizetype(bound / lineLength));
    QCOMPARE(evs.constLast().dCurrent, double(100000 + n - 1));
    QCOMPARE(evs.constFirst().dCurrent, double(100000 + n - evs.size()));
    QCOMPARE(journal.SkippedLines(), 0);
    QVERIFY2(journal.LastStatus().contains(QStringLiteral("ältere Einträge ausgelassen")),
             qPrintable(journal.LastStatus()));

    // Within the bound the rotated file is read as well, and nothing is said.
    QVERIFY(QFile::resize(path, 0));
    AppendRaw(path, "2026-03-01 12:00:00.000;7;Name;2;Abschaltung\n");
    CJournalModule again(nullptr);
    QCOMPARE(again.Events().size(), 2);
    QVERIFY(again.LastStatus().isEmpty());
}

void TestJournal::olderJournalWithoutDetailReadsBack()
{
    const QString path = CJournalFile::DefaultPath();
    QVERIFY(QDir().mkpath(JournalDir()));
    AppendRaw(path, "Zeit;Kanal;Name;Strom (A);Ereignis\n"
                    "2026-03-01 12:00:01.000;4;Gleis 4;1.5;Abschaltung\n");
    {
        CJournalFile file(path);
        JournalEvent ev = MakeEvent(0, 0.0, ChannelEvent::TransferError);
        ev.strDetail = QStringLiteral("Hardware-Fehler 5: No ack on address (Adresse 0x42)");
        QVERIFY(file.Append(ev));
    }
    const CJournalFile::LoadResult r = CJournalFile(path).Load();
    QCOMPARE(r.skipped, 0);
    QCOMPARE(r.events.size(), 2);
    QCOMPARE(r.events[0].strName, QStringLiteral("Gleis 4"));
    QVERIFY(r.events[0].strDetail.isEmpty());
    QCOMPARE(r.events[1].kind, ChannelEvent::TransferError);
    QCOMPARE(r.events[1].nChannel, 0); // an output device, not a channel
    QCOMPARE(r.events[1].strDetail,
             QStringLiteral("Hardware-Fehler 5: No ack on address (Adresse 0x42)"));
}

void TestJournal::rotatesAtTheBound()
{
    const QString path = CJournalFile::DefaultPath();
    const qint64 bound = 2000;
    CJournalFile file(path, bound);
    int written = 0;
    while (!QFile::exists(file.RotatedPath())) {
        QVERIFY(file.Append(MakeEvent(written % 16 + 1, written)));
        ++written;
        QVERIFY(QFileInfo(path).size() <= bound);
        QVERIFY(written < 100);
    }
    for (int i = 0; i < 200; ++i, ++written) {
        QVERIFY(file.Append(MakeEvent(written % 16 + 1, written)));
        QVERIFY(QFileInfo(path).size() <= bound);
        QVERIFY(QFileInfo(file.RotatedPath()).size() <= bound);
    }
    QVERIFY(!QFile::exists(path + QStringLiteral(".2")));
    // Both files read back in order, ending with the newest event.
    const CJournalFile::LoadResult r = file.Load();
    QCOMPARE(r.skipped, 0);
    QVERIFY(r.events.size() > 10 && r.events.size() < written);
    for (int i = 1; i < r.events.size(); ++i)
        QCOMPARE(r.events[i].dCurrent, r.events[i - 1].dCurrent + 1);
    QCOMPARE(r.events.constLast().dCurrent, double(written - 1));
}

void TestJournal::unwritableJournalWarnsOnceAndMeasuringGoesOn()
{
    // A folder where the journal file should be: it can never be opened.
    QVERIFY(QDir().mkpath(CJournalFile::DefaultPath()));
    TestSink sink; // no message box may appear
    CJournalModule journal(nullptr);
    Panel p;
    p.view.OnAlleAus();
    QTRY_VERIFY(!journal.LastStatus().isEmpty()); // reported from the writer thread
    const QString warning = journal.LastStatus();
    QVERIFY(warning.contains(QStringLiteral("nicht")));
    p.view.OnAlleEin();
    p.view.m_channel[1].m_dStrom = 4.6;
    p.view.OnTimer(1);
    QCOMPARE(journal.Events().size(), 3); // kept in memory all the same
    QVERIFY(!p.view.IsSwitchedOn(2));     // the cutoff still happened
    journal.FlushFile();
    QCoreApplication::processEvents();
    QCOMPARE(journal.LastStatus(), warning);
    QCOMPARE(sink.boxes.size(), 0);

    // Writing works again: the warning goes, and comes back at the next failure.
    QVERIFY(QDir().rmdir(CJournalFile::DefaultPath()));
    p.view.OnAlleAus();
    QTRY_VERIFY(journal.LastStatus().isEmpty());
    QCOMPARE(CJournalFile(CJournalFile::DefaultPath()).Load().events.size(), 1);
}

void TestJournal::currentIsStoredAsShown()
{
    {
        TestSink sink;
        CJournalModule journal(nullptr);
        Panel p;
        p.view.m_channel[1].m_dStrom = 100.0 / 255.0 * 5.0 + 3.0; // 4.96078... from a converter
        p.view.OnTimer(1);
        QCOMPARE(journal.Events().size(), 1);
        QCOMPARE(journal.Events()[0].dCurrent, p.view.m_channel[1].m_dAnzeigestrom);
        journal.FlushFile();
    }
    QFile f(CJournalFile::DefaultPath());
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    QVERIFY2(text.contains(";4.96;Abschaltung"), text.constData());
    // An older run's line with every digit shows as the view would have.
    f.close();
    AppendRaw(CJournalFile::DefaultPath(),
              "2026-03-01 12:00:00.000;1;x;1.392156862745098;Abschaltung\n");
    TestSink sink;
    CJournalModule journal(nullptr);
    QCOMPARE(journal.Events().size(), 2);
    QCOMPARE(journal.Events()[1].dCurrent, 1.39);
}

void TestJournal::writerKeepsOrderAndWritesAllBeforeExit()
{
    const int n = 2000;
    {
        TestSink sink;
        CJournalModule journal(nullptr);
        Panel p;
        for (int i = 0; i < n; ++i)
            journal.OnChannelEvent(p.view, ChannelEvent::Cutoff, i % 16 + 1, i);
    } // closed at once, lines possibly still queued
    const CJournalFile::LoadResult r = CJournalFile(CJournalFile::DefaultPath()).Load();
    QCOMPARE(r.skipped, 0);
    QCOMPARE(r.events.size(), n);
    for (int i = 0; i < n; ++i) {
        QCOMPARE(r.events[i].dCurrent, double(i));
        QCOMPARE(r.events[i].nChannel, i % 16 + 1);
    }
}

void TestJournal::localTimesFollowTheZoneAcrossItsChanges()
{
    // Every ten minutes over the days around both changes of 2026, in file
    // order and against the order: the kept offset must never outlive its span.
    QVector<QDateTime> walls;
    for (const QDate day : {QDate(2026, 3, 28), QDate(2026, 10, 24)})
        for (int m = 0; m < 3 * 24 * 60; m += 10)
            walls << QDateTime(day, QTime(0, 0, 7, 125), Qt::UTC).addSecs(m * 60);
    for (int pass = 0; pass < 2; ++pass) {
        for (const QDateTime& wall : walls) {
            const QDateTime expected(wall.date(), wall.time()); // Qt's own answer
            const QDateTime got = LocalDateTime(wall.date(), wall.time());
            QCOMPARE(got.isValid(), expected.isValid()); // the skipped hour is not a time
            if (!expected.isValid())
                continue;
            QCOMPARE(got.toMSecsSinceEpoch(), expected.toMSecsSinceEpoch());
            QCOMPARE(FormatEventTime(got), FormatEventTime(expected));
        }
        std::reverse(walls.begin(), walls.end());
    }
    // The two offsets really occurred.
    QCOMPARE(LocalDateTime(QDate(2026, 3, 29), QTime(1, 59)).offsetFromUtc(), 3600);
    QCOMPARE(LocalDateTime(QDate(2026, 3, 29), QTime(3, 0)).offsetFromUtc(), 7200);
    QCOMPARE(LocalDateTime(QDate(2026, 10, 25), QTime(3, 0)).offsetFromUtc(), 3600);
    QVERIFY(!LocalDateTime(QDate(2026, 3, 29), QTime(2, 30)).isValid());
    QVERIFY(!LocalDateTime(QDate(2026, 2, 30), QTime(1, 0)).isValid());

    const QDateTime now = CurrentLocalTime();
    const QDateTime qtNow = QDateTime::currentDateTime();
    QCOMPARE(now.offsetFromUtc(), qtNow.offsetFromUtc());
    QVERIFY(qAbs(now.msecsTo(qtNow)) < 1000);
}

void TestJournal::historyKeepsExactlyTheLastHour()
{
    CViewHistory h;
    double a[16] = {};
    for (int t = 0; t < CViewHistory::kCapacity + 123; ++t) {
        a[4] = t;
        h.AddPoint(1000 * qint64(t), a);
        if (t == 10)
            h.AddMarker(10000, 5, ChannelEvent::Cutoff);
        if (t == 200)
            h.AddMarker(200000, 5, ChannelEvent::AutoOn);
    }
    QCOMPARE(h.Size(), CViewHistory::kCapacity);
    QCOMPARE(h.Time(0), qint64(123000));
    QCOMPARE(h.Current(0, 5), 123.f);
    QCOMPARE(h.Current(CViewHistory::kCapacity - 1, 5), float(CViewHistory::kCapacity + 122));
    for (int i = 1; i < h.Size(); ++i)
        QCOMPARE(h.Time(i) - h.Time(i - 1), qint64(1000));
    // The marker from before the kept hour is gone, the later one stays.
    QCOMPARE(h.Markers().size(), size_t(1));
    QCOMPARE(h.Markers().front().kind, ChannelEvent::AutoOn);
}

void TestJournal::historyIsPerViewAndDroppedOnClose()
{
    TestSink sink;
    CJournalModule journal(nullptr);
    auto a = std::make_unique<Panel>();
    Panel b;
    for (int i = 0; i < 5; ++i)
        a->view.OnTimer(1);
    b.view.m_channel[6].m_dStrom = 1.5;
    b.view.OnTimer(1);
    QCOMPARE(journal.History(&a->view)->Size(), 5);
    QCOMPARE(journal.History(&b.view)->Size(), 1);
    QCOMPARE(journal.History(&b.view)->Current(0, 7), 1.5f);
    QCOMPARE(journal.History(&a->view)->Current(4, 1), 2.0f); // test source of channel 1
    const CVelkorView* gone = &a->view;
    a.reset();
    QVERIFY(!journal.History(gone));
    b.view.OnTimer(1);
    QCOMPARE(journal.History(&b.view)->Size(), 2);
}

// With test values measuring stands still at a cutoff, and the history goes
// on once a second with what the channels show.
void TestJournal::historyGoesOnThroughACutoff()
{
    struct Source : IChannelSource
    {
        double value = 0.5;
        bool ReadCurrent(int k, double& current, bool& stale) override
        {
            if (k != 5)
                return false;
            current = value;
            stale = false;
            return true;
        }
    };
    TestSink sink;
    CJournalModule journal(nullptr);
    Panel p;
    p.view.OnTimer(1);
    p.view.OnTimer(4); // measuring runs: its own ticks make the points
    QCOMPARE(journal.History(&p.view)->Size(), 1);
    p.view.m_channel[1].m_dStrom = 4.6;
    p.view.OnTimer(1); // cut off
    QVERIFY(!p.view.IsTimerRunning(CVelkorView::kMessTimer));
    for (int i = 0; i < 3; ++i)
        p.view.OnTimer(4);
    const CViewHistory* h = journal.History(&p.view);
    QCOMPARE(h->Size(), 5);
    QCOMPARE(h->Current(4, 2), float(p.view.m_channel[1].m_dAnzeigestrom));
    QVERIFY(h->Current(4, 2) > 4.5f);
    QCOMPARE(h->Current(4, 1), 2.0f);

    // A hardware source never stands still: taking one over ends the
    // standstill, and the ticks record its readings again.
    Source source;
    p.view.SetChannelSource(&source);
    QVERIFY(p.view.IsTimerRunning(CVelkorView::kMessTimer));
    source.value = 0.4567;
    p.view.OnTimer(1);
    p.view.OnTimer(4);
    QCOMPARE(h->Size(), 6);
    QCOMPARE(h->Current(5, 5), 0.45f);
    QCOMPARE(p.view.m_channel[4].m_dAnzeigestrom, 0.45);
    p.view.SetChannelSource(nullptr);
}

// Add-ons ask for what was recorded since their last look; events read
// from the file at start-up are history, not news.
void TestJournal::listenersFindTheNewEventsByCount()
{
    TestSink sink;
    {
        CJournalModule journal(nullptr);
        Panel p;
        p.view.OnAlleAus();
        journal.FlushFile();
    }
    CJournalModule journal(nullptr);
    QCOMPARE(journal.Events().size(), 1);
    QCOMPARE(journal.Recorded(), quint64(0));
    QVERIFY(journal.RecordedSince(0, 10).isEmpty());
    Panel p;
    p.view.OnAlleEin();
    p.view.OnCmdMsg(kChannelIds[0].imageOn);
    p.view.OnCmdMsg(kChannelIds[0].imageOff);
    QCOMPARE(journal.Recorded(), quint64(3));
    const QVector<JournalEvent> all = journal.RecordedSince(0, 10);
    QCOMPARE(all.size(), 3);
    QCOMPARE(all.first().kind, ChannelEvent::AllOn);
    QCOMPARE(all.last().kind, ChannelEvent::ManualOn);
    const QVector<JournalEvent> last = journal.RecordedSince(2, 10);
    QCOMPARE(last.size(), 1);
    QCOMPARE(last.first().kind, ChannelEvent::ManualOn);
    QCOMPARE(journal.RecordedSince(0, 2).first().kind, ChannelEvent::ManualOff); // the newest two
    QVERIFY(journal.RecordedSince(3, 10).isEmpty());
}

QTEST_MAIN(TestJournal)
#include "test_journal.moc"
