#include "app/Signals.h"

#include "framework/Logging.h"

#include <QSocketNotifier>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Per signal, the socket its handler writes to, plus one (0: none).
std::atomic<int> g_callFd[NSIG];

void Ignore(int) {}

// Only async-signal-safe work here: one byte into the socket.
void Forward(int signal)
{
    const int fd = g_callFd[signal].load() - 1;
    if (fd < 0)
        return;
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd, &c, 1);
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

CSignalCall::CSignalCall(std::initializer_list<int> numbers, std::function<void()> call,
                         bool bDefaultAfter)
    : m_signals(numbers), m_call(std::move(call)), m_bDefaultAfter(bDefaultAfter)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, m_fd) != 0) {
        qCCritical(lcApp, "Signale können nicht empfangen werden: %s", std::strerror(errno));
        return;
    }
    m_notifier = new QSocketNotifier(m_fd[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char c = 0;
        [[maybe_unused]] const ssize_t n = ::read(m_fd[0], &c, 1);
        m_call();
    });
    for (int s : m_signals) {
        g_callFd[s] = m_fd[1] + 1;
        Handle(s, Forward);
    }
}

CSignalCall::~CSignalCall()
{
    for (int s : m_signals) {
        if (m_bDefaultAfter)
            std::signal(s, SIG_DFL);
        else
            Handle(s, Ignore);
        g_callFd[s] = 0;
    }
    for (int fd : m_fd)
        if (fd >= 0)
            ::close(fd);
}
