#pragma once
// A real Mosquitto broker for the MQTT tests: on a free loopback port, with a
// password file and an ACL it makes, optionally a TLS listener with a CA and
// server certificate made by openssl. Subscribers are mosquitto_sub
// processes, so what is checked is what any other client would see.

#include "remote/MqttClient.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <unistd.h>

namespace mqtt_test {

// Waits while serving this thread's queue: the module's results come there.
// Sleeps between events (a timer wakes it), so that the thread's own
// processor time says what the code under test costs.
inline bool WaitFor(const std::function<bool()>& done, int ms = 10000)
{
    QDeadlineTimer deadline(ms);
    QTimer wake;
    wake.start(10);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

inline quint16 FreePort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

inline bool Run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    const bool ok =
        p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!ok)
        qWarning("%s: %s", qPrintable(program), p.readAll().constData());
    return ok;
}

inline bool WriteFile(const QString& path, const QByteArray& text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size();
}

// The ACL the README documents: a station writes its own topics and reads
// its own commands (and deletes kept ones) and everybody's state; only
// "leitstand" commands.
inline const char* kAcl = "pattern write korva/%u/status\n"
                          "pattern write korva/%u/event\n"
                          "pattern write korva/%u/channel/+/state\n"
                          "pattern readwrite korva/%u/channel/+/set\n"
                          "pattern readwrite korva/%u/all/set\n"
                          "pattern read korva/+/status\n"
                          "pattern read korva/+/channel/+/state\n"
                          "pattern write homeassistant/#\n"
                          "\n"
                          "user leitstand\n"
                          "topic readwrite korva/#\n"
                          "topic read homeassistant/#\n";

struct Broker
{
    QTemporaryDir dir;
    std::unique_ptr<QProcess> proc;
    quint16 port = 0;
    quint16 tlsPort = 0;
    QString log;

    QString File(const QString& name) const { return dir.filePath(name); }

    // Users: leitstand, and one per station name given, each with the
    // password "<user>-geheim" in "<user>.pw".
    bool Prepare(const QStringList& stations)
    {
        const QString pw = File(QStringLiteral("passwd"));
        QStringList users = stations;
        users.prepend(QStringLiteral("leitstand"));
        for (const QString& u : users) {
            const QString secret = u + QStringLiteral("-geheim");
            QStringList args{QStringLiteral("-b"), pw, u, secret};
            if (u == users.first())
                args.prepend(QStringLiteral("-c"));
            if (!Run(QStringLiteral("mosquitto_passwd"), args) ||
                !WriteFile(File(u + QStringLiteral(".pw")), secret.toUtf8() + "\n"))
                return false;
        }
        if (!WriteFile(File(QStringLiteral("acl")), kAcl) || !MakeCertificates())
            return false;
        port = FreePort();
        tlsPort = FreePort();
        QString conf;
        QTextStream(&conf) << "per_listener_settings false\nallow_anonymous false\n"
                           << "password_file " << pw << "\nacl_file " << File("acl") << "\n"
                           << "persistence false\nuser root\nlog_type error\nset_tcp_nodelay true\n"
                           << "listener " << port << " 127.0.0.1\n"
                           << "listener " << tlsPort << " 127.0.0.1\n"
                           << "cafile " << File("ca.crt") << "\ncertfile " << File("server.crt")
                           << "\nkeyfile " << File("server.key") << "\n";
        return WriteFile(File(QStringLiteral("mosquitto.conf")), conf.toUtf8());
    }

    bool MakeCertificates()
    {
        const QString openssl = QStringLiteral("openssl");
        return WriteFile(File("ext"), "subjectAltName=DNS:localhost,IP:127.0.0.1\n") &&
               Run(openssl,
                   {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", File("ca.key"),
                    "-out", File("ca.crt"), "-days", "2", "-subj", "/CN=Korva Test CA"}) &&
               Run(openssl, {"req", "-newkey", "rsa:2048", "-nodes", "-keyout", File("server.key"),
                             "-out", File("server.csr"), "-subj", "/CN=localhost"}) &&
               Run(openssl, {"x509", "-req", "-in", File("server.csr"), "-CA", File("ca.crt"),
                             "-CAkey", File("ca.key"), "-CAcreateserial", "-out",
                             File("server.crt"), "-days", "2", "-extfile", File("ext")});
    }

    bool Start()
    {
        proc = std::make_unique<QProcess>();
        proc->setProcessChannelMode(QProcess::MergedChannels);
        proc->start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), File("mosquitto.conf")});
        if (!proc->waitForStarted(5000))
            return false;
        // Up when it accepts a connection.
        return WaitFor(
            [&] {
                QTcpSocket s;
                s.connectToHost(QHostAddress::LocalHost, port);
                return s.waitForConnected(200);
            },
            5000);
    }

    void Stop()
    {
        if (!proc)
            return;
        proc->terminate();
        if (!proc->waitForFinished(5000)) {
            proc->kill();
            proc->waitForFinished(5000);
        }
        log += QString::fromLocal8Bit(proc->readAll());
        proc.reset();
    }

    ~Broker() { Stop(); }
};

struct Message
{
    QString topic;
    bool retained = false;
    QByteArray payload;
    QJsonObject json() const { return QJsonDocument::fromJson(payload).object(); }
};

