// Checks on the resource tables that catch transcription faults: duplicated or
// missing ids, controls outside their dialog or panel, mistyped texts.

#include "framework/DialogTemplate.h"
#include "framework/Resources.h"
#include "res/resource.h"

#include <QImage>
#include <QKeySequence>
#include <QRect>
#include <QSet>
#include <QTest>

namespace {

QRect Rect(const ControlTemplate& c)
{
    return QRect(c.x, c.y, c.cx, c.cy);
}

QString Describe(const ControlTemplate& c)
{
    return QStringLiteral("control %1 \"%2\" at %3,%4").arg(c.id).arg(c.text).arg(c.x).arg(c.y);
}

const ControlTemplate* Control(const DialogTemplate& t, int id)
{
    for (const ControlTemplate& c : t.controls)
        if (c.id == id)
            return &c;
    return nullptr;
}

std::vector<const ControlTemplate*> Statics(const DialogTemplate& t, const QString& text)
{
    std::vector<const ControlTemplate*> found;
    for (const ControlTemplate& c : t.controls)
        if (c.kind == CtlKind::Static && c.text == text)
            found.push_back(&c);
    return found;
}

int CenterY(const QRect& r)
{
    return r.y() + r.height() / 2;
}

bool SameRow(const ControlTemplate& a, const ControlTemplate& b)
{
    const int y = CenterY(Rect(a));
    return y >= b.y && y < b.y + b.cy;
}

const std::vector<int>& AllTemplateIds()
{
    static const std::vector<int> ids = [] {
        std::vector<int> v{100, 101, 149, 150, 153, 178, 181, 189};
        for (int id = 133; id <= 148; ++id)
            v.push_back(id);
        return v;
    }();
    return ids;
}

void CollectCommands(const std::vector<MenuItemTemplate>& items, std::vector<int>& ids)
{
    for (const MenuItemTemplate& item : items) {
        if (item.id != 0)
            ids.push_back(item.id);
        CollectCommands(item.items, ids);
    }
}

// A popup's items as "text=id"; a popup shows id 0 and a separator "=0".
QStringList Flat(const std::vector<MenuItemTemplate>& items)
{
    QStringList l;
    for (const MenuItemTemplate& i : items)
        l << i.text + '=' + QString::number(i.id);
    return l;
}

constexpr int kEditStyle = CS_Border | CS_Center | CS_AutoHScroll | CS_TabStop;

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void templateIntegrity_data();
    void templateIntegrity();
    void channelPanels_data();
    void channelPanels();
    void parameterDialogs();
    void startStopGroups();
    void channelTableDialogs();
    void strings();
    void everyCommandHasPrompt();
    void menus();
    void toolbarAndAccelerators();
    void switchImagesDifferInBrightness();
};

void TestResources::templateIntegrity_data()
{
    QTest::addColumn<int>("id");
    for (int id : AllTemplateIds())
        QTest::addRow("%d", id) << id;
}

