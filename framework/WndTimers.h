#pragma once
// Window timers keyed by the caller's id, as a window owns them: setting a
// running id restarts it, and all end with the owner.

#include <QObject>
#include <QtGlobal>
#include <functional>
#include <map>

class QTimer;

class CWndTimers : public QObject
{
public:
    // Periods below this run at this; a period of 0 or 1 must not spin.
    static constexpr unsigned kMinimumMs = 10;

    explicit CWndTimers(std::function<void(quintptr)> handler, QObject* parent = nullptr);
    ~CWndTimers() override;

    void SetTimer(quintptr nIDEvent, quint64 nElapse);
    bool KillTimer(quintptr nIDEvent);
    void KillAll();
    bool IsRunning(quintptr nIDEvent) const;
    // The period in effect, or -1 when the timer is not running.
    int Interval(quintptr nIDEvent) const;

private:
    std::function<void(quintptr)> m_handler;
    std::map<quintptr, QTimer*> m_timers;
};
