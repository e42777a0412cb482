// Switching channels by their images and all at once, and the short-circuit
// lock on cut-off channels.

#include "doc/VelkorDoc.h"
#include "framework/DataExchange.h"
#include "helpers/TestSink.h"
#include "view/VelkorView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>

#include "helpers/ViewPanel.h"
#include <QTimer>

namespace {

struct Panel : ViewPanel
{
    QWidget* onImage(int k) const { return view.GetDlgItem(kChannelIds[k - 1].imageOn); }
    QWidget* offImage(int k) const { return view.GetDlgItem(kChannelIds[k - 1].imageOff); }
    // Cuts channel k off at the next tick; the lock holds while the current
    // is at or above Abschaltstrom - Hysterese.
    void lowerLimit(int k, double abschalt, double hysterese)
    {
        view.m_dAbschaltstrom[k - 1] = abschalt;
        view.m_dHysterese[k - 1] = hysterese;
    }
};

const QString kLockText = QStringLiteral("Kurzschluss erst beheben");

} // namespace

class TestViewSwitching : public QObject
{
    Q_OBJECT
private slots:
    void clickOnTheVisibleImage();
    void switchOnIgnoresCurrentWhenNotCutOff();
    void lockedChannelShowsMessage();
    void lockHoldsAtExactlyTheHysteresis();
    void lockedMessageIsARealMessageBox();
    void allOffKeepsCutoffFlags();
    void allOnWithTwoLockedChannels();
    void rampContinuesOneStepHigher();
};

// Both images lie on one spot; a click always reaches the one shown.
void TestViewSwitching::clickOnTheVisibleImage()
{
    TestSink sink;
    Panel p;
    p.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p.view));
    const QPoint spot = p.onImage(1)->geometry().center();
    QCOMPARE(p.offImage(1)->geometry().center(), spot);

    QTest::mouseClick(p.onImage(1), Qt::LeftButton);
    QVERIFY(p.onImage(1)->isHidden());
    QVERIFY(!p.offImage(1)->isHidden());
    QCOMPARE(p.ch(1).m_dStrom, 0.0);
    QCOMPARE(p.ch(1).m_bAbgeschaltet, 0);

    QWidget* hit = p.view.childAt(spot); // what a click at that spot reaches
    QCOMPARE(hit, p.offImage(1));
    QTest::mouseClick(hit, Qt::LeftButton);
    QVERIFY(p.view.IsSwitchedOn(1));
    QCOMPARE(p.view.childAt(spot), p.onImage(1));
    QVERIFY(p.offImage(1)->isHidden());
    QCOMPARE(p.ch(1).m_dStrom, 2.0);

    // Channel 2 by the command ids, as the frame routes them.
    QVERIFY(p.view.OnCmdMsg(kChannelIds[1].imageOn));
    QCOMPARE(p.ch(2).m_dStrom, 0.0);
    QVERIFY(p.view.OnCmdMsg(kChannelIds[1].imageOff));
    QCOMPARE(p.ch(2).m_dStrom, 4.0);
    QVERIFY(sink.boxes.isEmpty());
}

void TestViewSwitching::switchOnIgnoresCurrentWhenNotCutOff()
{
    TestSink sink;
    Panel p;
    p.view.KillTimer(CVelkorView::kMessTimer);
    p.view.OnSchalterAus(5);
    p.ch(5).m_dStrom = 9.0; // far above its limit, but never cut off
    p.view.OnSchalterEin(5);
    QVERIFY(p.view.IsSwitchedOn(5));
    QVERIFY(sink.boxes.isEmpty());
    QCOMPARE(p.view.TimerInterval(CVelkorView::kMessTimer), 1000);
}

// Channel 1 at 2 A with a limit of 1.5 A: the switch-on sets 2 A again,
// 1.3 A is not above it, the lock holds and nothing else changes.
void TestViewSwitching::lockedChannelShowsMessage()
{
    TestSink sink;
    Panel p;
    p.lowerLimit(1, 1.5, 0.2);
    p.view.OnTimer(CVelkorView::kMessTimer);
    QCOMPARE(p.ch(1).m_bAbgeschaltet, 1);
    p.view.OnSchalterAus(2); // switching off never locks
    QCOMPARE(p.ch(2).m_bAbgeschaltet, 0);
    p.ch(1).m_dStrom = 0.0;

    sink.QueueAnswer(IDOK);
    QVERIFY(p.view.OnCmdMsg(kChannelIds[0].imageOff));
    QCOMPARE(sink.boxes.size(), 1);
    QCOMPARE(sink.boxes[0].text, kLockText);
    QCOMPARE(sink.boxes[0].caption, QStringLiteral("FEHLER"));
    QCOMPARE(sink.boxes[0].type, MB_OK | MB_ICONEXCLAMATION);
    QCOMPARE(p.ch(1).m_dStrom, 2.0);
    QCOMPARE(p.ch(1).m_bAbgeschaltet, 1);
    QVERIFY(!p.view.IsSwitchedOn(1));
    QVERIFY(!p.view.IsTimerRunning(CVelkorView::kMessTimer));
    QCOMPARE(p.view.TimerInterval(CVelkorView::kAutomatikTimer), 30000);
}

void TestViewSwitching::lockHoldsAtExactlyTheHysteresis()
{
    TestSink sink;
    Panel p;
    p.lowerLimit(5, 3.5, 0.5);
    p.ch(5).m_dStrom = 3.5;
    p.view.OnTimer(CVelkorView::kMessTimer);
    p.ch(5).m_dStrom = 3.0;
    sink.QueueAnswer(IDOK);
    p.view.OnSchalterEin(5);
    QCOMPARE(sink.boxes.size(), 1);
    QCOMPARE(p.ch(5).m_bAbgeschaltet, 1);

    p.ch(5).m_dStrom = 2.99;
    p.view.OnSchalterEin(5);
    QCOMPARE(sink.boxes.size(), 1);
    QCOMPARE(p.ch(5).m_bAbgeschaltet, 0);
    QVERIFY(p.view.IsSwitchedOn(5));
    QVERIFY(p.view.IsTimerRunning(CVelkorView::kMessTimer));
}

