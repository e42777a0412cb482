#pragma once
// Peak currents of the sixteen channels. This object is the only store of the
// peaks: the view's measurement cycle raises them here, the buttons clear them.

#include "framework/Dialog.h"

#include <QString>

class CMaximalwerteDlg : public CDialog
{
    Q_OBJECT
public:
    static constexpr quintptr kTimerId = 4;
    static constexpr int kTimerMs = 1000;

    explicit CMaximalwerteDlg(QWidget* pParent = nullptr);

    double m_dMax[16] = {}; // ampere, channel k at k - 1
    QString m_strName[16];

    void OnTimer(quintptr nIDEvent) override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    int OnCreate() override;

private:
    void OnLoeschen(int nChannel);
    void OnAlleLoeschen();
};
