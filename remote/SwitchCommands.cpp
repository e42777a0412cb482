#include "remote/SwitchCommands.h"

#include "framework/Messages.h"
#include "res/resource.h"
#include "view/VelkorView.h"

#include <QStringList>

namespace {

// Takes the view's message boxes for the time of one command; beeps go on
// as they would.
class CapturingSink : public IMessageSink
{
public:
    CapturingSink() : m_shown(MessageSink()), m_previous(SetMessageSink(this)) {}
    ~CapturingSink() override { SetMessageSink(m_previous); }
    CapturingSink(const CapturingSink&) = delete;
    CapturingSink& operator=(const CapturingSink&) = delete;

    int MessageBox(QWidget*, const QString& text, const QString&, unsigned) override
    {
        if (!texts.contains(text))
            texts.append(text);
        return IDOK;
    }
    void MessageBeep(unsigned type) override { m_shown.MessageBeep(type); }

    QStringList texts;

private:
    IMessageSink& m_shown;
    IMessageSink* m_previous;
};

SwitchResult Finish(const CVelkorView& view, const CapturingSink& sink, int first, int last)
{
    SwitchResult r;
    for (int k = first; k <= last; ++k) {
        if (view.m_channel[k - 1].m_bAbgeschaltet && !view.IsSwitchedOn(k))
            r.locked.append(k);
    }
    if (!sink.texts.isEmpty()) {
        r.outcome = SwitchResult::Outcome::Locked;
        r.strMessage = sink.texts.join(QLatin1Char('\n'));
    }
    return r;
}

} // namespace

SwitchResult SwitchChannel(CVelkorView& view, int nChannel, bool bOn, const QString& origin)
{
    if (nChannel < 1 || nChannel > CVelkorView::kChannels)
        return {SwitchResult::Outcome::NoSuchChannel, QStringLiteral("Unbekannter Kanal"), {}};
    ScopedSwitchOrigin scope(origin);
    CapturingSink sink;
    if (view.IsSwitchedOn(nChannel) != bOn) {
        if (bOn)
            view.OnSchalterEin(nChannel);
        else
            view.OnSchalterAus(nChannel);
    }
    SwitchResult r = Finish(view, sink, nChannel, nChannel);
    if (r.outcome != SwitchResult::Outcome::Locked)
        r.locked.clear(); // switched off by request, not kept off
    return r;
}

// Switching off is the view's own command. Switching on goes channel by channel
// through the lock, and only where a channel is off: the view's "Alle ein"
// also presses every channel already on, which restarts a measurement that
// stands still after a cutoff and cuts the locked channel once more.
SwitchResult SwitchAll(CVelkorView& view, bool bOn, const QString& origin)
{
    ScopedSwitchOrigin scope(origin);
    CapturingSink sink;
    if (!bOn) {
        view.OnAlleAus();
        SwitchResult r = Finish(view, sink, 1, CVelkorView::kChannels);
        r.locked.clear();
        return r;
    }
    for (int k = 1; k <= CVelkorView::kChannels; ++k) {
        if (!view.IsSwitchedOn(k))
            view.OnSchalterEin(k);
    }
    return Finish(view, sink, 1, CVelkorView::kChannels);
}
