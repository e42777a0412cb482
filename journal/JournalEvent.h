#pragma once
// One switching event as the journal keeps it, and its line in the journal
// file. The file is a machine format (C locale numbers, ISO local time), so a
// journal written under one locale reads back under any other.

#include "view/ViewEvents.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

struct JournalEvent
{
    QDateTime time;        // local time, to the millisecond
    int nChannel = 0;      // 1 ... 16; 0 for all-off and all-on
    QString strName;       // channel name at the time of the event
    double dCurrent = 0.0; // A, present current
    ChannelEvent kind = ChannelEvent::Cutoff;
    QString strDetail; // what failed, for transfer errors
};

constexpr int kEventKinds = 12;
// German label of a kind, as shown and as written to the file.
QString EventKindText(ChannelEvent kind);
std::optional<ChannelEvent> EventKindFromText(const QString& text);

QString FormatEventTime(const QDateTime& time);

// The journal file's header and lines (without line end). Lines of older
// runs without the detail column read back as well.
QStringList JournalFileHeader();
bool IsJournalFileHeader(const QString& line);
QString JournalFileLine(const JournalEvent& ev);
std::optional<JournalEvent> ParseJournalFileLine(const QString& line);
