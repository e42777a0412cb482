#pragma once
// Settings of the MQTT connection (group MQTT/). The password itself never
// goes into the settings: they name a file that holds it.

#include <QString>

class QSettings;

struct MqttConfig
{
    static constexpr quint16 kDefaultPort = 1883;
    bool bEnabled = false;
    QString strHost = QStringLiteral("localhost");
    quint16 nPort = kDefaultPort;
    QString strStation; // empty: the host name
    // Made once and kept in the settings: Home Assistant's node and unique
    // ids, which a name differing only in case or accents must not share.
    QString strStationId;
    QString strUser;
    QString strPasswordFile;
    QString strCaFile;   // set: TLS, the broker's certificate checked against it
    QString strCertFile; // optional client certificate and key
    QString strKeyFile;
    bool bDiscovery = false; // Home Assistant's configuration messages
    bool bCommands = false;  // switching through .../set

    static constexpr int kMaxStationChars = 64;

    QString Station() const;
    // strStationId, or (settings never saved) one derived from the exact name.
    QString StationId() const;
    // "korva/<station>/", the station made safe for a topic level.
    QString TopicRoot() const;
    bool UsesTls() const { return !strCaFile.isEmpty(); }

    static MqttConfig Load(QSettings& settings);
    void Save(QSettings& settings) const;
};

// A station name usable as one topic level: no '/', '+', '#', no control or
// non-characters, no leading '$' (the broker's own topics), at most
// kMaxStationChars characters, not empty.
QString MqttTopicLevel(const QString& station);
// Why the name cannot be a topic level as it is, in German; empty when it can.
QString MqttStationProblem(const QString& station);

// The first line of the password file, without its line end. False with a
// German reason when the file cannot be read.
bool ReadMqttPassword(const QString& path, QByteArray& password, QString* error);