// Ids unique, every control inside the dialog, no two controls on one spot
// (except the stacked switch images), ids where the program needs them.
void TestResources::templateIntegrity()
{
    QFETCH(int, id);
    const DialogTemplate* t = FindDialogTemplate(id);
    QVERIFY(t);
    QCOMPARE(t->id, id);
    QVERIFY(!t->fontName.isEmpty());
    QVERIFY(t->pointSize > 0);
    const QRect dialog(0, 0, t->cx, t->cy);
    QSet<int> ids;
    int defaults = 0;
    for (const ControlTemplate& c : t->controls) {
        QVERIFY2(c.cx > 0 && c.cy > 0, qPrintable(Describe(c)));
        QVERIFY2(dialog.contains(Rect(c)), qPrintable(Describe(c)));
        const bool display = c.kind == CtlKind::Static || c.kind == CtlKind::GroupBox ||
                             (c.kind == CtlKind::Picture && !(c.style & CS_Notify));
        if (c.id == IDC_STATIC) {
            QVERIFY2(display, qPrintable(Describe(c)));
        } else {
            QVERIFY2(c.id > 0, qPrintable(Describe(c)));
            QVERIFY2(!ids.contains(c.id), qPrintable("duplicate " + Describe(c)));
            ids.insert(c.id);
        }
        if (c.kind == CtlKind::Picture) {
            static const QSet<int> bitmaps{IDB_ABOUT, IDB_AUS, IDB_EIN, IDB_MAXIMALWERTE};
            QVERIFY2(bitmaps.contains(c.text.toInt()), qPrintable(Describe(c)));
        }
        if (c.kind == CtlKind::Progress)
            QCOMPARE(c.style & (CS_Vertical | CS_Smooth), unsigned(CS_Vertical | CS_Smooth));
        if (c.style & CS_DefPush)
            ++defaults;
    }
    QVERIFY(defaults <= 1);
    for (size_t i = 0; i < t->controls.size(); ++i) {
        const ControlTemplate& a = t->controls[i];
        for (size_t j = i + 1; j < t->controls.size(); ++j) {
            const ControlTemplate& b = t->controls[j];
            if (a.kind == CtlKind::GroupBox || b.kind == CtlKind::GroupBox)
                continue;
            const bool stacked =
                a.kind == CtlKind::Picture && b.kind == CtlKind::Picture && Rect(a) == Rect(b);
            QVERIFY2(stacked || !Rect(a).intersects(Rect(b)),
                     qPrintable(Describe(a) + " overlaps " + Describe(b)));
        }
    }
}

void TestResources::channelPanels_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QList<int>>("columns");
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<int>("lowerRow");
    QTest::addColumn<QSize>("bar");
    QTest::addColumn<bool>("images");
    QTest::addRow("form") << 101 << QList<int>{7, 65, 123, 181, 239, 297, 355, 413}
                          << QSize(59, 138) << 134 << QSize(12, 78) << true;
    QTest::addRow("zoom") << 178 << QList<int>{8, 66, 124, 182, 240, 298, 356, 414}
                          << QSize(60, 131) << 133 << QSize(12, 85) << false;
}

