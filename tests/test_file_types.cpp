// Registration with the desktop: written for a program run from a build,
// kept up to date when the program moves, never written beside an installed
// package, and never touching an entry the user or "cmake --install" made.

#include "app/FileTypes.h"

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Entry as versions before the mark wrote it.
const QByteArray kOldEntry = "[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=KORVA_Powermanagement\n"
                             "Comment=Überwachung und Schalten von 16 Booster-Ausgängen\n"
                             "Exec=\"/gone/build/korva\" %f\n"
                             "Icon=korva\n"
                             "MimeType=application/x-korva-sav;\n"
                             "Categories=Utility;Electronics;\n"
                             "Actions=print;\n"
                             "\n"
                             "[Desktop Action print]\n"
                             "Name=Drucken\n"
                             "Exec=\"/gone/build/korva\" %f\n";

// The entry "cmake --install --prefix ~/.local" puts there.
const QByteArray kInstalledEntry = "[Desktop Entry]\nType=Application\nName=KORVA_Powermanagement\n"
                                   "Exec=korva %f\n";

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QStringList FilesUnder(const QString& dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next().mid(dir.size());
    files.sort();
    return files;
}

} // namespace

class TestFileTypes : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void buildRegistersEntryTypeAndIcons();
    void movedProgramRewritesOwnEntryOnly();
    void installedPackageMeansNoWrite();
    void installedPackageRemovesOwnOldEntry();

private:
    QString userEntry() const { return m_data + QStringLiteral("/applications/korva.desktop"); }
    QString userMime() const { return m_data + QStringLiteral("/mime/packages/korva.xml"); }
    void installSystemEntry()
    {
        Write(m_system + QStringLiteral("/applications/korva.desktop"), kInstalledEntry);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_data;
    QString m_system;
};

void TestFileTypes::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_data = m_dir->filePath(QStringLiteral("home/.local/share"));
    m_system = m_dir->filePath(QStringLiteral("usr/share"));
    QDir().mkpath(m_data);
    QDir().mkpath(m_system);
    qputenv("XDG_DATA_HOME", m_data.toLocal8Bit());
    qputenv("XDG_DATA_DIRS",
            (m_dir->filePath(QStringLiteral("usr/local/share")) + QLatin1Char(':') + m_system)
                .toLocal8Bit());
}

void TestFileTypes::buildRegistersEntryTypeAndIcons()
{
    const QString exe = m_dir->filePath(QStringLiteral("mein build/korva"));
    const FileTypeRegistration r = RegisterFileTypes(exe);
    QVERIFY(r.bOk);
    QVERIFY(r.bMimeChanged);

    const QByteArray entry = ReadAll(userEntry());
    // A path with a blank is quoted; the print action prints instead of opening.
    QVERIFY2(entry.contains("\nExec=\"" + exe.toUtf8() + "\" %f\n"), entry);
    QVERIFY2(entry.contains("[Desktop Action print]\nName=Drucken\nExec=\"" + exe.toUtf8() +
                            "\" --print %f\n"),
             entry);
    const QString validate =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (!validate.isEmpty()) {
        QProcess p;
        p.start(validate, {userEntry()});
        QVERIFY(p.waitForFinished(20000));
        QVERIFY2(p.exitCode() == 0, p.readAllStandardOutput().constData());
    }

    // Below the default weight, so other programs' ".sav" stay theirs.
    const QByteArray mime = ReadAll(userMime());
    QVERIFY2(mime.contains("<glob pattern=\"*.sav\" weight=\"40\"/>"), mime);
    QVERIFY(FilesUnder(m_data).contains(QStringLiteral("/icons/hicolor/48x48/apps/korva.png")));

    // Nothing changed, nothing to update.
    QVERIFY(!RegisterFileTypes(exe).bMimeChanged);
}

void TestFileTypes::movedProgramRewritesOwnEntryOnly()
{
    // An entry of an older version pointing at a build that is gone, and the
    // MIME type it wrote without a weight.
    Write(userEntry(), kOldEntry);
    Write(userMime(), "<?xml version=\"1.0\"?>\n<mime-info><mime-type "
                      "type=\"application/x-korva-sav\"><glob pattern=\"*.sav\"/>"
                      "</mime-type></mime-info>\n");
    const QString exe = QStringLiteral("/opt/neu/korva");
    FileTypeRegistration r = RegisterFileTypes(exe);
    QVERIFY(r.bOk);
    QVERIFY(r.bMimeChanged);
    QByteArray entry = ReadAll(userEntry());
    QVERIFY2(entry.contains("\nExec=/opt/neu/korva %f\n"), entry);
    QVERIFY(!entry.contains("/gone/"));
    QVERIFY(ReadAll(userMime()).contains("weight=\"40\""));

    // Moved again: follows.
    QVERIFY(RegisterFileTypes(QStringLiteral("/opt/anders/korva")).bOk);
    QVERIFY(ReadAll(userEntry()).contains("\nExec=/opt/anders/korva --print %f\n"));

    // An entry installed into the user's folder is not ours to change.
    Write(userEntry(), kInstalledEntry);
    QVERIFY(RegisterFileTypes(exe).bOk);
    QCOMPARE(ReadAll(userEntry()), kInstalledEntry);
}

void TestFileTypes::installedPackageMeansNoWrite()
{
    installSystemEntry();
    const FileTypeRegistration r = RegisterFileTypes(QStringLiteral("/usr/bin/korva"));
    QVERIFY(r.bOk);
    QVERIFY(!r.bMimeChanged);
    QCOMPARE(FilesUnder(m_data), QStringList());
    QCOMPARE(QDir(m_data).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void TestFileTypes::installedPackageRemovesOwnOldEntry()
{
    // What a run from the build wrote before the package came.
    QVERIFY(RegisterFileTypes(m_dir->filePath(QStringLiteral("build/korva"))).bOk);
    QVERIFY(QFile::exists(userEntry()));
    installSystemEntry();
    const FileTypeRegistration r = RegisterFileTypes(QStringLiteral("/usr/bin/korva"));
    QVERIFY(r.bOk);
    QVERIFY(r.bMimeChanged);
    QVERIFY(!QFile::exists(userEntry()));
    QVERIFY(!QFile::exists(userMime()));

    // The same for one of the old, unmarked kind; the user's own entry stays.
    Write(userEntry(), kOldEntry);
    QVERIFY(RegisterFileTypes(QStringLiteral("/usr/bin/korva")).bOk);
    QVERIFY(!QFile::exists(userEntry()));
    Write(userEntry(), kInstalledEntry);
    QVERIFY(RegisterFileTypes(QStringLiteral("/usr/bin/korva")).bOk);
    QCOMPARE(ReadAll(userEntry()), kInstalledEntry);
}

QTEST_GUILESS_MAIN(TestFileTypes)
#include "test_file_types.moc"
