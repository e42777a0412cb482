// Desktop notifications against a private D-Bus session with a notification
// server of the test's own; and a program without sound server and without
// D-Bus that goes on measuring.

#include "alarm/AlarmModule.h"
#include "helpers/NotificationServer.h"
#include "helpers/TestSink.h"
#include "helpers/ViewPanel.h"

#include <cstdio>
#include <QTemporaryFile>
#include <QTest>
#include <unistd.h>

namespace {

struct NoSound : IAlarmPlayer
{
    void Play(const QString&) override {}
};

std::unique_ptr<CAlarmModule> MakeAlarm(const QString& bus,
                                        std::unique_ptr<IAlarmPlayer> player = nullptr)
{
    CAlarmModule::Options options;
    options.strBusAddress = bus;
    options.player = player ? std::move(player) : std::make_unique<NoSound>();
    return std::make_unique<CAlarmModule>(nullptr, AlarmConfig(), std::move(options));
}

// Standard error into a file for a while, to count what the program printed.
class StderrCapture
{
public:
    StderrCapture()
    {
        m_file.open();
        std::fflush(stderr);
        m_saved = ::dup(2);
        ::dup2(m_file.handle(), 2);
    }
    QStringList Stop()
    {
        std::fflush(stderr);
        ::dup2(m_saved, 2);
        ::close(m_saved);
        m_file.seek(0);
        return QString::fromLocal8Bit(m_file.readAll())
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private:
    QTemporaryFile m_file;
    int m_saved = -1;
};

} // namespace

class TestAlarmNotify : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cutoffAndSwitchOnReplaceOneNotice();
    void twoChannelsOneNotice();
    void switchOnBeforeTheAnswerStillReplaces();
    void clickRaisesTheWindow();
    void noSoundServerNoBusGoesOnMeasuring();
    void cleanupTestCase();

private:
    std::unique_ptr<PrivateBus> m_bus;
    std::unique_ptr<NotificationServer> m_server;
};

void TestAlarmNotify::initTestCase()
{
    m_bus = std::make_unique<PrivateBus>();
    QVERIFY2(!m_bus->Address().isEmpty(), "dbus-daemon did not start");
    m_server = std::make_unique<NotificationServer>();
    QVERIFY(m_server->Start(m_bus->Address()));
}

void TestAlarmNotify::cleanupTestCase()
{
    m_server.reset();
    m_bus.reset();
}

void TestAlarmNotify::cutoffAndSwitchOnReplaceOneNotice()
{
    m_server->received.clear();
    TestSink sink;
    ViewPanel p;
    auto alarm = MakeAlarm(m_bus->Address());
    p.view.m_strName[4] = QStringLiteral("Süd-Gleis");
    p.view.m_dAbschaltstrom[4] = 4.5;
    p.ch(5).m_dStrom = 4.529; // shown cut to 0,01 A like the view's number
    p.view.OnTimer(1);
    QTRY_COMPARE(m_server->received.size(), 1);
    const ReceivedNotice cut = m_server->received.first();
    QCOMPARE(cut.summary, QStringLiteral("Kanal 5 „Süd-Gleis“ abgeschaltet (4,52 A)"));
    QCOMPARE(cut.app, QStringLiteral("KORVA_Powermanagement"));
    QCOMPARE(cut.icon, QStringLiteral("korva"));
    QCOMPARE(cut.replaces, 0u);
    QVERIFY(cut.actions.contains(QStringLiteral("default")));
    const QVariant urgency = cut.hints.value(QStringLiteral("urgency"));
    QCOMPARE(urgency.metaType(), QMetaType::fromType<uchar>()); // a D-Bus byte, as servers expect
    QCOMPARE(urgency.value<uchar>(), uchar(2));

    // Still too high when measuring resumes: cut again, no second notice.
    p.view.OnTimer(1);
    QVERIFY(p.ch(5).m_bAbgeschaltet);
    QTest::qWait(200);
    QCOMPARE(m_server->received.size(), 1);

    p.ch(5).m_dStrom = 0.5;
    p.view.OnTimer(2);
    QTRY_COMPARE(m_server->received.size(), 2);
    const ReceivedNotice on = m_server->received.last();
    QCOMPARE(on.replaces, cut.id);
    QCOMPARE(on.summary, QStringLiteral("Kanal 5 „Süd-Gleis“ wieder eingeschaltet"));
    QCOMPARE(on.hints.value(QStringLiteral("urgency")).value<uchar>(), uchar(1));
}

