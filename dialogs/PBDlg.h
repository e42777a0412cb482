#pragma once
// Parameter dialog of one channel: name and the four currents. One class for
// all sixteen channels; the channel's row of the table gives its template,
// caption, control ids, default name and the order of its exchange.

#include "framework/Dialog.h"
#include "res/resource.h"

#include <QString>
#include <array>

class CPBDlg : public CDialog
{
    Q_OBJECT
public:
    enum class Field
    {
        Name,
        Maximalstrom,
        Abschaltstrom,
        Alarmstrom,
        Hysterese
    };

    struct Row
    {
        int nIDTemplate;
        const char* caption;     // UTF-8
        const char* defaultName; // the name member's constructor value
        PBControlIds ids;
        std::array<Field, 5> order; // exchange order, also the order of validation
    };

    static constexpr double kMinStrom = 0.0;
    static constexpr double kMaxStrom = 5.0;
    static constexpr int kMaxNameChars = 10;

    // Not explicit: the view declares its sixteen dialogs as `m_dlgPB[16]{1, 2, ..., 16}`.
    // Throws std::out_of_range for a channel outside 1 ... 16.
    CPBDlg(int nChannel, QWidget* pParent = nullptr);

    int Channel() const { return m_nChannel; }
    static const Row& RowOf(int nChannel);

    QString m_strName;
    double m_dMaximalstrom = 0.0;
    double m_dAbschaltstrom = 0.0;
    double m_dAlarmstrom = 0.0;
    double m_dHysterese = 0.0;

    bool OnInitDialog() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

private:
    void exchangeField(CDataExchange* pDX, Field field);

    int m_nChannel;
};
