#pragma once
// The polling interval of the measurement timer, in milliseconds.

#include "framework/Dialog.h"

class CAbfragezeitDlg : public CDialog
{
    Q_OBJECT
public:
    static constexpr int kMin = 1;
    static constexpr int kMax = 10000000;

    explicit CAbfragezeitDlg(QWidget* pParent = nullptr);

    int m_nAbfragezeit = 10;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
