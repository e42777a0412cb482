#pragma once
// Real hardware as current source and switch outputs: an opt-in add-on that
// listens to the monitoring views and answers its own commands.

#include "framework/CmdTarget.h"
#include "hwlink/HardwareConfig.h"
#include "hw/SimScript.h"
#include "hwlink/HardwareWorker.h"
#include "res/resource.h"
#include "view/ViewEvents.h"

#include <QList>
#include <QPointer>
#include <memory>

class CMDIFrameWnd;
class CI2CNode;
class CPortBackend;
class CSimLayout;
class CSimulatorWnd;
class QLabel;
class QObject;
class QTimer;

class CHardwareModule : public CCmdTarget, public IViewListener, public IChannelSource
{
public:
    // bSimulate: start in simulation mode (command line --simulate).
    CHardwareModule(CMDIFrameWnd* frame, bool bSimulate);
    ~CHardwareModule() override;

    // The configuration used from the next view that opens.
    const HardwareConfig& Config() const { return m_config; }
    void SetConfig(const HardwareConfig& config);
    // The real ports go through this backend (nullptr: the machine's ports).
    void SetBackend(CPortBackend* backend) { m_backend = backend; }
    // Kernel adapters go through this node (nullptr: the machine's
    // /dev/i2c-N); layout, when given, is the simulated layout behind it.
    void SetI2CNode(CI2CNode* node, CSimLayout* layout = nullptr)
    {
        m_i2cNode = node;
        m_i2cLayout = layout;
    }
    // Faults the simulated layout plays from its start (--sim-script).
    void SetSimScript(const CSimScript& script) { m_simScript = script; }
    bool IsSimulating() const { return m_config.nPort == HardwareConfig::Simulation; }

    // While a view is connected: its worker and, when simulating, the layout.
    CHardwareWorker* Worker() const { return m_worker.get(); }
    CSimLayout* Layout() const { return m_layout.get(); }
    // The stop pattern's bytes as written when the last view closed.
    const std::map<std::uint8_t, std::uint8_t>& LastWrittenOutputs() const { return m_lastWritten; }
    QString StatusText() const { return m_strStatus; }

    // Commands.
    void OnHardwareKonfiguration();
    void OnSimulator();
    CSimulatorWnd* SimulatorWindow() const;

    bool ReadCurrent(int nChannel, double& current, bool& stale) override;
    bool ReadSample(int nChannel, Sample& sample) override;
    bool TripsChannel(int nChannel) const override;
    void OnViewOpened(CVelkorView& view) override;
    void OnViewClosing(CVelkorView& view) override;
    void OnChannelEvent(CVelkorView& view, ChannelEvent kind, int nChannel,
                        double current) override;
    void OnSettingsChanged(CVelkorView& view) override;

    // Seconds since the last completed sweep beyond which the status says so.
    static constexpr int kNoReadingsAfterS = 2;
    // An Abfragezeit above this gets a hint that only the display is slow.
    static constexpr quint32 kSlowDisplayMs = 10000;

private:
    void CreateStatusPane();
    void ReportRefusedSettings();
    // Makes view the one that drives the hardware: from its first update, or
    // taking over from a window that closed.
    void Connect(CVelkorView& view, bool bFirstUpdate);
    void SetStatus(const QString& text);
    void OnWorkerStatus();
    // Hands the trips the worker made to the view, oldest first.
    void DeliverTrips();
    // Once a second: whether sweeps still come.
    void CheckSweeps();
    QString ConnectedText(const CHardwareWorker::Status& st) const;
    CHardwareWorker::Limits Limits(const CVelkorView& view) const;
    void SendOutputs(const CVelkorView& view);
    // Tells the listeners (the journal) which failures began or ended.
    void ReportTransferChanges(const CHardwareWorker::Status& st);
    CHardwareWorker::Outputs SwitchedOn(const CVelkorView& view) const;
    CHardwareWorker::Outputs Pattern(int nWert) const;

    CMDIFrameWnd* m_frame;
    bool m_bSimulate;
    HardwareConfig m_config;
    CPortBackend* m_backend = nullptr;
    CI2CNode* m_i2cNode = nullptr;
    CSimLayout* m_i2cLayout = nullptr;
    std::unique_ptr<QObject> m_context; // queued calls from the worker land here
    QPointer<QLabel> m_pane;
    QString m_strStatus;
    QPointer<CVelkorView> m_view;           // the one view that drives the hardware
    QList<QPointer<CVelkorView>> m_waiting; // opened later, in order
    std::unique_ptr<CSimLayout> m_layout;
    CSimScript m_simScript;
    std::unique_ptr<CHardwareWorker> m_worker;
    std::map<std::uint8_t, std::uint8_t> m_lastWritten;
    bool m_bFailureShown = false;
    QStringList m_refusedSettings;       // stored keys not taken, until the first window shows them
    CHardwareWorker::Status m_reported;  // the failures last told to the listeners
    CHardwareWorker::TripCounts m_seen{}; // per channel, the trips the view has shown
    CHardwareWorker::Limits m_sentLimits{};
    int m_nNoReadingsS = 0; // seconds without a sweep, once past the bound; 0: sweeps come
    QTimer* m_sweepWatch = nullptr; // child of m_context
    QPointer<CSimulatorWnd> m_simulator; // owned by the frame when there is one
};
