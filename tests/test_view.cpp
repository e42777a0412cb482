// The monitoring view's set-up: seeding from the document, the form it shows,
// the commands it answers, its child frame, and what an exchange repaints.

#include "doc/VelkorDoc.h"
#include "framework/DataExchange.h"
#include "framework/MDIFrame.h"
#include "framework/ProgressCtrl.h"
#include "helpers/TestSink.h"
#include "view/VelkorView.h"

#include <QLineEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include "helpers/ViewPanel.h"
#include <climits>

namespace {

struct Panel : ViewPanel
{
    QString text(int id) const { return GetControlText(view.GetDlgItem(id)); }
};

// Counts paint events of a widget and all its children.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget* root)
    {
        root->installEventFilter(this);
        for (QWidget* w : root->findChildren<QWidget*>())
            w->installEventFilter(this);
    }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

void settle()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QTest::qWait(10);
    }
}

} // namespace

class TestView : public QObject
{
    Q_OBJECT
private slots:
    void seededFromNewDocument();
    void seededFromLoadedFile();
    void timerzeitInMilliseconds_data();
    void timerzeitInMilliseconds();
    void answersItsCommands();
    void steadyTickRepaintsNothing();
    void fitsChildFrameAndStopsTimersWhenClosed();
};

void TestView::seededFromNewDocument()
{
    TestSink sink;
    Panel p;
    const CVelkorView& v = p.view;
    QCOMPARE(p.text(kChannelIds[0].name), QStringLiteral("Booster A"));
    QCOMPARE(p.text(kChannelIds[1].name), QStringLiteral("Licht A"));
    QCOMPARE(p.text(kChannelIds[2].name), QStringLiteral("Booster B"));
    QCOMPARE(p.text(kChannelIds[15].name), QStringLiteral("Input 16"));
    QCOMPARE(p.text(kChannelIds[0].top), QStringLiteral("3,7"));
    QCOMPARE(p.text(kChannelIds[0].middle), QStringLiteral("1,85"));
    QCOMPARE(v.m_ctlSkalaMitte1->text(), QStringLiteral("1,85"));
    for (int k = 2; k <= 16; ++k) {
        QCOMPARE(p.text(kChannelIds[k - 1].top), QStringLiteral("5"));
        QCOMPARE(p.text(kChannelIds[k - 1].middle), QStringLiteral("2,5"));
        QCOMPARE(p.text(kChannelIds[k - 1].current), QStringLiteral("0"));
    }
    for (int k = 1; k <= 16; ++k) {
        const ChannelControlIds& ids = kChannelIds[k - 1];
        for (int id : {ids.current, ids.name, ids.top, ids.middle}) {
            auto* e = qobject_cast<QLineEdit*>(v.GetDlgItem(id));
            QVERIFY2(e && e->isReadOnly(), qPrintable(QString::number(id)));
        }
        QVERIFY(v.IsSwitchedOn(k));
        QVERIFY(v.GetDlgItem(kChannelIds[k - 1].imageOff)->isHidden());
        QCOMPARE(v.m_ctlBalken[k - 1], v.GetDlgItem(kChannelIds[k - 1].bar));
        QCOMPARE(v.m_channel[k - 1].m_bAbgeschaltet, 0);
    }
    QCOMPARE(v.TimerInterval(CVelkorView::kMessTimer), 1000);
    QVERIFY(!v.IsTimerRunning(CVelkorView::kAutomatikTimer));
    QVERIFY(!v.IsTimerRunning(CVelkorView::kVerbrauchTimer));
    QCOMPARE(v.m_nTimerzeitMs, 30000);

    // The dialogs the view owns show the document's values, not their own.
    QCOMPARE(v.m_dlgPB[0].m_strName, QStringLiteral("Booster A"));
    QCOMPARE(v.m_dlgPB[0].m_dMaximalstrom, 3.7);
    QCOMPARE(v.m_dlgPB[0].m_dAbschaltstrom, 3.6);
    QCOMPARE(v.m_dlgPB[0].m_dAlarmstrom, 4.0);
    QCOMPARE(v.m_dlgPB[0].m_dHysterese, 0.2);
    QCOMPARE(v.m_dlgPB[15].m_strName, QStringLiteral("Input 16"));
    QCOMPARE(v.m_dlgTimer.m_nTimerzeit, 30);
    QCOMPARE(v.m_dlgAbfragezeit.m_nAbfragezeit, 1000);
    QCOMPARE(v.m_dlgZoom.m_nAbfragezeit, 1000u);
    QCOMPARE(v.m_dlgZoom.m_dSkalaMitte[0], 1.85);
    QCOMPARE(v.m_dlgZoom.m_dAbschaltstrom[0], 3.6);
    QCOMPARE(v.m_dlgMaximalwerte.m_strName[1], QStringLiteral("Licht A"));
    QCOMPARE(v.m_dlgVerbrauch.m_strName[2], QStringLiteral("Booster B"));
    QCOMPARE(v.m_dlgCon.m_nStartWert, 255);
    QCOMPARE(v.m_dlgCon.m_nStopWert, 0);
    QCOMPARE(v.m_dlgCon.m_nStartRadio, 0);
    QCOMPARE(v.m_dlgCon.m_nStopRadio, 0);
}

