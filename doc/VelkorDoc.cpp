#include "doc/VelkorDoc.h"

#include "framework/Archive.h"

CVelkorDoc::CVelkorDoc()
    : m_nAbfragezeit(0), m_nTimerzeit(0), m_dMaximalstrom{}, m_dAlarmstrom{}, m_dAbschaltstrom{},
      m_dHysterese{}, m_dVerbrauch{}, m_dGesamtverbrauch(0.0), m_nStartWert(255), m_nStopWert(0),
      m_nStartRadio(0), m_nStopRadio(0)
{
}

CVelkorDoc::~CVelkorDoc() = default;

bool CVelkorDoc::OnNewDocument()
{
    if (!CDocument::OnNewDocument())
        return false;
    SetDefaults();
    return true;
}

void CVelkorDoc::SetDefaults()
{
    for (int i = 0; i < kChannels; ++i) {
        m_strName[i] = QStringLiteral("Input %1").arg(i + 1);
        m_dMaximalstrom[i] = 5.0;
        m_dAlarmstrom[i] = 4.0;
        m_dAbschaltstrom[i] = 4.5;
        m_dHysterese[i] = 0.2;
        m_dVerbrauch[i] = 0.0;
    }
    m_strName[0] = QStringLiteral("Booster A");
    m_strName[1] = QStringLiteral("Licht A");
    m_strName[2] = QStringLiteral("Booster B");
    m_dMaximalstrom[0] = 3.7;
    m_dAbschaltstrom[0] = 3.6;
    m_nAbfragezeit = 1000;
    m_nTimerzeit = 30;
    m_dGesamtverbrauch = 0.0;
    m_nStartWert = 255;
    m_nStopWert = 0;
    m_nStartRadio = 0;
    m_nStopRadio = 0;
}

void CVelkorDoc::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        StoreTo(ar);
        return;
    }
    // Read into a scratch copy so that a file cut short leaves this document
    // as it was instead of half overwritten.
    CVelkorDoc loaded;
    loaded.LoadFrom(ar);
    AssignContents(loaded);
}

void CVelkorDoc::AssignContents(const CVelkorDoc& other)
{
    for (int i = 0; i < kChannels; ++i) {
        m_strName[i] = other.m_strName[i];
        m_dMaximalstrom[i] = other.m_dMaximalstrom[i];
        m_dAlarmstrom[i] = other.m_dAlarmstrom[i];
        m_dAbschaltstrom[i] = other.m_dAbschaltstrom[i];
        m_dHysterese[i] = other.m_dHysterese[i];
        m_dVerbrauch[i] = other.m_dVerbrauch[i];
    }
    m_nAbfragezeit = other.m_nAbfragezeit;
    m_nTimerzeit = other.m_nTimerzeit;
    m_dGesamtverbrauch = other.m_dGesamtverbrauch;
    m_nStartWert = other.m_nStartWert;
    m_nStopWert = other.m_nStopWert;
    m_nStartRadio = other.m_nStartRadio;
    m_nStopRadio = other.m_nStopRadio;
}

// The file order differs from the declaration order in three places
// (Timerzeit before Abfragezeit, Abschaltstrom before Alarmstrom, the radio
// choices before the values); existing files depend on it.
void CVelkorDoc::StoreTo(CArchive& ar) const
{
    ar << m_nTimerzeit << m_nAbfragezeit;
    for (int i = 0; i < kChannels; ++i) {
        ar << m_strName[i] << m_dMaximalstrom[i] << m_dAbschaltstrom[i] << m_dAlarmstrom[i]
           << m_dHysterese[i];
    }
    for (double v : m_dVerbrauch)
        ar << v;
    ar << m_dGesamtverbrauch;
    ar << m_nStartRadio << m_nStopRadio << m_nStartWert << m_nStopWert;
}

void CVelkorDoc::LoadFrom(CArchive& ar)
{
    ar >> m_nTimerzeit >> m_nAbfragezeit;
    for (int i = 0; i < kChannels; ++i) {
        ar >> m_strName[i] >> m_dMaximalstrom[i] >> m_dAbschaltstrom[i] >> m_dAlarmstrom[i] >>
            m_dHysterese[i];
    }
    for (double& v : m_dVerbrauch)
        ar >> v;
    ar >> m_dGesamtverbrauch;
    ar >> m_nStartRadio >> m_nStopRadio >> m_nStartWert >> m_nStopWert;
}
