#include "framework/Numbers.h"

#include <cmath>

namespace {

QLocale makeLocale(QLocale l)
{
    l.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return l;
}

QLocale& locale()
{
    static QLocale l = makeLocale(QLocale::system());
    return l;
}

} // namespace

const QLocale& UiLocale() { return locale(); }
void SetUiLocale(const QLocale& l) { locale() = makeLocale(l); }

QString FormatNumber(double value)
{
    if (value == 0.0)
        value = 0.0;  // no "-0"
    return locale().toString(value, 'g', 15);
}

QString FormatInteger(qint64 value) { return locale().toString(value); }

std::optional<double> ParseNumber(const QString& text)
{
    bool ok = false;
    const double v = locale().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<qint64> ParseInteger(const QString& text)
{
    bool ok = false;
    const qint64 v = locale().toLongLong(text.trimmed(), &ok);
    if (!ok)
        return std::nullopt;
    return v;
}
