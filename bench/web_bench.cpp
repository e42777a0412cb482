// Cost and delay of the web panel.
//  1. The measurement tick (with the snapshot the panel leaves for its
//     thread) with the panel disabled against the panel enabled and 10 clients
//     reading /events. Two views tick in alternating rounds: the first one
//     opened is served, the second is not (for the panel it is the same as
//     being disabled). The ramp on channel 3 changes every tick, so every
//     collection is pushed. Ticks are paced so the server thread keeps up, as it
//     does at any real Abfragezeit; only the window thread's time counts.
//  2. Tick to browser: the view measures with its own 50 ms timer, channel 1
//     gets a new current every tick; headless Chromium (web_latency.py)
//     records when its page shows each one. Median and 99th percentile.
//  3. /api/state with 10 and 100 clients, quiet and while 300 slow
//     connections and 20 wrong logins a second run; resident memory.
// Run: QT_QPA_PLATFORM=offscreen LC_ALL=de_DE.UTF-8 ./web_bench [ticks|latency|attack]

#include "doc/VelkorDoc.h"
#include "framework/Messages.h"
#include "remote/ChannelSnapshot.h"
#include "remote/WebConfig.h"
#include "remote/WebModule.h"
#include "view/VelkorView.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpSocket>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <malloc.h>
#include <memory>
#include <vector>

namespace {

struct QuietSink : IMessageSink
{
    int MessageBox(QWidget*, const QString&, const QString&, unsigned) override { return 1; }
    void MessageBeep(unsigned) override {}
};

// Benchmark output is for programs: C locale numbers.
QByteArray Num(double value, int decimals)
{
    return QByteArray::number(value, 'f', decimals);
}

void Serve(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

double Percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    const std::size_t i = std::min(v.size() - 1, std::size_t(std::ceil(p * v.size())) - 1);
    return v[i];
}

// Clients reading the push stream on a thread of their own.
class StreamClients : public QThread
{
public:
    StreamClients(quint16 port, int count) : m_port(port), m_count(count) {}
    std::atomic<int> connected{0};
    std::atomic<long long> bytes{0};

protected:
    void run() override
    {
        std::vector<std::unique_ptr<QTcpSocket>> sockets;
        for (int i = 0; i < m_count; ++i) {
            auto s = std::make_unique<QTcpSocket>();
            QTcpSocket* raw = s.get();
            bool* first = new bool(true);
            QObject::connect(raw, &QIODevice::readyRead, raw, [this, raw, first] {
                bytes += raw->readAll().size();
                if (*first) {
                    *first = false;
                    ++connected;
                }
            });
            QObject::connect(raw, &QObject::destroyed, [first] { delete first; });
            s->connectToHost(QStringLiteral("127.0.0.1"), m_port);
            s->waitForConnected(5000);
            s->write(
                "GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/event-stream\r\n\r\n");
            sockets.push_back(std::move(s));
        }
        exec();
    }

private:
    quint16 m_port;
    int m_count;
};

struct Bench
{
    CVelkorDoc doc;
    std::unique_ptr<CVelkorView> view;

