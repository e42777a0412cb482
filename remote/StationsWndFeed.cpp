#include "remote/StationsWndFeed.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QList>

namespace {

// The station's level of a topic this feed takes, or nothing.
QByteArray StationOf(const QByteArray& topic)
{
    if (!topic.startsWith("korva/"))
        return {};
    const qsizetype end = topic.indexOf('/', 6);
    return end > 6 ? topic.mid(6, end - 6) : QByteArray();
}

} // namespace

CStationsFeed::CStationsFeed(Deliver deliver, int handOverMs)
    : m_deliver(std::move(deliver)), m_nHandOverMs(handOverMs)
{
    m_thread = std::thread([this] { Run(); });
}

CStationsFeed::~CStationsFeed()
{
    {
        std::lock_guard lock(m_mutex);
        m_bStop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void CStationsFeed::Take(const QByteArray& topic, const QByteArray& payload)
{
    const QByteArray name = StationOf(topic);
    if (name.isEmpty())
        return;
    std::lock_guard lock(m_mutex);
    if (!m_names.contains(name)) {
        if (m_names.size() >= kMaxStations) {
            ++m_nRefused;
            return;
        }
        m_names.insert(name);
    }
    m_arrived.insert(topic, payload);
}

void CStationsFeed::Run()
{
    std::unique_lock lock(m_mutex);
    while (!m_bStop) {
        m_wake.wait_for(lock, std::chrono::milliseconds(m_nHandOverMs), [this] { return m_bStop; });
        if (m_bStop)
            break;
        lock.unlock();
        HandOver();
        lock.lock();
    }
}

void CStationsFeed::HandOver()
{
    QHash<QByteArray, QByteArray> arrived;
    {
        std::lock_guard lock(m_mutex);
        arrived.swap(m_arrived);
    }
    if (arrived.isEmpty())
        return;
    const QDateTime now = QDateTime::currentDateTime();
    QSet<QString> changed;
    for (auto it = arrived.cbegin(); it != arrived.cend(); ++it) {
        const QString name = QString::fromUtf8(StationOf(it.key()));
        Row& row = m_rows[name];
        if (Merge(row, it.key(), it.value())) {
            row.last = now;
            changed.insert(name);
        }
    }
    Batch batch;
    for (const QString& name : changed)
        batch.insert(name, m_rows.value(name));
    if (!batch.isEmpty())
        m_deliver(std::move(batch));
}

bool CStationsFeed::Merge(Row& row, const QByteArray& topic, const QByteArray& payload) const
{
    const QList<QByteArray> parts = topic.split('/');
    if (payload.isEmpty() || parts.size() < 3)
        return false;
    if (parts.size() == 3 && parts[2] == "status") {
        row.bOnline = payload == "online";
        return true;
    }
    bool ok = false;
    const int k = parts.size() == 5 ? parts[3].toInt(&ok) : 0;
    if (!ok || k < 1 || k > kChannels || parts[2] != "channel" || parts[4] != "state")
        return false;
    const QJsonObject o = QJsonDocument::fromJson(payload).object();
    if (o.isEmpty())
        return false;
    Channel& ch = row.channels[k - 1];
    ch.bKnown = true;
    ch.strName = o.value(QStringLiteral("name")).toString();
    ch.dCurrent = o.value(QStringLiteral("current")).toDouble();
    ch.bOn = o.value(QStringLiteral("on")).toBool();
    ch.bCutOff = o.value(QStringLiteral("cutoff")).toBool();
    return true;
}
