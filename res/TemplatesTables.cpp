// The maximum-values and consumption-counter dialogs: two columns of eight
// channel rows each.

#include "framework/DialogTemplate.h"
#include "res/resource.h"

namespace {

using enum CtlKind;

constexpr unsigned kClearButton = CS_Center | CS_TabStop;

// Row i (0 ... 7) of a column whose rows run from first to last.
int Row(int first, int last, int i)
{
    return first + (last - first) * i / 7;
}

void AddMaximalwerteRow(std::vector<ControlTemplate>& c, int k)
{
    // The peak and name rows are not evenly spaced.
    static constexpr int nameY[8] = {33, 47, 61, 75, 89, 103, 117, 131};
    static constexpr int peakY[8] = {32, 46, 61, 75, 88, 102, 117, 131};
    const int i = (k - 1) % 8;
    const bool left = k <= 8;
    const int rowY = Row(34, 132, i);
    c.push_back({Edit, MaxNameEditId(k), "", left ? 19 : 114, nameY[i], 44, 12, CS_ReadOnly});
    c.push_back({Edit, MaxPeakEditId(k), "", left ? 63 : 162, peakY[i], 21, 12,
                 CS_ReadOnly | CS_Border | CS_Center});
    c.push_back({Static, IDC_STATIC, "A", left ? 87 : 186, rowY, 8, 8});
    c.push_back({Button, MaxClearButtonId(k), "0", left ? 96 : 194, rowY, 14, 10, kClearButton});
}

void AddVerbrauchRow(std::vector<ControlTemplate>& c, int k)
{
    const int i = (k - 1) % 8;
    const bool left = k <= 8;
    const int nameX = left ? 13 : (k <= 10 ? 193 : 194);
    const int unitY = Row(48, 152, i);
    c.push_back({Edit, VerbrauchNameEditId(k), "", nameX, Row(47, 152, i), 44, 12, CS_ReadOnly});
    c.push_back({Edit, VerbrauchPowerEditId(k), "", left ? 61 : 241, Row(45, 150, i), 21, 12,
                 CS_Border | CS_Center | CS_AutoHScroll | CS_TabStop});
    c.push_back({Static, IDC_STATIC, "W", left ? 85 : 267, unitY, 10, 8});
    c.push_back({Edit, VerbrauchEnergyEditId(k), "", left ? 98 : 280, Row(46, 151, i), 52, 12,
                 CS_Border | CS_AutoHScroll | CS_TabStop});
    c.push_back({Static, IDC_STATIC, "Wh", left ? 151 : 334, unitY, 12, 8});
    c.push_back({Button, VerbrauchClearButtonId(k), "0", left ? 169 : 352, Row(47, 152, i), 14, 10,
                 kClearButton});
}

} // namespace

namespace korva_res {

DialogTemplate MakeMaximalwerteTemplate()
{
    DialogTemplate t{
        IDD_MAXIMALWERTE,
        "Höchstwerte",
        "Arial",
        8,
        232,
        178,
        DS_Caption | DS_ModalFrame | DS_ToolWindow,
        {
            {Button, IDOK, "OK", 139, 157, 50, 14, CS_DefPush | CS_TabStop},
            {Button, IDC_MAX_ALLE_LOESCHEN, "alle löschen", 27, 157, 50, 14, CS_TabStop},
            {GroupBox, IDC_STATIC, "", 8, 1, 217, 150},
            {Picture, IDC_STATIC, QString::number(IDB_MAXIMALWERTE), 15, 10, 19, 16},
            {Static, IDC_STATIC, "löschen", 90, 17, 26, 8},
            {Static, IDC_STATIC, "löschen", 188, 17, 26, 8},
        }};
    for (int k = 1; k <= 16; ++k)
        AddMaximalwerteRow(t.controls, k);
    return t;
}

DialogTemplate MakeVerbrauchTemplate()
{
    DialogTemplate t{IDD_VERBRAUCH,
                     "Stromverbrauchszähler",
                     "Arial",
                     8,
                     385,
                     215,
                     DS_Caption | DS_SysMenu | DS_ModalFrame | DS_ClientEdge,
                     {
                         {GroupBox, IDC_STATIC, "Einzelverbrauch", 7, 20, 370, 155},
                         {Static, IDC_STATIC, "aktuell", 61, 33, 24, 8},
                         {Static, IDC_STATIC, "gesamt", 107, 34, 24, 8},
                         {Static, IDC_STATIC, "löschen", 163, 34, 26, 8},
                         {Static, IDC_STATIC, "aktuell", 241, 33, 24, 8},
                         {Static, IDC_STATIC, "gesamt", 290, 34, 24, 8},
                         {Static, IDC_STATIC, "löschen", 342, 34, 26, 8},
                     }};
    for (int k = 1; k <= 16; ++k)
        AddVerbrauchRow(t.controls, k);
    const std::vector<ControlTemplate> total{
        {GroupBox, IDC_STATIC, "", 7, 171, 370, 37},
        {Static, IDC_STATIC, "Gesamtverbrauch", 13, 187, 57, 8},
        {Edit, IDC_GESAMT, "", 81, 184, 50, 14, CS_Border | CS_AutoHScroll | CS_TabStop},
        {Static, IDC_STATIC, "kWh", 133, 187, 16, 8},
        {Button, IDC_GESAMT_LOESCHEN, "löschen", 156, 184, 40, 14, CS_TabStop},
        {Button, IDC_VERBRAUCH_ALLE_LOESCHEN, "alle löschen", 258, 184, 50, 14, CS_TabStop},
        {Button, IDOK, "OK", 318, 184, 50, 14, CS_DefPush | CS_TabStop},
    };
    t.controls.insert(t.controls.end(), total.begin(), total.end());
    return t;
}

} // namespace korva_res
