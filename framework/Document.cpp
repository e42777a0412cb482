#include "framework/Document.h"

#include "framework/Archive.h"
#include "framework/DocTemplate.h"
#include "framework/Messages.h"
#include "framework/View.h"
#include "framework/WinApp.h"
#include "framework/FrameworkIds.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CDocument::CDocument() = default;

CDocument::~CDocument()
{
    for (CView* v : std::as_const(m_views))
        v->SetDocument(nullptr);
}

void CDocument::Serialize(CArchive&) {}

bool CDocument::OnNewDocument()
{
    DeleteContents();
    m_strPathName.clear();
    SetModifiedFlag(false);
    return true;
}

QString FileErrorText(const QString& pathName, const QString& reason)
{
    return QStringLiteral("%1\n%2").arg(QDir::toNativeSeparators(pathName), reason);
}

namespace {

const QString kDamaged =
    QStringLiteral("Unerwartetes Dateiformat: Die Datei ist unvollständig oder beschädigt.");
const QString kDirectory =
    QStringLiteral("Dies ist ein Verzeichnis, keine Datei. Die Datei kann nicht geöffnet werden.");

// Opens a regular file for reading, or gives the reason why not. The open
// does not block (a named pipe would wait for a writer for ever), and the
// type is checked on what was opened, so a pipe swapped in after the first
// look is refused as well.
int openRegularFile(const QString& pathName, QString& reason)
{
    const QByteArray native = QFile::encodeName(pathName);
    struct stat st = {};
    if (::stat(native.constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        reason = S_ISDIR(st.st_mode) ? kDirectory : kDamaged;
        return -1;
    }
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        reason =
            QStringLiteral("Die Datei kann nicht geöffnet werden: %1").arg(SystemErrorText(errno));
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        reason = S_ISDIR(st.st_mode) ? kDirectory : kDamaged;
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

} // namespace

int WriteAllBytes(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += n;
    }
    // A full disk may only show when the data reaches it.
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS)
        return errno;
    return 0;
}

QString SystemErrorText(int err)
{
    switch (err) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return QStringLiteral("Auf dem Datenträger ist nicht genügend Speicherplatz frei.");
    case EFBIG:
        return QStringLiteral("Die Datei ist zu groß (Größenbegrenzung für Dateien erreicht).");
    case EACCES:
    case EPERM:
        return QStringLiteral("Zugriff verweigert: Es fehlt die Berechtigung dazu.");
    case EROFS:
        return QStringLiteral("Der Datenträger ist schreibgeschützt.");
    case ENOENT:
        return QStringLiteral("Die Datei oder der Ordner existiert nicht.");
    case EIO:
        return QStringLiteral("Ein-/Ausgabefehler des Datenträgers.");
    default:
        return QString::fromLocal8Bit(std::strerror(err));
    }
}

