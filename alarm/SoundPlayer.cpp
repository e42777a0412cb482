#include "alarm/SoundPlayer.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>
#include <canberra.h>
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
    if (m_context)
        ca_context_destroy(static_cast<ca_context*>(m_context));
}

// Opened at the first sound and again after a failure, so a sound server
// that starts later is found.
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
        const QByteArray id = eventId.toUtf8();
        rc = ca_context_play(ctx, 0, CA_PROP_EVENT_ID, id.constData(), CA_PROP_EVENT_DESCRIPTION,
                             "Kanal abgeschaltet", nullptr);
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
    if (ctx && rc != CA_ERROR_NOTFOUND) {
        // The server may have gone; the next sound connects anew.
        ca_context_destroy(ctx);
        m_context = nullptr;
    }
    Fallback(eventId, rc);
    return false;
}

void CCanberraPlayer::Fallback(const QString& eventId, int error)
{
    if (!g_bWarned.exchange(true)) {
        std::fprintf(stderr,
                     "korva: Warnung: Der Alarmton „%s“ kann nicht abgespielt werden (%s); "
                     "es ertönt nur der einfache Signalton.\n",
                     eventId.toUtf8().constData(), ca_strerror(error));
        std::fflush(stderr);
    }
    if (m_bell && QCoreApplication::instance())
        QMetaObject::invokeMethod(QCoreApplication::instance(), m_bell, Qt::QueuedConnection);
}
