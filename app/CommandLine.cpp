#include "app/CommandLine.h"

#include "remote/WebConfig.h"

#include <QCommandLineParser>
#include <QHostAddress>
#include <QDir>
#include <QFile>
#include <QList>

namespace {

struct OptionRow
{
    QStringList names;
    QString valueName; // empty: a flag
    QString help;
};

// The program's own options, in the order --help lists them.
const QList<OptionRow>& OptionTable()
{
    static const QList<OptionRow> rows = {
        {{"h", "help"}, {}, "zeigt diese Hilfe an und endet"},
        {{"v", "version"}, {}, "zeigt die Version an und endet"},
        {{"nologo"}, {}, "startet ohne Startbild (auch -nologo und /nologo)"},
        {{"simulate"}, {}, "Hardware-Modus mit simulierter Platine"},
        {{"sim-script"},
         "DATEI",
         "spielt Ereignisse auf der simulierten Platine ab (mit --simulate)"},
        {{"headless"}, {}, "ohne Fenster; speichert die Datei in Abständen"},
        {{"save-interval"}, "SEKUNDEN", "Abstand der Speicherungen (Vorgabe 300)"},
        {{"web"}, "ADRESSE:PORT", "startet die Web-Oberfläche auf dieser Adresse"},
        {{"set-web-password"}, {}, "liest das Web-Passwort von der Eingabe und endet"},
        {{"print"}, {}, "druckt das Überwachungsfenster und endet"},
        {{"print-to"}, "DATEI.pdf", "schreibt die Seite als PDF-Datei und endet"},
    };
    return rows;
}

// Qt's own options; QApplication takes them out of the arguments itself.
const QStringList kQtValueOptions = {"platform",
                                     "platformpluginpath",
                                     "platformtheme",
                                     "plugin",
                                     "qwindowgeometry",
                                     "geometry",
                                     "qwindowtitle",
                                     "title",
                                     "qwindowicon",
                                     "icon",
                                     "session",
                                     "display",
                                     "name",
                                     "style",
                                     "stylesheet"};
const QStringList kQtFlags = {"reverse", "widgetcount", "nograb", "dograb", "testability"};

QString Quoted(const QString& s)
{
    return QStringLiteral("„%1“").arg(s);
}

QString Spelled(const QString& name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// The option as the user wrote it, without a value.
QString AsTyped(const QStringList& args, const QString& name)
{
    for (const QString& a : args) {
        const QString bare = a.section(QLatin1Char('='), 0, 0);
        if (bare == QLatin1Char('-') + name || bare == QStringLiteral("--") + name)
            return bare;
    }
    return Spelled(name);
}

// One German line for what the parser refused.
QString ErrorText(const QCommandLineParser& parser, const QStringList& args)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty())
        return QStringLiteral("Unbekannte Option %1.").arg(Quoted(AsTyped(args, unknown.first())));
    // Without a translator the parser's own texts are English.
    const QString raw = parser.errorText();
    const QString option = raw.section(QLatin1Char('\''), 1, 1);
    if (raw.startsWith(QLatin1String("Missing value after")))
        return QStringLiteral("Der Option %1 fehlt ihr Wert.").arg(Quoted(option));
    if (raw.startsWith(QLatin1String("Unexpected value after")))
        return QStringLiteral("Die Option %1 nimmt keinen Wert.").arg(Quoted(option));
    return QStringLiteral("Die Befehlszeile ist ungültig (%1).").arg(raw);
}

// Far more than any hand-written play of faults; stops a device file
// (/dev/zero) from being read for ever.
constexpr qint64 kMaxSimScriptBytes = 1 << 20;

// ADDRESS:PORT with an address this machine may listen on and a port 1 ... 65535.
bool CheckWebArgument(const QString& value, QString& error)
{
    QString address;
    quint16 port = 0;
    const QString portText = value.section(QLatin1Char(':'), -1);
    bool numeric = false;
    const uint wanted = portText.toUInt(&numeric);
    if (!value.contains(QLatin1Char(':')) || !numeric) {
        error = QStringLiteral("erwartet ADRESSE:PORT, zum Beispiel 127.0.0.1:8088.");
        return false;
    }
    if (wanted < 1 || wanted > 65535) {
        error = QStringLiteral("Der Port muss zwischen 1 und 65535 liegen.");
        return false;
    }
    if (!ParseListenAddress(value, address, port) ||
        (address != QLatin1String("*") &&
         address.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0 &&
         QHostAddress(address).isNull())) {
        error = QStringLiteral("Die Adresse ist keine IP-Adresse (auch „localhost“ oder „*“).");
        return false;
    }
    return true;
}

} // namespace

bool LoadSimScriptFile(const QString& fileName, CSimScript& script, QString& error)
{
    const QString shown = QDir::toNativeSeparators(fileName) + QStringLiteral(": ");
    QFile file(fileName);
    if (!file.exists()) {
        error = shown + QStringLiteral("Die Datei gibt es nicht.");
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        error = shown + QStringLiteral("Die Datei lässt sich nicht lesen.");
        return false;
    }
    const QByteArray text = file.read(kMaxSimScriptBytes + 1);
    if (text.size() > kMaxSimScriptBytes) {
        error = shown + QStringLiteral("Die Datei ist zu groß für eine Ereignisliste.");
        return false;
    }
    std::string why;
    if (!CSimScript::Parse(text.toStdString(), script, why)) {
        error = shown + QString::fromStdString(why);
        return false;
    }
    return true;
}

