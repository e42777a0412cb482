#pragma once
// Numbers as the user sees them: general notation, 15 significant digits, the
// user's decimal separator, no group separators.

#include <QLocale>
#include <QString>
#include <optional>

const QLocale& UiLocale();
void SetUiLocale(const QLocale& locale);

QString FormatNumber(double value);
QString FormatInteger(qint64 value);
// Whole text must be a finite number (surrounding blanks allowed).
std::optional<double> ParseNumber(const QString& text);
std::optional<qint64> ParseInteger(const QString& text);
