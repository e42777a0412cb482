// Cost of the journal module on the measurement tick: the same tick without
// the module, with it keeping a history point per tick, and with an event
// recorded (memory, table model and a flushed line in the file) every tick.
// The journal file goes to Qt's test data directory, never the user's.
// Run offscreen: QT_QPA_PLATFORM=offscreen LC_ALL=de_DE.UTF-8 journal_tick_bench

#include "doc/VelkorDoc.h"
#include "framework/Messages.h"
#include "journal/JournalFile.h"
#include "journal/JournalModule.h"
#include "view/VelkorView.h"

#include <QApplication>
#include <QDir>
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

void BM_TickWithoutJournal(benchmark::State& state)
{
    Panel p;
    for (auto _ : state)
        p.view.OnTimer(CVelkorView::kMessTimer);
}
BENCHMARK(BM_TickWithoutJournal)->Unit(benchmark::kMicrosecond);

void BM_TickWithJournal(benchmark::State& state)
{
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
    CJournalModule journal(nullptr);
    Panel p;
    for (auto _ : state) {
        p.view.OnTimer(CVelkorView::kMessTimer);
        journal.OnChannelEvent(p.view, ChannelEvent::Cutoff, 2, 4.6);
    }
    state.counters["events"] = double(journal.Events().size());
}
BENCHMARK(BM_TickWithJournalAndEvent)->Unit(benchmark::kMicrosecond);

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
    QDir(QFileInfo(CJournalFile::DefaultPath()).absolutePath()).removeRecursively();
    return 0;
}
