#include "hwlink/HardwareModule.h"
#include "hwlink/HardwareMessages.h"

#include "framework/MDIFrame.h"
#include "framework/Messages.h"
#include "framework/Resources.h"
#include "framework/WinApp.h"
#include "hw/I2CBus.h"
#include "hw/PortBackend.h"
#include "hw/SimLayout.h"
#include "hwlink/HardwareConfigDlg.h"
#include "hwlink/SimulatorWnd.h"
#include "res/resource.h"
#include "view/VelkorView.h"

#include <QLabel>
#include <QObject>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>
#include <chrono>

namespace {

const QString kNichtVerbunden = QStringLiteral("Hardware: nicht verbunden");
const QString kVerbunden = QStringLiteral("Hardware: verbunden");

// Loads that show all three behaviours: steady currents, a slow ramp on every
// fourth channel, all well below the default Abschaltstrom.
CSimLayout::Load LoadFor(int nChannel, double fullScale)
{
    CSimLayout::Load load;
    if (nChannel % 4 == 0) {
        load.kind = CSimLayout::LoadKind::Ramp;
        load.amps = 0.8 * fullScale;
        load.rampSeconds = 60.0;
    } else {
        load.amps = std::min(0.3 + 0.1 * nChannel, 0.5 * fullScale);
    }
    return load;
}

QString FailureText(const CHardwareWorker::Failure& f, const HardwareConfig& config)
{
    return HardwareErrorText(f.nError, f.nDetail, config);
}

} // namespace

CHardwareModule::CHardwareModule(CMDIFrameWnd* frame, bool bSimulate)
    : m_frame(frame), m_bSimulate(bSimulate), m_context(std::make_unique<QObject>())
{
    if (CWinApp* app = CWinApp::Instance())
        m_config = HardwareConfig::Load(app->Settings(), &m_refusedSettings);
    if (m_bSimulate && !(IsSimulating() && m_config.IsActive()))
        m_config = HardwareConfig::SimulatedLayout();

    OnCommand(ID_HARDWARE_KONFIGURATION, [this] { OnHardwareKonfiguration(); });
    OnCommand(ID_SIMULATOR, [this] { OnSimulator(); });
    OnUpdateCommand(ID_SIMULATOR,
                    [this](CCmdUI* ui) { ui->Enable(IsSimulating() && m_config.IsActive()); });
    CreateStatusPane();
    AddViewListener(this);
    m_sweepWatch = new QTimer(m_context.get());
    m_sweepWatch->setInterval(1000);
    QObject::connect(m_sweepWatch, &QTimer::timeout, m_context.get(), [this] { CheckSweeps(); });
}

CHardwareModule::~CHardwareModule()
{
    RemoveViewListener(this);
    if (m_view)
        m_view->SetChannelSource(nullptr);
    // The worker goes first: its queued calls target m_context.
    m_worker.reset();
    delete m_simulator.data();
    m_context.reset();
}

void CHardwareModule::CreateStatusPane()
{
    if (!m_frame)
        return;
    auto* pane = new QLabel(LoadResString(ID_INDICATOR_HARDWARE));
    pane->setObjectName(QString::number(ID_INDICATOR_HARDWARE));
    m_frame->statusBar()->addPermanentWidget(pane);
    m_pane = pane;
    SetStatus(kNichtVerbunden);
}

void CHardwareModule::SetStatus(const QString& text)
{
    m_strStatus = text;
    if (m_pane) {
        m_pane->setText(text);
        m_pane->setVisible(m_config.IsActive() || m_worker);
    }
}

void CHardwareModule::SetConfig(const HardwareConfig& config)
{
    // The wiring applies from the next window; how the bus protects, at once.
    if (m_worker) {
        m_worker->SetPeriod(unsigned(config.nSweepMs));
        std::array<int, HardwareConfig::kChannels> delays{};
        for (int i = 0; i < HardwareConfig::kChannels; ++i)
            delays[i] = config.channel[i].nTripDelayMs;
        m_worker->SetTripDelays(delays);
    }
    m_config = config;
    SetStatus(m_strStatus);
}

CHardwareWorker::Outputs CHardwareModule::SwitchedOn(const CVelkorView& view) const
{
    CHardwareWorker::Outputs on{};
    for (int k = 1; k <= HardwareConfig::kChannels; ++k)
        on[k - 1] = view.IsSwitchedOn(k) && view.m_channel[k - 1].m_bAbgeschaltet == 0;
    return on;
}

