#include "framework/WinApp.h"

#include "framework/DocTemplate.h"
#include "framework/Document.h"
#include "framework/MDIFrame.h"
#include "framework/View.h"
#include "framework/Messages.h"
#include "framework/FrameworkIds.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QSettings>

namespace {
CWinApp* g_app = nullptr;
}

std::function<QString(const QString&)> CWinApp::s_openFileNameHook;
std::function<QString(const QString&, const QString&)> CWinApp::s_saveFileNameHook;

CWinApp::CWinApp()
{
    g_app = this;
    OnCommand(ID_FILE_MRU_FILE1, [this] { OpenRecentFile(0); });
    OnUpdateCommand(ID_FILE_MRU_FILE1, [this](CCmdUI* ui) {
        if (m_recent.isEmpty()) {
            ui->SetText(QStringLiteral("Letzte Datei"));
            ui->Enable(false);
        } else {
            ui->SetText(QStringLiteral("&1 %1").arg(QDir::toNativeSeparators(m_recent.first())));
            ui->Enable(true);
        }
    });
    OnCommand(ID_APP_EXIT, [this] {
        if (m_pMainWnd)
            m_pMainWnd->close();
    });
}

CWinApp::~CWinApp()
{
    qDeleteAll(m_templates);
    if (g_app == this)
        g_app = nullptr;
}

CWinApp* CWinApp::Instance() { return g_app; }

void CWinApp::SetRegistryKey(const QString& company, const QString& application)
{
    m_settings = std::make_unique<QSettings>(company, application);
}

QSettings& CWinApp::Settings()
{
    if (!m_settings)
        m_settings = std::make_unique<QSettings>();
    return *m_settings;
}

void CWinApp::LoadStdProfileSettings(int nMaxMRU)
{
    m_nMaxMRU = nMaxMRU;
    m_recent.clear();
    for (int i = 1; i <= nMaxMRU; ++i) {
        const QString f = Settings().value(QStringLiteral("Recent File List/File%1").arg(i)).toString();
        if (!f.isEmpty())
            m_recent.append(f);
    }
}

void CWinApp::AddToRecentFileList(const QString& pathName)
{
    if (m_nMaxMRU <= 0)
        return;
    m_recent.removeAll(pathName);
    m_recent.prepend(pathName);
    while (m_recent.size() > m_nMaxMRU)
        m_recent.removeLast();
    saveRecentFileList();
}

void CWinApp::RemoveFromRecentFileList(const QString& pathName)
{
    if (m_recent.removeAll(pathName) > 0)
        saveRecentFileList();
}

void CWinApp::saveRecentFileList()
{
    for (int i = 0; i < m_nMaxMRU; ++i) {
        const QString key = QStringLiteral("Recent File List/File%1").arg(i + 1);
        if (i < m_recent.size())
            Settings().setValue(key, m_recent.at(i));
        else
            Settings().remove(key);
    }
    Settings().sync();
}

CDocument* CWinApp::OpenRecentFile(int index)
{
    if (index < 0 || index >= m_recent.size())
        return nullptr;
    const QString path = m_recent.at(index);
    CDocument* doc = OpenDocumentFile(path);
    // An entry that cannot be opened any more leaves the list once its
    // message has been shown.
    if (!doc)
        RemoveFromRecentFileList(path);
    return doc;
}

void CWinApp::AddDocTemplate(CDocTemplate* pTemplate) { m_templates.append(pTemplate); }

CDocTemplate* CWinApp::DocTemplate() const { return m_templates.value(0, nullptr); }

void CWinApp::ParseCommandLine(const QStringList& args, CCommandLineInfo& info) const
{
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("/nologo") || a == QLatin1String("-nologo") || a == QLatin1String("--nologo")) {
            info.m_bShowSplash = false;
        } else if (!a.startsWith(QLatin1Char('-')) && info.m_strFileName.isEmpty()) {
            info.m_strFileName = a;
            info.m_nShellCommand = CCommandLineInfo::FileOpen;
        }
    }
}

bool CWinApp::ProcessShellCommand(const CCommandLineInfo& info)
{
    switch (info.m_nShellCommand) {
    case CCommandLineInfo::FileNew:
        return DocTemplate() && DocTemplate()->OpenDocumentFile(QString(), m_pMainWnd);
    case CCommandLineInfo::FileOpen: return OpenDocumentFile(info.m_strFileName) != nullptr;
    case CCommandLineInfo::FileNothing: return true;
    }
    return false;
}

void CWinApp::OnFileNew()
{
    if (DocTemplate())
        DocTemplate()->OpenDocumentFile(QString(), m_pMainWnd);
}

void CWinApp::OnFileOpen()
{
    const QString path = GetOpenFileName(DocTemplate() ? DocTemplate()->FileDialogFilter() : QString());
    if (!path.isEmpty())
        OpenDocumentFile(path);
}

void CWinApp::OnFilePrintSetup()
{
    QPrinter printer;
    QPageSetupDialog dlg(&printer, DialogOwner());
    dlg.exec();
}

CDocument* CWinApp::OpenDocumentFile(const QString& pathName)
{
    CDocTemplate* t = DocTemplate();
    if (!t)
        return nullptr;
    // An open document is brought to the front instead of loaded twice.
    if (CDocument* open = t->FindOpenDocument(pathName)) {
        if (!open->Views().isEmpty())
            if (QMdiSubWindow* f = open->Views().first()->GetParentFrame())
                f->mdiArea()->setActiveSubWindow(f);
        return open;
    }
    return t->OpenDocumentFile(pathName, m_pMainWnd);
}

bool CWinApp::SaveAllModified()
{
    for (CDocTemplate* t : std::as_const(m_templates))
        for (CDocument* d : t->Documents())
            if (!d->SaveModified())
                return false;
    return true;
}

void CWinApp::CloseAllDocuments()
{
    for (CDocTemplate* t : std::as_const(m_templates))
        t->CloseAllDocuments();
}

QString CWinApp::GetOpenFileName(const QString& filter)
{
    if (s_openFileNameHook)
        return s_openFileNameHook(filter);
    return QFileDialog::getOpenFileName(DialogOwner(), QStringLiteral("Öffnen"), QString(),
                                        filter + QStringLiteral(";;Alle Dateien (*)"));
}

QString CWinApp::GetSaveFileName(const QString& proposed, const QString& filter)
{
    if (s_saveFileNameHook)
        return s_saveFileNameHook(proposed, filter);
    return QFileDialog::getSaveFileName(DialogOwner(), QStringLiteral("Speichern unter"),
                                        proposed, filter);
}

bool CWinApp::OnCmdMsg(int nID) { return CCmdTarget::OnCmdMsg(nID); }
bool CWinApp::HasCmdHandler(int nID) const { return CCmdTarget::HasCmdHandler(nID); }
bool CWinApp::OnUpdateCmdUI(CCmdUI* pCmdUI) { return CCmdTarget::OnUpdateCmdUI(pCmdUI); }
