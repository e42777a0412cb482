// The sixteen channel parameter dialogs: one layout, the row's ids and caption.

#include "framework/DialogTemplate.h"
#include "res/resource.h"

namespace {

using enum CtlKind;

QString Caption(int channel)
{
    // Channel 7's caption names a booster; the others name the input.
    if (channel == 7)
        return QStringLiteral("Parameter für Booster 7");
    return QStringLiteral("Parameter für Input %1").arg(channel);
}

} // namespace

namespace korva_res {

DialogTemplate MakePBTemplate(int channel)
{
    const PBControlIds& ids = kPBIds[channel - 1];
    constexpr unsigned edit = CS_Border | CS_Center | CS_AutoHScroll | CS_TabStop;
    const QString font = channel == 8 ? QStringLiteral("MS Sans Serif") : QStringLiteral("Arial");
    DialogTemplate t{IDD_PB1 + channel - 1,
                     Caption(channel),
                     font,
                     8,
                     222,
                     127,
                     DS_Caption | DS_SysMenu | DS_ModalFrame,
                     {
                         {Static, IDC_STATIC, "Name :", 7, 15, 24, 8},
                         {Static, IDC_STATIC, "Maximalstrom :", 7, 41, 47, 8},
                         {Static, IDC_STATIC, "Abschaltstrom :", 7, 63, 49, 8},
                         {Static, IDC_STATIC, "Alarmstrom :", 7, 85, 39, 8},
                         {Static, IDC_STATIC, "Hysterese :", 7, 107, 36, 8},
                         {Edit, ids.name, "", 77, 9, 61, 14, edit},
                         {Edit, ids.maximalstrom, "", 77, 35, 40, 14, edit},
                         {Edit, ids.abschaltstrom, "", 77, 57, 40, 14, edit},
                         {Edit, ids.alarmstrom, "", 77, 79, 40, 14, edit},
                         {Edit, ids.hysterese, "", 77, 101, 40, 14, edit},
                         {Static, IDC_STATIC, "A", 125, 41, 8, 8},
                         {Static, IDC_STATIC, "A", 125, 63, 8, 8},
                         {Static, IDC_STATIC, "A", 125, 85, 8, 8},
                         {Static, IDC_STATIC, "A", 125, 107, 8, 8},
                         {Static, IDC_STATIC, "max. 10 Zeichen", 143, 15, 54, 8},
                     }};
    ControlTemplate ok{Button, IDOK, "OK", 165, 87, 50, 14, CS_DefPush | CS_TabStop};
    const ControlTemplate cancel{Button, IDCANCEL, "Abbrechen", 165, 106, 50, 14, CS_TabStop};
    if (channel == 1) {
        // Channel 1's OK is a plain button, last in the tab order.
        ok.style = CS_TabStop;
        t.controls.push_back(cancel);
        t.controls.push_back(ok);
    } else {
        t.controls.push_back(ok);
        t.controls.push_back(cancel);
    }
    return t;
}

} // namespace korva_res
