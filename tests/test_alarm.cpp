// The alarm's sounds through the program's message sink: which sound for
// which event, one sound per tick, the repeat while a channel stays cut off;
// the dialog and its settings.

#include "alarm/AlarmDlg.h"
#include "alarm/AlarmModule.h"
#include "helpers/TestSink.h"
#include "helpers/ViewPanel.h"
#include "res/resource.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

struct FakePlayer : IAlarmPlayer
{
    QStringList* played;
    explicit FakePlayer(QStringList* out) : played(out) {}
    void Play(const QString& id) override { played->append(id); }
};

struct Rig
{
    TestSink sink; // installed first: the alarm wraps it
    ViewPanel panel;
    QStringList played;
    std::unique_ptr<CAlarmModule> alarm;

    explicit Rig(const AlarmConfig& config = {})
    {
        CAlarmModule::Options options;
        options.bNotifications = false;
        options.player = std::make_unique<FakePlayer>(&played);
        alarm = std::make_unique<CAlarmModule>(nullptr, config, std::move(options));
    }
    ~Rig() { alarm.reset(); }
    // What the tick asked for happens once the tick has returned.
    void Settle() { QCoreApplication::processEvents(); }
    void CutTwo() // channels 1 (2 A) and 2 (4.6 A) in one tick
    {
        panel.view.m_dAbschaltstrom[0] = 1.5;
        panel.ch(2).m_dStrom = 4.6;
        panel.view.OnTimer(1);
    }
    void LetBothBackOn()
    {
        panel.view.m_dAbschaltstrom[0] = 5.0;
        panel.ch(2).m_dStrom = 1.0;
        panel.view.OnTimer(2);
    }
};

} // namespace

class TestAlarm : public QObject
{
    Q_OBJECT
private slots:
    void soundForEachEvent();
    void soundOffKeepsTheOldBeep();
    void repeatRunsWhileCutOff();
    void dialogAndSettings();
};

void TestAlarm::soundForEachEvent()
{
    Rig rig;
    for (int i = 0; i < 5; ++i)
        rig.panel.view.OnTimer(1);
    rig.Settle();
    QVERIFY2(rig.played.isEmpty(), "a tick without a change makes no sound");

    rig.CutTwo();
    QVERIFY(rig.panel.ch(1).m_bAbgeschaltet && rig.panel.ch(2).m_bAbgeschaltet);
    rig.Settle();
    QCOMPARE(rig.played, QStringList{"dialog-warning"}); // two cutoffs, one sound
    QVERIFY2(rig.sink.beeps.isEmpty(), "the alarm takes the beeps");

    rig.played.clear();
    rig.panel.view.OnTimer(2); // both still too high: refused, two beeps
    rig.Settle();
    QCOMPARE(rig.played, QStringList{"dialog-warning"});

    // The lock beeps with the bell, its message box still shows.
    rig.played.clear();
    rig.sink.QueueAnswer(IDOK);
    rig.panel.view.m_dHysterese[1] = 1.0; // 4.5 - 1.0 is not above the 4 A it comes back with
    rig.panel.view.OnCmdMsg(kChannelIds[1].imageOff);
    rig.Settle();
    QCOMPARE(rig.sink.boxes.size(), 1);
    QCOMPARE(rig.sink.boxes.first().text, QStringLiteral("Kurzschluss erst beheben"));
    QCOMPARE(rig.played, QStringList{"bell"});

    // Any other beep is the bell; a chosen sound is the cutoff's.
    rig.played.clear();
    MessageBeep(0xFFFFFFFFu);
    rig.Settle();
    QCOMPARE(rig.played, QStringList{"bell"});
    AlarmConfig clock;
    clock.strSound = QStringLiteral("alarm-clock-elapsed");
    rig.alarm->SetConfig(clock);
    rig.played.clear();
    rig.LetBothBackOn();
    rig.Settle();
    QVERIFY2(rig.played.isEmpty(), "switching back on is no alarm");
    rig.CutTwo();
    rig.Settle();
    QCOMPARE(rig.played, QStringList{"alarm-clock-elapsed"});
}

void TestAlarm::soundOffKeepsTheOldBeep()
{
    AlarmConfig off;
    off.bSound = false;
    off.nRepeatSeconds = 1;
    Rig rig(off);
    rig.CutTwo();
    rig.Settle();
    QVERIFY(rig.played.isEmpty());
    QCOMPARE(rig.sink.beeps.size(), 2); // one per channel, as without the alarm
    QVERIFY2(!rig.alarm->IsRepeating(), "no sound, nothing to repeat");
}

