#pragma once
// Local time without asking the C library each time: it reads the zone file
// again on every lookup, which made an event cost more than a measurement
// tick and a full journal take seconds to load. The offset from UTC stays
// the same between two transitions of the system's zone, so it is kept for
// that span.
//
// The results carry their offset from UTC rather than Qt::LocalTime; they
// compare, sort and print as the local time they are.

#include <QDate>
#include <QDateTime>
#include <QTime>

// Now, to the millisecond.
QDateTime CurrentLocalTime();
// The instant a local date and time stand for; invalid when they are.
QDateTime LocalDateTime(QDate date, QTime time);
