// The view's commands that open its dialogs, through the dialogs' real modal
// loops: what OK hands over, what Cancel leaves alone, and that measurement
// goes on while a dialog is open.

#include "doc/VelkorDoc.h"
#include "framework/DataExchange.h"
#include "framework/ProgressCtrl.h"
#include "helpers/TestSink.h"
#include "view/VelkorView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include "helpers/ViewPanel.h"
#include <QTimer>
#include <functional>

namespace {

struct Panel : ViewPanel
{
    Panel()
    {
        // No tick may mark the document while a test looks at it.
        view.KillTimer(CVelkorView::kMessTimer);
        doc.SetModifiedFlag(false);
    }
    QString text(int id) const { return GetControlText(view.GetDlgItem(id)); }
};

// Runs `act` on the modal dialog that the command opens, as a user would:
// found as Qt's active modal widget, filled and clicked. A dialog that is
// still open afterwards is ended so that a failing test cannot hang.
bool runCommand(CVelkorView& view, int nID, const std::function<void(QDialog*)>& act)
{
    QDialog* seen = nullptr;
    QTimer::singleShot(0, &view, [&] {
        seen = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!seen)
            return;
        act(seen);
        if (seen->isVisible())
            seen->done(-99);
    });
    return view.OnCmdMsg(nID) && seen;
}

void type(QDialog* d, int id, const QString& text)
{
    auto* e = d->findChild<QLineEdit*>(QString::number(id));
    QVERIFY2(e, qPrintable(QString::number(id)));
    e->setText(text);
}

void press(QDialog* d, int id)
{
    auto* b = d->findChild<QAbstractButton*>(QString::number(id));
    QVERIFY2(b, qPrintable(QString::number(id)));
    b->click();
}

void fillParameters(QDialog* d, int k, const QString& name, const QString& max,
                    const QString& abschalt, const QString& alarm, const QString& hyst)
{
    const PBControlIds& ids = kPBIds[k - 1];
    type(d, ids.name, name);
    type(d, ids.maximalstrom, max);
    type(d, ids.abschaltstrom, abschalt);
    type(d, ids.alarmstrom, alarm);
    type(d, ids.hysterese, hyst);
}

} // namespace

class TestViewCommands : public QObject
{
    Q_OBJECT
private slots:
    void parameterOfChannel1ReachesEveryCopy();
    void parameterOfChannel16WithMaximalstromZero();
    void refusedOrCancelledParametersChangeNothing();
    void timerzeitTakesEffectAtNextArming();
    void abfragezeitTakesEffectAtNextStart();
    void displayDialogsShareOneInstance();
    void startStopReachesDocumentAtNextTick();
    void measurementGoesOnWhileDialogOpen();
};

void TestViewCommands::parameterOfChannel1ReachesEveryCopy()
{
    TestSink sink;
    Panel p;
    QVERIFY(runCommand(p.view, ID_INPUT1, [](QDialog* d) {
        QCOMPARE(d->windowTitle(), QStringLiteral("Parameter für Input 1"));
        QCOMPARE(d->findChild<QLineEdit*>("1003")->text(), QStringLiteral("Booster A"));
        fillParameters(d, 1, "Gleis 1", "4", "3,5", "3", "0,5");
        press(d, IDOK);
    }));
    const CVelkorView& v = p.view;
    QCOMPARE(p.text(kChannelIds[0].name), QStringLiteral("Gleis 1"));
    QCOMPARE(p.text(kChannelIds[0].top), QStringLiteral("4"));
    QCOMPARE(p.text(kChannelIds[0].middle), QStringLiteral("2"));
    QCOMPARE(p.doc.m_strName[0], QStringLiteral("Gleis 1"));
    QCOMPARE(p.doc.m_dMaximalstrom[0], 4.0);
    QCOMPARE(p.doc.m_dAbschaltstrom[0], 3.5);
    QCOMPARE(p.doc.m_dAlarmstrom[0], 3.0);
    QCOMPARE(p.doc.m_dHysterese[0], 0.5);
    QVERIFY(p.doc.IsModified());
    QCOMPARE(v.m_dMaximalstrom[0], 4.0);
    QCOMPARE(v.m_dAbschaltstrom[0], 3.5);
    QCOMPARE(v.m_dAlarmstrom[0], 3.0);
    QCOMPARE(v.m_dHysterese[0], 0.5);
    QCOMPARE(v.m_dlgZoom.m_strName[0], QStringLiteral("Gleis 1"));
    QCOMPARE(v.m_dlgZoom.m_dMaximalstrom[0], 4.0);
    QCOMPARE(v.m_dlgZoom.m_dSkalaOben[0], 4.0);
    QCOMPARE(v.m_dlgZoom.m_dSkalaMitte[0], 2.0);
    QCOMPARE(v.m_dlgZoom.m_dAlarmstrom[0], 3.0);
    QCOMPARE(v.m_dlgZoom.m_dAbschaltstrom[0], 3.5);
    QCOMPARE(v.m_dlgMaximalwerte.m_strName[0], QStringLiteral("Gleis 1"));
    QCOMPARE(v.m_dlgVerbrauch.m_strName[0], QStringLiteral("Gleis 1"));
    // No other channel moves.
    QCOMPARE(p.text(kChannelIds[1].top), QStringLiteral("5"));
    QCOMPARE(p.doc.m_dMaximalstrom[1], 5.0);
    QCOMPARE(p.doc.m_strName[1], QStringLiteral("Licht A"));

    // The new limits apply at the next tick: 2 A against an Alarmstrom of 3 A.
    p.view.OnTimer(CVelkorView::kMessTimer);
    QCOMPARE(p.view.m_channel[0].m_dBalken, 50.0);
}