void TestAlarm::repeatRunsWhileCutOff()
{
    {
        Rig byDefault;
        byDefault.CutTwo();
        byDefault.Settle();
        QVERIFY2(!byDefault.alarm->IsRepeating(), "repeating is off by default");
    }
    AlarmConfig every;
    every.nRepeatSeconds = 1;
    Rig rig(every);
    rig.panel.view.OnTimer(1);
    rig.Settle();
    QVERIFY(!rig.alarm->IsRepeating());
    rig.CutTwo();
    rig.Settle();
    QVERIFY(rig.alarm->IsRepeating());
    QTRY_COMPARE_WITH_TIMEOUT(rig.played.size(), 2, 3000);
    QCOMPARE(rig.played.last(), QStringLiteral("dialog-warning"));

    // One channel back: the other still holds the repeat.
    rig.panel.view.m_dAbschaltstrom[0] = 5.0;
    rig.panel.view.OnTimer(2);
    rig.Settle();
    QVERIFY(!rig.panel.ch(1).m_bAbgeschaltet && rig.panel.ch(2).m_bAbgeschaltet);
    QVERIFY(rig.alarm->IsRepeating());
    // The last one back by hand: the repeat ends.
    rig.panel.ch(2).m_dStrom = 1.0;
    rig.panel.view.m_dHysterese[1] = 0.0;
    rig.panel.view.OnCmdMsg(kChannelIds[1].imageOff);
    rig.Settle();
    QVERIFY(!rig.panel.ch(2).m_bAbgeschaltet);
    QVERIFY(!rig.alarm->IsRepeating());
}

void TestAlarm::dialogAndSettings()
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("alarm.ini")), QSettings::IniFormat);
    const AlarmConfig defaults = AlarmConfig::Load(settings);
    QVERIFY(defaults.bSound && defaults.bNotify);
    QCOMPARE(defaults.strSound, QStringLiteral("dialog-warning"));
    QCOMPARE(defaults.nRepeatSeconds, 0);

    // The real modal path: change every field, try the sound, OK.
    CAlarmDlg dlg(defaults);
    QStringList tried;
    connect(&dlg, &CAlarmDlg::TryOut, this, [&tried](const QString& id) { tried << id; });
    QTimer::singleShot(0, &dlg, [&dlg] {
        dlg.SoundCombo()->setCurrentIndex(dlg.SoundCombo()->findData(QStringLiteral("bell")));
        dlg.findChild<QPushButton*>(QStringLiteral("tryOut"))->click();
        dlg.RepeatBox()->setValue(20);
        dlg.NotifyBox()->setChecked(false);
        dlg.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    QCOMPARE(dlg.exec(), int(QDialog::Accepted));
    QCOMPARE(tried, QStringList{"bell"});
    dlg.Result().Save(settings);
    settings.sync();
    QCOMPARE(settings.value(QStringLiteral("Alarm/soundName")).toString(), QStringLiteral("bell"));
    QCOMPARE(settings.value(QStringLiteral("Alarm/repeatSeconds")).toInt(), 20);
    QCOMPARE(settings.value(QStringLiteral("Alarm/notify")).toBool(), false);
    const AlarmConfig back = AlarmConfig::Load(settings);
    QCOMPARE(back.strSound, QStringLiteral("bell"));
    QCOMPARE(back.nRepeatSeconds, 20);
    QVERIFY(back.bSound && !back.bNotify);

    // Hand-edited settings: no negative or endless repeat, a named sound kept.
    settings.setValue(QStringLiteral("Alarm/repeatSeconds"), -5);
    settings.setValue(QStringLiteral("Alarm/soundName"), QStringLiteral("message-new-instant"));
    QCOMPARE(AlarmConfig::Load(settings).nRepeatSeconds, 0);
    settings.setValue(QStringLiteral("Alarm/repeatSeconds"), QStringLiteral("oft"));
    QCOMPARE(AlarmConfig::Load(settings).nRepeatSeconds, 0);
    settings.setValue(QStringLiteral("Alarm/repeatSeconds"), 1000000);
    QCOMPARE(AlarmConfig::Load(settings).nRepeatSeconds, AlarmConfig::kMaxRepeatSeconds);
    CAlarmDlg custom(AlarmConfig::Load(settings));
    QCOMPARE(custom.Result().strSound, QStringLiteral("message-new-instant"));

    // The menu command runs the dialog and takes its result at once.
    Rig rig;
    QTimer::singleShot(0, [] {
        if (auto* d = qobject_cast<CAlarmDlg*>(QApplication::activeModalWidget())) {
            d->RepeatBox()->setValue(7);
            d->accept();
        }
    });
    QVERIFY(rig.alarm->OnCmdMsg(ID_ALARM));
    QCOMPARE(rig.alarm->Config().nRepeatSeconds, 7);
}

QTEST_MAIN(TestAlarm)
#include "test_alarm.moc"
