#pragma once
// A modal dialog built from its template. The object lives on between
// showings and keeps its members; the controls are built at the first showing.

#include "framework/CmdTarget.h"
#include "framework/DataExchange.h"
#include "framework/TemplateBuilder.h"

#include <QDialog>

class CWndTimers;

class CDialog : public QDialog, public CCmdTarget
{
    Q_OBJECT
public:
    explicit CDialog(int nIDTemplate, QWidget* pParent = nullptr);
    ~CDialog() override;

    // Runs the dialog modally: IDOK or IDCANCEL (-1 when creation failed).
    int DoModal();
    // Builds the window and shows it without a modal loop (tests, the fast path).
    bool Create();
    void EndDialog(int nResult);

    bool UpdateData(bool bSaveAndValidate = true);
    QWidget* GetDlgItem(int nID) const;
    int GetTemplateId() const { return m_nIDTemplate; }
    const DialogUnits& Units() const { return m_built.units; }
    // The width a window needs to show its caption in the title bar.
    static int CaptionWidth(const QString& caption);

    void SetTimer(quintptr nIDEvent, quint64 nElapse);
    bool KillTimer(quintptr nIDEvent);
    bool IsTimerRunning(quintptr nIDEvent) const;
    int TimerInterval(quintptr nIDEvent) const;
    virtual void OnTimer(quintptr nIDEvent);

    bool OnCmdMsg(int nID) override;
    bool HasCmdHandler(int nID) const override;

    virtual bool OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    // Window creation: return -1 to refuse.
    virtual int OnCreate();
    // The window is going away: its timers end here.
    virtual void OnDestroy();

    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void reject() override;
    void accept() override;

private:
    bool createWindow();
    void placeWindow();

    int m_nIDTemplate;
    bool m_bBuilt = false;
    bool m_bInModal = false;
    BuiltTemplate m_built;
    CWndTimers* m_timers;
};