// mosquitto_sub as leitstand on the given topics, each message one line.
struct Subscriber
{
    QProcess proc;
    QByteArray buffer;
    QList<Message> messages;

    Subscriber(const Broker& b, const QStringList& topics)
    {
        QStringList args{"-h", "127.0.0.1",  "-p", QString::number(b.port),
                         "-u", "leitstand",  "-P", "leitstand-geheim",
                         "-F", "%t\t%r\t%p", "-q", "1"};
        for (const QString& t : topics)
            args << "-t" << t;
        proc.start(QStringLiteral("mosquitto_sub"), args);
        proc.waitForStarted(5000);
    }
    ~Subscriber()
    {
        proc.kill();
        proc.waitForFinished(5000);
    }
    void Read()
    {
        buffer += proc.readAllStandardOutput();
        for (int nl = buffer.indexOf('\n'); nl >= 0; nl = buffer.indexOf('\n')) {
            const QByteArray line = buffer.left(nl);
            buffer.remove(0, nl + 1);
            const QList<QByteArray> parts = line.split('\t');
            if (parts.size() >= 3)
                messages.append({QString::fromUtf8(parts[0]), parts[1] == "1",
                                 line.mid(parts[0].size() + parts[1].size() + 2)});
        }
    }
    // The first message (from index from) that satisfies pred.
    const Message* Find(const std::function<bool(const Message&)>& pred, int from = 0)
    {
        Read();
        for (int i = from; i < messages.size(); ++i)
            if (pred(messages[i]))
                return &messages[i];
        return nullptr;
    }
    const Message* WaitFor(const std::function<bool(const Message&)>& pred, int ms = 10000)
    {
        const Message* m = nullptr;
        mqtt_test::WaitFor([&] { return (m = Find(pred)) != nullptr; }, ms);
        return m;
    }
};

inline bool Publish(const Broker& b, const QString& topic, const QByteArray& payload,
                    bool retain = false)
{
    QStringList args{"-h", "127.0.0.1", "-p", QString::number(b.port), "-u", "leitstand", "-P",
                     "leitstand-geheim", "-q", "1", "-t", topic, "-m", QString::fromUtf8(payload)};
    if (retain)
        args << "-r";
    return Run(QStringLiteral("mosquitto_pub"), args);
}

// Processor time (user and system) of one thread of this process, in seconds;
// the window's thread has the process's own id.
inline double ThreadCpuSeconds(qint64 tid = QCoreApplication::applicationPid())
{
    QFile f(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
    if (!f.open(QIODevice::ReadOnly))
        return -1.0;
    const QByteArray line = f.readAll();
    // Fields after the command's closing parenthesis: state is field 3,
    // utime 14 and stime 15.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1.0;
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

// Other stations on the broker: one connection as leitstand publishes, on a
// thread of its own, each station's status and sixteen channel states hz
// times a second, the currents moving, for at most maxRounds rounds.
class StationFlood
{
public:
    StationFlood(const Broker& b, int stations, int hz, int maxRounds)
    {
        CMqttClient::Options o;
        o.config.strHost = QStringLiteral("127.0.0.1");
        o.config.nPort = b.port;
        o.config.strUser = QStringLiteral("leitstand");
        o.password = "leitstand-geheim";
        o.clientId = "korva-flood-" + QByteArray::number(QCoreApplication::applicationPid());
        m_client = std::make_unique<CMqttClient>(o, [](CMqttClient::State) {});
        m_client->Start(nullptr);
        m_thread = std::thread([this, stations, hz, maxRounds] { Run(stations, hz, maxRounds); });
    }
    ~StationFlood()
    {
        m_bStop = true;
        m_thread.join();
        m_client->Stop();
    }
    quint64 Sent() const { return m_nSent; }
    int Rounds() const { return m_nRounds; }

private:
    void Run(int stations, int hz, int maxRounds)
    {
        using namespace std::chrono;
        while (!m_bStop && !m_client->IsConnected())
            std::this_thread::sleep_for(milliseconds(10));
        auto next = steady_clock::now();
        for (int round = 0; round < maxRounds && !m_bStop; ++round) {
            for (int s = 0; s < stations; ++s) {
                const QByteArray root = "korva/sim" + QByteArray::number(s) + "/";
                if (round == 0 && m_client->Publish(root + "status", "online", 0, true))
                    ++m_nSent;
                for (int k = 1; k <= 16; ++k) {
                    const QByteArray payload =
                        "{\"name\":\"Kanal " + QByteArray::number(k) + "\",\"current\":" +
                        QByteArray::number(0.01 * ((round + k + s) % 300), 'f', 2) +
                        ",\"on\":true,\"cutoff\":false}";
                    if (m_client->Publish(root + "channel/" + QByteArray::number(k) + "/state",
                                          payload, 0, false))
                        ++m_nSent;
                }
            }
            ++m_nRounds;
            next += microseconds(1000000 / hz);
            std::this_thread::sleep_until(next);
        }
    }

    std::unique_ptr<CMqttClient> m_client;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::atomic<quint64> m_nSent{0};
    std::atomic<int> m_nRounds{0};
};

} // namespace mqtt_test
