// The Debian package made from this build tree: what it holds, that its
// metadata passes the desktop's validators and lintian, and that the
// program in it runs.

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Result
{
    int exitCode = -1;
    QString out;
};

Result RunTool(const QString& program, const QStringList& args, int timeoutMs = 40000)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    Result r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        r.out = QStringLiteral("%1 did not finish in time").arg(program);
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAll());
    return r;
}

QString Tool(const char* name)
{
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}

} // namespace

class TestPackage : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void holdsProgramsAndDesktopFiles();
    void metadataValidates();
    void lintianFindsNoErrors();
    void unpackedProgramRuns();

private:
    QString root(const QString& path) const { return m_unpacked + path; }

    QTemporaryDir m_dir;
    QString m_deb;
    QString m_unpacked;
};

void TestPackage::initTestCase()
{
    for (const char* tool : {"cpack", "dpkg-deb", "dpkg-shlibdeps"})
        if (Tool(tool).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is missing").arg(QLatin1String(tool))));
    // cpack installs the build tree as it is; nothing is built here.
    const Result r = RunTool(Tool("cpack"), {QStringLiteral("-G"), QStringLiteral("DEB"),
                                             QStringLiteral("--config"),
                                             QStringLiteral(KORVA_BUILD_DIR "/CPackConfig.cmake"),
                                             QStringLiteral("-B"), m_dir.path()});
    QVERIFY2(r.exitCode == 0, qPrintable(r.out));
    const QStringList debs = QDir(m_dir.path()).entryList({QStringLiteral("korva_*.deb")});
    QCOMPARE(debs.size(), 1);
    m_deb = m_dir.filePath(debs.first());
    m_unpacked = m_dir.filePath(QStringLiteral("root"));
    const Result x = RunTool(Tool("dpkg-deb"), {QStringLiteral("-x"), m_deb, m_unpacked});
    QVERIFY2(x.exitCode == 0, qPrintable(x.out));
}

void TestPackage::holdsProgramsAndDesktopFiles()
{
    QStringList files;
    QDirIterator it(m_unpacked, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next().mid(m_unpacked.size());
    for (const char* path :
         {"/usr/bin/korva", "/usr/bin/korva-i2c", "/usr/share/applications/korva.desktop",
          "/usr/share/mime/packages/korva.xml",
          "/usr/share/metainfo/de.kalvento.korva.metainfo.xml",
          "/usr/share/icons/hicolor/16x16/apps/korva.png",
          "/usr/share/icons/hicolor/256x256/apps/korva.png",
          "/usr/share/icons/hicolor/48x48/mimetypes/application-x-korva-sav.png",
          "/usr/share/man/man1/korva.1.gz", "/usr/share/man/man1/korva-i2c.1.gz",
          "/usr/share/doc/korva/copyright", "/usr/share/doc/korva/changelog.Debian.gz",
          "/usr/lib/systemd/user/korva.service"})
        QVERIFY2(files.contains(QLatin1String(path)), path);
    // Nothing of the build tree or the tests travels along.
    for (const QString& f : std::as_const(files))
        QVERIFY2(f.startsWith(QLatin1String("/usr/")) && !f.contains(QLatin1String("test")),
                 qPrintable(f));

    // The unit starts the installed program, not one in a build folder.
    QFile unit(root(QStringLiteral("/usr/lib/systemd/user/korva.service")));
    QVERIFY(unit.open(QIODevice::ReadOnly));
    QVERIFY(unit.readAll().contains("\nExecStart=/usr/bin/korva --headless\n"));

    // Dependencies come from the linked libraries, so Qt is among them.
    const Result dep =
        RunTool(Tool("dpkg-deb"), {QStringLiteral("-f"), m_deb, QStringLiteral("Depends")});
    QVERIFY2(dep.out.contains(QLatin1String("libqt6widgets6")) &&
                 dep.out.contains(QLatin1String("libc6")),
             qPrintable(dep.out));
}

void TestPackage::metadataValidates()
{
    if (!Tool("desktop-file-validate").isEmpty()) {
        const Result d = RunTool(Tool("desktop-file-validate"),
                                 {root(QStringLiteral("/usr/share/applications/korva.desktop"))});
        QVERIFY2(d.exitCode == 0 && d.out.isEmpty(), qPrintable(d.out));
    }
    if (!Tool("appstreamcli").isEmpty()) {
        const Result a =
            RunTool(Tool("appstreamcli"),
                    {QStringLiteral("validate"), QStringLiteral("--no-net"),
                     root(QStringLiteral("/usr/share/metainfo/de.kalvento.korva.metainfo.xml"))});
        QVERIFY2(a.exitCode == 0, qPrintable(a.out));
    }
}

void TestPackage::lintianFindsNoErrors()
{
    if (Tool("lintian").isEmpty())
        QSKIP("lintian is not installed");
    // Run as root (CI containers), lintian wants to be told it may.
    const Result r = RunTool(Tool("lintian"),
                             {QStringLiteral("--allow-root"), QStringLiteral("--tag-display-limit"),
                              QStringLiteral("0"), m_deb},
                             45000);
    const bool bErrors =
        r.out.startsWith(QLatin1String("E: ")) || r.out.contains(QLatin1String("\nE: "));
    QVERIFY2(r.exitCode == 0 && !bErrors, qPrintable(r.out));
}

void TestPackage::unpackedProgramRuns()
{
    const Result r = RunTool(root(QStringLiteral("/usr/bin/korva")), {QStringLiteral("--version")});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QStringLiteral("korva 1.0\n"));
    const Result i2c =
        RunTool(root(QStringLiteral("/usr/bin/korva-i2c")), {QStringLiteral("--help")});
    QCOMPARE(i2c.exitCode, 0);
    // The manual pages are real gzip streams.
    const Result gz =
        RunTool(Tool("gzip"),
                {QStringLiteral("-t"), root(QStringLiteral("/usr/share/man/man1/korva.1.gz"))});
    QVERIFY2(gz.exitCode == 0, qPrintable(gz.out));
}

QTEST_GUILESS_MAIN(TestPackage)
#include "test_package.moc"
