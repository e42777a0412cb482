// Failed writes in a real process: the program under a file-size limit, and
// this test re-run as a child that sets up signals as the program does, then
// saves and journals where the system refuses the writes. A child reports on
// standard output; the test checks how it ended and what is left on disk.

#include "app/VelkorApp.h"
#include "doc/VelkorDoc.h"
#include "framework/Archive.h"
#include "framework/Messages.h"
#include "journal/JournalFile.h"
#include "res/resource.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <grp.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr rlim_t kSmallLimit = 512; // bytes: less than a saved document
constexpr int kChildMs = 30000;

// ---- child side

// Message boxes become lines of the report.
class PrintingSink : public IMessageSink
{
public:
    int MessageBox(QWidget*, const QString& text, const QString&, unsigned) override
    {
        std::printf("message=%s\n",
                    qPrintable(QString(text).replace(QLatin1Char('\n'), QLatin1String(" | "))));
        return IDOK;
    }
    void MessageBeep(unsigned) override {}
};

void saveChangedDocument(const QString& path)
{
    CVelkorDoc doc;
    doc.OnNewDocument();
    doc.m_strName[0] = QStringLiteral("Neu");
    doc.SetModifiedFlag(true);
    const bool ok = doc.OnSaveDocument(path);
    std::printf("save=%d\nmodified=%d\n", int(ok), int(doc.IsModified()));
}

int runChild(const QString& mode, const QString& dir)
{
    // The program's own set-up, not a copy of it.
    SetUpProcessSignals();
    PrintingSink sink;
    SetMessageSink(&sink);
    if (mode == QLatin1String("limited")) {
        saveChangedDocument(dir + QStringLiteral("/alt.sav"));
        CJournalFile journal(dir + QStringLiteral("/journal.csv"));
        int written = 0, failed = 0;
        for (int n = 0; n < 40; ++n) {
            JournalEvent ev;
            ev.time = QDateTime(QDate(2024, 5, 1), QTime(12, 0, n));
            ev.nChannel = 1 + n % 16;
            ev.strName = QStringLiteral("Booster A");
            ev.dCurrent = 4.5;
            (journal.Append(ev) ? written : failed) += 1;
        }
        std::printf("journal=%d,%d\n", written, failed);
    } else if (mode == QLatin1String("denied")) {
        // Root passes any permission check: take the rights of "nobody".
        if (geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
            std::printf("skip=cannot drop root rights\n");
            return 0;
        }
        saveChangedDocument(dir + QStringLiteral("/ro/alt.sav"));
    }
    std::fflush(stdout);
    return 0;
}

// ---- test side

QByteArray newDocumentBytes()
{
    CVelkorDoc doc;
    doc.OnNewDocument();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    CArchive ar(&buffer, CArchive::store);
    doc.Serialize(ar);
    return buffer.data();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A child under a file-size limit, with SIGXFSZ as a fresh program gets it.
void limitFileSize(QProcess& proc)
{
    proc.setChildProcessModifier([] {
        struct sigaction dfl = {};
        dfl.sa_handler = SIG_DFL;
        sigaction(SIGXFSZ, &dfl, nullptr);
        rlimit lim{};
        getrlimit(RLIMIT_FSIZE, &lim);
        lim.rlim_cur = kSmallLimit;
        setrlimit(RLIMIT_FSIZE, &lim);
    });
}

// Never leaves a child running.
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
    // key=value lines of the report.
    QString value(const QString& key)
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
        return done;
    }
    QByteArray m_out;
};

void runSelf(Child& child, const QString& mode, const QString& dir)
{
    child.proc.setProgram(QCoreApplication::applicationFilePath());
    child.proc.setArguments({QStringLiteral("--child"), mode, dir});
    child.proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.proc.start();
}

} // namespace

class TestFileLimits : public QObject
{
    Q_OBJECT
private slots:
    void programStartsUnderFileSizeLimit();
    void saveAndJournalUnderFileSizeLimit();
    void saveIntoReadOnlyDirectory();
};

