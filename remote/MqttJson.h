#pragma once
// The MQTT messages' payloads: a channel's state, Home Assistant's discovery
// configuration, and the commands taken from .../set.

#include "remote/ChannelSnapshot.h"
#include "remote/MqttConfig.h"

#include <QByteArray>
#include <QList>
#include <optional>

// {"name", "current", "power", "energy", "on", "cutoff", "alarm", "stale"}
QByteArray MqttChannelState(const ChannelRecord& r);

struct MqttRetained
{
    QByteArray topic;
    QByteArray payload; // empty: removes a configuration published before
};
// Per channel a current and an energy sensor, a cutoff binary sensor and,
// with commands enabled, a switch; one device per station.
QList<MqttRetained> MqttDiscovery(const MqttConfig& config);
// The same topics, each with an empty payload: Home Assistant forgets them.
QList<MqttRetained> MqttDiscoveryRemoval(const MqttConfig& config);

struct MqttCommand
{
    int nChannel = 0; // 0: all
    bool bOn = false;
};
// A command on root + "channel/<k>/set" or root + "all/set" with payload
// exactly ON or OFF; nothing for anything else.
std::optional<MqttCommand> ParseMqttCommand(const QString& root, const QByteArray& topic,
                                            const QByteArray& payload);