// Each channel's controls sit in its own frame, top to bottom as the user
// reads them, with the ids the view and the enlarged window bind to.
void TestResources::channelPanels()
{
    QFETCH(int, id);
    QFETCH(QList<int>, columns);
    QFETCH(QSize, frame);
    QFETCH(int, lowerRow);
    QFETCH(QSize, bar);
    QFETCH(bool, images);
    const DialogTemplate* t = FindDialogTemplate(id);
    QVERIFY(t);
    QCOMPARE(t->controls.size(), size_t(16 * (images ? 12 : 10)));
    for (int k = 1; k <= 16; ++k) {
        const ChannelControlIds& ids = kChannelIds[k - 1];
        const QRect panel(columns[(k - 1) % 8], k <= 8 ? 0 : lowerRow, frame.width(),
                          frame.height());
        int frames = 0, units = 0, zeros = 0;
        for (const ControlTemplate& c : t->controls) {
            if (c.kind == CtlKind::GroupBox && Rect(c) == panel)
                ++frames;
            if (c.kind == CtlKind::Static && panel.contains(Rect(c))) {
                units += c.text == "A";
                zeros += c.text == "0 A";
            }
        }
        QCOMPARE(frames, 1);
        QCOMPARE(units, 3);
        QCOMPARE(zeros, 1);

        std::vector<int> wanted{ids.bar, ids.current, ids.name, ids.top, ids.middle};
        if (images)
            wanted.insert(wanted.end(), {ids.imageOff, ids.imageOn});
        for (int cid : wanted) {
            const ControlTemplate* c = Control(*t, cid);
            QVERIFY2(c, qPrintable(QStringLiteral("channel %1 lacks %2").arg(k).arg(cid)));
            QVERIFY2(panel.contains(Rect(*c)), qPrintable(Describe(*c)));
        }
        const ControlTemplate& b = *Control(*t, ids.bar);
        QCOMPARE(b.kind, CtlKind::Progress);
        QCOMPARE(QSize(b.cx, b.cy), bar);
        for (int cid : {ids.top, ids.middle}) {
            const ControlTemplate& l = *Control(*t, cid);
            QCOMPARE(l.kind, CtlKind::Edit);
            QCOMPARE(l.style & (CS_ReadOnly | CS_Right | CS_Border),
                     unsigned(CS_ReadOnly | CS_Right));
            QVERIFY(l.x + l.cx <= b.x);
        }
        QVERIFY(qAbs(CenterY(Rect(*Control(*t, ids.top))) - b.y) <= 3);
        QVERIFY(qAbs(CenterY(Rect(*Control(*t, ids.middle))) - CenterY(Rect(b))) <= 3);
        for (int cid : {ids.current, ids.name}) {
            const ControlTemplate& e = *Control(*t, cid);
            QCOMPARE(e.kind, CtlKind::Edit);
            QCOMPARE(e.style & (CS_ReadOnly | CS_Center | CS_Border),
                     unsigned(CS_ReadOnly | CS_Center | CS_Border));
        }
        const ControlTemplate& current = *Control(*t, ids.current);
        const ControlTemplate& name = *Control(*t, ids.name);
        QVERIFY(current.y >= b.y + b.cy);
        int nameTop = current.y + current.cy;
        if (images) {
            const ControlTemplate& on = *Control(*t, ids.imageOn);
            const ControlTemplate& off = *Control(*t, ids.imageOff);
            QCOMPARE(on.text, QStringLiteral("168"));
            QCOMPARE(off.text, QStringLiteral("167"));
            QCOMPARE(on.style & (CS_Notify | CS_Hidden), unsigned(CS_Notify));
            QCOMPARE(off.style & (CS_Notify | CS_Hidden), unsigned(CS_Notify | CS_Hidden));
            QCOMPARE(Rect(on), Rect(off));
            QVERIFY(on.y >= nameTop);
            nameTop = on.y + on.cy;
        }
        QVERIFY(name.y >= nameTop);
    }
}

void TestResources::parameterDialogs()
{
    for (int k = 1; k <= 16; ++k) {
        const DialogTemplate* t = FindDialogTemplate(IDD_PB1 + k - 1);
        QVERIFY(t);
        const QString caption = k == 7
                                    ? QStringLiteral("Parameter für Booster 7")
                                    : QStringLiteral("Parameter für Input ") + QString::number(k);
        QCOMPARE(t->caption, caption);
        QCOMPARE(t->fontName, k == 8 ? QStringLiteral("MS Sans Serif") : QStringLiteral("Arial"));
        QCOMPARE(t->pointSize, 8);
        QCOMPARE(t->style & DS_SysMenu, unsigned(DS_SysMenu));

        // Each edit sits in the row of its label, so swapped ids show up here.
        const PBControlIds& ids = kPBIds[k - 1];
        const std::pair<QString, int> rows[] = {{"Name :", ids.name},
                                                {"Maximalstrom :", ids.maximalstrom},
                                                {"Abschaltstrom :", ids.abschaltstrom},
                                                {"Alarmstrom :", ids.alarmstrom},
                                                {"Hysterese :", ids.hysterese}};
        for (const auto& [label, id] : rows) {
            const auto labels = Statics(*t, label);
            QCOMPARE(labels.size(), size_t(1));
            const ControlTemplate* edit = Control(*t, id);
            QVERIFY(edit);
            QCOMPARE(edit->kind, CtlKind::Edit);
            QCOMPARE(edit->style, unsigned(kEditStyle));
            QVERIFY2(SameRow(*labels[0], *edit), qPrintable(label));
        }
        QCOMPARE(Statics(*t, "A").size(), size_t(4));
        QCOMPARE(Statics(*t, "max. 10 Zeichen").size(), size_t(1));
        QCOMPARE(ids.name, kChannelIds[k - 1].name);

        const ControlTemplate* ok = Control(*t, IDOK);
        const ControlTemplate* cancel = Control(*t, IDCANCEL);
        QVERIFY(ok && cancel);
        QCOMPARE(ok->text, QStringLiteral("OK"));
        QCOMPARE(cancel->text, QStringLiteral("Abbrechen"));
        QCOMPARE(bool(ok->style & CS_DefPush), k != 1);
        if (k == 1)
            QCOMPARE(t->controls.back().id, IDOK);
    }
}

