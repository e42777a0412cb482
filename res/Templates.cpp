// The dialog templates, and the small ones among them.

#include "framework/DialogTemplate.h"
#include "res/resource.h"

namespace korva_res {
// Defined in the other Templates*.cpp files.
DialogTemplate MakeFormTemplate();
DialogTemplate MakeZoomTemplate();
DialogTemplate MakePBTemplate(int channel);
DialogTemplate MakeMaximalwerteTemplate();
DialogTemplate MakeVerbrauchTemplate();
} // namespace korva_res

namespace {

using enum CtlKind;

constexpr unsigned kModal = DS_Caption | DS_SysMenu | DS_ModalFrame;

DialogTemplate AboutTemplate()
{
    return {IDD_ABOUTBOX,
            "Info über KORVA_Powermanagement",
            "Arial",
            8,
            235,
            55,
            kModal,
            {
                {Picture, IDC_STATIC, QString::number(IDB_ABOUT), 7, 11, 67, 26},
                {Static, IDC_STATIC, "KORVA-Powermanagement Version 1.0", 84, 13, 144, 8},
                {Static, IDC_STATIC, "Copyright © 2026 Kalvento GmbH", 84, 23, 144, 8},
                {Button, IDOK, "OK", 178, 34, 50, 14, CS_DefPush | CS_TabStop},
            }};
}

constexpr unsigned kNumberEdit = CS_Border | CS_Center | CS_AutoHScroll | CS_TabStop;

DialogTemplate TimerTemplate()
{
    return {IDD_TIMER,
            "Einstellung Automatiktimer",
            "Arial",
            8,
            186,
            95,
            kModal,
            {
                {Button, IDOK, "OK", 129, 74, 50, 14, CS_DefPush | CS_TabStop},
                {Button, IDCANCEL, "Abbrechen", 55, 74, 50, 14, CS_TabStop},
                {Static, IDC_STATIC, "Timerzeit :", 31, 31, 33, 8},
                {Edit, IDC_INTERVALL, "", 70, 28, 40, 14, kNumberEdit},
                {Static, IDC_STATIC, "Sekunden", 115, 31, 34, 8},
            }};
}

DialogTemplate AbfragezeitTemplate()
{
    return {IDD_ABFRAGEZEIT,
            "Einstellung Abfragezeit",
            "Arial",
            8,
            186,
            95,
            kModal,
            {
                {Button, IDOK, "OK", 129, 74, 50, 14, CS_DefPush | CS_TabStop},
                {Button, IDCANCEL, "Abbrechen", 66, 74, 50, 14, CS_TabStop},
                {Static, IDC_STATIC, "Abfragezeit :", 17, 33, 40, 8},
                {Edit, IDC_INTERVALL, "", 61, 31, 48, 14, kNumberEdit},
                {Static, IDC_STATIC, "ms", 113, 33, 10, 8},
            }};
}

DialogTemplate ConTemplate()
{
    constexpr unsigned first = CS_PushLike | CS_Group | CS_TabStop;
    return {IDD_CON,
            "Start-Stop_Konfiguration",
            "Arial",
            8,
            224,
            73,
            kModal,
            {
                {Button, IDOK, "OK", 133, 52, 50, 14, CS_DefPush | CS_TabStop},
                {Button, IDCANCEL, "Abbrechen", 36, 52, 50, 14, CS_TabStop},
                {GroupBox, IDC_STATIC, "Start", 17, 7, 88, 40},
                {GroupBox, IDC_STATIC, "Stop", 110, 7, 88, 40},
                {Radio, IDC_START_EIN, "Alle Eingänge Ein", 23, 17, 75, 10, first},
                {Radio, IDC_START_AUS, "Alle Eingänge Aus", 23, 30, 75, 10, CS_PushLike},
                {Radio, IDC_STOP_AUS, "Alle Eingänge Aus", 116, 17, 75, 10, first},
                {Radio, IDC_STOP_EIN, "Alle Eingänge Ein", 116, 30, 75, 10, CS_PushLike},
            }};
}

std::vector<DialogTemplate> AllTemplates()
{
    std::vector<DialogTemplate> all{AboutTemplate(),
                                    korva_res::MakeFormTemplate(),
                                    TimerTemplate(),
                                    AbfragezeitTemplate(),
                                    korva_res::MakeMaximalwerteTemplate(),
                                    korva_res::MakeZoomTemplate(),
                                    korva_res::MakeVerbrauchTemplate(),
                                    ConTemplate()};
    for (int k = 1; k <= 16; ++k)
        all.push_back(korva_res::MakePBTemplate(k));
    return all;
}

} // namespace

const DialogTemplate* FindDialogTemplate(int id)
{
    static const std::vector<DialogTemplate> templates = AllTemplates();
    for (const DialogTemplate& t : templates)
        if (t.id == id)
            return &t;
    return nullptr;
}
