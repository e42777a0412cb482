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
    QString Number(double value) const;
};

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