// The start-stop radios form two groups of adjacent buttons, each in its frame.
void TestResources::startStopGroups()
{
    const DialogTemplate* con = FindDialogTemplate(IDD_CON);
    QVERIFY(con);
    const struct
    {
        int id;
        const char* text;
        bool first;
        const char* group;
    } radios[] = {{IDC_START_EIN, "Alle Eingänge Ein", true, "Start"},
                  {IDC_START_AUS, "Alle Eingänge Aus", false, "Start"},
                  {IDC_STOP_AUS, "Alle Eingänge Aus", true, "Stop"},
                  {IDC_STOP_EIN, "Alle Eingänge Ein", false, "Stop"}};
    const ControlTemplate* previous = nullptr;
    for (const auto& r : radios) {
        const ControlTemplate* c = Control(*con, r.id);
        QVERIFY(c && c->kind == CtlKind::Radio && (c->style & CS_PushLike));
        QCOMPARE(c->text, QString::fromUtf8(r.text));
        QCOMPARE(bool(c->style & CS_Group), r.first);
        if (!r.first)
            QCOMPARE(c - 1, previous);
        previous = c;
        bool framed = false;
        for (const ControlTemplate& g : con->controls)
            framed |=
                g.kind == CtlKind::GroupBox && g.text == r.group && Rect(g).contains(Rect(*c));
        QVERIFY2(framed, r.text);
    }
    for (int id : {IDD_TIMER, IDD_ABFRAGEZEIT})
        QCOMPARE(Control(*FindDialogTemplate(id), IDC_INTERVALL)->style, unsigned(kEditStyle));
    QVERIFY(!FindDialogTemplate(4711));
}

