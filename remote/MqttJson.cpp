#include "remote/MqttJson.h"

#include "remote/WebJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// Home Assistant takes only these characters in object ids.
QString Slug(const QString& text)
{
    QString out;
    for (const QChar c : text)
        out += c.isLetterOrNumber() && c.unicode() < 128 ? c.toLower() : QLatin1Char('_');
    return out;
}

QByteArray Compact(const QJsonObject& o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

const QString kVersion = QStringLiteral(KORVA_VERSION);
const QString kSupportUrl = QStringLiteral("https://www.kalvento.de/korva");

} // namespace

QByteArray MqttChannelState(const ChannelRecord& r)
{
    return Compact(ChannelStateJson(r));
}

QList<MqttRetained> MqttDiscovery(const MqttConfig& config)
{
    const QString station = config.Station();
    const QString root = config.TopicRoot();
    const QString id = QStringLiteral("korva_") + Slug(config.StationId());
    const QJsonObject device{{QStringLiteral("identifiers"), QJsonArray{id}},
                             {QStringLiteral("name"), QStringLiteral("KORVA %1").arg(station)},
                             {QStringLiteral("manufacturer"), QStringLiteral("Kalvento GmbH")},
                             {QStringLiteral("model"), QStringLiteral("KORVA_Powermanagement")},
                             {QStringLiteral("sw_version"), kVersion}};
    const QJsonObject origin{{QStringLiteral("name"), QStringLiteral("KORVA_Powermanagement")},
                             {QStringLiteral("sw_version"), kVersion},
                             {QStringLiteral("support_url"), kSupportUrl}};

    QList<MqttRetained> out;
    for (int k = 1; k <= ChannelSnapshot::kChannels; ++k) {
        const QString state = root + QStringLiteral("channel/%1/state").arg(k);
        const auto entity = [&](const QString& what, const QString& name) {
            return QJsonObject{
                {QStringLiteral("name"), QStringLiteral("Kanal %1 %2").arg(k).arg(name)},
                {QStringLiteral("unique_id"), QStringLiteral("%1_%2_%3").arg(id).arg(k).arg(what)},
                {QStringLiteral("state_topic"), state},
                {QStringLiteral("availability_topic"), root + QStringLiteral("status")},
                {QStringLiteral("payload_available"), QStringLiteral("online")},
                {QStringLiteral("payload_not_available"), QStringLiteral("offline")},
                {QStringLiteral("device"), device},
                {QStringLiteral("origin"), origin}};
        };
        const auto topic = [&](const QString& component, const QString& what) {
            return QStringLiteral("homeassistant/%1/%2/%3_%4/config")
                .arg(component, id)
                .arg(k)
                .arg(what)
                .toUtf8();
        };

        QJsonObject current = entity(QStringLiteral("current"), QStringLiteral("Strom"));
        current.insert(QStringLiteral("value_template"),
                       QStringLiteral("{{ value_json.current }}"));
        current.insert(QStringLiteral("unit_of_measurement"), QStringLiteral("A"));
        current.insert(QStringLiteral("device_class"), QStringLiteral("current"));
        current.insert(QStringLiteral("state_class"), QStringLiteral("measurement"));
        out.append({topic(QStringLiteral("sensor"), QStringLiteral("current")), Compact(current)});

        QJsonObject energy = entity(QStringLiteral("energy"), QStringLiteral("Energie"));
        energy.insert(QStringLiteral("value_template"), QStringLiteral("{{ value_json.energy }}"));
        energy.insert(QStringLiteral("unit_of_measurement"), QStringLiteral("Wh"));
        energy.insert(QStringLiteral("device_class"), QStringLiteral("energy"));
        energy.insert(QStringLiteral("state_class"), QStringLiteral("total_increasing"));
        out.append({topic(QStringLiteral("sensor"), QStringLiteral("energy")), Compact(energy)});

        QJsonObject cutoff = entity(QStringLiteral("cutoff"), QStringLiteral("Abgeschaltet"));
        cutoff.insert(QStringLiteral("value_template"),
                      QStringLiteral("{{ 'ON' if value_json.cutoff else 'OFF' }}"));
        cutoff.insert(QStringLiteral("device_class"), QStringLiteral("problem"));
        out.append(
            {topic(QStringLiteral("binary_sensor"), QStringLiteral("cutoff")), Compact(cutoff)});

        // Without commands an earlier switch is taken away again.
        QByteArray switchConfig;
        if (config.bCommands) {
            QJsonObject sw = entity(QStringLiteral("switch"), QStringLiteral("Schalter"));
            sw.insert(QStringLiteral("command_topic"),
                      root + QStringLiteral("channel/%1/set").arg(k));
            sw.insert(QStringLiteral("payload_on"), QStringLiteral("ON"));
            sw.insert(QStringLiteral("payload_off"), QStringLiteral("OFF"));
            sw.insert(QStringLiteral("value_template"),
                      QStringLiteral("{{ 'ON' if value_json.on else 'OFF' }}"));
            sw.insert(QStringLiteral("state_on"), QStringLiteral("ON"));
            sw.insert(QStringLiteral("state_off"), QStringLiteral("OFF"));
            switchConfig = Compact(sw);
        }
        out.append({topic(QStringLiteral("switch"), QStringLiteral("switch")), switchConfig});
    }
    return out;
}

QList<MqttRetained> MqttDiscoveryRemoval(const MqttConfig& config)
{
    QList<MqttRetained> out = MqttDiscovery(config);
    for (MqttRetained& m : out)
        m.payload.clear();
    return out;
}

std::optional<MqttCommand> ParseMqttCommand(const QString& root, const QByteArray& topic,
                                            const QByteArray& payload)
{
    const QByteArray prefix = root.toUtf8();
    if (!topic.startsWith(prefix))
        return std::nullopt;
    // Exactly the switch's payload_on and payload_off: nothing padded.
    MqttCommand cmd;
    if (payload == "ON")
        cmd.bOn = true;
    else if (payload != "OFF")
        return std::nullopt;
    const QByteArray rest = topic.mid(prefix.size());
    if (rest == "all/set")
        return cmd;
    const QList<QByteArray> parts = rest.split('/');
    if (parts.size() != 3 || parts[0] != "channel" || parts[2] != "set")
        return std::nullopt;
    bool ok = false;
    const int k = parts[1].toInt(&ok);
    // Digits only: "+3" or " 3" would be another topic to the broker.
    if (!ok || k < 1 || k > ChannelSnapshot::kChannels || parts[1] != QByteArray::number(k))
        return std::nullopt;
    cmd.nChannel = k;
    return cmd;
}