// 0 switches every output off; any other pattern switches on what is not
// locked, so a short is never fed again by the stop pattern.
CHardwareWorker::Outputs CHardwareModule::Pattern(int nWert) const
{
    CHardwareWorker::Outputs on{};
    for (int i = 0; i < HardwareConfig::kChannels; ++i)
        on[i] = nWert != 0 && m_view && m_view->m_channel[i].m_bAbgeschaltet == 0;
    return on;
}

void CHardwareModule::OnViewOpened(CVelkorView& view)
{
    ReportRefusedSettings();
    if (!m_config.IsActive())
        return;
    // One bus, one view: further windows keep their test sources until the
    // driving one closes.
    if (m_view) {
        m_waiting.append(&view);
        return;
    }
    Connect(view, true);
}

// Once, with the first window: which stored keys were not taken and why.
void CHardwareModule::ReportRefusedSettings()
{
    if (m_refusedSettings.isEmpty())
        return;
    const QString text = m_refusedSettings.join(QStringLiteral("\n\n"));
    m_refusedSettings.clear();
    AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
}

void CHardwareModule::Connect(CVelkorView& view, bool bFirstUpdate)
{
    m_view = &view;
    m_worker.reset();
    if (bFirstUpdate) {
        m_bFailureShown = false;
        m_layout.reset();
    }

    CPortBackend* backend = m_backend ? m_backend : &DefaultPortBackend();
    if (IsSimulating() && m_layout) {
        backend = &m_layout->Board(); // taken over: the shorts stay as they are
    } else if (IsSimulating()) {
        m_layout = std::make_unique<CSimLayout>();
        for (int k = 1; k <= HardwareConfig::kChannels; ++k) {
            const ChannelWiring& w = m_config.channel[k - 1];
            CSimLayout::Wiring sw;
            if (w.bConverter) {
                sw.converter = w.nConverter;
                sw.input = w.nInput;
                sw.fullScale = w.dFullScale;
            }
            if (w.bOutput) {
                sw.port = w.nPort;
                sw.bit = w.nBit;
                sw.activeLow = w.bActiveLow;
            }
            m_layout->Wire(k, sw);
            m_layout->SetLoad(k, LoadFor(k, w.dFullScale));
        }
        m_layout->SetScript(m_simScript);
        backend = &m_layout->Board();
    }

    // The start pattern 0 shows every channel off, as its outputs will be.
    if (bFirstUpdate && view.m_dlgCon.m_nStartWert == 0 && m_config.HasOutput())
        view.OnAlleAus();

    // The trips the worker makes reach the view through OnWorkerStatus too.
    const bool adapter = m_config.nPort == HardwareConfig::I2CAdapter;
    QObject* context = m_context.get();
    m_worker = std::make_unique<CHardwareWorker>(
        m_config, *backend, adapter ? m_i2cLayout : m_layout.get(), [this, context] {
            QMetaObject::invokeMethod(
                context, [this] { OnWorkerStatus(); }, Qt::QueuedConnection);
        });
    m_worker->SetI2CNode(m_i2cNode);
    // Real outputs: measuring never stands still, even with no converter.
    view.SetChannelSource(this);
    SetStatus(kNichtVerbunden);
    m_reported = {};
    m_seen = {};
    m_nNoReadingsS = 0;
    m_sentLimits = Limits(view);
    m_worker->Start(SwitchedOn(view), m_sentLimits);
    m_sweepWatch->start();
    if (m_simulator)
        m_simulator->SetLayout(m_layout.get());
}

void CHardwareModule::OnViewClosing(CVelkorView& view)
{
    m_waiting.removeAll(&view);
    if (&view != m_view)
        return;
    view.SetChannelSource(nullptr);
    CVelkorView* next = nullptr;
    while (!next && !m_waiting.isEmpty())
        next = m_waiting.takeFirst();
    if (m_worker) {
        // A window that takes over keeps its outputs as they are shown; the
        // stop pattern is for the last one.
        m_worker->Stop(next ? SwitchedOn(*next) : Pattern(view.m_dlgCon.m_nStopWert));
        m_lastWritten = m_worker->WrittenOutputs();
        m_worker.reset();
    }
    m_sweepWatch->stop();
    m_view = nullptr;
    SetStatus(kNichtVerbunden);
    if (next)
        Connect(*next, false);
}

