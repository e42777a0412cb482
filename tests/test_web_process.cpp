// The web panel of the real program, unattended, in a home of its own: bad
// --web values, a certificate with a foreign key, a password set while it
// runs, and the signals a service manager or a user may send.

#include "test_web_support.h"

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

using namespace webtest;

namespace {

const QString kPassword = QStringLiteral("gesetzt-im-laufenden-Betrieb");

quint16 FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

class TestWebProcess : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void badWebValuesEndWithStatus2_data();
    void badWebValuesEndWithStatus2();
    void foreignKeyEndsWithStatus1();
    void runningProgramTakesPasswordAndSignals();

private:
    QString SettingsFile() const
    {
        return m_home.filePath(QStringLiteral(".config/Kalvento GmbH/KORVA_Powermanagement.conf"));
    }
    void Prepare(QProcess& p) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral(".config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral(".local/share")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.setProgram(QStringLiteral(KORVA_BINARY));
    }
    bool MakePair(const QString& stem)
    {
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                       QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-keyout"),
                       m_home.filePath(stem + QStringLiteral("-key.pem")), QStringLiteral("-out"),
                       m_home.filePath(stem + QStringLiteral("-cert.pem")), QStringLiteral("-days"),
                       QStringLiteral("1"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1")});
        return openssl.waitForFinished(30000) && openssl.exitCode() == 0;
    }

    QTemporaryDir m_home;
};

void TestWebProcess::initTestCase()
{
    QVERIFY(m_home.isValid());
}

void TestWebProcess::badWebValuesEndWithStatus2_data()
{
    QTest::addColumn<QString>("value");
    for (const char* v : {"127.0.0.1:99999", "nonsense", "127.0.0.1:0", "127.0.0.1:", "panel.example:80",
                          "127.0.0.300:8088", "--headless"})
        QTest::newRow(v) << QString::fromLatin1(v);
}

void TestWebProcess::badWebValuesEndWithStatus2()
{
    QFETCH(QString, value);
    QProcess p;
    Prepare(p);
    p.setArguments({QStringLiteral("--web"), value, QStringLiteral("--headless")});
    p.start();
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 2);
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    QVERIFY2(err.contains(QStringLiteral("--web")) && err.contains(value), qPrintable(err));
}

void TestWebProcess::foreignKeyEndsWithStatus1()
{
    QVERIFY(MakePair(QStringLiteral("a")));
    QVERIFY(MakePair(QStringLiteral("b")));
    {
        QSettings s(SettingsFile(), QSettings::IniFormat);
        s.setValue(QStringLiteral("Web/certificate"), m_home.filePath(QStringLiteral("a-cert.pem")));
        s.setValue(QStringLiteral("Web/key"), m_home.filePath(QStringLiteral("b-key.pem")));
    }
    QProcess p;
    Prepare(p);
    p.setArguments({QStringLiteral("--headless"), QStringLiteral("--web"),
                    QStringLiteral("127.0.0.1:%1").arg(FreePort())});
    p.start();
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitCode(), 1);
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    QVERIFY2(err.contains(QStringLiteral("a-cert.pem")) && err.contains(QStringLiteral("b-key.pem")) &&
                 err.contains(QStringLiteral("gehören nicht zusammen")),
             qPrintable(err));
    QFile::remove(SettingsFile());
}

void TestWebProcess::runningProgramTakesPasswordAndSignals()
{
    const quint16 port = FreePort();
    QProcess korva;
    Prepare(korva);
    korva.setArguments({QStringLiteral("--headless"), QStringLiteral("--web"),
                        QStringLiteral("127.0.0.1:%1").arg(port)});
    korva.start();
    QVERIFY(korva.waitForStarted(10000));
    const auto session = [&] { return Http(port, "GET", "/api/session", {}, {}, false, 2000); };
    QVERIFY2(WaitFor([&] { return session().status == 200; }, 30000),
             korva.readAllStandardError().constData());
    QVERIFY(!session().json()[QStringLiteral("passwordSet")].toBool());

    // A password set by a second program while this one runs.
    QProcess setter;
    Prepare(setter);
    setter.setArguments({QStringLiteral("--set-web-password")});
    setter.start();
    setter.write((kPassword + QLatin1Char('\n')).toUtf8());
    setter.closeWriteChannel();
    QVERIFY(setter.waitForFinished(20000));
    QCOMPARE(setter.exitCode(), 0);
    const auto login = [&] {
        return Http(port, "POST", "/api/login", {}, PasswordBody(kPassword), false, 3000).status;
    };
    QVERIFY(WaitFor([&] { return login() == 200; }, 5000));

    // Signals that ended the program before are dropped.
    for (int signal : {SIGUSR1, SIGUSR2, SIGALRM}) {
        ::kill(pid_t(korva.processId()), signal);
        QVERIFY(!korva.waitForFinished(300));
        QCOMPARE(session().status, 200);
    }

    // SIGHUP reads the settings again: a host added by hand.
    const QByteArray otherHost = "GET /api/session HTTP/1.1\r\nHost: stellwerk.example\r\n"
                                 "Connection: close\r\n\r\n";
    QCOMPARE(Raw(port, otherHost).status, 421);
    {
        QSettings s(SettingsFile(), QSettings::IniFormat);
        s.setValue(QStringLiteral("Web/hosts"), QStringList{QStringLiteral("stellwerk.example")});
    }
    ::kill(pid_t(korva.processId()), SIGHUP);
    QVERIFY(WaitFor([&] { return Raw(port, otherHost).status == 200; }, 10000));
    QCOMPARE(login(), 200); // the password is still the one set

    // SIGQUIT saves and ends like SIGTERM.
    const QString saved = m_home.filePath(QStringLiteral(".local/share/KORVA_Powermanagement/anlage.sav"));
    QFile::remove(saved);
    ::kill(pid_t(korva.processId()), SIGQUIT);
    QVERIFY(korva.waitForFinished(20000));
    QCOMPARE(korva.exitStatus(), QProcess::NormalExit);
    QCOMPARE(korva.exitCode(), 0);
    QVERIFY(QFile::exists(saved));
    const QString err = QString::fromLocal8Bit(korva.readAllStandardError());
    QVERIFY2(err.contains(QStringLiteral("neu gelesen")), qPrintable(err));
}

QTEST_GUILESS_MAIN(TestWebProcess)
#include "test_web_process.moc"
