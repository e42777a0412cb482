#pragma once
// The CSV texts of the exports, and writing them without losing the old file
// when anything goes wrong.

#include "journal/Csv.h"
#include "journal/JournalEvent.h"

#include <QList>
#include <QString>
#include <QVector>

class CVerbrauchDlg;
class CMaximalwerteDlg;

QString VerbrauchCsv(const CVerbrauchDlg& counters, const CsvFormat& fmt);
QString HoechstwerteCsv(const CMaximalwerteDlg& peaks, const CsvFormat& fmt);
// The given events (indices into events) in that order.
QString JournalCsv(const QVector<JournalEvent>& events, const QList<int>& rows,
                   const CsvFormat& fmt);

// Writes text (UTF-8 with byte-order mark, so spreadsheet programs see the
// umlauts) through a save file; on failure the old file stays and error holds
// a German reason.
bool WriteCsvFile(const QString& path, const QString& text, QString* error);
