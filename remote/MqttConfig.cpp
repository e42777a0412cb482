#include "remote/MqttConfig.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHostInfo>
#include <QSettings>
#include <QUuid>
#include <algorithm>

namespace {

bool IsUnsafe(QChar c)
{
    return c == QLatin1Char('/') || c == QLatin1Char('+') || c == QLatin1Char('#') ||
           c.category() == QChar::Other_Control || c.isNonCharacter() || c.isSurrogate() ||
           c.unicode() == 0xFFFD;
}

} // namespace

QString MqttConfig::Station() const
{
    return strStation.trimmed().isEmpty() ? QHostInfo::localHostName() : strStation.trimmed();
}

QString MqttConfig::TopicRoot() const
{
    return QStringLiteral("korva/%1/").arg(MqttTopicLevel(Station()));
}

QString MqttConfig::StationId() const
{
    if (!strStationId.isEmpty())
        return strStationId;
    return QString::fromLatin1(
        QCryptographicHash::hash(Station().toUtf8(), QCryptographicHash::Sha1).toHex().left(12));
}

QString MqttTopicLevel(const QString& station)
{
    QString out;
    for (const QChar c : station.left(MqttConfig::kMaxStationChars))
        out += IsUnsafe(c) ? QLatin1Char('_') : c;
    if (out.startsWith(QLatin1Char('$')))
        out[0] = QLatin1Char('_');
    return out.isEmpty() ? QStringLiteral("_") : out;
}

QString MqttStationProblem(const QString& station)
{
    if (station.startsWith(QLatin1Char('$')))
        return QStringLiteral("Der Stationsname darf nicht mit \u201E$\u201C beginnen "
                              "(das sind die Themen des Brokers selbst).");
    if (station.size() > MqttConfig::kMaxStationChars)
        return QStringLiteral("Der Stationsname darf höchstens %1 Zeichen lang sein.")
            .arg(MqttConfig::kMaxStationChars);
    if (std::any_of(station.begin(), station.end(), IsUnsafe))
        return QStringLiteral("Der Stationsname darf weder \u201E/\u201C, \u201E+\u201C, "
                              "\u201E#\u201C noch Steuer- oder Nichtzeichen enthalten.");
    return {};
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
    c.strStationId = s.value(QStringLiteral("stationId")).toString();
    if (c.strStationId.isEmpty()) {
        c.strStationId = QUuid::createUuid().toString(QUuid::Id128).left(12);
        s.setValue(QStringLiteral("stationId"), c.strStationId);
    }
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
    if (!strStationId.isEmpty())
        s.setValue(QStringLiteral("stationId"), strStationId);
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
