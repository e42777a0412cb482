#include "framework/DocTemplate.h"

#include "framework/Document.h"
#include "framework/MDIFrame.h"
#include "framework/Resources.h"
#include "framework/View.h"

#include <QFileInfo>

CDocTemplate::CDocTemplate(int nIDResource, std::function<CDocument*()> newDocument,
                           std::function<CMDIChildWnd*()> newFrame, std::function<CView*()> newView)
    : m_nIDResource(nIDResource), m_newDocument(std::move(newDocument)),
      m_newFrame(std::move(newFrame)), m_newView(std::move(newView))
{
}

CDocTemplate::~CDocTemplate() { CloseAllDocuments(); }

QString CDocTemplate::GetDocString(DocStringIndex index) const
{
    const QStringList parts = LoadResString(m_nIDResource).split(QLatin1Char('\n'));
    return index < parts.size() ? parts.at(index) : QString();
}

QString CDocTemplate::FileDialogFilter() const
{
    const QString name = GetDocString(filterName);
    const QString ext = GetDocString(filterExt);
    if (name.isEmpty() || ext.isEmpty())
        return {};
    // Qt takes the patterns from the parentheses of the name.
    return name.contains(QLatin1Char('(')) ? name : QStringLiteral("%1 (*%2)").arg(name, ext);
}

CDocument* CDocTemplate::FindOpenDocument(const QString& pathName) const
{
    const QString canonical = QFileInfo(pathName).canonicalFilePath();
    if (canonical.isEmpty())
        return nullptr;
    for (CDocument* d : m_docs)
        if (!d->GetPathName().isEmpty() && QFileInfo(d->GetPathName()).canonicalFilePath() == canonical)
            return d;
    return nullptr;
}

CDocument* CDocTemplate::OpenDocumentFile(const QString& pathName, CMDIFrameWnd* mainFrame)
{
    CDocument* doc = m_newDocument();
    doc->SetDocTemplate(this);
    if (pathName.isEmpty()) {
        if (!doc->OnNewDocument()) {
            delete doc;
            return nullptr;
        }
        doc->SetTitle(GetDocString(fileNewName) + QString::number(++m_nUntitledCount));
    } else {
        // A failed load discards the document before any window exists.
        if (!doc->OnOpenDocument(pathName)) {
            delete doc;
            return nullptr;
        }
        doc->SetPathName(pathName);
    }
    m_docs.append(doc);
    createFrame(doc, mainFrame);
    return doc;
}

CMDIChildWnd* CDocTemplate::createFrame(CDocument* doc, CMDIFrameWnd* mainFrame)
{
    CView* view = m_newView();
    view->SetDocument(doc);
    CMDIChildWnd* frame = m_newFrame();
    frame->SetView(view, m_nIDResource);
    frame->setWindowTitle(doc->GetTitle());
    if (mainFrame)
        mainFrame->AddChild(frame);
    view->OnInitialUpdate();
    frame->ShowChild();
    return frame;
}

void CDocTemplate::RemoveDocument(CDocument* pDoc) { m_docs.removeAll(pDoc); }

void CDocTemplate::CloseAllDocuments()
{
    const QList<CDocument*> docs = m_docs;
    for (CDocument* d : docs)
        d->OnCloseDocument();
}
