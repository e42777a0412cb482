#pragma once
// The multiple-document template: makes documents, their child frames and
// views, and keeps the list of open documents.

#include <QList>
#include <QString>
#include <functional>

class CDocument;
class CView;
class CMDIChildWnd;
class CMDIFrameWnd;

class CDocTemplate
{
public:
    enum DocStringIndex { windowTitle, docName, fileNewName, filterName, filterExt, regFileTypeId, regFileTypeName };

    CDocTemplate(int nIDResource, std::function<CDocument*()> newDocument,
                 std::function<CMDIChildWnd*()> newFrame, std::function<CView*()> newView);
    ~CDocTemplate();

    int GetResourceId() const { return m_nIDResource; }
    QString GetDocString(DocStringIndex index) const;
    // "Name (*.ext)" for the file dialogs.
    QString FileDialogFilter() const;

    // An empty path creates a new document; otherwise the file is loaded.
    // Returns nullptr on failure, with nothing left open.
    CDocument* OpenDocumentFile(const QString& pathName, CMDIFrameWnd* mainFrame);
    CDocument* FindOpenDocument(const QString& pathName) const;
    void RemoveDocument(CDocument* pDoc);
    const QList<CDocument*>& Documents() const { return m_docs; }
    void CloseAllDocuments();

private:
    CMDIChildWnd* createFrame(CDocument* doc, CMDIFrameWnd* mainFrame);

    int m_nIDResource;
    std::function<CDocument*()> m_newDocument;
    std::function<CMDIChildWnd*()> m_newFrame;
    std::function<CView*()> m_newView;
    QList<CDocument*> m_docs;
    int m_nUntitledCount = 0;
};
