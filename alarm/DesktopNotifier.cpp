#include "alarm/DesktopNotifier.h"

#include "framework/Logging.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>
#include <cstdio>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
constexpr int kCallTimeoutMs = 5000;

} // namespace

CDesktopNotifier::CDesktopNotifier(const QString& busAddress)
    : m_client(new CNotifyClient(busAddress))
{
    m_thread.setObjectName(QStringLiteral("korva-notify"));
    m_client->moveToThread(&m_thread);
    connect(m_client, &CNotifyClient::Activated, this, [this](quint64 key) {
        if (m_activated)
            m_activated(key);
    });
    m_thread.start();
}

CDesktopNotifier::~CDesktopNotifier()
{
    m_thread.quit();
    m_thread.wait();
    delete m_client;
}

void CDesktopNotifier::Show(quint64 key, const AlarmNotice& notice)
{
    CNotifyClient* client = m_client;
    QMetaObject::invokeMethod(
        client, [client, key, notice] { client->Show(key, notice); }, Qt::QueuedConnection);
}

CNotifyClient::CNotifyClient(const QString& busAddress)
    : m_address(busAddress), m_name(QStringLiteral("korva-notify-%1").arg(quintptr(this), 0, 16))
{
}

CNotifyClient::~CNotifyClient()
{
    if (m_bConnected)
        QDBusConnection::disconnectFromBus(m_name);
}

void CNotifyClient::Warn(const QString& reason)
{
    if (m_bWarned)
        return;
    m_bWarned = true;
    qCWarning(lcAlarm, "Warnung: Keine Desktop-Benachrichtigung möglich (%s).", qUtf8Printable(reason));
}

// Tried again at every notice, so a session bus that comes later is used.
bool CNotifyClient::Connect()
{
    if (m_bConnected)
        return true;
    QDBusConnection bus = m_address.isEmpty()
                              ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_name)
                              : QDBusConnection::connectToBus(m_address, m_name);
    if (!bus.isConnected()) {
        Warn(bus.lastError().message());
        QDBusConnection::disconnectFromBus(m_name);
        return false;
    }
    // QtDBus connects bus signals only by signature strings.
    bus.connect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                SLOT(OnActionInvoked(uint, QString)));
    m_bConnected = true;
    return true;
}

void CNotifyClient::Show(quint64 key, const AlarmNotice& notice)
{
    if (!Connect())
        return; // the journal keeps the events
    Entry& entry = m_entries[key];
    if (entry.bPending) {
        entry.queued = notice; // replaces the one on its way once its id is known
        entry.bQueued = true;
        return;
    }
    Send(key, entry, notice);
}

void CNotifyClient::Send(quint64 key, Entry& entry, const AlarmNotice& notice)
{
    QDBusMessage msg =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(notice.nUrgency)));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("korva"));
    msg << QStringLiteral("KORVA_Powermanagement") << entry.nId << QStringLiteral("korva")
        << notice.strSummary << notice.strBody
        << QStringList{QStringLiteral("default"), QStringLiteral("Anzeigen")} << hints
        << qint32(-1);
    QDBusConnection bus(m_name);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(msg, kCallTimeoutMs), this);
    entry.bPending = true;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, key](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                QDBusPendingReply<uint> reply = *w;
                Entry& e = m_entries[key];
                e.bPending = false;
                if (reply.isError())
                    Warn(reply.error().message());
                else
                    e.nId = reply.value();
                if (e.bQueued) {
                    e.bQueued = false;
                    const AlarmNotice next = e.queued;
                    Send(key, e, next);
                }
            });
}

void CNotifyClient::OnActionInvoked(uint id, const QString& action)
{
    if (id == 0 || action != QLatin1String("default"))
        return;
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
        if (it->nId == id) {
            emit Activated(it.key());
            return;
        }
    }
}
