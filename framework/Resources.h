#pragma once
// Menus, toolbars, accelerators and strings as data. The tables themselves
// live in res/; the framework only knows their shape.

#include <QString>
#include <vector>

struct MenuItemTemplate
{
    QString text;                          // empty with id 0 and no items: separator
    int id = 0;                            // command id; 0 for popups and separators
    std::vector<MenuItemTemplate> items;   // non-empty: a popup
};

struct MenuTemplate
{
    int id;
    std::vector<MenuItemTemplate> items;   // the top-level popups
};

struct ToolbarTemplate
{
    int id;
    int cx, cy;                  // button image size in pixels
    std::vector<int> buttons;    // command ids, 0 = separator; images in strip order
};

struct AccelTemplate
{
    QString key;                 // QKeySequence portable text, e.g. "Ctrl+N", "Shift+Ins"
    int id;
};

const MenuTemplate* FindMenuTemplate(int id);
const ToolbarTemplate* FindToolbarTemplate(int id);
const std::vector<AccelTemplate>& AcceleratorTable(int id);

// The string-table entry, or an empty string.
QString LoadResString(int id);
// Text before the line break: the status-bar prompt; after it: the tooltip.
QString CommandPrompt(int id);
QString CommandTooltip(int id);

// Registers the compiled-in images; call before loading any of them.
void InitResources();

// Path of a bitmap in the Qt resource system (":/res/bitmaps/<id>.png").
QString BitmapPath(int id);
