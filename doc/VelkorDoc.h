#pragma once
// The saved configuration of one panel: sixteen channels with their name and
// current limits, the two intervals, the energy counters and the start-stop
// choice. The view reads and writes the members directly.

#include "base/Station.h"
#include "framework/Document.h"

#include <QString>
#include <QtGlobal>

class CArchive;

class CVelkorDoc : public CDocument
{
public:
    static constexpr int kChannels = korva::kChannels;

    CVelkorDoc();
    ~CVelkorDoc() override;

    void Serialize(CArchive& ar) override;
    bool OnNewDocument() override;

    // Indexed by channel number - 1.
    QString m_strName[kChannels];
    quint32 m_nAbfragezeit; // ms
    quint32 m_nTimerzeit;   // s
    double m_dMaximalstrom[kChannels];
    double m_dAlarmstrom[kChannels];
    double m_dAbschaltstrom[kChannels];
    double m_dHysterese[kChannels];
    double m_dVerbrauch[kChannels]; // Wh
    double m_dGesamtverbrauch;      // kWh
    qint32 m_nStartWert;
    qint32 m_nStopWert;
    qint32 m_nStartRadio;
    qint32 m_nStopRadio;

private:
    void SetDefaults();
    void StoreTo(CArchive& ar) const;
    void LoadFrom(CArchive& ar);
    void AssignContents(const CVelkorDoc& other);
};
