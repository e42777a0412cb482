#include "framework/Document.h"

#include "framework/Archive.h"
#include "framework/DocTemplate.h"
#include "framework/Messages.h"
#include "framework/View.h"
#include "framework/WinApp.h"
#include "res/resource.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>

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

bool CDocument::OnOpenDocument(const QString& pathName)
{
    const QFileInfo info(pathName);
    if (info.isDir()) {
        AfxMessageBox(FileErrorText(pathName, QStringLiteral("Dies ist ein Verzeichnis, keine Datei. "
                                                              "Die Datei kann nicht geöffnet werden.")));
        return false;
    }
    QFile file(pathName);
    if (!file.open(QIODevice::ReadOnly)) {
        AfxMessageBox(FileErrorText(pathName, QStringLiteral("Die Datei kann nicht geöffnet werden: %1")
                                                  .arg(file.errorString())));
        return false;
    }
    try {
        CArchive ar(&file, CArchive::load);
        Serialize(ar);
    } catch (const CArchiveException& e) {
        const QString reason =
            e.m_cause == CArchiveException::readFailed
                ? QStringLiteral("Beim Lesen der Datei ist ein Fehler aufgetreten.")
                : QStringLiteral("Unerwartetes Dateiformat: Die Datei ist unvollständig oder beschädigt.");
        AfxMessageBox(FileErrorText(pathName, reason));
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
    QSaveFile file(pathName);
    // Unbuffered, so that a short write (full disk, size limit) shows up in
    // the archive's own check; a buffered flush inside commit() can come up
    // short and still replace the old file.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        AfxMessageBox(FileErrorText(pathName, QStringLiteral("Die Datei kann nicht gespeichert werden: %1")
                                                  .arg(file.errorString())));
        return false;
    }
    try {
        CArchive ar(&file, CArchive::store);
        Serialize(ar);
    } catch (const CArchiveException&) {
        const QString why = file.errorString();
        file.cancelWriting();
        AfxMessageBox(FileErrorText(pathName, QStringLiteral("Beim Schreiben der Datei ist ein Fehler "
                                                              "aufgetreten (%1). Die alte Datei bleibt "
                                                              "unverändert.")
                                                  .arg(why)));
        return false;
    }
    if (!file.commit()) {
        AfxMessageBox(FileErrorText(pathName, QStringLiteral("Die Datei kann nicht gespeichert werden: %1")
                                                  .arg(file.errorString())));
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
