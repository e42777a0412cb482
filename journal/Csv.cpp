#include "journal/Csv.h"

CsvFormat CsvFormat::ForLocale(const QLocale& locale)
{
    CsvFormat f;
    f.locale = locale;
    f.locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    f.separator = locale.decimalPoint() == QStringLiteral(",") ? QChar(u';') : QChar(u',');
    return f;
}

QString CsvFormat::Number(double value) const
{
    // Fixed notation with the shortest exact digits: spreadsheets read it in
    // every locale, and no value loses digits.
    return locale.toString(value, 'f', QLocale::FloatingPointShortest);
}

QString CsvField(const QString& text, QChar separator)
{
    const bool quote = text.contains(separator) || text.contains(u'"') || text.contains(u'\n') ||
                       text.contains(u'\r') || text.startsWith(u' ') || text.endsWith(u' ');
    if (!quote)
        return text;
    QString out = text;
    out.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + out + u'"';
}

QString CsvLine(const QStringList& fields, QChar separator)
{
    QString line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i)
            line += separator;
        line += CsvField(fields[i], separator);
    }
    return line;
}

QVector<CsvRecord> ParseCsv(const QString& text, QChar separator)
{
    QVector<CsvRecord> records;
    CsvRecord rec;
    QString field;
    bool inQuotes = false, any = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        any = true;
        if (inQuotes) {
            if (c == u'"') {
                if (i + 1 < text.size() && text[i + 1] == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    inQuotes = false;
                }
            } else {
                field += c;
            }
        } else if (c == u'"') {
            inQuotes = true;
        } else if (c == separator) {
            rec.fields << field;
            field.clear();
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            rec.fields << field;
            records << rec;
            rec = CsvRecord();
            field.clear();
            any = false;
        } else {
            field += c;
        }
    }
    if (any) {
        rec.fields << field;
        rec.ok = !inQuotes;
        records << rec;
    }
    return records;
}
