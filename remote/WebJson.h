#pragma once
// The JSON shapes of the remote interfaces: the state, the changes between two
// states, and journal events.

#include "journal/JournalEvent.h"
#include "remote/ChannelSnapshot.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QVector>

// What a channel shows now: the part the web and MQTT states share.
QJsonObject ChannelStateJson(const ChannelRecord& r);
QJsonObject ChannelJson(const ChannelRecord& r);
// {"station", "time", "channels": [...]}. With answeredAt, each reading's
// "age_ms" counts to that moment rather than to the snapshot's time.
QJsonObject StateJson(const ChannelSnapshot& snap, const QDateTime& answeredAt = {});
// The channels whose fields changed, each with "number" and only the changed
// fields; empty when nothing changed. A reading that only aged is no change.
QJsonArray ChangedChannelsJson(const ChannelSnapshot& before, const ChannelSnapshot& now);

QJsonObject JournalEventJson(const JournalEvent& ev);
// The last nLimit events, oldest first.
QJsonArray JournalJson(const QVector<JournalEvent>& events, int nLimit);