void TestView::seededFromLoadedFile()
{
    TestSink sink;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("anlage.sav"));
    const QString longName = QStringLiteral("Drehscheibe"); // 11 characters
    const QString name12 = QStringLiteral("Schattenbf.1");
    {
        CVelkorDoc saved;
        saved.OnNewDocument();
        saved.m_strName[3] = name12;
        saved.m_strName[15] = longName;
        saved.m_dMaximalstrom[7] = 0.0;
        saved.m_nAbfragezeit = 250;
        saved.m_nTimerzeit = 7;
        saved.m_dVerbrauch[4] = 12.5;
        saved.m_dGesamtverbrauch = 0.75;
        saved.m_nStartRadio = 1;
        saved.m_nStartWert = 0;
        QVERIFY(saved.OnSaveDocument(path));
    }
    CVelkorDoc doc;
    QVERIFY(doc.OnOpenDocument(path));
    CVelkorView v;
    v.SetDocument(&doc);
    v.OnInitialUpdate();

    // Longer names than the dialog allows are shown whole everywhere.
    QCOMPARE(GetControlText(v.GetDlgItem(kChannelIds[3].name)), name12);
    QCOMPARE(v.m_dlgPB[3].m_strName, name12);
    QCOMPARE(v.m_dlgZoom.m_strName[3], name12);
    QCOMPARE(v.m_dlgMaximalwerte.m_strName[3], name12);
    QCOMPARE(v.m_dlgVerbrauch.m_strName[3], name12);
    QCOMPARE(GetControlText(v.GetDlgItem(kChannelIds[15].name)), longName);

    QCOMPARE(GetControlText(v.GetDlgItem(kChannelIds[7].middle)), QStringLiteral("0"));
    QCOMPARE(v.TimerInterval(CVelkorView::kMessTimer), 250);
    QCOMPARE(v.m_nTimerzeitMs, 7000);
    QCOMPARE(v.m_dlgVerbrauch.m_dEnergie[4], 12.5);
    QCOMPARE(v.m_channel[4].m_dEnergieRoh, 12.5);
    QCOMPARE(v.m_dlgVerbrauch.m_dGesamt, 0.75);
    QCOMPARE(v.m_dlgCon.m_nStartRadio, 1);
    QCOMPARE(v.m_dlgCon.m_nStartWert, 0);
    // The sources start at 2 A and 4 A whatever the file holds.
    QCOMPARE(v.m_channel[0].m_dStrom, 2.0);
    QCOMPARE(v.m_channel[1].m_dStrom, 4.0);
}

void TestView::timerzeitInMilliseconds_data()
{
    QTest::addColumn<quint32>("seconds");
    QTest::addColumn<qint32>("ms");
    QTest::newRow("0") << 0u << 0;
    QTest::newRow("3600") << 3600u << 3600000;
    QTest::newRow("largest exact") << 2147483u << 2147483000;
    QTest::newRow("first saturating") << 2147484u << INT_MAX;
    QTest::newRow("largest in a file") << 4294967295u << INT_MAX;
}

