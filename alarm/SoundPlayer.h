#pragma once
// Event sounds of the freedesktop sound theme through the desktop's sound
// server (libcanberra). Connecting to the server can take long or hang, so
// the library only runs on a thread of its own; a request is handed over
// under a lock and wakes that thread only when there is something to play.

#include <QString>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

struct ca_context;

class IAlarmPlayer
{
public:
    virtual ~IAlarmPlayer() = default;
    // Plays the theme's sound of that name; never blocks the caller.
    virtual void Play(const QString& eventId) = 0;
};

class CCanberraPlayer : public IAlarmPlayer
{
public:
    // bell runs on the window thread instead of a sound that cannot play.
    explicit CCanberraPlayer(std::function<void()> bell);
    ~CCanberraPlayer() override;
    CCanberraPlayer(const CCanberraPlayer&) = delete;
    CCanberraPlayer& operator=(const CCanberraPlayer&) = delete;

    void Play(const QString& eventId) override;

    // Called on the player's thread once the sound has started (error 0) or
    // failed (a libcanberra error code); for measurements.
    void SetStartedHook(std::function<void(const QString&, int)> hook);

private:
    void Run();
    bool PlayNow(const QString& eventId);
    void Fallback(const QString& eventId, int error);
    void CloseContext();
    static void OnFinished(ca_context* context, uint32_t id, int error, void* self);

    std::function<void()> m_bell;
    std::function<void(const QString&, int)> m_started;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    QString m_pending; // the newest request; older ones not yet played are dropped
    bool m_bStop = false;
    int m_nPlaying = 0; // sounds started and not yet finished
    std::condition_variable m_finished;
    void* m_context = nullptr; // ca_context, only touched by m_thread
    std::thread m_thread;
};