bool CDocument::OnOpenDocument(const QString& pathName)
{
    QString reason;
    const int fd = openRegularFile(pathName, reason);
    if (fd < 0) {
        AfxMessageBox(FileErrorText(pathName, reason));
        return false;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        AfxMessageBox(FileErrorText(pathName, QStringLiteral("Die Datei kann nicht geöffnet werden: %1")
                                                  .arg(file.errorString())));
        return false;
    }
    try {
        CArchive ar(&file, CArchive::load);
        Serialize(ar);
    } catch (const CArchiveException& e) {
        const QString why = e.m_cause == CArchiveException::readFailed
                                ? QStringLiteral("Beim Lesen der Datei ist ein Fehler aufgetreten.")
                                : kDamaged;
        AfxMessageBox(FileErrorText(pathName, why));
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

bool CDocument::OnSaveDocument(const QString& pathName)
{
    const QFileInfo info(pathName);
    // Saving renames over the target: never over a directory or a device.
    if (info.exists() && !info.isFile()) {
        AfxMessageBox(FileErrorText(pathName, QStringLiteral("Dies ist keine gewöhnliche Datei. "
                                                              "Die Datei kann nicht gespeichert werden.")));
        return false;
    }
    // The file is small: it is built in memory, then written with the
    // system's own calls so that a short write (full disk, size limit) fails
    // the save with the reason the system gave.
    QByteArray bytes;
    try {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        CArchive ar(&buffer, CArchive::store);
        Serialize(ar);
    } catch (const CArchiveException&) {
        AfxMessageBox(
            FileErrorText(pathName, QStringLiteral("Die Datei kann nicht gespeichert werden.")));
        return false;
    }
    QSaveFile file(pathName);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        const int err = errno;
        AfxMessageBox(
            FileErrorText(pathName, QStringLiteral("Die Datei kann nicht gespeichert werden: %1")
                                        .arg(err ? SystemErrorText(err) : file.errorString())));
        return false;
    }
    if (const int err = WriteAllBytes(file.handle(), bytes); err != 0) {
        file.cancelWriting();
        AfxMessageBox(
            FileErrorText(pathName, QStringLiteral("Beim Schreiben der Datei ist ein Fehler "
                                                   "aufgetreten: %1 Die alte Datei bleibt "
                                                   "unverändert.")
                                        .arg(SystemErrorText(err))));
        return false;
    }
    errno = 0;
    if (!file.commit()) {
        const int err = errno;
        AfxMessageBox(
            FileErrorText(pathName, QStringLiteral("Die Datei kann nicht gespeichert werden: %1")
                                        .arg(err ? SystemErrorText(err) : file.errorString())));
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

void CDocument::OnCloseDocument()
{
    const QList<CView*> views = m_views;
    for (CView* v : views)
        v->CloseFrame();
    if (m_pDocTemplate)
        m_pDocTemplate->RemoveDocument(this);
    delete this;
}

bool CDocument::SaveModified()
{
    if (!IsModified())
        return true;
    const QString name = m_strTitle.isEmpty() ? QStringLiteral("Unbenannt") : m_strTitle;
    switch (AfxMessageBox(QStringLiteral("Änderungen an %1 speichern?").arg(name),
                          MB_YESNOCANCEL | MB_ICONEXCLAMATION)) {
    case IDCANCEL: return false;
    case IDYES: return DoFileSave();
    default: return true;
    }
}

bool CDocument::DoFileSave()
{
    if (m_strPathName.isEmpty() || !QFileInfo(m_strPathName).isWritable())
        return DoSave(QString());
    return DoSave(m_strPathName);
}

bool CDocument::DoSave(const QString& pathName, bool bReplace)
{
    QString path = pathName;
    if (path.isEmpty()) {
        QString proposed = m_strPathName;
        QString filter, ext;
        if (m_pDocTemplate) {
            filter = m_pDocTemplate->FileDialogFilter();
            ext = m_pDocTemplate->GetDocString(CDocTemplate::filterExt);
        }
        if (proposed.isEmpty())
            proposed = m_strTitle + ext;
        path = CWinApp::GetSaveFileName(proposed, filter);
        if (path.isEmpty())
            return false;
        if (!ext.isEmpty() && QFileInfo(path).suffix().isEmpty())
            path += ext;
    }
    if (!OnSaveDocument(path))
        return false;
    if (bReplace)
        SetPathName(path);
    return true;
}

void CDocument::SetPathName(const QString& pathName, bool bAddToMRU)
{
    m_strPathName = QFileInfo(pathName).absoluteFilePath();
    SetTitle(QFileInfo(pathName).fileName());
    if (bAddToMRU && CWinApp::Instance())
        CWinApp::Instance()->AddToRecentFileList(m_strPathName);
}

void CDocument::SetTitle(const QString& title)
{
    m_strTitle = title;
    for (CView* v : std::as_const(m_views))
        v->OnTitleChanged();
}

void CDocument::AddView(CView* pView)
{
    if (!m_views.contains(pView))
        m_views.append(pView);
}

void CDocument::RemoveView(CView* pView) { m_views.removeAll(pView); }

bool CDocument::OnCmdMsg(int nID)
{
    if (CCmdTarget::OnCmdMsg(nID))
        return true;
    if (nID == ID_FILE_SAVE) {
        DoFileSave();
        return true;
    }
    if (nID == ID_FILE_SAVE_AS) {
        DoSave(QString());
        return true;
    }
    if (nID == ID_FILE_CLOSE) {
        if (SaveModified())
            OnCloseDocument();
        return true;
    }
    return false;
}

bool CDocument::HasCmdHandler(int nID) const
{
    return nID == ID_FILE_SAVE || nID == ID_FILE_SAVE_AS || nID == ID_FILE_CLOSE ||
           CCmdTarget::HasCmdHandler(nID);
}
