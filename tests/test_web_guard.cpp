// The web panel under attack, against its real server on a loopback port:
// requests screened before the HTTP server, slow clients, caps per address
// and in total, event streams, and a flood of logins. Clients take addresses
// of their own from 127/8 where a cap per address is to be passed.

#include "helpers/TestSink.h"
#include "helpers/ViewPanel.h"
#include "journal/JournalModule.h"
#include "remote/WebConfig.h"
#include "remote/WebModule.h"
#include "test_web_support.h"

#include <QStandardPaths>
#include <QTest>
#include <memory>

using namespace webtest;

namespace {

const QString kPassword = QStringLiteral("lange-genug-geheim");

// Many connections at once, each sending its bytes and collecting what comes back.
class Crowd
{
public:
    void Open(quint16 port, const QString& from, const QByteArray& request)
    {
        auto s = std::make_unique<QTcpSocket>();
        QTcpSocket* raw = s.get();
        const int i = int(m_sockets.size());
        m_received.append(QByteArray());
        s->bind(QHostAddress(from));
        QObject::connect(raw, &QIODevice::readyRead, [this, raw, i] { m_received[i] += raw->readAll(); });
        QObject::connect(raw, &QAbstractSocket::connected, [raw, request] { raw->write(request); });
        s->connectToHost(QStringLiteral("127.0.0.1"), port);
        m_sockets.push_back(std::move(s));
    }
    int Count(const std::function<bool(QTcpSocket&, const QByteArray&)>& pred) const
    {
        int n = 0;
        for (std::size_t i = 0; i < m_sockets.size(); ++i)
            n += pred(*m_sockets[i], m_received[int(i)]);
        return n;
    }
    int Open() const
    {
        return Count([](QTcpSocket& s, const QByteArray&) {
            return s.state() != QAbstractSocket::UnconnectedState;
        });
    }
    int Answered(const QByteArray& statusLine) const
    {
        return Count([&](QTcpSocket&, const QByteArray& r) { return r.startsWith(statusLine); });
    }
    bool Settled() const
    {
        return Count([](QTcpSocket& s, const QByteArray&) {
                   return s.state() == QAbstractSocket::ConnectingState ||
                          s.state() == QAbstractSocket::HostLookupState;
               }) == 0;
    }
    int Size() const { return int(m_sockets.size()); }

private:
    std::vector<std::unique_ptr<QTcpSocket>> m_sockets;
    QList<QByteArray> m_received;
};

QString Loopback(int a, int b)
{
    return QStringLiteral("127.0.%1.%2").arg(a).arg(b);
}

} // namespace

class TestWebGuard : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void requestsAreScreened_data();
    void requestsAreScreened();
    void headAnswersWithoutBody();
    void slowClientsLockNobodyOut();
    void eventStreamsAreCapped();
    void loginFloodLeavesReadingFree();

private:
    int LiveConnections()
    {
        CWebServer* server = m_web->Server();
        int live = -1;
        QMetaObject::invokeMethod(
            server, [&] { live = server->LiveConnections(); }, Qt::BlockingQueuedConnection);
        return live;
    }
    QByteArray Get(const QByteArray& path) const
    {
        return RequestBytes(m_port, "GET", path, {}, {});
    }

    std::unique_ptr<TestSink> m_sink;
    std::unique_ptr<CJournalModule> m_journal;
    std::unique_ptr<CWebModule> m_web;
    std::unique_ptr<ViewPanel> m_panel;
    WebServerLimits m_limits;
    quint16 m_port = 0;
};

void TestWebGuard::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    m_sink = std::make_unique<TestSink>();
    m_journal = std::make_unique<CJournalModule>(nullptr);
    WebConfig config;
    config.bEnabled = true;
    config.nPort = 0;
    config.hosts = {QStringLiteral("Stellwerk.example")};
    // Enough rounds that each check takes a noticeable share of a second.
    config.password = HashWebPassword(kPassword, 200000);
    m_limits.nMaxConnections = 100;
    m_limits.nRequestMs = 1500;
    m_limits.nIdleMs = 3000;
    m_web = std::make_unique<CWebModule>(nullptr, m_journal.get(), config, m_limits);
    QVERIFY(m_web->Start());
    m_port = m_web->Port();
    m_panel = std::make_unique<ViewPanel>();
    m_panel->view.m_nAbfragezeit = 3600000;
    m_panel->view.KillTimer(CVelkorView::kMessTimer);
    m_panel->view.OnTimer(CVelkorView::kMessTimer);
    QTRY_COMPARE(Http(m_port, "GET", "/api/state").status, 200);
}

void TestWebGuard::cleanupTestCase()
{
    m_panel.reset();
    m_web.reset();
    m_journal.reset();
    m_sink.reset();
}

