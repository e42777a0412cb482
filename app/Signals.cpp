#include "app/Signals.h"

#include "framework/Logging.h"

#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_hupFd[2] = {-1, -1};

void Ignore(int) {}

// Only async-signal-safe work here: one byte into the pipe.
void OnHangup(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_hupFd[1], &c, 1);
}

void Handle(int signal, void (*handler)(int))
{
    struct sigaction sa = {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(signal, &sa, nullptr);
}

} // namespace

void CatchStraySignals()
{
    for (int s : {SIGHUP, SIGUSR1, SIGUSR2, SIGPIPE, SIGALRM, SIGVTALRM, SIGPROF, SIGIO, SIGPWR,
                  SIGSTKFLT})
        Handle(s, Ignore);
    // Real-time signals end the program by default as well; those a library
    // has taken for itself stay with it.
    for (int s = SIGRTMIN; s <= SIGRTMAX; ++s) {
        struct sigaction current = {};
        if (sigaction(s, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
            Handle(s, Ignore);
    }
}

CReloadSignal::CReloadSignal(std::function<void()> reload) : m_reload(std::move(reload))
{
    if (g_hupFd[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_hupFd) != 0) {
        qCCritical(lcApp, "SIGHUP kann nicht empfangen werden: %s", std::strerror(errno));
        return;
    }
    m_notifier = new QSocketNotifier(g_hupFd[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char c = 0;
        [[maybe_unused]] const ssize_t n = ::read(g_hupFd[0], &c, 1);
        m_reload();
    });
    Handle(SIGHUP, OnHangup);
}

CReloadSignal::~CReloadSignal()
{
    Handle(SIGHUP, Ignore);
}
