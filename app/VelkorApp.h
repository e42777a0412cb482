#pragma once

#include "app/CommandLine.h"
#include "framework/WinApp.h"

#include <QObject>
#include <QStringList>
#include <memory>

class CMainFrame;
class CJournalModule;
class CHardwareModule;
class CHeadlessRunner;
class CHeadlessSink;
class CCommandLineInfo;
class CWebModule;
class CMqttModule;
class CAlarmModule;
class CSignalCall;
struct WebConfig;

class CVelkorApp : public CWinApp
{
public:
    CVelkorApp();
    ~CVelkorApp() override;
    // Start-up: false ends the program. The list is parsed as main() parses
    // it; a refused one is false too.
    bool InitInstance(const QStringList& args);
    bool InitInstance(const KorvaCommandLine& options);
    CMainFrame* MainFrame() const;
    void OnAppAbout();
    // False when the program must not run (a certificate and key that do
    // not belong together).
    bool StartWebPanel();
    void StartMqtt();
    // SIGHUP: the web panel's and the MQTT link's settings read again.
    void ReloadSettings();
    void ReloadWebSettings();
    void ReloadMqttSettings();
    void StartAlarm(bool bHeadless);
    // Prints the file (to a PDF file when pdfFile is given) and returns the
    // exit status; no window is shown.
    int PrintFile(const QString& fileName, const QString& pdfFile);

    // Add-ons: journal and history, real hardware, web panel, MQTT, alarm.
    std::unique_ptr<CJournalModule> m_journal;
    std::unique_ptr<CHardwareModule> m_hardware;
    std::unique_ptr<CWebModule> m_web;
    std::unique_ptr<CMqttModule> m_mqtt;
    std::unique_ptr<CAlarmModule> m_alarm;
    // The unattended mode (--headless); null with windows.
    std::unique_ptr<CHeadlessSink> m_headlessSink;
    std::unique_ptr<CHeadlessRunner> m_headless;
    std::unique_ptr<CSignalCall> m_reloadSignal;
    std::unique_ptr<CSignalCall> m_endSignal; // with windows: save, then end

private:
    bool CreateMainFrame();
    // SIGTERM, SIGINT or SIGQUIT with windows: every document with a file is
    // saved, then the program ends.
    void EndOnSignal();
    // The settings with --web applied over them.
    WebConfig WebSettings();
    bool StartHeadless(const CCommandLineInfo& cmdInfo);
    KorvaCommandLine m_options; // the command line, parsed once
};

// Key and mouse presses during the splash screen remove it and are consumed.
class CSplashFilter : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Signal dispositions of the program, set before anything else runs: a
// file-size limit makes writes fail with EFBIG instead of killing the process.
void SetUpProcessSignals();

// The program: sets up Qt (German texts), runs the start-up and the main loop.
int RunVelkorApp(int argc, char* argv[]);
