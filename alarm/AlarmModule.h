#pragma once
// The alarm as an add-on: the view's beeps become the sound theme's event
// sounds ("dialog-warning" or the chosen sound for a cutoff and a refused
// automatic switch-on, "bell" for the others), one sound per tick however
// many channels it cuts off, repeated while a channel stays cut off when so
// set; and a desktop notification per tick that cuts channels off or brings
// them back. It takes the beeps by wrapping the program's message sink and
// learns their reason from the view's events; both come in the middle of a
// tick, so the work is done once the tick has returned, and only then.

#include "alarm/AlarmConfig.h"
#include "alarm/DesktopNotifier.h"
#include "alarm/SoundPlayer.h"
#include "framework/CmdTarget.h"
#include "framework/Messages.h"
#include "view/ViewEvents.h"

#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>

class CMDIFrameWnd;
class CVelkorView;
class QTimer;

class CAlarmModule : public CCmdTarget, public IViewListener
{
public:
    struct Options
    {
        bool bNotifications = true;           // false in the unattended mode
        std::unique_ptr<IAlarmPlayer> player; // null: libcanberra
        QString strBusAddress;                // empty: the session bus
    };

    CAlarmModule(CMDIFrameWnd* frame, const AlarmConfig& config, Options options);
    ~CAlarmModule() override;
    CAlarmModule(const CAlarmModule&) = delete;
    CAlarmModule& operator=(const CAlarmModule&) = delete;

    void SetConfig(const AlarmConfig& config);
    const AlarmConfig& Config() const { return m_config; }
    bool IsRepeating() const;
    IAlarmPlayer* Player();
    CDesktopNotifier* Notifier() const { return m_notifier.get(); }

    // Command: the dialog "Alarm".
    void OnAlarm();

    void OnViewClosing(CVelkorView& view) override;
    void OnChannelEvent(CVelkorView& view, ChannelEvent kind, int nChannel,
                        double current) override;
    // An output that does not go off is as serious as the short behind it.
    void OnHardwareEvent(CVelkorView& view, ChannelEvent kind, int nChannel, double current,
                         const QString& detail) override;

private:
    enum class Sound
    {
        None,
        Bell,
        Warning
    };
    struct Line
    {
        int nChannel;
        double dCurrent;
    };
    struct ViewAlarm
    {
        quint32 nCut = 0; // channels known to be cut off, bit k - 1
        QList<Line> cut;  // newly cut off since the last flush
        QList<Line> back; // switched back on automatically since then
    };
    class Sink : public IMessageSink
    {
    public:
        explicit Sink(CAlarmModule& module) : m_module(module) {}
        int MessageBox(QWidget* parent, const QString& text, const QString& caption,
                       unsigned type) override;
        void MessageBeep(unsigned type) override;
        IMessageSink* m_inner = nullptr;

    private:
        CAlarmModule& m_module;
    };

    void Request(Sound sound);
    void ScheduleFlush();
    void Flush();
    void PlaySound(Sound sound);
    void Notify(const CVelkorView& view, ViewAlarm& state);
    void UpdateRepeat();
    void OnRepeat();
    bool SyncCutOff();
    void Raise(quint64 key);

    CMDIFrameWnd* m_frame;
    AlarmConfig m_config;
    bool m_bNotifications;
    QString m_strBusAddress;
    Sink m_sink;
    std::unique_ptr<QObject> m_context; // queued calls and the repeat timer
    QTimer* m_repeat;                   // owned by m_context
    std::unique_ptr<IAlarmPlayer> m_player;
    std::unique_ptr<CDesktopNotifier> m_notifier;
    std::map<CVelkorView*, ViewAlarm> m_views;
    Sound m_pending = Sound::None;
    bool m_bFlushPending = false;
};

// "Kanal 5 „Süd-Gleis“ abgeschaltet (4,52 A)" and its kin, as the notification shows them.
QString AlarmChannelText(int nChannel, const QString& name, const QString& what);
QString AlarmCurrentText(double current);
