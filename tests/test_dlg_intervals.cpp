// Timerzeit, Abfragezeit and the start-stop configuration.

#include "dialogs/AbfragezeitDlg.h"
#include "dialogs/ConDlg.h"
#include "dialogs/TIMERDlg.h"
#include "helpers/TestSink.h"
#include "res/resource.h"

#include "framework/TemplateBuilder.h"

#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {

QLineEdit* edit(CDialog& d, int id)
{
    return qobject_cast<QLineEdit*>(d.GetDlgItem(id));
}
QPushButton* button(CDialog& d, int id)
{
    return qobject_cast<QPushButton*>(d.GetDlgItem(id));
}

template <class Act> int execWith(CDialog& dlg, Act act)
{
    QTimer::singleShot(0, &dlg, [&] {
        act();
        if (dlg.isVisible())
            dlg.done(-99);
    });
    return dlg.DoModal();
}

const QString kParse = QStringLiteral("Bitte geben Sie eine ganze Zahl ein.");

// Types `text` into the interval edit and presses OK; returns the message shown, if any.
template <class Dlg> QString tryOk(Dlg& d, const QString& text)
{
    TestSink sink;
    sink.failOnUnexpected = false;
    edit(d, IDC_INTERVALL)->setText(text);
    d.OnCmdMsg(IDOK);
    return sink.boxes.isEmpty() ? QString() : sink.boxes.first().text;
}

} // namespace

class TestDlgIntervals : public QObject
{
    Q_OBJECT
private slots:
    void constructorValues()
    {
        QCOMPARE(CTIMERDlg().m_nTimerzeit, 10);
        QCOMPARE(CAbfragezeitDlg().m_nAbfragezeit, 10);
        CConDlg con;
        QCOMPARE(con.m_nStartRadio, -1);
        QCOMPARE(con.m_nStopRadio, -1);
    }

    void timerzeitThroughModalLoop()
    {
        TestSink sink;
        CTIMERDlg d;
        d.m_nTimerzeit = 30;
        sink.ExpectBoxes(1);
        const int r = execWith(d, [&] {
            QCOMPARE(edit(d, IDC_INTERVALL)->text(), QStringLiteral("30"));
            edit(d, IDC_INTERVALL)->setText("3601");
            button(d, IDOK)->click();
            QVERIFY(d.isVisible());
            QCOMPARE(d.focusWidget(), edit(d, IDC_INTERVALL));
            edit(d, IDC_INTERVALL)->setText("3600");
            button(d, IDOK)->click();
        });
        QCOMPARE(r, IDOK);
        QCOMPARE(sink.boxes.size(), 1);
        QCOMPARE(sink.boxes[0].text,
                 QStringLiteral("Bitte geben Sie eine ganze Zahl zwischen 0 und 3600 ein."));
        QCOMPARE(d.m_nTimerzeit, 3600);
    }

