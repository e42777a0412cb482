#pragma once
// Switching from outside the window (web panel, MQTT): one path that calls the
// view's own handlers, so the short-circuit lock, the journal and the window
// see it exactly like a click. Runs on the window's thread; never shows a
// message box: what the view would show comes back in the result.

#include <QList>
#include <QString>

class CVelkorView;

struct SwitchResult
{
    enum class Outcome
    {
        Done,
        Locked,       // the lock kept at least one channel off
        NoSuchChannel // k outside 1 ... 16
    };
    Outcome outcome = Outcome::Done;
    QString strMessage; // the view's message, German
    QList<int> locked;  // channels the lock kept off
};

// nChannel 1 ... 16. Asking for the state a channel already shows changes
// nothing (a click could not ask for it either).
SwitchResult SwitchChannel(CVelkorView& view, int nChannel, bool bOn, const QString& origin);
SwitchResult SwitchAll(CVelkorView& view, bool bOn, const QString& origin);