// Maximum values and consumption counters: per channel a row of controls in
// the left (1-8) or right (9-16) column.
void TestResources::channelTableDialogs()
{
    const DialogTemplate* max = FindDialogTemplate(IDD_MAXIMALWERTE);
    const DialogTemplate* use = FindDialogTemplate(IDD_VERBRAUCH);
    QVERIFY(max && use);
    QCOMPARE(max->caption, QStringLiteral("Höchstwerte"));
    QCOMPARE(max->style & DS_SysMenu, 0u);
    QCOMPARE(use->caption, QStringLiteral("Stromverbrauchszähler"));
    QCOMPARE(MaxClearButtonId(1), 1148);
    QCOMPARE(MaxClearButtonId(2), 1150);
    QCOMPARE(VerbrauchEnergyEditId(9), 1113);
    for (int k = 1; k <= 16; ++k) {
        auto inColumn = [&](const ControlTemplate& c, int mid) {
            return k <= 8 ? c.x + c.cx <= mid : c.x >= mid;
        };
        const ControlTemplate* name = Control(*max, MaxNameEditId(k));
        const ControlTemplate* peak = Control(*max, MaxPeakEditId(k));
        const ControlTemplate* clear = Control(*max, MaxClearButtonId(k));
        QVERIFY(name && peak && clear);
        QCOMPARE(name->style & (CS_ReadOnly | CS_Border), unsigned(CS_ReadOnly));
        QCOMPARE(peak->style & (CS_ReadOnly | CS_Border | CS_Center),
                 unsigned(CS_ReadOnly | CS_Border | CS_Center));
        QCOMPARE(clear->text, QStringLiteral("0"));
        QVERIFY(SameRow(*name, *peak) && SameRow(*clear, *name));
        QVERIFY(inColumn(*name, 114) && inColumn(*clear, 114));

        const ControlTemplate* uname = Control(*use, VerbrauchNameEditId(k));
        const ControlTemplate* power = Control(*use, VerbrauchPowerEditId(k));
        const ControlTemplate* energy = Control(*use, VerbrauchEnergyEditId(k));
        const ControlTemplate* uclear = Control(*use, VerbrauchClearButtonId(k));
        QVERIFY(uname && power && energy && uclear);
        QCOMPARE(uname->style & (CS_ReadOnly | CS_Border), unsigned(CS_ReadOnly));
        QCOMPARE(power->style & (CS_ReadOnly | CS_Border | CS_Center),
                 unsigned(CS_Border | CS_Center));
        QCOMPARE(energy->style & (CS_ReadOnly | CS_Border | CS_Center), unsigned(CS_Border));
        QCOMPARE(uclear->text, QStringLiteral("0"));
        QVERIFY(SameRow(*uname, *power) && SameRow(*energy, *uname) && SameRow(*uclear, *uname));
        QVERIFY(inColumn(*uname, 193) && inColumn(*uclear, 193));
    }
    QCOMPARE(Control(*max, IDC_MAX_ALLE_LOESCHEN)->text, QStringLiteral("alle löschen"));
    QCOMPARE(Control(*use, IDC_GESAMT_LOESCHEN)->text, QStringLiteral("löschen"));
    QCOMPARE(Control(*use, IDC_VERBRAUCH_ALLE_LOESCHEN)->text, QStringLiteral("alle löschen"));
    QCOMPARE(Control(*use, IDC_GESAMT)->kind, CtlKind::Edit);
}

void TestResources::strings()
{
    QCOMPARE(LoadResString(IDR_MAINFRAME), QStringLiteral("KORVA_Powermanagement"));
    QCOMPARE(LoadResString(AFX_IDS_IDLEMESSAGE), QStringLiteral("Bereit"));
    const QStringList doc = LoadResString(IDR_KORVATYPE).split('\n');
    QCOMPARE(doc,
             (QStringList{"", "KORVA_Powermanagement", "KORVA_Powermanagement",
                          "Dateityp KORVA_Powermanagement(*.sav)", ".sav",
                          "KORVA_Powermanagement.Document", "KORVA_Powermanagement Document"}));
    const QStringList indicators{"ER", "UF", "NUM", "RF", "ÜB", "MA"};
    for (int i = 0; i < indicators.size(); ++i)
        QCOMPARE(LoadResString(ID_INDICATOR_EXT + i), indicators[i]);

    QCOMPARE(CommandPrompt(ID_ZOOM), QStringLiteral("Aktivierung des Überwachungsfensters."));
    QCOMPARE(CommandTooltip(ID_ZOOM), QStringLiteral("Überwachungsfenster"));
    QCOMPARE(CommandPrompt(ID_ALLE_AUS), QStringLiteral("Schaltet alle Eingänge ab."));
    QCOMPARE(CommandTooltip(ID_MAXWERTE), QStringLiteral("max.Stromwerte"));
    QCOMPARE(CommandPrompt(ID_TIMERZEIT), QStringLiteral("ändern der Timerzeit"));
    QCOMPARE(CommandTooltip(ID_TIMERZEIT), QString());
    QCOMPARE(LoadResString(ID_INPUT1), QStringLiteral("Parameter für Input 1"));
    QCOMPARE(LoadResString(ID_FILE_NEW), QStringLiteral("Erstellt ein neues Dokument.\nNeu"));
    QCOMPARE(
        CommandPrompt(ID_APP_EXIT),
        QStringLiteral("Verläßt die Anwendung; fragt, ob Dokumente gespeichert werden sollen."));
    QCOMPARE(CommandTooltip(ID_APP_ABOUT), QStringLiteral("Info"));
    QCOMPARE(LoadResString(4711), QString());
    QCOMPARE(BitmapPath(IDB_EIN), QStringLiteral(":/res/bitmaps/168.png"));
}

