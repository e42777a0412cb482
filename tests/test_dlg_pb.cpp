// Channel parameter dialogs: table rows, exchange order, bounds, Cancel.

#include "dialogs/PBDlg.h"
#include "framework/DialogTemplate.h"
#include "helpers/TestSink.h"
#include "res/resource.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

QLineEdit* edit(CDialog& d, int id)
{
    return qobject_cast<QLineEdit*>(d.GetDlgItem(id));
}

// Runs the real modal loop; `act` runs once the dialog shows and should end it.
template <class Act> int execWith(CDialog& dlg, Act act)
{
    QTimer::singleShot(0, &dlg, [&] {
        act();
        if (dlg.isVisible())
            dlg.done(-99); // act left it open: fail instead of hanging
    });
    return dlg.DoModal();
}

void fill(CPBDlg& d, const QString& name, const QString& max, const QString& ab,
          const QString& alarm, const QString& hyst)
{
    const PBControlIds ids = kPBIds[d.Channel() - 1];
    edit(d, ids.name)->setText(name);
    edit(d, ids.maximalstrom)->setText(max);
    edit(d, ids.abschaltstrom)->setText(ab);
    edit(d, ids.alarmstrom)->setText(alarm);
    edit(d, ids.hysterese)->setText(hyst);
}

} // namespace

