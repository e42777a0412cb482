// Processor share of an idle program with one document, at the default
// 1000 ms polling and at 10 ms, each next to a bare loop that sets the same
// widgets directly at the same period; and the repaints an exchange causes.
// Run offscreen: QT_QPA_PLATFORM=offscreen LC_ALL=de_DE.UTF-8 view_idle_bench [seconds]

#include "doc/VelkorDoc.h"
#include "framework/DataExchange.h"
#include "framework/Messages.h"
#include "framework/Numbers.h"
#include "framework/ProgressCtrl.h"
#include "view/VelkorView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>
#include <ctime>

namespace {

class QuietSink : public IMessageSink
{
public:
    int MessageBox(QWidget*, const QString&, const QString&, unsigned) override { return 1; }
    void MessageBeep(unsigned) override {}
};

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// A local loop: quitting the application's loop would close the windows.
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Processor share in percent while the event loop runs for `seconds`.
double measureShare(int seconds)
{
    runFor(300); // first paints and layout out of the way
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = cpuSeconds();
    runFor(seconds * 1000);
    return 100.0 * (cpuSeconds() - cpu0) / (double(wall.nsecsElapsed()) / 1e9);
}

double programShare(int periodMs, int seconds)
{
    CVelkorDoc doc;
    doc.OnNewDocument();
    doc.m_nAbfragezeit = quint32(periodMs);
    CVelkorView view;
    view.SetDocument(&doc);
    view.OnInitialUpdate();
    view.show();
    return measureShare(seconds);
}

// The same form, its sixteen numbers and bars set by a plain QTimer.
double bareShare(int periodMs, int seconds)
{
    CFormView form(IDD_KORVA_FORM);
    QLineEdit* edits[16];
    CProgressCtrl* bars[16];
    for (int i = 0; i < 16; ++i) {
        edits[i] = qobject_cast<QLineEdit*>(form.GetDlgItem(kChannelIds[i].current));
        bars[i] = qobject_cast<CProgressCtrl*>(form.GetDlgItem(kChannelIds[i].bar));
    }
    double rampe = 0.0;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        rampe = rampe + 0.05 >= 4.5 ? 0.0 : rampe + 0.05;
        for (int i = 0; i < 16; ++i) {
            const double a = i == 0 ? 2.0 : i == 1 ? 4.0 : i == 2 ? rampe : 0.0;
            const QString t = FormatNumber(int(a * 100) / 100.0);
            if (edits[i]->text() != t)
                edits[i]->setText(t);
            bars[i]->SetPos(int(100 / 5.0 * a));
            bars[i]->SetBarColor(a >= 4.0 ? RGB(255, 255, 0) : RGB(0, 255, 0));
        }
    });
    timer.start(periodMs);
    form.show();
    return measureShare(seconds);
}

class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget* root)
    {
        root->installEventFilter(this);
        for (QWidget* w : root->findChildren<QWidget*>())
            w->installEventFilter(this);
    }
    int take()
    {
        runFor(60); // repaints are requested for the next frame
        const int n = paints;
        paints = 0;
        return n;
    }
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
    int paints = 0;
};

// Paint events caused by an exchange that changes nothing, by a tick with
// steady values, and by a tick in which the ramp moves one number and bar.
void reportRepaints()
{
    CVelkorDoc doc;
    doc.OnNewDocument();
    CVelkorView view;
    view.SetDocument(&doc);
    view.OnInitialUpdate();
    view.KillTimer(CVelkorView::kMessTimer);
    view.show();
    runFor(300);
    view.OnTimer(CVelkorView::kMessTimer);
    PaintCounter counter(&view);
    counter.take();

    view.UpdateData(false);
    const int unchanged = counter.take();
    view.OnTimer(CVelkorView::kMessTimer);
    const int ramp = counter.take();
    view.OnSchalterAus(3);
    view.OnTimer(CVelkorView::kMessTimer);
    counter.take();
    view.OnTimer(CVelkorView::kMessTimer);
    const int steady = counter.take();
    std::printf("repaints: unchanged exchange %d, steady tick %d, ramp tick %d%s\n", unchanged,
                steady, ramp, unchanged == 0 && steady == 0 ? "" : "  <-- FAULT");
}

QString pct(double v)
{
    return QString::number(v, 'f', 4);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QuietSink sink;
    SetMessageSink(&sink);
    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 20;

    reportRepaints();
    for (int period : {1000, 10}) {
        const double program = programShare(period, seconds);
        const double bare = bareShare(period, seconds);
        std::printf("polling %5d ms: program %s %% CPU, bare loop %s %% CPU, ratio %s\n", period,
                    qPrintable(pct(program)), qPrintable(pct(bare)),
                    qPrintable(QString::number(program / bare, 'f', 2)));
    }
    SetMessageSink(nullptr);
    return 0;
}