// Every command the user can reach has a status-bar prompt, every toolbar
// button a tooltip; only the commands without a handler or text go without.
void TestResources::everyCommandHasPrompt()
{
    std::vector<int> commands;
    for (int id : {IDR_MAINFRAME, IDR_KORVATYPE})
        CollectCommands(FindMenuTemplate(id)->items, commands);
    for (int id : commands) {
        const bool silent = (id >= ID_INPUT17 && id <= ID_INPUT32) || id == ID_STARTSTOP;
        if (!silent)
            QVERIFY2(!CommandPrompt(id).isEmpty(), qPrintable(QString::number(id)));
    }
    for (int id : FindToolbarTemplate(IDR_MAINFRAME)->buttons)
        if (id != ID_SEPARATOR)
            QVERIFY2(!CommandTooltip(id).isEmpty(), qPrintable(QString::number(id)));
    for (const AccelTemplate& a : AcceleratorTable(IDR_MAINFRAME))
        QVERIFY2(!CommandPrompt(a.id).isEmpty(), qPrintable(a.key));
}

void TestResources::menus()
{
    const MenuTemplate* frame = FindMenuTemplate(IDR_MAINFRAME);
    const MenuTemplate* doc = FindMenuTemplate(IDR_KORVATYPE);
    QVERIFY(frame && doc && !FindMenuTemplate(130));
    QCOMPARE(Flat(frame->items), (QStringList{"&Datei=0", "&Ansicht=0", "&?=0"}));
    QCOMPARE(Flat(frame->items[0].items),
             (QStringList{"&Neu\tStrg+N=57600", "Ö&ffnen...\tStrg+O=57601", "=0",
                          "Letzte Datei=57616", "=0", "&Beenden=57665"}));
    QCOMPARE(Flat(frame->items[2].items),
             (QStringList{"Inf&o über Velkor...=57664", "Hilfethemen=65535"}));

    QCOMPARE(Flat(doc->items), (QStringList{"&Datei=0", "&Bearbeiten=0", "&Ansicht=0", "&?=0"}));
    QCOMPARE(Flat(doc->items[0].items),
             (QStringList{"&Neu\tStrg+N=57600", "Ö&ffnen...\tStrg+O=57601", "&Schließen=57602",
                          "S&peichern\tStrg+S=57603", "Speichern &unter...=57604", "=0",
                          "Verbrauch exportieren...=32842", "Höchstwerte exportieren...=32843", "=0",
                          "Letzte Datei=57616", "=0", "&Beenden=57665"}));
    const auto& edit = doc->items[1].items;
    QCOMPARE(Flat(edit), (QStringList{"Parameter  1-16=0", "Parameter 17-32=0", "Timerzeit=32810",
                                      "Abfragezeit=32811", "Start-Stop-Konfiguration=32829",
                                      "Hardware-Konfiguration...=32844",
                                      "MQTT-Verbindung...=32846", "Alarm...=32848"}));
    // Two blanks before 1 ... 9, none before 17.
    QStringList low{"Input  1=32775"}, high{"Input17=32792"};
    for (int k = 2; k <= 16; ++k)
        low << (k < 10 ? QStringLiteral("Input  %1=%2") : QStringLiteral("Input %1=%2"))
                   .arg(k)
                   .arg(32774 + k);
    for (int k = 18; k <= 32; ++k)
        high << QStringLiteral("Input %1=%2").arg(k).arg(32775 + k);
    QCOMPARE(Flat(edit[0].items), low);
    QCOMPARE(Flat(edit[1].items), high);
    QCOMPARE(Flat(doc->items[2].items), (QStringList{"&Symbolleiste=59392", "S&tatusleiste=59393",
                                                     "Höchstwerte=32813", "Verbrauch=32826",
                                                     "Ereignisprotokoll=32840", "Verlauf=32841",
                                                     "Simulator=32845", "Stationen=32847"}));
    QCOMPARE(Flat(doc->items[3].items), QStringList{"Inf&o über KORVA_Powermanagement...=57664"});
}

