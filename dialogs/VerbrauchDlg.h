#pragma once
// Present power, energy counter per channel and the total consumption. This
// object is the store of these values: the measurement cycle writes them here,
// the buttons clear them, the document takes the counters from here.

#include "framework/Dialog.h"

#include <QString>

class CVerbrauchDlg : public CDialog
{
    Q_OBJECT
public:
    static constexpr quintptr kTimerId = 6;
    static constexpr int kTimerMs = 1000;

    explicit CVerbrauchDlg(QWidget* pParent = nullptr);

    QString m_strName[16];
    double m_dLeistung[16] = {}; // W, channel k at k - 1
    double m_dEnergie[16] = {};  // Wh
    double m_dGesamt = 0.0;      // kWh

    void OnTimer(quintptr nIDEvent) override;
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    int OnCreate() override;

private:
    void connectEdits();
    void forgetEdits();

    // Fields the user typed into since the dialog opened: the refresh leaves
    // them alone and OK takes back only these.
    bool m_bLeistungEdited[16] = {};
    bool m_bEnergieEdited[16] = {};
    bool m_bGesamtEdited = false;
    bool m_bConnected = false;
};