// Without the test sink the lock is a QMessageBox that any Qt code can answer.
void TestViewSwitching::lockedMessageIsARealMessageBox()
{
    Panel p;
    {
        TestSink sink;
        p.lowerLimit(2, 3.0, 0.5);
        p.view.OnTimer(CVelkorView::kMessTimer);
        QCOMPARE(sink.beeps.size(), 1);
    }
    QString text, caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        text = box->text();
        caption = box->windowTitle();
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    p.view.OnSchalterEin(2);
    QCOMPARE(text, kLockText);
    QCOMPARE(caption, QStringLiteral("FEHLER"));
    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(p.ch(2).m_bAbgeschaltet, 1);
}

// All off never touches the flags: the next automatic tick finds channel 1
// at 0 A, far below its limit, and switches it back on.
void TestViewSwitching::allOffKeepsCutoffFlags()
{
    TestSink sink;
    Panel p;
    p.lowerLimit(1, 1.5, 0.2);
    p.view.OnTimer(CVelkorView::kMessTimer);
    QVERIFY(!p.view.IsTimerRunning(CVelkorView::kMessTimer));

    QVERIFY(p.view.OnCmdMsg(ID_ALLE_AUS));
    for (int k = 1; k <= 16; ++k) {
        QVERIFY(!p.view.IsSwitchedOn(k));
        QVERIFY(!p.offImage(k)->isHidden());
        QCOMPARE(p.ch(k).m_bAbgeschaltet, k == 1 ? 1 : 0);
    }
    QCOMPARE(p.ch(1).m_dStrom, 0.0);
    QCOMPARE(p.ch(2).m_dStrom, 0.0);
    QCOMPARE(p.ch(3).m_dStrom, 0.0);
    QCOMPARE(p.view.m_bRampeGestoppt, 1);
    QVERIFY(p.view.IsTimerRunning(CVelkorView::kAutomatikTimer));
    QVERIFY(!p.view.IsTimerRunning(CVelkorView::kMessTimer));

    p.view.OnTimer(CVelkorView::kAutomatikTimer);
    QCOMPARE(p.ch(1).m_bAbgeschaltet, 0);
    QVERIFY(p.view.IsSwitchedOn(1));
    QVERIFY(!p.view.IsSwitchedOn(2));
    QVERIFY(p.view.IsTimerRunning(CVelkorView::kMessTimer));
    QCOMPARE(sink.beeps.size(), 1);
    QVERIFY(sink.boxes.isEmpty());
}

// One box per locked channel, in channel order; every other channel goes on.
void TestViewSwitching::allOnWithTwoLockedChannels()
{
    class OrderSink : public TestSink
    {
    public:
        CVelkorView* view = nullptr;
        QList<double> strom2AtBox;
        int MessageBox(QWidget* w, const QString& t, const QString& c, unsigned type) override
        {
            strom2AtBox << view->m_channel[1].m_dStrom;
            return TestSink::MessageBox(w, t, c, type);
        }
    } sink;
    Panel p;
    sink.view = &p.view;
    p.lowerLimit(1, 1.5, 0.2);
    p.lowerLimit(2, 3.0, 0.5);
    p.view.OnTimer(CVelkorView::kMessTimer);
    QVERIFY(p.view.OnCmdMsg(ID_ALLE_AUS));
    p.view.KillTimer(CVelkorView::kAutomatikTimer);

    sink.ExpectBoxes(2, IDOK);
    QVERIFY(p.view.OnCmdMsg(ID_ALLE_EIN));
    QCOMPARE(sink.boxes.size(), 2);
    QCOMPARE(sink.boxes[1].text, kLockText);
    // Channel 1's box came before channel 2 was touched.
    QCOMPARE(sink.strom2AtBox, (QList<double>{0.0, 4.0}));
    QVERIFY(!p.view.IsSwitchedOn(1));
    QVERIFY(!p.view.IsSwitchedOn(2));
    for (int k = 3; k <= 16; ++k)
        QVERIFY(p.view.IsSwitchedOn(k));
    QCOMPARE(p.view.m_bRampeGestoppt, 0);
    QCOMPARE(p.view.TimerInterval(CVelkorView::kMessTimer), 1000);
}

void TestViewSwitching::rampContinuesOneStepHigher()
{
    TestSink sink;
    Panel p;
    for (int n = 0; n < 10; ++n)
        p.view.OnTimer(CVelkorView::kMessTimer);
    const double stopped = p.view.m_dRampe;
    QCOMPARE(p.ch(3).m_dStrom, stopped);

    p.view.OnSchalterAus(3);
    QCOMPARE(p.ch(3).m_dStrom, 0.0);
    p.view.OnTimer(CVelkorView::kMessTimer);
    QCOMPARE(GetControlText(p.view.GetDlgItem(kChannelIds[2].current)), QStringLiteral("0"));
    QCOMPARE(p.view.m_dRampe, stopped);

    p.view.OnSchalterEin(3);
    QCOMPARE(p.ch(3).m_dStrom, stopped + 0.05);
    p.view.OnTimer(CVelkorView::kMessTimer);
    QCOMPARE(p.ch(3).m_dStrom, stopped + 0.05 + 0.05);
}

QTEST_MAIN(TestViewSwitching)
#include "test_view_switching.moc"
