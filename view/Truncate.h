#pragma once
// Conversions of the measurement cycle. Values are cut toward zero to a whole
// 32-bit number; beyond that range they saturate instead of wrapping, and a
// value that is not finite (a quotient by a Maximalstrom of 0) gives 0.

#include <QtGlobal>
#include <climits>
#include <cmath>

namespace korva_view {

inline qint32 TruncToInt(double x)
{
    if (!std::isfinite(x))
        return 0;
    if (x >= double(INT_MAX))
        return INT_MAX;
    if (x <= double(INT_MIN))
        return INT_MIN;
    return qint32(x);
}

// trunc(x * scale) / scale: x cut toward zero to 1 / scale.
inline double TruncTo(double x, double scale)
{
    return TruncToInt(x * scale) / scale;
}

// x cut toward zero to 1 / scale without the 32-bit limit, so a loaded
// counter beyond it is not lowered; a value that is not finite stays.
inline double TruncToStep(double x, double scale)
{
    return std::isfinite(x) ? std::trunc(x * scale) / scale : x;
}

// Seconds to milliseconds for a timer period.
inline qint32 SecondsToMs(quint32 seconds)
{
    const quint64 ms = quint64(seconds) * 1000u;
    return ms > quint64(INT_MAX) ? INT_MAX : qint32(ms);
}

// Unsigned document values into the dialogs' int members.
inline int ToInt(quint32 v)
{
    return v > quint32(INT_MAX) ? INT_MAX : int(v);
}

// A dialog's validated int back into an unsigned member.
inline quint32 ToUInt(int v)
{
    return v < 0 ? 0u : quint32(v);
}

} // namespace korva_view
