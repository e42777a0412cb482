#pragma once
// Which view an add-on serves to the outside: the first one opened; when it
// closes, the next one opened in order takes over.

#include "view/VelkorView.h"

#include <QList>
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