    explicit Bench(quint32 nAbfragezeit)
    {
        doc.OnNewDocument();
        doc.m_nAbfragezeit = nAbfragezeit;
        view = std::make_unique<CVelkorView>();
        view->SetDocument(&doc);
        view->OnInitialUpdate();
    }
};

// Nanoseconds per tick, the queued work after it included.
double Round(CVelkorView& view, int ticks)
{
    qint64 total = 0;
    QElapsedTimer t;
    for (int i = 0; i < ticks; ++i) {
        t.start();
        view.OnTimer(CVelkorView::kMessTimer);
        QCoreApplication::processEvents();
        total += t.nsecsElapsed();
        QThread::usleep(1000); // the server thread sends meanwhile
        QCoreApplication::processEvents();
    }
    return double(total) / ticks;
}

// Median ns per tick of the served and the plain view, alternating rounds.
std::pair<double, double> Compare(CVelkorView& served, CVelkorView& plain)
{
    constexpr int kTicks = 500;
    constexpr int kRounds = 8;
    Round(served, 100); // warm-up
    Round(plain, 100);
    std::vector<double> off, on;
    for (int r = 0; r < kRounds; ++r) {
        off.push_back(Round(plain, kTicks));
        on.push_back(Round(served, kTicks));
    }
    return {Percentile(off, 0.5), Percentile(on, 0.5)};
}

void Print(const char* what, std::pair<double, double> ns)
{
    std::printf("  %-34s disabled %7s ns/tick, enabled %7s ns/tick, ratio %s\n", what,
                Num(ns.first, 0).constData(), Num(ns.second, 0).constData(),
                Num(ns.second / ns.first, 3).constData());
}

int TickCost(bool bShown)
{
    WebConfig config;
    config.bEnabled = true;
    config.nPort = 0;
    CWebModule web(nullptr, nullptr, config);
    if (!web.Start()) {
        std::fprintf(stderr, "panel does not start\n");
        return 1;
    }
    Bench served(3600000);
    Bench plain(3600000);
    if (web.View() != served.view.get())
        return 1;
    for (Bench* b : {&served, &plain}) {
        b->view->KillTimer(CVelkorView::kMessTimer);
        b->view->KillTimer(CVelkorView::kAutomatikTimer);
        if (bShown) {
            b->view->resize(b->view->sizeHint());
            b->view->show();
        }
    }
    Serve(200);
    if (!bShown) {
        // Where the panel's share goes: the snapshot itself.
        QElapsedTimer t;
        t.start();
        constexpr int kSnaps = 20000;
        for (int i = 0; i < kSnaps; ++i)
            TakeSnapshot(*served.view, QStringLiteral("Station"));
        std::printf("snapshot of 16 channels alone: %s ns\n",
                    Num(double(t.nsecsElapsed()) / kSnaps, 0).constData());
        // ... and handing something to a waiting thread (its wake-up).
        QThread other;
        other.start();
        QObject target;
        target.moveToThread(&other);
        qint64 posted = 0;
        constexpr int kPosts = 2000;
        for (int i = 0; i < kPosts; ++i) {
            t.start();
            QMetaObject::invokeMethod(
                &target, [] {}, Qt::QueuedConnection);
            posted += t.nsecsElapsed();
            QThread::usleep(200);
        }
        other.quit();
        other.wait();
        std::printf("queued call to a waiting thread: %s ns\n",
                    Num(double(posted) / kPosts, 0).constData());
    }
    std::printf("tick cost, %s views (median of 8 rounds of 500 ticks, target ratio <= 1.2):\n",
                bShown ? "shown (painted offscreen)" : "hidden");
    Print("no client:", Compare(*served.view, *plain.view));

    StreamClients clients(web.Port(), 10);
    clients.start();
    QDeadlineTimer deadline(10000);
    while (clients.connected < 10 && !deadline.hasExpired())
        Serve(10);
    if (clients.connected < 10) {
        std::fprintf(stderr, "only %d clients connected\n", clients.connected.load());
        return 1;
    }
    const long long before = clients.bytes;
    Print("10 clients on /events:", Compare(*served.view, *plain.view));
    std::printf(
        "  (%s bytes pushed per served tick and client; a push gathers up to 20 ms of ticks)\n",
        Num(double(clients.bytes - before) / (8 * 600) / 10, 0).constData());
    clients.quit();
    clients.wait();
    return 0;
}

// Channel 1 gets a new current every tick; the rest keep the test sources.
class StepSource : public IChannelSource
{
public:
    int n = 0;
    bool ReadCurrent(int nChannel, double& current, bool& stale) override
    {
        if (nChannel != 1)
            return false;
        // Half a step above the shown hundredth, so truncation cannot blur it;
        // a value comes back after 100 ticks.
        current = (50 + n % 100 + 0.5) / 100.0;
        stale = false;
        return true;
    }
};

// When each tick ended (wall clock, ms) and what it showed for channel 1.
class TickLog : public IViewListener
{
public:
    bool bRecording = false;
    StepSource* source = nullptr;
    std::vector<std::pair<double, double>> ticks;
    void OnMeasured(CVelkorView& view) override
    {
        if (bRecording) {
            const auto now = std::chrono::system_clock::now().time_since_epoch();
            ticks.emplace_back(std::chrono::duration<double, std::milli>(now).count(),
                               view.m_channel[0].m_dAnzeigestrom);
        }
        ++source->n;
    }
};

int Latency(const QString& script)
{
    if (!QFileInfo(QStringLiteral("/usr/bin/chromium")).isExecutable()) {
        std::fprintf(stderr, "no /usr/bin/chromium: latency skipped\n");
        return 0;
    }
    WebConfig config;
    config.bEnabled = true;
    config.nPort = 0;
    CWebModule web(nullptr, nullptr, config);
    if (!web.Start())
        return 1;
    StepSource source;
    TickLog log;
    log.source = &source;
    AddViewListener(&log);
    Bench bench(50);
    bench.view->SetChannelSource(&source);

    QProcess browser;
    QByteArray out;
    browser.start(QStringLiteral("/usr/bin/python3"), {script, web.Url()});
    const auto waitFor = [&](const QByteArray& what, int ms) {
        QDeadlineTimer deadline(ms);
        while (!out.contains(what) && !out.contains("FAIL") && !deadline.hasExpired() &&
               browser.state() != QProcess::NotRunning) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            out += browser.readAllStandardOutput();
        }
        out += browser.readAllStandardOutput();
        return out.contains(what);
    };
    if (!waitFor("READY", 30000)) {
        std::fprintf(stderr, "browser: %s%s\n", out.constData(),
                     browser.readAllStandardError().constData());
        return 1;
    }
    constexpr int kTicks = 400;
    log.bRecording = true;
    QDeadlineTimer deadline(kTicks * 50 * 3);
    while (log.ticks.size() < std::size_t(kTicks) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    log.bRecording = false;
    bench.view->KillTimer(CVelkorView::kMessTimer); // no tick the log does not know
    Serve(500);                                     // the last pushes arrive
    browser.write("STOP\n");
    const bool ended = waitFor("END", 30000);
    browser.waitForFinished(15000);
    RemoveViewListener(&log);
    if (!ended) {
        std::fprintf(stderr, "browser: %s\n", out.constData());
        return 1;
    }

    // Each new text the page showed, matched with the last tick before it
    // that set that value (values repeat only every 100 ticks, 5 s; 5 ms
    // allowed for the two clocks).
    std::vector<double> delays;
    int unmatched = 0;
    QByteArray previous;
    for (const QByteArray& line : out.split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (!line.startsWith("T ") || f.size() < 3 || f[2] == previous)
            continue;
        previous = f[2];
        const double shown = f[1].toDouble();
        if (log.ticks.empty() || shown < log.ticks.front().first)
            continue; // from before recording
        const double value = QByteArray(f[2]).replace(',', '.').toDouble();
        const auto tick = std::find_if(log.ticks.rbegin(), log.ticks.rend(), [&](const auto& t) {
            return std::abs(t.second - value) < 0.005 && t.first <= shown + 5;
        });
        if (tick == log.ticks.rend()) {
            ++unmatched;
            continue;
        }
        delays.push_back(shown - tick->first);
    }
    if (delays.size() < 100) {
        std::fprintf(stderr, "only %zu changes matched\n", delays.size());
        return 1;
    }
    std::printf("tick to browser page (%zu of %zu ticks matched, %d changes unmatched, "
                "Abfragezeit 50 ms, loopback):\n",
                delays.size(), log.ticks.size(), unmatched);
    std::printf("  median %s ms, 99th percentile %s ms, max %s ms\n",
                Num(Percentile(delays, 0.5), 2).constData(),
                Num(Percentile(delays, 0.99), 2).constData(),
                Num(*std::max_element(delays.begin(), delays.end()), 2).constData());
    return 0;
}

// ---- under attack ----

// Clients asking /api/state over and over on kept-alive connections, each
// from a loopback address of its own; every answer's delay is recorded.
class StateClients : public QThread
{
public:
    StateClients(quint16 port, int count, int ms) : m_port(port), m_count(count), m_ms(ms) {}
    std::vector<double> delaysMs;
    int failures = 0;

protected:
    void run() override
    {
        struct Client
        {
            std::unique_ptr<QTcpSocket> socket;
            QByteArray received;
            QElapsedTimer sent;
        };
        const QByteArray request = "GET /api/state HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        std::vector<Client> clients(static_cast<std::size_t>(m_count));
        QDeadlineTimer end(m_ms);
        QEventLoop loop;
        for (int i = 0; i < m_count; ++i) {
            Client& c = clients[std::size_t(i)];
            c.socket = std::make_unique<QTcpSocket>();
            c.socket->bind(QHostAddress(QStringLiteral("127.0.7.%1").arg(1 + i)));
            QTcpSocket* raw = c.socket.get();
            QObject::connect(raw, &QAbstractSocket::connected, [&c, request] {
                c.sent.start();
                c.socket->write(request);
            });
            QObject::connect(raw, &QIODevice::readyRead, [&, raw] {
                c.received += raw->readAll();
                const qsizetype head = c.received.indexOf("\r\n\r\n");
                if (head < 0)
                    return;
                const qsizetype at = c.received.indexOf("Content-Length: ");
                const qint64 length = c.received.mid(at + 16, 12).split('\r').value(0).toLongLong();
                if (c.received.size() < head + 4 + length)
                    return;
                if (!c.received.startsWith("HTTP/1.1 200"))
                    ++failures;
                delaysMs.push_back(double(c.sent.nsecsElapsed()) / 1e6);
                c.received.remove(0, head + 4 + length);
                if (end.hasExpired()) {
                    raw->disconnectFromHost();
                    return;
                }
                c.sent.start();
                raw->write(request);
            });
            QObject::connect(raw, &QAbstractSocket::disconnected, [&] {
                if (end.hasExpired())
                    return;
                ++failures; // dropped by the server: the guard took it for an attacker
            });
            c.socket->connectToHost(QStringLiteral("127.0.0.1"), m_port);
        }
        while (!end.hasExpired())
            loop.processEvents(QEventLoop::AllEvents, 5);
    }

private:
    quint16 m_port;
    int m_count;
    int m_ms;
};

// 300 connections that send half a request and wait, opened again (up to ten
// times a second each) whenever the server closes them, and 20 wrong logins a second from changing
// addresses (no one address reaches the limit of failed tries).
class Attacker : public QThread
{
public:
    explicit Attacker(quint16 port) : m_port(port) {}
    std::atomic<bool> stop{false};
    std::atomic<int> reopened{0}, logins{0};

protected:
    void run() override
    {
        std::vector<std::unique_ptr<QTcpSocket>> slow(300);
        const auto open = [&](std::size_t i) {
            auto s = std::make_unique<QTcpSocket>();
            s->bind(QHostAddress(QStringLiteral("127.0.%1.%2").arg(10 + i / 200).arg(1 + i % 200)));
            QTcpSocket* raw = s.get();
            QObject::connect(raw, &QAbstractSocket::connected,
                             [raw] { raw->write("GET /api/state HTTP/1.1\r\nHost: 127.0.0.1\r\n"); });
            s->connectToHost(QStringLiteral("127.0.0.1"), m_port);
            slow[i] = std::move(s);
        };
        std::vector<qint64> openedAt(slow.size(), 0);
        QElapsedTimer since;
        since.start();
        for (std::size_t i = 0; i < slow.size(); ++i)
            open(i);
        std::vector<std::unique_ptr<QTcpSocket>> tries;
        QElapsedTimer clock;
        clock.start();
        int nLogins = 0;
        const QByteArray body = "{\"password\":\"falsch-falsch\"}";
        const QByteArray login = "POST /api/login HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                                 "Content-Type: application/json\r\nContent-Length: " +
                                 QByteArray::number(body.size()) + "\r\n\r\n" + body;
        QEventLoop loop;
        while (!stop) {
            loop.processEvents(QEventLoop::AllEvents, 5);
            for (std::size_t i = 0; i < slow.size(); ++i) {
                if (slow[i]->state() == QAbstractSocket::UnconnectedState &&
                    since.elapsed() - openedAt[i] >= 100) {
                    openedAt[i] = since.elapsed();
                    open(i);
                    ++reopened;
                }
            }
            while (nLogins < clock.elapsed() / 50) {
                auto s = std::make_unique<QTcpSocket>();
                s->bind(QHostAddress(QStringLiteral("127.0.20.%1").arg(1 + nLogins % 250)));
                QTcpSocket* raw = s.get();
                QObject::connect(raw, &QAbstractSocket::connected, [raw, login] { raw->write(login); });
                s->connectToHost(QStringLiteral("127.0.0.1"), m_port);
                tries.push_back(std::move(s));
                ++nLogins;
                ++this->logins;
            }
            std::erase_if(tries, [](const std::unique_ptr<QTcpSocket>& s) {
                return s->state() == QAbstractSocket::UnconnectedState;
            });
        }
    }

private:
    quint16 m_port;
};

long ResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

struct Figures
{
    double rps = 0, p50 = 0, p99 = 0;
    int failures = 0;
};

Figures Measure(quint16 port, int nClients, int ms)
{
    StateClients c(port, nClients, ms);
    c.start();
    while (!c.isFinished())
        Serve(20);
    Figures f;
    f.failures = c.failures;
    if (c.delaysMs.empty())
        return f;
    f.rps = double(c.delaysMs.size()) * 1000.0 / ms;
    f.p50 = Percentile(c.delaysMs, 0.5);
    f.p99 = Percentile(c.delaysMs, 0.99);
    return f;
}

void PrintFigures(const char* what, int nClients, const Figures& f)
{
    std::printf("  %-22s %3d clients: %7s requests/s, median %6s ms, p99 %7s ms, %d failed\n", what,
                nClients, Num(f.rps, 0).constData(), Num(f.p50, 2).constData(),
                Num(f.p99, 2).constData(), f.failures);
}

// /api/state alone and while 300 slow connections and 20 logins a second
// run; a view measures every 100 ms meanwhile. Resident memory before, right
// after the attack and once the server dropped what it left.
int Attack()
{
    WebConfig config;
    config.bEnabled = true;
    config.nPort = 0;
    config.password = HashWebPassword(QStringLiteral("richtig-geheim")); // the real rounds
    CWebModule web(nullptr, nullptr, config);
    if (!web.Start()) {
        std::fprintf(stderr, "panel does not start\n");
        return 1;
    }
    Bench served(100);
    Serve(500);
    constexpr int kMs = 4000;
    std::printf("/api/state under attack (%d s per figure; goal: within 1.5x of quiet):\n", kMs / 1000);
    Measure(web.Port(), 10, 1000); // warm-up
    malloc_trim(0);
    const long rssQuiet = ResidentKiB();
    Figures quiet[2], attacked[2];
    const int counts[2] = {10, 100};
    for (int i = 0; i < 2; ++i) {
        quiet[i] = Measure(web.Port(), counts[i], kMs);
        PrintFigures("quiet:", counts[i], quiet[i]);
    }
    Attacker attacker(web.Port());
    attacker.start();
    Serve(1500); // the slow ones are in
    for (int i = 0; i < 2; ++i) {
        attacked[i] = Measure(web.Port(), counts[i], kMs);
        PrintFigures("slow + logins:", counts[i], attacked[i]);
    }
    attacker.stop = true;
    attacker.wait();
    const long rssAttack = ResidentKiB();
    std::printf("  attack: %d slow connections opened again after the server closed them, "
                "%d logins\n",
                attacker.reopened.load(), attacker.logins.load());
    for (int i = 0; i < 2; ++i)
        std::printf("  ratio attacked/quiet, %d clients: throughput %s, p99 %s\n", counts[i],
                    Num(attacked[i].rps / quiet[i].rps, 2).constData(),
                    Num(attacked[i].p99 / quiet[i].p99, 2).constData());
    Serve(3000);
    malloc_trim(0);
    const long rssAfter = ResidentKiB();
    Measure(web.Port(), 10, 1000);
    malloc_trim(0);
    std::printf("  resident memory: %ld KiB quiet, %ld KiB at the end of the attack, %ld KiB after "
                "(%+ld KiB), %ld KiB after another quiet round\n",
                rssQuiet, rssAttack, rssAfter, rssAfter - rssQuiet, ResidentKiB());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QuietSink sink;
    SetMessageSink(&sink);
    const QString which = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const QString script = QStringLiteral(KORVA_WEB_LATENCY);
    int rc = 0;
    if (which.isEmpty() || which == QLatin1String("ticks")) {
        rc |= TickCost(false);
        rc |= TickCost(true);
    }
    if (which.isEmpty() || which == QLatin1String("latency"))
        rc |= Latency(script);
    if (which.isEmpty() || which == QLatin1String("attack"))
        rc |= Attack();
    return rc;
}
