#include "alarm/AlarmModule.h"

#include "alarm/AlarmDlg.h"
#include "framework/MDIFrame.h"
#include "framework/WinApp.h"
#include "res/resource.h"
#include "view/Truncate.h"
#include "view/VelkorView.h"

#include <QApplication>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>

namespace {

const QString kBell = QStringLiteral("bell");

quint64 KeyOf(const CVelkorView* view)
{
    return quint64(quintptr(view));
}

} // namespace

QString AlarmCurrentText(double current)
{
    // German like the rest of the program's texts, whatever the desktop's locale.
    QLocale german(QLocale::German, QLocale::Germany);
    german.setNumberOptions(QLocale::OmitGroupSeparator);
    return german.toString(korva_view::TruncTo(current, 100.0), 'f', 2) + QStringLiteral(" A");
}

QString AlarmChannelText(int nChannel, const QString& name, const QString& what)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return QStringLiteral("Kanal %1 %2").arg(nChannel).arg(what);
    return QStringLiteral("Kanal %1 „%2“ %3").arg(nChannel).arg(trimmed, what);
}

int CAlarmModule::Sink::MessageBox(QWidget* parent, const QString& text, const QString& caption,
                                   unsigned type)
{
    return m_inner->MessageBox(parent, text, caption, type);
}

void CAlarmModule::Sink::MessageBeep(unsigned type)
{
    if (!m_module.m_config.bSound) {
        m_inner->MessageBeep(type); // as without the alarm
        return;
    }
    m_module.Request(Sound::Bell);
}

CAlarmModule::CAlarmModule(CMDIFrameWnd* frame, const AlarmConfig& config, Options options)
    : m_frame(frame), m_config(config), m_bNotifications(options.bNotifications),
      m_strBusAddress(options.strBusAddress), m_sink(*this), m_context(std::make_unique<QObject>()),
      m_repeat(new QTimer(m_context.get())), m_player(std::move(options.player))
{
    QObject::connect(m_repeat, &QTimer::timeout, m_context.get(), [this] { OnRepeat(); });
    OnCommand(ID_ALARM, [this] { OnAlarm(); });
    m_sink.m_inner = &MessageSink();
    SetMessageSink(&m_sink);
    SetConfig(config);
    AddViewListener(this);
}

CAlarmModule::~CAlarmModule()
{
    RemoveViewListener(this);
    // Whoever installed a sink after us restores theirs.
    if (&MessageSink() == &m_sink)
        SetMessageSink(m_sink.m_inner);
    m_context.reset();
    m_notifier.reset();
}

void CAlarmModule::SetConfig(const AlarmConfig& config)
{
    m_config = config;
    const bool bNotify = m_bNotifications && m_config.bNotify;
    if (bNotify && !m_notifier) {
        m_notifier = std::make_unique<CDesktopNotifier>(m_strBusAddress);
        m_notifier->SetActivated([this](quint64 key) { Raise(key); });
    } else if (!bNotify) {
        m_notifier.reset();
    }
    UpdateRepeat();
}

IAlarmPlayer* CAlarmModule::Player()
{
    // The sound thread starts with the first sound, not with the program.
    if (!m_player)
        m_player = std::make_unique<CCanberraPlayer>([] { QApplication::beep(); });
    return m_player.get();
}

bool CAlarmModule::IsRepeating() const
{
    return m_repeat->isActive();
}

void CAlarmModule::OnViewClosing(CVelkorView& view)
{
    m_views.erase(&view);
    UpdateRepeat();
}

void CAlarmModule::OnChannelEvent(CVelkorView& view, ChannelEvent kind, int nChannel,
                                  double current)
{
    ViewAlarm& state = m_views[&view];
    const quint32 bit = nChannel >= 1 && nChannel <= 32 ? 1u << (nChannel - 1) : 0u;
    switch (kind) {
    case ChannelEvent::Cutoff:
        // A channel still too high is cut off again whenever measuring
        // resumes: the sound again, but no new notice.
        if (!(state.nCut & bit))
            state.cut.append({nChannel, current});
        state.nCut |= bit;
        if (m_config.bSound)
            Request(Sound::Warning);
        break;
    case ChannelEvent::AutoOnRefused:
        if (m_config.bSound)
            Request(Sound::Warning);
        break;
    case ChannelEvent::AutoOn:
        if (state.nCut & bit)
            state.back.append({nChannel, current});
        state.nCut &= ~bit;
        break;
    case ChannelEvent::ManualOnLocked:
        // The lock's message box is the third beep of the program.
        if (m_config.bSound)
            Request(Sound::Bell);
        break;
    default:
        break;
    }
    ScheduleFlush();
}

void CAlarmModule::OnHardwareEvent(CVelkorView&, ChannelEvent kind, int, double, const QString&)
{
    if (kind != ChannelEvent::OutputUnconfirmed || !m_config.bSound)
        return;
    Request(Sound::Warning);
    ScheduleFlush();
}

void CAlarmModule::Request(Sound sound)
{
    if (sound > m_pending)
        m_pending = sound;
    ScheduleFlush();
}

