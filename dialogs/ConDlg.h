#pragma once
// Start-stop configuration: whether all inputs are on or off at Start and at
// Stop, as an output pattern (255 all on, 0 all off) and the chosen button.

#include "framework/Dialog.h"

#include <QtGlobal>

class CConDlg : public CDialog
{
    Q_OBJECT
public:
    static constexpr qint32 kAlleEin = 255;
    static constexpr qint32 kAlleAus = 0;

    explicit CConDlg(QWidget* pParent = nullptr);

    // The view seeds both patterns from the document; zero until then.
    qint32 m_nStopWert = 0;
    qint32 m_nStartWert = 0;
    qint32 m_nStartRadio = -1; // 0 "Alle Eingänge Ein", 1 "Alle Eingänge Aus", -1 none
    qint32 m_nStopRadio = -1;  // 0 "Alle Eingänge Aus", 1 "Alle Eingänge Ein", -1 none

    void OnOK() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
