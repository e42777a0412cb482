#include "remote/WebJson.h"

#include <algorithm>

namespace {

QString Colour(quint32 rgb)
{
    return QStringLiteral("#%1").arg(rgb, 6, 16, QLatin1Char('0'));
}

} // namespace

QJsonObject ChannelStateJson(const ChannelRecord& r)
{
    return {{QStringLiteral("name"), r.strName}, {QStringLiteral("current"), r.dCurrent},
            {QStringLiteral("power"), r.dPower}, {QStringLiteral("energy"), r.dEnergy},
            {QStringLiteral("on"), r.bOn},       {QStringLiteral("cutoff"), r.bCutOff},
            {QStringLiteral("alarm"), r.bAlarm}, {QStringLiteral("stale"), r.bStale},
            {QStringLiteral("age_ms"), r.nAgeMs < 0 ? QJsonValue() : QJsonValue(r.nAgeMs)}};
}

QJsonObject ChannelJson(const ChannelRecord& r)
{
    QJsonObject o = ChannelStateJson(r);
    o.insert(QStringLiteral("number"), r.nNumber);
    o.insert(QStringLiteral("maximalstrom"), r.dMaximalstrom);
    o.insert(QStringLiteral("alarmstrom"), r.dAlarmstrom);
    o.insert(QStringLiteral("abschaltstrom"), r.dAbschaltstrom);
    o.insert(QStringLiteral("bar"), r.nBarPercent);
    o.insert(QStringLiteral("colour"), Colour(r.nBarRgb));
    return o;
}

QJsonObject StateJson(const ChannelSnapshot& snap, const QDateTime& answeredAt)
{
    const qint64 since =
        answeredAt.isValid() && snap.time.isValid() ? std::max<qint64>(snap.time.msecsTo(answeredAt), 0) : 0;
    QJsonArray channels;
    for (ChannelRecord r : snap.channels) {
        if (r.nAgeMs >= 0)
            r.nAgeMs += since;
        channels.append(ChannelJson(r));
    }
    return {{QStringLiteral("station"), snap.strStation},
            {QStringLiteral("time"), snap.time.toString(Qt::ISODateWithMs)},
            {QStringLiteral("channels"), channels}};
}

QJsonArray ChangedChannelsJson(const ChannelSnapshot& before, const ChannelSnapshot& now)
{
    QJsonArray changed;
    for (int i = 0; i < ChannelSnapshot::kChannels; ++i) {
        if (before.channels[i].SameButAge(now.channels[i]))
            continue;
        const QJsonObject was = ChannelJson(before.channels[i]);
        const QJsonObject is = ChannelJson(now.channels[i]);
        QJsonObject delta{{QStringLiteral("number"), i + 1}};
        for (auto it = is.begin(); it != is.end(); ++it) {
            if (was.value(it.key()) != it.value())
                delta.insert(it.key(), it.value());
        }
        changed.append(delta);
    }
    return changed;
}

QJsonObject JournalEventJson(const JournalEvent& ev)
{
    return {{QStringLiteral("time"), ev.time.toString(Qt::ISODateWithMs)},
            {QStringLiteral("channel"), ev.nChannel},
            {QStringLiteral("name"), ev.strName},
            {QStringLiteral("current"), ev.dCurrent},
            {QStringLiteral("kind"), EventKindText(ev.kind)},
            {QStringLiteral("detail"), ev.strDetail}};
}

QJsonArray JournalJson(const QVector<JournalEvent>& events, int nLimit)
{
    QJsonArray out;
    const qsizetype first = std::max<qsizetype>(0, events.size() - nLimit);
    for (qsizetype i = first; i < events.size(); ++i)
        out.append(JournalEventJson(events.at(i)));
    return out;
}
