// Add-on windows on a small screen: the offscreen platform is given one
// 1280 x 720 screen, and every add-on window and dialog has to open inside its
// available area, come back where it was left, and be pulled back in from a
// place that only existed on a larger screen.

#include "alarm/AlarmDlg.h"
#include "framework/WindowPlacement.h"
#include "hwlink/HardwareConfigDlg.h"
#include "hwlink/SimulatorWnd.h"
#include "journal/HistoryWnd.h"
#include "journal/JournalModule.h"
#include "journal/JournalWnd.h"
#include "remote/MqttDlg.h"
#include "remote/StationsWnd.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <functional>
#include <memory>

namespace {

const QSize kScreen(1280, 720);

struct WindowCase
{
    const char* key;
    std::function<QWidget*(QWidget* parent)> make;
};

std::unique_ptr<CJournalModule> g_journal;

const WindowCase kWindows[] = {
    {"Ereignisprotokoll", [](QWidget* p) { return new CJournalWnd(*g_journal, p); }},
    {"Verlauf", [](QWidget* p) { return new CHistoryWnd(p); }},
    {"Stationen", [](QWidget* p) { return new CStationsWnd(MqttConfig(), p); }},
    {"Simulator", [](QWidget* p) { return new CSimulatorWnd(p); }},
    {"Alarm", [](QWidget* p) { return new CAlarmDlg(AlarmConfig(), p); }},
    {"Hardware-Konfiguration",
     [](QWidget* p) { return new CHardwareConfigDlg(HardwareConfig(), p, {}); }},
    {"MQTT-Verbindung", [](QWidget* p) { return new CMqttDlg(MqttConfig(), p); }},
};

QRect Area()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

QString Describe(const QRect& r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

} // namespace

class TestFirstUseWindows : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void opensInsideTheScreen_data();
    void opensInsideTheScreen();
    void comesBackWhereItWasLeft_data() { opensInsideTheScreen_data(); }
    void comesBackWhereItWasLeft();
    void placeFromLargerScreenIsPulledIn_data() { opensInsideTheScreen_data(); }
    void placeFromLargerScreenIsPulledIn();
    void fitKeepsFrameInsideArea();

private:
    // Like the main frame: at the top left, as large as the screen allows.
    std::unique_ptr<QWidget> m_frame;
};

void TestFirstUseWindows::initTestCase()
{
    QCOMPARE(QGuiApplication::primaryScreen()->geometry().size(), kScreen);
    m_frame = std::make_unique<QWidget>();
    m_frame->setGeometry(QRect(QPoint(0, 0), kScreen));
    m_frame->show();
    g_journal = std::make_unique<CJournalModule>(nullptr);
}

void TestFirstUseWindows::cleanupTestCase()
{
    g_journal.reset();
    m_frame.reset();
}

void TestFirstUseWindows::cleanup()
{
    QSettings().clear();
}

void TestFirstUseWindows::opensInsideTheScreen_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < int(std::size(kWindows)); ++i)
        QTest::newRow(kWindows[i].key) << i;
}

void TestFirstUseWindows::opensInsideTheScreen()
{
    QFETCH(int, index);
    std::unique_ptr<QWidget> w(kWindows[index].make(m_frame.get()));
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QVERIFY2(Area().contains(w->frameGeometry()), qPrintable(Describe(w->frameGeometry())));
    // Nothing was cut off to make it fit: the layout has the room it asks for.
    QVERIFY(w->width() >= w->minimumSizeHint().width());
    QVERIFY(w->height() >= w->minimumSizeHint().height());
}

void TestFirstUseWindows::comesBackWhereItWasLeft()
{
    QFETCH(int, index);
    QRect left;
    {
        std::unique_ptr<QWidget> w(kWindows[index].make(m_frame.get()));
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        const QSize size = QSize(600, 400).expandedTo(w->minimumSizeHint());
        w->setGeometry(QRect(QPoint(60, 70), size));
        left = w->geometry();
        w->hide();
    }
    std::unique_ptr<QWidget> again(kWindows[index].make(m_frame.get()));
    again->show();
    QVERIFY(QTest::qWaitForWindowExposed(again.get()));
    QCOMPARE(again->geometry(), left);
}

void TestFirstUseWindows::placeFromLargerScreenIsPulledIn()
{
    QFETCH(int, index);
    // Left on a 2560 x 1440 screen, far right and tall.
    QSettings().setValue(QStringLiteral("Fenster/") + QLatin1String(kWindows[index].key),
                         QRect(1900, 900, 1400, 1000));
    std::unique_ptr<QWidget> w(kWindows[index].make(m_frame.get()));
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QVERIFY2(Area().contains(w->frameGeometry()), qPrintable(Describe(w->frameGeometry())));
}

void TestFirstUseWindows::fitKeepsFrameInsideArea()
{
    const QRect area(0, 0, 1280, 720);
    const QMargins frame(4, 30, 4, 4);
    // Too large and off to the right: shrunk to the area, frame included.
    const QRect big = FitIntoArea(QRect(900, 500, 1400, 900), frame, area, area, true);
    QCOMPARE(big.marginsAdded(frame), area);
    // A place of its own is kept when it fits.
    QCOMPARE(FitIntoArea(QRect(100, 100, 400, 300), frame, area, area, true),
             QRect(100, 100, 400, 300));
    // Without one it is centred over the anchor, then kept inside.
    const QRect anchor(1000, 0, 280, 200);
    const QRect centred = FitIntoArea(QRect(0, 0, 400, 300), frame, area, anchor, false);
    QVERIFY(area.contains(centred.marginsAdded(frame)));
    QCOMPARE(centred.marginsAdded(frame).right(), area.right());
}

int main(int argc, char* argv[])
{
    // One screen of the size the windows must fit, for the offscreen platform.
    const QString config = QDir::temp().filePath(
        QStringLiteral("korva-screen-%1.json").arg(QCoreApplication::applicationPid()));
    {
        QFile f(config);
        if (!f.open(QIODevice::WriteOnly))
            return 2;
        f.write(QStringLiteral(R"({"screens":[{"name":"klein","x":0,"y":0,"width":%1,)"
                               R"("height":%2,"logicalDpi":96,"dpr":1}]})")
                    .arg(kScreen.width())
                    .arg(kScreen.height())
                    .toUtf8());
    }
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
    int rc = 0;
    {
        QApplication app(argc, argv);
        QApplication::setOrganizationName(QStringLiteral("Kalvento GmbH"));
        QApplication::setApplicationName(QStringLiteral("korva-test-windows"));
        TestFirstUseWindows test;
        QTEST_SET_MAIN_SOURCE_PATH
        rc = QTest::qExec(&test, argc, argv);
    }
    QFile::remove(config);
    return rc;
}

#include "test_first_use_windows.moc"
