#pragma once
// Views and the form view built from a template.

#include "framework/CmdTarget.h"
#include "framework/DataExchange.h"
#include "framework/TemplateBuilder.h"

#include <QWidget>

class CDocument;
class CWndTimers;
class QMdiSubWindow;
class QPixmap;
class QPrinter;

class CView : public QWidget, public CCmdTarget
{
    Q_OBJECT
public:
    explicit CView(QWidget* parent = nullptr);
    ~CView() override;

    void SetDocument(CDocument* pDocument);
    CDocument* GetDocumentBase() const { return m_pDocument; }

    virtual void OnInitialUpdate() {}
    // The window is being destroyed: runs once, before the destructor.
    virtual void OnDestroy();
    virtual void OnTitleChanged();

    void SetTimer(quintptr nIDEvent, quint64 nElapse);
    bool KillTimer(quintptr nIDEvent);
    bool IsTimerRunning(quintptr nIDEvent) const;
    int TimerInterval(quintptr nIDEvent) const;
    virtual void OnTimer(quintptr nIDEvent);

    // The MDI child window that holds this view, if any.
    QMdiSubWindow* GetParentFrame() const;
    // Closes the frame without asking (the document is going away).
    void CloseFrame();

    // Print, direct print and print preview of the window as it appears.
    void OnFilePrint(bool bDirect = false);
    void OnFilePrintPreview();
    // One page: the shot of the window scaled to fit. A page printed without
    // a window (from the file manager) gets a title line above it with the
    // document's name and the date and time, to tell which file it shows.
    // False when the printer cannot start.
    bool PrintPage(QPrinter* printer, const QPixmap& shot, bool bTitle = false) const;

    bool OnCmdMsg(int nID) override;
    bool HasCmdHandler(int nID) const override;
    bool OnUpdateCmdUI(CCmdUI* pCmdUI) override;

private:
    CDocument* m_pDocument = nullptr;
    CWndTimers* m_timers;
    bool m_bDestroyed = false;
};

class CFormView : public CView
{
    Q_OBJECT
public:
    explicit CFormView(int nIDTemplate, QWidget* parent = nullptr);

    bool UpdateData(bool bSaveAndValidate = true);
    QWidget* GetDlgItem(int nID) const { return m_built.controls.value(nID, nullptr); }
    QSize FormSize() const { return m_built.clientSize; }
    const DialogUnits& Units() const { return m_built.units; }
    QSize sizeHint() const override { return m_built.clientSize; }

protected:
    virtual void DoDataExchange(CDataExchange* pDX);

private:
    BuiltTemplate m_built;
};
