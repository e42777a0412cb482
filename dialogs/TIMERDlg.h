#pragma once
// The automatic timer time in seconds: after a cutoff, how long the view
// waits before it tries to switch cut-off channels back on.

#include "framework/Dialog.h"

class CTIMERDlg : public CDialog
{
    Q_OBJECT
public:
    static constexpr int kMin = 0;
    static constexpr int kMax = 3600;

    explicit CTIMERDlg(QWidget* pParent = nullptr);

    int m_nTimerzeit = 10;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
