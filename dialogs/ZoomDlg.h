#pragma once
// Enlarged monitoring window: the sixteen bars, currents, names and scale
// labels of the view, recoloured and repositioned every 100 ms.

#include "framework/Dialog.h"
#include "hw/I2CBus.h"
#include "hw/I2CDevice.h"

#include <QFont>
#include <QList>
#include <QRect>
#include <QString>

class CProgressCtrl;

class CZoomDlg : public CDialog
{
    Q_OBJECT
public:
    static constexpr quintptr kTimerId = 3;
    static constexpr int kTimerMs = 100;

    explicit CZoomDlg(QWidget* pParent = nullptr);

    // Channel k at k - 1. The view writes all but m_dProzent.
    QString m_strName[16];
    double m_dStrom[16] = {};         // A, truncated to 0.1 A
    double m_dProzent[16] = {};       // last bar position, a whole number
    double m_dMaximalstrom[16] = {};  // A, full scale of the bar
    double m_dAlarmstrom[16] = {};    // A, yellow from here
    double m_dAbschaltstrom[16] = {}; // A, red from here
    double m_dSkalaOben[16] = {};     // A, top label
    double m_dSkalaMitte[16] = {};    // A, middle label
    quint32 m_nAbfragezeit = 0;       // ms, a copy kept for the view; unused here

    CProgressCtrl* m_ctlBalken[16] = {}; // bound by the exchange

    // Hardware objects held for a later use; the window never touches them.
    CI2CBus m_bus;
    CI2CConverter m_converter[4];
    CI2CPortDevice m_portDevice[2];

    void OnTimer(quintptr nIDEvent) override;

    // Bar position for a current on a full scale, truncated; 0 where none can be computed.
    static int BarPosition(double dStrom, double dMaximalstrom);

    // How much larger than its template the form is drawn (1 at the specified size).
    double Scale() const { return m_scale; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    int OnCreate() override;
    void resizeEvent(QResizeEvent* e) override;

private:
    // The whole form grows with the window, keeping its proportions.
    void ScaleForm();

    struct Placed
    {
        QWidget* widget;
        QRect base;
    };
    QList<Placed> m_placed;
    QSize m_baseSize;
    QFont m_baseFont;
    double m_scale = 1.0;
};
