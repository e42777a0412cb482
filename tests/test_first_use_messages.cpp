// Exports that the system refuses: under a real file-size limit (a child
// process with RLIMIT_FSIZE set and SIGXFSZ ignored, as the program runs) the
// message says the file is too big; on a full disk it says the disk is full.
// The two used to get one message that said either might be the case.

#include "journal/Exports.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

namespace {

constexpr rlim_t kLimit = 4096;
const QString kTooBig = QStringLiteral("Die Datei ist zu groß");
const QString kDiskFull = QStringLiteral("nicht genügend Speicherplatz");

int RunChild(const QString& path)
{
    QString error;
    const bool ok = WriteCsvFile(path, QString(int(3 * kLimit), QLatin1Char('x')), &error);
    std::printf("ok=%d\nerror=%s\n", int(ok), qPrintable(error));
    return 0;
}

} // namespace

class TestFirstUseMessages : public QObject
{
    Q_OBJECT
private slots:
    void exportPastFileSizeLimitSaysTooBig();
    void exportOnFullDiskSaysDiskFull();
};

void TestFirstUseMessages::exportPastFileSizeLimitSaysTooBig()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("journal.csv"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("alt\n");
    old.close();

    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments({QStringLiteral("--child"), path});
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.setChildProcessModifier([] {
        struct sigaction ignore = {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGXFSZ, &ignore, nullptr);
        rlimit lim{};
        getrlimit(RLIMIT_FSIZE, &lim);
        lim.rlim_cur = kLimit;
        setrlimit(RLIMIT_FSIZE, &lim);
    });
    child.start();
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
    QVERIFY2(out.contains(QStringLiteral("ok=0")), qPrintable(out));
    QVERIFY2(out.contains(kTooBig) && !out.contains(kDiskFull), qPrintable(out));
    // The old file is untouched and no temporary is left behind.
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("alt\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("journal.csv")});
}

// A tmpfs cannot be mounted without privileges; a small one given through
// KORVA_SMALL_TMPFS is used where there is, else the check is skipped.
void TestFirstUseMessages::exportOnFullDiskSaysDiskFull()
{
    const QString small = qEnvironmentVariable("KORVA_SMALL_TMPFS");
    if (small.isEmpty() || !QFileInfo(small).isDir())
        QSKIP("no small file system given (KORVA_SMALL_TMPFS)");
    const QString path = small + QStringLiteral("/gross.csv");
    QString error;
    QVERIFY(!WriteCsvFile(path, QString(64 * 1024 * 1024, QLatin1Char('x')), &error));
    QVERIFY2(error.contains(kDiskFull) && !error.contains(kTooBig), qPrintable(error));
    QVERIFY(!QFile::exists(path));
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0)
        return RunChild(QString::fromLocal8Bit(argv[2]));
    TestFirstUseMessages test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_first_use_messages.moc"
