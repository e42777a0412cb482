#pragma once
// Signals of the process beyond the unattended mode's SIGTERM, SIGINT and
// SIGQUIT (Headless.h), which save before the program ends: SIGHUP reads the
// settings again, and every other signal whose default would end the program
// without saving (SIGUSR1, SIGUSR2, SIGALRM, ...) is caught and dropped.

#include <QObject>
#include <functional>

class QSocketNotifier;

// At the very start; the handlers do nothing, so programs started from here
// get the default dispositions back.
void CatchStraySignals();

// SIGHUP calls reload on the window's thread while the object lives.
class CReloadSignal : public QObject
{
public:
    explicit CReloadSignal(std::function<void()> reload);
    ~CReloadSignal() override;

private:
    std::function<void()> m_reload;
    QSocketNotifier* m_notifier = nullptr;
};
