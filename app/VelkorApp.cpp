#include "app/VelkorApp.h"

#include "alarm/AlarmModule.h"
#include "app/AboutDlg.h"
#include "app/ChildFrm.h"
#include "app/CommandLine.h"
#include "app/FileTypes.h"
#include "app/Headless.h"
#include "app/MainFrm.h"
#include "app/Signals.h"
#include "app/Splash.h"
#include "doc/VelkorDoc.h"
#include "framework/DocTemplate.h"
#include "framework/Logging.h"
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
#include <QDir>
#include <QEvent>
#include <QLibraryInfo>
#include <QPrinter>
#include <QPrinterInfo>
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
    m_reloadSignal.reset();
    m_alarm.reset(); // wraps the sink below
    if (m_headlessSink)
        SetMessageSink(nullptr);
}

namespace {

// Options that take a value; the value is no file name.
// Options that take a value; the value is no file name for the framework.
const QStringList kValueOptions = {QStringLiteral("--save-interval"), QStringLiteral("--print-to"),
                                   QStringLiteral("--sim-script"), QStringLiteral("--web")};

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
    const KorvaCommandLine options = ParseKorvaCommandLine(commandLine);
    if (options.nExitCode >= 0) {
        qCCritical(lcApp).noquote() << options.strMessage.trimmed();
        return false;
    }
    return InitInstance(options);
}

bool CVelkorApp::InitInstance(const KorvaCommandLine& options)
{
    m_options = options;
    const QStringList args = WithoutOptionValues(options.args);
    const bool bHeadless = options.bHeadless;
    if (bHeadless) {
        m_headlessSink = std::make_unique<CHeadlessSink>();
        SetMessageSink(m_headlessSink.get());
    }
    CCommandLineInfo cmdInfo;
    ParseCommandLine(args, cmdInfo);
    CSplashWnd::EnableSplashScreen(cmdInfo.m_bShowSplash && !bHeadless);

    if (!CreateMainFrame())
        return false;
    CMainFrame* frame = MainFrame();
    // The add-ons listen before the first document's view opens.
    m_journal = std::make_unique<CJournalModule>(frame);
    if (m_headlessSink)
        m_headlessSink->SetLog([this](const QString& text) { m_journal->RecordMessage(text); });
    m_hardware = std::make_unique<CHardwareModule>(frame, options.bSimulate);
    // Before the first view opens: that is when the module connects.
    m_hardware->SetSimScript(options.simScript);
    frame->AddCommandTarget(m_journal.get());
    frame->AddCommandTarget(m_hardware.get());
    if (!StartWebPanel())
        return false;
    StartMqtt();
    m_reloadSignal = std::make_unique<CSignalCall>(std::initializer_list<int>{SIGHUP},
                                                   [this] { ReloadSettings(); });
    StartAlarm(bHeadless);
    if (bHeadless)
        return StartHeadless(cmdInfo);
    m_endSignal = std::make_unique<CSignalCall>(
        std::initializer_list<int>{SIGTERM, SIGINT, SIGQUIT}, [this] { EndOnSignal(); }, true);
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

// Locale, settings, the document template and the (hidden) main frame.
bool CVelkorApp::CreateMainFrame()
{
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
    return true;
}

// --print and --print-to: the file's monitoring form on one page, as the
// menu prints it, with no window shown. Returns the exit status.
int CVelkorApp::PrintFile(const QString& fileName, const QString& pdfFile)
{
    // Whatever would open a message box goes to standard error instead.
    m_headlessSink = std::make_unique<CHeadlessSink>();
    SetMessageSink(m_headlessSink.get());
    CSplashWnd::EnableSplashScreen(false);
    if (fileName.isEmpty()) {
        qCCritical(lcApp, "Zum Drucken fehlt die Datei (korva --print DATEI.sav).");
        return 2;
    }
    const bool bPdf = !pdfFile.isEmpty();
    if (!bPdf && QPrinterInfo::defaultPrinter().isNull()) {
        qCCritical(lcApp, "Es ist kein Drucker eingerichtet; %s wurde nicht gedruckt.",
                   qUtf8Printable(QDir::toNativeSeparators(fileName)));
        return 1;
    }
    if (!CreateMainFrame())
        return 1;
    CDocument* doc = OpenDocumentFile(fileName);
    if (!doc || doc->Views().isEmpty())
        return 1; // the reason is on standard error already
    CView* view = doc->Views().first();
    QPrinter printer(QPrinter::HighResolution);
    if (bPdf) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfFile);
    }
    printer.setDocName(doc->GetTitle());
    const bool ok = view->PrintPage(&printer, view->grab(), true);
    doc->SetModifiedFlag(false);
    CloseAllDocuments();
    if (!ok) {
        qCCritical(lcApp, "%s kann nicht gedruckt werden.",
                   qUtf8Printable(bPdf ? QDir::toNativeSeparators(pdfFile) : printer.printerName()));
        return 1;
    }
    return 0;
}

