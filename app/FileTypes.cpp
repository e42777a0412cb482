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

QString MimeTypeName()
{
    return QStringLiteral("application/x-korva-sav");
}

namespace {

bool writeIfMissing(const QString& path, const QByteArray& content)
{
    if (QFileInfo::exists(path))
        return true;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile f(path);
    // Unbuffered, so that a short write (full disk, size limit) shows here;
    // a buffered one would come up short inside commit() and still replace.
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || f.write(content) != content.size())
        return false;
    return f.commit();
}

} // namespace

bool RegisterShellFileTypes()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return false;
    // Parts of the document string: type id, type name and extension.
    const QStringList doc = LoadResString(IDR_KORVATYPE).split(QLatin1Char('\n'));
    const QString ext = doc.value(4, QStringLiteral(".sav"));
    const QString typeName = doc.value(6, QStringLiteral("KORVA_Powermanagement Document"));
    const QString exe = QCoreApplication::applicationFilePath();

    const QByteArray mime =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
            "  <mime-type type=\"%1\">\n"
            "    <comment>%2</comment>\n"
            "    <glob pattern=\"*%3\"/>\n"
            "  </mime-type>\n"
            "</mime-info>\n")
            .arg(MimeTypeName(), typeName, ext)
            .toUtf8();
    const QByteArray desktop =
        QStringLiteral("[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=KORVA_Powermanagement\n"
                       "Comment=Überwachung und Schalten von 16 Booster-Ausgängen\n"
                       "Exec=\"%1\" %f\n"
                       "Icon=korva\n"
                       "MimeType=%2;\n"
                       "Categories=Utility;Electronics;\n"
                       "Actions=print;\n"
                       "\n"
                       "[Desktop Action print]\n"
                       "Name=Drucken\n"
                       "Exec=\"%1\" %f\n")
            .arg(exe, MimeTypeName())
            .toUtf8();

    const QString mimeFile = data + QStringLiteral("/mime/packages/korva.xml");
    const bool newMime = !QFileInfo::exists(mimeFile);
    bool ok = writeIfMissing(mimeFile, mime);
    ok = writeIfMissing(data + QStringLiteral("/applications/korva.desktop"), desktop) && ok;
    InitResources();
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
    if (newMime && ok) {
        const QString tool = QStandardPaths::findExecutable(QStringLiteral("update-mime-database"));
        if (!tool.isEmpty())
            QProcess::startDetached(tool, {data + QStringLiteral("/mime")});
    }
    return ok;
}