void TestViewCommands::parameterOfChannel16WithMaximalstromZero()
{
    TestSink sink;
    Panel p;
    QVERIFY(runCommand(p.view, ID_INPUT16, [](QDialog* d) {
        fillParameters(d, 16, "Drehbühne", "0", "5", "0", "0");
        press(d, IDOK);
    }));
    QCOMPARE(p.doc.m_strName[15], QStringLiteral("Drehbühne"));
    QCOMPARE(p.doc.m_dMaximalstrom[15], 0.0);
    QCOMPARE(p.doc.m_dAbschaltstrom[15], 5.0);
    QCOMPARE(p.text(kChannelIds[15].middle), QStringLiteral("0"));
    QCOMPARE(p.view.m_dlgZoom.m_dSkalaMitte[15], 0.0);
    QCOMPARE(p.doc.m_dMaximalstrom[0], 3.7);
    p.view.OnTimer(CVelkorView::kMessTimer);
    QCOMPARE(p.view.m_ctlBalken[15]->GetPos(), 0);
}

// A refused field keeps the dialog open; fields before it are stored in the
// dialog, but nothing reaches the view or the document without OK.
void TestViewCommands::refusedOrCancelledParametersChangeNothing()
{
    TestSink sink;
    Panel p;
    sink.ExpectBoxes(1);
    QVERIFY(runCommand(p.view, ID_INPUT1 + 1, [&](QDialog* d) {
        fillParameters(d, 2, "Neu", "7", "3", "2", "0,1");
        press(d, IDOK);
        QVERIFY(d->isVisible());
        press(d, IDCANCEL);
    }));
    QCOMPARE(sink.boxes.size(), 1);
    QCOMPARE(p.view.m_dlgPB[1].m_dAbschaltstrom, 3.0);
    QCOMPARE(p.view.m_dAbschaltstrom[1], 4.5);
    QCOMPARE(p.view.m_dlgZoom.m_dAbschaltstrom[1], 4.5);
    QCOMPARE(p.doc.m_dAbschaltstrom[1], 4.5);
    QCOMPARE(p.view.m_strName[1], QStringLiteral("Licht A"));
    QVERIFY(!p.doc.IsModified());

    QVERIFY(runCommand(p.view, ID_TIMERZEIT, [](QDialog* d) {
        type(d, IDC_INTERVALL, "99");
        press(d, IDCANCEL);
    }));
    QCOMPARE(p.view.m_nTimerzeit, 30u);
    QCOMPARE(p.view.m_nTimerzeitMs, 30000);
    QVERIFY(!p.doc.IsModified());
}

void TestViewCommands::timerzeitTakesEffectAtNextArming()
{
    TestSink sink;
    Panel p;
    p.view.m_dAbschaltstrom[1] = 4.0;
    p.view.OnTimer(CVelkorView::kMessTimer); // cuts channel 2 off, arms timer 2
    p.doc.SetModifiedFlag(false);
    QVERIFY(runCommand(p.view, ID_TIMERZEIT, [](QDialog* d) {
        QCOMPARE(d->findChild<QLineEdit*>("1081")->text(), QStringLiteral("30"));
        type(d, IDC_INTERVALL, "3600");
        press(d, IDOK);
    }));
    QCOMPARE(p.view.m_nTimerzeit, 3600u);
    QCOMPARE(p.view.m_nTimerzeitMs, 3600000);
    QCOMPARE(p.doc.m_nTimerzeit, 3600u);
    QVERIFY(p.doc.IsModified());
    QCOMPARE(p.view.TimerInterval(CVelkorView::kAutomatikTimer), 30000);
    p.view.OnTimer(CVelkorView::kAutomatikTimer); // still locked: re-armed
    QCOMPARE(p.view.TimerInterval(CVelkorView::kAutomatikTimer), 3600000);

    QVERIFY(runCommand(p.view, ID_TIMERZEIT, [](QDialog* d) {
        type(d, IDC_INTERVALL, "0");
        press(d, IDOK);
    }));
    QCOMPARE(p.view.m_nTimerzeitMs, 0);
    QCOMPARE(p.doc.m_nTimerzeit, 0u);
}

