// Cost of the monitoring view's timer ticks, including the data exchanges
// into the form's controls, next to a bare update of the same widgets.
// Painting is measured by view_idle_bench, which runs the real event loop.
// Run offscreen: QT_QPA_PLATFORM=offscreen LC_ALL=de_DE.UTF-8 view_tick_bench

#include "doc/VelkorDoc.h"
#include "framework/DataExchange.h"
#include "framework/Messages.h"
#include "framework/Numbers.h"
#include "framework/ProgressCtrl.h"
#include "view/VelkorView.h"

#include <QApplication>
#include <QLineEdit>
#include <benchmark/benchmark.h>
#include <memory>

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

    explicit Panel(bool bShown)
    {
        doc.OnNewDocument();
        view.SetDocument(&doc);
        view.OnInitialUpdate();
        view.KillTimer(CVelkorView::kMessTimer); // ticks come from the benchmark only
        if (bShown) {
            view.show();
            QApplication::processEvents();
        }
    }
};

// One measurement tick: prologue, evaluation, both exchanges, bars, epilogue.
// The ramp of channel 3 changes one number and one bar per tick.
void BM_MeasurementTick(benchmark::State& state)
{
    Panel p(false);
    for (auto _ : state)
        p.view.OnTimer(CVelkorView::kMessTimer);
}
BENCHMARK(BM_MeasurementTick)->Unit(benchmark::kMicrosecond);

// The same with nothing changing: all texts equal, so no setText at all.
void BM_MeasurementTickSteady(benchmark::State& state)
{
    Panel p(false);
    p.view.OnSchalterAus(3);
    for (auto _ : state)
        p.view.OnTimer(CVelkorView::kMessTimer);
}
BENCHMARK(BM_MeasurementTickSteady)->Unit(benchmark::kMicrosecond);

void BM_ConsumptionTick(benchmark::State& state)
{
    Panel p(false);
    p.view.OnTimer(CVelkorView::kMessTimer);
    for (auto _ : state)
        p.view.OnTimer(CVelkorView::kVerbrauchTimer);
}
BENCHMARK(BM_ConsumptionTick)->Unit(benchmark::kMicrosecond);

void BM_ExchangeUnchanged(benchmark::State& state)
{
    Panel p(false);
    for (auto _ : state)
        p.view.UpdateData(false);
}
BENCHMARK(BM_ExchangeUnchanged)->Unit(benchmark::kMicrosecond);

// Bare: the same 16 numbers and bars set straight into the widgets, once.
void BM_BareSameWidgets(benchmark::State& state)
{
    Panel p(false);
    QLineEdit* edits[16];
    for (int i = 0; i < 16; ++i)
        edits[i] = qobject_cast<QLineEdit*>(p.view.GetDlgItem(kChannelIds[i].current));
    double rampe = 0.0;
    for (auto _ : state) {
        rampe = rampe + 0.05 >= 4.5 ? 0.0 : rampe + 0.05;
        for (int i = 0; i < 16; ++i) {
            const double a = i == 0 ? 2.0 : i == 1 ? 4.0 : i == 2 ? rampe : 0.0;
            const QString t = FormatNumber(int(a * 100) / 100.0);
            if (edits[i]->text() != t)
                edits[i]->setText(t);
            p.view.m_ctlBalken[i]->SetPos(int(100 / 5.0 * a));
            p.view.m_ctlBalken[i]->SetBarColor(a >= 4.0 ? RGB(255, 255, 0) : RGB(0, 255, 0));
        }
    }
}
BENCHMARK(BM_BareSameWidgets)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QuietSink sink;
    SetMessageSink(&sink);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SetMessageSink(nullptr);
    return 0;
}
