#pragma once
// Which view an add-on serves to the outside: the first one opened; when it
// closes, the next one opened in order takes over.

#include "view/VelkorView.h"
#include "view/ViewEvents.h"

#include <QList>
#include <QObject>
#include <QPointer>

class CServedView
{
public:
    CVelkorView* View() const { return m_view; }
    bool Is(const CVelkorView& view) const { return &view == m_view; }
    // True when the view is now the served one.
    bool Opened(CVelkorView& view)
    {
        if (m_view) {
            m_waiting.append(&view);
            return false;
        }
        m_view = &view;
        return true;
    }
    // True when the served view changed (to the next one, or to none).
    bool Closing(CVelkorView& view)
    {
        m_waiting.removeAll(&view);
        if (&view != m_view)
            return false;
        m_view = nullptr;
        while (!m_view && !m_waiting.isEmpty())
            m_view = m_waiting.takeFirst();
        return true;
    }

private:
    QPointer<CVelkorView> m_view;
    QList<QPointer<CVelkorView>> m_waiting; // opened later, in order
};

// An add-on that publishes the served view's state. Events come in the middle
// of a tick or a switching: they schedule one publish for when the view is
// done, and several in a row make one. The end of a tick publishes at once,
// which saves a trip through the event loop on every tick.
class CViewPublisher : public IViewListener
{
public:
    void OnViewOpened(CVelkorView& view) override
    {
        if (m_served.Opened(view))
            SchedulePublish();
    }
    void OnViewClosing(CVelkorView& view) override
    {
        if (m_served.Closing(view))
            SchedulePublish();
    }
    void OnChannelEvent(CVelkorView& view, ChannelEvent, int, double) override
    {
        if (m_served.Is(view))
            SchedulePublish();
    }
    void OnMeasured(CVelkorView& view) override
    {
        if (m_served.Is(view) && IsPublishing())
            PublishNow();
    }
    void OnHardwareEvent(CVelkorView& view, ChannelEvent, int, double, const QString&) override
    {
        if (m_served.Is(view))
            SchedulePublish();
    }

protected:
    // Whether there is anywhere to publish to.
    virtual bool IsPublishing() const = 0;
    virtual void Publish() = 0;

    void SchedulePublish()
    {
        if (m_bPublishPending || !IsPublishing())
            return;
        m_bPublishPending = true;
        // A tick may have published in between; then there is nothing left to do.
        QMetaObject::invokeMethod(
            &m_scheduler,
            [this] {
                if (m_bPublishPending)
                    PublishNow();
            },
            Qt::QueuedConnection);
    }
    void PublishNow()
    {
        m_bPublishPending = false;
        Publish();
    }
    void CancelPublish() { m_bPublishPending = false; }

    CServedView m_served;

private:
    QObject m_scheduler; // scheduled publishes die with the add-on
    bool m_bPublishPending = false;
};
