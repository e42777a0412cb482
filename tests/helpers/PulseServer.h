#pragma once
// A PulseAudio of its own for a test: a null sink, only the local socket in a
// runtime folder of its own. Points this process's XDG_RUNTIME_DIR there, so
// the program's sounds and the children's go to it.

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

class PulseServer
{
public:
    static constexpr const char* kSink = "korva_alarm_test";

    PulseServer();
    ~PulseServer();
    // Empty when it did not come up (then Why() says so).
    bool IsRunning() const { return m_bRunning; }
    QString Why() const { return m_why; }
    QString Folder() const { return m_dir.path(); }
    QProcessEnvironment Environment() const { return m_env; }

private:
    QTemporaryDir m_dir;
    QProcess m_pulse;
    QProcessEnvironment m_env;
    bool m_bRunning = false;
    QString m_why;
};

// Records the null sink's monitor into a raw file (s16le, 44100 Hz, stereo)
// for as long as it lives.
class SinkRecording
{
public:
    SinkRecording(const QString& file, const QProcessEnvironment& env);
    ~SinkRecording();
    void Stop();

private:
    QProcess m_pacat;
    QProcess m_silence; // keeps the sink running: an idle null sink drops what starts it
};

// The loudest sample of such a recording, 0 ... 1, by sox; -1 when sox fails.
double MaxAmplitude(const QString& rawFile);
