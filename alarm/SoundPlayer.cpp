#include "alarm/SoundPlayer.h"

#include "framework/Logging.h"
#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>
#include <canberra.h>
#include <chrono>
#include <cstdio>
#include <dlfcn.h>

namespace {

std::atomic<bool> g_bWarned{false};

void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

// Without a sound server libcanberra falls back to ALSA, whose library
// prints several lines for a missing card on every attempt; one warning of
// our own says it all.
void SilenceAlsa()
{
    void* lib = dlopen("libasound.so.2", RTLD_LAZY | RTLD_LOCAL);
    if (!lib)
        return;
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetHandler = int (*)(Handler);
    if (auto set = reinterpret_cast<SetHandler>(dlsym(lib, "snd_lib_error_set_handler")))
        set(QuietAlsa);
    // Stays loaded: the handler lives in the library.
}

} // namespace

CCanberraPlayer::CCanberraPlayer(std::function<void()> bell) : m_bell(std::move(bell))
{
    m_thread = std::thread([this] { Run(); });
}

CCanberraPlayer::~CCanberraPlayer()
{
    {
        std::lock_guard lock(m_mutex);
        m_bStop = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void CCanberraPlayer::SetStartedHook(std::function<void(const QString&, int)> hook)
{
    std::lock_guard lock(m_mutex);
    m_started = std::move(hook);
}

void CCanberraPlayer::Play(const QString& eventId)
{
    {
        std::lock_guard lock(m_mutex);
        m_pending = eventId;
    }
    m_wake.notify_one();
}

void CCanberraPlayer::Run()
{
    SilenceAlsa();
    for (;;) {
        QString id;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_bStop || !m_pending.isEmpty(); });
            if (m_bStop)
                break;
            id = std::exchange(m_pending, QString());
        }
        PlayNow(id);
    }
    CloseContext();
}

void CCanberraPlayer::OnFinished(ca_context*, uint32_t, int, void* self)
{
    auto* player = static_cast<CCanberraPlayer*>(self);
    {
        std::lock_guard lock(player->m_mutex);
        --player->m_nPlaying;
    }
    player->m_finished.notify_all();
}

// The ALSA backend plays each sound on a thread of its own, and threads of
// the sound libraries below it outlive even the end of a sound; destroying
// the context unloads their code under them. So the context lives as long
// as the process: at the end the sounds are only cancelled.
void CCanberraPlayer::CloseContext()
{
    auto* ctx = static_cast<ca_context*>(m_context);
    if (!ctx)
        return;
    ca_context_cancel(ctx, 0);
    std::unique_lock lock(m_mutex);
    m_finished.wait_for(lock, std::chrono::seconds(3), [this] { return m_nPlaying == 0; });
}

// Opened at the first sound; each sound looks for the sound server anew, so
// one that starts later is found.
bool CCanberraPlayer::PlayNow(const QString& eventId)
{
    auto* ctx = static_cast<ca_context*>(m_context);
    int rc = CA_SUCCESS;
    if (!ctx) {
        rc = ca_context_create(&ctx);
        if (rc == CA_SUCCESS) {
            ca_context_change_props(ctx, CA_PROP_APPLICATION_NAME, "KORVA_Powermanagement",
                                    CA_PROP_APPLICATION_ID, "korva", CA_PROP_APPLICATION_ICON_NAME,
                                    "korva", nullptr);
            rc = ca_context_open(ctx);
            if (rc != CA_SUCCESS) {
                ca_context_destroy(ctx);
                ctx = nullptr;
            }
        }
        m_context = ctx;
    }
    if (ctx) {
        ca_proplist* props = nullptr;
        rc = ca_proplist_create(&props);
        if (rc == CA_SUCCESS) {
            ca_proplist_sets(props, CA_PROP_EVENT_ID, eventId.toUtf8().constData());
            ca_proplist_sets(props, CA_PROP_EVENT_DESCRIPTION, "Kanal abgeschaltet");
            {
                std::lock_guard lock(m_mutex);
                ++m_nPlaying;
            }
            rc = ca_context_play_full(ctx, 0, props, &CCanberraPlayer::OnFinished, this);
            if (rc != CA_SUCCESS) {
                std::lock_guard lock(m_mutex);
                --m_nPlaying;
            }
            ca_proplist_destroy(props);
        }
    }
    std::function<void(const QString&, int)> started;
    {
        std::lock_guard lock(m_mutex);
        started = m_started;
    }
    if (started)
        started(eventId, rc);
    if (rc == CA_SUCCESS)
        return true;
    Fallback(eventId, rc);
    return false;
}

void CCanberraPlayer::Fallback(const QString& eventId, int error)
{
    if (!g_bWarned.exchange(true)) {
        qCWarning(lcAlarm,
                  "Warnung: Der Alarmton „%s“ kann nicht abgespielt werden (%s); "
                  "es ertönt nur der einfache Signalton.",
                  qUtf8Printable(eventId), ca_strerror(error));
    }
    if (m_bell && QCoreApplication::instance())
        QMetaObject::invokeMethod(QCoreApplication::instance(), m_bell, Qt::QueuedConnection);
}