void TestAlarmNotify::twoChannelsOneNotice()
{
    m_server->received.clear();
    TestSink sink;
    ViewPanel p;
    auto alarm = MakeAlarm(m_bus->Address());
    p.view.m_strName[6] = QStringLiteral("Bahnhof");
    for (int k : {5, 7, 9}) {
        p.view.m_dAbschaltstrom[k - 1] = 3.0;
        p.ch(k).m_dStrom = 3.5;
    }
    p.view.OnTimer(1);
    QTRY_COMPARE(m_server->received.size(), 1);
    QTest::qWait(200);
    QCOMPARE(m_server->received.size(), 1);
    const ReceivedNotice n = m_server->received.first();
    QCOMPARE(n.summary, QStringLiteral("3 Kanäle abgeschaltet"));
    QCOMPARE(n.body.split(QLatin1Char('\n')),
             (QStringList{QStringLiteral("Kanal 5 „Input 5“ abgeschaltet (3,50 A)"),
                          QStringLiteral("Kanal 7 „Bahnhof“ abgeschaltet (3,50 A)"),
                          QStringLiteral("Kanal 9 „Input 9“ abgeschaltet (3,50 A)")}));

    // One of them back: the replacement says which stay off, still critical.
    p.ch(7).m_dStrom = 0.0;
    p.view.OnTimer(2);
    QTRY_COMPARE(m_server->received.size(), 2);
    const ReceivedNotice back = m_server->received.last();
    QCOMPARE(back.replaces, n.id);
    QCOMPARE(back.summary, QStringLiteral("Kanal 7 „Bahnhof“ wieder eingeschaltet"));
    QCOMPARE(back.body,
             QStringLiteral("Weiterhin abgeschaltet: Kanal 5 „Input 5“, Kanal 9 „Input 9“"));
    QCOMPARE(back.hints.value(QStringLiteral("urgency")).value<uchar>(), uchar(2));
}

void TestAlarmNotify::switchOnBeforeTheAnswerStillReplaces()
{
    m_server->received.clear();
    TestSink sink;
    ViewPanel p;
    auto alarm = MakeAlarm(m_bus->Address());
    // Both notices leave before the server can have answered the first.
    p.ch(2).m_dStrom = 4.6;
    p.view.OnTimer(1);
    QCoreApplication::processEvents();
    p.ch(2).m_dStrom = 1.0;
    p.view.OnTimer(2);
    QCoreApplication::processEvents();
    QTRY_COMPARE(m_server->received.size(), 2);
    QCOMPARE(m_server->received.at(1).replaces, m_server->received.at(0).id);
    QCOMPARE(m_server->received.at(1).summary,
             QStringLiteral("Kanal 2 „Licht A“ wieder eingeschaltet"));
}

void TestAlarmNotify::clickRaisesTheWindow()
{
    m_server->received.clear();
    TestSink sink;
    ViewPanel p;
    auto alarm = MakeAlarm(m_bus->Address());
    p.view.showMinimized();
    QVERIFY(p.view.isMinimized());
    p.ch(2).m_dStrom = 4.6;
    p.view.OnTimer(1);
    QTRY_COMPARE(m_server->received.size(), 1);
    m_server->Click(m_server->received.first().id + 100); // someone else's
    QTest::qWait(200);
    QVERIFY(p.view.isMinimized());
    m_server->Click(m_server->received.first().id);
    QTRY_VERIFY(!p.view.isMinimized());
}

void TestAlarmNotify::noSoundServerNoBusGoesOnMeasuring()
{
    // Nothing answers: no sound server, no card, a bus address that leads nowhere.
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    qputenv("PULSE_SERVER", "unix:" + runtime.filePath(QStringLiteral("none")).toLocal8Bit());
    int bells = 0;
    // The test library takes every log line for its report; the program's
    // own go to standard error, as they do outside the test.
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (context.category && QByteArray(context.category).startsWith("korva."))
                std::fprintf(stderr, "korva: %s\n", qPrintable(text));
            else
                previous(type, context, text);
        });
    StderrCapture capture;
    {
        TestSink sink;
        ViewPanel p;
        auto alarm =
            MakeAlarm(QStringLiteral("unix:path=") + runtime.filePath(QStringLiteral("bus")),
                      std::make_unique<CCanberraPlayer>([&bells] { ++bells; }));
        int cycles = 0;
        for (; cycles < 3; ++cycles) {
            p.ch(2).m_dStrom = 4.6;
            p.view.OnTimer(1);
            QVERIFY(p.ch(2).m_bAbgeschaltet);
            QTRY_COMPARE(bells, cycles + 1); // the bell instead of the sound
            p.ch(2).m_dStrom = 1.0;
            p.view.OnTimer(2);
            QVERIFY(!p.ch(2).m_bAbgeschaltet);
            QVERIFY(p.view.IsTimerRunning(1)); // measuring again
        }
        QCOMPARE(cycles, 3);
        QTest::qWait(300); // the notifier's thread has tried too
    }
    const QStringList lines = capture.Stop();
    qInstallMessageHandler(previous);
    qunsetenv("PULSE_SERVER");
    for (const QString& l : lines)
        qInfo("stderr: %s", qPrintable(l));
    QCOMPARE(lines.filter(QStringLiteral("Alarmton")).size(), 1);
    QCOMPARE(lines.filter(QStringLiteral("Benachrichtigung")).size(), 1);
    QVERIFY2(lines.size() <= 2, "nothing else on standard error");
}

QTEST_MAIN(TestAlarmNotify)
#include "test_alarm_notify.moc"