QString KorvaUsageText()
{
    QString text = QStringLiteral(
        "Aufruf: korva [OPTIONEN] [DATEI.sav]\n"
        "\n"
        "Überwacht und schaltet die 16 Boosterausgänge einer Modellbahnanlage.\n"
        "\n"
        "Argumente:\n"
        "  DATEI.sav                   öffnet diese Datei; ohne sie ein neues Dokument\n"
        "\n"
        "Optionen:\n");
    for (const OptionRow& row : OptionTable()) {
        QStringList spelled;
        for (const QString& n : row.names)
            spelled << Spelled(n);
        QString left = spelled.join(QStringLiteral(", "));
        if (!row.valueName.isEmpty())
            left += QLatin1Char(' ') + row.valueName;
        text += QStringLiteral("  %1 %2\n").arg(left, -27).arg(row.help);
    }
    text += QStringLiteral(
        "\n"
        "Jede Option darf mit einem oder zwei Bindestrichen stehen (-nologo, --nologo).\n"
        "Dazu gelten die Optionen von Qt, etwa -platform NAME und -style NAME.\n"
        "--print und --print-to brauchen eine DATEI.sav.\n"
        "\n"
        "Status: 0 fertig, 1 Fehler beim Starten, Laden oder Drucken (auch ohne\n"
        "Drucker), 2 falsche Befehlszeile.\n");
    return text;
}

KorvaCommandLine ParseKorvaCommandLine(const QStringList& argv)
{
    KorvaCommandLine result;
    QCommandLineParser parser;
    // The framework's flags have always been single-dash words (-nologo).
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const OptionRow& row : OptionTable())
        parser.addOption(QCommandLineOption(row.names, row.help, row.valueName));
    for (const QString& n : kQtValueOptions)
        parser.addOption(QCommandLineOption(n, QString(), QStringLiteral("x")));
    for (const QString& n : kQtFlags)
        parser.addOption(QCommandLineOption(n));

    // "/nologo" is the framework's oldest spelling; the parser would take it
    // for a file.
    QStringList in = argv;
    bool bOldNologo = false;
    for (int i = in.size() - 1; i >= 1; --i) {
        if (in.at(i) == QLatin1String("/nologo")) {
            in.removeAt(i);
            bOldNologo = true;
        }
    }

    if (!parser.parse(in)) {
        result.nExitCode = 2;
        result.strMessage = QStringLiteral("korva: ") + ErrorText(parser, in) +
                            QStringLiteral(" Hilfe mit „korva --help“.\n");
        return result;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        result.nExitCode = 0;
        result.strMessage = KorvaUsageText();
        return result;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        result.nExitCode = 0;
        result.strMessage = QStringLiteral("korva %1\n").arg(QStringLiteral(KORVA_VERSION));
        return result;
    }

    const bool bSimScript = parser.isSet(QStringLiteral("sim-script"));
    if (bSimScript) {
        QString error;
        if (!LoadSimScriptFile(parser.value(QStringLiteral("sim-script")), result.simScript,
                               error)) {
            result.nExitCode = 2;
            result.strMessage = QStringLiteral("korva: ") + error + QLatin1Char('\n');
            return result;
        }
    }

    if (parser.isSet(QStringLiteral("web"))) {
        const QString value = parser.value(QStringLiteral("web"));
        QString error;
        if (!CheckWebArgument(value, error)) {
            result.nExitCode = 2;
            result.strMessage = QStringLiteral("korva: --web %1: %2 Hilfe mit „korva --help“.\n")
                                    .arg(Quoted(value), error);
            return result;
        }
    }

    if (parser.isSet(QStringLiteral("save-interval"))) {
        const QString value = parser.value(QStringLiteral("save-interval"));
        bool ok = false;
        result.nSaveIntervalS = value.toInt(&ok);
        if (!ok || result.nSaveIntervalS <= 0) {
            result.nExitCode = 2;
            result.strMessage =
                QStringLiteral("korva: --save-interval %1: erwartet eine Zahl von Sekunden. "
                               "Hilfe mit „korva --help“.\n")
                    .arg(Quoted(value));
            return result;
        }
    }

    // A play of faults needs the simulated board.
    const bool bSimulate = parser.isSet(QStringLiteral("simulate")) || bSimScript;
    result.args << argv.value(0, QStringLiteral("korva"));
    for (const OptionRow& row : OptionTable()) {
        const QString& name = row.names.constLast();
        if (!(name == QLatin1String("simulate") ? bSimulate : parser.isSet(name)))
            continue;
        result.args << QStringLiteral("--") + name;
        if (!row.valueName.isEmpty())
            result.args << parser.value(name);
    }
    if (bOldNologo && !result.args.contains(QStringLiteral("--nologo")))
        result.args << QStringLiteral("--nologo");
    result.args << parser.positionalArguments();
    result.bPrint = parser.isSet(QStringLiteral("print"));
    result.strPrintTo = parser.value(QStringLiteral("print-to"));
    result.strFile = parser.positionalArguments().value(0);
    result.bHeadless = parser.isSet(QStringLiteral("headless"));
    result.bSimulate = bSimulate;
    result.bSetWebPassword = parser.isSet(QStringLiteral("set-web-password"));
    result.strWeb = parser.value(QStringLiteral("web"));
    return result;
}
