// Cost of the journal module on the measurement tick: the same tick without
// the module, with it keeping a history point per tick, and with an event
// recorded every tick (memory, table model, and the line handed to the
// writer thread, which writes and flushes it on the other core). Also the
// start-up load of a journal at its size bound.
// The journal file goes to Qt's test data directory, never the user's.
// Run offscreen; on a shared machine compare interleaved repetitions:
//   QT_QPA_PLATFORM=offscreen LC_ALL=de_DE.UTF-8 journal_tick_bench
//     --benchmark_repetitions=20 --benchmark_enable_random_interleaving=true

#include "doc/VelkorDoc.h"
#include "framework/Messages.h"
#include "journal/JournalFile.h"
#include "journal/JournalModule.h"
#include "view/VelkorView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <benchmark/benchmark.h>
#include <clocale>

namespace {

class QuietSink : public IMessageSink
{
public:
    int MessageBox(QWidget*, const QString&, const QString&, unsigned) override { return 1; }
    void MessageBeep(unsigned) override {}
};

struct Panel
{
    CVelkorDoc doc;
    CVelkorView view;

    Panel()
    {
        doc.OnNewDocument();
        view.SetDocument(&doc);
        view.OnInitialUpdate();
        view.KillTimer(CVelkorView::kMessTimer); // ticks come from the benchmark only
        view.KillTimer(CVelkorView::kAutomatikTimer);
    }
    ~Panel() { view.OnDestroy(); }
};

// Each run starts from an empty journal file, as on a fresh installation.
void RemoveJournal()
{
    QDir(QFileInfo(CJournalFile::DefaultPath()).absolutePath()).removeRecursively();
}

void BM_TickWithoutJournal(benchmark::State& state)
{
    Panel p;
    for (auto _ : state)
        p.view.OnTimer(CVelkorView::kMessTimer);
}
BENCHMARK(BM_TickWithoutJournal)->Unit(benchmark::kMicrosecond);

void BM_TickWithJournal(benchmark::State& state)
{
    RemoveJournal();
    CJournalModule journal(nullptr);
    Panel p;
    for (auto _ : state)
        p.view.OnTimer(CVelkorView::kMessTimer);
    benchmark::DoNotOptimize(journal.History(&p.view)->Size());
}
BENCHMARK(BM_TickWithJournal)->Unit(benchmark::kMicrosecond);

// Far more events than a real panel sees: one on every tick.
void BM_TickWithJournalAndEvent(benchmark::State& state)
{
    RemoveJournal();
    CJournalModule journal(nullptr);
    Panel p;
    for (auto _ : state) {
        p.view.OnTimer(CVelkorView::kMessTimer);
        journal.OnChannelEvent(p.view, ChannelEvent::Cutoff, 2, 4.6);
    }
    state.counters["events"] = double(journal.Events().size());
}
BENCHMARK(BM_TickWithJournalAndEvent)->Unit(benchmark::kMicrosecond);

// Start-up with the journal at its bound: the file and its rotated
// predecessor both full.
void BM_LoadFullJournal(benchmark::State& state)
{
    RemoveJournal();
    const QString path = CJournalFile::DefaultPath();
    {
        CJournalFile file(path);
        JournalEvent ev{QDateTime(QDate(2026, 3, 1), QTime(12, 0)),
                        5,
                        QStringLiteral("Gleis 5"),
                        4.6,
                        ChannelEvent::Cutoff,
                        {}};
        while (!QFile::exists(file.RotatedPath()) ||
               QFileInfo(path).size() + 100 < CJournalFile::kDefaultMaxBytes) {
            ev.time = ev.time.addMSecs(1500);
            file.Append(ev);
        }
    }
    qsizetype lines = 0;
    for (auto _ : state)
        lines = CJournalFile(path).Load().events.size();
    state.counters["lines"] = double(lines);
}
BENCHMARK(BM_LoadFullJournal)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // QApplication installed the user's locale: keep the report's numbers machine-readable.
    std::setlocale(LC_NUMERIC, "C");
    QStandardPaths::setTestModeEnabled(true);
    QuietSink sink;
    SetMessageSink(&sink);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SetMessageSink(nullptr);
    RemoveJournal();
    return 0;
}