void TestResources::toolbarAndAccelerators()
{
    const ToolbarTemplate* bar = FindToolbarTemplate(IDR_MAINFRAME);
    QVERIFY(bar && !FindToolbarTemplate(IDR_KORVATYPE));
    QCOMPARE(QSize(bar->cx, bar->cy), QSize(24, 24));
    QCOMPARE(bar->buttons,
             (std::vector<int>{57600, 57601, 57603, 0, 32808, 32809, 0, 32823, 32822, 32825, 32840,
                               32841}));

    const QList<std::pair<QKeySequence, int>> expected{
        {QKeySequence(Qt::CTRL | Qt::Key_N), 57600},
        {QKeySequence(Qt::CTRL | Qt::Key_O), 57601},
        {QKeySequence(Qt::CTRL | Qt::Key_S), 57603},
        {QKeySequence(Qt::CTRL | Qt::Key_P), 57607},
        {QKeySequence(Qt::CTRL | Qt::Key_C), 57634},
        {QKeySequence(Qt::CTRL | Qt::Key_Insert), 57634},
        {QKeySequence(Qt::CTRL | Qt::Key_V), 57637},
        {QKeySequence(Qt::SHIFT | Qt::Key_Insert), 57637},
        {QKeySequence(Qt::CTRL | Qt::Key_X), 57635},
        {QKeySequence(Qt::SHIFT | Qt::Key_Delete), 57635},
        {QKeySequence(Qt::CTRL | Qt::Key_Z), 57643},
        {QKeySequence(Qt::ALT | Qt::Key_Backspace), 57643},
        {QKeySequence(Qt::Key_F6), 57680},
        {QKeySequence(Qt::SHIFT | Qt::Key_F6), 57681},
    };
    QList<std::pair<QKeySequence, int>> actual;
    for (const AccelTemplate& a : AcceleratorTable(IDR_MAINFRAME)) {
        const QKeySequence key = QKeySequence::fromString(a.key, QKeySequence::PortableText);
        QVERIFY2(key.count() == 1, qPrintable(a.key));
        actual.append({key, a.id});
    }
    QCOMPARE(actual, expected);
    QVERIFY(AcceleratorTable(IDR_KORVATYPE).empty());
}

namespace {
double MeanLuma(const QImage& img, const QRect& r)
{
    double sum = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb p = img.pixel(x, y);
            sum += 0.299 * qRed(p) + 0.587 * qGreen(p) + 0.114 * qBlue(p);
        }
    return sum / (r.width() * r.height());
}
} // namespace

// On and off must be told apart without colour: the lamp is lit or dark, and
// the rocker is pressed (dark) on the "I" or on the "0" side.
void TestResources::switchImagesDifferInBrightness()
{
    InitResources();
    const QImage on(BitmapPath(IDB_EIN)), off(BitmapPath(IDB_AUS));
    QVERIFY(!on.isNull() && on.size() == off.size());
    const QRect lens(31, 9, 5, 5);
    QVERIFY2(
        MeanLuma(on, lens) > MeanLuma(off, lens) + 80,
        qPrintable(QStringLiteral("%1 / %2").arg(MeanLuma(on, lens)).arg(MeanLuma(off, lens))));
    const QRect iSide(5, 5, 9, on.height() - 10), oSide(17, 5, 9, on.height() - 10);
    QVERIFY(MeanLuma(on, iSide) + 30 < MeanLuma(on, oSide));
    QVERIFY(MeanLuma(off, oSide) + 30 < MeanLuma(off, iSide));
}

QTEST_GUILESS_MAIN(TestResources)
#include "test_resources.moc"
