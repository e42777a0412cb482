#include "app/FileTypes.h"

#include "framework/Resources.h"
#include "res/resource.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>
#include <algorithm>

QString MimeTypeName()
{
    return QStringLiteral("application/x-korva-sav");
}

namespace {

// Marks what this program wrote, so that a user's own entry or one that
// "cmake --install" put into ~/.local is never touched.
const QByteArray kGeneratedKey = "X-KORVA-Generated=true";
// Entries written before the mark existed carry this comment.
const QByteArray kOldComment = "Comment=Überwachung und Schalten von 16 Booster-Ausgängen";

bool writeFile(const QString& path, const QByteArray& content)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile f(path);
    // Unbuffered, so that a short write (full disk, size limit) shows here;
    // a buffered one would come up short inside commit() and still replace.
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || f.write(content) != content.size())
        return false;
    return f.commit();
}

bool writeIfMissing(const QString& path, const QByteArray& content)
{
    return QFileInfo::exists(path) || writeFile(path, content);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool isOurDesktopEntry(const QByteArray& entry)
{
    return entry.contains(kGeneratedKey) || entry.contains(kOldComment);
}

bool isOurMimeType(const QByteArray& xml)
{
    return xml.contains("type=\"" + MimeTypeName().toUtf8() + "\"");
}

// One argument of an Exec key: quoted where the desktop entry rules ask for
// it, then with the string escape of the file format on top.
QString execArgument(QString arg)
{
    arg.replace(QLatin1Char('%'), QStringLiteral("%%"));
    static const QString kReserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    const bool bQuote =
        std::any_of(arg.cbegin(), arg.cend(), [](QChar c) { return kReserved.contains(c); });
    if (bQuote) {
        QString quoted;
        for (QChar c : std::as_const(arg)) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                c == QLatin1Char('\\'))
                quoted += QLatin1Char('\\');
            quoted += c;
        }
        arg = QLatin1Char('"') + quoted + QLatin1Char('"');
    }
    return arg.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
}

QByteArray mimeXml(const QString& typeName, const QString& ext)
{
    // Below the default weight of 50: a program that registers ".sav" too
    // keeps its files.
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
               "  <mime-type type=\"%1\">\n"
               "    <comment>%2</comment>\n"
               "    <icon name=\"application-x-korva-sav\"/>\n"
               "    <glob pattern=\"*%3\" weight=\"40\"/>\n"
               "  </mime-type>\n"
               "</mime-info>\n")
        .arg(MimeTypeName(), typeName.toHtmlEscaped(), ext.toHtmlEscaped())
        .toUtf8();
}

QByteArray desktopEntry(const QString& exe)
{
    const QString program = execArgument(exe);
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Version=1.0\n"
                          "Name=KORVA_Powermanagement\n"
                          "Comment=Überwacht und schaltet die 16 Boosterausgänge einer "
                          "Modellbahnanlage\n"
                          "Exec=%1 %f\n"
                          "Icon=korva\n"
                          "Terminal=false\n"
                          "MimeType=%2;\n"
                          "Categories=Utility;Electronics;\n"
                          "Actions=print;\n"
                          "%3\n"
                          "\n"
                          "[Desktop Action print]\n"
                          "Name=Drucken\n"
                          "Exec=%1 --print %f\n")
        .arg(program, MimeTypeName(), QString::fromUtf8(kGeneratedKey))
        .toUtf8();
}

// A desktop entry in one of the system's data folders (XDG_DATA_DIRS).
bool systemEntryInstalled(const QString& userData)
{
    const QStringList dirs = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    for (const QString& dir : dirs) {
        if (QDir(dir) != QDir(userData) &&
            QFileInfo::exists(dir + QStringLiteral("/applications/korva.desktop")))
            return true;
    }
    return false;
}

bool writeIcons(const QString& data)
{
    InitResources();
    bool ok = true;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        QFile app(QStringLiteral(":/res/icons/128-%1.png").arg(size));
        if (app.open(QIODevice::ReadOnly))
            ok = writeIfMissing(
                     QStringLiteral("%1/icons/hicolor/%2x%2/apps/korva.png").arg(data).arg(size),
                     app.readAll()) &&
                 ok;
        QFile docIcon(QStringLiteral(":/res/icons/129-%1.png").arg(size));
        if (docIcon.open(QIODevice::ReadOnly))
            ok = writeIfMissing(
                     QStringLiteral("%1/icons/hicolor/%2x%2/mimetypes/application-x-korva-sav.png")
                         .arg(data)
                         .arg(size),
                     docIcon.readAll()) &&
                 ok;
    }
    return ok;
}

} // namespace

FileTypeRegistration RegisterFileTypes(const QString& exe)
{
    FileTypeRegistration r;
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty()) {
        r.bOk = false;
        return r;
    }
    const QString desktopFile = data + QStringLiteral("/applications/korva.desktop");
    const QString mimeFile = data + QStringLiteral("/mime/packages/korva.xml");
    const QByteArray oldDesktop = readFile(desktopFile);
    const QByteArray oldMime = readFile(mimeFile);

    if (systemEntryInstalled(data)) {
        // Ours would hide the installed entry and point at a build.
        if (isOurDesktopEntry(oldDesktop))
            r.bOk = QFile::remove(desktopFile);
        if (isOurMimeType(oldMime)) {
            r.bOk = QFile::remove(mimeFile) && r.bOk;
            r.bMimeChanged = true;
        }
        return r;
    }

    // Parts of the document string: type name and extension.
    const QStringList doc = LoadResString(IDR_KORVATYPE).split(QLatin1Char('\n'));
    const QString ext = doc.value(4, QStringLiteral(".sav"));
    const QString typeName = doc.value(6, QStringLiteral("KORVA_Powermanagement Document"));
    const QByteArray mime = mimeXml(typeName, ext);
    const QByteArray desktop = desktopEntry(exe);

    // Missing, or ours from another place or an older version: (re)written.
    if (!QFileInfo::exists(mimeFile) || (isOurMimeType(oldMime) && oldMime != mime)) {
        r.bOk = writeFile(mimeFile, mime);
        r.bMimeChanged = r.bOk;
    }
    if (!QFileInfo::exists(desktopFile) || (isOurDesktopEntry(oldDesktop) && oldDesktop != desktop))
        r.bOk = writeFile(desktopFile, desktop) && r.bOk;
    r.bOk = writeIcons(data) && r.bOk;
    return r;
}

bool RegisterShellFileTypes()
{
    const FileTypeRegistration r = RegisterFileTypes(QCoreApplication::applicationFilePath());
    if (r.bMimeChanged) {
        const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        const QString tool = QStandardPaths::findExecutable(QStringLiteral("update-mime-database"));
        if (!tool.isEmpty())
            QProcess::startDetached(tool, {data + QStringLiteral("/mime")});
    }
    return r.bOk;
}