// Nobody is there to answer "save changes?": a document with a file keeps
// its counters, one never saved cannot, and says so.
void CVelkorApp::EndOnSignal()
{
    if (CDocTemplate* t = DocTemplate()) {
        for (CDocument* doc : t->Documents()) {
            if (doc->GetPathName().isEmpty())
                qCWarning(lcApp, "%s wurde nie gespeichert und geht verloren.",
                          qUtf8Printable(doc->GetTitle()));
            else if (!doc->DoSave(doc->GetPathName()))
                qCWarning(lcApp, "%s kann nicht gespeichert werden.",
                          qUtf8Printable(QDir::toNativeSeparators(doc->GetPathName())));
            else
                doc->SetModifiedFlag(false);
        }
    }
    QCoreApplication::exit(0);
}

// No window is shown and nothing is registered with a desktop.
bool CVelkorApp::StartHeadless(const CCommandLineInfo& cmdInfo)
{
    const int nSetting = Settings().value(QStringLiteral("Headless/saveInterval"), 0).toInt();
    m_headless = std::make_unique<CHeadlessRunner>(
        *this, korva_headless::SaveIntervalSeconds(m_options.nSaveIntervalS, nSetting));
    return m_headless->Start(cmdInfo.m_strFileName);
}

// Off unless the settings or --web enable it; a panel that cannot start only
// costs a warning.
bool CVelkorApp::StartWebPanel()
{
    const WebConfig config = WebSettings();
    m_web = std::make_unique<CWebModule>(MainFrame(), m_journal.get(), config);
    // A password set by korva --set-web-password while this one runs.
    m_web->WatchPassword(Settings().fileName(), [this] { return WebSettings(); });
    return m_web->Start() || !m_web->FailedFatally();
}

WebConfig CVelkorApp::WebSettings()
{
    Settings().sync(); // takes what another process wrote
    WebConfig config = WebConfig::Load(Settings());
    if (!m_options.strWeb.isEmpty())
        config.ApplyListenArgument(m_options.strWeb); // checked by the parse
    return config;
}

void CVelkorApp::ReloadSettings()
{
    qCInfo(lcApp, "Einstellungen für Web-Panel und MQTT neu gelesen (SIGHUP)");
    std::fflush(stderr);
    ReloadWebSettings();
    ReloadMqttSettings();
}

void CVelkorApp::ReloadWebSettings()
{
    if (m_web)
        m_web->Reload(WebSettings());
}

// The link decides itself whether it connects again.
void CVelkorApp::ReloadMqttSettings()
{
    if (m_mqtt)
        m_mqtt->SetConfig(MqttConfig::Load(Settings()));
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
    CatchStraySignals();
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
    InstallLogPattern();
    SetUpProcessSignals();
    // Before any window: needs neither a display nor the main loop.
    QStringList argList;
    for (int i = 0; i < argc; ++i)
        argList << QString::fromLocal8Bit(argv[i]);
    // Help, version and a mistyped option answer before any window exists.
    const KorvaCommandLine cmdLine = ParseKorvaCommandLine(argList);
    if (cmdLine.nExitCode >= 0) {
        std::fputs(cmdLine.strMessage.toLocal8Bit().constData(),
                   cmdLine.nExitCode == 0 ? stdout : stderr);
        return cmdLine.nExitCode;
    }
    const bool bPrint = cmdLine.bPrint || !cmdLine.strPrintTo.isEmpty();
    if (cmdLine.bSetWebPassword) {
        QCoreApplication core(argc, argv);
        QSettings settings(QStringLiteral("Kalvento GmbH"),
                           QStringLiteral("KORVA_Powermanagement"));
        return SetWebPasswordFromStdin(settings);
    }
    // Neither the unattended mode nor printing needs a display.
    if (cmdLine.bHeadless ||
        (bPrint && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")))
        qputenv("QT_QPA_PLATFORM", "offscreen");
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
    if (bPrint) {
        const int rc = theApp.PrintFile(cmdLine.strFile, cmdLine.strPrintTo);
        delete theApp.m_pMainWnd;
        return rc;
    }
    if (!theApp.InitInstance(cmdLine)) {
        delete theApp.m_pMainWnd;
        return 1;
    }
    const int rc = app.exec();
    theApp.m_headless.reset();
    delete theApp.m_pMainWnd;
    return rc;
}