void TestWebGuard::requestsAreScreened_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    const QByteArray tail = "Connection: close\r\n\r\n";
    QTest::newRow("own address") << QByteArray("GET /api/session HTTP/1.1\r\nHost: 127.0.0.1\r\n" + tail) << 200;
    QTest::newRow("localhost with port")
        << QByteArray("GET /api/session HTTP/1.1\r\nHost: LOCALHOST:8088\r\n" + tail) << 200;
    QTest::newRow("IPv6 loopback") << QByteArray("GET /api/session HTTP/1.1\r\nHost: [::1]:1\r\n" + tail) << 200;
    QTest::newRow("from Web/hosts")
        << QByteArray("GET /api/session HTTP/1.1\r\nHost: stellwerk.example.\r\n" + tail) << 200;
    QTest::newRow("HTTP/1.0 without Host") << QByteArray("GET /api/session HTTP/1.0\r\n\r\n") << 200;
    QTest::newRow("rebound name")
        << QByteArray("GET /api/state HTTP/1.1\r\nHost: evil.example:8088\r\n" + tail) << 421;
    QTest::newRow("no Host") << QByteArray("GET /api/state HTTP/1.1\r\n" + tail) << 400;
    QTest::newRow("two Hosts")
        << QByteArray("GET /api/state HTTP/1.1\r\nHost: 127.0.0.1\r\nHost: evil.example\r\n" + tail) << 400;
    QTest::newRow("HTTP/9.9") << QByteArray("GET /api/state HTTP/9.9\r\nHost: 127.0.0.1\r\n" + tail) << 505;
    QTest::newRow("HTTP/2.0") << QByteArray("GET /api/state HTTP/2.0\r\nHost: 127.0.0.1\r\n" + tail) << 505;
    QTest::newRow("no version") << QByteArray("GET /api/state\r\nHost: 127.0.0.1\r\n" + tail) << 400;
    QTest::newRow("unknown method") << QByteArray("BREW /api/state HTTP/1.1\r\nHost: 127.0.0.1\r\n" + tail) << 501;
    QTest::newRow("space before colon")
        << QByteArray("GET /api/state HTTP/1.1\r\nHost: 127.0.0.1\r\nX-A : 1\r\n" + tail) << 400;
    QTest::newRow("folded header")
        << QByteArray("GET /api/state HTTP/1.1\r\nHost: 127.0.0.1\r\nX-A: 1\r\n  2\r\n" + tail) << 400;
    // A proxy in front may read the other framing: refused, never chosen.
    QTest::newRow("chunked and length")
        << QByteArray("POST /api/logout HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 5\r\n"
                      "Transfer-Encoding: chunked\r\n" + tail + "0\r\n\r\n")
        << 400;
    QTest::newRow("chunked only")
        << QByteArray("POST /api/logout HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n" +
                      tail + "0\r\n\r\n")
        << 411;
    QTest::newRow("two lengths")
        << QByteArray("POST /api/logout HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 2\r\n"
                      "Content-Length: 3\r\n" + tail + "{}")
        << 400;
    QTest::newRow("negative length")
        << QByteArray("POST /api/logout HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: -1\r\n" + tail) << 400;
    QTest::newRow("body too large")
        << QByteArray("POST /api/logout HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 99999999\r\n" + tail)
        << 413;
    QTest::newRow("line of 70 KiB")
        << QByteArray("GET /" + QByteArray(70 * 1024, 'u') + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + tail)
        << 414;
    QTest::newRow("header of 100 KiB")
        << QByteArray("GET /api/state HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Big: " + QByteArray(100 * 1024, 'b') +
                      "\r\n" + tail)
        << 431;
}

// Each answered at once, with the reason in German, and the connection closed.
void TestWebGuard::requestsAreScreened()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    const Reply r = Raw(m_port, request, false, 3000);
    QCOMPARE(r.status, status);
    if (status != 200) {
        QVERIFY2(!r.json()[QStringLiteral("error")].toString().isEmpty(), r.body.constData());
        QCOMPARE(r.header("Connection"), QByteArray("close"));
    }
    if (status == 421)
        QVERIFY(r.json()[QStringLiteral("error")].toString().contains(QStringLiteral("evil.example")));
}