void TestViewCommands::abfragezeitTakesEffectAtNextStart()
{
    TestSink sink;
    Panel p;
    p.view.SetTimer(CVelkorView::kMessTimer, 1000);
    sink.ExpectBoxes(1);
    QVERIFY(runCommand(p.view, ID_ABFRAGEZEIT, [](QDialog* d) {
        type(d, IDC_INTERVALL, "0");
        press(d, IDOK);
        QVERIFY(d->isVisible());
        type(d, IDC_INTERVALL, "200");
        press(d, IDOK);
    }));
    QCOMPARE(p.view.m_nAbfragezeit, 200u);
    QCOMPARE(p.view.m_dlgZoom.m_nAbfragezeit, 200u);
    QCOMPARE(p.doc.m_nAbfragezeit, 200u);
    QVERIFY(p.doc.IsModified());
    QCOMPARE(p.view.TimerInterval(CVelkorView::kMessTimer), 1000);
    p.view.OnSchalterEin(6);
    QCOMPARE(p.view.TimerInterval(CVelkorView::kMessTimer), 200);
}

// Menu and toolbar open the same object, so both show the same live values.
void TestViewCommands::displayDialogsShareOneInstance()
{
    TestSink sink;
    Panel p;
    p.view.OnTimer(CVelkorView::kMessTimer);
    p.doc.SetModifiedFlag(false);
    const struct
    {
        int id;
        CDialog* dlg;
    } commands[] = {
        {ID_HOECHSTWERTE, &p.view.m_dlgMaximalwerte},
        {ID_MAXWERTE, &p.view.m_dlgMaximalwerte},
        {ID_VERBRAUCHSZAEHLER, &p.view.m_dlgVerbrauch},
        {ID_VERBRAUCH, &p.view.m_dlgVerbrauch},
        {ID_ZOOM, &p.view.m_dlgZoom},
        {ID_STARTSTOP, &p.view.m_dlgCon},
    };
    for (const auto& c : commands) {
        QDialog* opened = nullptr;
        QVERIFY(runCommand(p.view, c.id, [&](QDialog* d) {
            opened = d;
            d->accept();
        }));
        QCOMPARE(opened, static_cast<QDialog*>(c.dlg));
    }
    QCOMPARE(p.view.m_dlgMaximalwerte.m_dMax[1], 4.0);
    QVERIFY(!p.doc.IsModified());
}

void TestViewCommands::startStopReachesDocumentAtNextTick()
{
    TestSink sink;
    Panel p;
    QVERIFY(runCommand(p.view, ID_STARTSTOP, [](QDialog* d) {
        press(d, IDC_START_AUS);
        press(d, IDC_STOP_EIN);
        press(d, IDOK);
    }));
    QCOMPARE(p.view.m_dlgCon.m_nStartWert, 0);
    QCOMPARE(p.view.m_dlgCon.m_nStopWert, 255);
    QCOMPARE(p.doc.m_nStartWert, 255);
    p.view.OnTimer(CVelkorView::kMessTimer);
    QCOMPARE(p.doc.m_nStartWert, 0);
    QCOMPARE(p.doc.m_nStartRadio, 1);
    QCOMPARE(p.doc.m_nStopWert, 255);
    QCOMPARE(p.doc.m_nStopRadio, 1);
}

// The dialog's modal loop keeps delivering the view's timers.
void TestViewCommands::measurementGoesOnWhileDialogOpen()
{
    TestSink sink;
    Panel p;
    p.view.m_nAbfragezeit = 10;
    p.view.OnSchalterEin(5);
    double rampeAtOpen = -1.0;
    QVERIFY(runCommand(p.view, ID_VERBRAUCH, [&](QDialog* d) {
        rampeAtOpen = p.view.m_dRampe;
        QTRY_VERIFY_WITH_TIMEOUT(p.view.m_dRampe >= rampeAtOpen + 0.5, 3000);
        d->accept();
    }));
    QVERIFY(rampeAtOpen >= 0.0);
    QVERIFY(p.view.m_dlgMaximalwerte.m_dMax[2] >= 0.5);
}

QTEST_MAIN(TestViewCommands)
#include "test_view_commands.moc"
