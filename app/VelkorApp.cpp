#include "app/VelkorApp.h"

#include "alarm/AlarmModule.h"
#include "app/AboutDlg.h"
#include "app/ChildFrm.h"
#include "app/FileTypes.h"
#include "app/Headless.h"
#include "app/MainFrm.h"
#include "app/Splash.h"
#include "doc/VelkorDoc.h"
#include "framework/DocTemplate.h"
#include "framework/Messages.h"
#include "framework/Resources.h"
#include "hwlink/HardwareModule.h"
#include "journal/JournalModule.h"
#include "remote/MqttModule.h"
#include "remote/WebConfig.h"
#include "remote/WebModule.h"
#include "res/resource.h"
#include "view/VelkorView.h"

#include <QApplication>
#include <QEvent>
#include <QLibraryInfo>
#include <QSettings>
#include <QTranslator>
#include <clocale>
#include <csignal>
#include <cstdio>

CVelkorApp::CVelkorApp()
{
    OnCommand(ID_APP_ABOUT, [this] { OnAppAbout(); });
    OnCommand(ID_FILE_NEW, [this] { OnFileNew(); });
    OnCommand(ID_FILE_OPEN, [this] { OnFileOpen(); });
    OnCommand(ID_FILE_PRINT_SETUP, [this] { OnFilePrintSetup(); });
}

CVelkorApp::~CVelkorApp()
{
    m_alarm.reset(); // wraps the sink below
    if (m_headlessSink)
        SetMessageSink(nullptr);
}

namespace {

// Options that take a value; the value is no file name.
const QStringList kValueOptions = {QStringLiteral("--save-interval")};

QStringList WithoutOptionValues(const QStringList& args)
{
    QStringList out;
    for (int i = 0; i < args.size(); ++i) {
        out.append(args.at(i));
        if (kValueOptions.contains(args.at(i)))
            ++i;
    }
    return out;
}

} // namespace

CMainFrame* CVelkorApp::MainFrame() const
{
    return static_cast<CMainFrame*>(m_pMainWnd);
}

bool CVelkorApp::InitInstance(const QStringList& commandLine)
{
    const QStringList args = WithoutOptionValues(WebConfig::WithoutWebArgument(commandLine));
    const bool bHeadless = korva_headless::IsHeadless(args);
    if (bHeadless) {
        m_headlessSink = std::make_unique<CHeadlessSink>();
        SetMessageSink(m_headlessSink.get());
    }
    CCommandLineInfo cmdInfo;
    ParseCommandLine(args, cmdInfo);
    CSplashWnd::EnableSplashScreen(cmdInfo.m_bShowSplash && !bHeadless);

    std::setlocale(LC_ALL, "");

    SetRegistryKey(QStringLiteral("Kalvento GmbH"), LoadResString(AFX_IDS_APP_TITLE));
    LoadStdProfileSettings(1);

    AddDocTemplate(new CDocTemplate(
        IDR_KORVATYPE, [] { return new CVelkorDoc; }, [] { return new CChildFrame; },
        [] { return new CVelkorView; }));

    auto* frame = new CMainFrame;
    if (!frame->LoadFrame(IDR_MAINFRAME, IDR_KORVATYPE) || frame->OnCreate() == -1) {
        delete frame;
        return false;
    }
    m_pMainWnd = frame;
    // The add-ons listen before the first document's view opens.
    m_journal = std::make_unique<CJournalModule>(frame);
    if (m_headlessSink)
        m_headlessSink->SetLog([this](const QString& text) { m_journal->RecordMessage(text); });
    m_hardware =
        std::make_unique<CHardwareModule>(frame, args.contains(QStringLiteral("--simulate")));
    frame->AddCommandTarget(m_journal.get());
    frame->AddCommandTarget(m_hardware.get());
    StartWebPanel(commandLine);
    StartMqtt();
    StartAlarm(bHeadless);
    if (bHeadless)
        return StartHeadless(commandLine, cmdInfo);
    frame->DragAcceptFiles();
    RegisterShellFileTypes();

    CCommandLineInfo shellInfo;
    ParseCommandLine(args, shellInfo);
    if (!ProcessShellCommand(shellInfo))
        return false;

    frame->show();
    frame->UpdateCmdUI();
    return true;
}

// No window is shown and nothing is registered with a desktop.
bool CVelkorApp::StartHeadless(const QStringList& args, const CCommandLineInfo& cmdInfo)
{
    const int nSetting = Settings().value(QStringLiteral("Headless/saveInterval"), 0).toInt();
    m_headless = std::make_unique<CHeadlessRunner>(
        *this, korva_headless::SaveIntervalSeconds(args, nSetting));
    return m_headless->Start(cmdInfo.m_strFileName);
}

// Off unless the settings or --web enable it; a panel that cannot start only
// costs a warning.
void CVelkorApp::StartWebPanel(const QStringList& args)
{
    WebConfig config = WebConfig::Load(Settings());
    QString error;
    if (!config.ApplyArguments(args, &error))
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
    m_web = std::make_unique<CWebModule>(MainFrame(), m_journal.get(), config);
    m_web->Start();
}

// Off unless the settings enable it; a broker that is away is retried.
void CVelkorApp::StartMqtt()
{
    m_mqtt =
        std::make_unique<CMqttModule>(MainFrame(), m_journal.get(), MqttConfig::Load(Settings()));
    MainFrame()->AddCommandTarget(m_mqtt.get());
    m_mqtt->Start();
}

// Sounds also in the unattended mode, where a sound server runs; a
// notification needs a desktop.
void CVelkorApp::StartAlarm(bool bHeadless)
{
    CAlarmModule::Options options;
    options.bNotifications = !bHeadless;
    m_alarm = std::make_unique<CAlarmModule>(MainFrame(), AlarmConfig::Load(Settings()),
                                             std::move(options));
    MainFrame()->AddCommandTarget(m_alarm.get());
}

void CVelkorApp::OnAppAbout()
{
    CAboutDlg aboutDlg;
    aboutDlg.DoModal();
}

bool CSplashFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (CSplashWnd::PreTranslateAppMessage(event))
        return true;
    return QObject::eventFilter(watched, event);
}

void SetUpProcessSignals()
{
    // Under a file-size limit (ulimit -f, LimitFSIZE=) the default action of
    // SIGXFSZ ends the program in the middle of a save or a journal line.
    // Ignored, the write fails with EFBIG and takes the ordinary error path.
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, nullptr);
}

int RunVelkorApp(int argc, char* argv[])
{
    SetUpProcessSignals();
    // Before any window: needs neither a display nor the main loop.
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--set-web-password") == 0) {
            QCoreApplication core(argc, argv);
            QSettings settings(QStringLiteral("Kalvento GmbH"),
                               QStringLiteral("KORVA_Powermanagement"));
            return SetWebPasswordFromStdin(settings);
        }
    }
    korva_headless::PrepareHeadless(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KORVA_Powermanagement"));
    QApplication::setOrganizationName(QStringLiteral("Kalvento GmbH"));
    // The interface is German, so Qt's own dialogs and buttons are too.
    QTranslator qtTranslator;
    if (qtTranslator.load(QStringLiteral("qtbase_de"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);
    CSplashFilter splashFilter;
    app.installEventFilter(&splashFilter);

    CVelkorApp theApp;
    if (!theApp.InitInstance(QApplication::arguments())) {
        delete theApp.m_pMainWnd;
        return 1;
    }
    const int rc = app.exec();
    theApp.m_headless.reset();
    delete theApp.m_pMainWnd;
    return rc;
}
