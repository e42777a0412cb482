#pragma once
// The document of a document/view pair: its file, title and modified mark.

#include "framework/CmdTarget.h"

#include <QList>
#include <QByteArray>
#include <QString>

class CArchive;
class CView;
class CDocTemplate;

class CDocument : public CCmdTarget
{
public:
    CDocument();
    ~CDocument() override;

    virtual void Serialize(CArchive& ar);
    virtual bool OnNewDocument();
    // Loads the file; shows the framework message naming the file on failure.
    virtual bool OnOpenDocument(const QString& pathName);
    // Saves through a temporary file; on failure the old file and the
    // modified mark stay as they were.
    virtual bool OnSaveDocument(const QString& pathName);
    virtual void DeleteContents() {}
    virtual void OnCloseDocument();

    // Asks whether to save a changed document: false when the user cancels
    // or the save fails.
    virtual bool SaveModified();
    bool DoSave(const QString& pathName, bool bReplace = true);
    bool DoFileSave();

    void SetModifiedFlag(bool bModified = true) { m_bModified = bModified; }
    bool IsModified() const { return m_bModified; }
    const QString& GetPathName() const { return m_strPathName; }
    void SetPathName(const QString& pathName, bool bAddToMRU = true);
    const QString& GetTitle() const { return m_strTitle; }
    void SetTitle(const QString& title);

    void AddView(CView* pView);
    void RemoveView(CView* pView);
    const QList<CView*>& Views() const { return m_views; }
    CDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }
    void SetDocTemplate(CDocTemplate* t) { m_pDocTemplate = t; }

    bool OnCmdMsg(int nID) override;
    bool HasCmdHandler(int nID) const override;

private:
    QString m_strPathName;
    QString m_strTitle;
    bool m_bModified = false;
    QList<CView*> m_views;
    CDocTemplate* m_pDocTemplate = nullptr;
};

// Framework texts for file errors, German.
QString FileErrorText(const QString& pathName, const QString& reason);
// What an error number of the system means, in German for the ones a save
// or an open meets (no space, no permission, file too large).
QString SystemErrorText(int err);
// Writes all of the bytes to the descriptor and syncs them: 0, or the error
// the system reported (a full disk may only show at the sync).
int WriteAllBytes(int fd, const QByteArray& bytes);