CHardwareWorker::Limits CHardwareModule::Limits(const CVelkorView& view) const
{
    CHardwareWorker::Limits cutoff{};
    for (int i = 0; i < HardwareConfig::kChannels; ++i)
        cutoff[i] = view.m_dAbschaltstrom[i];
    return cutoff;
}

void CHardwareModule::SendOutputs(const CVelkorView& view)
{
    m_worker->SetOutputs(SwitchedOn(view), m_seen);
}

void CHardwareModule::OnChannelEvent(CVelkorView& view, ChannelEvent, int, double)
{
    if (&view == m_view && m_worker)
        SendOutputs(view);
}

void CHardwareModule::OnSettingsChanged(CVelkorView& view)
{
    if (&view != m_view || !m_worker)
        return;
    const CHardwareWorker::Limits cutoff = Limits(view);
    if (cutoff != m_sentLimits) {
        m_sentLimits = cutoff;
        m_worker->SetLimits(cutoff);
    }
    OnWorkerStatus(); // the slow-display hint
}

bool CHardwareModule::ReadCurrent(int nChannel, double& current, bool& stale)
{
    return m_worker && m_worker->Reading(nChannel, current, stale);
}

bool CHardwareModule::ReadSample(int nChannel, Sample& sample)
{
    CHardwareWorker::Sample s;
    if (!m_worker || !m_worker->GetSample(nChannel, s, true))
        return false;
    sample.current = s.current;
    sample.stale = s.stale;
    sample.peak = s.peak;
    sample.ageMs = s.ageMs;
    return true;
}

bool CHardwareModule::TripsChannel(int nChannel) const
{
    return m_worker && m_worker->Reads(nChannel);
}

void CHardwareModule::DeliverTrips()
{
    if (!m_worker || !m_view)
        return;
    for (const CHardwareWorker::Trip& t : m_worker->TakeTrips()) {
        m_seen[t.nChannel - 1] = t.nCount;
        const ScopedEventTime at(
            std::chrono::duration_cast<std::chrono::milliseconds>(t.written.time_since_epoch())
                .count());
        m_view->OnBusTrip(t.nChannel, t.current);
    }
}

void CHardwareModule::CheckSweeps()
{
    if (!m_worker || !m_view || m_worker->GetStatus().state != CHardwareWorker::State::Connected)
        return;
    const auto since = CHardwareWorker::Clock::now() - m_worker->LastSweep();
    const int s = int(std::chrono::duration_cast<std::chrono::seconds>(since).count());
    const int was = m_nNoReadingsS;
    m_nNoReadingsS = s >= kNoReadingsAfterS ? s : 0;
    if (was == 0 && m_nNoReadingsS != 0)
        NotifyHardwareEvent(*m_view, ChannelEvent::TransferError, 0, 0.0,
                            QStringLiteral("keine Messwerte seit %1 s").arg(m_nNoReadingsS));
    else if (was != 0 && m_nNoReadingsS == 0)
        NotifyHardwareEvent(*m_view, ChannelEvent::TransferRestored, 0, 0.0,
                            QStringLiteral("Messwerte kommen wieder"));
    if (was != m_nNoReadingsS)
        OnWorkerStatus();
}

// What the pane says while the bus is open: the worst first.
QString CHardwareModule::ConnectedText(const CHardwareWorker::Status& st) const
{
    QString text = kVerbunden;
    if (m_nNoReadingsS)
        text = QStringLiteral("Hardware: keine Messwerte seit %1 s").arg(m_nNoReadingsS);
    else if (const auto bad = std::find_if(st.unconfirmed.begin(), st.unconfirmed.end(),
                                           [](std::uint8_t a) { return a != 0; });
             bad != st.unconfirmed.end())
        text = QStringLiteral("Hardware: Ausgang nicht bestätigt (Kanal %1, Gerät %2)")
                   .arg(int(bad - st.unconfirmed.begin()) + 1)
                   .arg(HexAddress(*bad));
    else if (st.nError)
        text = QStringLiteral("Hardware: %1").arg(HardwareErrorText(st.nError, st.nDetail, m_config));
    if (m_view && m_view->m_nAbfragezeit > kSlowDisplayMs)
        text += QStringLiteral(" – Anzeige nur alle %1 s, der Schutz misst alle %2 ms")
                    .arg(m_view->m_nAbfragezeit / 1000)
                    .arg(m_worker ? m_worker->PeriodMs() : unsigned(m_config.nSweepMs));
    return text;
}

