// Framework services: timers, number exchange in the user's locale, data
// exchange failures, the progress bar and command enabling.

#include "framework/CmdTarget.h"
#include "framework/DataExchange.h"
#include "framework/Dialog.h"
#include "framework/DialogTemplate.h"
#include "framework/Numbers.h"
#include "framework/ProgressCtrl.h"
#include "framework/WndTimers.h"
#include "helpers/TestSink.h"

#include <QApplication>
#include <QButtonGroup>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

class TestFramework : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { SetUiLocale(QLocale(QLocale::German, QLocale::Germany)); }

    void timerRestartsOnSameId();
    void dialogsAreWideEnoughForTheirCaptions();
    void timerPeriodHasFloor();
    void killedTimerNeverFires();

    void formatsInGeneralNotation_data();
    void formatsInGeneralNotation();
    void parsesWholeTextOnly_data();
    void parsesWholeTextOnly();

    void failedRangeCheckStopsExchangeAndFocuses();
    void maxCharsLimitsTypingNotSetText();
    void radioExchangeShowsNoneForMinusOne();

    void progressClampsAndKeepsColour();
    void progressRepaintsOnlyOnChange();

    void commandMapRunsHandlersAndReportsMissing();
};

void TestFramework::timerRestartsOnSameId()
{
    QList<quintptr> fired;
    CWndTimers timers([&](quintptr id) { fired.append(id); });
    timers.SetTimer(7, 300);
    QTest::qWait(200);
    // Setting a running id restarts it: no tick at the original 300 ms mark.
    timers.SetTimer(7, 300);
    QTest::qWait(200);
    QVERIFY(fired.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(fired.size(), 1, 2000);
    QCOMPARE(fired.first(), quintptr(7));
    QCOMPARE(timers.Interval(7), 300);
}

void TestFramework::timerPeriodHasFloor()
{
    int ticks = 0;
    CWndTimers timers([&](quintptr) { ++ticks; });
    timers.SetTimer(1, 0);
    QCOMPARE(timers.Interval(1), int(CWndTimers::kMinimumMs));
    timers.SetTimer(2, 1);
    QCOMPARE(timers.Interval(2), int(CWndTimers::kMinimumMs));
    // Saturates instead of wrapping into a negative period.
    timers.SetTimer(3, quint64(4294967295u) * 1000u);
    QCOMPARE(timers.Interval(3), INT_MAX);
    QTRY_VERIFY_WITH_TIMEOUT(ticks > 0, 2000);
}

void TestFramework::killedTimerNeverFires()
{
    int ticks = 0;
    CWndTimers timers([&](quintptr) { ++ticks; });
    timers.SetTimer(4, 20);
    QVERIFY(timers.IsRunning(4));
    QVERIFY(timers.KillTimer(4));
    QVERIFY(!timers.KillTimer(4));
    QTest::qWait(80);
    QCOMPARE(ticks, 0);
    QCOMPARE(timers.Interval(4), -1);
}

void TestFramework::formatsInGeneralNotation_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("decimal comma") << 2.5 << "2,5";
    QTest::newRow("whole") << 5.0 << "5";
    QTest::newRow("no group separator") << 1234.5 << "1234,5";
    QTest::newRow("15 digits") << 0.1 + 0.2 << "0,3";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("small") << 0.00001 << "1E-05";
    QTest::newRow("half of 3.7") << 3.7 / 2.0 << "1,85";
}

void TestFramework::formatsInGeneralNotation()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(FormatNumber(value), text);
}

void TestFramework::parsesWholeTextOnly_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("value");
    QTest::newRow("comma") << "2,5" << true << 2.5;
    QTest::newRow("blanks around") << " 5 " << true << 5.0;
    QTest::newRow("dot is not German") << "2.5" << false << 0.0;
    QTest::newRow("group separator") << "1.234,5" << false << 0.0;
    QTest::newRow("trailing junk") << "5x" << false << 0.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("nan") << "nan" << false << 0.0;
    QTest::newRow("inf") << "inf" << false << 0.0;
    QTest::newRow("negative") << "-0,1" << true << -0.1;
}

void TestFramework::parsesWholeTextOnly()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(double, value);
    const auto parsed = ParseNumber(text);
    QCOMPARE(parsed.has_value(), ok);
    if (ok)
        QCOMPARE(*parsed, value);
}

void TestFramework::failedRangeCheckStopsExchangeAndFocuses()
{
    QWidget form;
    auto* a = new QLineEdit(&form);
    a->setObjectName("10");
    auto* b = new QLineEdit(&form);
    b->setObjectName("11");
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    a->setText("5");
    b->setText("5,01");

    TestSink sink;
    sink.ExpectBoxes(1);
    double first = 0, second = 0;
    CDataExchange dx(&form, true);
    bool failed = false;
    try {
        DDX_Text(&dx, 10, first);
        DDV_MinMaxDouble(&dx, first, 0.0, 5.0);
        DDX_Text(&dx, 11, second);
        DDV_MinMaxDouble(&dx, second, 0.0, 5.0);
    } catch (const CUserException&) {
        failed = true;
    }
    QVERIFY(failed);
    QCOMPARE(first, 5.0);   // earlier fields are already stored
    QCOMPARE(second, 5.01); // the exchange itself happened before the check
    QCOMPARE(sink.boxes.size(), 1);
    QVERIFY(sink.boxes[0].text.contains("0") && sink.boxes[0].text.contains("5"));
    QCOMPARE(QApplication::focusWidget(), b);

    // A text that is not a number is refused before any range check.
    sink.ExpectBoxes(1);
    b->setText("abc");
    CDataExchange dx2(&form, true);
    QVERIFY_THROWS_EXCEPTION(CUserException, DDX_Text(&dx2, 11, second));
    QCOMPARE(second, 5.01);
}

