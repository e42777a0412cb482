#pragma once
// A dialog template as data: positions and sizes in dialog units, converted to
// pixels with the template's font when the widgets are built.

#include <QString>
#include <vector>

enum class CtlKind {
    Static,     // text label
    Edit,       // single-line edit
    Button,     // push button (OK = id 1, Cancel = id 2)
    Radio,      // radio button (PushLike draws it as a push button)
    CheckBox,
    GroupBox,   // frame with optional caption
    Picture,    // bitmap shown by a static control; clicks are commands when Notify is set
    Progress,   // progress bar (vertical when Vertical is set)
};

// Control style flags; only those the program uses.
enum CtlStyle : unsigned {
    CS_None = 0,
    CS_ReadOnly = 1u << 0,
    CS_Border = 1u << 1,      // bordered edit; edits without it are flat
    CS_Center = 1u << 2,      // centred text
    CS_Right = 1u << 3,       // right-aligned text
    CS_AutoHScroll = 1u << 4,
    CS_TabStop = 1u << 5,
    CS_Group = 1u << 6,       // starts a radio group
    CS_PushLike = 1u << 7,
    CS_DefPush = 1u << 8,     // default push button
    CS_Hidden = 1u << 9,      // not visible at creation
    CS_Notify = 1u << 10,     // picture reports clicks
    CS_Vertical = 1u << 11,
    CS_Smooth = 1u << 12,
    CS_Disabled = 1u << 13,
    CS_Number = 1u << 14,     // edit accepts digits only
};

// Dialog style flags.
enum DlgStyle : unsigned {
    DS_None = 0,
    DS_Caption = 1u << 0,
    DS_SysMenu = 1u << 1,
    DS_ModalFrame = 1u << 2,
    DS_ToolWindow = 1u << 3,
    DS_SizingFrame = 1u << 4,
    DS_MinimizeBox = 1u << 5,
    DS_ClientEdge = 1u << 6,
    DS_SetForeground = 1u << 7,
    DS_AtMouse = 1u << 8,     // positioned at the mouse pointer
    DS_SystemModal = 1u << 9,
};

struct ControlTemplate
{
    CtlKind kind;
    int id;          // -1 for controls without an id (statics, group boxes)
    QString text;    // caption; for pictures the bitmap resource id as decimal text
    int x, y, cx, cy;
    unsigned style = CS_None;
};

struct DialogTemplate
{
    int id;
    QString caption;
    QString fontName;
    int pointSize;
    int cx, cy;
    unsigned style;
    std::vector<ControlTemplate> controls;  // in tab order
};

// The template with this id, or nullptr. Defined in res/.
const DialogTemplate* FindDialogTemplate(int id);
