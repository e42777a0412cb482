#include "helpers/PulseServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

namespace {

void Finish(QProcess& p)
{
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(5000))
        p.kill();
    p.waitForFinished(1000);
}

} // namespace

PulseServer::PulseServer()
{
    for (const char* tool : {"pulseaudio", "pacat", "sox"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            m_why = QStringLiteral("%1 is not installed").arg(QLatin1String(tool));
            return;
        }
    }
    const QString runtime = m_dir.filePath(QStringLiteral("run"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    qunsetenv("PULSE_SERVER");
    m_env = QProcessEnvironment::systemEnvironment();
    // Its cookie and state go into the test's folder, not a home.
    m_env.insert(QStringLiteral("HOME"), m_dir.path());
    m_pulse.setProcessEnvironment(m_env);
    m_pulse.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_pulse.start(QStringLiteral("pulseaudio"),
                  {QStringLiteral("--system=false"), QStringLiteral("-n"),
                   QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                   QStringLiteral("--disallow-exit"), QStringLiteral("--disable-shm=true"),
                   QStringLiteral("--log-level=error"), QStringLiteral("-L"),
                   QStringLiteral("module-null-sink sink_name=") + QLatin1String(kSink),
                   QStringLiteral("-L"), QStringLiteral("module-native-protocol-unix")});
    if (!m_pulse.waitForStarted(5000)) {
        m_why = QStringLiteral("pulseaudio did not start");
        return;
    }
    const QString socket = runtime + QStringLiteral("/pulse/native");
    QElapsedTimer t;
    t.start();
    while (!QFile::exists(socket) && t.elapsed() < 10000 && m_pulse.state() == QProcess::Running)
        QTest::qWait(50);
    m_bRunning = QFile::exists(socket);
    if (!m_bRunning)
        m_why = QStringLiteral("pulseaudio did not open its socket");
}

PulseServer::~PulseServer()
{
    Finish(m_pulse);
}

SinkRecording::SinkRecording(const QString& file, const QProcessEnvironment& env)
{
    m_silence.setProcessEnvironment(env);
    m_silence.setStandardInputFile(QStringLiteral("/dev/zero"));
    m_silence.start(QStringLiteral("pacat"),
                    {QStringLiteral("--playback"), QStringLiteral("-d"),
                     QLatin1String(PulseServer::kSink), QStringLiteral("--format=s16le"),
                     QStringLiteral("--rate=44100"), QStringLiteral("--channels=2"),
                     QStringLiteral("--raw")});
    m_silence.waitForStarted(5000);
    m_pacat.setProcessEnvironment(env);
    m_pacat.setStandardOutputFile(file);
    m_pacat.start(QStringLiteral("pacat"),
                  {QStringLiteral("--record"), QStringLiteral("-d"),
                   QLatin1String(PulseServer::kSink) + QStringLiteral(".monitor"),
                   QStringLiteral("--format=s16le"), QStringLiteral("--rate=44100"),
                   QStringLiteral("--channels=2"), QStringLiteral("--raw"),
                   QStringLiteral("--latency-msec=20")});
    m_pacat.waitForStarted(5000);
    QTest::qWait(300); // its stream is set up
}

SinkRecording::~SinkRecording()
{
    Stop();
}

void SinkRecording::Stop()
{
    Finish(m_pacat);
    Finish(m_silence);
}

double MaxAmplitude(const QString& rawFile)
{
    QProcess sox;
    sox.start(QStringLiteral("sox"),
              {QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-r"),
               QStringLiteral("44100"), QStringLiteral("-e"), QStringLiteral("signed"),
               QStringLiteral("-b"), QStringLiteral("16"), QStringLiteral("-c"),
               QStringLiteral("2"), rawFile, QStringLiteral("-n"), QStringLiteral("stat")});
    if (!sox.waitForFinished(20000))
        return -1;
    const QString out = QString::fromLocal8Bit(sox.readAllStandardError());
    const auto m = QRegularExpression(QStringLiteral("Maximum amplitude:\\s*([0-9.]+)")).match(out);
    return m.hasMatch() ? m.captured(1).toDouble() : -1;
}
