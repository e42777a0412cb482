#pragma once
// Signals of the process: the unattended mode's SIGTERM, SIGINT and SIGQUIT
// save before the program ends (Headless.h), and so do the window's; SIGHUP
// reads the settings again; every other signal whose default would end the
// program without saving (SIGUSR1, SIGUSR2, SIGALRM, ...) is caught and
// dropped.

#include <QObject>
#include <functional>
#include <initializer_list>
#include <vector>

class QSocketNotifier;

// At the very start; the handlers do nothing, so programs started from here
// get the default dispositions back.
void CatchStraySignals();

// While the object lives, each of the signals calls call on the window's
// thread (the handler only writes a byte to a socket); afterwards they are
// caught and dropped again, or get their default back with bDefaultAfter.
class CSignalCall : public QObject
{
public:
    CSignalCall(std::initializer_list<int> numbers, std::function<void()> call,
                bool bDefaultAfter = false);
    ~CSignalCall() override;

private:
    std::vector<int> m_signals;
    std::function<void()> m_call;
    bool m_bDefaultAfter;
    int m_fd[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
};
