#include "remote/StationsWnd.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLocale>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// A topic from a misbehaving client could name any number of stations.
constexpr int kMaxStations = 1000;

QString StateText(CMqttClient::State state)
{
    switch (state) {
    case CMqttClient::State::Connected:
        return QStringLiteral("MQTT: verbunden");
    case CMqttClient::State::Refused:
        return QStringLiteral("MQTT: Anmeldung abgelehnt");
    case CMqttClient::State::Disconnected:
        break;
    }
    return QStringLiteral("MQTT: nicht verbunden");
}

} // namespace

CStationsWnd::CStationsWnd(const MqttConfig& config, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_context(std::make_unique<QObject>())
{
    setWindowTitle(QStringLiteral("Stationen"));
    m_status = new QLabel(StateText(m_state));
    m_tree = new QTreeWidget;
    m_tree->setHeaderLabels({QStringLiteral("Station / Kanal"), QStringLiteral("Name"),
                             QStringLiteral("Strom [A]"), QStringLiteral("Zustand"),
                             QStringLiteral("Letzte Nachricht")});
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_tree);
    resize(620, 480);

    CMqttClient::Options options;
    options.config = config;
    QString error;
    ReadMqttPassword(config.strPasswordFile, options.password, &error);
    options.clientId = QStringLiteral("korva-stationen-%1-%2")
                           .arg(MqttTopicLevel(config.Station()))
                           .arg(QCoreApplication::applicationPid())
                           .toUtf8()
                           .left(64);
    options.subscriptions = {"korva/+/status", "korva/+/channel/+/state"};
    QObject* context = m_context.get();
    m_client = std::make_unique<CMqttClient>(
        options,
        [this, context](CMqttClient::State state) {
            QMetaObject::invokeMethod(
                context,
                [this, state] {
                    m_state = state;
                    m_status->setText(StateText(state));
                },
                Qt::QueuedConnection);
        },
        [this, context](const QByteArray& topic, const QByteArray& payload) {
            std::lock_guard lock(m_mutex);
            m_arrived.insert(topic, {payload, QDateTime::currentDateTime()});
            if (m_bPosted)
                return;
            m_bPosted = true;
            QMetaObject::invokeMethod(
                context, [this] { OnArrived(); }, Qt::QueuedConnection);
        });
    if (!error.isEmpty() || !m_client->Start(&error))
        m_status->setText(StateText(m_state) + QStringLiteral(" \u2013 ") + error);
}

CStationsWnd::~CStationsWnd()
{
    m_client.reset(); // no more calls from its thread
    m_context.reset();
}

void CStationsWnd::OnArrived()
{
    QHash<QByteArray, std::pair<QByteArray, QDateTime>> arrived;
    {
        std::lock_guard lock(m_mutex);
        arrived.swap(m_arrived);
        m_bPosted = false;
    }
    for (auto it = arrived.cbegin(); it != arrived.cend(); ++it)
        Take(it.key(), it.value().first, it.value().second);
    for (auto it = m_stations.begin(); it != m_stations.end(); ++it)
        Show(it.key(), it.value());
}

void CStationsWnd::Take(const QByteArray& topic, const QByteArray& payload, const QDateTime& when)
{
    const QList<QByteArray> parts = topic.split('/');
    if (parts.size() < 3 || parts[0] != "korva" || payload.isEmpty())
        return;
    const QString name = QString::fromUtf8(parts[1]);
    if (!m_stations.contains(name) && m_stations.size() >= kMaxStations)
        return;
    if (parts.size() == 3 && parts[2] == "status") {
        Station& st = m_stations[name];
        st.bOnline = payload == "online";
        st.last = when;
        return;
    }
    bool ok = false;
    const int k = parts.size() == 5 ? parts[3].toInt(&ok) : 0;
    if (!ok || k < 1 || k > kChannels || parts[2] != "channel" || parts[4] != "state")
        return;
    const QJsonObject o = QJsonDocument::fromJson(payload).object();
    if (o.isEmpty())
        return;
    Station& st = m_stations[name];
    Channel& ch = st.channels[k - 1];
    ch.bKnown = true;
    ch.strName = o.value(QStringLiteral("name")).toString();
    ch.dCurrent = o.value(QStringLiteral("current")).toDouble();
    ch.bOn = o.value(QStringLiteral("on")).toBool();
    ch.bCutOff = o.value(QStringLiteral("cutoff")).toBool();
    st.last = when;
}

void CStationsWnd::Show(const QString& name, Station& st)
{
    if (!st.item) {
        st.item = new QTreeWidgetItem(m_tree, {name});
        for (int k = 1; k <= kChannels; ++k)
            new QTreeWidgetItem(st.item, {QStringLiteral("Kanal %1").arg(k)});
        st.item->setExpanded(true);
    }
    const QLocale de = QLocale::system();
    st.item->setText(3, st.bOnline ? QStringLiteral("online") : QStringLiteral("offline"));
    st.item->setForeground(3, st.bOnline ? QBrush() : QBrush(Qt::gray));
    st.item->setText(4, st.last.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")));
    for (int k = 1; k <= kChannels; ++k) {
        const Channel& ch = st.channels[k - 1];
        QTreeWidgetItem* row = st.item->child(k - 1);
        if (!ch.bKnown)
            continue;
        row->setText(1, ch.strName);
        row->setText(2, de.toString(ch.dCurrent, 'f', 2));
        row->setText(3, ch.bCutOff ? QStringLiteral("abgeschaltet")
                                   : (ch.bOn ? QStringLiteral("ein") : QStringLiteral("aus")));
        row->setForeground(3, ch.bCutOff ? QBrush(Qt::white) : QBrush());
        row->setBackground(3, ch.bCutOff ? QBrush(Qt::red) : QBrush());
    }
}
