// Start-up to the first painted main window with a new document, peak memory,
// and a save plus load of a document, each next to a bare Qt main window with
// the same number of widgets (and, for the file, a bare QSaveFile/QFile round
// trip of the same bytes). Run without arguments: it starts itself once per
// sample and mode and prints medians and ratios.

#include "app/VelkorApp.h"
#include "doc/VelkorDoc.h"
#include "framework/MDIFrame.h"
#include "framework/Messages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

long peakRssKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

// Stops the event loop at the first paint of the watched window.
class FirstPaint : public QObject
{
public:
    explicit FirstPaint(QElapsedTimer& clock) : m_clock(clock) {}
    qint64 elapsedUs = -1;
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Paint && elapsedUs < 0 && o->isWidgetType() &&
            static_cast<QWidget*>(o)->isWindow()) {
            elapsedUs = m_clock.nsecsElapsed() / 1000;
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return false;
    }

private:
    QElapsedTimer& m_clock;
};

int widgetCountOfProgram()
{
    // The widget count of a started program, measured once and handed to the bare mode.
    return qEnvironmentVariableIntValue("KORVA_BENCH_WIDGETS");
}

int runStartup(bool bare, int argc, char* argv[])
{
    QElapsedTimer clock;
    clock.start();
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");  // machine-readable figures
    QStandardPaths::setTestModeEnabled(true);
    FirstPaint watch(clock);
    app.installEventFilter(&watch);
    int widgets = 0;
    CVelkorApp* korva = nullptr;
    QMainWindow* plain = nullptr;
    if (bare) {
        plain = new QMainWindow;
        plain->resize(736, 590);
        auto* central = new QWidget(plain);
        plain->setCentralWidget(central);
        const int n = widgetCountOfProgram();
        for (int i = 0; i < n; ++i) {
            auto* e = new QLineEdit(QString::number(i), central);
            e->setGeometry((i % 30) * 24, (i / 30) * 20, 22, 18);
        }
        plain->show();
        widgets = plain->findChildren<QWidget*>().size();
    } else {
        korva = new CVelkorApp;
        if (!korva->InitInstance({QStringLiteral("korva"), QStringLiteral("--nologo")}))
            return 2;
        widgets = korva->m_pMainWnd->findChildren<QWidget*>().size();
    }
    app.exec();
    std::printf("%lld %ld %d\n", static_cast<long long>(watch.elapsedUs), peakRssKb(), widgets);
    if (korva) {
        korva->CloseAllDocuments();
        delete korva->m_pMainWnd;
        delete korva;
    }
    delete plain;
    return 0;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

struct Sample
{
    double us, kb, widgets;
};

std::vector<Sample> sample(const QString& self, const QString& mode, int n, int widgets)
{
    std::vector<Sample> out;
    for (int i = 0; i < n; ++i) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KORVA_BENCH_WIDGETS"), QString::number(widgets));
        p.setProcessEnvironment(env);
        p.start(self, {mode});
        p.waitForFinished(60000);
        const QList<QByteArray> f = p.readAllStandardOutput().trimmed().split(' ');
        if (f.size() == 3)
            out.push_back({f[0].toDouble(), f[1].toDouble(), f[2].toDouble()});
    }
    return out;
}

void fileRoundTrip(int n)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.sav"));
    CVelkorDoc doc;
    doc.OnNewDocument();
    std::vector<double> korva, bare;
    for (int i = 0; i < n; ++i) {
        QElapsedTimer t;
        t.start();
        doc.OnSaveDocument(path);
        CVelkorDoc loaded;
        loaded.OnOpenDocument(path);
        korva.push_back(t.nsecsElapsed() / 1000.0);

        QFile src(path);
        src.open(QIODevice::ReadOnly);
        const QByteArray bytes = src.readAll();
        t.restart();
        QSaveFile out(dir.filePath(QStringLiteral("bare.bin")));
        out.open(QIODevice::WriteOnly);
        out.write(bytes);
        out.commit();
        QFile in(dir.filePath(QStringLiteral("bare.bin")));
        in.open(QIODevice::ReadOnly);
        const QByteArray back = in.readAll();
        bare.push_back(t.nsecsElapsed() / 1000.0);
        Q_UNUSED(back);
    }
    std::printf("save+load: %.1f us (bare QSaveFile+QFile of the same %lld bytes: %.1f us), ratio %.2f\n",
                median(korva), static_cast<long long>(QFile(path).size()), median(bare),
                median(korva) / median(bare));
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc > 1 && std::string(argv[1]) == "korva")
        return runStartup(false, argc, argv);
    if (argc > 1 && std::string(argv[1]) == "bare")
        return runStartup(true, argc, argv);

    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const QString self = QCoreApplication::applicationFilePath();
    const auto korva = sample(self, QStringLiteral("korva"), n, 0);
    if (korva.empty()) {
        std::fprintf(stderr, "the program did not start\n");
        return 1;
    }
    const int widgets = int(korva.front().widgets);
    const auto bare = sample(self, QStringLiteral("bare"), n, widgets);
    auto col = [](const std::vector<Sample>& s, double Sample::*m) {
        std::vector<double> v;
        for (const Sample& x : s)
            v.push_back(x.*m);
        return median(v);
    };
    std::printf("widgets: %d in the main window\n", widgets);
    std::printf("start-up to first paint: %.1f ms (bare: %.1f ms), ratio %.2f\n", col(korva, &Sample::us) / 1000,
                col(bare, &Sample::us) / 1000, col(korva, &Sample::us) / col(bare, &Sample::us));
    std::printf("peak memory: %.1f MiB (bare: %.1f MiB), ratio %.2f\n", col(korva, &Sample::kb) / 1024,
                col(bare, &Sample::kb) / 1024, col(korva, &Sample::kb) / col(bare, &Sample::kb));
    fileRoundTrip(200);
    return 0;
}
