#pragma once

#include "framework/MDIFrame.h"

#include <QSize>

class CMainFrame : public CMDIFrameWnd
{
    Q_OBJECT
public:
    CMainFrame();
    // Window creation: toolbar, status bar with date and time, splash screen.
    int OnCreate();
    void OnTimer(quintptr nIDEvent) override;

    // Date and time as the panes show them ("%x" and "%X" in the C locale set at start-up).
    static QString FormatNow(const char* format);

    int m_nDatePaneNo = 0;
    int m_nTimePaneNo = 0;
    CStatusBar& m_wndStatusBar;
    QToolBar*& m_wndToolBar;

    static constexpr quintptr kStatusTimerId = 4096;
    // The frame's size at start-up, decorations included.
    static constexpr QSize kOuterSize{736, 590};

protected:
    bool event(QEvent* e) override;

private:
    void updateClockPane(CCmdUI* pCmdUI, int paneNo, const char* format);
    void FitOuterSize();
    bool m_bOuterSized = false;
    QToolBar* m_toolBarRef = nullptr;
};
