// The first start a new user tries: a file from the command line that is
// missing or damaged, with the start-up picture on. The program runs as a
// child (this test re-run with --korva, which calls the program's own entry
// point) so that an abort ends the child, not the test. The child reports on
// standard output what the message box looked like and answers it once the
// start-up picture's time has run out; the test checks how the child ended.

#include "app/Splash.h"
#include "app/VelkorApp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kChildMs = 60000;

// ---- child side

bool g_bChild = false;

// Sees every window as it is shown: the start-up picture, then the box.
class BoxAnswerer : public QObject
{
public:
    BoxAnswerer()
    {
        qApp->installEventFilter(this);
        connect(&m_poll, &QTimer::timeout, this, &BoxAnswerer::poll);
        m_poll.start(20);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* w = qobject_cast<QWidget*>(watched);
        if (event->type() != QEvent::Show || !w || !w->isWindow())
            return false;
        if (w->windowType() == Qt::SplashScreen && !m_splashShown.isValid())
            m_splashShown.start();
        if (auto* box = qobject_cast<QMessageBox*>(w); box && !m_box) {
            m_box = box;
            QWidget* owner = box->parentWidget();
            std::printf("splash=%d\nowner_is_splash=%d\nbox=%s\n", int(m_splashShown.isValid()),
                        int(owner && owner->window()->windowType() == Qt::SplashScreen),
                        qPrintable(box->text().replace(QLatin1Char('\n'), QLatin1String(" | "))));
            std::fflush(stdout);
        }
        return false;
    }

private:
    // The box stays open past the picture's own time, then gets its OK.
    void poll()
    {
        if (!m_box || !m_splashShown.isValid() ||
            m_splashShown.elapsed() < CSplashWnd::kShowMs + 500)
            return;
        std::printf("splash_after_box=%d\n", int(CSplashWnd::Current() != nullptr));
        std::fflush(stdout);
        if (QAbstractButton* ok = m_box->button(QMessageBox::Ok))
            ok->click();
        else
            m_box->reject();
        m_box = nullptr;
    }

    QTimer m_poll;
    QElapsedTimer m_splashShown;
    QPointer<QMessageBox> m_box;
};

void StartAnswerer()
{
    if (g_bChild)
        new BoxAnswerer; // lives as long as the process
}
Q_COREAPP_STARTUP_FUNCTION(StartAnswerer)

// ---- test side

struct Child
{
    QProcess proc;
    ~Child()
    {
        if (proc.state() != QProcess::NotRunning) {
            proc.kill();
            proc.waitForFinished(5000);
        }
    }
    void start(const QString& file)
    {
        proc.setProgram(QCoreApplication::applicationFilePath());
        proc.setArguments({QStringLiteral("--korva"), file});
        proc.start();
    }
    QString value(const QString& key) const
    {
        for (const QString& line : QString::fromLocal8Bit(m_out).split(QLatin1Char('\n')))
            if (line.startsWith(key + QLatin1Char('=')))
                return line.mid(key.size() + 1);
        return QString();
    }
    bool finish()
    {
        const bool done = proc.waitForFinished(kChildMs);
        m_out += proc.readAllStandardOutput();
        m_err += proc.readAllStandardError();
        return done;
    }
    QByteArray m_out;
    QByteArray m_err;
};

} // namespace

class TestFirstUse : public QObject
{
    Q_OBJECT
private slots:
    void badFileWithSplashEndsStartUpCleanly();
};

// Both cases at once: each child waits out the picture's five seconds.
void TestFirstUse::badFileWithSplashEndsStartUpCleanly()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString missing = dir.filePath(QStringLiteral("fehlt.sav"));
    const QString damaged = dir.filePath(QStringLiteral("kaputt.sav"));
    {
        QFile f(damaged);
        QVERIFY(f.open(QIODevice::WriteOnly));
        // A name whose length prefix runs past the end of the file.
        f.write(QByteArray("\x40\x00\x00\x00Tei", 7));
    }
    struct Case
    {
        QString path;
        QString reason;
    };
    const std::vector<Case> cases = {
        {missing, QStringLiteral("existiert nicht")},
        {damaged, QStringLiteral("beschädigt")},
    };
    std::vector<std::unique_ptr<Child>> children;
    for (const Case& c : cases) {
        children.push_back(std::make_unique<Child>());
        children.back()->start(c.path);
    }
    for (size_t i = 0; i < cases.size(); ++i) {
        Child& child = *children[i];
        const QString name = cases[i].path;
        QVERIFY2(child.finish(), qPrintable(name));
        const QString err = QString::fromLocal8Bit(child.m_err);
        QVERIFY2(child.proc.exitStatus() == QProcess::NormalExit,
                 qPrintable(QStringLiteral("%1 ended by signal: %2").arg(name, err)));
        // A failed command-line action ends the start-up.
        QCOMPARE(child.proc.exitCode(), 1);
        QVERIFY2(!err.contains(QStringLiteral("double free")), qPrintable(err));
        QCOMPARE(child.value(QStringLiteral("splash")), QStringLiteral("1"));
        QCOMPARE(child.value(QStringLiteral("owner_is_splash")), QStringLiteral("0"));
        // The box was open past the picture's time and was answered.
        QCOMPARE(child.value(QStringLiteral("splash_after_box")), QStringLiteral("0"));
        const QString box = child.value(QStringLiteral("box"));
        QVERIFY2(box.contains(name) && box.contains(cases[i].reason), qPrintable(box));
    }
}

int main(int argc, char* argv[])
{
    if (argc >= 2 && std::strcmp(argv[1], "--korva") == 0) {
        g_bChild = true;
        std::vector<char*> args{argv[0]};
        args.insert(args.end(), argv + 2, argv + argc);
        args.push_back(nullptr);
        return RunVelkorApp(int(args.size()) - 1, args.data());
    }
    QApplication app(argc, argv);
    TestFirstUse test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_first_use.moc"