// A huge Timerzeit from a file must not wrap into a short or negative period.
void TestView::timerzeitInMilliseconds()
{
    QFETCH(quint32, seconds);
    QFETCH(qint32, ms);
    TestSink sink;
    CVelkorDoc doc;
    doc.OnNewDocument();
    doc.m_nTimerzeit = seconds;
    CVelkorView v;
    v.SetDocument(&doc);
    v.OnInitialUpdate();
    QCOMPARE(v.m_nTimerzeitMs, ms);
    v.m_dAbschaltstrom[0] = 1.0;
    v.OnTimer(CVelkorView::kMessTimer);
    QCOMPARE(v.TimerInterval(CVelkorView::kAutomatikTimer), qMax(ms, 10));
}

void TestView::answersItsCommands()
{
    CVelkorView v;
    QList<int> handled = {
        ID_ALLE_AUS,   ID_ALLE_EIN,          ID_TIMERZEIT,         ID_ABFRAGEZEIT, ID_HOECHSTWERTE,
        ID_MAXWERTE,   ID_VERBRAUCHSZAEHLER, ID_VERBRAUCH,         ID_ZOOM,        ID_STARTSTOP,
        ID_FILE_PRINT, ID_FILE_PRINT_DIRECT, ID_FILE_PRINT_PREVIEW};
    for (int id = ID_INPUT1; id <= ID_INPUT16; ++id)
        handled << id;
    for (const ChannelControlIds& ids : kChannelIds)
        handled << ids.imageOn << ids.imageOff;
    for (int id : std::as_const(handled))
        QVERIFY2(v.HasCmdHandler(id), qPrintable(QString::number(id)));
    // "Input17" ... "Input 32" stay greyed.
    for (int id = ID_INPUT17; id <= ID_INPUT32; ++id)
        QVERIFY2(!v.HasCmdHandler(id), qPrintable(QString::number(id)));
    QVERIFY(!v.OnCmdMsg(ID_INPUT17));
}

// Painting dominates the cost of a tick: a tick that changes nothing must
// not repaint anything.
void TestView::steadyTickRepaintsNothing()
{
    TestSink sink;
    Panel p;
    p.view.OnSchalterAus(3); // stop the ramp: channels 1 and 2 stay steady
    p.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p.view));
    p.view.OnTimer(CVelkorView::kMessTimer);
    settle();

    PaintCounter counter(&p.view);
    p.view.OnTimer(CVelkorView::kMessTimer);
    p.view.OnTimer(CVelkorView::kVerbrauchTimer);
    p.view.UpdateData(false);
    settle();
    QCOMPARE(counter.paints, 0);

    p.view.m_strName[4] = QStringLiteral("Weiche");
    p.view.UpdateData(false);
    settle();
    QVERIFY(counter.paints > 0);
}

// The child frame takes the whole form; closing it runs the save question
// and stops the view's timers before the view goes away.
void TestView::fitsChildFrameAndStopsTimersWhenClosed()
{
    TestSink sink;
    auto* doc = new CVelkorDoc; // closing the document deletes it
    doc->OnNewDocument();
    QPointer<CMDIChildWnd> frame = new CMDIChildWnd;
    QPointer<CVelkorView> view = new CVelkorView;
    frame->SetView(view);
    view->SetDocument(doc);
    view->OnInitialUpdate();
    frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame));
    QVERIFY(frame->contentsRect().width() >= view->FormSize().width());
    QVERIFY(frame->contentsRect().height() >= view->FormSize().height());

    view->m_dAbschaltstrom[1] = 4.0;
    view->OnTimer(CVelkorView::kMessTimer);
    QVERIFY(view->IsTimerRunning(CVelkorView::kAutomatikTimer));
    QVERIFY(view->IsTimerRunning(CVelkorView::kVerbrauchTimer));

    sink.QueueAnswer(IDNO); // "Änderungen an ... speichern?"
    frame->close();
    QCOMPARE(sink.boxes.size(), 1);
    QVERIFY(!view.isNull());
    QVERIFY(!view->IsTimerRunning(CVelkorView::kMessTimer));
    QVERIFY(!view->IsTimerRunning(CVelkorView::kAutomatikTimer));
    QVERIFY(!view->IsTimerRunning(CVelkorView::kVerbrauchTimer));
    QVERIFY(view->GetDocumentBase() == nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete frame.data(); // still there when the frame ignored its own close
    QVERIFY(view.isNull());
}

QTEST_MAIN(TestView)
#include "test_view.moc"
