// A real sound: a PulseAudio of the test's own with a null sink, a cutoff
// that plays through libcanberra, and a recording of the sink's monitor that
// must not be silent; in the window program and in the unattended one.

#include "alarm/AlarmModule.h"
#include "helpers/TestSink.h"
#include "helpers/ViewPanel.h"

#include "helpers/PulseServer.h"

#include <QTemporaryDir>
#include <QTest>

class TestAlarmPlayback : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cutoffIsHeard();
    void unattendedIsHeardToo();

private:
    std::unique_ptr<PulseServer> m_pulse;
    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
};

void TestAlarmPlayback::initTestCase()
{
    m_pulse = std::make_unique<PulseServer>();
    if (m_pulse->Why().contains(QStringLiteral("not installed")))
        QSKIP(qPrintable(m_pulse->Why()));
    QVERIFY2(m_pulse->IsRunning(), qPrintable(m_pulse->Why()));
    m_env = m_pulse->Environment();
}

void TestAlarmPlayback::cutoffIsHeard()
{
    TestSink sink;
    ViewPanel p;
    CAlarmModule alarm(nullptr, AlarmConfig(), {false, nullptr, QString()});

    // The sink is quiet without a cutoff, so the check below can fail.
    const QString quiet = m_dir.filePath(QStringLiteral("quiet.raw"));
    {
        SinkRecording rec(quiet, m_env);
        p.view.OnTimer(1);
        QTest::qWait(1000); // silence is only seen over a span of time
    }
    const double silence = MaxAmplitude(quiet);
    QVERIFY2(silence >= 0 && silence < 0.001, qPrintable(QString::number(silence)));

    const QString raw = m_dir.filePath(QStringLiteral("cutoff.raw"));
    {
        SinkRecording rec(raw, m_env);
        p.ch(2).m_dStrom = 4.6;
        p.view.OnTimer(1);
        QVERIFY(p.ch(2).m_bAbgeschaltet);
        QTRY_VERIFY_WITH_TIMEOUT(MaxAmplitude(raw) > 0.005, 10000);
    }
    QVERIFY(sink.beeps.isEmpty());
    const double peak = MaxAmplitude(raw);
    qInfo("peak of the cutoff's sound: %.4f", peak);
    QVERIFY2(peak > 0.005, qPrintable(QString::number(peak)));
}

void TestAlarmPlayback::unattendedIsHeardToo()
{
    QTemporaryDir home;
    const QString path = home.filePath(QStringLiteral("kurz.sav"));
    {
        TestSink sink;
        CVelkorDoc doc;
        doc.OnNewDocument();
        doc.m_dAbschaltstrom[0] = 0.02; // channel 1 is cut off at the first tick
        doc.m_dAlarmstrom[0] = 0.01;
        doc.m_dHysterese[0] = 0.0;
        QVERIFY(doc.OnSaveDocument(path));
    }
    QProcessEnvironment env = m_env;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));

    const QString raw = m_dir.filePath(QStringLiteral("headless.raw"));
    SinkRecording rec(raw, m_env);
    QProcess korva;
    korva.setProcessEnvironment(env);
    korva.start(QStringLiteral(KORVA_BINARY), {QStringLiteral("--headless"), path});
    QVERIFY(korva.waitForStarted(5000));
    // The first tick after a second, then the sound.
    QTRY_VERIFY_WITH_TIMEOUT(MaxAmplitude(raw) > 0.005, 15000);
    korva.terminate();
    QVERIFY(korva.waitForFinished(15000));
    rec.Stop();
    const QString err = QString::fromLocal8Bit(korva.readAllStandardError());
    QVERIFY2(!err.contains(QStringLiteral("Alarmton")), qPrintable(err));
    const double peak = MaxAmplitude(raw);
    qInfo("peak of the unattended cutoff's sound: %.4f", peak);
    QVERIFY2(peak > 0.005, qPrintable(QString::number(peak) + QLatin1Char(' ') + err));
}

QTEST_MAIN(TestAlarmPlayback)
#include "test_alarm_playback.moc"
