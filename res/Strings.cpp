// The string table: titles, the document string, status-bar texts and the
// prompts of every command ("prompt\ntooltip").

#include "framework/Resources.h"
#include "res/resource.h"

#include <QHash>

namespace {

struct StringEntry
{
    int id;
    const char* text; // UTF-8
};

constexpr StringEntry kStrings[] = {
    {IDR_MAINFRAME, "KORVA_Powermanagement"},
    {IDR_KORVATYPE,
     "\nKORVA_Powermanagement\nKORVA_Powermanagement\nDateityp KORVA_Powermanagement(*.sav)\n.sav"
     "\nKORVA_Powermanagement.Document\nKORVA_Powermanagement Document"},
    {AFX_IDS_APP_TITLE, "KORVA_Powermanagement"},
    {AFX_IDS_IDLEMESSAGE, "Bereit"},
    {ID_INDICATOR_DATE, "Date"},
    {ID_INDICATOR_TIME, "Time"},
    {ID_INDICATOR_EXT, "ER"},
    {ID_INDICATOR_CAPS, "UF"},
    {ID_INDICATOR_NUM, "NUM"},
    {ID_INDICATOR_SCRL, "RF"},
    {ID_INDICATOR_OVR, "ÜB"},
    {ID_INDICATOR_REC, "MA"},

    // Program commands. The start-stop command has no prompt.
    {ID_ALLE_AUS, "Schaltet alle Eingänge ab.\nausschalten"},
    {ID_ALLE_EIN, "Schaltet alle Eingänge zu.\neinschalten"},
    {ID_TIMERZEIT, "ändern der Timerzeit"},
    {ID_ABFRAGEZEIT, "ändern der Abfragezeit"},
    {ID_HOECHSTWERTE, "zeigt maximal erreichte Stromwerte an"},
    {ID_MAXWERTE, "zeigt maximal erreichte Stromwerte in einem Dialogfeld an\nmax.Stromwerte"},
    {ID_ZOOM, "Aktivierung des Überwachungsfensters.\nÜberwachungsfenster"},
    {ID_VERBRAUCH, "Stromverbrauchsübersicht\nVerbrauch"},
    {ID_VERBRAUCHSZAEHLER, "zeigt Verbrauchszähler an"},
    {ID_EREIGNISPROTOKOLL, "Zeigt das Protokoll der Abschaltungen und Schaltvorgänge.\nEreignisprotokoll"},
    {ID_VERLAUF, "Zeigt den Stromverlauf der letzten Stunde.\nVerlauf"},
    {ID_EXPORT_VERBRAUCH, "Speichert die Verbrauchszähler als CSV-Datei.\nVerbrauch exportieren"},
    {ID_EXPORT_HOECHSTWERTE, "Speichert die Höchstwerte als CSV-Datei.\nHöchstwerte exportieren"},
    {ID_HARDWARE_KONFIGURATION, "Ordnet den Eingängen Wandler und Schaltausgänge zu.\nHardware-Konfiguration"},
    {ID_SIMULATOR, "Zeigt den Simulator der Anlage (Kurzschlüsse ein- und ausschalten).\nSimulator"},
    {ID_INDICATOR_HARDWARE, "Hardware: nicht verbunden"},
    {ID_MQTT_VERBINDUNG, "Verbindet die Station mit einem MQTT-Broker.\nMQTT-Verbindung"},
    {ID_STATIONEN, "Zeigt alle Stationen am MQTT-Broker mit ihren Kanälen.\nStationen"},
    {ID_INDICATOR_MQTT, "MQTT: nicht verbunden"},
    {ID_ALARM, "Stellt Ton und Desktop-Benachrichtigung bei einer Abschaltung ein.\nAlarm"},

    // The framework's standard commands.
    {ID_FILE_NEW, "Erstellt ein neues Dokument.\nNeu"},
    {ID_FILE_OPEN, "Öffnet ein bestehendes Dokument.\nÖffnen"},
    {ID_FILE_CLOSE, "Schließt das aktive Dokument.\nSchließen"},
    {ID_FILE_SAVE, "Speichert das aktive Dokument.\nSpeichern"},
    {ID_FILE_SAVE_AS, "Speichert das aktive Dokument unter einem neuen Namen.\nSpeichern unter"},
    {ID_FILE_PAGE_SETUP, "Ändert die Seitenränder und das Seitenformat.\nSeite einrichten"},
    {ID_FILE_PRINT_SETUP, "Ändert den Drucker und die Druckoptionen.\nDruckereinrichtung"},
    {ID_FILE_PRINT, "Druckt das aktive Dokument.\nDrucken"},
    {ID_FILE_PRINT_DIRECT,
     "Druckt das aktive Dokument mit den aktuellen Einstellungen.\nSchnelldruck"},
    {ID_FILE_PRINT_PREVIEW, "Zeigt das Dokument so an, wie es gedruckt wird.\nSeitenansicht"},
    {ID_FILE_MRU_FILE1, "Öffnet dieses Dokument.\nZuletzt geöffnet"},
    {ID_EDIT_CLEAR, "Löscht die Markierung.\nLöschen"},
    {ID_EDIT_COPY, "Kopiert die Markierung in die Zwischenablage.\nKopieren"},
    {ID_EDIT_CUT, "Entfernt die Markierung und kopiert sie in die Zwischenablage.\nAusschneiden"},
    {ID_EDIT_PASTE, "Fügt den Inhalt der Zwischenablage ein.\nEinfügen"},
    {ID_EDIT_UNDO, "Macht die letzte Aktion rückgängig.\nRückgängig"},
    {ID_APP_ABOUT, "Zeigt Programminformationen, Versionsnummer und Copyright an.\nInfo"},
    {ID_APP_EXIT, "Verläßt die Anwendung; fragt, ob Dokumente gespeichert werden sollen.\nBeenden"},
    {ID_NEXT_PANE, "Wechselt zum nächsten Fensterausschnitt.\nNächster Ausschnitt"},
    {ID_PREV_PANE, "Wechselt zum vorherigen Fensterausschnitt.\nVorheriger Ausschnitt"},
    {ID_WINDOW_NEW, "Öffnet ein weiteres Fenster für das aktive Dokument.\nNeues Fenster"},
    {ID_WINDOW_ARRANGE, "Ordnet die Symbole am unteren Fensterrand an.\nSymbole anordnen"},
    {ID_WINDOW_CASCADE, "Ordnet die Fenster überlappend an.\nÜberlappend"},
    {ID_WINDOW_TILE_HORZ, "Ordnet die Fenster untereinander an.\nUntereinander"},
    {ID_WINDOW_TILE_VERT, "Ordnet die Fenster nebeneinander an.\nNebeneinander"},
    {ID_WINDOW_SPLIT, "Teilt das aktive Fenster in Ausschnitte.\nTeilen"},
    {ID_VIEW_TOOLBAR, "Blendet die Symbolleiste ein oder aus.\nSymbolleiste ein/aus"},
    {ID_VIEW_STATUS_BAR, "Blendet die Statusleiste ein oder aus.\nStatusleiste ein/aus"},
    {ID_HELP_TOPICS, "Listet die Hilfethemen auf.\nHilfethemen"},
};

QHash<int, QString> BuildStringTable()
{
    QHash<int, QString> table;
    for (const StringEntry& e : kStrings)
        table.insert(e.id, QString::fromUtf8(e.text));
    for (int k = 1; k <= 16; ++k)
        table.insert(ID_INPUT1 + k - 1, QStringLiteral("Parameter für Input %1").arg(k));
    return table;
}

const QHash<int, QString>& StringTable()
{
    static const QHash<int, QString> table = BuildStringTable();
    return table;
}

} // namespace

QString LoadResString(int id)
{
    return StringTable().value(id);
}

QString CommandPrompt(int id)
{
    return LoadResString(id).section(QLatin1Char('\n'), 0, 0);
}

QString CommandTooltip(int id)
{
    return LoadResString(id).section(QLatin1Char('\n'), 1, 1);
}

QString BitmapPath(int id)
{
    return QStringLiteral(":/res/bitmaps/%1.png").arg(id);
}
