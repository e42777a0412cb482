// Menus, the toolbar and the accelerator table of the main frame.

#include "framework/Resources.h"
#include "res/resource.h"

namespace {

MenuItemTemplate Item(const char* text, int id)
{
    return {QString::fromUtf8(text), id, {}};
}

MenuItemTemplate Separator()
{
    return {};
}

MenuItemTemplate Popup(const char* text, std::vector<MenuItemTemplate> items)
{
    return {QString::fromUtf8(text), 0, std::move(items)};
}

MenuItemTemplate ViewBars(std::vector<MenuItemTemplate> extra)
{
    std::vector<MenuItemTemplate> items{Item("&Symbolleiste", ID_VIEW_TOOLBAR),
                                        Item("S&tatusleiste", ID_VIEW_STATUS_BAR)};
    items.insert(items.end(), extra.begin(), extra.end());
    return Popup("&Ansicht", std::move(items));
}

// "Input  1" ... "Input  9" carry two blanks so the numbers line up with 10 ... 16.
MenuItemTemplate ParameterMenu1To16()
{
    std::vector<MenuItemTemplate> items;
    for (int k = 1; k <= 16; ++k)
        items.push_back({QStringLiteral("Input %1").arg(k, 2), ID_INPUT1 + k - 1, {}});
    return {QStringLiteral("Parameter  1-16"), 0, std::move(items)};
}

MenuItemTemplate ParameterMenu17To32()
{
    std::vector<MenuItemTemplate> items{Item("Input17", ID_INPUT17)};
    for (int k = 18; k <= 32; ++k)
        items.push_back({QStringLiteral("Input %1").arg(k), ID_INPUT17 + k - 17, {}});
    return {QStringLiteral("Parameter 17-32"), 0, std::move(items)};
}

MenuTemplate MainFrameMenu()
{
    return {IDR_MAINFRAME,
            {
                Popup("&Datei",
                      {Item("&Neu\tStrg+N", ID_FILE_NEW), Item("Ö&ffnen...\tStrg+O", ID_FILE_OPEN),
                       Separator(), Item("Letzte Datei", ID_FILE_MRU_FILE1), Separator(),
                       Item("&Beenden", ID_APP_EXIT)}),
                ViewBars({}),
                Popup("&?", {Item("Inf&o über Velkor...", ID_APP_ABOUT),
                             Item("Hilfethemen", ID_HELP_TOPICS)}),
            }};
}

MenuTemplate DocumentMenu()
{
    return {IDR_KORVATYPE,
            {
                Popup("&Datei",
                      {Item("&Neu\tStrg+N", ID_FILE_NEW), Item("Ö&ffnen...\tStrg+O", ID_FILE_OPEN),
                       Item("&Schließen", ID_FILE_CLOSE), Item("S&peichern\tStrg+S", ID_FILE_SAVE),
                       Item("Speichern &unter...", ID_FILE_SAVE_AS), Separator(),
                       Item("Verbrauch exportieren...", ID_EXPORT_VERBRAUCH),
                       Item("Höchstwerte exportieren...", ID_EXPORT_HOECHSTWERTE), Separator(),
                       Item("Letzte Datei", ID_FILE_MRU_FILE1), Separator(),
                       Item("&Beenden", ID_APP_EXIT)}),
                Popup("&Bearbeiten",
                      {ParameterMenu1To16(), ParameterMenu17To32(), Item("Timerzeit", ID_TIMERZEIT),
                       Item("Abfragezeit", ID_ABFRAGEZEIT),
                       Item("Start-Stop-Konfiguration", ID_STARTSTOP),
                       Item("Hardware-Konfiguration...", ID_HARDWARE_KONFIGURATION),
                       Item("MQTT-Verbindung...", ID_MQTT_VERBINDUNG),
                       Item("Alarm...", ID_ALARM)}),
                ViewBars({Item("Höchstwerte", ID_HOECHSTWERTE),
                          Item("Verbrauch", ID_VERBRAUCHSZAEHLER),
                          Item("Ereignisprotokoll", ID_EREIGNISPROTOKOLL), Item("Verlauf", ID_VERLAUF),
                          Item("Simulator", ID_SIMULATOR), Item("Stationen", ID_STATIONEN)}),
                Popup("&?", {Item("Inf&o über KORVA_Powermanagement...", ID_APP_ABOUT)}),
            }};
}

} // namespace

const MenuTemplate* FindMenuTemplate(int id)
{
    static const MenuTemplate menus[] = {MainFrameMenu(), DocumentMenu()};
    for (const MenuTemplate& m : menus)
        if (m.id == id)
            return &m;
    return nullptr;
}

const ToolbarTemplate* FindToolbarTemplate(int id)
{
    static const ToolbarTemplate toolbar{IDR_MAINFRAME,
                                         24,
                                         24,
                                         {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_SEPARATOR,
                                          ID_ALLE_AUS, ID_ALLE_EIN, ID_SEPARATOR, ID_ZOOM,
                                          ID_MAXWERTE, ID_VERBRAUCH, ID_EREIGNISPROTOKOLL, ID_VERLAUF}};
    return id == toolbar.id ? &toolbar : nullptr;
}

const std::vector<AccelTemplate>& AcceleratorTable(int id)
{
    static const std::vector<AccelTemplate> mainFrame{
        {"Ctrl+N", ID_FILE_NEW},    {"Ctrl+O", ID_FILE_OPEN},     {"Ctrl+S", ID_FILE_SAVE},
        {"Ctrl+P", ID_FILE_PRINT},  {"Ctrl+C", ID_EDIT_COPY},     {"Ctrl+Ins", ID_EDIT_COPY},
        {"Ctrl+V", ID_EDIT_PASTE},  {"Shift+Ins", ID_EDIT_PASTE}, {"Ctrl+X", ID_EDIT_CUT},
        {"Shift+Del", ID_EDIT_CUT}, {"Ctrl+Z", ID_EDIT_UNDO},     {"Alt+Backspace", ID_EDIT_UNDO},
        {"F6", ID_NEXT_PANE},       {"Shift+F6", ID_PREV_PANE},
    };
    static const std::vector<AccelTemplate> none;
    return id == IDR_MAINFRAME ? mainFrame : none;
}
