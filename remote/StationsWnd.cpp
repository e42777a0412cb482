#include "remote/StationsWnd.h"

#include "framework/WindowPlacement.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Column
{
    kStation,
    kName,
    kCurrent,
    kState,
    kLast,
    kColumns
};

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

// Each change costs a repaint of the row; most batches change few cells.
void SetText(QTreeWidgetItem* item, int column, const QString& text)
{
    if (item->text(column) != text)
        item->setText(column, text);
}

void SetColours(QTreeWidgetItem* item, int column, const QBrush& fg, const QBrush& bg)
{
    if (item->foreground(column) != fg)
        item->setForeground(column, fg);
    if (item->background(column) != bg)
        item->setBackground(column, bg);
}

} // namespace

CStationsWnd::CStationsWnd(const MqttConfig& config, QWidget* parent, int handOverMs)
    : QWidget(parent, Qt::Tool), m_context(std::make_unique<QObject>())
{
    setWindowTitle(QStringLiteral("Stationen"));
    KeepWindowPlacement(this, QStringLiteral("Stationen"));
    m_status = new QLabel(StateText(m_state));
    // A long reason wraps instead of widening the window past the screen.
    m_status->setWordWrap(true);
    m_tree = new QTreeWidget;
    m_tree->setHeaderLabels({QStringLiteral("Station / Kanal"), QStringLiteral("Name"),
                             QStringLiteral("Strom [A]"), QStringLiteral("Zustand"),
                             QStringLiteral("Letzte Nachricht")});
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setUniformRowHeights(true);
    // Sizing to contents would measure every row on every change.
    m_tree->header()->setSectionResizeMode(QHeaderView::Interactive);
    const int widths[kColumns] = {140, 120, 80, 100, 150};
    for (int c = 0; c < kColumns; ++c)
        m_tree->setColumnWidth(c, widths[c]);
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
    m_feed = std::make_unique<CStationsFeed>(
        [this](CStationsFeed::Batch&& batch) { Deliver(std::move(batch)); }, handOverMs);
    QObject* context = m_context.get();
    CStationsFeed* feed = m_feed.get();
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
        [feed](const QByteArray& topic, const QByteArray& payload, bool) {
            feed->Take(topic, payload);
        },
        [this, context](const QString& reason) {
            QMetaObject::invokeMethod(
                context,
                [this, reason] {
                    m_status->setText(StateText(m_state) + QStringLiteral(" \u2013 ") + reason);
                },
                Qt::QueuedConnection);
        });
    if (!error.isEmpty() || !m_client->Start(&error))
        m_status->setText(StateText(m_state) + QStringLiteral(" \u2013 ") + error);
}

CStationsWnd::~CStationsWnd()
{
    m_client.reset(); // no more messages
    m_feed.reset();   // no more batches
    m_context.reset();
}

// A batch the window has not taken yet is merged with: newest row per station.
void CStationsWnd::Deliver(CStationsFeed::Batch&& batch)
{
    std::lock_guard lock(m_mutex);
    if (m_pending.isEmpty())
        m_pending.swap(batch);
    else
        m_pending.insert(batch);
    if (m_bPosted)
        return;
    m_bPosted = true;
    QMetaObject::invokeMethod(
        m_context.get(), [this] { Apply(); }, Qt::QueuedConnection);
}

void CStationsWnd::Apply()
{
    CStationsFeed::Batch batch;
    {
        std::lock_guard lock(m_mutex);
        batch.swap(m_pending);
        m_bPosted = false;
    }
    ++m_nBatches;
    for (auto it = batch.cbegin(); it != batch.cend(); ++it) {
        Station& st = m_stations[it.key()];
        static_cast<CStationsFeed::Row&>(st) = it.value();
        Show(it.key(), st);
    }
}

void CStationsWnd::Show(const QString& name, Station& st)
{
    if (!st.item) {
        st.item = new QTreeWidgetItem(m_tree, {name});
        for (int k = 1; k <= kChannels; ++k)
            new QTreeWidgetItem(st.item, {QStringLiteral("Kanal %1").arg(k)});
        st.item->setExpanded(true);
    }
    const QBrush none;
    const QBrush grey(Qt::gray);
    const QLocale de = QLocale::system();
    SetText(st.item, kState, st.bOnline ? QStringLiteral("online") : QStringLiteral("offline"));
    SetColours(st.item, kState, st.bOnline ? none : grey, none);
    SetText(st.item, kLast, st.last.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")));
    for (int k = 1; k <= kChannels; ++k) {
        const Channel& ch = st.channels[k - 1];
        QTreeWidgetItem* row = st.item->child(k - 1);
        // What an offline station last said is history, not its state now.
        if (!st.bOnline) {
            SetText(row, kState, QStringLiteral("offline"));
            for (int c = 0; c < kColumns; ++c)
                SetColours(row, c, grey, none);
            if (ch.bKnown) {
                SetText(row, kName, ch.strName);
                SetText(row, kCurrent, de.toString(ch.dCurrent, 'f', 2));
            }
            continue;
        }
        if (!ch.bKnown)
            continue;
        SetText(row, kName, ch.strName);
        SetText(row, kCurrent, de.toString(ch.dCurrent, 'f', 2));
        SetText(row, kState, ch.bCutOff ? QStringLiteral("abgeschaltet")
                                        : (ch.bOn ? QStringLiteral("ein") : QStringLiteral("aus")));
        for (int c = 0; c < kColumns; ++c) {
            if (c == kState)
                SetColours(row, c, ch.bCutOff ? QBrush(Qt::white) : none,
                           ch.bCutOff ? QBrush(Qt::red) : none);
            else
                SetColours(row, c, none, none);
        }
    }
}