    void timerzeitBounds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("stored");
        const QString range =
            QStringLiteral("Bitte geben Sie eine ganze Zahl zwischen 0 und 3600 ein.");
        QTest::newRow("0") << "0" << QString() << 0;
        QTest::newRow("3600") << " 3600 " << QString() << 3600;
        QTest::newRow("3601") << "3601" << range << 10;
        QTest::newRow("-1") << "-1" << range << 10;
        QTest::newRow("1,5") << "1,5" << kParse << 10;
        QTest::newRow("abc") << "abc" << kParse << 10;
        QTest::newRow("empty") << "" << kParse << 10;
        QTest::newRow("huge") << "99999999999" << kParse << 10;
    }
    void timerzeitBounds()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        QFETCH(int, stored);
        CTIMERDlg d;
        QVERIFY(d.Create());
        QCOMPARE(tryOk(d, text), message);
        QCOMPARE(d.m_nTimerzeit, stored);
        QCOMPARE(d.isVisible(), !message.isEmpty());
    }

    void abfragezeitBounds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("stored");
        const QString range =
            QStringLiteral("Bitte geben Sie eine ganze Zahl zwischen 1 und 10000000 ein.");
        QTest::newRow("1") << "1" << QString() << 1;
        QTest::newRow("10000000") << "10000000" << QString() << 10000000;
        QTest::newRow("0") << "0" << range << 10;
        QTest::newRow("10000001") << "10000001" << range << 10;
        QTest::newRow("1,5") << "1,5" << kParse << 10;
        QTest::newRow("grouped") << "1.000" << kParse << 10;
    }
    void abfragezeitBounds()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        QFETCH(int, stored);
        CAbfragezeitDlg d;
        QVERIFY(d.Create());
        QCOMPARE(tryOk(d, text), message);
        QCOMPARE(d.m_nAbfragezeit, stored);
    }

    void abfragezeitThroughModalLoop()
    {
        TestSink sink;
        CAbfragezeitDlg d;
        d.m_nAbfragezeit = 1234567;
        const int r = execWith(d, [&] {
            QCOMPARE(edit(d, IDC_INTERVALL)->text(),
                     QStringLiteral("1234567")); // no group separator
            edit(d, IDC_INTERVALL)->setText("200");
            button(d, IDCANCEL)->click();
        });
        QCOMPARE(r, IDCANCEL);
        QCOMPARE(d.m_nAbfragezeit, 1234567);
        QCOMPARE(execWith(d,
                          [&] {
                              edit(d, IDC_INTERVALL)->setText("200");
                              button(d, IDOK)->click();
                          }),
                 IDOK);
        QCOMPARE(d.m_nAbfragezeit, 200);
    }

    void startStopThroughModalLoop()
    {
        CConDlg d;
        d.m_nStartWert = 0;
        d.m_nStopWert = 255;
        const int r = execWith(d, [&] {
            QVERIFY(!button(d, IDC_START_EIN)->isChecked() &&
                    !button(d, IDC_STOP_AUS)->isChecked());
            button(d, IDC_START_EIN)->click();
            button(d, IDC_STOP_AUS)->click();
            button(d, IDOK)->click();
        });
        QCOMPARE(r, IDOK);
        QCOMPARE(d.m_nStartRadio, 0);
        QCOMPARE(d.m_nStopRadio, 0);
        QCOMPARE(d.m_nStartWert, 255);
        QCOMPARE(d.m_nStopWert, 0);
    }

    void startStopPatterns_data()
    {
        QTest::addColumn<int>("startButton"); // 0: none
        QTest::addColumn<int>("stopButton");
        QTest::addColumn<int>("startRadio");
        QTest::addColumn<int>("stopRadio");
        QTest::addColumn<int>("startWert");
        QTest::addColumn<int>("stopWert");
        // The patterns before OK are 17 and 42, so "unchanged" is visible.
        QTest::newRow("aus/ein") << IDC_START_AUS << IDC_STOP_EIN << 1 << 1 << 0 << 255;
        QTest::newRow("ein/aus") << IDC_START_EIN << IDC_STOP_AUS << 0 << 0 << 255 << 0;
        QTest::newRow("none") << 0 << 0 << -1 << -1 << 17 << 42;
        QTest::newRow("start only") << IDC_START_AUS << 0 << 1 << -1 << 0 << 42;
        QTest::newRow("stop only") << 0 << IDC_STOP_EIN << -1 << 1 << 17 << 255;
    }
    void startStopPatterns()
    {
        QFETCH(int, startButton);
        QFETCH(int, stopButton);
        CConDlg d;
        d.m_nStartWert = 17;
        d.m_nStopWert = 42;
        QVERIFY(d.Create());
        if (startButton)
            button(d, startButton)->click();
        if (stopButton)
            button(d, stopButton)->click();
        d.OnCmdMsg(IDOK);
        QVERIFY(!d.isVisible());
        QTEST(int(d.m_nStartRadio), "startRadio");
        QTEST(int(d.m_nStopRadio), "stopRadio");
        QTEST(int(d.m_nStartWert), "startWert");
        QTEST(int(d.m_nStopWert), "stopWert");
    }

    void startStopCancelAndReopen()
    {
        CConDlg d;
        d.m_nStartRadio = 1;
        d.m_nStopRadio = 0;
        d.m_nStartWert = 0;
        d.m_nStopWert = 0;
        QVERIFY(d.Create());
        QVERIFY(button(d, IDC_START_AUS)->isChecked());
        QVERIFY(button(d, IDC_STOP_AUS)->isChecked());
        button(d, IDC_START_EIN)->click();
        button(d, IDC_STOP_EIN)->click();
        QTest::keyClick(&d, Qt::Key_Escape);
        QVERIFY(!d.isVisible());
        QCOMPARE(d.m_nStartRadio, 1);
        QCOMPARE(d.m_nStopRadio, 0);
        QCOMPARE(d.m_nStartWert + d.m_nStopWert, 0);
        QVERIFY(d.Create());
        QVERIFY(button(d, IDC_START_AUS)->isChecked() && !button(d, IDC_START_EIN)->isChecked());
        QVERIFY(button(d, IDC_STOP_AUS)->isChecked() && !button(d, IDC_STOP_EIN)->isChecked());
    }

    // No frame line runs through a button, and the chosen button stands out
    // in the highlight colour in any style.
    void startStopFramesClearButtonsAndCheckedStandsOut()
    {
        CConDlg d;
        d.m_nStartRadio = 0;
        d.m_nStopRadio = 0;
        QVERIFY(d.Create());
        const QList<CGroupFrame*> frames = d.findChildren<CGroupFrame*>();
        QCOMPARE(frames.size(), 2);
        for (CGroupFrame* g : frames) {
            const QRect r = g->FrameRect().translated(g->pos());
            for (QAbstractButton* b : d.findChildren<QAbstractButton*>()) {
                const QRect br = b->geometry();
                if (!r.intersects(br))
                    continue;
                QVERIFY2(r.adjusted(2, 2, -2, -2).contains(br), qPrintable(b->text()));
            }
        }
        for (const QString& styleName : {QStringLiteral("Fusion"), QStringLiteral("Windows")}) {
            std::unique_ptr<QStyle> style(QStyleFactory::create(styleName));
            QVERIFY(style);
            QPushButton* on = button(d, IDC_START_EIN);
            QPushButton* off = button(d, IDC_START_AUS);
            on->setStyle(style.get());
            off->setStyle(style.get());
            QVERIFY(on->isChecked() && !off->isChecked());
            const QColor hl = on->palette().color(QPalette::Highlight);
            const auto hasHighlight = [&](QPushButton* b) {
                const QImage img = b->grab().toImage();
                for (int y = 0; y < img.height(); ++y)
                    for (int x = 0; x < img.width(); ++x)
                        if (img.pixelColor(x, y) == hl)
                            return true;
                return false;
            };
            QVERIFY2(hasHighlight(on), qPrintable(styleName));
            QVERIFY2(!hasHighlight(off), qPrintable(styleName));
            on->setStyle(nullptr);
            off->setStyle(nullptr);
        }
    }
};

QTEST_MAIN(TestDlgIntervals)
#include "test_dlg_intervals.moc"
