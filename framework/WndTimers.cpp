#include "framework/WndTimers.h"

#include <QTimer>
#include <climits>

CWndTimers::CWndTimers(std::function<void(quintptr)> handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler))
{
}

CWndTimers::~CWndTimers() { KillAll(); }

void CWndTimers::SetTimer(quintptr nIDEvent, quint64 nElapse)
{
    QTimer*& timer = m_timers[nIDEvent];
    if (!timer) {
        timer = new QTimer(this);
        timer->setTimerType(Qt::PreciseTimer);
        connect(timer, &QTimer::timeout, this, [this, nIDEvent] { m_handler(nIDEvent); });
    }
    const quint64 ms = qBound<quint64>(kMinimumMs, nElapse, quint64(INT_MAX));
    timer->start(int(ms));
}

bool CWndTimers::KillTimer(quintptr nIDEvent)
{
    auto it = m_timers.find(nIDEvent);
    if (it == m_timers.end())
        return false;
    delete it->second;
    m_timers.erase(it);
    return true;
}

void CWndTimers::KillAll()
{
    for (auto& [id, timer] : m_timers)
        delete timer;
    m_timers.clear();
}

bool CWndTimers::IsRunning(quintptr nIDEvent) const { return m_timers.count(nIDEvent) != 0; }

int CWndTimers::Interval(quintptr nIDEvent) const
{
    auto it = m_timers.find(nIDEvent);
    return it == m_timers.end() ? -1 : it->second->interval();
}
