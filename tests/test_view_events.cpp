// What the view reports to its listeners, and a replaced current source.

#include "doc/VelkorDoc.h"
#include "helpers/TestSink.h"
#include "view/VelkorView.h"
#include "view/ViewEvents.h"

#include <QLineEdit>
#include <QTest>

namespace {

struct Recorder : IViewListener
{
    QStringList log;
    int measured = 0;
    Recorder() { AddViewListener(this); }
    ~Recorder() override { RemoveViewListener(this); }
    void OnViewOpened(CVelkorView&) override { log << "opened"; }
    void OnViewClosing(CVelkorView&) override { log << "closing"; }
    void OnChannelEvent(CVelkorView&, ChannelEvent kind, int k, double current) override
    {
        log << QStringLiteral("%1:%2:%3").arg(int(kind)).arg(k).arg(current);
    }
    void OnMeasured(CVelkorView&) override { ++measured; }
};

struct FixedSource : IChannelSource
{
    double value = 1.25;
    bool stale = false;
    bool ReadCurrent(int k, double& current, bool& isStale) override
    {
        if (k != 5)
            return false;
        current = value;
        isStale = stale;
        return true;
    }
};

QString ev(ChannelEvent kind, int k, double current)
{
    return QStringLiteral("%1:%2:%3").arg(int(kind)).arg(k).arg(current);
}

} // namespace

class TestViewEvents : public QObject
{
    Q_OBJECT
private slots:
    void reportsEveryKindOfSwitching();
    void sourceReplacesTestCurrentAndMarksStale();
};

void TestViewEvents::reportsEveryKindOfSwitching()
{
    TestSink sink;
    Recorder rec;
    CVelkorDoc doc;
    doc.OnNewDocument();
    CVelkorView view;
    view.SetDocument(&doc);
    view.OnInitialUpdate();
    QCOMPARE(rec.log, QStringList{"opened"});

    view.OnTimer(1);
    QCOMPARE(rec.measured, 1);
    view.m_channel[1].m_dStrom = 4.6;  // above channel 2's Abschaltstrom of 4.5
    view.OnTimer(1);
    QVERIFY(rec.log.contains(ev(ChannelEvent::Cutoff, 2, 4.6)));
    QCOMPARE(sink.beeps.size(), 1);

    view.OnTimer(2);  // still too high
    QVERIFY(rec.log.contains(ev(ChannelEvent::AutoOnRefused, 2, 4.6)));
    sink.QueueAnswer(IDOK);
    view.m_dHysterese[1] = 1.0;  // 4.5 - 1.0 is not above the 4 A the source gives back
    view.OnCmdMsg(kChannelIds[1].imageOff);  // manual switch-on during the short
    QVERIFY(rec.log.contains(ev(ChannelEvent::ManualOnLocked, 2, 4.0)));
    view.m_channel[1].m_dStrom = 1.0;
    view.OnTimer(2);
    QVERIFY(rec.log.contains(ev(ChannelEvent::AutoOn, 2, 1.0)));

    view.OnCmdMsg(kChannelIds[0].imageOn);
    QVERIFY(rec.log.contains(ev(ChannelEvent::ManualOff, 1, 0)));
    view.OnCmdMsg(kChannelIds[0].imageOff);
    QVERIFY(rec.log.contains(ev(ChannelEvent::ManualOn, 1, 2)));

    rec.log.clear();
    view.OnAlleAus();
    view.OnAlleEin();
    // All-on reports itself once, not sixteen single switch-ons.
    QCOMPARE(rec.log, (QStringList{ev(ChannelEvent::AllOff, 0, 0), ev(ChannelEvent::AllOn, 0, 0)}));

    view.OnDestroy();
    QCOMPARE(rec.log.constLast(), QStringLiteral("closing"));
}

void TestViewEvents::sourceReplacesTestCurrentAndMarksStale()
{
    CVelkorDoc doc;
    doc.OnNewDocument();
    CVelkorView view;
    view.SetDocument(&doc);
    view.OnInitialUpdate();
    FixedSource source;
    view.SetChannelSource(&source);
    view.OnTimer(1);
    QCOMPARE(view.m_channel[4].m_dAnzeigestrom, 1.25);
    QCOMPARE(view.m_channel[0].m_dAnzeigestrom, 2.0);  // test source kept
    auto* edit = qobject_cast<QLineEdit*>(view.GetDlgItem(kChannelIds[4].current));
    QVERIFY(!edit->font().italic());
    source.stale = true;
    view.OnTimer(1);
    QVERIFY(view.IsStale(5));
    QVERIFY(edit->font().italic());
    QVERIFY(!edit->toolTip().isEmpty());
    // Its bar no longer claims health; the others keep their colours.
    QCOMPARE(view.m_ctlBalken[4]->GetBarColor(), CVelkorView::kGrau);
    QCOMPARE(view.m_ctlBalken[0]->GetBarColor(), CVelkorView::kGruen);
    source.stale = false;
    view.OnTimer(1);
    QVERIFY(!view.IsStale(5));
    QVERIFY(!edit->font().italic());
    QCOMPARE(view.m_ctlBalken[4]->GetBarColor(), CVelkorView::kGruen);
    view.OnDestroy();
}

QTEST_MAIN(TestViewEvents)
#include "test_view_events.moc"