void TestWebGuard::headAnswersWithoutBody()
{
    const Reply get = Http(m_port, "GET", "/");
    const Reply head = Http(m_port, "HEAD", "/");
    QCOMPARE(head.status, 200);
    QVERIFY(head.body.isEmpty());
    QCOMPARE(head.header("Content-Length").toInt(), get.body.size());
    QCOMPARE(head.header("Content-Type"), get.header("Content-Type"));
    QCOMPARE(Http(m_port, "HEAD", "/api/state").status, 200);
    // Keep-alive: the second request on a connection is checked as well.
    QTcpSocket s;
    QByteArray received;
    connect(&s, &QIODevice::readyRead, [&] { received += s.readAll(); });
    s.connectToHost(QStringLiteral("127.0.0.1"), m_port);
    QVERIFY(WaitFor([&] { return s.state() == QAbstractSocket::ConnectedState; }));
    s.write("GET /api/session HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QVERIFY(WaitFor([&] { return received.contains("\r\n\r\n{"); }));
    QVERIFY(received.startsWith("HTTP/1.1 200"));
    s.write("GET /api/session HTTP/1.1\r\nHost: evil.example\r\n\r\n");
    QVERIFY(WaitFor([&] { return s.state() == QAbstractSocket::UnconnectedState; }));
    QVERIFY2(received.contains("HTTP/1.1 421"), received.constData());
}

// Half a request on many connections: one address gets no more than its
// share, many addresses fill the table and the quietest go first; every one
// of them is answered 408 when its time is up.
void TestWebGuard::slowClientsLockNobodyOut()
{
    const QByteArray half = "GET /api/state HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    Crowd one, many;
    for (int i = 0; i < 300; ++i)
        one.Open(m_port, QStringLiteral("127.0.0.2"), half);
    for (int i = 0; i < 150; ++i)
        many.Open(m_port, Loopback(1 + i / 200, 1 + i % 200), half);
    QVERIFY(WaitFor([&] { return one.Settled() && many.Settled(); }, 10000));
    QVERIFY2(WaitFor([&] { return one.Open() <= m_limits.nMaxPerAddress; }, 5000),
             qPrintable(QString::number(one.Open())));
    QVERIFY(LiveConnections() <= m_limits.nMaxConnections);

    // A normal client meanwhile.
    const Reply r = Raw(m_port, Get("/api/state"), false, 3000);
    QCOMPARE(r.status, 200);
    QCOMPARE(r.json()[QStringLiteral("channels")].toArray().size(), 16);

    // The deadline: answered and closed, nothing left on the server's side.
    QVERIFY(WaitFor([&] { return one.Open() == 0 && many.Open() == 0; }, 15000));
    QVERIFY(one.Answered("HTTP/1.1 408") + many.Answered("HTTP/1.1 408") >= 1);
    QVERIFY(WaitFor([&] { return LiveConnections() == 0; }, 5000));
}

void TestWebGuard::eventStreamsAreCapped()
{
    const QByteArray stream = "GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    Crowd one, many;
    for (int i = 0; i < 10; ++i)
        one.Open(m_port, QStringLiteral("127.0.0.3"), stream);
    QVERIFY(WaitFor([&] { return one.Answered("HTTP/1.1 ") == 10; }));
    QCOMPARE(one.Answered("HTTP/1.1 200"), m_limits.nMaxStreamsPerAddress);
    for (int i = 0; i < 40; ++i)
        many.Open(m_port, Loopback(2, 1 + i), stream);
    QVERIFY(WaitFor([&] { return many.Answered("HTTP/1.1 ") == 40; }));
    QCOMPARE(one.Answered("HTTP/1.1 200") + many.Answered("HTTP/1.1 200"), m_limits.nMaxStreams);
    QCOMPARE(many.Answered("HTTP/1.1 503"), 40 - (m_limits.nMaxStreams - m_limits.nMaxStreamsPerAddress));
    QCOMPARE(many.Count([](QTcpSocket&, const QByteArray& r) {
                 return r.startsWith("HTTP/1.1 503") && r.contains("\r\nRetry-After: ");
             }),
             many.Answered("HTTP/1.1 503"));

    // The page itself still loads.
    for (const char* path : {"/", "/app.js", "/style.css", "/api/session", "/api/state"})
        QCOMPARE(Raw(m_port, Get(path), false, 3000).status, 200);
    // Streams are not closed as idle.
    QTest::qWait(m_limits.nIdleMs + 500);
    QCOMPARE(one.Open() + many.Open(), m_limits.nMaxStreams);
}

// Reading never waits for a password check: the state answers while checks
// are still running; beyond the queue's bound a login is told to come back.
void TestWebGuard::loginFloodLeavesReadingFree()
{
    Crowd logins;
    const QByteArray wrong = RequestBytes(m_port, "POST", "/api/login", {}, PasswordBody(QStringLiteral("falsch-falsch")));
    for (int i = 0; i < 12; ++i)
        logins.Open(m_port, Loopback(3, 1 + i), wrong);
    QVERIFY(WaitFor([&] { return logins.Settled(); }));
    QVERIFY(WaitFor([&] { return logins.Answered("HTTP/1.1 503") > 0; }));
    const Reply state = Raw(m_port, Get("/api/state"), false, 3000);
    const int decided = logins.Answered("HTTP/1.1 401");
    QCOMPARE(state.status, 200);
    QVERIFY2(decided < 12 - logins.Answered("HTTP/1.1 503"), qPrintable(QString::number(decided)));
    QVERIFY(WaitFor([&] { return logins.Answered("HTTP/1.1 ") == 12; }, 20000));
    QVERIFY(logins.Answered("HTTP/1.1 503") <= 12 - m_limits.nMaxLoginsWaiting);
    QCOMPARE(logins.Answered("HTTP/1.1 401") + logins.Answered("HTTP/1.1 503"), 12);
    QCOMPARE(logins.Count([](QTcpSocket&, const QByteArray& r) {
                 return r.startsWith("HTTP/1.1 503") && r.contains("\r\nRetry-After: ");
             }),
             logins.Answered("HTTP/1.1 503"));

    const Reply right = Http(m_port, "POST", "/api/login", {}, PasswordBody(kPassword), false, 10000);
    QCOMPARE(right.status, 200);
    QVERIFY(right.header("Set-Cookie").startsWith("korva_session="));
}

QTEST_MAIN(TestWebGuard)
#include "test_web_guard.moc"
