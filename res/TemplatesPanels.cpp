// The monitoring form and the enlarged monitoring window: sixteen channel
// panels in two rows of eight.

#include "framework/DialogTemplate.h"
#include "res/resource.h"

namespace {

using enum CtlKind;

constexpr unsigned kScaleLabel = CS_ReadOnly | CS_Right;
constexpr unsigned kShownValue = CS_ReadOnly | CS_Center | CS_Border;

// The scale beside the bar: its top label at the bar's top, the middle label
// at half its height and "0 A" at its foot, each number followed by "A".
void AddScale(std::vector<ControlTemplate>& c, const ChannelControlIds& ids, int px, int barY,
              int barH)
{
    const int midY = barY + barH / 2 - 5;
    c.push_back({Edit, ids.top, "", px + 5, barY - 5, 26, 10, kScaleLabel});
    c.push_back({Static, IDC_STATIC, "A", px + 32, barY - 4, 6, 8});
    c.push_back({Progress, ids.bar, "", px + 40, barY, 12, barH, CS_Vertical | CS_Smooth});
    c.push_back({Edit, ids.middle, "", px + 5, midY, 26, 10, kScaleLabel});
    c.push_back({Static, IDC_STATIC, "A", px + 32, midY + 1, 6, 8});
    c.push_back({Static, IDC_STATIC, "0 A", px + 22, barY + barH - 7, 16, 8, CS_Right});
}

// Channel k's panel origin; channels 1 to 8 form the upper row.
int PanelX(int firstX, int k)
{
    return firstX + 58 * ((k - 1) % 8);
}

int PanelY(int lowerY, int k)
{
    return k <= 8 ? 0 : lowerY;
}

void AddFormPanel(std::vector<ControlTemplate>& c, int k)
{
    const ChannelControlIds& ids = kChannelIds[k - 1];
    const int px = PanelX(7, k);
    const int py = PanelY(134, k);
    c.push_back({GroupBox, IDC_STATIC, "", px, py, 59, 138});
    AddScale(c, ids, px, py + 12, 78);
    c.push_back({Edit, ids.current, "", px + 12, py + 93, 30, 12, kShownValue});
    c.push_back({Static, IDC_STATIC, "A", px + 44, py + 95, 6, 8});
    // Both switch images share one place; exactly one of them is shown.
    const QString off = QString::number(IDB_AUS);
    const QString on = QString::number(IDB_EIN);
    c.push_back({Picture, ids.imageOff, off, px + 17, py + 107, 26, 16, CS_Notify | CS_Hidden});
    c.push_back({Picture, ids.imageOn, on, px + 17, py + 107, 26, 16, CS_Notify});
    c.push_back({Edit, ids.name, "", px + 5, py + 124, 49, 12, kShownValue});
}

void AddZoomPanel(std::vector<ControlTemplate>& c, int k)
{
    const ChannelControlIds& ids = kChannelIds[k - 1];
    const int px = PanelX(8, k);
    const int py = PanelY(133, k);
    c.push_back({GroupBox, IDC_STATIC, "", px, py, 60, 131});
    AddScale(c, ids, px, py + 12, 85);
    c.push_back({Edit, ids.current, "", px + 17, py + 99, 22, 14, kShownValue});
    c.push_back({Static, IDC_STATIC, "A", px + 41, py + 102, 6, 8});
    c.push_back({Edit, ids.name, "", px + 3, py + 115, 54, 14, kShownValue});
}

} // namespace

namespace korva_res {

DialogTemplate MakeFormTemplate()
{
    DialogTemplate t{IDD_KORVA_FORM, "", "Arial", 8, 478, 277, DS_None, {}};
    for (int k = 1; k <= 16; ++k)
        AddFormPanel(t.controls, k);
    return t;
}

DialogTemplate MakeZoomTemplate()
{
    constexpr unsigned style = DS_Caption | DS_SysMenu | DS_SizingFrame | DS_MinimizeBox |
                               DS_ToolWindow | DS_ClientEdge | DS_SetForeground | DS_AtMouse |
                               DS_SystemModal;
    DialogTemplate t{IDD_ZOOM, "KORVA_Powermanagement", "Arial", 5, 481, 270, style, {}};
    for (int k = 1; k <= 16; ++k)
        AddZoomPanel(t.controls, k);
    return t;
}

} // namespace korva_res
