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
    QString strUser;
    QString strPasswordFile;
    QString strCaFile;   // set: TLS, the broker's certificate checked against it
    QString strCertFile; // optional client certificate and key
    QString strKeyFile;
    bool bDiscovery = false; // Home Assistant's configuration messages
    bool bCommands = false;  // switching through .../set

    QString Station() const;
    // "korva/<station>/", the station made safe for a topic level.
    QString TopicRoot() const;
    bool UsesTls() const { return !strCaFile.isEmpty(); }

    static MqttConfig Load(QSettings& settings);
    void Save(QSettings& settings) const;
};

// A station name usable as one topic level: no '/', '+', '#', no control
// characters, not empty.
QString MqttTopicLevel(const QString& station);

// The first line of the password file, without its line end. False with a
// German reason when the file cannot be read.
bool ReadMqttPassword(const QString& path, QByteArray& password, QString* error);
