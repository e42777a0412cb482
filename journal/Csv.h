#pragma once
// CSV as spreadsheet programs read it: fields quoted when needed, and a
// semicolon between fields where the locale writes a decimal comma.

#include <QChar>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QVector>

struct CsvFormat
{
    QLocale locale = QLocale::c();
    QChar separator = u',';

    // Numbers in the locale's notation without group separators; the
    // separator follows the decimal point.
    static CsvFormat ForLocale(const QLocale& locale);
    // 15 significant digits like the dialogs, but never with an exponent:
    // 0.0000088 rather than 8.8e-06.
    QString Number(double value) const;
};

// A text cell a spreadsheet would take for a formula gets a leading
// apostrophe; for exports only, never for files read back by the program.
QString SpreadsheetText(const QString& text);

QString CsvField(const QString& text, QChar separator);
QString CsvLine(const QStringList& fields, QChar separator);

// Splits CSV text into records; quoted fields may hold separators, quotes
// and line breaks. A quote left open at the end makes the last record
// incomplete: it is returned with ok = false.
struct CsvRecord
{
    QStringList fields;
    bool ok = true;
};
QVector<CsvRecord> ParseCsv(const QString& text, QChar separator);
