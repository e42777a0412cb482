#include "journal/Csv.h"

#include <cmath>

CsvFormat CsvFormat::ForLocale(const QLocale& locale)
{
    CsvFormat f;
    f.locale = locale;
    f.locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    f.separator = locale.decimalPoint() == QStringLiteral(",") ? QChar(u';') : QChar(u',');
    return f;
}

namespace {

// The digits of value rounded to 15 significant digits, in fixed notation
// with the trailing zeros trimmed.
QString FixedFifteenDigits(double value, const QLocale& locale)
{
    // "-d.dddddddddddddde-xx": sign, 15 digits and the decimal exponent.
    const QString e = QString::number(value, 'e', 14);
    const qsizetype at = e.indexOf(u'e');
    const bool negative = e.startsWith(u'-');
    QString digits = e.left(at).remove(u'-').remove(u'.');
    const int exponent = e.mid(at + 1).toInt();
    while (digits.size() > 1 && digits.endsWith(u'0'))
        digits.chop(1);
    QString intPart, fracPart;
    if (exponent < 0) {
        intPart = QStringLiteral("0");
        fracPart = QString(-exponent - 1, u'0') + digits;
    } else if (exponent + 1 >= digits.size()) {
        intPart = digits + QString(exponent + 1 - digits.size(), u'0');
    } else {
        intPart = digits.left(exponent + 1);
        fracPart = digits.mid(exponent + 1);
    }
    QString out = negative ? locale.negativeSign() + intPart : intPart;
    if (!fracPart.isEmpty())
        out += locale.decimalPoint() + fracPart;
    return out;
}

} // namespace

QString CsvFormat::Number(double value) const
{
    if (value == 0.0)
        value = 0.0; // no "-0"
    const QString general = locale.toString(value, 'g', 15);
    if (!std::isfinite(value) || !general.contains(locale.exponential(), Qt::CaseInsensitive))
        return general;
    return FixedFifteenDigits(value, locale);
}

QString SpreadsheetText(const QString& text)
{
    static const QString kFormulaStart = QStringLiteral("=+-@\t\r");
    if (!text.isEmpty() && kFormulaStart.contains(text[0]))
        return u'\'' + text;
    return text;
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