void TestFramework::maxCharsLimitsTypingNotSetText()
{
    QWidget form;
    auto* e = new QLineEdit(&form);
    e->setObjectName("20");
    QString name = QStringLiteral("Zwölf Zeichen");  // 13 characters
    CDataExchange load(&form, false);
    DDX_Text(&load, 20, name);
    DDV_MaxChars(&load, name, 10);
    QCOMPARE(e->text(), name);  // shown whole

    e->clear();
    QTest::keyClicks(e, "ABCDEFGHIJKL");
    QCOMPARE(e->text(), QStringLiteral("ABCDEFGHIJ"));

    TestSink sink;
    sink.ExpectBoxes(1);
    e->setText(name);
    CDataExchange save(&form, true);
    QString out;
    DDX_Text(&save, 20, out);
    QVERIFY_THROWS_EXCEPTION(CUserException, DDV_MaxChars(&save, out, 10));
    QCOMPARE(sink.boxes.size(), 1);
}

void TestFramework::radioExchangeShowsNoneForMinusOne()
{
    QWidget form;
    auto* group = new QButtonGroup(&form);
    QPushButton* buttons[2];
    for (int i = 0; i < 2; ++i) {
        buttons[i] = new QPushButton(&form);
        buttons[i]->setCheckable(true);
        buttons[i]->setObjectName(QString::number(1203 + i));
        group->addButton(buttons[i]);
    }
    int index = 1;
    CDataExchange show(&form, false);
    DDX_Radio(&show, 1203, index);
    QVERIFY(buttons[1]->isChecked());
    index = -1;
    DDX_Radio(&show, 1203, index);
    QVERIFY(!buttons[0]->isChecked() && !buttons[1]->isChecked());
    CDataExchange read(&form, true);
    index = 5;
    DDX_Radio(&read, 1203, index);
    QCOMPARE(index, -1);
    buttons[0]->click();
    DDX_Radio(&read, 1203, index);
    QCOMPARE(index, 0);
}

void TestFramework::progressClampsAndKeepsColour()
{
    CProgressCtrl bar;
    QCOMPARE(bar.SetPos(150), 0);
    QCOMPARE(bar.GetPos(), 100);
    bar.SetPos(-20);
    QCOMPARE(bar.GetPos(), 0);
    QCOMPARE(bar.SendMessage(PBM_SETBARCOLOR, 0, qintptr(RGB(255, 255, 0))), qintptr(CLR_DEFAULT));
    QCOMPARE(bar.GetBarColor(), COLORREF(0x00FFFF));
    QCOMPARE(ColorFromRef(RGB(255, 0, 0)), QColor(255, 0, 0));
}

namespace {
class CountingBar : public CProgressCtrl
{
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent* e) override
    {
        ++paints;
        CProgressCtrl::paintEvent(e);
    }
};
} // namespace

void TestFramework::progressRepaintsOnlyOnChange()
{
    CountingBar bar;
    bar.resize(12, 80);
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    bar.SetPos(40);
    bar.SetBarColor(RGB(0, 255, 0));
    QTRY_VERIFY(bar.paints > 0);
    QTest::qWait(50);
    const int before = bar.paints;
    for (int i = 0; i < 10; ++i) {
        bar.SetPos(40);
        bar.SetBarColor(RGB(0, 255, 0));
    }
    QTest::qWait(50);
    QCOMPARE(bar.paints, before);
}

namespace {
class Target : public CCmdTarget
{
public:
    int calls = 0;
    Target() { OnCommand(32808, [this] { ++calls; }); }
};
} // namespace

void TestFramework::commandMapRunsHandlersAndReportsMissing()
{
    Target t;
    QVERIFY(t.OnCmdMsg(32808));
    QCOMPARE(t.calls, 1);
    QVERIFY(!t.OnCmdMsg(32792));
    QVERIFY(t.HasCmdHandler(32808));
    QVERIFY(!t.HasCmdHandler(65535));
}

// A caption wider than its template widens the window; the controls stay
// where the template puts them, and a short caption changes nothing.
void TestFramework::dialogsAreWideEnoughForTheirCaptions()
{
    QFont bold = QApplication::font();
    bold.setBold(true);
    const QFontMetrics fm(bold);
    std::vector<int> ids{100, 149, 150, 153, 178, 181, 189};
    for (int id = 133; id <= 148; ++id)
        ids.push_back(id);
    bool widened = false;
    for (int id : ids) {
        const DialogTemplate* tpl = FindDialogTemplate(id);
        QVERIFY(tpl);
        CDialog d(id);
        QVERIFY(d.Create());
        const QSize client(d.Units().x(tpl->cx), d.Units().y(tpl->cy));
        QVERIFY2(d.width() >= fm.horizontalAdvance(tpl->caption) + 48, qPrintable(tpl->caption));
        QCOMPARE(d.height(), client.height());
        QVERIFY(d.width() >= client.width());
        widened |= d.width() > client.width();
        for (const ControlTemplate& c : tpl->controls)
            if (c.id > 0)
                if (QWidget* w = d.GetDlgItem(c.id))
                    QCOMPARE(w->x(), d.Units().x(c.x));
    }
    QVERIFY(widened); // "Einstellung Automatiktimer" at least
}

QTEST_MAIN(TestFramework)
#include "test_framework.moc"