// Runs queued on the user thread, never inside a view callback.
void CHardwareModule::OnWorkerStatus()
{
    if (!m_worker)
        return;
    DeliverTrips();
    if (!m_worker)
        return;
    const CHardwareWorker::Status st = m_worker->GetStatus();
    switch (st.state) {
    case CHardwareWorker::State::Failed:
        SetStatus(kNichtVerbunden);
        // Nothing is read or switched: the window goes on with its test sources.
        if (m_view && m_view->ChannelSource() == this)
            m_view->SetChannelSource(nullptr);
        if (!m_bFailureShown) {
            m_bFailureShown = true;
            QString hint = st.nError == cerr::kPortUnavailable ? m_config.AccessHint() : QString();
            if (!hint.isEmpty())
                hint = QStringLiteral("\n") + hint;
            AfxMessageBox(QStringLiteral("Die Hardware kann nicht geöffnet werden: %1.%2\n"
                                         "Das Programm misst mit den Testquellen weiter.")
                              .arg(HardwareErrorText(st.nError, st.nDetail, m_config), hint),
                          MB_OK | MB_ICONEXCLAMATION);
        }
        break;
    case CHardwareWorker::State::Connected:
        SetStatus(ConnectedText(st));
        ReportTransferChanges(st);
        break;
    default:
        break;
    }
}

void CHardwareModule::ReportTransferChanges(const CHardwareWorker::Status& st)
{
    if (!m_view)
        return;
    CVelkorView& view = *m_view;
    const auto report = [&view, this](const CHardwareWorker::Failure& was,
                                      const CHardwareWorker::Failure& now, int nChannel) {
        if (now == was)
            return;
        const double current = nChannel ? view.m_channel[nChannel - 1].m_dStrom : 0.0;
        // A failed output write names itself as one.
        const QString what = nChannel ? QString() : QStringLiteral("Schaltausgang: ");
        if (now.nError)
            NotifyHardwareEvent(view, ChannelEvent::TransferError, nChannel, current,
                                what + FailureText(now, m_config));
        else
            NotifyHardwareEvent(view, ChannelEvent::TransferRestored, nChannel, current, what);
    };
    for (int i = 0; i < CHardwareWorker::kChannels; ++i)
        report(m_reported.channel[i], st.channel[i], i + 1);
    report(m_reported.output, st.output, 0);
    for (int i = 0; i < CHardwareWorker::kChannels; ++i) {
        const std::uint8_t was = m_reported.unconfirmed[i];
        const std::uint8_t now = st.unconfirmed[i];
        if (was == now)
            continue;
        const double current = view.m_channel[i].m_dStrom;
        if (now)
            NotifyHardwareEvent(view, ChannelEvent::OutputUnconfirmed, i + 1, current,
                                QStringLiteral("Ausgang nicht bestätigt: Kanal %1, Gerät %2")
                                    .arg(i + 1)
                                    .arg(HexAddress(now)));
        else
            NotifyHardwareEvent(view, ChannelEvent::TransferRestored, i + 1, current,
                                QStringLiteral("Ausgang bestätigt: Kanal %1, Gerät %2")
                                    .arg(i + 1)
                                    .arg(HexAddress(was)));
    }
    m_reported = st;
}

void CHardwareModule::OnHardwareKonfiguration()
{
    CHardwareConfigDlg dlg(m_config, m_frame);
    if (dlg.exec() != QDialog::Accepted)
        return;
    SetConfig(dlg.Result());
    if (CWinApp* app = CWinApp::Instance())
        m_config.Save(app->Settings());
}

CSimulatorWnd* CHardwareModule::SimulatorWindow() const
{
    return m_simulator;
}

void CHardwareModule::OnSimulator()
{
    if (!IsSimulating())
        return;
    if (!m_simulator)
        m_simulator = new CSimulatorWnd(m_frame);
    m_simulator->SetLayout(m_layout.get());
    m_simulator->show();
    m_simulator->raise();
}
