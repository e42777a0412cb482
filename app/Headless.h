#pragma once
// The unattended mode: the same application with no window shown and no
// display. Message boxes become lines on standard error (and in the journal)
// answered as their default button would be; the document is saved back to
// its file at intervals, and SIGTERM, SIGINT or SIGQUIT save it and end the
// program.

#include "framework/Messages.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

class CDocument;
class CWinApp;
class CSignalCall;

namespace korva_headless {

// The file used when none is given: $XDG_DATA_HOME/KORVA_Powermanagement/anlage.sav.
QString DefaultFile();

// Seconds between two saves: nGiven (--save-interval) when above 0, else the
// setting Headless/saveInterval, else 300; never below 10.
int SaveIntervalSeconds(int nGiven, int nSetting);

// The answer a message box of this type gives when Enter is pressed.
int DefaultAnswer(unsigned type);

} // namespace korva_headless

class CHeadlessSink : public IMessageSink
{
public:
    // log receives every message as one line, besides standard error.
    explicit CHeadlessSink(std::function<void(const QString&)> log = {});
    int MessageBox(QWidget* parent, const QString& text, const QString& caption,
                   unsigned type) override;
    void MessageBeep(unsigned) override {}
    void SetLog(std::function<void(const QString&)> log) { m_log = std::move(log); }

private:
    std::function<void(const QString&)> m_log;
};

class CHeadlessRunner : public QObject
{
    Q_OBJECT
public:
    // A failed save is tried again after this long (or the interval, if shorter).
    static constexpr int kRetrySeconds = 30;

    CHeadlessRunner(CWinApp& app, int nSaveIntervalSeconds);
    ~CHeadlessRunner() override;

    // Opens the named file, or the default file (created from a new document
    // when missing). False when there is no document to run.
    bool Start(const QString& fileName);
    // Saves the running document to its file; false (reported) on failure.
    bool SaveNow();
    // Saves, closes the document without asking and leaves the event loop.
    void Shutdown();

    CDocument* Document() const;
    int SaveIntervalMs() const { return m_nIntervalMs; }

private:
    void OnSaveTimer();
    void InstallSignalHandlers();

    CWinApp& m_app;
    int m_nIntervalMs;
    QTimer m_saveTimer;
    std::unique_ptr<CSignalCall> m_endSignal;
    bool m_bShuttingDown = false;
};
