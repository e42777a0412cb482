#include "journal/Exports.h"

#include "dialogs/MaximalwerteDlg.h"
#include "dialogs/VerbrauchDlg.h"

#include <QFileInfo>
#include <QSaveFile>

namespace {

const QString kEol = QStringLiteral("\r\n");

void AddLine(QString& text, const QStringList& fields, const CsvFormat& fmt)
{
    text += CsvLine(fields, fmt.separator) + kEol;
}

// The channel as the journal window shows it: "alle" for the switching of
// all channels, nothing for events of no channel.
QString ChannelField(const JournalEvent& ev)
{
    if (ev.nChannel)
        return QString::number(ev.nChannel);
    return ev.kind == ChannelEvent::AllOff || ev.kind == ChannelEvent::AllOn
               ? QStringLiteral("alle")
               : QString();
}

} // namespace

QString VerbrauchCsv(const CVerbrauchDlg& counters, const CsvFormat& fmt)
{
    QString text;
    AddLine(text,
            {QStringLiteral("Kanal"), QStringLiteral("Name"), QStringLiteral("Leistung (W)"),
             QStringLiteral("Energie (Wh)")},
            fmt);
    for (int i = 0; i < 16; ++i)
        AddLine(text,
                {QString::number(i + 1), SpreadsheetText(counters.m_strName[i]),
                 fmt.Number(counters.m_dLeistung[i]), fmt.Number(counters.m_dEnergie[i])},
                fmt);
    AddLine(text,
            {QStringLiteral("Gesamt (kWh)"), QString(), QString(), fmt.Number(counters.m_dGesamt)},
            fmt);
    return text;
}

QString HoechstwerteCsv(const CMaximalwerteDlg& peaks, const CsvFormat& fmt)
{
    QString text;
    AddLine(text,
            {QStringLiteral("Kanal"), QStringLiteral("Name"), QStringLiteral("Höchstwert (A)")},
            fmt);
    for (int i = 0; i < 16; ++i)
        AddLine(text,
                {QString::number(i + 1), SpreadsheetText(peaks.m_strName[i]),
                 fmt.Number(peaks.m_dMax[i])},
                fmt);
    return text;
}

QString JournalCsv(const QVector<JournalEvent>& events, const QList<int>& rows,
                   const CsvFormat& fmt)
{
    QString text;
    AddLine(text, JournalFileHeader(), fmt);
    for (int r : rows) {
        const JournalEvent& ev = events[r];
        AddLine(text,
                {FormatEventTime(ev.time), ChannelField(ev), SpreadsheetText(ev.strName),
                 fmt.Number(ev.dCurrent), EventKindText(ev.kind), SpreadsheetText(ev.strDetail)},
                fmt);
    }
    return text;
}

bool WriteCsvFile(const QString& path, const QString& text, QString* error)
{
    const QFileInfo info(path);
    // Saving renames over the target: never do that to a device or a folder.
    if (info.exists() && !info.isFile()) {
        *error = QStringLiteral("Das Ziel ist keine gewöhnliche Datei.");
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    const QByteArray bytes = QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    // A full disk or a size limit cuts the write without an error, even in
    // the flush: only the size on disk tells.
    if (file.write(bytes) != bytes.size() || !file.flush() || file.size() != bytes.size()) {
        file.cancelWriting();
        *error = QStringLiteral("Der Datenträger ist voll oder die Datei zu groß.");
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
