#pragma once
// The application object: settings, recent-file list, document templates,
// the new/open commands and the command line.

#include "framework/CmdTarget.h"

#include <QList>
#include <QStringList>
#include <functional>
#include <memory>

class CDocTemplate;
class CDocument;
class CMDIFrameWnd;
class QSettings;

class CCommandLineInfo
{
public:
    enum Shell { FileNew, FileOpen, FileNothing };
    Shell m_nShellCommand = FileNew;
    QString m_strFileName;
    bool m_bShowSplash = true;
};

class CWinApp : public CCmdTarget
{
public:
    CWinApp();
    ~CWinApp() override;
    static CWinApp* Instance();

    void SetRegistryKey(const QString& company, const QString& application);
    QSettings& Settings();
    void LoadStdProfileSettings(int nMaxMRU);
    void AddToRecentFileList(const QString& pathName);
    void RemoveFromRecentFileList(const QString& pathName);
    // Opens entry index of the recent list; a file that fails is dropped from it.
    CDocument* OpenRecentFile(int index);
    const QStringList& RecentFiles() const { return m_recent; }

    void AddDocTemplate(CDocTemplate* pTemplate);
    CDocTemplate* DocTemplate() const;

    void ParseCommandLine(const QStringList& args, CCommandLineInfo& info) const;
    bool ProcessShellCommand(const CCommandLineInfo& info);

    void OnFileNew();
    void OnFileOpen();
    void OnFilePrintSetup();
    CDocument* OpenDocumentFile(const QString& pathName);
    bool SaveAllModified();
    void CloseAllDocuments();

    // File dialogs; tests replace them.
    static QString GetOpenFileName(const QString& filter);
    static QString GetSaveFileName(const QString& proposed, const QString& filter);
    static std::function<QString(const QString& filter)> s_openFileNameHook;
    static std::function<QString(const QString& proposed, const QString& filter)> s_saveFileNameHook;

    CMDIFrameWnd* m_pMainWnd = nullptr;

    bool OnCmdMsg(int nID) override;
    bool HasCmdHandler(int nID) const override;
    bool OnUpdateCmdUI(CCmdUI* pCmdUI) override;

private:
    void saveRecentFileList();

    std::unique_ptr<QSettings> m_settings;
    QList<CDocTemplate*> m_templates;
    QStringList m_recent;
    int m_nMaxMRU = 0;
};
