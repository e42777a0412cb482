#include "journal/Exports.h"

#include "dialogs/MaximalwerteDlg.h"
#include "dialogs/VerbrauchDlg.h"
#include "framework/Document.h"

#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <unistd.h>

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
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *error = file.errorString();
        return false;
    }
    const QByteArray bytes = QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    // Written with the system's own calls: a full disk and a size limit cut
    // the write short, and only errno tells which of the two it was.
    if (const int err = WriteAllBytes(file.handle(), bytes); err != 0) {
        file.cancelWriting();
        *error = SystemErrorText(err);
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
