#include "journal/LocalTime.h"

#include <QTimeZone>
#include <limits>

namespace {

constexpr qint64 kMinuteMs = 60 * 1000;

// UTC milliseconds [from, until) over which the zone keeps one offset.
struct OffsetSpan
{
    qint64 from = 0;
    qint64 until = 0;
    int offset = 0;

    bool Holds(qint64 utcMs) const { return utcMs >= from && utcMs < until; }
};

OffsetSpan SpanAround(const QDateTime& local)
{
    OffsetSpan span{std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(),
                    local.offsetFromUtc()};
    const QTimeZone zone = QTimeZone::systemTimeZone();
    const QDateTime after = local.addMSecs(1); // a transition at this very instant counts
    const QTimeZone::OffsetData prev = zone.previousTransition(after);
    const QTimeZone::OffsetData next = zone.nextTransition(local);
    if (prev.atUtc.isValid())
        span.from = prev.atUtc.toMSecsSinceEpoch();
    if (next.atUtc.isValid())
        span.until = next.atUtc.toMSecsSinceEpoch();
    return span;
}

QDateTime WithOffset(qint64 utcMs, int offset)
{
    return QDateTime::fromMSecsSinceEpoch(utcMs, Qt::OffsetFromUTC, offset);
}

} // namespace

QDateTime CurrentLocalTime()
{
    thread_local OffsetSpan span;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (!span.Holds(now)) {
        span = SpanAround(QDateTime::fromMSecsSinceEpoch(now));
        // Looked at again after a minute in case the system's zone is changed.
        span.from = now;
        span.until = std::min(span.until, now + kMinuteMs);
    }
    return WithOffset(now, span.offset);
}

QDateTime LocalDateTime(QDate date, QTime time)
{
    if (!date.isValid() || !time.isValid())
        return {};
    thread_local OffsetSpan span;
    const qint64 wallMs = QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch();
    const qint64 guess = wallMs - qint64(span.offset) * 1000;
    if (span.Holds(guess))
        return WithOffset(guess, span.offset);
    // Outside the known span, in a gap or at a change: let Qt decide once.
    const QDateTime local(date, time);
    if (!local.isValid())
        return {};
    span = SpanAround(local);
    return WithOffset(local.toMSecsSinceEpoch(), span.offset);
}