class TestDlgPB : public QObject
{
    Q_OBJECT
private slots:
    void rowsOfTheTable()
    {
        for (int k = 1; k <= 16; ++k) {
            CPBDlg d(k);
            QCOMPARE(d.m_strName, QStringLiteral("Booster %1").arg(k));
            QCOMPARE(d.m_dMaximalstrom + d.m_dAbschaltstrom + d.m_dAlarmstrom + d.m_dHysterese,
                     0.0);
            QCOMPARE(d.GetTemplateId(), 132 + k);
            QVERIFY(d.Create());
            QCOMPARE(d.windowTitle(), k == 7 ? QStringLiteral("Parameter für Booster 7")
                                             : QStringLiteral("Parameter für Input %1").arg(k));
            QCOMPARE(FindDialogTemplate(132 + k)->caption, d.windowTitle());
            // The name edit shares its id with the view's name field of the channel.
            QVERIFY(edit(d, kChannelIds[k - 1].name));
            QCOMPARE(edit(d, kChannelIds[k - 1].name)->text(), d.m_strName);
        }
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, CPBDlg(0));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, CPBDlg(17));
    }

    void acceptedThroughModalLoop()
    {
        TestSink sink;
        CPBDlg d(16);
        d.m_dMaximalstrom = 2.5;
        const int r = execWith(d, [&] {
            QCOMPARE(edit(d, 1142)->text(), QStringLiteral("2,5"));
            fill(d, "Licht 16", "5", "0", "4,99", "0,5");
            qobject_cast<QPushButton*>(d.GetDlgItem(IDOK))->click();
        });
        QCOMPARE(r, IDOK);
        QCOMPARE(d.m_strName, QStringLiteral("Licht 16"));
        QCOMPARE(d.m_dMaximalstrom, 5.0);
        QCOMPARE(d.m_dAbschaltstrom, 0.0);
        QCOMPARE(d.m_dAlarmstrom, 4.99);
        QCOMPARE(d.m_dHysterese, 0.5);
        QVERIFY(sink.boxes.isEmpty());
    }

    // Channel 1's OK is not the default button, yet Enter in a field still means OK.
    void channel1EnterIsOk()
    {
        TestSink sink;
        CPBDlg d(1);
        const int r = execWith(d, [&] {
            QVERIFY(!qobject_cast<QPushButton*>(d.GetDlgItem(IDOK))->isDefault());
            fill(d, "Booster A", "3,7", "3,5", "3", "0,2");
            QTest::keyClick(edit(d, 1089), Qt::Key_Return);
        });
        QCOMPARE(r, IDOK);
        QCOMPARE(d.m_dMaximalstrom, 3.7);
        QCOMPARE(d.m_dHysterese, 0.2);
    }

    // All five fields bad; each OK reports the first bad field of the channel's
    // order, which the test then mends, and stores only the fields before it.
    void firstBadFieldInOrder_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<QStringList>("order");
        const QStringList usual{"ab", "alarm", "hyst", "max", "name"};
        QTest::newRow("1") << 1 << QStringList{"ab", "max", "name", "alarm", "hyst"};
        QTest::newRow("2") << 2 << usual;
        QTest::newRow("5") << 5 << usual; // Maximalstrom and Abschaltstrom ids swapped
        QTest::newRow("7") << 7 << usual;
        QTest::newRow("8") << 8 << QStringList{"ab", "hyst", "alarm", "max", "name"};
        QTest::newRow("16") << 16 << usual;
    }
    void firstBadFieldInOrder()
    {
        QFETCH(int, channel);
        QFETCH(QStringList, order);
        TestSink sink;
        CPBDlg d(channel);
        d.m_strName = "alt";
        QVERIFY(d.Create());
        const PBControlIds ids = kPBIds[channel - 1];
        const QHash<QString, int> idOf{{"name", ids.name},
                                       {"max", ids.maximalstrom},
                                       {"ab", ids.abschaltstrom},
                                       {"alarm", ids.alarmstrom},
                                       {"hyst", ids.hysterese}};
        const QHash<QString, QString> good{
            {"name", "0123456789"}, {"max", "5"}, {"ab", "4,5"}, {"alarm", "4"}, {"hyst", "0,25"}};
        fill(d, "01234567890", "5,01", "-0,1", "abc", "1e3");
        QList<int> members; // how many fields were stored at each refusal
        for (const QString& field : order) {
            sink.ExpectBoxes(1);
            d.OnCmdMsg(IDOK);
            QVERIFY(d.isVisible());
            QCOMPARE(sink.boxes.size(), 1);
            QCOMPARE(d.focusWidget(), edit(d, idOf[field]));
            if (field == "name")
                QCOMPARE(sink.boxes.last().text,
                         QStringLiteral("Bitte geben Sie nicht mehr als 10 Zeichen ein."));
            else if (field == "alarm")
                QCOMPARE(sink.boxes.last().text, QStringLiteral("Bitte geben Sie eine Zahl ein."));
            else
                QCOMPARE(sink.boxes.last().text,
                         QStringLiteral("Bitte geben Sie eine Zahl zwischen 0 und 5 ein."));
            sink.boxes.clear();
            QCOMPARE(d.m_dAbschaltstrom == 0.0, field == "ab"); // a refused value is not stored
            members << (d.m_dAbschaltstrom == 4.5) + (d.m_dMaximalstrom == 5.0) +
                           (d.m_strName == "0123456789") + (d.m_dAlarmstrom == 4.0) +
                           (d.m_dHysterese == 0.25);
            edit(d, idOf[field])->setText(good[field]);
        }
        QCOMPARE(members, (QList<int>{0, 1, 2, 3, 4}));
        d.OnCmdMsg(IDOK);
        QVERIFY(!d.isVisible());
        QCOMPARE(d.m_strName, QStringLiteral("0123456789"));
        QCOMPARE(d.m_dHysterese, 0.25);
    }

    void nameLimitAndEmptyName()
    {
        TestSink sink;
        CPBDlg d(3);
        d.m_strName = "Zwölf Zeichen"; // from a file: shown whole, not cut
        QVERIFY(d.Create());
        QLineEdit* name = edit(d, 1024);
        QCOMPARE(name->text(), d.m_strName);
        name->clear();
        QTest::keyClicks(name, "Abcdefghijk");
        QCOMPARE(name->text(), QStringLiteral("Abcdefghij"));
        name->clear();
        d.OnCmdMsg(IDOK);
        QCOMPARE(d.m_strName, QString());
    }

    void cancelKeepsMembersAndReopenShowsThem()
    {
        TestSink sink;
        CPBDlg d(10);
        d.m_dAlarmstrom = 3.0;
        QCOMPARE(execWith(d,
                          [&] {
                              fill(d, "Neu", "1", "1", "1", "1");
                              QTest::keyClick(&d, Qt::Key_Escape);
                          }),
                 IDCANCEL);
        QCOMPARE(d.m_strName, QStringLiteral("Booster 10"));
        QCOMPARE(d.m_dAlarmstrom, 3.0);
        QVERIFY(d.Create());
        QCOMPARE(edit(d, 1045)->text(), QStringLiteral("Booster 10"));
        QCOMPARE(edit(d, 1120)->text(), QStringLiteral("3"));
    }

    // Channel 8's template names "MS Sans Serif": drawn in a family with the
    // same metrics, its dialog has the size and look of the others.
    void channel8KeepsTheSizeOfTheOthers()
    {
        if (!QFontDatabase::hasFamily(QStringLiteral("Liberation Sans")))
            QSKIP("Liberation Sans is not installed");
        CPBDlg d7(7), d8(8);
        QVERIFY(d7.Create() && d8.Create());
        QCOMPARE(QFontInfo(d8.font()).family(), QStringLiteral("Liberation Sans"));
        QCOMPARE(QFontInfo(d7.font()).family(), QStringLiteral("Liberation Sans"));
        QCOMPARE(d8.size(), d7.size());
    }

    // A paste longer than the name's limit keeps its first characters that
    // fit, wherever it goes in; typing stays limited.
    void pasteIntoNameKeepsWhatFits()
    {
        CPBDlg d(3);
        QVERIFY(d.Create());
        QLineEdit* e = edit(d, kChannelIds[2].name);
        QClipboard* clip = QGuiApplication::clipboard();
        e->clear();
        clip->setText(QStringLiteral("Hauptverteiler 2")); // 16 characters
        e->paste();
        QCOMPARE(e->text(), QStringLiteral("Hauptverte"));

        e->setText(QStringLiteral("Licht"));
        e->setCursorPosition(2);
        clip->setText(QStringLiteral("12345678"));
        e->paste();
        QCOMPARE(e->text(), QStringLiteral("Li12345cht"));
        QCOMPARE(e->cursorPosition(), 7);
        e->paste(); // full: nothing goes in
        QCOMPARE(e->text(), QStringLiteral("Li12345cht"));
        QTest::keyClick(e, Qt::Key_X);
        QCOMPARE(e->text(), QStringLiteral("Li12345cht"));

        e->selectAll();
        clip->setText(QStringLiteral("ABCDEFGHIJKLMNO"));
        e->paste();
        QCOMPARE(e->text(), QStringLiteral("ABCDEFGHIJ"));
    }
};

QTEST_MAIN(TestDlgPB)
#include "test_dlg_pb.moc"
