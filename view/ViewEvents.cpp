#include "view/ViewEvents.h"

#include <QList>

namespace {
QList<IViewListener*>& listeners()
{
    static QList<IViewListener*> list;
    return list;
}

// Switching runs on the window's thread only.
QString& currentOrigin()
{
    static QString origin;
    return origin;
}
} // namespace

void AddViewListener(IViewListener* listener)
{
    if (!listeners().contains(listener))
        listeners().append(listener);
}

void RemoveViewListener(IViewListener* listener)
{
    listeners().removeAll(listener);
}

// Copies: a listener may remove itself while being called.
void NotifyViewOpened(CVelkorView& view)
{
    for (IViewListener* l : QList<IViewListener*>(listeners()))
        l->OnViewOpened(view);
}

void NotifyViewClosing(CVelkorView& view)
{
    for (IViewListener* l : QList<IViewListener*>(listeners()))
        l->OnViewClosing(view);
}

void NotifyChannelEvent(CVelkorView& view, ChannelEvent kind, int nChannel, double current)
{
    for (IViewListener* l : QList<IViewListener*>(listeners()))
        l->OnChannelEvent(view, kind, nChannel, current);
}

void NotifyMeasured(CVelkorView& view)
{
    if (listeners().isEmpty())
        return;
    for (IViewListener* l : QList<IViewListener*>(listeners()))
        l->OnMeasured(view);
}

void NotifyStandstill(CVelkorView& view)
{
    for (IViewListener* l : QList<IViewListener*>(listeners()))
        l->OnStandstill(view);
}

void NotifySettingsChanged(CVelkorView& view)
{
    for (IViewListener* l : QList<IViewListener*>(listeners()))
        l->OnSettingsChanged(view);
}

void NotifyHardwareEvent(CVelkorView& view, ChannelEvent kind, int nChannel, double current,
                         const QString& detail)
{
    for (IViewListener* l : QList<IViewListener*>(listeners()))
        l->OnHardwareEvent(view, kind, nChannel, current, detail);
}

QString CurrentSwitchOrigin()
{
    return currentOrigin();
}

ScopedSwitchOrigin::ScopedSwitchOrigin(const QString& origin) : m_previous(currentOrigin())
{
    currentOrigin() = origin;
}

ScopedSwitchOrigin::~ScopedSwitchOrigin()
{
    currentOrigin() = m_previous;
}

namespace {

qint64& currentEventTime()
{
    static qint64 t = 0;
    return t;
}

} // namespace

qint64 CurrentEventTime()
{
    return currentEventTime();
}

ScopedEventTime::ScopedEventTime(qint64 msecsSinceEpoch) : m_previous(currentEventTime())
{
    currentEventTime() = msecsSinceEpoch;
}

ScopedEventTime::~ScopedEventTime()
{
    currentEventTime() = m_previous;
}