// Once per tick that had something to say: the beeps and events of one tick
// all arrive before it returns to the event loop.
void CAlarmModule::ScheduleFlush()
{
    if (m_bFlushPending)
        return;
    m_bFlushPending = true;
    QMetaObject::invokeMethod(
        m_context.get(), [this] { Flush(); }, Qt::QueuedConnection);
}

void CAlarmModule::Flush()
{
    m_bFlushPending = false;
    const Sound sound = std::exchange(m_pending, Sound::None);
    if (m_config.bSound && sound != Sound::None)
        PlaySound(sound);
    for (auto& [view, state] : m_views) {
        if (state.cut.isEmpty() && state.back.isEmpty())
            continue;
        if (m_notifier)
            Notify(*view, state);
        state.cut.clear();
        state.back.clear();
    }
    UpdateRepeat();
}

void CAlarmModule::PlaySound(Sound sound)
{
    Player()->Play(sound == Sound::Warning ? m_config.strSound : kBell);
}

void CAlarmModule::Notify(const CVelkorView& view, ViewAlarm& state)
{
    auto text = [&view](const Line& l, const QString& what) {
        return AlarmChannelText(l.nChannel, view.m_strName[l.nChannel - 1], what);
    };
    auto cutText = [&](const Line& l) {
        return text(l, QStringLiteral("abgeschaltet (%1)").arg(AlarmCurrentText(l.dCurrent)));
    };
    const QString again = QStringLiteral("wieder eingeschaltet");

    AlarmNotice notice;
    QStringList body;
    if (!state.cut.isEmpty()) {
        notice.strSummary = state.cut.size() == 1
                                ? cutText(state.cut.first())
                                : QStringLiteral("%1 Kanäle abgeschaltet").arg(state.cut.size());
        if (state.cut.size() > 1)
            for (const Line& l : state.cut)
                body << cutText(l);
        for (const Line& l : state.back)
            body << text(l, again);
    } else {
        notice.strSummary =
            state.back.size() == 1
                ? text(state.back.first(), again)
                : QStringLiteral("%1 Kanäle wieder eingeschaltet").arg(state.back.size());
        if (state.back.size() > 1)
            for (const Line& l : state.back)
                body << text(l, again);
    }
    // Channels cut off before this notice, which it replaces, are still off.
    QStringList still;
    for (int k = 1; k <= CVelkorView::kChannels; ++k) {
        const quint32 bit = 1u << (k - 1);
        const bool bNew = std::any_of(state.cut.cbegin(), state.cut.cend(),
                                      [k](const Line& l) { return l.nChannel == k; });
        if ((state.nCut & bit) && !bNew)
            still << AlarmChannelText(k, view.m_strName[k - 1], QString()).trimmed();
    }
    if (!still.isEmpty())
        body << QStringLiteral("Weiterhin abgeschaltet: %1").arg(still.join(QStringLiteral(", ")));
    notice.strBody = body.join(QLatin1Char('\n'));
    notice.nUrgency =
        state.cut.isEmpty() && still.isEmpty() ? AlarmNotice::kNormal : AlarmNotice::kCritical;
    m_notifier->Show(KeyOf(&view), notice);
}

// The view's flags are the truth: a switch-on by hand clears them too.
bool CAlarmModule::SyncCutOff()
{
    bool bAny = false;
    for (auto& [view, state] : m_views) {
        quint32 cut = 0;
        for (int i = 0; i < CVelkorView::kChannels; ++i)
            if (view->m_channel[i].m_bAbgeschaltet == 1)
                cut |= 1u << i;
        state.nCut = cut;
        bAny = bAny || cut != 0;
    }
    return bAny;
}

void CAlarmModule::UpdateRepeat()
{
    const bool bAny = SyncCutOff();
    const bool bRepeat = m_config.bSound && m_config.nRepeatSeconds > 0 && bAny;
    if (!bRepeat)
        m_repeat->stop();
    else if (!m_repeat->isActive() || m_repeat->interval() != m_config.nRepeatSeconds * 1000)
        m_repeat->start(m_config.nRepeatSeconds * 1000);
}

void CAlarmModule::OnRepeat()
{
    UpdateRepeat();
    if (m_repeat->isActive())
        PlaySound(Sound::Warning);
}

void CAlarmModule::Raise(quint64 key)
{
    for (auto& [view, state] : m_views) {
        if (KeyOf(view) != key)
            continue;
        for (QWidget* w = view->parentWidget(); w; w = w->parentWidget()) {
            if (auto* sub = qobject_cast<QMdiSubWindow*>(w)) {
                if (sub->mdiArea())
                    sub->mdiArea()->setActiveSubWindow(sub);
                break;
            }
        }
        QWidget* top = view->window();
        top->setWindowState((top->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        top->show();
        top->raise();
        top->activateWindow();
        return;
    }
}

void CAlarmModule::OnAlarm()
{
    CAlarmDlg dlg(m_config, m_frame);
    QObject::connect(&dlg, &CAlarmDlg::TryOut, m_context.get(),
                     [this](const QString& id) { Player()->Play(id); });
    if (dlg.exec() != QDialog::Accepted)
        return;
    if (CWinApp* app = CWinApp::Instance())
        dlg.Result().Save(app->Settings());
    SetConfig(dlg.Result());
}