// At its first start the program writes its file type and icons into the
// user's data directory; under the limit every one of those writes fails.
void TestFileLimits::programStartsUnderFileSizeLimit()
{
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString data = home.filePath(QStringLiteral("data"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), data);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    Child child;
    child.proc.setProcessEnvironment(env);
    child.proc.setProgram(QStringLiteral(KORVA_BINARY));
    child.proc.setArguments({QStringLiteral("--nologo")});
    child.proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    limitFileSize(child.proc);
    child.proc.start();
    QVERIFY(child.proc.waitForStarted(kChildMs));

    // The last icon's folder is made just before its write: once it is
    // there, the program has gone through all of them.
    const QString lastFolder = data + QStringLiteral("/icons/hicolor/256x256/mimetypes");
    QDeadlineTimer deadline(kChildMs);
    bool reached = false;
    while (child.proc.state() == QProcess::Running && !deadline.hasExpired()) {
        if (!reached && QFileInfo::exists(lastFolder)) {
            reached = true;
            deadline.setRemainingTime(1000); // time to finish that write
        }
        child.proc.waitForFinished(50);
    }
    QVERIFY2(child.proc.state() == QProcess::Running,
             qPrintable(QStringLiteral("the program ended (%1, code %2)")
                            .arg(child.proc.exitStatus() == QProcess::CrashExit ? "signal" : "exit")
                            .arg(child.proc.exitCode())));
    QVERIFY(reached);
    // The limit did bite: the large icons were not written.
    QVERIFY(!QFile::exists(data + QStringLiteral("/icons/hicolor/256x256/apps/korva.png")));
}

void TestFileLimits::saveAndJournalUnderFileSizeLimit()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("alt.sav"));
    const QByteArray old = newDocumentBytes();
    QVERIFY(qsizetype(kSmallLimit) < old.size());
    QVERIFY(writeFile(path, old));

    Child child;
    limitFileSize(child.proc);
    runSelf(child, QStringLiteral("limited"), dir.path());
    QVERIFY(child.finish());
    QCOMPARE(child.proc.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.proc.exitCode(), 0);

    QCOMPARE(child.value(QStringLiteral("save")), QStringLiteral("0"));
    QCOMPARE(child.value(QStringLiteral("modified")), QStringLiteral("1"));
    const QString message = child.value(QStringLiteral("message"));
    QVERIFY2(message.contains(path), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("Die Datei ist zu groß")), qPrintable(message));
    QCOMPARE(readFile(path), old);
    QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("alt.sav*")}, QDir::Files),
             QStringList{QStringLiteral("alt.sav")});

    // The journal takes lines up to the limit, then refuses them.
    const QStringList journal = child.value(QStringLiteral("journal")).split(QLatin1Char(','));
    QCOMPARE(journal.size(), 2);
    QVERIFY(journal[0].toInt() > 0);
    QVERIFY(journal[1].toInt() > 0);
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("journal.csv"))).size() <= qint64(kSmallLimit));
}

void TestFileLimits::saveIntoReadOnlyDirectory()
{
    QTemporaryDir dir;
    const QString ro = dir.filePath(QStringLiteral("ro"));
    QVERIFY(QDir().mkdir(ro));
    const QString path = ro + QStringLiteral("/alt.sav");
    const QByteArray old = newDocumentBytes();
    QVERIFY(writeFile(path, old));
    // Only the folder refuses: the file itself may be written by anyone.
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther |
                                            QFile::WriteOther));
    const auto readOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                          QFile::ReadOther | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(dir.path(), readOnly | QFile::WriteOwner));
    QVERIFY(QFile::setPermissions(ro, readOnly));

    Child child;
    runSelf(child, QStringLiteral("denied"), dir.path());
    const bool done = child.finish();
    QFile::setPermissions(ro, readOnly | QFile::WriteOwner);
    QVERIFY(done);
    QCOMPARE(child.proc.exitCode(), 0);
    if (!child.value(QStringLiteral("skip")).isEmpty())
        QSKIP(qPrintable(child.value(QStringLiteral("skip"))));
    QCOMPARE(child.value(QStringLiteral("save")), QStringLiteral("0"));
    QCOMPARE(child.value(QStringLiteral("modified")), QStringLiteral("1"));
    const QString message = child.value(QStringLiteral("message"));
    QVERIFY2(message.contains(path), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("Berechtigung")), qPrintable(message));
    QCOMPARE(readFile(path), old);
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "--child") == 0)
        return runChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    TestFileLimits test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_file_limits.moc"
