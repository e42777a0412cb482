#include "remote/MqttConfig.h"

#include <QFile>
#include <QHostInfo>
#include <QSettings>

QString MqttConfig::Station() const
{
    return strStation.trimmed().isEmpty() ? QHostInfo::localHostName() : strStation.trimmed();
}

QString MqttConfig::TopicRoot() const
{
    return QStringLiteral("korva/%1/").arg(MqttTopicLevel(Station()));
}

QString MqttTopicLevel(const QString& station)
{
    QString out;
    for (const QChar c : station) {
        if (c == QLatin1Char('/') || c == QLatin1Char('+') || c == QLatin1Char('#') ||
            c.category() == QChar::Other_Control)
            out += QLatin1Char('_');
        else
            out += c;
    }
    return out.isEmpty() ? QStringLiteral("_") : out;
}

MqttConfig MqttConfig::Load(QSettings& s)
{
    MqttConfig c;
    s.beginGroup(QStringLiteral("MQTT"));
    c.bEnabled = s.value(QStringLiteral("enabled"), false).toBool();
    c.strHost = s.value(QStringLiteral("host"), c.strHost).toString().trimmed();
    bool ok = false;
    const uint port = s.value(QStringLiteral("port"), kDefaultPort).toUInt(&ok);
    c.nPort = ok && port > 0 && port <= 65535 ? quint16(port) : kDefaultPort;
    c.strStation = s.value(QStringLiteral("station")).toString().trimmed();
    c.strUser = s.value(QStringLiteral("user")).toString();
    c.strPasswordFile = s.value(QStringLiteral("passwordFile")).toString();
    c.strCaFile = s.value(QStringLiteral("caFile")).toString();
    c.strCertFile = s.value(QStringLiteral("certFile")).toString();
    c.strKeyFile = s.value(QStringLiteral("keyFile")).toString();
    c.bDiscovery = s.value(QStringLiteral("discovery"), false).toBool();
    c.bCommands = s.value(QStringLiteral("commands"), false).toBool();
    s.endGroup();
    if (c.strHost.isEmpty())
        c.strHost = MqttConfig().strHost;
    return c;
}

void MqttConfig::Save(QSettings& s) const
{
    s.beginGroup(QStringLiteral("MQTT"));
    s.setValue(QStringLiteral("enabled"), bEnabled);
    s.setValue(QStringLiteral("host"), strHost);
    s.setValue(QStringLiteral("port"), nPort);
    s.setValue(QStringLiteral("station"), strStation);
    s.setValue(QStringLiteral("user"), strUser);
    s.setValue(QStringLiteral("passwordFile"), strPasswordFile);
    s.setValue(QStringLiteral("caFile"), strCaFile);
    s.setValue(QStringLiteral("certFile"), strCertFile);
    s.setValue(QStringLiteral("keyFile"), strKeyFile);
    s.setValue(QStringLiteral("discovery"), bDiscovery);
    s.setValue(QStringLiteral("commands"), bCommands);
    s.endGroup();
}

bool ReadMqttPassword(const QString& path, QByteArray& password, QString* error)
{
    password.clear();
    if (path.isEmpty())
        return true;
    QFile f(path);
    // A password is one short line; anything large is not a password file.
    if (!f.open(QIODevice::ReadOnly) || f.size() > 4096) {
        if (error)
            *error = QStringLiteral("Die Passwortdatei \u201E%1\u201C kann nicht gelesen werden.")
                         .arg(path);
        return false;
    }
    password = f.readLine(4096);
    while (password.endsWith('\n') || password.endsWith('\r'))
        password.chop(1);
    return true;
}
