// The web panel in a real browser: headless Chromium, driven by
// browser/panel_check.py through selenium, against the panel of a view that
// measures the simulated layout with its own timers.

#include "doc/VelkorDoc.h"
#include "helpers/TestSink.h"
#include "hw/SimLayout.h"
#include "hwlink/HardwareModule.h"
#include "journal/JournalModule.h"
#include "remote/WebConfig.h"
#include "remote/WebModule.h"
#include "view/VelkorView.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>
#include <memory>

namespace {

const QString kPassword = QStringLiteral("Schalter-im-Browser");
const QString kPython = QStringLiteral("/usr/bin/python3");
const QString kChromium = QStringLiteral("/usr/bin/chromium");
const QString kChromedriver = QStringLiteral("/usr/bin/chromedriver");

// The script's output line by line, read while the window thread's queue is
// served (measuring, switching and publishing all run there).
class Script
{
public:
    ~Script()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        // SIGTERM lets selenium close Chromium and its driver.
        m_process.terminate();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
        m_process.waitForFinished(2000);
    }

    void Start(const QString& script, const QStringList& args)
    {
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start(kPython, QStringList{script} + args);
    }
    void Send(const QByteArray& line) { m_process.write(line + '\n'); }

    // The next line starting with prefix; lines passed over are kept in
    // Seen(). Empty on timeout, on the script's end or on a FAIL line.
    QString Next(const QString& prefix, int ms)
    {
        QDeadlineTimer deadline(ms);
        for (;;) {
            while (!m_pending.isEmpty()) {
                const QString line = m_pending.takeFirst();
                m_seen << line;
                if (line.startsWith(QLatin1String("FAIL")))
                    return {};
                if (line.startsWith(prefix))
                    return line;
            }
            if (deadline.hasExpired() || !Fill())
                return {};
        }
    }
    QStringList Seen() const { return m_seen; }
    QString Report() const
    {
        return m_seen.join(QLatin1Char('\n')) + QLatin1Char('\n') +
               QString::fromLocal8Bit(m_errors);
    }
    bool Finished(int ms)
    {
        QDeadlineTimer deadline(ms);
        while (m_process.state() != QProcess::NotRunning && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        Fill();
        Next(QStringLiteral("\x01"), 0); // keep the rest for the report
        return m_process.state() == QProcess::NotRunning;
    }
    int ExitCode() const
    {
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

private:
    // False once the script ended and all its output is in.
    bool Fill()
    {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        m_errors += m_process.readAllStandardError();
        m_buffer += m_process.readAllStandardOutput();
        int end = 0;
        while ((end = m_buffer.indexOf('\n')) >= 0) {
            m_pending << QString::fromUtf8(m_buffer.left(end)).trimmed();
            m_buffer.remove(0, end + 1);
        }
        return m_process.state() != QProcess::NotRunning || !m_pending.isEmpty();
    }

    QProcess m_process;
    QByteArray m_buffer;
    QByteArray m_errors;
    QStringList m_pending;
    QStringList m_seen;
};

const JournalEvent* LastOf(const CJournalModule& journal, ChannelEvent kind, int nChannel)
{
    const QVector<JournalEvent>& all = journal.Events();
    for (qsizetype i = all.size() - 1; i >= 0; --i)
        if (all[i].kind == kind && all[i].nChannel == nChannel)
            return &all[i];
    return nullptr;
}

} // namespace

class TestWebBrowser : public QObject
{
    Q_OBJECT
private slots:
    void pageShowsCutoffAndSwitches();
};

void TestWebBrowser::pageShowsCutoffAndSwitches()
{
    for (const QString& program : {kChromium, kChromedriver, kPython})
        if (!QFileInfo(program).isExecutable())
            QSKIP(qPrintable(QStringLiteral("%1 fehlt: scripts/setup.sh installiert Chromium, "
                                            "chromium-driver und python3-selenium")
                                 .arg(program)));
    const QString script = QFINDTESTDATA("browser/panel_check.py");
    QVERIFY(!script.isEmpty());

    QStandardPaths::setTestModeEnabled(true);
    TestSink sink;
    CJournalModule journal(nullptr);
    CHardwareModule hw(nullptr, false);
    hw.SetConfig(HardwareConfig::SimulatedLayout());
    // A port of its own that stays the same when the server starts again.
    quint16 port = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    WebConfig config;
    config.bEnabled = true;
    config.nPort = port;
    config.password = HashWebPassword(kPassword, 1000);
    CWebModule web(nullptr, &journal, config);
    QVERIFY(web.Start());

    CVelkorDoc doc;
    doc.OnNewDocument();
    doc.m_nAbfragezeit = 100; // measured by the view's own timer from here on
    auto view = std::make_unique<CVelkorView>();
    view->SetDocument(&doc);
    view->OnInitialUpdate();
    CVelkorView& v = *view;
    // A name read from a file may be longer than its cell.
    v.m_strName[2] = QStringLiteral("Abstellgleis Nordkopf hinter Weiche 12");
    QCOMPARE(v.ChannelSource(), static_cast<IChannelSource*>(&hw));
    QTRY_VERIFY(hw.Worker()->Sweeps() >= 1);

    Script browser;
    browser.Start(script, {web.Url(), kPassword});
    QVERIFY2(!browser.Next(QStringLiteral("READY"), 30000).isEmpty(), qPrintable(browser.Report()));
    // Every row as the view has it, numbers in German.
    const QRegularExpression amps(QStringLiteral("^\\d+,\\d\\d A$"));
    int rows = 0;
    for (const QString& line : browser.Seen()) {
        if (!line.startsWith(QLatin1String("ROW ")))
            continue;
        const QStringList f = line.mid(4).split(QLatin1Char('|'));
        QCOMPARE(f.size(), 5);
        const int k = f[0].toInt();
        QCOMPARE(k, ++rows);
        QCOMPARE(f[1], v.m_strName[k - 1]);
        QVERIFY2(v.IsSwitchedOn(k) ? (f[2] == QLatin1String("on") || f[2] == QLatin1String("alarm"))
                                   : f[2] == QLatin1String("off"),
                 qPrintable(line));
        QVERIFY2(amps.match(f[3]).hasMatch(), qPrintable(line));
    }
    QCOMPARE(rows, 16);

    // The short reaches the page through the worker, a tick and a push.
    QVERIFY(v.IsSwitchedOn(5));
    hw.Layout()->SetShort(5, true);
    browser.Send("SHORT 5");
    const QString cutoff = browser.Next(QStringLiteral("CUTOFF 5"), 5000);
    QVERIFY2(!cutoff.isEmpty(), qPrintable(browser.Report()));
    qInfo("%s ms after the short", qPrintable(cutoff));
    QCOMPARE(v.m_channel[4].m_bAbgeschaltet, 1);

    QVERIFY2(!browser.Next(QStringLiteral("SWITCHED 7 off"), 30000).isEmpty(),
             qPrintable(browser.Report()));

    // The stream comes back after the server was away.
    web.Stop();
    browser.Send("DROP");
    QVERIFY2(!browser.Next(QStringLiteral("OFFLINE"), 15000).isEmpty(), qPrintable(browser.Report()));
    QVERIFY(web.Start());
    QCOMPARE(web.Port(), port);
    browser.Send("BACK");
    QVERIFY2(!browser.Next(QStringLiteral("ONLINE"), 40000).isEmpty(), qPrintable(browser.Report()));
    v.OnSchalterEin(7);
    browser.Send("ON 7");
    QVERIFY2(!browser.Next(QStringLiteral("RECONNECTED"), 10000).isEmpty(),
             qPrintable(browser.Report()));
    QVERIFY2(!browser.Next(QStringLiteral("DONE"), 5000).isEmpty(), qPrintable(browser.Report()));
    QVERIFY2(browser.Finished(15000), qPrintable(browser.Report()));
    QCOMPARE(browser.ExitCode(), 0);

    // The view itself switched, through the web's command path.
    const JournalEvent* off = LastOf(journal, ChannelEvent::ManualOff, 7);
    QVERIFY(off);
    QCOMPARE(off->strDetail, QStringLiteral("Web"));
    QVERIFY(!v.IsSwitchedOn(5));
    const JournalEvent* locked = LastOf(journal, ChannelEvent::ManualOnLocked, 5);
    QVERIFY(locked);
    QCOMPARE(locked->strDetail, QStringLiteral("Web"));
    QVERIFY(sink.boxes.isEmpty());

    hw.Layout()->SetShort(5, false);
    view.reset();
}

QTEST_MAIN(TestWebBrowser)
#include "test_web_browser.moc"
