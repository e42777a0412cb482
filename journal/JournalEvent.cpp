#include "journal/JournalEvent.h"

#include "journal/Csv.h"
#include "journal/LocalTime.h"

#include <QLocale>
#include <cmath>

namespace {

constexpr QChar kSep = u';';
const char* const kTimeFormat = "yyyy-MM-dd HH:mm:ss.zzz";

const char* const kKindTexts[kEventKinds] = {
    "Abschaltung",
    "Automatisch ein",
    "Automatisch ein abgelehnt",
    "Manuell aus",
    "Manuell ein",
    "Einschalten gesperrt",
    "Alle aus",
    "Alle ein",
    "Übertragungsfehler",
    "Übertragung wieder in Ordnung",
    "Meldung",
    "Ausgang nicht bestätigt",
};

// Reads exactly the form FormatEventTime writes.
QDateTime ParseEventTime(QStringView s)
{
    static const char pattern[] = "dddd-dd-dd dd:dd:dd.ddd";
    if (s.size() != qsizetype(sizeof pattern - 1))
        return {};
    for (qsizetype i = 0; i < s.size(); ++i) {
        const bool digit = s[i] >= u'0' && s[i] <= u'9';
        if (pattern[i] == 'd' ? !digit : s[i] != QLatin1Char(pattern[i]))
            return {};
    }
    const auto num = [s](int from, int len) { return s.mid(from, len).toInt(); };
    return LocalDateTime(QDate(num(0, 4), num(5, 2), num(8, 2)),
                         QTime(num(11, 2), num(14, 2), num(17, 2), num(20, 3)));
}

const QStringList& KindTexts()
{
    static const QStringList texts = [] {
        QStringList t;
        for (const char* k : kKindTexts)
            t << QString::fromUtf8(k);
        return t;
    }();
    return texts;
}

} // namespace

QString EventKindText(ChannelEvent kind)
{
    const int k = int(kind);
    return k >= 0 && k < kEventKinds ? KindTexts()[k] : QString();
}

std::optional<ChannelEvent> EventKindFromText(const QString& text)
{
    const qsizetype k = KindTexts().indexOf(text);
    return k >= 0 ? std::optional(ChannelEvent(k)) : std::nullopt;
}

QString FormatEventTime(const QDateTime& time)
{
    return time.toString(QLatin1String(kTimeFormat));
}

QStringList JournalFileHeader()
{
    return {QStringLiteral("Zeit"),      QStringLiteral("Kanal"),    QStringLiteral("Name"),
            QStringLiteral("Strom (A)"), QStringLiteral("Ereignis"), QStringLiteral("Hinweis")};
}

bool IsJournalFileHeader(const QString& line)
{
    QStringList header = JournalFileHeader();
    if (line == CsvLine(header, kSep))
        return true;
    header.removeLast();
    return line == CsvLine(header, kSep);
}

QString JournalFileLine(const JournalEvent& ev)
{
    return CsvLine({FormatEventTime(ev.time), QString::number(ev.nChannel), ev.strName,
                    QString::number(ev.dCurrent, 'g', QLocale::FloatingPointShortest),
                    EventKindText(ev.kind), ev.strDetail},
                   kSep);
}

std::optional<JournalEvent> ParseJournalFileLine(const QString& line)
{
    const QVector<CsvRecord> recs = ParseCsv(line, kSep);
    if (recs.size() != 1 || !recs[0].ok || recs[0].fields.size() < 5 || recs[0].fields.size() > 6)
        return std::nullopt;
    const QStringList& f = recs[0].fields;
    JournalEvent ev;
    ev.time = ParseEventTime(f[0]);
    bool okChannel = false, okCurrent = false;
    ev.nChannel = f[1].toInt(&okChannel);
    ev.strName = f[2];
    // "1,500" must not pass as 1500.
    static const QLocale c = [] {
        QLocale l = QLocale::c();
        l.setNumberOptions(QLocale::RejectGroupSeparator);
        return l;
    }();
    ev.dCurrent = c.toDouble(f[3], &okCurrent);
    const auto kind = EventKindFromText(f[4]);
    if (!ev.time.isValid() || !okChannel || ev.nChannel < 0 || ev.nChannel > 16 || !okCurrent ||
        !std::isfinite(ev.dCurrent) || !kind)
        return std::nullopt;
    ev.kind = *kind;
    if (f.size() == 6)
        ev.strDetail = f[5];
    // Switching events name a channel, all-off and all-on do not; a transfer
    // error may concern an output device rather than a channel.
    const bool bAll = ev.kind == ChannelEvent::AllOff || ev.kind == ChannelEvent::AllOn;
    const bool bTransfer =
        ev.kind == ChannelEvent::TransferError || ev.kind == ChannelEvent::TransferRestored;
    if (ev.kind == ChannelEvent::Message)
        return ev.nChannel == 0 ? std::optional(ev) : std::nullopt;
    if (!bTransfer && bAll != (ev.nChannel == 0))
        return std::nullopt;
    return ev;
}
